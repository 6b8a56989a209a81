// The sample table and channel bookkeeping: loading real files, sharing,
// channel choice and durations with a hand-stepped clock, volume and pan.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "klang_support.h"
#include "klangmod/klangaudio.h"

using namespace klangtest;

namespace {

class KlangAudioTest : public testing::Test {
protected:
    void SetUp() override { g_fakeNow = 1000000; }

    // Loads a file and checks the bound every load must keep.
    int load(const std::string& path, size_t fileSize)
    {
        const int s = audio.loadSound(const_cast<char*>(path.c_str()));
        EXPECT_LE(audio.Sound[s].lengthBytes, fileSize + 4) << path;
        return s;
    }
    // A raw 8-bit mono sample of exactly `frames` frames (the loader adds 4).
    int loadFrames(const std::string& name, size_t frames)
    {
        return load(dir.write(name, Ramp(frames - 4)), frames - 4);
    }

    TempDir dir;
    RecordingDevice rec;
    KlangAudio audio{rec.device(), FakeClock};
};

TEST_F(KlangAudioTest, EightSvxBodyDataWithFourZeroBytes)
{
    const std::vector<uint8_t> body = Ramp(11);
    const std::vector<uint8_t> file = Make8svx(body);
    const int s = load(dir.write("step.8svx", file), file.size());
    const KlangSlot& slot = audio.Sound[s];
    EXPECT_EQ(s, 0);
    EXPECT_EQ(slot.dataOffset, k8svxDataOffset);
    EXPECT_EQ(slot.sampleType, uint32_t(KLANG_M8S));
    ASSERT_EQ(slot.lengthBytes, body.size() + 4);
    EXPECT_EQ(slot.frames, body.size() + 4);
    EXPECT_EQ(std::memcmp(slot.data, body.data(), body.size()), 0);
    EXPECT_EQ(std::memcmp(slot.data + body.size(), "\0\0\0\0", 4), 0);
}

TEST_F(KlangAudioTest, AiffSixteenBitStereoComesOutInNativeOrder)
{
    const std::vector<uint8_t> data = {0x12, 0x34, 0xFF, 0xFE, 0x00, 0x01, 0x80, 0x00};
    const std::vector<uint8_t> file = MakeAiff(2, 16, data);
    const int s = load(dir.write("wind.aiff", file), file.size());
    const KlangSlot& slot = audio.Sound[s];
    EXPECT_EQ(slot.sampleType, uint32_t(KLANG_S16S));
    EXPECT_EQ(slot.numChannels, 2);
    EXPECT_EQ(slot.sampleBits, 16);
    EXPECT_EQ(slot.dataOffset, kAiffDataOffset);
    EXPECT_EQ(slot.frames, (data.size() + 4) / 4);
    int16_t first[4];
    std::memcpy(first, slot.data, sizeof first);
    EXPECT_EQ(first[0], 0x1234);
    EXPECT_EQ(first[1], -2);
    EXPECT_EQ(first[2], 1);
    EXPECT_EQ(first[3], -32768);
}

TEST_F(KlangAudioTest, AiffWithOtherCommSizeLoadsAsEightBitMonoAndWarns)
{
    const std::vector<uint8_t> file = MakeAiff(2, 16, Ramp(8), 22);
    const std::string path = dir.write("odd.aiff", file);
    testing::internal::CaptureStdout();
    const int s = load(path, file.size());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(path), std::string::npos);
    const KlangSlot& slot = audio.Sound[s];
    EXPECT_EQ(slot.sampleType, uint32_t(KLANG_M8S));
    EXPECT_EQ(slot.dataOffset, 20u);
    EXPECT_EQ(slot.lengthBytes, file.size() - 20 + 4);
    EXPECT_EQ(std::memcmp(slot.data, file.data() + 20, file.size() - 20), 0);
}

TEST_F(KlangAudioTest, WavIsTheWholeFileAsSixteenBitMono)
{
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    const std::vector<uint8_t> rest = Ramp(40);
    file.insert(file.end(), rest.begin(), rest.end());
    const int s = load(dir.write("shot.WAV", file), file.size());
    const KlangSlot& slot = audio.Sound[s];
    EXPECT_EQ(slot.sampleType, uint32_t(KLANG_M16S));
    EXPECT_EQ(slot.dataOffset, 0u);
    EXPECT_EQ(slot.frames, (file.size() + 4) / 2);
    EXPECT_EQ(std::memcmp(slot.data, file.data(), file.size()), 0);
}

