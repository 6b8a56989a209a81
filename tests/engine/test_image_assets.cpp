// Tests of the demo asset generator (tools/vext_assetgen): it is run into a
// fresh directory and its pictures are read back with the engine's own PPM
// reader, then checked against what the engine does with them (font cell
// layout, colour key, sky face orientation, height channel).

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "image/imageio.h"

namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
    bool Black() const { return r == 0 && g == 0 && b == 0; }
};

const char* const kAllFiles[] = {
    "gfx/conchars.ppm",        "gfx/load.ppm",           "gfx/texrender.ppm",       "gfx/gui/arrow.ppm",
    "gfx/gui/window.ppm",      "gfx/gui/button.ppm",     "gfx/gui/border.ppm",      "gfx/gui/borderl.ppm",
    "gfx/gui/borderr.ppm",     "gfx/gui/bordersel.ppm",  "gfx/gui/borderlsel.ppm",  "gfx/gui/borderrsel.ppm",
    "levels/select/height.ppm", "levels/select/sky0.ppm", "levels/select/sky1.ppm", "levels/select/sky2.ppm",
    "levels/select/sky3.ppm",  "levels/select/sky4.ppm", "levels/select/sky5.ppm",  "levels/second/height.ppm",
    "levels/second/stdbg.ppm",
};

std::string GeneratorPath() {
    return std::string(VEXT_BUILD_DIR) + "/tools/vext_assetgen";
}

// Runs the generator on dir; returns its exit status and stdout.
std::pair<int, std::string> RunGenerator(const std::string& dir) {
    const std::string command = GeneratorPath() + " '" + dir + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {-1, ""};
    }
    std::string out;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        out.append(buffer, n);
    }
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// One generator run shared by all tests of this file.
class AssetGenerator : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!fs::exists(GeneratorPath())) {
            return;
        }
        char templ[] = "/tmp/vext_assetgen_XXXXXX";
        if (mkdtemp(templ) != nullptr) {
            dir_ = templ;
            firstRun_ = RunGenerator(dir_);
        }
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!dir_.empty()) {
            fs::remove_all(dir_, ec);
        }
    }
    void SetUp() override {
        if (dir_.empty()) {
            GTEST_SKIP() << "generator not built: " << GeneratorPath();
        }
    }

    static std::unique_ptr<CBitmap> Load(const std::string& relative) {
        const std::string path = dir_ + "/" + relative;
        testing::internal::CaptureStdout();
        std::unique_ptr<CBitmap> b(LoadPPM(path.c_str()));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << relative;
        return b;
    }
    static Rgb At(const CBitmap& b, int x, int y) {
        const uint8_t* p = b.pixels + (static_cast<size_t>(y) * b.width + x) * 3;
        return {p[0], p[1], p[2]};
    }

    static std::string dir_;
    static std::pair<int, std::string> firstRun_;
};

std::string AssetGenerator::dir_;
std::pair<int, std::string> AssetGenerator::firstRun_;

TEST_F(AssetGenerator, WritesEveryFileOnceAndIsQuietWhenNothingChanged) {
    EXPECT_EQ(firstRun_.first, 0);
    EXPECT_NE(firstRun_.second.find("written"), std::string::npos);
    std::map<std::string, fs::file_time_type> stamps;
    for (const char* file : kAllFiles) {
        ASSERT_TRUE(fs::exists(dir_ + "/" + file)) << file;
        stamps[file] = fs::last_write_time(dir_ + "/" + file);
    }

    const auto second = RunGenerator(dir_);
    EXPECT_EQ(second.first, 0);
    EXPECT_EQ(second.second, "");
    for (const char* file : kAllFiles) {
        EXPECT_EQ(fs::last_write_time(dir_ + "/" + file), stamps[file]) << file << " was rewritten";
    }
}

TEST_F(AssetGenerator, ReproducesTheSameBytesAndRepairsAChangedFile) {
    char templ[] = "/tmp/vext_assetgen_again_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    const std::string other = templ;
    ASSERT_EQ(RunGenerator(other).first, 0);
    auto bytes = [](const std::string& path) {
        std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
        std::vector<uint8_t> out;
        int c;
        while (f && (c = std::fgetc(f.get())) != EOF) {
            out.push_back(static_cast<uint8_t>(c));
        }
        return out;
    };
    for (const char* file : kAllFiles) {
        EXPECT_EQ(bytes(dir_ + "/" + file), bytes(other + "/" + file)) << file;
    }

    const std::string victim = other + "/gfx/load.ppm";
    {
        std::ofstream truncate(victim, std::ios::binary | std::ios::trunc);
    }
    const auto repair = RunGenerator(other);
    EXPECT_EQ(repair.first, 0);
    EXPECT_NE(repair.second.find("1 written"), std::string::npos) << repair.second;
    EXPECT_EQ(bytes(victim), bytes(dir_ + "/gfx/load.ppm"));
    std::error_code ec;
    fs::remove_all(other, ec);
}

