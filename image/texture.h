// texture.h — texture objects: one GL texture made from one image file, and
// the fixed-point resampler that brings images to power-of-two sides.
//
// image/ alone creates and deletes GL texture objects; everybody else (the
// display's font and load screen, the sky, the terrain, the GUI, the noise
// overlay, particles, the texture list) holds STexture objects and only calls
// Select().  Creation needs a current GL context and runs on the engine's
// thread.  Every upload or resize appends one line to the log "texmod.txt" in
// the current directory (the engine truncates it at start-up):
//     "uploading %s  %i x %i \n"               (file, width, height)
//     "resizing %s from %i x %i to %i x %i\n"  (file, old size, new size)
//
// Sizes: an image is uploaded with power-of-two sides of at least 4 texels,
// resampled (bilinear) when its sides are not; a side above the engine's
// maximum texture size (textureSetMaxSize; 0 means GL's own limit, which
// also caps it) is brought down to that maximum.
// Upload data are always RGBA; the internal format has 3 components unless
// the image has alpha (a TGA, or a PPM whose key colour occurred).
#pragma once

#include <cstdint>

#include "image/bitmap.h"

// The resampler addresses source rows with a 16-bit pitch: a source row of
// this many bytes or more cannot be resampled and is refused.
constexpr int32_t kZoomMaxRowBytes = 65536;

// Largest side the resampler produces, pixels.
constexpr int32_t kZoomMaxSide = 65536;

// The log every upload and resize is appended to, in the current directory.
constexpr const char* kTextureLogFile = "texmod.txt";

class STexture {
public:
    float width = 0.0f;      // texels of the uploaded image (after resampling)
    float height = 0.0f;     // texels
    int32_t imageWidth = 0;  // pixels of the image as read from the file
    int32_t imageHeight = 0; // pixels
    char* name = nullptr;    // copy of the file name (new[]); null until created
    uint32_t id = 0;         // GL texture name; 0 until created or after freeTexture

    STexture() = default;
    // Runs createTexture with the same arguments.
    STexture(const char* file, int minFilter, int magFilter, bool alphaKey, int keyR, int keyG, int keyB);
    // Frees the name copy; the GL texture stays (freeTexture deletes it).
    virtual ~STexture();
    STexture(const STexture&) = delete;
    STexture& operator=(const STexture&) = delete;

    // Loads `file` (".ppm" or ".tga", by fileType), keys colour (keyR, keyG,
    // keyB) to transparent for a PPM when alphaKey is set and the colour
    // occurs, resamples to legal sides, uploads and sets the GL filters
    // (minFilter, magFilter: GL filter enumerants).  A missing or broken image
    // becomes the 8 x 8 placeholder; any other file type creates no GL texture
    // (id stays as it was) and only records the name.  Re-creating a texture
    // deletes its previous GL object.  Nothing is reported to the caller.
    void createTexture(const char* file, int minFilter, int magFilter, bool alphaKey, int keyR, int keyG, int keyB);
    uint32_t getGLTexture() const { return id; }
    // glBindTexture(GL_TEXTURE_2D, id); id 0 binds the default texture.
    void Select() const;
    // Deletes the GL texture (when there is one) and clears id.
    void freeTexture();
    // Kept for the interface; mipmaps are never built.
    void createMipmap(const char* file, int minFilter, int magFilter);
    // Turns a 24-bit bitmap into 32 bits in place: alpha 0 where a pixel is
    // exactly (r, g, b), 255 elsewhere.  Returns whether any pixel matched.
    // Any other depth: false, bitmap untouched.
    bool makeAlpha(CBitmap* bitmap, uint8_t r, uint8_t g, uint8_t b);
};

// The smallest of 4, 8, 16, 32, ... that is >= n (below 4: 4).  For n above
// 2^30 the answer would not fit: 2^30 is returned.
int getNextOGLSize(int n);

// The level's largest texture side, texels (Lev::maxTextureSize); the engine
// sets it at start-up, before the first texture is made.  0 (or less) means
// GL's own limit.
void textureSetMaxSize(int texels);

// A new bitmap of trunc(zoomX * width) x trunc(zoomY * height) pixels (each at
// least 1) with the source's depth, resampled in 16.16 fixed point; smooth
// nonzero interpolates bilinearly.  The caller owns the result.  Null for a
// null source, a depth other than 24 or 32, a NaN factor, a result side above
// kZoomMaxSide, a source row of kZoomMaxRowBytes bytes or more, a source of
// 32768 rows or more (the 16.16 steps would overflow), or no memory.
CBitmap* zoomBitmap(CBitmap* src, double zoomX, double zoomY, int smooth);

// As zoomBitmap, to an exact size width x height (the factors zoomBitmap
// forms would sometimes truncate one pixel short).
CBitmap* zoomBitmapToSize(CBitmap* src, int32_t width, int32_t height, int smooth);

// The workers: fill dst (its size, depth and pixel buffer already set) from
// src.  RGBA for 4 bytes per pixel, RGB for 3.  0 = done, -1 = out of memory
// or sizes/depths that do not fit (dst is then left as it was).
int zoomBitmapRGBA(CBitmap* src, CBitmap* dst, int smooth);
int zoomBitmapRGB(CBitmap* src, CBitmap* dst, int smooth);
