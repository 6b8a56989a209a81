// assetgen.cpp — vext_assetgen DATA_DIR: writes the demo's binary assets.
//
// Run by the build (target demo_assets) with the source tree's data/
// directory.  Prints one summary line when it changed something, nothing
// when every file was already up to date; exit status 1 when a file could
// not be written, 2 on a wrong command line.

#include "tools/assetgen.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace assetgen {

Image::Image(int w, int h, Rgb fill) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3)
{
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = fill.r;
        rgb[i + 1] = fill.g;
        rgb[i + 2] = fill.b;
    }
}

void Image::Set(int x, int y, Rgb colour)
{
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return;
    }
    uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

Rgb Image::Get(int x, int y) const
{
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
}

void Image::FillRect(int x, int y, int w, int h, Rgb colour)
{
    for (int row = y; row < y + h; ++row) {
        for (int col = x; col < x + w; ++col) {
            Set(col, row, colour);
        }
    }
}

std::vector<uint8_t> EncodePPM(const Image& image)
{
    const std::string header = "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), image.rgb.begin(), image.rgb.end());
    return bytes;
}

AssetWriter::AssetWriter(std::string root) : root_(std::move(root))
{}

namespace {

bool SameContent(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    const std::vector<uint8_t> old{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return old == bytes;
}

// Writes beside the target and renames, so an interrupted build never
// leaves a half-written image behind.
bool ReplaceFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::filesystem::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            out.close();
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace

void AssetWriter::Write(const std::string& relativePath, const std::vector<uint8_t>& bytes)
{
    const std::filesystem::path path = std::filesystem::path(root_) / relativePath;
    if (SameContent(path, bytes)) {
        ++unchanged;
        return;
    }
    if (ReplaceFile(path, bytes)) {
        ++written;
    } else {
        std::fprintf(stderr, "vext_assetgen: cannot write %s\n", path.string().c_str());
        ++failed;
    }
}

void AssetWriter::WritePPM(const std::string& relativePath, const Image& image)
{
    Write(relativePath, EncodePPM(image));
}

} // namespace assetgen

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vext_assetgen DATA_DIR\n");
        return 2;
    }
    assetgen::AssetWriter out(argv[1]);
    assetgen::GenerateFontAndScreens(out);
    assetgen::GenerateGuiImages(out);
    assetgen::GenerateLevelImages(out);
    assetgen::GenerateEffectImages(out);
    assetgen::GenerateSceneAssets(out);
    assetgen::GenerateBenchLevel(out);
    assetgen::GenerateSounds(out);
    assetgen::GenerateCamPaths(out);
    if (out.written > 0 || out.failed > 0) {
        std::printf("vext_assetgen: %d written, %d unchanged, %d failed in %s\n", out.written, out.unchanged,
                    out.failed, argv[1]);
    }
    return out.failed > 0 ? 1 : 0;
}
