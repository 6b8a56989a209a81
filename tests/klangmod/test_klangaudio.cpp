// The sample table and channel bookkeeping: loading files, channel choice
// and durations with a hand-stepped clock, volume and pan, numbering.

#include <gtest/gtest.h>

#include <limits>

#include "klang_support.h"
#include "klangmod/klangaudio.h"

using namespace klangtest;

namespace {

class KlangAudioTest : public testing::Test {
protected:
    void SetUp() override { g_fakeNow = 1000000; }
    int load(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        return audio.loadSound(dir.write(name, bytes).c_str());
    }

    TempDir dir;
    KlangAudio audio{nullptr, FakeClock};
};

// A file that is missing or broken leaves an empty, silent slot, says why
// naming the file, and the next load goes on; the same name twice shares
// one buffer without reading the file again.
TEST_F(KlangAudioTest, LoadingNamesBadFilesAndSharesRepeatedNames)
{
    const std::string missing = dir.file("nirgends.8svx");
    testing::internal::CaptureStdout();
    EXPECT_EQ(audio.loadSound(missing.c_str()), 0);
    EXPECT_EQ(load("kaputt.wav", SeedFile("wav_float")), 1);
    EXPECT_EQ(audio.loadSound(dir.file("").c_str()), 2);   // a directory
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "KlangModul Datei  nicht gefunden ... meine Schuld ist das nicht!\n\n" + missing +
                  "\nKlangModul: Warnung!!! " + dir.file("kaputt.wav") + " ist nicht abspielbar: kein PCM (Format 3)\n"
                  "KlangModul: Warnung!!! " + dir.file("") + " ist nicht abspielbar: keine normale Datei\n");
    for (int n = 0; n < 3; n++) {
        EXPECT_EQ(audio.Sound[n].data, nullptr);
    }
    audio.setPitch(11025, 0);
    EXPECT_EQ(audio.playSound(0), 1);

    EXPECT_EQ(load("ok.wav", SeedFile("wav_s16")), 3);
    std::filesystem::remove(dir.file("ok.wav"));
    EXPECT_EQ(audio.loadSound(dir.file("ok.wav").c_str()), 4);
    EXPECT_EQ(audio.Sound[3].frequency, 22050u) << "a WAV's own rate is the default";
    EXPECT_EQ(audio.Sound[4].frames, 6u);
    EXPECT_EQ(audio.Sound[4].data, audio.Sound[3].data);
}

// A one-shot keeps its channel for frames / frequency whole seconds; a
// ninth is refused while all eight play; music is never chosen until
// stopped; setVol clamps; freeSound stops what plays and restarts
// numbering; the counter wraps.
TEST_F(KlangAudioTest, ChannelsVolumeAndNumbering)
{
    load("tune.raw", std::vector<uint8_t>(100, 9));
    load("long.raw", std::vector<uint8_t>(22050));
    audio.setPitch(11025, 1);
    ASSERT_EQ(audio.playMusic(0), 1);
    for (int i = 1; i < 8; i++) {
        ASSERT_EQ(audio.playSound(1), 1);
        EXPECT_EQ(audio.Sound[1].channel, i);
    }
    EXPECT_EQ(audio.Channels[1].duration, 2u);
    EXPECT_EQ(audio.playSound(1), 0);
    g_fakeNow += 2;
    EXPECT_EQ(audio.playSound(1), 0);
    g_fakeNow += 1;
    EXPECT_EQ(audio.playSound(1), 1);
    EXPECT_EQ(audio.Sound[1].channel, 1) << "channel 0 holds the music";
    g_fakeNow += 1000;
    audio.stopSound(2);   // never played: touches no channel
    EXPECT_TRUE(IsPlaying(audio.Channels[0], g_fakeNow));
    audio.stopSound(0);
    ASSERT_EQ(audio.playSound(1), 1);
    EXPECT_EQ(audio.Sound[1].channel, 0);
    audio.setPitch(0, 1);   // no rate: no duration, no division by zero
    g_fakeNow += 10;
    ASSERT_EQ(audio.playMusic(1), 1);
    EXPECT_EQ(audio.Channels[0].duration, 0u);

    audio.setVol(70000, 0, 0.5f);   // the pan is capped, the volume 16.16
    EXPECT_EQ(audio.Sound[0].pan, 0x10000u);
    EXPECT_EQ(audio.Sound[0].volume, 32768);
    audio.setVol(0, 0, std::numeric_limits<float>::quiet_NaN());   // pinned, never overflowing
    EXPECT_EQ(audio.Sound[0].volume, 0);
    audio.setVol(0, 0, 1e30f);
    EXPECT_EQ(audio.Sound[0].volume, std::numeric_limits<int32_t>::max());

    audio.freeSound();
    EXPECT_FALSE(IsPlaying(audio.Channels[0], g_fakeNow));
    EXPECT_EQ(load("b.raw", std::vector<uint8_t>(1, 9)), 0);
    audio.g_sounds = 255;
    EXPECT_EQ(load("c.raw", std::vector<uint8_t>(1, 9)), 255);
    EXPECT_EQ(load("d.raw", std::vector<uint8_t>(1, 9)), 0);
}

}  // namespace
