// uvtex.cpp — fuzz target: UV side files through parseUVTex.  The first two
// bytes give the mesh's vertex count (little-endian), the rest is the file.
#include <cstdint>
#include <vector>

#include "fuzz_quiet.h"
#include "scene/meshpool.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceStdout();
    if (size < 2) {
        return 0;
    }
    const uint32_t vertices = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8);
    std::vector<float> uv;
    const bool ok = parseUVTex(data + 2, size - 2, vertices, "fuzz.uvtex", uv);
    if (ok != (uv.size() == static_cast<size_t>(vertices) * 2 && size - 2 == static_cast<size_t>(vertices) * 8)) {
        __builtin_trap();
    }
    return 0;
}
