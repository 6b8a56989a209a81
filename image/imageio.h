// imageio.h — image files into bitmaps, and the frame-buffer screenshot.
//
// Owns the two readers (binary PPM, uncompressed TGA), the 8 x 8 placeholder
// images and the screenshot writer.  The texture objects, the sky box, the
// terrain and the particle systems call the readers; the camera's frame
// grabbing and the "ScreenshotPPM" command call the writer.
//
// A reader never fails towards its caller: a missing or broken file prints
// one framed German warning (UTF-8) naming the file on stdout and yields
// the placeholder, so a level with a bad texture still runs.  Every size in a
// file is checked against the bytes actually present and against
// kMaxImageSide before anything is allocated.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/bitmap.h"

// Largest width or height any reader accepts, in pixels.
constexpr int32_t kMaxImageSide = 16384;

// Binary PPM ("P6" layout; the magic word and the maximum value are not
// checked, every sample is one byte; "#" comment lines in the header are
// skipped).  Never null; depth is always 24; the caller deletes the result.
CBitmap* LoadPPM(const char* file);

// Uncompressed TGA, types 2 and 3, 8/24/32 bits per pixel.  Never null; the
// result is always depth 32 (24-bit pixels get alpha 255, grey pixels become
// grey RGBA); rows stay in file order whatever the origin bit says.
CBitmap* LoadTGAFile(const char* file);

// The readers proper, on bytes already in memory.  nameForMessages is the
// file name the warnings show.  Same results and warnings as the file
// readers above (except the not-found case, which only the file readers have).
CBitmap* ParsePPM(const uint8_t* data, size_t size, const char* nameForMessages);
CBitmap* ParseTGA(const uint8_t* data, size_t size, const char* nameForMessages);

// ParsePPM without warning or placeholder: null on failure, with *problem
// (when given) set to a short German description ("ist mehr als 16384 Pixel
// breit oder hoch", ...) for the caller's own message.
CBitmap* TryParsePPM(const uint8_t* data, size_t size, const char** problem);

// The placeholders: 8 x 8 pixels alternating black and magenta (black first,
// so the columns alternate).  Write 8 into *w and *h; the caller owns the
// returned buffer (delete[]).  RGB: 3 bytes per pixel; RGBA: 4, alpha 255.
uint8_t* GetRGBImage(int* w, int* h);
uint8_t* GetRGBAImage(int* w, int* h);
// The placeholder as a bitmap of `depth` 24 or 32; the caller deletes it.
CBitmap* MakePlaceholder(int depth);

// Reads the rectangle (x, y, w, h) of the current GL read buffer (window
// pixels, origin bottom-left as GL counts) and writes it as binary PPM "P6"
// with maximum 255, top row first.  Needs a current GL context.  A rectangle
// that is empty or larger than kMaxImageSide, or a file that cannot be
// written (e.g. a missing directory), writes nothing and says nothing; a
// name taken by a link, FIFO or anything but a regular file is left as it is
// and named on the terminal.  True when the whole picture reached the file.
bool KRTWriteShotPPM(int x, int y, int w, int h, const char* file);
