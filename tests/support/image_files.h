// image_files.h — tiny image files for the image, texture, sky and terrain
// tests, and what the readers give for a broken one.
#pragma once

#include <functional>
#include <memory>

#include "image/bitmap.h"
#include "image/imageio.h"
#include "support/gl_frame.h"
#include "support/guards.h"
#include "support/temp_dir.h"

using Bytes = std::vector<uint8_t>;

inline void writeBytes(const std::string& path, const Bytes& bytes)
{
    writeBytes(path, std::string(bytes.begin(), bytes.end()));
}

// A binary PPM of w x h pixels, pixel (x, y) from `pixel`; y = 0 is the top row.
inline void writePPM(const std::string& path, int w, int h, const std::function<Rgb(int, int)>& pixel)
{
    std::string bytes = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            const Rgb c = pixel(x, y);
            bytes += {static_cast<char>(c.r), static_cast<char>(c.g), static_cast<char>(c.b)};
        }
    }
    writeBytes(path, bytes);
}

inline void writeSolidPPM(const std::string& path, int w, int h, Rgb colour)
{
    writePPM(path, w, h, [colour](int, int) { return colour; });
}

// A PPM the test expects to read without a warning.
inline std::unique_ptr<CBitmap> loadGoodPPM(const std::string& path)
{
    std::unique_ptr<CBitmap> b;
    EXPECT_EQ(stdoutOf([&] { b.reset(LoadPPM(path.c_str())); }), "") << path;
    return b;
}

// Pixel (x, y) of a 24-bit bitmap, y = 0 the top row.
inline Rgb pixelAt(const CBitmap& b, int x, int y)
{
    const uint8_t* p = b.pixels + (static_cast<size_t>(y) * b.width + x) * 3;
    return {p[0], p[1], p[2]};
}

// A TGA file: the 18-byte header, idLength bytes of image ID ('i'), then body.
inline Bytes tgaFile(uint8_t type, uint16_t w, uint16_t h, uint8_t bits, const Bytes& body,
                     uint8_t descriptor = 0, uint8_t idLength = 0)
{
    const uint8_t header[18] = {idLength, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<uint8_t>(w),
                                static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8),
                                bits, descriptor};
    Bytes out(header, header + sizeof header);
    out.insert(out.end(), idLength, 'i');
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// An uncompressed 32-bit TGA (type 2) of w x h pixels of one colour.
inline void writeSolidTGA(const std::string& path, int w, int h, Rgb colour, uint8_t alpha)
{
    Bytes body;
    for (int i = 0; i < w * h; i++) {
        body.insert(body.end(), {colour.b, colour.g, colour.r, alpha});
    }
    writeBytes(path, tgaFile(2, static_cast<uint16_t>(w), static_cast<uint16_t>(h), 32, body));
}

// The readers' warnings, byte for byte (ISO-8859-1 umlauts as bytes).
inline std::string framedWarning(size_t dashes, const std::string& message)
{
    const std::string line = std::string(dashes, '-') + "\n";
    return line + "Warnung!!! " + message + "\n" + line;
}
inline std::string notFoundWarning(const std::string& name)
{
    return framedWarning(53, "Textur ( " + name + " ) nicht gefunden!");
}
inline std::string tgaHeaderWarning(const std::string& name)
{
    return framedWarning(65, "Fehler beim scannen des TGA headers " + name + " !");
}
inline std::string tooLargeWarning(const std::string& name)
{
    return framedWarning(87, "Textur " + name + " ist zu groß (mehr als 16384 Pixel breit oder hoch)!");
}
inline std::string shortReadWarning(const std::string& name)
{
    return framedWarning(87, "Fehler beim Lesen der Textur " + name + "!(x * y * 3 Bytes nicht gelesen)");
}

// Whether b is the readers' placeholder of that depth: 8 x 8, even columns
// black, odd columns magenta, alpha 255.
inline bool isPlaceholder(const CBitmap& b, int depth)
{
    bool same = b.width == 8 && b.height == 8 && b.depth == depth;
    for (int i = 0; same && i < 64; ++i) {
        const uint8_t* p = b.pixels + i * (depth / 8);
        const uint8_t on = i % 2 == 0 ? 0 : 255;
        same = p[0] == on && p[1] == 0 && p[2] == on && (depth == 24 || p[3] == 255);
    }
    return same;
}
