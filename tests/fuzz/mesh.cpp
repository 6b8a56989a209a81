// mesh.cpp — fuzz target: text meshes through parseMeshText, then the
// generated texture coordinates and the quad walk over the stream.
#include <cstdint>
#include <cstring>
#include <strings.h>
#include <vector>

#include "fuzz_quiet.h"
#include "scene/meshpool.h"

namespace {

// Four textures: plain, quads in mode 0, noclip projected, and one whose
// index is too high for a marker.
const char* const kNames[] = {"bark", "leaves", "glass", "far"};
const int32_t kIndexes[] = {0, 1, 2, 600};

int32_t find(const char* name, void*)
{
    for (int i = 0; i < 4; ++i) {
        if (strcasecmp(name, kNames[i]) == 0) {
            return kIndexes[i];
        }
    }
    return -1;
}

bool settings(int32_t index, t_meshtex* out, void*)
{
    if (index < 0 || index > 2) {
        return false;
    }
    out->scaleU = 2.0f;
    out->scaleV = 0.5f;
    out->texmode = index == 2 ? 3 : 0;
    out->quads = index == 1;
    out->noclip = index == 2;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceStdout();
    const t_meshtexsource textures{find, settings, nullptr};
    t_meshdata mesh;
    parseMeshText(reinterpret_cast<const char*>(data), size, "fuzz.raw", textures, mesh);
    if (mesh.stream.empty() || mesh.stream.back() != kMeshEnd) {
        __builtin_trap();
    }
    std::vector<float> uv;
    generateUVCoords(mesh.stream.data(), mesh.stream.size(), mesh.vertexCount, textures, uv);
    // Every face start lies below the face limit or is a selectable marker.
    for (size_t i = 0; i + 1 < mesh.stream.size();) {
        const float v = mesh.stream[i];
        if (v < kMeshFaceLimit) {
            i += meshFaceIsQuad(true, mesh.stream.data(), i, mesh.stream.size()) ? 18 : 9;
        } else if (meshMarkerTexture(v) >= 0) {
            ++i;
        } else {
            __builtin_trap();
        }
    }
    return 0;
}
