// md2.cpp — fuzz target: MD2 files through MD2::LoadFromMemory, then every
// command's vertices for a few frames (the drawing path without GL).
#include <cstdint>

#include "fuzz_quiet.h"
#include "scene/md2.h"

namespace {

void visit(bool, const t_md2vertex* vertices, size_t count, void* sum)
{
    for (size_t i = 0; i < count; ++i) {
        *static_cast<float*>(sum) += vertices[i].x + vertices[i].y + vertices[i].z;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    silenceStdout();
    MD2 model;
    if (model.LoadFromMemory("fuzz.md2", data, size) == 0) {
        return 0;
    }
    float sum = 0.0f;
    for (int frame : {-1, 0, 1, 1000}) {
        model.Walk(frame, 0.5f, visit, &sum);
    }
    return 0;
}
