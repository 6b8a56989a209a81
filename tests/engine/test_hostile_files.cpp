// Files that are not what they seem: a level may name a FIFO, a device, a
// directory or a link, and a copy target may hold links planted to lead the
// copy elsewhere.  Nothing may hang, read without end or write outside.
#include <sys/stat.h>

#include "core/engine.h"
#include "core/lev.h"
#include "core/sys.h"
#include "support/gl_frame.h"
#include "support/guards.h"
#include "terrain/heightfield.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(HostileFiles, NamedFilesThatAreNoRegularFilesAreRefusedWithTheirNameAndWhy)
{
    WorkDir dir;
    ASSERT_EQ(mkfifo("fifo.ppm", 0600), 0);   // no writer: an open that blocks hangs here
    fs::create_directory("dir.ppm");
    Lev level{};
    GlobalsGuard saved(Level, Boden);
    Level = &level;
    const struct { const char* name; const char* why; } cases[] = {
        // A device behind a link is the file layer's (platform/test_files.cpp);
        // the image reader's own refusals are in test_image_readers.cpp.
        {"fifo.ppm", "keine normale Datei"}, {"dir.ppm", "keine normale Datei"}, {"gone.ppm", "nicht gefunden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sysFileExist(c.name), 0);
        std::strcpy(level.heightMapFile, c.name);
        Boden = 1;
        const std::string out = stdoutOf(init_height_field);
        EXPECT_EQ(Boden, 0);
        EXPECT_NE(out.find(std::string("Höhenkarte ( ") + c.name + " ): " + c.why), std::string::npos) << out;
    }
}

TEST(HostileFiles, CopyNeverFollowsLinksInTheTargetNorReadsWhatIsNoFile)
{
    // link: planted below save/, pointing at outside/.
    const struct { const char* what; const char* source; const char* link; const char* linkTo; } cases[] = {
        {"directory link in the target", "gfx/a.ppm", "save/gfx", "../outside"},
        {"file link at the target", "gfx/a.ppm", "save/gfx/a.ppm", "../../outside/victim.txt"},
        {"source linked to /dev/zero", "snd/zero.wav", nullptr, nullptr},
        {"source is a FIFO", "snd/fifo.wav", nullptr, nullptr},
        {"source is a directory", "snd/dir.wav", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkDir dir;
        writeBytes("gfx/a.ppm", "data");
        writeBytes("outside/victim.txt", "keep");
        fs::create_directories("snd/dir.wav");
        fs::create_symlink("/dev/zero", "snd/zero.wav");
        ASSERT_EQ(mkfifo("snd/fifo.wav", 0600), 0);
        fs::create_directories("save");
        if (c.link != nullptr) {
            fs::create_directories(fs::path(c.link).parent_path());
            fs::create_symlink(c.linkTo, c.link);
        }
        int copied = -1;
        const std::string out = stdoutOf([&] { copied = sysFileCopy(c.source, "save"); });
        EXPECT_EQ(copied, 0);
        EXPECT_NE(out.find("nicht kopiert"), std::string::npos) << out;
        EXPECT_EQ(readBytes("outside/victim.txt"), "keep");
        EXPECT_EQ(std::distance(fs::directory_iterator("outside"), fs::directory_iterator()), 1);
        // Nothing below save but the planted link and its folder.
        for (const auto& e : fs::recursive_directory_iterator("save")) {
            EXPECT_TRUE(c.link != nullptr && fs::path(c.link).string().rfind(e.path().string(), 0) == 0)
                << e.path();
        }
    }
}

TEST(DisplaySize, LargerThanTheDisplayCanGiveIsRefusedAndTheRunningContextStays)
{
    ASSERT_TRUE(ensureGLContext());
    EXPECT_EQ(mglCreateContext(0, 0, 16384, 16384), nullptr);
    EXPECT_NE(std::string(mglGetLastError()).find("höchstens 8192 x 8192"), std::string::npos)
        << mglGetLastError();
    EXPECT_NE(mglGetWindowHandle(), nullptr);
}

}  // namespace
