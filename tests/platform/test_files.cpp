// ReadRegularFile / OpenRegularFile / IsRegularFile on everything a level
// file may name: a normal file (any case), one over the cap, a FIFO without
// a writer (must not block), a device behind a symlink, a directory.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "temp_dir.h"

namespace {

TEST(Files, OnlyRegularFilesWithinTheCapAreRead)
{
    WorkDir dir;
    dir.writeFile("Gfx/Ok.ppm", "P6 data");
    ASSERT_EQ(mkfifo((dir.path() + "/pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.path() + "/zero");
    const struct {
        const char* path;
        size_t cap;              // bytes
        FileError read, open;    // of ReadRegularFile, of OpenRegularFile
    } cases[] = {
        {"GFX/ok.PPM", 7, FileError::None, FileError::None},
        {"Gfx/Ok.ppm", 6, FileError::TooLarge, FileError::None},
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

}  // namespace
