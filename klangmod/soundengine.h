// soundengine.h — the table the sound module (Klangmod) posts to "VextPort".
//
// The engine copies words 0..12 of it (see sound/csound.h) and calls the
// functions directly on its own thread; the module's own thread only polls
// the init flag, the quit flag and the command block once per tick.
// Plain structs, native layout; bump kSoundEngineVersion on any change.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kSoundEngineVersion = 2;

// A request another program may hand to the module's own thread.
struct KlangCommandBlock {
    uint32_t done;      // module sets 1 when finished; a writer sets 0 to submit
    uint32_t code;      // 0 init, 1 load, 2 setVol, 3 setPitch, 4 play, 5 music,
                        // 6 pause, 7 stop, 8 freeSound, 9 done
    float volume;       // code 2, 0..1
    uint32_t panOrFreq; // code 2: pan 16.16 (0 left .. 0x10000 right); code 3: Hz
    uint8_t slot;       // sample slot
    char fileName[100]; // code 1; "Klangmodul PPC" from start-up until a load
};

typedef int (*SndInitFn)(void);
typedef int (*SndLoadFn)(char* file);
typedef int (*SndPlayFn)(uint8_t sound);
typedef void (*SndSlotFn)(uint8_t sound);
typedef void (*SndVoidFn)(void);
typedef int (*SndVersionFn)(void);
typedef void (*SndPitchFn)(unsigned frequency, uint8_t sound);
typedef void (*SndVolFn)(unsigned pan, uint8_t sound, float volume);

struct SoundEngine {
    void* task; // the module's thread (FindTask(NULL))
    KlangCommandBlock* commandBlock;
    SndInitFn g_init;          // returns 1; lets the module open audio
    SndLoadFn g_loadSound;     // slot number of the loaded sample
    SndPlayFn g_playMusic;     // 1 started (looping), 0 no channel free
    SndSlotFn g_pauseMusic;    // no effect
    SndVoidFn g_freeSound;     // stops what plays, forgets all slots
    SndVoidFn g_done;          // asks the module to quit
    SndPlayFn g_playSound;     // 1 started, 0 no channel free
    SndVersionFn g_getVersion; // 2
    SndPitchFn g_setPitch;     // rate of the next play
    SndVolFn g_setVol;         // pan 16.16, volume 0..1, at once
    SndSlotFn g_stopSound;
    uint32_t version; // kSoundEngineVersion
    uint16_t reserved;
    uint16_t quit; // 0 run, 1 quit; written by g_done
};

// The layout the engine (sound/csound.h) and the module were built with: 13
// pointer words, then the version word.  A change here must bump
// kSoundEngineVersion, and then these figures too.
static_assert(offsetof(SoundEngine, version) == 13 * sizeof(void*),
              "SoundEngine: the version word follows the 13 pointer words");
static_assert(sizeof(SoundEngine) == 13 * sizeof(void*) + 8, "SoundEngine changed size: bump kSoundEngineVersion");
static_assert(offsetof(KlangCommandBlock, fileName) == 17 && sizeof(KlangCommandBlock) == 120,
              "KlangCommandBlock changed: bump kSoundEngineVersion");
