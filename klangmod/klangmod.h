// klangmod.h — the sound module's process: hand-over of the function table
// to the engine and the module's polling loop.
//
// Each start (one per level, from the module file's vext_module_main or the
// standalone program Klangmod) builds a fresh instance on the heap: its
// SoundEngine table, command block, start-up message and sample state
// (KlangAudio).  The instance posts its table to "VextPort", becomes the
// module's bound instance, and polls its flags once per tick until g_done;
// then it stops its sounds, closes audio, gives up the binding and frees
// itself.  The table's functions carry no context, so they act on whichever
// instance is bound at the time of the call (the newest one to post); with
// none bound they do nothing.  Table calls and the loop's own work are
// serialised by one module-wide lock, so an ending instance is never freed
// under a running call.
#pragma once

#include <cstdint>

#include "klangmod/audio_device.h"

// "$VER:" string identifying the module build.
extern const char kKlangmodVersion[];

struct KlangRunOptions {
    // Mixer to play through; null means the one given to KlangSetAudioDevice,
    // and without one the mixer over the sound card (KlangOutputDevice).
    const KlangAudioDevice* device = nullptr;
    // Calendar time in whole seconds for the channel bookkeeping; null means
    // time(nullptr).  Tests step it by hand.
    int64_t (*clock)(void) = nullptr;
};

// The module's main routine with default options.  Returns the process
// result: 0, also when no engine port exists (after printing why).
int KlangmodMain(void);
// The main routine with a chosen device and clock.  Blocks until g_done (or
// command 9) unless no engine port exists.
int KlangmodRun(const KlangRunOptions& options);

// Sets the mixer later starts use by default (null: the sound card).  The
// device table must outlive every instance started with it.
void KlangSetAudioDevice(const KlangAudioDevice* device);
