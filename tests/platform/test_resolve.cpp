// The case-insensitive path resolver: ResolvePath (over ResolvePathString).

#include <cstring>

#include "platform/exec.h"
#include "support/temp_dir.h"

namespace {

TEST(Resolve, EachComponentIsMatchedWithoutRegardToCaseAndTheOutputNeverOverflows)
{
    WorkDir dir;
    for (const char* file : {"gfx/gui/Pointer.tga", "snd/a.wav", "Snd/b.wav", "Data", "data/config.cfg", "f\xfcr.txt"}) {
        dir.writeFile(file, "x");
    }
    std::filesystem::create_directory(dir.path() + "/SND");
    std::string deep;
    for (int i = 0; i < 600; ++i) {
        deep += "Dir/";
    }
    const std::string longName(5000, 'A');
    const struct { std::string given, want; int exists; } cases[] = {
        {"./gfx//gui", "./gfx//gui", 1},   // a path that exists as given is copied unchanged
        {"GFX/gui/POINTER.TGA", "gfx/gui/Pointer.tga", 1}, {"GFX/", "gfx/", 1},
        {"./GFX/../GFX/Gui/..", "./gfx/../gfx/gui/..", 1},
        {dir.path() + "/GFX/Gui/POINTER.tga", dir.path() + "/gfx/gui/Pointer.tga", 1},
        // An exact name wins even though "Snd" holds b.wav; without one the
        // first in byte order ("SND") is taken.
        {"snd/A.WAV", "snd/a.wav", 1}, {"snd/b.wav", "snd/b.wav", 0}, {"sNd/x.wav", "SND/x.wav", 0},
        // Inner components prefer folders; the last may be a plain file.
        {"DATA/config.cfg", "data/config.cfg", 1}, {"DATA", "Data", 1},
        // A missing final component is kept, so a new file can be made; nothing
        // below a missing folder or a file can be matched.
        {"GFX/Neu.ppm", "gfx/Neu.ppm", 0}, {"Fehlt/GFX/gui", "Fehlt/GFX/gui", 0},
        {"GFX/gui/pointer.tga/x", "gfx/gui/Pointer.tga/x", 0}, {deep + "file", deep + "file", 0},
        {"GFX/" + longName, "gfx/" + longName, 0},
        // Only ASCII letters are folded.
        {"F\xfcR.TXT", "f\xfcr.txt", 1}, {"f\xdcr.txt", "f\xdcr.txt", 0}, {"", "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given.substr(0, 80));
        char out[8192];
        EXPECT_EQ(ResolvePath(c.given.c_str(), out, sizeof out), c.exists);
        EXPECT_EQ(std::string(out), c.want);
    }

    // Exactly enough room, one byte less (empty result, nothing written past
    // the buffer), none at all, and null arguments.
    const std::string want = "data/config.cfg";
    char out[64];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ResolvePath("DATA/config.cfg", out, want.size() + 1), 1);
    EXPECT_EQ(std::string(out), want);
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(ResolvePath("DATA/config.cfg", out, want.size()), 0);
    EXPECT_EQ(std::string(out, sizeof out), '\0' + std::string(sizeof out - 1, 'x'));
    out[0] = 'x';
    EXPECT_EQ(ResolvePath("DATA/config.cfg", out, 0), 0);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(ResolvePath("DATA", nullptr, 100), 0);
    EXPECT_EQ(ResolvePath(nullptr, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
}

}  // namespace
