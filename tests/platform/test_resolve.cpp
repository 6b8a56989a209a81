// The case-insensitive path resolver: ResolvePath (over ResolvePathString),
// OpenResolved.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/exec.h"
#include "temp_dir.h"

namespace {

class Resolve : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_.writeFile("gfx/load.ppm", "P6");
        dir_.writeFile("gfx/gui/Pointer.tga", "T");
        dir_.writeFile("Levels/Select/level.toml", "x");
        dir_.makeDir("SND");
        dir_.writeFile("snd/a.wav", "RIFF");
        dir_.writeFile("Snd/b.wav", "RIFF");
        dir_.writeFile("Data", "a file, not the folder");
        dir_.writeFile("data/config.cfg", "x");
        dir_.writeFile("f\xfcr.txt", "x");
    }

    TempDir dir_;
    ScopedCwd cwd_{dir_.path()};
};

TEST_F(Resolve, EachComponentIsMatchedWithoutRegardToCase)
{
    std::string deep;
    for (int i = 0; i < 600; ++i) {
        deep += "Dir/";
    }
    const std::string longName(5000, 'A');
    const struct {
        std::string given, want;
        int exists;
    } cases[] = {
        // A path that exists as given is copied unchanged.
        {"./gfx//load.ppm", "./gfx//load.ppm", 1},
        {"GFX/LOAD.PPM", "gfx/load.ppm", 1},
        {"gfx/GUI/pointer.TGA", "gfx/gui/Pointer.tga", 1},
        {"levels/select/LEVEL.toml", "Levels/Select/level.toml", 1},
        {"GFX/", "gfx/", 1},
        {"GFX/gui/../LOAD.ppm", "gfx/gui/../load.ppm", 1},
        {"./Levels/../GFX/Load.ppm", "./Levels/../gfx/load.ppm", 1},
        {dir_.path() + "/GFX/Gui/POINTER.tga", dir_.path() + "/gfx/gui/Pointer.tga", 1},
        // An exact name wins even though "Snd" holds b.wav; without one the
        // first in byte order ("SND") is taken.
        {"snd/A.WAV", "snd/a.wav", 1},
        {"snd/b.wav", "snd/b.wav", 0},
        {"sNd/x.wav", "SND/x.wav", 0},
        // Inner components prefer folders; the last may be a plain file.
        {"DATA/config.cfg", "data/config.cfg", 1},
        {"DATA", "Data", 1},
        // A missing final component is kept, so a new file can be made; nothing
        // below a missing folder or a file can be matched.
        {"GFX/Neu.ppm", "gfx/Neu.ppm", 0},
        {"Fehlt/GFX/load.ppm", "Fehlt/GFX/load.ppm", 0},
        {"GFX/load.ppm/x", "gfx/load.ppm/x", 0},
        {deep + "file", deep + "file", 0},
        {"GFX/" + longName, "gfx/" + longName, 0},
        // Only ASCII letters are folded.
        {"F\xfcR.TXT", "f\xfcr.txt", 1},
        {"f\xdcr.txt", "f\xdcr.txt", 0},
        {"", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given.substr(0, 80));
        char out[8192];
        EXPECT_EQ(ResolvePath(c.given.c_str(), out, sizeof out), c.exists);
        EXPECT_EQ(std::string(out), c.want);
    }
}

TEST_F(Resolve, OutputNeverOverflows)
{
    const std::string want = "gfx/load.ppm";
    char out[64];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ResolvePath("GFX/load.ppm", out, want.size() + 1), 1) << "exactly enough room";
    EXPECT_EQ(std::string(out), want);
    // One byte less: empty result, and nothing past the buffer written.
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ResolvePath("GFX/load.ppm", out, want.size()), 0);
    EXPECT_EQ(std::string(out, sizeof out), '\0' + std::string(sizeof out - 1, 'x'));
    out[0] = 'x';
    EXPECT_EQ(ResolvePath("GFX/load.ppm", out, 0), 0);
    EXPECT_EQ(out[0], 'x') << "no room: untouched";
    EXPECT_EQ(ResolvePath("GFX/load.ppm", nullptr, 100), 0);
    std::strcpy(out, "junk");
    EXPECT_EQ(ResolvePath(nullptr, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
}

TEST_F(Resolve, OpenResolvedOpensTheResolvedPath)
{
    // Where a new or replaced file lands follows from ResolvePath above.
    FILE* f = OpenResolved("GFX/Load.PPM", "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(OpenResolved("Fehlt/x.ppm", "rb"), nullptr);
    EXPECT_EQ(OpenResolved(nullptr, "rb"), nullptr);
    EXPECT_EQ(OpenResolved("gfx/load.ppm", nullptr), nullptr);
}

}  // namespace
