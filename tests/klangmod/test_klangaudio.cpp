// The sample table and channel bookkeeping: loading real files, channel
// choice and durations with a hand-stepped clock, volume and pan.

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <limits>

#include "klang_support.h"
#include "klangmod/klangaudio.h"

using namespace klangtest;

namespace {

class KlangAudioTest : public testing::Test {
protected:
    void SetUp() override { g_fakeNow = 1000000; }

    int load(const std::string& path) { return audio.loadSound(path.c_str()); }
    // A raw 8-bit mono sample of exactly `frames` frames (the loader adds 4).
    int loadFrames(const std::string& name, size_t frames) { return load(dir.write(name, Ramp(frames - 4))); }

    TempDir dir;
    KlangAudio audio{nullptr, FakeClock};
};

// Every file keeps the bytes from its data offset on, plus four zero bytes,
// and never more: lying and cut headers fall back to 8-bit mono with a
// warning.  16-bit AIFF samples come out in the machine's byte order.
TEST_F(KlangAudioTest, LoadedFilesKeepTheirDataPlusFourZeroBytes)
{
    std::vector<uint8_t> lying = Make8svx(Ramp(30));
    std::memset(&lying[16], 0xFF, 4);   // VHDR claims 4 GB
    const std::vector<uint8_t> aiff = MakeAiff(1, 16, Ramp(30));
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
    wav.resize(44, 0x35);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        size_t offset;
        uint32_t type;
        bool warns = false;
        bool bigEndian16 = false;
    } cases[] = {
        {"step.8svx", Make8svx(Ramp(11)), k8svxDataOffset, KLANG_M8S},
        {"shot.WAV", wav, 0, KLANG_M16S},   // the whole file as 16-bit mono
        {"m8.aiff", MakeAiff(1, 8, Ramp(8)), kAiffDataOffset, KLANG_M8S},
        {"m16.aiff", MakeAiff(1, 16, Ramp(8)), kAiffDataOffset, KLANG_M16S, false, true},
        {"s8.aiff", MakeAiff(2, 8, Ramp(8)), kAiffDataOffset, KLANG_S8S},
        {"s16.aiff", MakeAiff(2, 16, Ramp(8)), kAiffDataOffset, KLANG_S16S, false, true},
        {"three.aiff", MakeAiff(3, 16, Ramp(12)), kAiffDataOffset, KLANG_M8S},   // no such layout
        {"deep.aiff", MakeAiff(1, 24, Ramp(12)), kAiffDataOffset, KLANG_M8S},
        {"odd.aiff", MakeAiff(2, 16, Ramp(8), 22), 20, KLANG_M8S, true},
        {"lie.8svx", lying, 20, KLANG_M8S, true},
        {"cut.aiff", std::vector<uint8_t>(aiff.begin(), aiff.begin() + 30), 30, KLANG_M8S, true},
        {"empty.8svx", {}, 0, KLANG_M8S, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write(c.name, c.file);
        testing::internal::CaptureStdout();
        const KlangSlot& slot = audio.Sound[load(path)];
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.find("Dateikopf von " + path + " passt nicht") != std::string::npos, c.warns) << out;
        EXPECT_EQ(slot.dataOffset, c.offset);
        EXPECT_EQ(slot.sampleType, c.type);
        ASSERT_EQ(slot.lengthBytes, c.file.size() - c.offset + 4);
        EXPECT_EQ(slot.frames, slot.lengthBytes / KlangFrameSize(c.type));
        std::vector<uint8_t> expected(c.file.begin() + static_cast<long>(c.offset), c.file.end());
        expected.insert(expected.end(), 4, 0);
        for (size_t i = 0; c.bigEndian16 && std::endian::native == std::endian::little && i < expected.size(); i += 2) {
            std::swap(expected[i], expected[i + 1]);
        }
        EXPECT_EQ(std::vector<uint8_t>(slot.data, slot.data + slot.lengthBytes), expected);
    }
}

