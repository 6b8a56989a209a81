// mixer.cpp — resampling, volume, pan and the clamped sum of eight channels.
#include "klangmod/mixer.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/audio.h"

namespace {

constexpr uint64_t kMaxFrames = (uint64_t(1) << 31) - 1; // keeps frames << 32 inside 64 bits
constexpr int64_t kMaxGain = int64_t(64) << 16;          // 16.16; keeps the 64-bit sum far from overflow
constexpr int kBlock = 256;                              // output frames summed per pass

// One frame of a sample as left/right values on the 16-bit scale.
struct Mono8 {
    static void Read(const uint8_t* d, uint64_t i, int32_t& l, int32_t& r) { l = r = static_cast<int8_t>(d[i]) * 256; }
};
struct Mono16 {
    static void Read(const uint8_t* d, uint64_t i, int32_t& l, int32_t& r)
    {
        int16_t s;
        std::memcpy(&s, d + 2 * i, 2);
        l = r = s;
    }
};
struct Stereo8 {
    static void Read(const uint8_t* d, uint64_t i, int32_t& l, int32_t& r)
    {
        l = static_cast<int8_t>(d[2 * i]) * 256;
        r = static_cast<int8_t>(d[2 * i + 1]) * 256;
    }
};
struct Stereo16 {
    static void Read(const uint8_t* d, uint64_t i, int32_t& l, int32_t& r)
    {
        int16_t s[2];
        std::memcpy(s, d + 4 * i, 4);
        l = s[0];
        r = s[1];
    }
};

// Adds `frames` output frames of one voice to acc (left/right pairs, values
// x gain in 16.16).  A one-shot that runs out switches the voice off.
template <class Format>
void MixVoice(KlangMixer::Voice& v, int64_t* acc, int frames)
{
    const uint64_t n = v.frames;
    const uint64_t end = n << 32;
    for (int i = 0; i < frames; i++) {
        if (v.pos >= end) {
            if (!v.loop) {
                v.on = false;
                return;
            }
            v.pos %= end;
        }
        const uint64_t at = v.pos >> 32;
        uint64_t next = at + 1;
        if (next >= n) {
            next = v.loop ? 0 : at;
        }
        const int32_t frac = static_cast<int32_t>((v.pos >> 16) & 0xFFFF);
        int32_t l0, r0, l1, r1;
        Format::Read(v.data, at, l0, r0);
        Format::Read(v.data, next, l1, r1);
        const int64_t l = l0 + (((l1 - l0) * frac) >> 16);
        const int64_t r = r0 + (((r1 - r0) * frac) >> 16);
        acc[2 * i] += l * v.gainLeft;
        acc[2 * i + 1] += r * v.gainRight;
        v.pos += v.step;
    }
}

int16_t Clamp16(int64_t x)
{
    return static_cast<int16_t>(std::clamp<int64_t>(x, -32768, 32767));
}

} // namespace

KlangMixer::KlangMixer(int rate, int32_t masterVolume) : rate_(rate > 0 ? rate : 44100), master_(masterVolume)
{}

void KlangMixer::lock()
{
    while (lock_.exchange(true, std::memory_order_acquire)) {
        while (lock_.load(std::memory_order_relaxed)) {
            std::this_thread::yield();
        }
    }
}

void KlangMixer::unlock()
{
    lock_.store(false, std::memory_order_release);
}

void KlangMixer::setRate(int rate)
{
    if (rate > 0) {
        rate_ = rate;
    }
}

void KlangMixer::loadSound(uint16_t sound, const KlangSampleInfo& info)
{
    if (sound < kMixerSounds) {
        sounds_[sound] = info;
    }
}

// Linear pan: the left share falls as the right one rises; the centre
// gives each side half.
void KlangMixer::setGains(Voice& v, int32_t volume, uint32_t pan) const
{
    const int64_t vol = std::max<int32_t>(volume, 0);
    const int64_t p = std::min<uint32_t>(pan, 0x10000);
    const int64_t scale = int64_t(kMixerChannels) << 16;
    v.gainLeft = std::min(((vol * (0x10000 - p)) >> 16) * master_ / scale, kMaxGain);
    v.gainRight = std::min(((vol * p) >> 16) * master_ / scale, kMaxGain);
}

