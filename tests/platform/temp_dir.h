// temp_dir.h — a scratch directory per test, removed again with everything
// in it, and helpers to fill it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vext_platform_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDir()
    {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    bool ok() const { return !path_.empty(); }

    void makeDir(const std::string& rel) const
    {
        std::filesystem::create_directories(path_ + "/" + rel);
    }
    void writeFile(const std::string& rel, const std::string& content) const
    {
        FILE* f = std::fopen((path_ + "/" + rel).c_str(), "wb");
        ASSERT_NE(f, nullptr) << rel;
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }

private:
    std::string path_;
};

// Changes the working directory for one scope.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir)
    {
        char buf[4096];
        if (getcwd(buf, sizeof buf) != nullptr) {
            old_ = buf;
        }
        changed_ = chdir(dir.c_str()) == 0;
    }
    ~ScopedCwd()
    {
        if (!old_.empty()) {
            (void)!chdir(old_.c_str());
        }
    }
    bool ok() const { return changed_; }

private:
    std::string old_;
    bool changed_ = false;
};
