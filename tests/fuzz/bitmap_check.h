// bitmap_check.h — what every image reader result must be, whatever the
// input: a bitmap of the reader's depth, sides in 1..kMaxImageSide, and every
// pixel byte readable (so a buffer shorter than its sides is an ASan report).
#pragma once

#include <cstdlib>

#include "image/bitmap.h"
#include "image/imageio.h"

inline void CheckBitmap(const CBitmap* b, int depth)
{
    if (b == nullptr || b->depth != depth || b->pixels == nullptr || b->width < 1 || b->height < 1 ||
        b->width > kMaxImageSide || b->height > kMaxImageSide) {
        std::abort();
    }
    const size_t bytes = static_cast<size_t>(b->width) * static_cast<size_t>(b->height) * (depth / 8);
    volatile uint8_t sink = b->pixels[0];
    sink = b->pixels[bytes - 1];
    (void)sink;
}
