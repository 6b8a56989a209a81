// null_audio.cpp — the silent device and the frame-size table of audio_device.h.

#include "klangmod/audio_device.h"

uint32_t KlangFrameSize(uint32_t sampleType)
{
    switch (sampleType) {
    case KLANG_M16S:
    case KLANG_S8S: return 2;
    case KLANG_S16S: return 4;
    default: return 1;
    }
}

namespace {

int NullOpen(void*, int, int)
{
    return 1;
}

void NullClose(void*)
{}
void NullLoadSound(void*, uint16_t, const KlangSampleInfo*)
{}
void NullPlay(void*, const KlangPlayRequest*)
{}
void NullStop(void*, int)
{}
void NullSetVol(void*, int, int32_t, uint32_t)
{}

const KlangAudioDevice kNullDevice = {
    nullptr, NullOpen, NullClose, NullLoadSound, NullPlay, NullStop, NullSetVol,
};

} // namespace

const KlangAudioDevice* KlangNullAudioDevice(void)
{
    return &kNullDevice;
}