TEST_F(KlangAudioTest, MissingFileGivesAnEmptySlotAndTheModuleGoesOn)
{
    const std::string path = dir.file("nirgends.8svx");
    testing::internal::CaptureStdout();
    EXPECT_EQ(load(path), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "KlangModul Datei  nicht gefunden ... meine Schuld ist das nicht!\n\n" + path + "\n");
    EXPECT_EQ(audio.Sound[0].frames, 0u);
    audio.setPitch(11025, 0);
    EXPECT_EQ(audio.playSound(0), 1);
    EXPECT_EQ(loadFrames("next.raw", 100), 1);
}

// A one-shot keeps its channel for frames / frequency whole seconds; a
// ninth is refused while all eight play.
TEST_F(KlangAudioTest, OneShotHoldsItsChannelForItsDuration)
{
    loadFrames("long.raw", 22050);
    audio.setPitch(11025, 0);
    for (int i = 0; i < 8; i++) {
        ASSERT_EQ(audio.playSound(0), 1);
        EXPECT_EQ(audio.Sound[0].channel, i);
    }
    EXPECT_EQ(audio.Channels[0].duration, 2u);
    EXPECT_EQ(audio.playSound(0), 0);
    g_fakeNow += 2;
    EXPECT_EQ(audio.playSound(0), 0);
    g_fakeNow += 1;
    EXPECT_EQ(audio.playSound(0), 1);
    EXPECT_EQ(audio.Sound[0].channel, 0);

    audio.setPitch(0, 0);   // no rate: no duration, no division by zero
    g_fakeNow += 10;
    ASSERT_EQ(audio.playSound(0), 1);
    EXPECT_EQ(audio.Channels[0].duration, 0u);
}

TEST_F(KlangAudioTest, MusicChannelIsNeverChosenUntilStopped)
{
    loadFrames("tune.raw", 100);
    loadFrames("step.raw", 100);
    audio.setPitch(100, 1);
    ASSERT_EQ(audio.playMusic(0), 1);
    for (int round = 0; round < 2; round++) {   // the one-shots expire in between; the music does not
        for (int i = 0; i < 7; i++) {
            ASSERT_EQ(audio.playSound(1), 1);
            EXPECT_NE(audio.Sound[1].channel, 0);
        }
        EXPECT_EQ(audio.playSound(1), 0);
        g_fakeNow += 1000;
    }
    audio.stopSound(2);   // never played: touches no channel
    EXPECT_TRUE(IsPlaying(audio.Channels[0], g_fakeNow));
    audio.stopSound(0);
    ASSERT_EQ(audio.playSound(1), 1);
    EXPECT_EQ(audio.Sound[1].channel, 0);
}

TEST_F(KlangAudioTest, SetVolClampsAndAppliesToThePlayingChannel)
{
    RecordingDevice rec;
    KlangAudio recorded(rec.device(), FakeClock);
    ASSERT_TRUE(recorded.initAHI());
    struct Case {
        unsigned pan;
        float volume;
        uint32_t wantPan;
        int32_t wantVolume;
    } cases[] = {
        {70000, 0.5f, 0x10000, 32768},
        {0x8000, 0.8f, 0x8000, 52428},   // 0.8 x 65536 = 52428.8, truncated
        {0xFFFFFFFFu, std::numeric_limits<float>::quiet_NaN(), 0x10000, 0},
        {0, 1e30f, 0, std::numeric_limits<int32_t>::max()},
    };
    for (const Case& c : cases) {
        recorded.setVol(c.pan, 0, c.volume);
        EXPECT_EQ(recorded.Sound[0].pan, c.wantPan) << c.pan;
        EXPECT_EQ(recorded.Sound[0].volume, c.wantVolume) << c.volume;
    }
    EXPECT_EQ(rec.events(), Events{"open"}) << "no channel yet to apply it to";
    recorded.playSound(0);
    recorded.setVol(29000, 0, 1.0f);
    EXPECT_EQ(rec.events().back(), "vol ch=0 vol=65536 pan=29000");
}

}  // namespace