TEST_F(KlangAudioTest, LyingAndCutFilesStayWithinTheirBytes)
{
    std::vector<uint8_t> lying = Make8svx(Ramp(30));
    lying[16] = lying[17] = lying[18] = lying[19] = 0xFF;
    const int a = load(dir.write("lie.8svx", lying), lying.size());
    EXPECT_EQ(audio.Sound[a].dataOffset, 20u);
    EXPECT_EQ(audio.Sound[a].lengthBytes, lying.size() - 20 + 4);

    const std::vector<uint8_t> aiff = MakeAiff(1, 16, Ramp(30));
    const std::vector<uint8_t> cut(aiff.begin(), aiff.begin() + 30);
    const int b = load(dir.write("cut.aiff", cut), cut.size());
    EXPECT_EQ(audio.Sound[b].dataOffset, 30u);
    EXPECT_EQ(audio.Sound[b].lengthBytes, 4u);
    EXPECT_EQ(audio.Sound[b].sampleType, uint32_t(KLANG_M8S));

    const int c = load(dir.write("empty.8svx", {}), 0);
    EXPECT_EQ(audio.Sound[c].lengthBytes, 4u);
}

TEST_F(KlangAudioTest, MissingFileGivesAnEmptySlotAndTheModuleGoesOn)
{
    const std::string path = dir.file("nirgends.8svx");
    testing::internal::CaptureStdout();
    const int s = audio.loadSound(const_cast<char*>(path.c_str()));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "KlangModul Datei  nicht gefunden ... meine Schuld ist das nicht!\n\n" + path + "\n");
    EXPECT_EQ(s, 0);
    EXPECT_EQ(audio.Sound[s].frames, 0u);
    EXPECT_EQ(audio.Sound[s].lengthBytes, 0u);
    audio.setPitch(11025, 0);
    EXPECT_EQ(audio.playSound(0), 1);
    EXPECT_EQ(loadFrames("next.raw", 100), 1);
    EXPECT_EQ(audio.loadSound(nullptr), 2);
}

TEST_F(KlangAudioTest, SameFileTwiceSharesDataAndBothPlay)
{
    ASSERT_TRUE(audio.initAHI());
    const std::vector<uint8_t> file = Make8svx(Ramp(100));
    const std::string path = dir.write("links.8svx", file);
    EXPECT_EQ(load(path, file.size()), 0);
    EXPECT_EQ(loadFrames("other.raw", 50), 1);
    EXPECT_EQ(load(path, file.size()), 2);
    EXPECT_EQ(audio.Sound[2].data, audio.Sound[0].data);
    EXPECT_EQ(audio.Sound[2].frames, audio.Sound[0].frames);
    EXPECT_NE(audio.Sound[1].data, audio.Sound[0].data);

    const auto loads = rec.loads();
    ASSERT_EQ(loads.size(), 3u);
    EXPECT_EQ(loads[2].sound, 2);
    EXPECT_EQ(loads[2].info.data, audio.Sound[0].data);
    EXPECT_EQ(audio.playSound(0), 1);
    EXPECT_EQ(audio.playSound(2), 1);
    const auto plays = rec.plays();
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(plays[0].sound, 0);
    EXPECT_EQ(plays[1].sound, 2);
    EXPECT_EQ(plays[1].channel, 1);
}

TEST_F(KlangAudioTest, LoadsBeforeOpenAreRegisteredWhenAudioOpens)
{
    loadFrames("a.raw", 10);
    const std::vector<uint8_t> aiff = MakeAiff(1, 16, Ramp(8));
    load(dir.write("b.aiff", aiff), aiff.size());
    audio.playSound(0);
    EXPECT_TRUE(rec.loads().empty());
    EXPECT_TRUE(rec.plays().empty());
    ASSERT_TRUE(audio.initAHI());
    const auto loads = rec.loads();
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[0].info.frames, 10u);
    EXPECT_EQ(loads[1].sound, 1);
    EXPECT_EQ(loads[1].info.type, uint32_t(KLANG_M16S));
    EXPECT_EQ(loads[1].info.frames, 6u);
    audio.closeAHI();
    EXPECT_EQ(rec.closes(), 1);
}

TEST_F(KlangAudioTest, CounterWrapsAfter256Loads)
{
    const std::string path = dir.write("tick.raw", Ramp(4));
    for (int i = 0; i < 256; i++) {
        ASSERT_EQ(audio.loadSound(const_cast<char*>(path.c_str())), i);
    }
    EXPECT_EQ(audio.loadSound(const_cast<char*>(path.c_str())), 0);
    EXPECT_EQ(audio.g_sounds, 1);
}

TEST_F(KlangAudioTest, DurationIsFramesOverFrequencyInWholeSeconds)
{
    const int s = loadFrames("long.raw", 22050);
    audio.setPitch(11025, static_cast<uint8_t>(s));
    ASSERT_EQ(audio.playSound(static_cast<uint8_t>(s)), 1);
    EXPECT_EQ(audio.Channels[0].duration, 2u);
    g_fakeNow += 2;
    EXPECT_TRUE(IsPlaying(audio.Channels[0], g_fakeNow));
    g_fakeNow += 1;
    EXPECT_FALSE(IsPlaying(audio.Channels[0], g_fakeNow));
    EXPECT_EQ(audio.Channels[0].active, 0);

    audio.setPitch(0, static_cast<uint8_t>(s));
    ASSERT_EQ(audio.playSound(static_cast<uint8_t>(s)), 1);
    EXPECT_EQ(audio.Channels[0].duration, 0u);
}

