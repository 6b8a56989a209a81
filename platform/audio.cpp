// audio.cpp — the output stream of audio.h over SDL2 audio.
#include "platform/audio.h"

#include <SDL.h>

#include <cstdio>
#include <new>

struct AudioOutput {
    SDL_AudioDeviceID device = 0;
    AudioFillFn fill = nullptr;
    void* user = nullptr;
};

namespace {

void Callback(void* userdata, Uint8* stream, int len)
{
    auto* out = static_cast<AudioOutput*>(userdata);
    out->fill(out->user, reinterpret_cast<int16_t*>(stream), len / 4);
}

} // namespace

AudioOutput* AudioOpen(int rate, AudioFillFn fill, void* user, int* actualRate)
{
    // The audio part of SDL counts its users, so the engine's own use of SDL
    // and several module starts never shut each other down.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::printf("Audio: %s\n", SDL_GetError());
        return nullptr;
    }
    auto* out = new (std::nothrow) AudioOutput;
    if (out == nullptr) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    out->fill = fill;
    out->user = user;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024; // about 23 ms at 44.1 kHz: latency versus callback rate
    want.callback = Callback;
    want.userdata = out;
    SDL_AudioSpec have{};
    out->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (out->device == 0) {
        std::printf("Audio: %s\n", SDL_GetError());
        delete out;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    if (actualRate != nullptr) {
        *actualRate = have.freq;
    }
    SDL_PauseAudioDevice(out->device, 0);
    return out;
}

void AudioClose(AudioOutput* output)
{
    if (output == nullptr) {
        return;
    }
    SDL_CloseAudioDevice(output->device);
    delete output;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
