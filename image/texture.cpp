// texture.cpp — texture objects, their log and the 16.16 fixed-point resampler.
#include "image/texture.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/common.h"
#include "core/sys.h"
#include "image/imageio.h"
#include "platform/files.h"

namespace {

// Largest source height the resampler takes: 65536 x height must fit the
// signed 32-bit step tables.
constexpr int32_t kZoomMaxRows = 32768;

// Used when neither the engine nor GL names a maximum texture size.
constexpr int kFallbackMaxTextureSize = 1024;

// The level's largest texture side, texels; 0: unset.
int g_maxTextureSize = 0;

// Largest side an upload may have, texels: the level's setting (0 counts as
// unset), never above what GL itself accepts.
int maxUploadSide()
{
    GLint glMax = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &glMax);
    int side = g_maxTextureSize != 0 ? g_maxTextureSize : glMax;
    if (glMax > 0 && side > glMax) {
        side = glMax;
    }
    return side > 0 ? side : kFallbackMaxTextureSize;
}

// The power-of-two size an image is uploaded with, given the largest side.
void uploadSize(int32_t w, int32_t h, int32_t maxSide, int32_t* nw, int32_t* nh)
{
    if (w <= maxSide && h <= maxSide) {
        *nw = getNextOGLSize(w);
        *nh = getNextOGLSize(h);
        return;
    }
    *nw = w > maxSide ? maxSide : getNextOGLSize(w);
    *nh = h > maxSide ? maxSide : getNextOGLSize(h);
}

int bytesPerPixel(const CBitmap* bitmap)
{
    if (bitmap->depth == 32) {
        return 4;
    }
    return bitmap->depth == 24 ? 3 : 0;
}

// Pixel bytes of a w x h bitmap, or 0 when the sides are not positive or the
// product does not fit.
size_t pixelBytes(int32_t w, int32_t h, int bpp)
{
    if (w <= 0 || h <= 0 || bpp <= 0) {
        return 0;
    }
    const size_t row = static_cast<size_t>(w) * static_cast<size_t>(bpp);
    if (static_cast<size_t>(h) > SIZE_MAX / row) {
        return 0;
    }
    return row * static_cast<size_t>(h);
}

bool zoomSourceSupported(const CBitmap* src)
{
    const int bpp = bytesPerPixel(src);
    return bpp != 0 && src->pixels != nullptr && src->width > 0 && src->height > 0 &&
           static_cast<int64_t>(src->width) * bpp < kZoomMaxRowBytes && src->height < kZoomMaxRows;
}

// A 24-bit bitmap to 32 bits with alpha 255; false when out of memory.
bool expandToRGBA(CBitmap* bitmap)
{
    const size_t count = pixelBytes(bitmap->width, bitmap->height, 1);
    if (bitmap->depth != 24 || count == 0 || bitmap->pixels == nullptr) {
        return false;
    }
    auto* rgba = new (std::nothrow) uint8_t[count * 4];
    if (rgba == nullptr) {
        return false;
    }
    for (size_t i = 0; i < count; i++) {
        std::memcpy(rgba + i * 4, bitmap->pixels + i * 3, 3);
        rgba[i * 4 + 3] = 255;
    }
    delete[] bitmap->pixels;
    bitmap->pixels = rgba;
    bitmap->depth = 32;
    return true;
}

// The bitmap a texture is made from: the file's, or the placeholder when it
// is unusable.  PPM pixels are keyed (*keyFound says whether the colour
// occurred); the result is always 32 bits per pixel.
CBitmap* loadUploadBitmap(STexture* texture, const char* file, int type, uint8_t keyR, uint8_t keyG, uint8_t keyB,
                          bool* keyFound)
{
    CBitmap* bitmap = (type == kFileTypePpm) ? LoadPPM(file) : LoadTGAFile(file);
    *keyFound = false;
    if (bitmap != nullptr && type == kFileTypePpm) {
        *keyFound = texture->makeAlpha(bitmap, keyR, keyG, keyB);
    }
    if (bitmap != nullptr && bitmap->depth == 24) {
        expandToRGBA(bitmap);
    }
    if (bitmap == nullptr || bitmap->depth != 32 || bitmap->pixels == nullptr ||
        pixelBytes(bitmap->width, bitmap->height, 4) == 0) {
        delete bitmap;
        bitmap = MakePlaceholder(32);
    }
    return bitmap;
}

