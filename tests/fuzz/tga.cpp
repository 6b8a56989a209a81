// tga.cpp — fuzz target: arbitrary bytes through the TGA reader.
#include <cstddef>
#include <cstdint>

#include "bitmap_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CBitmap* b = ParseTGA(data, size, "fuzz.tga");
    CheckBitmap(b, 32);
    delete b;
    return 0;
}
