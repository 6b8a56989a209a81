// temp_dir.h — a scratch directory per test, removed again with everything
// in it, and a scoped change of the working directory.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
    TempDir() : path_((std::filesystem::temp_directory_path() / "vext_platform_XXXXXX").string())
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
    void makeDir(const std::string& rel) const { std::filesystem::create_directories(path_ + "/" + rel); }
    // Makes the folders on the way as needed.
    void writeFile(const std::string& rel, const std::string& content) const
    {
        makeDir(std::filesystem::path(rel).parent_path().string());
        std::ofstream f(path_ + "/" + rel, std::ios::binary);
        ASSERT_TRUE(f) << rel;
        f << content;
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

private:
    std::filesystem::path old_;
};