// Steps of one axis: entry k+1 = fraction of entry k + step, so that entry k's
// integer part is how many source pixels to advance after output pixel k-1
// and its fraction (16 bits) the weight of the next source pixel.
std::unique_ptr<int32_t[]> stepTable(int32_t srcSide, int32_t dstSide, bool smooth)
{
    const double span = smooth ? static_cast<float>(srcSide - 1) : static_cast<float>(srcSide);
    const auto step = static_cast<int32_t>(65536.0 * span / static_cast<double>(static_cast<float>(dstSide)));
    std::unique_ptr<int32_t[]> table(new (std::nothrow) int32_t[static_cast<size_t>(dstSide) + 1]);
    if (!table) {
        return table;
    }
    table[0] = 0;
    for (int32_t k = 0; k < dstSide; k++) {
        table[k + 1] = (table[k] & 0xFFFF) + step;
    }
    return table;
}

template <int BPP>
void zoomSmooth(const CBitmap* src, CBitmap* dst, const int32_t* xt, const int32_t* yt)
{
    const size_t pitch = static_cast<size_t>(src->width) * BPP;
    // A 1-pixel-wide (or -high) source has no right (lower) neighbour: the
    // edge pixel stands in for it.  Its weight is 0 there anyway.
    const size_t right = src->width > 1 ? BPP : 0;
    const size_t down = src->height > 1 ? pitch : 0;
    const uint8_t* s = src->pixels;
    uint8_t* d = dst->pixels;
    size_t row = 0;
    for (int32_t y = 0; y < dst->height; y++) {
        const int32_t ey = yt[y] & 0xFFFF;
        size_t at = row;
        for (int32_t x = 0; x < dst->width; x++) {
            const int32_t ex = xt[x] & 0xFFFF;
            for (int c = 0; c < BPP; c++) {
                const int32_t tl = s[at + c];
                const int32_t tr = s[at + right + c];
                const int32_t bl = s[at + down + c];
                const int32_t br = s[at + down + right + c];
                const int32_t t1 = ((((tr - tl) * ex) >> 16) + tl) & 0xFF;
                const int32_t t2 = ((((br - bl) * ex) >> 16) + bl) & 0xFF;
                *d++ = static_cast<uint8_t>((((t2 - t1) * ey) >> 16) + t1);
            }
            at += static_cast<size_t>(xt[x + 1] >> 16) * BPP;
        }
        row += static_cast<size_t>(yt[y + 1] >> 16) * pitch;
    }
}

template <int BPP>
void zoomNearest(const CBitmap* src, CBitmap* dst, const int32_t* xt, const int32_t* yt)
{
    const size_t pitch = static_cast<size_t>(src->width) * BPP;
    const uint8_t* s = src->pixels;
    uint8_t* d = dst->pixels;
    size_t row = 0;
    for (int32_t y = 0; y < dst->height; y++) {
        size_t at = row;
        for (int32_t x = 0; x < dst->width; x++) {
            std::memcpy(d, s + at, BPP);
            d += BPP;
            at += static_cast<size_t>(xt[x + 1] >> 16) * BPP;
        }
        row += static_cast<size_t>(yt[y + 1] >> 16) * pitch;
    }
}

template <int BPP>
int zoomWorker(CBitmap* src, CBitmap* dst, int smooth)
{
    if (src == nullptr || dst == nullptr || !zoomSourceSupported(src) || bytesPerPixel(src) != BPP ||
        bytesPerPixel(dst) != BPP || dst->pixels == nullptr || dst->width <= 0 || dst->height <= 0 ||
        dst->width > kZoomMaxSide || dst->height > kZoomMaxSide) {
        return -1;
    }
    const auto xt = stepTable(src->width, dst->width, smooth != 0);
    const auto yt = stepTable(src->height, dst->height, smooth != 0);
    if (!xt || !yt) {
        return -1;
    }
    if (smooth != 0) {
        zoomSmooth<BPP>(src, dst, xt.get(), yt.get());
    } else {
        zoomNearest<BPP>(src, dst, xt.get(), yt.get());
    }
    return 0;
}

