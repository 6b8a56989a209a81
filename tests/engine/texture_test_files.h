// texture_test_files.h — small helpers for the texture tests: a scratch
// directory that is also the current directory (the texture log and the
// definition files are relative to it), and writers for tiny image files.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace texture_test {

// Makes a fresh directory under the system temp dir and changes into it; goes
// back and removes it on destruction.
class ScopedWorkDir {
public:
    ScopedWorkDir()
    {
        previous_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "vext_tex_XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
            return;
        }
        path_ = buffer.data();
        std::filesystem::current_path(path_);
    }
    ~ScopedWorkDir()
    {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    // For a death-test child, which ends without running destructors: the
    // directory is removed when the process exits.
    void removeAtExit()
    {
        static std::filesystem::path pending;
        pending = path_;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(pending, ignored);
        });
    }
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    const std::filesystem::path p(path);
    if (p.has_parent_path()) {
        std::filesystem::create_directories(p.parent_path());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

struct Rgb {
    uint8_t r, g, b;
};

// A binary PPM of w x h pixels, pixel (x, y) from `pixel`; y = 0 is the top row.
inline void writePPM(const std::string& path, int w, int h, const std::function<Rgb(int, int)>& pixel)
{
    std::string bytes = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const Rgb c = pixel(x, y);
            bytes.push_back(static_cast<char>(c.r));
            bytes.push_back(static_cast<char>(c.g));
            bytes.push_back(static_cast<char>(c.b));
        }
    }
    writeBytes(path, bytes);
}

inline void writeSolidPPM(const std::string& path, int w, int h, Rgb colour)
{
    writePPM(path, w, h, [colour](int, int) { return colour; });
}

// An uncompressed 32-bit TGA (type 2) of w x h pixels of one colour.
inline void writeSolidTGA(const std::string& path, int w, int h, Rgb colour, uint8_t alpha)
{
    std::string bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = static_cast<char>(w & 0xFF);
    bytes[13] = static_cast<char>(w >> 8);
    bytes[14] = static_cast<char>(h & 0xFF);
    bytes[15] = static_cast<char>(h >> 8);
    bytes[16] = 32;
    for (int i = 0; i < w * h; i++) {
        bytes.push_back(static_cast<char>(colour.b));
        bytes.push_back(static_cast<char>(colour.g));
        bytes.push_back(static_cast<char>(colour.r));
        bytes.push_back(static_cast<char>(alpha));
    }
    writeBytes(path, bytes);
}

}  // namespace texture_test
