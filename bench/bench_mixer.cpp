// bench_mixer.cpp — the sound module's mixer at full load: eight channels,
// each a different layout and rate resampled to 44.1 kHz, summed for one
// second of output in callback-sized blocks of 1024 frames.  The time per
// iteration (ms) is the cost of one second of sound.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "klangmod/mixer.h"

namespace {

void BM_MixEightChannelsOneSecond(benchmark::State& state)
{
    std::vector<uint8_t> data(2 * 44100 * 4);
    for (size_t i = 0; i < data.size(); i++) {
        data[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    }
    KlangMixer mixer(44100);
    const uint32_t types[] = {KLANG_M8S, KLANG_M16S, KLANG_S8S, KLANG_S16S};
    const uint32_t rates[] = {8000, 11025, 22050, 44100, 16000, 32000, 48000, 12345};
    for (int ch = 0; ch < 8; ch++) {
        const uint32_t type = types[ch % 4];
        mixer.loadSound(static_cast<uint16_t>(ch), {type, data.data(), data.size() / KlangFrameSize(type)});
        mixer.play({ch, rates[ch], 0x8000, static_cast<uint32_t>(ch) * 0x2000, static_cast<uint16_t>(ch), 1});
    }
    std::vector<int16_t> out(2 * 1024);
    for (auto _ : state) {
        for (int frames = 0; frames < 44100; frames += 1024) {
            mixer.mix(out.data(), 1024);
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_MixEightChannelsOneSecond)->Unit(benchmark::kMillisecond);

} // namespace
