// The case-insensitive path resolver: ResolvePath, ResolvePathString,
// OpenResolved.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/exec.h"
#include "temp_dir.h"

namespace {

// Runs ResolvePath with a roomy buffer; the result string and return value.
struct Resolved {
    std::string path;
    int exists;
};

Resolved resolve(const std::string& path)
{
    char out[8192];
    std::memset(out, 'x', sizeof out);
    const int rc = ResolvePath(path.c_str(), out, sizeof out);
    return {out, rc};
}

class Resolve : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.ok());
        dir_.makeDir("gfx/gui");
        dir_.writeFile("gfx/load.ppm", "P6");
        dir_.writeFile("gfx/gui/Pointer.tga", "T");
        dir_.makeDir("Levels/Select");
        dir_.writeFile("Levels/Select/level.toml", "x");
        cwd_ = std::make_unique<ScopedCwd>(dir_.path());
        ASSERT_TRUE(cwd_->ok());
    }
    void TearDown() override { cwd_.reset(); }

    TempDir dir_;
    std::unique_ptr<ScopedCwd> cwd_;
};

TEST_F(Resolve, ExistingPathIsCopiedUnchanged)
{
    EXPECT_EQ(resolve("gfx/load.ppm").path, "gfx/load.ppm");
    EXPECT_EQ(resolve("gfx/load.ppm").exists, 1);
    EXPECT_EQ(resolve("./gfx//load.ppm").path, "./gfx//load.ppm");
    EXPECT_EQ(resolve("gfx").exists, 1);
}

TEST_F(Resolve, EachComponentIsMatchedWithoutRegardToCase)
{
    EXPECT_EQ(resolve("Gfx/load.ppm").path, "gfx/load.ppm");
    EXPECT_EQ(resolve("GFX/LOAD.PPM").path, "gfx/load.ppm");
    EXPECT_EQ(resolve("GFX/LOAD.PPM").exists, 1);
    EXPECT_EQ(resolve("gfx/GUI/pointer.TGA").path, "gfx/gui/Pointer.tga");
    EXPECT_EQ(resolve("levels/select/LEVEL.toml").path, "Levels/Select/level.toml");
    EXPECT_EQ(resolve("GFX/").path, "gfx/");
    EXPECT_EQ(resolve("GFX/").exists, 1);
}

TEST_F(Resolve, AbsoluteAndDotDotPaths)
{
    const Resolved abs = resolve(dir_.path() + "/GFX/Gui/POINTER.tga");
    EXPECT_EQ(abs.path, dir_.path() + "/gfx/gui/Pointer.tga");
    EXPECT_EQ(abs.exists, 1);
    const Resolved up = resolve("GFX/gui/../LOAD.ppm");
    EXPECT_EQ(up.path, "gfx/gui/../load.ppm");
    EXPECT_EQ(up.exists, 1);
    EXPECT_EQ(resolve("./Levels/../GFX/Load.ppm").path, "./Levels/../gfx/load.ppm");
}

TEST_F(Resolve, ExactNameWinsThenFirstInByteOrder)
{
    dir_.makeDir("Snd");
    dir_.makeDir("SND");
    dir_.makeDir("snd");
    dir_.writeFile("snd/a.wav", "RIFF");
    dir_.writeFile("Snd/b.wav", "RIFF");
    // "snd" exists exactly, so it is taken even though a.wav is also asked
    // for in another case and "Snd" holds b.wav.
    EXPECT_EQ(resolve("snd/A.WAV").path, "snd/a.wav");
    EXPECT_EQ(resolve("snd/b.wav").path, "snd/b.wav");
    EXPECT_EQ(resolve("snd/b.wav").exists, 0);
    // No exact match: "SND" sorts before "Snd" and "snd".
    EXPECT_EQ(resolve("sNd/x.wav").path, "SND/x.wav");
}

TEST_F(Resolve, InnerComponentsPreferDirectories)
{
    dir_.writeFile("Data", "a file, not the folder");
    dir_.makeDir("data");
    dir_.writeFile("data/config.cfg", "x");
    const Resolved r = resolve("DATA/config.cfg");
    EXPECT_EQ(r.path, "data/config.cfg");
    EXPECT_EQ(r.exists, 1);
    // As the last component a plain file is fine.
    EXPECT_EQ(resolve("DATA").path, "Data");
}

