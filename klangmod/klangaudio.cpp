// klangaudio.cpp — sample loading and channel choice of the sound module.

#include "klangmod/klangaudio.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

#include "klangmod/sampleformat.h"
#include "platform/files.h"

namespace {

constexpr uint32_t kPanRight = 0x10000;

// Largest sample file read: about six minutes of 16-bit stereo at 44.1 kHz.
constexpr size_t kMaxSampleFile = size_t(64) << 20;

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

} // namespace

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
{}

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
    if (!shareEarlier(s)) {
        readSample(slot);
    }
    registerSlot(s);
    return s;
}

// An earlier slot (first match) loaded from the same name lends its data,
// without reading the file again.
bool KlangAudio::shareEarlier(uint8_t s)
{
    KlangSlot& slot = Sound[s];
    for (int i = 0; i < s; i++) {
        const KlangSlot& earlier = Sound[i];
        if (earlier.loaded && earlier.data != nullptr && earlier.fileName == slot.fileName) {
            slot.sampleType = earlier.sampleType;
            slot.numChannels = earlier.numChannels;
            slot.sampleBits = earlier.sampleBits;
            slot.dataOffset = earlier.dataOffset;
            slot.lengthBytes = earlier.lengthBytes;
            slot.data = earlier.data;
            slot.frames = earlier.frames;
            return true;
        }
    }
    return false;
}

// Reads and decodes the slot's file.  Inside the engine's process the module
// must not end on a bad file: the slot stays an empty sample, so playing it
// is silent and harmless, and the message names the file and the problem.
void KlangAudio::readSample(KlangSlot& slot)
{
    const char* name = slot.fileName.c_str();
    std::vector<uint8_t> bytes;
    const FileError error = ReadRegularFile(name, kMaxSampleFile, bytes);
    if (error == FileError::NotFound) {
        std::puts("KlangModul Datei  nicht gefunden ... meine Schuld ist das nicht!\n");
        std::puts(name);
        std::fflush(stdout);
        return;
    }
    KlangDecodedSample sample;
    std::string problem = error != FileError::None
                              ? FileErrorText(error)
                              : KlangDecodeSample(KlangFileKindOf(name), bytes.data(), bytes.size(), &sample);
    if (!problem.empty()) {
        std::printf("KlangModul: Warnung!!! %s ist nicht abspielbar: %s\n", name, problem.c_str());
        std::fflush(stdout);
        return;
    }
    if (sample.rate > 0) {
        slot.frequency = sample.rate;
    }
    slot.sampleType = sample.sampleType;
    slot.numChannels = sample.numChannels;
    slot.sampleBits = sample.sampleBits;
    slot.dataOffset = sample.dataOffset;
    slot.lengthBytes = sample.data.size();
    slot.frames = slot.lengthBytes / KlangFrameSize(slot.sampleType);
    slot.data = sample.data.empty() ? nullptr : sample.data.data();
    if (slot.data != nullptr) {
        buffers_.push_back(std::move(sample.data));
    }
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
    channel.sound = n;
    slot.channel = ch;
    send(ch);
    return 1;
}

void KlangAudio::send(int ch)
{
    const int n = Channels[ch].sound;
    if (open_ && n >= 0) {
        const KlangSlot& slot = Sound[n];
        const KlangPlayRequest request{ch,       slot.frequency,           slot.volume,
                                       slot.pan, static_cast<uint16_t>(n), Channels[ch].looping};
        device_->play(device_->user, &request);
    }
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
    for (int ch = 0; ch < kKlangChannels; ch++) {
        if (Channels[ch].looping) {
            send(ch);
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
