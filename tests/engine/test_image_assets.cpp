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

// Every picture and its size.
const struct { const char* file; int w, h; } kPictures[] = {
    {"gfx/conchars.ppm", 128, 128},         {"gfx/load.ppm", 256, 256},           {"gfx/texrender.ppm", 64, 64},
    {"gfx/gui/arrow.ppm", 32, 32},          {"gfx/gui/window.ppm", 256, 128},     {"gfx/gui/button.ppm", 64, 16},
    {"gfx/gui/border.ppm", 64, 16},         {"gfx/gui/borderl.ppm", 16, 16},      {"gfx/gui/borderr.ppm", 16, 16},
    {"gfx/gui/bordersel.ppm", 64, 16},      {"gfx/gui/borderlsel.ppm", 16, 16},   {"gfx/gui/borderrsel.ppm", 16, 16},
    {"levels/select/height.ppm", 64, 64},   {"levels/select/sky0.ppm", 256, 256}, {"levels/select/sky1.ppm", 256, 256},
    {"levels/select/sky2.ppm", 256, 256},   {"levels/select/sky3.ppm", 256, 256}, {"levels/select/sky4.ppm", 256, 256},
    {"levels/select/sky5.ppm", 256, 256},   {"levels/second/height.ppm", 64, 64}, {"levels/second/stdbg.ppm", 128, 128},
};

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

std::unique_ptr<CBitmap> Load(const std::string& file) {
    std::unique_ptr<CBitmap> b;
    EXPECT_EQ(stdoutOf([&] { b.reset(LoadPPM(file.c_str())); }), "") << file;
    return b;
}

Rgb At(const CBitmap& b, int x, int y) {
    const uint8_t* p = b.pixels + (static_cast<size_t>(y) * b.width + x) * 3;
    return {p[0], p[1], p[2]};
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
    std::map<std::string, fs::file_time_type> stamps;
    for (const auto& p : kPictures) {
        const auto b = Load(p.file);
        EXPECT_EQ(b->width, p.w) << p.file;
        EXPECT_EQ(b->height, p.h) << p.file;
        stamps[p.file] = fs::last_write_time(p.file);
    }
    EXPECT_FALSE(fs::exists("levels/second/sky0.ppm"));  // the second level has the one-image sky

    EXPECT_EQ(RunGenerator("."), (std::pair<int, std::string>{0, ""}));
    const std::string other = "again";
    fs::create_directory(other);
    ASSERT_EQ(RunGenerator(other).first, 0);
    for (const auto& p : kPictures) {
        EXPECT_EQ(fs::last_write_time(p.file), stamps[p.file]) << p.file << " was rewritten";
        EXPECT_EQ(readBytes(p.file), readBytes(other + "/" + p.file)) << p.file;
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
        const auto sky = Load(dir + "/levels/select/sky" + std::to_string(face) + ".ppm");
        for (int y = 0; y < sky->height; ++y) {
            // Side faces run from world y 820 (row 0) to -448; texture
            // coordinates 1/256 .. 255/256 span the face.
            const double t = (y + 0.5) / sky->height;
            const double worldY = 820.0 - 1268.0 * (t - 1.0 / 256) / (254.0 / 256);
            for (int x = 0; x < sky->width && (face == 5 || worldY <= -4.0); ++x) {
                ASSERT_EQ(At(*sky, x, y), selectFog) << "face " << face << " x " << x << " y " << y;
            }
        }
        for (int x = 0; x < sky->width && face != 5; ++x) {
            EXPECT_NE(At(*sky, x, 0), selectFog) << "face " << face << " x " << x;
        }
    }
    EXPECT_EQ(At(*Load(dir + "/levels/second/stdbg.ppm"), 0, 0), (Rgb{51, 102, 153}));
}

TEST_F(AssetGenerator, FontSheetHasOneDistinctGlyphPerPrintableCode) {
    const auto font = Load("gfx/conchars.ppm");
    std::set<std::vector<bool>> seen;
    for (int code = 0; code < 256; ++code) {
        std::vector<bool> cell;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                const Rgb p = At(*font, (code % 16) * 8 + x, (code / 16) * 8 + y);
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
