// Tests of the demo asset generator (tools/vext_assetgen): it is run into a
// fresh directory and its pictures are read back with the engine's own PPM
// reader: sizes, the font sheet's cell layout, and reproducible bytes.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "image/imageio.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

namespace fs = std::filesystem;

const std::string kGenerator = std::string(VEXT_BUILD_DIR) + "/tools/vext_assetgen";

// Runs the generator on dir; returns its exit status and stdout.
std::pair<int, std::string> RunGenerator(const std::string& dir) {
    FILE* pipe = popen((kGenerator + " '" + dir + "'").c_str(), "r");
    std::string out;
    char buffer[256];
    while (size_t n = pipe != nullptr ? std::fread(buffer, 1, sizeof buffer, pipe) : 0) {
        out.append(buffer, n);
    }
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Each test first runs the generator into a scratch directory (the current one).
class AssetGenerator : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kGenerator)) {
            GTEST_SKIP() << "generator not built: " << kGenerator;
        }
        firstRun_ = RunGenerator(".");
    }
    WorkDir dir_;
    std::pair<int, std::string> firstRun_;
};

TEST_F(AssetGenerator, ReproducibleQuietWhenUnchangedAndRepairsAChangedFile) {
    EXPECT_EQ(firstRun_.first, 0);
    EXPECT_NE(firstRun_.second.find("written"), std::string::npos);
    // Every picture reads without a warning; the height maps are the
    // terrain's 64 x 64.
    std::map<std::string, fs::file_time_type> stamps;
    for (const auto& e : fs::recursive_directory_iterator(".")) {
        if (e.is_regular_file()) {
            stamps[e.path().string()] = e.last_write_time();
            if (e.path().extension() == ".ppm") {
                loadGoodPPM(e.path().string());
            }
        }
    }
    for (const char* map : {"levels/select/height.ppm", "levels/second/height.ppm"}) {
        const auto b = loadGoodPPM(map);
        EXPECT_TRUE(b->width == 64 && b->height == 64) << map;
    }
    EXPECT_FALSE(fs::exists("levels/second/sky0.ppm"));  // the second level has the one-image sky

    EXPECT_EQ(RunGenerator("."), (std::pair<int, std::string>{0, ""}));
    const std::string other = "again";
    fs::create_directory(other);
    ASSERT_EQ(RunGenerator(other).first, 0);
    for (const auto& [file, stamp] : stamps) {
        EXPECT_EQ(fs::last_write_time(file), stamp) << file << " was rewritten";
        EXPECT_EQ(readBytes(file), readBytes(other + "/" + file)) << file;
    }
    writeBytes(other + "/gfx/load.ppm", std::string());
    const auto repair = RunGenerator(other);
    EXPECT_EQ(repair.first, 0);
    EXPECT_NE(repair.second.find("1 written"), std::string::npos) << repair.second;
    EXPECT_EQ(readBytes(other + "/gfx/load.ppm"), readBytes("gfx/load.ppm"));
    fs::remove_all(other);
}

// The skies take the fog colour the level files give (a level's own before
// config.cfg's): every side-face row at or below the camera's height and the
// bottom face are exactly that colour, the side faces' top rows are sky; the
// one-image sky starts with it.
TEST_F(AssetGenerator, SkiesMeetTheLevelsFogColour) {
    const std::string dir = "withlevels";
    writeBytes(dir + "/config.cfg", "[fog]\ncolor = [0.2, 0.4, 0.6, 1.0]\n");
    writeBytes(dir + "/levels/select/level.toml",
                             "[camera]\nstart = [5.0, -4.0, 12.0]\n[fog]\ncolor = [0.8, 0.6, 0.4]\n");
    writeBytes(dir + "/levels/second/level.toml", "[camera]\nyaw = 10.0\n");
    ASSERT_EQ(RunGenerator(dir).first, 0);
    const Rgb selectFog{204, 153, 102};
    for (const int face : {0, 1, 2, 3, 5}) {
        const auto sky = loadGoodPPM(dir + "/levels/select/sky" + std::to_string(face) + ".ppm");
        for (int y = 0; y < sky->height; ++y) {
            // Side faces run from world y 820 (row 0) to -448; texture
            // coordinates 1/256 .. 255/256 span the face.
            const double t = (y + 0.5) / sky->height;
            const double worldY = 820.0 - 1268.0 * (t - 1.0 / 256) / (254.0 / 256);
            for (int x = 0; x < sky->width && (face == 5 || worldY <= -4.0); ++x) {
                ASSERT_EQ(pixelAt(*sky, x, y), selectFog) << "face " << face << " x " << x << " y " << y;
            }
        }
        for (int x = 0; x < sky->width && face != 5; ++x) {
            EXPECT_NE(pixelAt(*sky, x, 0), selectFog) << "face " << face << " x " << x;
        }
    }
    EXPECT_EQ(pixelAt(*loadGoodPPM(dir + "/levels/second/stdbg.ppm"), 0, 0), (Rgb{51, 102, 153}));
}

TEST_F(AssetGenerator, FontSheetHasOneDistinctGlyphPerPrintableCode) {
    const auto font = loadGoodPPM("gfx/conchars.ppm");
    ASSERT_TRUE(font->width == 128 && font->height == 128);
    std::set<std::vector<bool>> seen;
    for (int code = 0; code < 256; ++code) {
        std::vector<bool> cell;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const Rgb p = pixelAt(*font, (code % 16) * 8 + x, (code / 16) * 8 + y);
                const bool black = p == Rgb{0, 0, 0};
                ASSERT_TRUE(black || p == (Rgb{255, 255, 255})) << "code " << code;
                ASSERT_TRUE(x > 0 || black) << "code " << code << " touches its left neighbour";
                cell.push_back(!black);
            }
        }
        const bool lit = std::count(cell.begin(), cell.end(), true) > 0;
        const bool printable = (code > 32 && code < 127) || std::string("\xc4\xd6\xdc\xe4\xf6\xfc\xdf").find(
                                                                 static_cast<char>(code)) != std::string::npos;
        EXPECT_EQ(lit, printable) << "code " << code;
        EXPECT_TRUE(!lit || seen.insert(cell).second) << "code " << code << " repeats another glyph";
    }
}

}  // namespace
