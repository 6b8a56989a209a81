// The sample reader on the fuzz target's seed files (first byte: 0 8SVX,
// 1 AIFF, 2 WAV, 3 raw; the samples are the bytes i x 37): chunk walking,
// layouts, conversion to what the mixer plays, and the problem named for
// each broken file.  Then the sample table and channel bookkeeping: loading
// files, channel choice and durations with a hand-stepped clock, volume and
// pan, numbering.

#include <cstring>
#include <limits>

#include "klang_support.h"
#include "klangmod/klangaudio.h"
#include "klangmod/sampleformat.h"

using namespace klangtest;

namespace {

TEST(SampleFormat, SeedFilesGiveTheirSamplesOrTheirProblem)
{
    const struct Case {
        const char* file;
        const char* problem;
        uint32_t type = 0;
        size_t frames = 0;
        int second = 0;      // the second 8- or 16-bit value of the converted data
        uint32_t rate = 0;
    } cases[] = {
        {"svx_ok", "", KLANG_M8S, 21, 37, 0},   // BODY after an odd NAME chunk and its pad byte
        {"aiff_m16", "", KLANG_M16S, 12, 74 * 256 + 111, 0},   // big-endian
        {"aiff_comm22", "", KLANG_S16S, 6, 74 * 256 + 111, 0},   // COMM of 22 bytes, 12-bit stereo
        {"aiff_s8_offset", "", KLANG_S8S, 12, 37, 0},   // SSND offset 3
        {"wav_m8", "", KLANG_M8S, 9, int8_t(37 ^ 0x80), 22050},   // unsigned
        {"wav_s16", "", KLANG_S16S, 6, 111 * 256 + 74, 22050},   // little-endian
        {"raw", "", KLANG_M8S, 24, 37, 0}, {"svx_cut", "Chunk BODY (21 Bytes) reicht über das Dateiende"},
        {"svx_nobody", "kein BODY-Chunk"},
        {"aiff_24bit", "nur Mono oder Stereo mit 8 oder 16 Bit spielbar (hier 1 Kanäle, 24 Bit)"},
        {"aiff_badoffset", "SSND-Offset 65535 hinter dem Chunk-Ende"}, {"wav_float", "kein PCM (Format 3)"},
        {"wav_cut", "kein data-Chunk"},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> seed = Seed(c.file);
        const KlangFileKind kinds[] = {KLANG_FILE_8SVX, KLANG_FILE_AIFF, KLANG_FILE_WAV, KLANG_FILE_RAW};
        KlangDecodedSample s;
        EXPECT_EQ(KlangDecodeSample(kinds[seed[0]], seed.data() + 1, seed.size() - 1, &s), c.problem) << c.file;
        EXPECT_EQ(s.sampleType, c.type) << c.file;
        EXPECT_EQ(s.data.size(), c.frames * KlangFrameSize(c.type)) << c.file;
        if (s.data.size() >= 4) {
            int16_t wide;
            std::memcpy(&wide, s.data.data() + 2, 2);
            const bool is16 = c.type == KLANG_M16S || c.type == KLANG_S16S;
            EXPECT_EQ(is16 ? wide : int8_t(s.data[1]), c.second) << c.file;
        }
        EXPECT_EQ(s.rate, c.rate) << c.file;
    }
}

class KlangAudioTest : public testing::Test {
protected:
    void SetUp() override { g_fakeNow = 1000000; }
    int load(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        return audio.loadSound(dir.write(name, bytes).c_str());
    }

    SampleDir dir;
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