void KlangMixer::play(const KlangPlayRequest& request)
{
    if (request.channel < 0 || request.channel >= kMixerChannels) {
        return;
    }
    const KlangSampleInfo& s = sounds_[request.sound < kMixerSounds ? request.sound : 0];
    Voice v;
    const bool known = request.sound < kMixerSounds && s.data != nullptr && s.frames > 0;
    if (known && request.frequency > 0) {
        v.data = s.data;
        v.frames = std::min(s.frames, kMaxFrames);
        v.type = s.type;
        v.step = (uint64_t(request.frequency) << 32) / static_cast<uint64_t>(rate_);
        v.loop = request.loop != 0;
        v.on = true;
    }
    setGains(v, request.volume, request.pan);
    lock();
    v.serial = voices_[request.channel].serial + 1;
    voices_[request.channel] = v;
    unlock();
}

void KlangMixer::stop(int channel)
{
    if (channel < 0 || channel >= kMixerChannels) {
        return;
    }
    lock();
    voices_[channel].on = false;
    voices_[channel].serial++;
    unlock();
}

void KlangMixer::stopAll()
{
    for (int ch = 0; ch < kMixerChannels; ch++) {
        stop(ch);
    }
}

void KlangMixer::setVol(int channel, int32_t volume, uint32_t pan)
{
    if (channel < 0 || channel >= kMixerChannels) {
        return;
    }
    Voice gains;
    setGains(gains, volume, pan);
    lock();
    voices_[channel].gainLeft = gains.gainLeft;
    voices_[channel].gainRight = gains.gainRight;
    unlock();
}

bool KlangMixer::playing(int channel)
{
    if (channel < 0 || channel >= kMixerChannels) {
        return false;
    }
    lock();
    const bool on = voices_[channel].on;
    unlock();
    return on;
}

void KlangMixer::mix(int16_t* out, int frames)
{
    Voice local[kMixerChannels];
    lock();
    std::copy(voices_, voices_ + kMixerChannels, local);
    unlock();

    int64_t acc[2 * kBlock];
    for (int done = 0; done < frames; done += kBlock) {
        const int n = std::min(kBlock, frames - done);
        std::fill(acc, acc + 2 * n, 0);
        for (Voice& v : local) {
            if (!v.on) {
                continue;
            }
            switch (v.type) {
            case KLANG_M16S: MixVoice<Mono16>(v, acc, n); break;
            case KLANG_S8S: MixVoice<Stereo8>(v, acc, n); break;
            case KLANG_S16S: MixVoice<Stereo16>(v, acc, n); break;
            default: MixVoice<Mono8>(v, acc, n); break;
            }
        }
        for (int i = 0; i < 2 * n; i++) {
            out[2 * done + i] = Clamp16(acc[i] >> 16);
        }
    }

    // A channel started, stopped or restarted meanwhile keeps the engine's
    // record; the others take the position this pass reached.
    lock();
    for (int ch = 0; ch < kMixerChannels; ch++) {
        if (voices_[ch].serial == local[ch].serial) {
            voices_[ch].pos = local[ch].pos;
            voices_[ch].on = local[ch].on;
        }
    }
    unlock();
}

// ---- the mixer as the module's audio device ----

KlangOutputDevice::KlangOutputDevice() : table_{this, Open, Close, LoadSound, Play, Stop, SetVol}
{}

KlangOutputDevice::~KlangOutputDevice()
{
    AudioClose(output_);
}

int KlangOutputDevice::Open(void* user, int channels, int sounds)
{
    auto* self = static_cast<KlangOutputDevice*>(user);
    if (channels > kMixerChannels || sounds > kMixerSounds) {
        return 0;
    }
    if (self->output_ == nullptr) {
        self->mixer_.stopAll();
        int rate = 44100;
        self->output_ = AudioOpen(44100, Fill, self, &rate);
        self->mixer_.setRate(rate);
    }
    return self->output_ != nullptr ? 1 : 0;
}

void KlangOutputDevice::Close(void* user)
{
    auto* self = static_cast<KlangOutputDevice*>(user);
    AudioClose(self->output_);
    self->output_ = nullptr;
    self->mixer_.stopAll();
}

void KlangOutputDevice::LoadSound(void* user, uint16_t sound, const KlangSampleInfo* info)
{
    static_cast<KlangOutputDevice*>(user)->mixer_.loadSound(sound, *info);
}

void KlangOutputDevice::Play(void* user, const KlangPlayRequest* request)
{
    static_cast<KlangOutputDevice*>(user)->mixer_.play(*request);
}

void KlangOutputDevice::Stop(void* user, int channel)
{
    static_cast<KlangOutputDevice*>(user)->mixer_.stop(channel);
}

void KlangOutputDevice::SetVol(void* user, int channel, int32_t volume, uint32_t pan)
{
    static_cast<KlangOutputDevice*>(user)->mixer_.setVol(channel, volume, pan);
}

void KlangOutputDevice::Fill(void* user, int16_t* out, int frames)
{
    static_cast<KlangOutputDevice*>(user)->mixer_.mix(out, frames);
}