// ---------------------------------------------------------------------------

TEST_F(AssetGenerator, FontSheetHasOneDistinctGlyphPerPrintableCode) {
    const auto font = Load("gfx/conchars.ppm");
    ASSERT_EQ(font->width, 128);
    ASSERT_EQ(font->height, 128);
    std::set<std::vector<bool>> seen;
    for (int code = 0; code < 256; ++code) {
        std::vector<bool> cell;
        bool leftColumnLit = false;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const Rgb p = At(*font, (code % 16) * 8 + x, (code / 16) * 8 + y);
                ASSERT_TRUE(p.Black() || p == (Rgb{255, 255, 255})) << "code " << code;
                cell.push_back(!p.Black());
                leftColumnLit |= x == 0 && !p.Black();
            }
        }
        const bool lit = std::find(cell.begin(), cell.end(), true) != cell.end();
        const bool printable = (code > 32 && code < 127) ||
                               std::string("\xc4\xd6\xdc\xe4\xf6\xfc\xdf").find(static_cast<char>(code)) !=
                                   std::string::npos;
        EXPECT_EQ(lit, printable) << "code " << code;
        EXPECT_FALSE(leftColumnLit) << "code " << code << " touches its left neighbour";
        if (lit) {
            EXPECT_TRUE(seen.insert(cell).second) << "code " << code << " repeats another glyph";
        }
    }
}

TEST_F(AssetGenerator, FixedPicturesHaveTextureFriendlySizes) {
    struct Size {
        const char* file;
        int w, h;
    } sizes[] = {{"gfx/load.ppm", 256, 256},       {"gfx/texrender.ppm", 64, 64},   {"gfx/gui/arrow.ppm", 32, 32},
                 {"gfx/gui/window.ppm", 64, 64},   {"gfx/gui/button.ppm", 64, 16},  {"gfx/gui/border.ppm", 64, 16},
                 {"gfx/gui/borderl.ppm", 16, 16},  {"gfx/gui/borderr.ppm", 16, 16}, {"levels/second/stdbg.ppm", 128, 128}};
    for (const Size& s : sizes) {
        const auto b = Load(s.file);
        EXPECT_EQ(b->width, s.w) << s.file;
        EXPECT_EQ(b->height, s.h) << s.file;
    }
}

TEST_F(AssetGenerator, GuiPicturesUseBlackOnlyWhereTransparent) {
    // Bodies and buttons are fully opaque.
    for (const char* file : {"gfx/gui/window.ppm", "gfx/gui/button.ppm", "gfx/gui/border.ppm", "gfx/gui/bordersel.ppm"}) {
        const auto b = Load(file);
        for (int y = 0; y < b->height; ++y) {
            for (int x = 0; x < b->width; ++x) {
                ASSERT_FALSE(At(*b, x, y).Black()) << file << " at " << x << "," << y;
            }
        }
    }
    // The pointer's tip is its top-left pixel; around the arrow is key colour.
    const auto arrow = Load("gfx/gui/arrow.ppm");
    EXPECT_FALSE(At(*arrow, 0, 0).Black());
    EXPECT_TRUE(At(*arrow, 31, 0).Black());
    EXPECT_TRUE(At(*arrow, 0, 31).Black());

    // "borderr" closes the left end of a title bar, "borderl" the right end:
    // they mirror each other and their outer top corner is cut away.
    for (const char* suffix : {"", "sel"}) {
        const auto leftCap = Load(std::string("gfx/gui/borderr") + suffix + ".ppm");
        const auto rightCap = Load(std::string("gfx/gui/borderl") + suffix + ".ppm");
        EXPECT_TRUE(At(*leftCap, 0, 0).Black());
        EXPECT_FALSE(At(*leftCap, 15, 0).Black());
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                ASSERT_EQ(At(*leftCap, x, y), At(*rightCap, 15 - x, y)) << suffix << " " << x << "," << y;
            }
        }
    }
    // The selected title bar looks different.
    EXPECT_NE(At(*Load("gfx/gui/border.ppm"), 8, 8), At(*Load("gfx/gui/bordersel.ppm"), 8, 8));
}

TEST_F(AssetGenerator, HeightMapsAreGreyHills) {
    for (const char* file : {"levels/select/height.ppm", "levels/second/height.ppm"}) {
        const auto map = Load(file);
        ASSERT_EQ(map->width, 64);
        ASSERT_EQ(map->height, 64);
        int lowest = 255;
        int highest = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const Rgb p = At(*map, x, y);
                ASSERT_EQ(p.r, p.b);  // the engine reads blue; red and green show the same
                ASSERT_EQ(p.g, p.b);
                lowest = std::min(lowest, p.b);
                highest = std::max(highest, p.b);
            }
        }
        EXPECT_GT(highest - lowest, 120) << file << " is too flat";
    }
}

