// ppm.cpp — fuzz target: arbitrary bytes through the PPM reader.
#include <cstddef>
#include <cstdint>

#include "bitmap_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CBitmap* b = ParsePPM(data, size, "fuzz.ppm");
    CheckBitmap(b, 24);
    delete b;
    return 0;
}