// The log "texmod.txt", opened for appending; null when it cannot be or the
// name is taken by a link or anything but a regular file (the texture is
// made all the same; the engine said so once at start-up).
FILE* openLog()
{
    return OpenRegularFileForWrite(kTextureLogFile, true);
}

// Brings *bitmap to its upload size and logs what was done.  Returns the
// resampled copy, or null when the bitmap is uploaded as it is.  A bitmap the
// resampler cannot take is replaced by the placeholder (with a warning).
CBitmap* resizeForUpload(CBitmap** bitmap, const char* file, FILE* log)
{
    int32_t nw = 0;
    int32_t nh = 0;
    uploadSize((*bitmap)->width, (*bitmap)->height, maxUploadSide(), &nw, &nh);
    if ((nw != (*bitmap)->width || nh != (*bitmap)->height) && !zoomSourceSupported(*bitmap)) {
        char message[400];
        std::snprintf(message, sizeof message, "Warnung!!! Textur %s ist zu groß zum Skalieren (%i x %i Pixel)!\n",
                      file, (*bitmap)->width, (*bitmap)->height);
        printFramedWarning(message, 75);
        delete *bitmap;
        *bitmap = MakePlaceholder(32);
        uploadSize((*bitmap)->width, (*bitmap)->height, maxUploadSide(), &nw, &nh);
    }
    if (nw == (*bitmap)->width && nh == (*bitmap)->height) {
        if (log != nullptr) {
            std::fprintf(log, "uploading %s  %i x %i \n", file, nw, nh);
        }
        return nullptr;
    }
    if (log != nullptr) {
        std::fprintf(log, "resizing %s from %i x %i to %i x %i\n", file, (*bitmap)->width, (*bitmap)->height, nw, nh);
    }
    CBitmap* resized = zoomBitmapToSize(*bitmap, nw, nh, 1);
    if (resized == nullptr) {
        // No memory for the resampled copy: the placeholder rather than
        // uninitialised pixels.
        delete *bitmap;
        *bitmap = MakePlaceholder(32);
    }
    return resized;
}

// A new GL texture holding the RGBA bitmap, with 4 internal components when
// withAlpha is set, else 3.  Leaves it bound.
uint32_t uploadTexture(const CBitmap* bitmap, bool withAlpha, int minFilter, int magFilter)
{
    GLuint id = 0;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, withAlpha ? 4 : 3, bitmap->width, bitmap->height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 bitmap->pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    return id;
}

} // namespace

void textureSetMaxSize(int texels)
{
    g_maxTextureSize = texels > 0 ? texels : 0;
}

STexture::STexture(const char* file, int minFilter, int magFilter, bool alphaKey, int keyR, int keyG, int keyB)
{
    createTexture(file, minFilter, magFilter, alphaKey, keyR, keyG, keyB);
}

STexture::~STexture()
{
    delete[] name;
}

void STexture::createTexture(const char* file, int minFilter, int magFilter, bool alphaKey, int keyR, int keyG,
                             int keyB)
{
    if (file == nullptr) {
        return;
    }
    FILE* log = openLog();
    const int type = fileType(file);
    if (type == kFileTypePpm || type == kFileTypeTga) {
        bool keyFound = false;
        CBitmap* bitmap = loadUploadBitmap(this, file, type, static_cast<uint8_t>(keyR), static_cast<uint8_t>(keyG),
                                           static_cast<uint8_t>(keyB), &keyFound);
        CBitmap* resized = resizeForUpload(&bitmap, file, log);
        const CBitmap* upload = resized != nullptr ? resized : bitmap;
        imageWidth = bitmap->width;
        imageHeight = bitmap->height;
        width = static_cast<float>(upload->width);
        height = static_cast<float>(upload->height);
        if (id != 0) {
            glDeleteTextures(1, &id);
        }
        id = uploadTexture(upload, type == kFileTypeTga || (alphaKey && keyFound), minFilter, magFilter);
        delete resized;
        delete bitmap;
    } else {
        // Only PPM and TGA are read; anything else would leave the old (or
        // no) texture in place without a word.
        char message[400];
        std::snprintf(message, sizeof message,
                      "Warnung!!! Textur ( %s ) hat keine bekannte Endung (.ppm oder .tga), nicht geladen!\n", file);
        printFramedWarning(message, 75);
    }
    if (log != nullptr) {
        std::fclose(log);
    }
    // file may be our own name (a texture re-created from itself): copy
    // before the old name is freed.
    char* copy = newStringCopy(file);
    delete[] name;
    name = copy;
}

