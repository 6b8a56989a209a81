// The sample reader on the fuzz target's seed files (first byte: 0 8SVX,
// 1 AIFF, 2 WAV, 3 raw; the samples are the bytes i x 37): chunk walking,
// layouts, conversion to what the mixer plays, and the problem named for
// each broken file.

#include <gtest/gtest.h>

#include <cstring>

#include "klang_support.h"
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
        {"raw", "", KLANG_M8S, 24, 37, 0},
        {"svx_cut", "Chunk BODY (21 Bytes) reicht über das Dateiende"},
        {"svx_nobody", "kein BODY-Chunk"},
        {"aiff_24bit", "nur Mono oder Stereo mit 8 oder 16 Bit spielbar (hier 1 Kanäle, 24 Bit)"},
        {"aiff_badoffset", "SSND-Offset 65535 hinter dem Chunk-Ende"},
        {"wav_float", "kein PCM (Format 3)"},
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

}  // namespace
