// mixer.h — the sound module's eight-channel software mixer.
//
// Stands where the original had the AHI audio system: each channel plays one
// registered sample (8 or 16 bit, mono or stereo) at its own rate, resampled
// to the output rate by linear interpolation, with volume and pan, once or
// looping; the sum is scaled by the master volume and clamped to 16 bits.
// KlangAudio (through the device table of audio_device.h) calls loadSound,
// play, stop and setVol on the engine's thread; the audio thread calls mix.
// The two meet in a per-channel record guarded by a spinlock that either
// side holds only to copy a few words: mix works on a private copy and never
// allocates, so a slow engine frame cannot stall the sound, and the engine
// never waits for a whole mix.
#pragma once

#include <atomic>
#include <cstdint>

#include "klangmod/audio_device.h"

constexpr int kMixerChannels = 8;
constexpr int kMixerSounds = 256;
// The original set AHI's master volume to 524000 (16.16, about 8.0).  AHI
// gives each of n channels 1/n of the range and the master volume scales
// that back up, so 8.0 over eight channels means: one channel at volume
// 0x10000 reaches full scale, and only several loud channels together clip
// (clamped, never wrapped).
constexpr int32_t kMasterVolume = 524000;

class KlangMixer {
public:
    // rate: output frames per second (Hz).
    explicit KlangMixer(int rate = 44100, int32_t masterVolume = kMasterVolume);

    // Output rate; takes effect with the next play.
    void setRate(int rate);
    // Registers (or replaces) a sound number; the data must stay valid while
    // any channel may play them.  Numbers past the table are ignored.
    void loadSound(uint16_t sound, const KlangSampleInfo& info);
    // Starts the request's sound on its channel from the first frame.  A
    // channel outside 0..7, an unregistered sound or frequency 0 leaves the
    // channel silent.
    void play(const KlangPlayRequest& request);
    void stop(int channel);
    void stopAll();
    void setVol(int channel, int32_t volume, uint32_t pan);

    // Adds nothing, replaces `out`: `frames` interleaved left/right frames.
    // Audio thread; no allocation, no lock held while mixing.
    void mix(int16_t* out, int frames);

    // Whether a channel still plays (a one-shot past its end does not).
    bool playing(int channel);

    struct Voice {
        const uint8_t* data = nullptr;
        uint64_t frames = 0;  // sample frames in data
        uint32_t type = 0;    // KlangSampleType
        uint64_t pos = 0;     // read position, sample frames in 32.32 fixed point
        uint64_t step = 0;    // pos advance per output frame, 32.32
        int64_t gainLeft = 0; // 16.16, volume x pan share x master / channels
        int64_t gainRight = 0;
        bool loop = false;
        bool on = false;
        uint32_t serial = 0; // bumped by play/stop: mix keeps its copy's position only if unchanged
    };

private:
    void lock();
    void unlock();
    void setGains(Voice& v, int32_t volume, uint32_t pan) const;

    int rate_;
    int32_t master_;
    KlangSampleInfo sounds_[kMixerSounds] = {}; // engine side only
    Voice voices_[kMixerChannels];              // shared, under lock_
    std::atomic<bool> lock_{false};
};

// The mixer over the platform's audio output (platform/audio.h): the device
// the module plays through unless it is given another.  Each instance is
// one output; the table's user word points to it.
class KlangOutputDevice {
public:
    KlangOutputDevice();
    ~KlangOutputDevice();
    KlangOutputDevice(const KlangOutputDevice&) = delete;
    KlangOutputDevice& operator=(const KlangOutputDevice&) = delete;

    const KlangAudioDevice* device() const { return &table_; }

private:
    static int Open(void* user, int channels, int sounds);
    static void Close(void* user);
    static void LoadSound(void* user, uint16_t sound, const KlangSampleInfo* info);
    static void Play(void* user, const KlangPlayRequest* request);
    static void Stop(void* user, int channel);
    static void SetVol(void* user, int channel, int32_t volume, uint32_t pan);
    static void Fill(void* user, int16_t* out, int frames);

    KlangMixer mixer_;
    struct AudioOutput* output_ = nullptr;
    KlangAudioDevice table_;
};
