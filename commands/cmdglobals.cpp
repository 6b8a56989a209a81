// cmdglobals.cpp — the per-frame command state and its frame defaults; see
// cmdglobals.h.
#include "commands/cmdglobals.h"

#include "camera/camera.h"
#include "core/common.h"

// The values before the first frame defaults are applied (they are applied
// only after kDefaultsDelay of running) are the frame defaults too.
float objmovespeed = 1.0f;
float fstart = 0.5f;
float fend = 0.5f;
float fdens = 0.01f;
float g_fruntimer = 0.0f;

namespace {

// Run time after which the frame defaults are restored every frame, seconds.
constexpr float kDefaultsDelay = 0.1f;

} // namespace

void commandFrameDefaults()
{
    if (g_fruntimer > kDefaultsDelay) {
        if (Cam != nullptr) {
            Cam->movespeed = 0.3f; // units per second
            Cam->turnspeed = 8.5f; // degrees per second
        }
        objmovespeed = 1.0f;
        fstart = 0.5f;
        fend = 0.5f;
        fdens = 0.01f;
    }
    rotlock = 1;
    objRot = 0;
    g_fruntimer += g_frametime;
}
