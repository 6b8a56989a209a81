// klangaudio.h — the sound module's sample table and channel bookkeeping.
//
// Owns every loaded sample (256 numbered slots, all data kept until the
// module ends) and the record of what each of the eight mixer channels is
// assumed to play.  The table functions g_loadSound, g_playSound and the rest
// (klangmod.cpp) forward here on the engine's thread; the module's own loop
// opens and closes the device.  The caller serialises all calls (one
// KlangAudio is never used by two threads at once).  Sample data go to the
// device only while it is open; loads made before that are registered when
// it opens.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "klangmod/audio_device.h"

constexpr int kKlangChannels = 8;
constexpr int kKlangSlots = 256;

struct KlangSlot {
    int32_t channel = -1;          // mixer channel last started on; -1 never started
    uint32_t frequency = 0;        // playback rate, Hz (g_setPitch)
    uint32_t sampleType = 0;       // KlangSampleType
    uint16_t numChannels = 0;      // from an AIFF header
    uint16_t sampleBits = 0;       // from an AIFF header
    int32_t volume = 0;            // 16.16, 0x10000 = full
    uint32_t pan = 0;              // 16.16, 0 left, 0x8000 centre, 0x10000 right
    uint64_t lengthBytes = 0;      // bytes at data: whole frames of the file's sample chunk
    uint64_t dataOffset = 0;       // file position where the samples start
    uint64_t frames = 0;           // lengthBytes / frame size
    std::string fileName;          // as given to loadSound; "" while never loaded
    const uint8_t* data = nullptr; // owned by KlangAudio::buffers; may be shared with another slot
    bool loaded = false;           // filled by a load since the module started
};

struct KlangChannel {
    uint16_t active = 0;   // 1 while a one-shot sound is assumed to play
    uint16_t looping = 0;  // 1 while music plays (busy until stopped)
    int64_t startTime = 0; // calendar seconds at the start
    uint64_t duration = 0; // frames / frequency, whole seconds (0 when frequency is 0)
    int32_t sound = -1;    // slot last started on it
};

// The channel busy test: music is always busy, a one-shot sound while no
// more than `duration` seconds have passed since it started.  A one-shot
// found finished is marked inactive.
bool IsPlaying(KlangChannel& channel, int64_t now);

class KlangAudio {
public:
    // clock gives calendar time in seconds; null means time(nullptr).  A null
    // device means KlangNullAudioDevice().
    KlangAudio(const KlangAudioDevice* device, int64_t (*clock)(void));
    ~KlangAudio(); // closes the device if open
    KlangAudio(const KlangAudio&) = delete;
    KlangAudio& operator=(const KlangAudio&) = delete;

    // Loads a sample file into slot `g_sounds` and advances the 8-bit counter
    // (after slot 255 the next load overwrites slot 0).  Returns the slot.
    // A file that cannot be read or used gives an empty sample and a message
    // naming the file and the problem.
    int loadSound(const char* file);
    // 1 when started on the first free channel, 0 when all are busy.
    int playSound(uint8_t n);
    int playMusic(uint8_t n);  // as playSound, looping until stopSound
    void stopSound(uint8_t n); // frees and silences the slot's last channel
    void freeSound();          // stops what plays; numbering restarts at 0
    void setPitch(unsigned frequency, uint8_t n);
    // pan 16.16 capped at 0x10000; volume 0..1 stored as 16.16.  Applied at
    // once to the channel the slot last used.
    void setVol(unsigned pan, uint8_t n, float volume);

    // Opens the device (eight channels, 256 sounds), registers every sample
    // loaded so far and starts the music begun before audio was open (the
    // engine starts its music on the first frame, which may come first);
    // false when the device refuses.  Named after the
    // original's AHI audio system, which the device stands in for.
    bool initAHI();
    void closeAHI();
    bool isOpen() const { return open_; }

    KlangSlot Sound[kKlangSlots];          // the sample table, by slot number
    KlangChannel Channels[kKlangChannels]; // by mixer channel
    uint8_t g_sounds = 0;                  // next slot to load into (wraps after 255)

private:
    bool shareEarlier(uint8_t s);
    void readSample(KlangSlot& slot);
    int start(uint8_t n, bool loop);
    void send(int ch);
    void registerSlot(int n);
    int64_t now() const;

    const KlangAudioDevice* device_;
    int64_t (*clock_)(void);
    bool open_ = false;
    std::vector<std::vector<uint8_t>> buffers_; // every sample loaded; a channel may still play one
};