TEST_F(KlangAudioTest, NinthOneShotIsRefusedUntilOneExpires)
{
    ASSERT_TRUE(audio.initAHI());
    const int s = loadFrames("step.raw", 11025);
    audio.setPitch(11025, static_cast<uint8_t>(s));
    for (int i = 0; i < 8; i++) {
        ASSERT_EQ(audio.playSound(0), 1);
        EXPECT_EQ(audio.Sound[0].channel, i);
    }
    EXPECT_EQ(audio.playSound(0), 0);
    EXPECT_EQ(rec.plays().size(), 8u);
    g_fakeNow += 2;
    EXPECT_EQ(audio.playSound(0), 1);
    EXPECT_EQ(audio.Sound[0].channel, 0);
}

TEST_F(KlangAudioTest, MusicChannelIsNotReusedUntilStopped)
{
    ASSERT_TRUE(audio.initAHI());
    loadFrames("tune.raw", 100);
    loadFrames("step.raw", 100);
    audio.setPitch(100, 1);
    ASSERT_EQ(audio.playMusic(0), 1);
    EXPECT_EQ(rec.plays().back().loop, 1);
    for (int i = 0; i < 7; i++) {
        ASSERT_EQ(audio.playSound(1), 1);
    }
    EXPECT_EQ(rec.plays().back().loop, 0);
    EXPECT_EQ(audio.playSound(1), 0);
    g_fakeNow += 1000;
    for (int i = 0; i < 7; i++) {
        ASSERT_EQ(audio.playSound(1), 1);
        EXPECT_NE(audio.Sound[1].channel, 0);
    }
    EXPECT_EQ(audio.playSound(1), 0);
    audio.stopSound(0);
    EXPECT_EQ(rec.stops().back(), 0);
    ASSERT_EQ(audio.playSound(1), 1);
    EXPECT_EQ(audio.Sound[1].channel, 0);
}

TEST_F(KlangAudioTest, StoppingANeverPlayedSlotLeavesOtherChannelsAlone)
{
    loadFrames("tune.raw", 100);
    loadFrames("quiet.raw", 100);
    ASSERT_EQ(audio.playMusic(0), 1);
    audio.stopSound(1);
    EXPECT_TRUE(IsPlaying(audio.Channels[0], g_fakeNow));
}

TEST_F(KlangAudioTest, FreeSoundStopsEverythingAndRestartsNumbering)
{
    ASSERT_TRUE(audio.initAHI());
    loadFrames("tune.raw", 100);
    loadFrames("step.raw", 100);
    audio.setPitch(1, 1);
    audio.playMusic(0);
    audio.playSound(1);
    audio.playSound(1);   // slot 1 moves on to channel 2; channel 1 still plays
    audio.freeSound();
    for (int ch = 0; ch < kKlangChannels; ch++) {
        EXPECT_FALSE(IsPlaying(audio.Channels[ch], g_fakeNow)) << ch;
    }
    EXPECT_EQ(rec.stops(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(loadFrames("again.raw", 10), 0);
}

TEST_F(KlangAudioTest, SetVolCapsPanAndStoresVolumeAsFixedPoint)
{
    ASSERT_TRUE(audio.initAHI());
    loadFrames("a.raw", 10);
    audio.setVol(70000, 0, 0.5f);
    EXPECT_EQ(audio.Sound[0].pan, 0x10000u);
    EXPECT_EQ(audio.Sound[0].volume, 32768);
    EXPECT_TRUE(rec.vols().empty()) << "no channel yet to apply it to";

    audio.setVol(0x8000, 0, 0.8f);
    EXPECT_EQ(audio.Sound[0].pan, 0x8000u);
    EXPECT_EQ(audio.Sound[0].volume, 52428);       // 0.8 x 65536 = 52428.8, truncated
    audio.setVol(0xFFFFFFFFu, 0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(audio.Sound[0].pan, 0x10000u);
    EXPECT_EQ(audio.Sound[0].volume, 0);
    audio.setVol(0, 0, 1e30f);
    EXPECT_EQ(audio.Sound[0].volume, std::numeric_limits<int32_t>::max());

    audio.playSound(0);
    audio.setVol(29000, 0, 1.0f);
    const auto vols = rec.vols();
    ASSERT_EQ(vols.size(), 1u);
    EXPECT_EQ(vols[0].channel, 0);
    EXPECT_EQ(vols[0].volume, 0x10000);
    EXPECT_EQ(vols[0].pan, 29000u);
    const KlangPlayRequest played = rec.plays().back();
    EXPECT_EQ(played.volume, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(played.pan, 0u);
}

}  // namespace
