// audio.h — the sound card as one stereo output stream.
//
// The sound module (klangmod/) mixes its eight channels itself; all it needs
// from the platform is a stream that asks for 16-bit stereo frames.  Opened
// and closed on the module's own thread; `fill` runs on the audio thread of
// SDL and must neither block for long nor allocate.  Without a sound card,
// SDL_AUDIODRIVER=dummy (discards) or disk (writes the stream to the file
// named by SDL_DISKAUDIOFILE) stand in.
#pragma once

#include <cstdint>

struct AudioOutput;

// Fills `frames` frames of interleaved left/right signed 16-bit samples.
typedef void (*AudioFillFn)(void* user, int16_t* out, int frames);

// Opens the default output at about `rate` Hz (the device may pick another
// rate: *actualRate gets the one in use) and starts calling fill.  Null when
// no output can be had; the reason is printed once per call.
AudioOutput* AudioOpen(int rate, AudioFillFn fill, void* user, int* actualRate);
// Stops the calls to fill (none runs after this returns) and releases the
// output.  Null does nothing.
void AudioClose(AudioOutput* output);
