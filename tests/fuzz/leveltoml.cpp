// leveltoml.cpp — fuzz target: bytes as a level file (and, from the same
// bytes, as config.cfg) through the game module's from-memory loader, then
// the in-place writer over whatever loaded.  Messages are kept in the
// instance, not printed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "spielmod/levelstore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SpielContext* ctx = spielCreate();
    ctx->messageOut = nullptr;
    ctx->promptOut = nullptr;
    const SpielSource text{std::string(reinterpret_cast<const char*>(data), size), "levels/f/level.toml"};
    const SpielSource config{text.text, "config.cfg"};
    if (spielLoadFromText(ctx, nullptr, text, "levels/f") == 1) {
        // Nudge what the editor edits, so the splicer has values to change.
        Lev& lev = ctx->lev;
        lev.camStartPos[0] += 1.5f;
        lev.fogColor[3] = 0.5f;
        lev.objectNameCounter += 1;
        if (lev.treeCount > 0) {
            lev.treeTable[0].position[1] += 2.0f;
            lev.treeCount -= 1;
        }
        std::string out;
        saveText(*ctx, out);
    }
    spielLoadFromText(ctx, &config, SpielSource{"", "levels/f/level.toml"}, "levels/f");
    spielDestroy(ctx);
    return 0;
}
