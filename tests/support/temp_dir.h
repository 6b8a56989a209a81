// temp_dir.h — a scratch directory per test, removed again with everything
// in it; a scoped change of the working directory; and both at once for the
// code that reads and writes relative to the current directory.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// Writes the bytes, making the directories on the way.
inline void writeBytes(const std::string& path, const std::string& bytes)
{
    const std::filesystem::path p(path);
    if (p.has_parent_path()) {
        std::filesystem::create_directories(p.parent_path());
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class TempDir {
public:
    TempDir() : path_((std::filesystem::temp_directory_path() / "vext_test_XXXXXX").string())
    {
        EXPECT_NE(mkdtemp(path_.data()), nullptr) << path_;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    void writeFile(const std::string& rel, const std::string& content) const { writeBytes(path_ + "/" + rel, content); }
    // For a death-test child, which ends without running destructors: the
    // directory is removed when that process exits.
    void removeAtExit() const
    {
        static std::string pending;
        pending = path_;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(pending, ignored);
        });
    }

private:
    std::string path_;
};

// Changes the working directory for one scope.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir) : old_(std::filesystem::current_path())
    {
        std::error_code ec;
        std::filesystem::current_path(dir, ec);
        EXPECT_FALSE(ec) << dir;
    }
    ~ScopedCwd()
    {
        std::error_code ignored;
        std::filesystem::current_path(old_, ignored);
    }
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    std::filesystem::path old_;
};

// A fresh scratch directory that is the current one for its lifetime.
class WorkDir : public TempDir {
public:
    WorkDir() : cwd_(path()) {}

private:
    ScopedCwd cwd_;
};

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}
