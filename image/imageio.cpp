// imageio.cpp — PPM and TGA readers, placeholders, screenshot writer.
//
// Sections: warnings and placeholders / byte-level helpers / PPM / TGA /
// file wrappers / screenshot.
//
// Both parsers work on a complete in-memory copy of the file and never index
// past `size`; all size arithmetic is done in 64 bits after each side has
// been limited to kMaxImageSide, so no product can overflow.

#include "image/imageio.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "core/common.h"
#include "platform/files.h"

namespace {

// ---------------------------------------------------------------------------
// Warnings and placeholders
// ---------------------------------------------------------------------------

enum class Warning { NotFound, TgaHeader, NoMemory, ShortRead, TooLarge, FileTooLarge, NotRegular, Unreadable };

// One framed warning.  The dash counts and the texts (UTF-8) are those the
// users of the original program know; keep them byte for byte.
void PrintWarning(Warning kind, const char* name)
{
    unsigned dashes = 0;
    const char* format = "";
    switch (kind) {
    case Warning::NotFound:
        dashes = 53;
        format = "Warnung!!! Textur ( %s ) nicht gefunden!\n";
        break;
    case Warning::TgaHeader:
        dashes = 65;
        format = "Warnung!!! Fehler beim scannen des TGA headers %s !\n";
        break;
    case Warning::NoMemory:
        dashes = 75;
        format = "Warnung!!! kein Speicher für Textur %s verfügbar bzw bekommen!\n";
        break;
    case Warning::ShortRead:
        dashes = 87;
        format = "Warnung!!! Fehler beim Lesen der Textur %s!(x * y * 3 Bytes nicht gelesen)\n";
        break;
    case Warning::TooLarge:
        dashes = 87;
        format = "Warnung!!! Textur %s ist zu groß (mehr als 16384 Pixel breit oder hoch)!\n";
        break;
    case Warning::FileTooLarge:
        dashes = 53;
        format = "Warnung!!! Textur ( %s ) ist größer als jedes lesbare Bild (über 1 GiB)!\n";
        break;
    case Warning::NotRegular:
        dashes = 53;
        format = "Warnung!!! Textur ( %s ) ist keine normale Datei!\n";
        break;
    case Warning::Unreadable:
        dashes = 53;
        format = "Warnung!!! Textur ( %s ) nicht lesbar!\n";
        break;
    }
    char message[512];
    std::snprintf(message, sizeof message, format, name != nullptr ? name : "(null)");
    printFramedWarning(message, dashes);
}

// 8 x 8 pixels, even pixels black and odd pixels magenta.
uint8_t* MakeCheckerPixels(int bytesPerPixel)
{
    const int count = 8 * 8;
    uint8_t* pixels = new uint8_t[static_cast<size_t>(count * bytesPerPixel)];
    for (int i = 0; i < count; ++i) {
        uint8_t* p = pixels + i * bytesPerPixel;
        const uint8_t on = (i & 1) != 0 ? 255 : 0;
        p[0] = on;
        p[1] = 0;
        p[2] = on;
        if (bytesPerPixel == 4) {
            p[3] = 255;
        }
    }
    return pixels;
}

CBitmap* Fail(Warning kind, const char* name, int depth)
{
    PrintWarning(kind, name);
    return MakePlaceholder(depth);
}

// ---------------------------------------------------------------------------
// Byte-level helpers
// ---------------------------------------------------------------------------

// The C locale's isspace, spelt out so that the locale cannot change it.
bool IsSpace(uint8_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A read position that cannot leave [0, size].
struct Cursor {
    const uint8_t* data;
    size_t size;
    size_t pos;

    bool AtEnd() const { return pos >= size; }
    uint8_t Peek() const { return data[pos]; }

    void SkipSpace()
    {
        while (!AtEnd() && IsSpace(Peek())) {
            ++pos;
        }
    }
    // Moves just past the next '\n', or to the end when there is none.
    void SkipLine()
    {
        while (!AtEnd() && data[pos++] != '\n') {
        }
    }
    // White space and whole "#" comment lines, as PNM allows between words.
    void SkipSpaceAndComments()
    {
        SkipSpace();
        while (!AtEnd() && Peek() == '#') {
            SkipLine();
            SkipSpace();
        }
    }
    // The word at the cursor (up to white space); returns its start and
    // leaves the cursor behind it.
    size_t SkipWord()
    {
        const size_t start = pos;
        while (!AtEnd() && !IsSpace(Peek())) {
            ++pos;
        }
        return start;
    }
};

// atoi on the word [begin, end): optional sign, then decimal digits; anything
// else ends the number, no digits give 0.  Saturates instead of overflowing.
int64_t WordToInt(const uint8_t* begin, const uint8_t* end)
{
    const int64_t limit = int64_t{1} << 40;
    bool negative = false;
    if (begin < end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    int64_t value = 0;
    for (; begin < end && *begin >= '0' && *begin <= '9'; ++begin) {
        if (value < limit) {
            value = value * 10 + (*begin - '0');
        }
    }
    return negative ? -value : value;
}

uint16_t ReadLE16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// ---------------------------------------------------------------------------
// PPM
// ---------------------------------------------------------------------------

struct PpmHeader {
    int64_t width = 0; // pixels, as written (may be nonsense)
    int64_t height = 0;
    size_t dataOffset = 0; // first pixel byte
};

// The original reader took three words (magic, width, height), then skipped
// the rest of the line holding the maximum value.  Comment lines are skipped
// wherever a word is expected after the magic word.
PpmHeader ReadPpmHeader(const uint8_t* data, size_t size)
{
    Cursor in{data, size, 0};
    PpmHeader header;
    in.SkipSpace();
    in.SkipWord();
    int64_t* const fields[2] = {&header.width, &header.height};
    for (int64_t* field : fields) {
        in.SkipSpaceAndComments();
        const size_t start = in.SkipWord();
        *field = WordToInt(data + start, data + in.pos);
    }
    in.SkipSpaceAndComments();
    in.SkipLine();
    header.dataOffset = in.pos;
    return header;
}

// ---------------------------------------------------------------------------
// TGA
// ---------------------------------------------------------------------------

constexpr size_t kTgaHeaderSize = 18;

struct TgaHeader {
    uint8_t idLength;
    uint8_t colourMapType;
    uint8_t imageType;
    uint16_t colourMapLength; // entries
    uint8_t colourMapEntryBits;
    uint16_t width; // pixels
    uint16_t height;
    uint8_t bitsPerPixel;
};

TgaHeader ReadTgaHeader(const uint8_t* p)
{
    TgaHeader h;
    h.idLength = p[0];
    h.colourMapType = p[1];
    h.imageType = p[2];
    h.colourMapLength = ReadLE16(p + 5);
    h.colourMapEntryBits = p[7];
    h.width = ReadLE16(p + 12);
    h.height = ReadLE16(p + 14);
    h.bitsPerPixel = p[16];
    return h;
}

// Bytes between the header and the pixels: the image ID and, when the file
// says it has one, the colour map (each entry rounded up to whole bytes).
size_t TgaDataOffset(const TgaHeader& h)
{
    size_t offset = kTgaHeaderSize + h.idLength;
    if (h.colourMapType == 1) {
        offset += static_cast<size_t>(h.colourMapLength) * ((h.colourMapEntryBits + 7u) / 8u);
    }
    return offset;
}

// File pixels (B,G,R / B,G,R,A / grey) into R,G,B,A.
void TgaToRGBA(const uint8_t* src, uint8_t* dst, size_t pixelCount, int bytesPerPixel)
{
    for (size_t i = 0; i < pixelCount; ++i, src += bytesPerPixel, dst += 4) {
        if (bytesPerPixel == 1) {
            dst[0] = dst[1] = dst[2] = src[0];
            dst[3] = 255;
        } else {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            dst[3] = bytesPerPixel == 4 ? src[3] : 255;
        }
    }
}

// ---------------------------------------------------------------------------
// File wrappers
// ---------------------------------------------------------------------------

// No accepted image needs more bytes than this; a larger file is refused.
constexpr size_t kMaxFileBytes = static_cast<size_t>(kMaxImageSide) * kMaxImageSide * 4 + (size_t{1} << 20);

using Parser = CBitmap* (*)(const uint8_t*, size_t, const char*);

CBitmap* LoadWith(Parser parse, const char* file, int placeholderDepth)
{
    std::vector<uint8_t> bytes;
    switch (ReadRegularFile(file, kMaxFileBytes, bytes)) {
    case FileError::None: break;
    case FileError::NotFound: return Fail(Warning::NotFound, file, placeholderDepth);
    case FileError::NotRegular: return Fail(Warning::NotRegular, file, placeholderDepth);
    case FileError::TooLarge: return Fail(Warning::FileTooLarge, file, placeholderDepth);
    case FileError::ReadFailed: return Fail(Warning::Unreadable, file, placeholderDepth);
    case FileError::NoMemory: return Fail(Warning::NoMemory, file, placeholderDepth);
    }
    return parse(bytes.data(), bytes.size(), file);
}

} // namespace

// ---------------------------------------------------------------------------
// Public entry points
// ---------------------------------------------------------------------------

uint8_t* GetRGBImage(int* w, int* h)
{
    *w = 8;
    *h = 8;
    return MakeCheckerPixels(3);
}

uint8_t* GetRGBAImage(int* w, int* h)
{
    *w = 8;
    *h = 8;
    return MakeCheckerPixels(4);
}

CBitmap* MakePlaceholder(int depth)
{
    CBitmap* bitmap = new CBitmap;
    int w = 0;
    int h = 0;
    bitmap->pixels = depth == 32 ? GetRGBAImage(&w, &h) : GetRGBImage(&w, &h);
    bitmap->width = w;
    bitmap->height = h;
    bitmap->depth = depth;
    return bitmap;
}

namespace {

// The PPM reader proper: the bitmap, or null and why not.
CBitmap* ReadPPMBytes(const uint8_t* data, size_t size, Warning* failure)
{
    if (data == nullptr) {
        size = 0;
    }
    const PpmHeader header = ReadPpmHeader(data, size);
    if (header.width <= 0 || header.height <= 0) {
        *failure = Warning::ShortRead;
        return nullptr;
    }
    if (header.width > kMaxImageSide || header.height > kMaxImageSide) {
        *failure = Warning::TooLarge;
        return nullptr;
    }
    const size_t bytes = static_cast<size_t>(header.width * header.height * 3);
    if (size - header.dataOffset < bytes) {
        *failure = Warning::ShortRead;
        return nullptr;
    }
    uint8_t* pixels = new (std::nothrow) uint8_t[bytes];
    if (pixels == nullptr) {
        *failure = Warning::NoMemory;
        return nullptr;
    }
    std::memcpy(pixels, data + header.dataOffset, bytes);
    CBitmap* bitmap = new CBitmap;
    bitmap->width = static_cast<int32_t>(header.width);
    bitmap->height = static_cast<int32_t>(header.height);
    bitmap->depth = 24;
    bitmap->pixels = pixels;
    return bitmap;
}

} // namespace

CBitmap* ParsePPM(const uint8_t* data, size_t size, const char* name)
{
    Warning failure = Warning::ShortRead;
    CBitmap* bitmap = ReadPPMBytes(data, size, &failure);
    return bitmap != nullptr ? bitmap : Fail(failure, name, 24);
}

CBitmap* TryParsePPM(const uint8_t* data, size_t size, const char** problem)
{
    Warning failure = Warning::ShortRead;
    CBitmap* bitmap = ReadPPMBytes(data, size, &failure);
    if (bitmap == nullptr && problem != nullptr) {
        switch (failure) {
        case Warning::TooLarge: *problem = "ist mehr als 16384 Pixel breit oder hoch"; break;
        case Warning::NoMemory: *problem = "passt nicht in den Speicher"; break;
        default: *problem = "hat keine gültige Größe oder weniger Bytes als ihre Pixel brauchen"; break;
        }
    }
    return bitmap;
}

CBitmap* ParseTGA(const uint8_t* data, size_t size, const char* name)
{
    if (data == nullptr || size < kTgaHeaderSize) {
        return Fail(Warning::TgaHeader, name, 32);
    }
    const TgaHeader h = ReadTgaHeader(data);
    // Types 9-11 are run-length encoded and 1 is colour-mapped: not read.
    const bool typeOk = h.imageType == 2 || h.imageType == 3;
    const bool bitsOk = h.bitsPerPixel == 8 || h.bitsPerPixel == 24 || h.bitsPerPixel == 32;
    if (!typeOk || !bitsOk || h.width == 0 || h.height == 0) {
        return Fail(Warning::TgaHeader, name, 32);
    }
    if (h.width > kMaxImageSide || h.height > kMaxImageSide) {
        return Fail(Warning::TooLarge, name, 32);
    }
    const int bytesPerPixel = h.bitsPerPixel / 8;
    const size_t pixelCount = static_cast<size_t>(h.width) * h.height;
    const size_t offset = TgaDataOffset(h);
    if (offset > size || size - offset < pixelCount * bytesPerPixel) {
        return Fail(Warning::ShortRead, name, 32);
    }
    uint8_t* pixels = new (std::nothrow) uint8_t[pixelCount * 4];
    if (pixels == nullptr) {
        return Fail(Warning::NoMemory, name, 32);
    }
    TgaToRGBA(data + offset, pixels, pixelCount, bytesPerPixel);
    CBitmap* bitmap = new CBitmap;
    bitmap->width = h.width;
    bitmap->height = h.height;
    bitmap->depth = 32;
    bitmap->pixels = pixels;
    return bitmap;
}

CBitmap* LoadPPM(const char* file)
{
    return LoadWith(ParsePPM, file, 24);
}

CBitmap* LoadTGAFile(const char* file)
{
    return LoadWith(ParseTGA, file, 32);
}

// ---------------------------------------------------------------------------
// Screenshot
// ---------------------------------------------------------------------------

bool KRTWriteShotPPM(int x, int y, int w, int h, const char* file)
{
    if (file == nullptr || w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) {
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(w) * 3;
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(rowBytes * static_cast<size_t>(h));
    } catch (const std::bad_alloc&) {
        return false;
    }
    GLint oldAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &oldAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, oldAlignment);

    FileError why = FileError::None;
    FILE* f = OpenRegularFileForWrite(file, false, &why);
    if (f == nullptr) {
        if (why == FileError::NotRegular) {
            std::printf("%s ist keine normale Datei, kein Bild geschrieben\n", file);
        }
        return false;
    }
    bool written = std::fprintf(f, "P6\n%d %d\n255\n", w, h) > 0;
    // GL returns the bottom row first; PPM wants the top row first.
    for (int row = h - 1; row >= 0 && written; --row) {
        written = std::fwrite(pixels.data() + rowBytes * static_cast<size_t>(row), 1, rowBytes, f) == rowBytes;
    }
    return std::fclose(f) == 0 && written;
}
