// ReadRegularFile / OpenRegularFile / IsRegularFile on everything a level
// file may name: a normal file (any case), one over the cap, a FIFO without
// a writer (must not block), a device behind a symlink, a directory; and
// OpenRegularFileForWrite on what a data folder may hold instead of its log
// and screenshots.
#include <sys/stat.h>

#include <vector>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace {

TEST(Files, OnlyRegularFilesWithinTheCapAreRead)
{
    WorkDir dir;
    dir.writeFile("Gfx/Ok.ppm", "P6 data");
    ASSERT_EQ(mkfifo((dir.path() + "/pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.path() + "/zero");
    // cap: bytes; open: of ReadRegularFile, of OpenRegularFile.
    const struct { const char* path; size_t cap; FileError read, open; } cases[] = {
        {"GFX/ok.PPM", 7, FileError::None, FileError::None}, {"Gfx/Ok.ppm", 6, FileError::TooLarge, FileError::None},
        {"pipe", 100, FileError::NotRegular, FileError::NotRegular},
        {"zero", 100, FileError::NotRegular, FileError::NotRegular},
        {"gfx", 100, FileError::NotRegular, FileError::NotRegular},
        {"Gfx/none.ppm", 100, FileError::NotFound, FileError::NotFound},
        {"", 100, FileError::NotFound, FileError::NotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<uint8_t> bytes = {1, 2};
        EXPECT_EQ(ReadRegularFile(c.path, c.cap, bytes), c.read);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.read == FileError::None ? "P6 data" : "");
        FileError error = FileError::ReadFailed;
        FILE* f = OpenRegularFile(c.path, "rb", &error);
        EXPECT_EQ(error, c.open);
        EXPECT_EQ(f != nullptr, c.open == FileError::None);
        EXPECT_EQ(IsRegularFile(c.path), c.open == FileError::None);
        if (f != nullptr) {
            std::fclose(f);
        }
    }
}

// A planted link must not carry a write out of the folder, a FIFO must not
// block it, and a refused name is never emptied.
TEST(Files, WritesLandOnlyInRegularFilesOfTheFolder)
{
    WorkDir dir;
    dir.writeFile("outside/keep.txt", "keep");
    dir.writeFile("data/Log.txt", "old");
    std::filesystem::create_directory(dir.path() + "/data/dir");
    ASSERT_EQ(mkfifo((dir.path() + "/data/pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink("../outside/keep.txt", dir.path() + "/data/link.txt");
    // file: what to read back after writing "+" (null: refused).
    const struct { const char* path; bool append; FileError error; const char* file; const char* after; } cases[] = {
        {"data/LOG.TXT", true, FileError::None, "data/Log.txt", "old+"},
        {"data/log.txt", false, FileError::None, "data/Log.txt", "+"},
        {"data/new.txt", false, FileError::None, "data/new.txt", "+"},
        {"data/link.txt", true, FileError::NotRegular, nullptr, nullptr},
        {"data/link.txt", false, FileError::NotRegular, nullptr, nullptr},
        {"data/pipe", false, FileError::NotRegular, nullptr, nullptr},
        {"data/dir", true, FileError::NotRegular, nullptr, nullptr},
        {"data/no/x.txt", false, FileError::NotFound, nullptr, nullptr},
        {"", false, FileError::NotFound, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        FileError error = FileError::ReadFailed;
        FILE* f = OpenRegularFileForWrite(c.path, c.append, &error);
        EXPECT_EQ(error, c.error);
        ASSERT_EQ(f != nullptr, c.file != nullptr);
        if (f != nullptr) {
            std::fputs("+", f);
            std::fclose(f);
            EXPECT_EQ(readBytes(c.file), c.after);
        }
    }
    EXPECT_EQ(readBytes("outside/keep.txt"), "keep");
}

}  // namespace
