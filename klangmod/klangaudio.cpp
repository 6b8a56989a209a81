// klangaudio.cpp — sample loading and channel choice of the sound module.

#include "klangmod/klangaudio.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>

#include "klangmod/sampleformat.h"
#include "platform/exec.h"

namespace {

constexpr uint32_t kPanRight = 0x10000;

// The whole file, or false when it cannot be opened or read (a directory,
// an unreadable file, one too large for memory).
bool ReadWholeFile(const char* path, std::vector<uint8_t>* out)
{
    FILE* f = OpenResolved(path, "rb");
    if (f == nullptr) {
        return false;
    }
    bool failed = false;
    try {
        uint8_t chunk[16384];
        size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
            out->insert(out->end(), chunk, chunk + got);
        }
        failed = std::ferror(f) != 0;
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    std::fclose(f);
    return !failed;
}

// Volume 0..1 to 16.16, truncated toward zero; values outside what 16.16 in
// 32 bits can hold are pinned rather than overflowing.
int32_t VolumeToFixed(float volume)
{
    const double v = static_cast<double>(volume) * 65536.0;
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::numeric_limits<int32_t>::max();
    }
    if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(v);
}

void SwapPairs(uint8_t* data, uint64_t length)
{
    for (uint64_t i = 0; i + 1 < length; i += 2) {
        const uint8_t t = data[i];
        data[i] = data[i + 1];
        data[i + 1] = t;
    }
}

void ClearSample(KlangSlot& slot)
{
    slot.sampleType = KLANG_M8S;
    slot.numChannels = 0;
    slot.sampleBits = 0;
    slot.lengthBytes = 0;
    slot.dataOffset = 0;
    slot.frames = 0;
    slot.data = nullptr;
}

}  // namespace

bool IsPlaying(KlangChannel& channel, int64_t now)
{
    if (channel.looping) {
        return true;
    }
    if (!channel.active) {
        return false;
    }
    const int64_t elapsed = now - channel.startTime;
    if (elapsed < 0 || channel.duration >= static_cast<uint64_t>(elapsed)) {
        return true;
    }
    channel.active = 0;
    return false;
}

KlangAudio::KlangAudio(const KlangAudioDevice* device, int64_t (*clock)(void))
    : device_(device != nullptr ? device : KlangNullAudioDevice()), clock_(clock)
{
}

KlangAudio::~KlangAudio()
{
    closeAHI();
}

int64_t KlangAudio::now() const
{
    return clock_ != nullptr ? clock_() : static_cast<int64_t>(std::time(nullptr));
}

int KlangAudio::loadSound(const char* file)
{
    const uint8_t s = g_sounds;
    KlangSlot& slot = Sound[s];
    const char* name = file != nullptr ? file : "";
    ClearSample(slot);
    slot.fileName = name;
    slot.loaded = true;
    g_sounds = static_cast<uint8_t>(s + 1);

    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(name, &bytes)) {
        // Inside the engine's process the module must not end here: the slot
        // stays an empty sample, so playing it is silent and harmless.
        std::puts("KlangModul Datei  nicht gefunden ... meine Schuld ist das nicht!\n");
        std::puts(name);
        std::fflush(stdout);
    } else if (!shareEarlier(s)) {
        takeData(slot, bytes);
    }
    registerSlot(s);
    return s;
}

// An earlier slot (first match) loaded from the same name lends its data.
bool KlangAudio::shareEarlier(uint8_t s)
{
    KlangSlot& slot = Sound[s];
    for (int i = 0; i < s; i++) {
        const KlangSlot& earlier = Sound[i];
        if (earlier.loaded && earlier.fileName == slot.fileName) {
            slot.sampleType = earlier.sampleType;
            slot.numChannels = earlier.numChannels;
            slot.sampleBits = earlier.sampleBits;
            slot.dataOffset = earlier.dataOffset;
            slot.lengthBytes = earlier.lengthBytes;
            slot.data = earlier.data;
            slot.frames = earlier.lengthBytes / KlangFrameSize(earlier.sampleType);
            return true;
        }
    }
    return false;
}

