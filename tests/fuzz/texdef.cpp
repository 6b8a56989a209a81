// texdef.cpp — fuzz target: arbitrary bytes through the texture definition
// grammar, as a tree file and as a person file.  Every entry handed on must
// have terminated name and file fields, and a file name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "image/texlist.h"

namespace {

void CheckEntry(const t_texdef& def, void* count)
{
    if (strnlen(def.name, sizeof def.name) == sizeof def.name || strnlen(def.file, sizeof def.file) == sizeof def.file ||
        def.name[0] == '\0' || def.file[0] == '\0') {
        std::abort();
    }
    ++*static_cast<int*>(count);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    for (bool person : {false, true}) {
        t_texmodel model{};
        int seen = 0;
        if (parseTexDefs(text, size, person, "fuzz.tex", CheckEntry, &seen, &model) != seen) {
            std::abort();
        }
    }
    return 0;
}
