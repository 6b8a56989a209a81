// The mixer's arithmetic; then the path to a sound card, captured by SDL's
// disk driver.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "klang_support.h"
#include "klangmod/klangaudio.h"
#include "klangmod/mixer.h"

using namespace klangtest;

namespace {

constexpr int kRate = 8000;
constexpr int32_t kUnity = 0x80000;   // master 8.0 over 8 channels: gain 1

std::vector<int16_t> Mix(KlangMixer& m, int frames)
{
    std::vector<int16_t> out(2 * frames, 12345);
    m.mix(out.data(), frames);
    return out;
}

TEST(Mixer, ChannelsArePannedResampledAndClamped)
{
    const uint8_t m8[] = {64, 0xC0};   // 16384, -16384
    const int16_t ramp[] = {0, 1000, 2000, 3000};
    const int16_t pair[] = {1000, -2000};
    const int16_t loud[] = {32767, -32768};
    const struct Case {
        const char* name;
        KlangSampleInfo info;
        uint32_t frequency;
        int32_t volume;
        uint32_t pan;
        int loop;
        std::vector<int16_t> want;   // left/right pairs
    } cases[] = {
        {"left", {KLANG_M8S, m8, 1}, kRate, 0x10000, 0, 0, {16384, 0}},
        {"right, half volume", {KLANG_M8S, m8, 1}, kRate, 0x8000, 0x10000, 0, {0, 8192}},
        {"centre", {KLANG_M8S, m8, 1}, kRate, 0x10000, 0x8000, 0, {8192, 8192}},
        {"half rate, interpolated", {KLANG_M16S, reinterpret_cast<const uint8_t*>(ramp), 4}, kRate / 2, 0x10000, 0, 0,
         {0, 0, 500, 0, 1000, 0, 1500, 0, 2000, 0, 2500, 0, 3000, 0, 3000, 0}},
        {"loop", {KLANG_M8S, m8, 2}, kRate, 0x10000, 0, 1, {16384, 0, -16384, 0, 16384, 0, -16384, 0}},
        {"stereo 16", {KLANG_S16S, reinterpret_cast<const uint8_t*>(pair), 1}, kRate, 0x10000, 0x8000, 0, {500, -1000}},
        {"negative volume is silence", {KLANG_M8S, m8, 1}, kRate, -0x10000, 0, 0, {0, 0}},
        {"rate 0 is silence", {KLANG_M8S, m8, 1}, 0, 0x10000, 0, 0, {}},
    };
    for (const Case& c : cases) {
        KlangMixer m(kRate, kUnity);
        m.loadSound(3, c.info);
        m.play({5, c.frequency, c.volume, c.pan, 3, c.loop});
        std::vector<int16_t> want = c.want;
        want.resize(want.size() + (c.loop ? 0 : 8), 0);   // a one-shot falls silent
        EXPECT_EQ(Mix(m, static_cast<int>(want.size() / 2)), want) << c.name;
        EXPECT_EQ(m.playing(5), c.loop == 1) << c.name;
    }

    // Eight loud channels clamp instead of wrapping; setVol and stop act on
    // what plays; the original's master volume leaves one channel at about
    // full scale.
    KlangMixer m(kRate, kUnity);
    m.loadSound(0, {KLANG_M16S, reinterpret_cast<const uint8_t*>(loud), 2});
    for (int ch = 0; ch < 8; ch++) {
        m.play({ch, kRate, 0x10000, 0x8000, 0, 1});
    }
    EXPECT_EQ(Mix(m, 1), (std::vector<int16_t>{32767, 32767}));
    EXPECT_EQ(Mix(m, 1), (std::vector<int16_t>{-32768, -32768})) << "each call goes on where the last ended";
    for (int ch = 1; ch < 8; ch++) {
        m.stop(ch);
    }
    m.setVol(0, 0x10000, 0x10000);
    EXPECT_EQ(Mix(m, 1), (std::vector<int16_t>{0, 32767}));
    KlangMixer original(kRate);
    original.loadSound(0, {KLANG_M16S, reinterpret_cast<const uint8_t*>(loud), 2});
    original.play({0, kRate, 0x10000, 0, 0, 0});
    EXPECT_EQ(Mix(original, 1), (std::vector<int16_t>{32749, 0}));
}

// The module's bookkeeping through the mixer to SDL: a sound panned hard
// left is heard on the left only, and nothing is heard once it is stopped.
TEST(Mixer, DiskDriverCapturesPanAndStop)
{
    TempDir dir;
    const std::string capture = dir.file("out.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    KlangOutputDevice out;
    KlangAudio audio(out.device(), nullptr);
    audio.loadSound(dir.write("level.raw", std::vector<uint8_t>(200, 0x40)).c_str());
    ASSERT_TRUE(audio.initAHI());
    audio.setPitch(22050, 0);
    audio.setVol(0, 0, 1.0f);
    const auto bytes = [&] { return std::filesystem::exists(capture) ? std::filesystem::file_size(capture) : 0; };
    const auto waitFor = [&](uintmax_t size) {
        for (int i = 0; i < 1000 && bytes() < size; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return bytes() >= size;
    };
    // Bytes of half a second, and of three buffers mixed before a change.
    const uintmax_t half = 44100 * 2, slack = 3 * 1024 * 4;
    ASSERT_TRUE(waitFor(1));
    const uintmax_t started = bytes();
    ASSERT_EQ(audio.playMusic(0), 1);
    ASSERT_TRUE(waitFor(started + slack + half));
    const uintmax_t stopped = bytes();
    audio.stopSound(0);
    ASSERT_TRUE(waitFor(stopped + slack + half));
    audio.closeAHI();
    setenv("SDL_AUDIODRIVER", "dummy", 1);

    std::vector<int16_t> s(bytes() / 2);
    std::ifstream(capture, std::ios::binary).read(reinterpret_cast<char*>(s.data()), std::streamsize(2 * s.size()));
    int64_t left = 0, right = 0, after = 0;
    for (size_t i = (started + slack) / 2; i + 1 < stopped / 2; i += 2) {
        left += std::abs(s[i]);
        right += std::abs(s[i + 1]);
    }
    for (size_t i = (stopped + slack) / 2; i < s.size(); i++) {
        after += std::abs(s[i]);
    }
    EXPECT_GT(left, int64_t(10000) * int64_t((stopped - started - slack) / 4));
    EXPECT_EQ(right, 0);
    EXPECT_EQ(after, 0);
}

}  // namespace
