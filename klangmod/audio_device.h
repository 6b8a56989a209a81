// audio_device.h — the mixer the sound module plays through.
//
// The module's bookkeeping (klangaudio.h) decides which sample plays on which
// of the eight channels; a device only mixes.  A device is a table of C
// function pointers with a context word, so that one built in another
// library can be handed to the module without the module linking it; the
// module's own is the mixer over the sound card (mixer.h).  All calls come from one thread at a time (the
// module serialises them); open and close come from the module's own thread,
// the rest usually from the engine's.
//
// Units shared by every call: rates in Hz, volume 16.16 fixed point
// (0x10000 = full, the per-channel level before the mixer's master gain),
// pan 16.16 (0 = left, 0x8000 = centre, 0x10000 = right).  16-bit sample data
// are in the machine's native byte order.
#pragma once

#include <cstdint>

// Sample layouts, numbered as AHI numbers them (the numbers are stored in the
// module's slots and handed to the device unchanged).
enum KlangSampleType : uint32_t {
    KLANG_M8S = 0,  // 8-bit signed mono, 1 byte per frame
    KLANG_M16S = 1, // 16-bit signed mono, 2 bytes per frame
    KLANG_S8S = 2,  // 8-bit signed stereo (left, right), 2 bytes per frame
    KLANG_S16S = 3, // 16-bit signed stereo (left, right), 4 bytes per frame
};

// Bytes per frame of a sample type; unknown types count as 1 (8-bit mono).
uint32_t KlangFrameSize(uint32_t sampleType);

// A sample registered under a sound number.
struct KlangSampleInfo {
    uint32_t type;       // KlangSampleType
    const uint8_t* data; // frames x frame size bytes; null when frames is 0
    uint64_t frames;     // sample frames in data
};

// One start of a sound on a channel.
struct KlangPlayRequest {
    int channel;        // 0 .. channels-1 given to open
    uint32_t frequency; // Hz; 0 plays nothing audible
    int32_t volume;     // 16.16, 0x10000 = full
    uint32_t pan;       // 16.16, 0 left .. 0x10000 right
    uint16_t sound;     // sound number given to loadSound
    int loop;           // 1: repeat until stopped; 0: play once
};

struct KlangAudioDevice {
    void* user; // handed back to every call

    // Claims the output for `channels` channels and `sounds` sound numbers.
    // Returns 1 on success, 0 when no output can be had (the module retries
    // on its next pass).
    int (*open)(void* user, int channels, int sounds);
    // Stops every channel and releases the output.  Only called after a
    // successful open.
    void (*close)(void* user);
    // Registers (or replaces) sound number `sound`.  The data stay valid and
    // unchanged until close, even after the number is registered again, so a
    // channel still playing the old sample may keep reading it.
    void (*loadSound)(void* user, uint16_t sound, const KlangSampleInfo* info);
    // Starts a sound on a channel at once, replacing what the channel played.
    // A sound number that was never registered plays silence.
    void (*play)(void* user, const KlangPlayRequest* request);
    // Silences a channel at once.
    void (*stop)(void* user, int channel);
    // Changes the volume and pan of what a channel plays, at once.
    void (*setVol)(void* user, int channel, int32_t volume, uint32_t pan);
};

// A device that opens successfully and plays nothing (a KlangAudio made
// without a device uses it).  Never null; the table lives forever.
const KlangAudioDevice* KlangNullAudioDevice(void);