void KlangAudio::takeData(KlangSlot& slot, const std::vector<uint8_t>& bytes)
{
    const char* name = slot.fileName.c_str();
    const KlangSampleLayout layout = KlangParseSampleHeader(KlangFileKindOf(name), bytes.data(), bytes.size());
    if (!layout.headerOk) {
        std::printf("KlangModul: Warnung!!! Dateikopf von %s passt nicht, lade als 8-Bit-Mono\n", name);
        std::fflush(stdout);
    }
    // Four zero bytes past the samples, as the original loader allocated.
    const size_t samples = bytes.size() - layout.dataOffset;
    const uint64_t length = samples + 4;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length]());
    if (!buffer) {
        std::printf("KlangModul: kein Speicher für %s\n", name);
        std::fflush(stdout);
        return;
    }
    if (samples > 0) {
        std::memcpy(buffer.get(), bytes.data() + layout.dataOffset, samples);
    }
    if (layout.bigEndian16 && std::endian::native == std::endian::little) {
        SwapPairs(buffer.get(), length);
    }
    slot.sampleType = layout.sampleType;
    slot.numChannels = layout.numChannels;
    slot.sampleBits = layout.sampleBits;
    slot.dataOffset = layout.dataOffset;
    slot.lengthBytes = length;
    slot.data = buffer.get();
    slot.frames = length / KlangFrameSize(slot.sampleType);
    buffers_.push_back(std::move(buffer));
}

void KlangAudio::registerSlot(int n)
{
    if (!open_) {
        return;
    }
    const KlangSlot& slot = Sound[n];
    const KlangSampleInfo info{slot.sampleType, slot.frames > 0 ? slot.data : nullptr, slot.frames};
    device_->loadSound(device_->user, static_cast<uint16_t>(n), &info);
}

int KlangAudio::start(uint8_t n, bool loop)
{
    const int64_t t = now();
    int ch = 0;
    while (ch < kKlangChannels && IsPlaying(Channels[ch], t)) {
        ch++;
    }
    if (ch == kKlangChannels) {
        return 0;
    }
    KlangSlot& slot = Sound[n];
    KlangChannel& channel = Channels[ch];
    channel.duration = slot.frequency > 0 ? slot.frames / slot.frequency : 0;
    channel.startTime = t;
    channel.active = 1;
    channel.looping = loop ? 1 : 0;
    slot.channel = ch;
    if (open_) {
        const KlangPlayRequest request{ch, slot.frequency, slot.volume, slot.pan, n, loop ? 1 : 0};
        device_->play(device_->user, &request);
    }
    return 1;
}

int KlangAudio::playSound(uint8_t n)
{
    return start(n, false);
}

int KlangAudio::playMusic(uint8_t n)
{
    return start(n, true);
}

void KlangAudio::stopSound(uint8_t n)
{
    const int ch = Sound[n].channel;
    if (ch < 0) {
        return;
    }
    Channels[ch].active = 0;
    Channels[ch].looping = 0;
    if (open_) {
        device_->stop(device_->user, ch);
    }
}

void KlangAudio::freeSound()
{
    const int64_t t = now();
    for (int ch = 0; ch < kKlangChannels; ch++) {
        if (IsPlaying(Channels[ch], t)) {
            Channels[ch].active = 0;
            Channels[ch].looping = 0;
            if (open_) {
                device_->stop(device_->user, ch);
            }
        }
    }
    g_sounds = 0;
}

void KlangAudio::setPitch(unsigned frequency, uint8_t n)
{
    Sound[n].frequency = frequency;
}

void KlangAudio::setVol(unsigned pan, uint8_t n, float volume)
{
    KlangSlot& slot = Sound[n];
    slot.pan = pan > kPanRight ? kPanRight : pan;
    slot.volume = VolumeToFixed(volume);
    if (open_ && slot.channel >= 0) {
        device_->setVol(device_->user, slot.channel, slot.volume, slot.pan);
    }
}

bool KlangAudio::initAHI()
{
    if (open_) {
        return true;
    }
    if (device_->open(device_->user, kKlangChannels, kKlangSlots) == 0) {
        return false;
    }
    open_ = true;
    for (int n = 0; n < kKlangSlots; n++) {
        if (Sound[n].loaded) {
            registerSlot(n);
        }
    }
    return true;
}

void KlangAudio::closeAHI()
{
    if (!open_) {
        return;
    }
    device_->close(device_->user);
    open_ = false;
}
