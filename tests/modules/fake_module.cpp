// A module file for tests of the engine's handshake.  Built several times
// with FAKE_KIND selecting what it posts:
//   1 a level record of the wrong version
//   2 a sound table of the wrong version
//   3 nothing at all (ends at once, as a module that crashes would)
//   4 a good level record whose loader fails for every name but "select"
//     and which counts how it was told to quit
#include <cstdio>
#include <cstring>

#include "core/lev.h"
#include "klangmod/soundengine.h"
#include "platform/exec.h"

namespace {

[[maybe_unused]] Lev g_lev;
[[maybe_unused]] SoundEngine g_table;
ModuleMessage g_msg;

[[maybe_unused]] int loadOnlySelect(const char* name, void*)
{
    return std::strcmp(name, "select") == 0 ? 1 : 0;
}

[[maybe_unused]] void post(void* payload)
{
    g_msg = ModuleMessage{};
    g_msg.msg.mn_Length = sizeof g_msg;
    g_msg.payload = payload;
    Forbid();
    MsgPort* port = FindPort("VextPort");
    if (port != nullptr) {
        PutMsg(port, &g_msg.msg);
    }
    Permit();
}

}  // namespace

extern "C" int vext_module_main(void)
{
#if FAKE_KIND == 1
    g_lev = Lev{};
    g_lev.moduleVersion = 2;
    post(&g_lev);
#elif FAKE_KIND == 2
    g_table = SoundEngine{};
    g_table.version = 3;
    post(&g_table);
#elif FAKE_KIND == 4
    g_lev = Lev{};
    g_lev.moduleVersion = kLevVersion;
    g_lev.levelLoader = loadOnlySelect;
    g_lev.screenWidth = 160;
    g_lev.screenHeight = 120;
    g_lev.pixelDepth = 32;
    g_lev.viewDistance = 100.0f;
    post(&g_lev);
    while (!levQuitRequested(&g_lev)) {
        Delay(1);
    }
    std::printf("fake game module ends\n");
#endif
    return 0;
}
