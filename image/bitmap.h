// bitmap.h — the in-memory image every reader returns.
//
// Rows in file order (core/common.h), no padding, channels R,G,B(,A).
// Readers never return null: a missing or broken file yields an 8 x 8
// placeholder.
#pragma once

#include <cstdint>

class CBitmap {
public:
    int32_t width = 0;         // pixels per row
    int32_t height = 0;        // rows
    int32_t depth = 0;         // bits per pixel: 24 or 32
    uint8_t* pixels = nullptr; // width*height*depth/8 bytes, owned (new[])

    CBitmap() = default;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;
    ~CBitmap() { delete[] pixels; }
};