// ---------------------------------------------------------------------------
// Sky box.  The engine's faces (corner indices of its box) and the texture
// coordinates their corners receive, in this order: (a,a) (b,a) (b,b) (a,b).
// Corners 0-3 lie at the front (-z), 4-7 at the back; 0,1,4,5 at the top.

const int kFaceCorners[6][4] = {{1, 0, 3, 2}, {0, 4, 7, 3}, {4, 5, 6, 7}, {5, 1, 2, 6}, {0, 1, 5, 4}, {7, 6, 2, 3}};

// The texels along one edge of a face, from the edge's first corner to its
// second: edges run corner 0->1 (top row), 1->2 (right column), 3->2
// (bottom row), 0->3 (left column).
struct Edge {
    int from, to;
    std::vector<Rgb> texels;
};

std::vector<Edge> FaceEdges(int face, const CBitmap& b) {
    const int* c = kFaceCorners[face];
    std::vector<Edge> edges = {{c[0], c[1], {}}, {c[1], c[2], {}}, {c[3], c[2], {}}, {c[0], c[3], {}}};
    for (int i = 0; i < 128; ++i) {
        auto at = [&](int x, int y) {
            const uint8_t* p = b.pixels + (static_cast<size_t>(y) * 128 + x) * 3;
            return Rgb{p[0], p[1], p[2]};
        };
        edges[0].texels.push_back(at(i, 0));
        edges[1].texels.push_back(at(127, i));
        edges[2].texels.push_back(at(i, 127));
        edges[3].texels.push_back(at(0, i));
    }
    return edges;
}

TEST_F(AssetGenerator, SkyFacesMeetWithoutSeams) {
    std::vector<std::vector<Edge>> edges;
    for (int face = 0; face < 6; ++face) {
        const auto b = Load("levels/select/sky" + std::to_string(face) + ".ppm");
        ASSERT_EQ(b->width, 128);
        ASSERT_EQ(b->height, 128);
        edges.push_back(FaceEdges(face, *b));
    }
    int sharedEdges = 0;
    for (int f = 0; f < 6; ++f) {
        for (int g = f + 1; g < 6; ++g) {
            for (const Edge& e : edges[f]) {
                for (const Edge& o : edges[g]) {
                    const bool same = e.from == o.from && e.to == o.to;
                    const bool reversed = e.from == o.to && e.to == o.from;
                    if (!same && !reversed) {
                        continue;
                    }
                    ++sharedEdges;
                    for (int i = 0; i < 128; ++i) {
                        const Rgb p = e.texels[i];
                        const Rgb q = o.texels[same ? i : 127 - i];
                        ASSERT_LE(std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b), 24)
                            << "faces " << f << " and " << g << " texel " << i;
                    }
                }
            }
        }
    }
    EXPECT_EQ(sharedEdges, 12);  // a cube has twelve edges
}

TEST_F(AssetGenerator, SkyIsBlueAboveGroundBelowAndHasOneSun) {
    auto sunPixels = [](const CBitmap& b) {
        int n = 0;
        for (int i = 0; i < b.width * b.height; ++i) {
            const uint8_t* p = b.pixels + i * 3;
            n += p[0] >= 250 && p[1] >= 245 && p[2] >= 220;
        }
        return n;
    };
    for (int face = 0; face < 6; ++face) {
        const auto b = Load("levels/select/sky" + std::to_string(face) + ".ppm");
        if (face == 0) {
            EXPECT_GT(sunPixels(*b), 4) << "the sun belongs on the front face";
        } else {
            EXPECT_EQ(sunPixels(*b), 0) << "face " << face;
        }
        const Rgb top = At(*b, 64, 0);
        const Rgb bottom = At(*b, 64, 127);
        if (face < 4) {  // side faces: row 0 is the upper edge of the box
            EXPECT_GT(top.b, top.r + 60) << "face " << face;
            EXPECT_LT(bottom.b, bottom.r + 10) << "face " << face;
        }
    }
    const Rgb up = At(*Load("levels/select/sky4.ppm"), 64, 64);
    const Rgb down = At(*Load("levels/select/sky5.ppm"), 64, 64);
    EXPECT_GT(up.b, up.r + 60);
    EXPECT_LT(down.b, down.g + 10);
}

TEST_F(AssetGenerator, SecondLevelUsesTheOneImageSky) {
    EXPECT_FALSE(fs::exists(dir_ + "/levels/second/sky0.ppm"));
    const auto bg = Load("levels/second/stdbg.ppm");
    // Its first pixel becomes the level's fog colour: a visible haze.
    const Rgb first = At(*bg, 0, 0);
    EXPECT_GT(first.r + first.g + first.b, 300);
}

}  // namespace
