// temp_dir.h — a scratch directory per test, the working directory while it
// lives, removed again with everything in it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
    TempDir()
    {
        EXPECT_NE(mkdtemp(path_.data()), nullptr) << path_;
        std::filesystem::current_path(path_);
    }
    ~TempDir()
    {
        std::filesystem::current_path(old_, ignored_);
        std::filesystem::remove_all(path_, ignored_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Makes the folders on the way as needed.
    void writeFile(const std::string& rel, const std::string& content) const
    {
        std::filesystem::create_directories(std::filesystem::path(path_ + "/" + rel).parent_path());
        std::ofstream(path_ + "/" + rel, std::ios::binary) << content;
    }

private:
    std::filesystem::path old_ = std::filesystem::current_path();
    std::string path_ = (std::filesystem::temp_directory_path() / "vext_platform_XXXXXX").string();
    std::error_code ignored_;
};
