// csound.h — the engine's side of sound: its copy of the sound module's
// function table, and the level's sound behaviours on top of it.  Created by
// OpenKlangmodul when the module has posted a table of the right version,
// deleted by CloseKlangmodul; the global `Sound` is null while no sound
// module is bound.  The functions run on the engine's thread and act on the
// module's data.  Start-up calls loadSounds once the module is bound (at
// engine and level start); the frame calls update before the scene moves.
#pragma once

#include "core/lev.h"
#include "klangmod/soundengine.h"

class CSound {
public:
    void* task = nullptr;                      // the module's thread
    KlangCommandBlock* commandBlock = nullptr; // its name field names the build
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
    uint32_t version = 0; // not copied from the table; stays 0

    // Loads every sound of Level's list into the module in list order and
    // sets its pan, volume and rate; binds footstep pairs to the trees whose
    // parent name is the sound's name.  Each entry's slot is the module's.
    void loadSounds();
    // One frame of the level's sounds: music started once, footsteps while
    // the camera walks on a tree, positional loops faded by the camera's
    // distance.  Reads Level, Cam, objcoll and g_playermove.
    void update();
};

// Volume 0..1 of a positional loop (type 3) heard at distance d (units):
// full inside the inner radius, silent beyond the outer one, falling
// linearly by (outer - d) / falloff between them.
float positionalVolume(const LevSound& s, float d);

extern CSound* Sound;
