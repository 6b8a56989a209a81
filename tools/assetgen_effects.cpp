// assetgen_effects.cpp — images of the demo's effects: the snow of level
// "select" and the film grain overlay of level "second".
//
// All of them are 32-bit TGA: the particles and the overlay need real alpha,
// which a PPM cannot carry.  The colour of transparent texels is that of the
// visible ones, so linear filtering never darkens a soft edge.  The engine
// draws with an alpha test at 0.1, so soft shapes are cut where their alpha
// falls below that; a shape meant to show keeps well above it.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen.h"

namespace assetgen {
namespace {

// A 32-bit picture, rows top first.
struct RgbaImage {
    int width;
    int height;
    std::vector<uint8_t> rgba; // width * height * 4 bytes, R, G, B, A

    RgbaImage(int w, int h, Rgb colour) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4)
    {
        for (size_t i = 0; i < rgba.size(); i += 4) {
            rgba[i] = colour.r;
            rgba[i + 1] = colour.g;
            rgba[i + 2] = colour.b;
            rgba[i + 3] = 0;
        }
    }
    uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Uncompressed TGA (type 2, 32 bits, top-left origin): BGRA rows top first.
std::vector<uint8_t> EncodeTGA(const RgbaImage& image)
{
    std::vector<uint8_t> bytes(18, 0);
    bytes[2] = 2;
    bytes[12] = static_cast<uint8_t>(image.width & 0xff);
    bytes[13] = static_cast<uint8_t>(image.width >> 8);
    bytes[14] = static_cast<uint8_t>(image.height & 0xff);
    bytes[15] = static_cast<uint8_t>(image.height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28; // 8 alpha bits, top-left origin
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
        bytes.push_back(image.rgba[i + 2]);
        bytes.push_back(image.rgba[i + 1]);
        bytes.push_back(image.rgba[i]);
        bytes.push_back(image.rgba[i + 3]);
    }
    return bytes;
}

uint8_t AlphaByte(double a)
{
    return static_cast<uint8_t>(std::clamp(a * 255.0 + 0.5, 0.0, 255.0));
}

uint32_t Mix32(uint32_t x, uint32_t y, uint32_t seed)
{
    uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    return h ^ (h >> 15);
}

// 0..1
double Unit(uint32_t x, uint32_t y, uint32_t seed)
{
    return (Mix32(x, y, seed) & 0xFFFFFF) / 16777215.0;
}

// A soft round flake: opaque core, alpha falling smoothly to 0 at `radius`
// pixels from the centre (cx, cy); combined with what is there by maximum.
// Distances wrap around the picture's edges when `tile` is set, so a tiling
// sheet has no seams.
void SoftDot(RgbaImage& image, double cx, double cy, double radius, double peak, bool tile)
{
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            double dx = std::fabs(x + 0.5 - cx);
            double dy = std::fabs(y + 0.5 - cy);
            if (tile) {
                dx = std::min(dx, image.width - dx);
                dy = std::min(dy, image.height - dy);
            }
            const double r = std::sqrt(dx * dx + dy * dy) / radius;
            if (r >= 1.0) {
                continue;
            }
            const double a = peak * (1.0 - r * r) * (1.0 - r * r);
            uint8_t* p = image.At(x, y);
            p[3] = std::max(p[3], AlphaByte(a));
        }
    }
}

// One snowflake, white, filling its 32 x 32 picture.
RgbaImage Snowflake()
{
    RgbaImage image(32, 32, Rgb{255, 255, 255});
    SoftDot(image, 16.0, 16.0, 15.0, 1.0, false);
    return image;
}

// A tiling sheet of small flakes of several sizes, for a system that takes
// its texture coordinates from world position: each particle shows the part
// of the sheet behind it, so the flakes differ and shift as they fall.
RgbaImage FlakeSheet()
{
    RgbaImage image(64, 64, Rgb{240, 246, 255});
    for (uint32_t i = 0; i < 24; ++i) {
        const double x = Unit(i, 1, 77) * 64.0;
        const double y = Unit(i, 2, 77) * 64.0;
        const double radius = 1.6 + Unit(i, 3, 77) * 1.4;
        SoftDot(image, x, y, radius, 0.8 + 0.2 * Unit(i, 4, 77), true);
    }
    return image;
}

// Frame `frame` of the film grain: sparse light and dark specks, each texel
// on its own; most stay fully transparent.  Two frames carry a faint
// vertical scratch.
RgbaImage Grain(uint32_t frame)
{
    RgbaImage image(320, 240, Rgb{0, 0, 0});
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            // Roughly bell-shaped: the sum of three uniform values.
            const double v = Unit(x, y, frame * 3 + 1) + Unit(x, y, frame * 3 + 2) + Unit(x, y, frame * 3 + 3) - 1.5;
            const double strength = std::fabs(v);
            if (strength < 0.72) {
                continue;
            }
            uint8_t* p = image.At(x, y);
            const bool light = v > 0.0;
            p[0] = light ? 255 : 48;
            p[1] = light ? 250 : 40;
            p[2] = light ? 238 : 32;
            p[3] = AlphaByte(0.13 + (strength - 0.72) * 0.2);
        }
    }
    if (frame == 1 || frame == 4) {
        const int x = 40 + static_cast<int>(Unit(frame, 9, 5) * 240.0);
        for (int y = 0; y < image.height; ++y) {
            const int wobble = static_cast<int>(Unit(y / 16, frame, 6) * 2.0);
            uint8_t* p = image.At(std::min(image.width - 1, x + wobble), y);
            p[0] = 255;
            p[1] = 248;
            p[2] = 230;
            p[3] = AlphaByte(0.18);
        }
    }
    return image;
}

} // namespace

void GenerateEffectImages(AssetWriter& out)
{
    out.Write("levels/select/snowflake.tga", EncodeTGA(Snowflake()));
    out.Write("levels/select/flakes.tga", EncodeTGA(FlakeSheet()));
    for (uint32_t frame = 0; frame < kGrainFrames; ++frame) {
        out.Write("levels/second/grain" + std::to_string(frame + 1) + ".tga", EncodeTGA(Grain(frame)));
    }
}

} // namespace assetgen