TEST_F(Resolve, UnmatchedComponentsAreKeptAsGiven)
{
    // A new file in a resolved folder.
    const Resolved fresh = resolve("GFX/Neu.ppm");
    EXPECT_EQ(fresh.path, "gfx/Neu.ppm");
    EXPECT_EQ(fresh.exists, 0);
    // Nothing below a missing folder can be matched.
    const Resolved missing = resolve("Fehlt/GFX/load.ppm");
    EXPECT_EQ(missing.path, "Fehlt/GFX/load.ppm");
    EXPECT_EQ(missing.exists, 0);
    // A file used as a folder.
    EXPECT_EQ(resolve("GFX/load.ppm/x").exists, 0);
    EXPECT_EQ(resolve("GFX/load.ppm/x").path, "gfx/load.ppm/x");
}

TEST_F(Resolve, CaseFoldingIsAsciiOnly)
{
    dir_.writeFile("f\xfcr.txt", "x");
    EXPECT_EQ(resolve("F\xfcR.TXT").path, "f\xfcr.txt");
    EXPECT_EQ(resolve("f\xdcr.txt").exists, 0) << "Latin-1 letters are not folded";
}

TEST_F(Resolve, OutputNeverOverflows)
{
    const std::string want = "gfx/load.ppm";
    char out[64];
    // Exactly enough room for the path and its NUL.
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ResolvePath("GFX/load.ppm", out, want.size() + 1), 1);
    EXPECT_EQ(std::string(out), want);
    // One byte less: empty result, and nothing past the buffer written.
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ResolvePath("GFX/load.ppm", out, want.size()), 0);
    EXPECT_EQ(out[0], '\0');
    for (size_t i = want.size(); i < sizeof out; ++i) {
        ASSERT_EQ(out[i], 'x') << "byte " << i;
    }
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ResolvePath("GFX/load.ppm", out, 0), 0);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(ResolvePath("GFX/load.ppm", nullptr, 100), 0);
}

TEST_F(Resolve, VeryLongPathsAndComponents)
{
    std::string deep;
    for (int i = 0; i < 600; ++i) {
        deep += "Dir/";
    }
    deep += "file";
    const Resolved r = resolve(deep);
    EXPECT_EQ(r.exists, 0);
    EXPECT_EQ(r.path, deep);
    const std::string longName(5000, 'A');
    EXPECT_EQ(ResolvePathString(("GFX/" + longName).c_str()), "gfx/" + longName);
    char small[16];
    EXPECT_EQ(ResolvePath(deep.c_str(), small, sizeof small), 0);
    EXPECT_EQ(small[0], '\0');
}

TEST_F(Resolve, EmptyAndNullPaths)
{
    char out[8] = "junk";
    EXPECT_EQ(ResolvePath("", out, sizeof out), 0);
    EXPECT_EQ(out[0], '\0');
    std::strcpy(out, "junk");
    EXPECT_EQ(ResolvePath(nullptr, out, sizeof out), 0);
    EXPECT_EQ(out[0], '\0');
    bool exists = true;
    EXPECT_EQ(ResolvePathString(nullptr, &exists), "");
    EXPECT_FALSE(exists);
    EXPECT_EQ(OpenResolved("", "rb"), nullptr);
    EXPECT_EQ(OpenResolved(nullptr, "rb"), nullptr);
    EXPECT_EQ(OpenResolved("gfx/load.ppm", nullptr), nullptr);
}

TEST_F(Resolve, OpenResolvedReadsAndCreates)
{
    FILE* f = OpenResolved("GFX/Load.PPM", "rb");
    ASSERT_NE(f, nullptr);
    char buf[4] = {};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf, f), 2u);
    EXPECT_STREQ(buf, "P6");
    std::fclose(f);

    f = OpenResolved("GFX/GUI/Neu.tga", "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    bool exists = false;
    EXPECT_EQ(ResolvePathString("gfx/gui/Neu.tga", &exists), "gfx/gui/Neu.tga");
    EXPECT_TRUE(exists) << "the new file lands in the existing folder";

    // Writing to an existing name in another case replaces that file.
    f = OpenResolved("gfx/LOAD.ppm", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("P3", f);
    std::fclose(f);
    f = std::fopen("gfx/load.ppm", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(std::fread(buf, 1, 2, f), 2u);
    EXPECT_EQ(std::string(buf, 2), "P3");
    std::fclose(f);

    EXPECT_EQ(OpenResolved("Fehlt/x.ppm", "rb"), nullptr);
}

}  // namespace
