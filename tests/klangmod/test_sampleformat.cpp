// The sample reader from memory: chunk walking, layouts, conversion to what
// the mixer plays, and the problem named for each kind of broken file.
// Every parse runs on a heap copy of exactly the bytes given, so a read past
// the end shows up under a sanitizer build.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "klang_support.h"
#include "klangmod/sampleformat.h"

using namespace klangtest;

namespace {

std::string Decode(KlangFileKind kind, const std::vector<uint8_t>& bytes, size_t n, KlangDecodedSample* out)
{
    std::unique_ptr<uint8_t[]> exact(new uint8_t[n + 1]);
    std::memcpy(exact.get(), bytes.data(), n);
    return KlangDecodeSample(kind, exact.get(), n, out);
}

// 16-bit values of `bytes` (big- or little-endian) in the machine's order.
std::vector<uint8_t> Native16(std::vector<uint8_t> bytes, bool bigEndian)
{
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const uint16_t v = bigEndian ? (bytes[i] << 8 | bytes[i + 1]) : (bytes[i + 1] << 8 | bytes[i]);
        std::memcpy(&bytes[i], &v, 2);
    }
    return bytes;
}

TEST(SampleFormat, GoodFilesGiveTheirSamplesInPlayableForm)
{
    std::vector<uint8_t> unsigned8 = Ramp(5);
    for (uint8_t& b : unsigned8) {
        b ^= 0x80;
    }
    const std::vector<uint8_t> r8 = Ramp(8);
    struct Case {
        const char* name;
        KlangFileKind kind;
        std::vector<uint8_t> file;
        uint32_t type;
        std::vector<uint8_t> data;
        uint32_t rate = 0;
    } cases[] = {
        // NAME has an odd size: BODY is found only past its pad byte.
        {"8svx", KLANG_FILE_8SVX, Make8svx(Ramp(11)), KLANG_M8S, Ramp(11)},
        // COMM longer than 18 and an SSND offset: both honoured.
        {"aiff m16", KLANG_FILE_AIFF, MakeAiff(1, 16, r8, 22, 3), KLANG_M16S, Native16(r8, true)},
        {"aiff s8", KLANG_FILE_AIFF, MakeAiff(2, 8, r8), KLANG_S8S, r8},
        {"aiff 12 bit", KLANG_FILE_AIFF, MakeAiff(1, 12, r8), KLANG_M16S, Native16(r8, true)},
        {"wav m8", KLANG_FILE_WAV, MakeWav(1, 8, 11025, Ramp(5)), KLANG_M8S, unsigned8, 11025},
        // Nine bytes of 4-byte frames: the broken last frame is dropped.
        {"wav s16", KLANG_FILE_WAV, MakeWav(2, 16, 44100, Ramp(9)), KLANG_S16S, Native16(r8, false), 44100},
        {"raw", KLANG_FILE_RAW, Ramp(7), KLANG_M8S, Ramp(7)},
    };
    for (const Case& c : cases) {
        KlangDecodedSample s;
        EXPECT_EQ(Decode(c.kind, c.file, c.file.size(), &s), "") << c.name;
        EXPECT_EQ(s.sampleType, c.type) << c.name;
        EXPECT_EQ(s.data, c.data) << c.name;
        EXPECT_EQ(s.rate, c.rate) << c.name;
        // Any cut of the file reads nothing past its end and gives either a
        // problem or samples that lie inside it.
        for (size_t n = 0; n < c.file.size(); n++) {
            const std::string problem = Decode(c.kind, c.file, n, &s);
            EXPECT_TRUE(problem.empty() ? s.dataOffset + s.data.size() <= n : s.data.empty()) << c.name << n;
        }
    }
}

TEST(SampleFormat, BrokenFilesNameTheirProblem)
{
    std::vector<uint8_t> farOffset = MakeAiff(1, 8, Ramp(4));
    farOffset[farOffset.size() - 12] = 0x7F;   // the SSND offset's top byte
    const std::vector<uint8_t> wav = MakeWav(2, 16, 8000, Ramp(16));
    const struct Case {
        KlangFileKind kind;
        std::vector<uint8_t> file;
        const char* problem;
    } cases[] = {
        {KLANG_FILE_8SVX, MakeWav(1, 8, 8000, Ramp(4)), "kein IFF-FORM"},
        {KLANG_FILE_8SVX, Bytes().tag("FORM").be(16).tag("8SVX").tag("VHDR").be(4).be(0), "kein BODY-Chunk"},
        {KLANG_FILE_8SVX, Bytes().tag("FORM").be(16).tag("8SVX").tag("BODY").be(9).be(0), "Chunk BODY (9 Bytes) reicht über das Dateiende"},
        {KLANG_FILE_AIFF, Make8svx(Ramp(4)), "kein AIFF"},
        {KLANG_FILE_AIFF, MakeAiff(3, 8, Ramp(6)), "3 Kanäle, 8 Bit"},
        {KLANG_FILE_AIFF, MakeAiff(1, 24, Ramp(6)), "1 Kanäle, 24 Bit"},
        {KLANG_FILE_AIFF, farOffset, "SSND-Offset 2130706432 hinter dem Chunk-Ende"},
        {KLANG_FILE_AIFF, Bytes().tag("FORM").be(22).tag("AIFF").tag("COMM").be(2).be(1, 2).tag("SSND").be(0), "COMM-Chunk zu kurz"},
        {KLANG_FILE_WAV, MakeWav(1, 16, 8000, Ramp(4), 3), "kein PCM (Format 3)"},
        {KLANG_FILE_WAV, std::vector<uint8_t>(wav.begin(), wav.end() - 1), "Chunk data (16 Bytes) reicht über das Dateiende"},
        {KLANG_FILE_WAV, std::vector<uint8_t>(wav.begin(), wav.begin() + 36), "kein data-Chunk"},
        {KLANG_FILE_WAV, std::vector<uint8_t>(wav.begin(), wav.begin() + 40), "Chunk-Kopf bei Byte 36 abgeschnitten"},
    };
    for (const Case& c : cases) {
        KlangDecodedSample s;
        const std::string problem = Decode(c.kind, c.file, c.file.size(), &s);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_TRUE(s.data.empty());
    }
}

}  // namespace