void STexture::Select() const
{
    glBindTexture(GL_TEXTURE_2D, id);
}

void STexture::freeTexture()
{
    if (id != 0) {
        glDeleteTextures(1, &id);
        id = 0;
    }
}

void STexture::createMipmap(const char*, int, int)
{}

bool STexture::makeAlpha(CBitmap* bitmap, uint8_t r, uint8_t g, uint8_t b)
{
    if (bitmap == nullptr || bitmap->depth != 24 || bitmap->pixels == nullptr) {
        return false;
    }
    const size_t count = pixelBytes(bitmap->width, bitmap->height, 1);
    if (count == 0 || pixelBytes(bitmap->width, bitmap->height, 4) == 0) {
        return false;
    }
    auto* rgba = new (std::nothrow) uint8_t[count * 4];
    if (rgba == nullptr) {
        return false;
    }
    bool found = false;
    const uint8_t* in = bitmap->pixels;
    for (size_t i = 0; i < count; i++, in += 3) {
        const bool key = in[0] == r && in[1] == g && in[2] == b;
        found = found || key;
        std::memcpy(rgba + i * 4, in, 3);
        rgba[i * 4 + 3] = key ? 0 : 255;
    }
    delete[] bitmap->pixels;
    bitmap->pixels = rgba;
    bitmap->depth = 32;
    return found;
}

int getNextOGLSize(int n)
{
    int size = 4;
    while (size < n && size < (1 << 30)) {
        size <<= 1;
    }
    return size;
}

CBitmap* zoomBitmapToSize(CBitmap* src, int32_t width, int32_t height, int smooth)
{
    if (src == nullptr || !zoomSourceSupported(src) || width <= 0 || height <= 0 || width > kZoomMaxSide ||
        height > kZoomMaxSide) {
        return nullptr;
    }
    const int bpp = bytesPerPixel(src);
    const size_t bytes = pixelBytes(width, height, bpp);
    auto* pixels = bytes != 0 ? new (std::nothrow) uint8_t[bytes] : nullptr;
    if (pixels == nullptr) {
        return nullptr;
    }
    auto* dst = new CBitmap;
    dst->width = width;
    dst->height = height;
    dst->depth = src->depth;
    dst->pixels = pixels;
    const int result = bpp == 4 ? zoomBitmapRGBA(src, dst, smooth) : zoomBitmapRGB(src, dst, smooth);
    if (result != 0) {
        delete dst;
        return nullptr;
    }
    return dst;
}

CBitmap* zoomBitmap(CBitmap* src, double zoomX, double zoomY, int smooth)
{
    if (src == nullptr) {
        return nullptr;
    }
    // trunc(zoom x side), at least 1; NaN and sides beyond the limit refused
    // before the conversion to int.
    const auto side = [](double zoom, int32_t srcSide) -> int32_t {
        const double wanted = zoom * static_cast<double>(srcSide);
        if (std::isnan(wanted) || wanted >= static_cast<double>(kZoomMaxSide) + 1.0) {
            return -1;
        }
        return wanted < 1.0 ? 1 : static_cast<int32_t>(wanted);
    };
    const int32_t width = side(zoomX, src->width);
    const int32_t height = side(zoomY, src->height);
    if (width < 0 || height < 0) {
        return nullptr;
    }
    return zoomBitmapToSize(src, width, height, smooth);
}

int zoomBitmapRGBA(CBitmap* src, CBitmap* dst, int smooth)
{
    return zoomWorker<4>(src, dst, smooth);
}

int zoomBitmapRGB(CBitmap* src, CBitmap* dst, int smooth)
{
    return zoomWorker<3>(src, dst, smooth);
}
