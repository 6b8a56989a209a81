// csound.h — the engine's side of sound: its copy of the sound module's
// function table.  Created by OpenKlangmodul when the module has posted a
// table of the right version, deleted by CloseKlangmodul; the global `Sound`
// is null while no sound module is bound.  The functions run on the engine's
// thread and act on the module's data.
#pragma once

#include "klangmod/soundengine.h"

class CSound {
public:
    void* task = nullptr;                       // the module's thread
    KlangCommandBlock* commandBlock = nullptr;  // its name field names the build
    SndInitFn g_init = nullptr;
    SndLoadFn g_loadSound = nullptr;
    SndPlayFn g_playMusic = nullptr;
    SndSlotFn g_pauseMusic = nullptr;
    SndVoidFn g_freeSound = nullptr;
    SndVoidFn g_done = nullptr;
    SndPlayFn g_playSound = nullptr;
    SndVersionFn g_getVersion = nullptr;
    SndPitchFn g_setPitch = nullptr;
    SndVolFn g_setVol = nullptr;
    SndSlotFn g_stopSound = nullptr;
    uint32_t version = 0;                       // not copied from the table; stays 0
};

extern CSound* Sound;
