// Header reading of 8SVX, AIFF and WAV from memory, including cut and lying
// headers.  Every parse runs on a heap copy of exactly the bytes given, so a
// read past the end shows up under a sanitizer build.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "klang_support.h"
#include "klangmod/sampleformat.h"

using namespace klangtest;

namespace {

KlangSampleLayout ParseExact(KlangFileKind kind, const std::vector<uint8_t>& bytes, size_t n)
{
    std::unique_ptr<uint8_t[]> exact(new uint8_t[n > 0 ? n : 1]);
    if (n > 0) {
        std::memcpy(exact.get(), bytes.data(), n);
    }
    return KlangParseSampleHeader(kind, exact.get(), n);
}

TEST(SampleFormat, KindByLastThreeCharactersIgnoringCase)
{
    EXPECT_EQ(KlangFileKindOf("sounds/links.8svx"), KLANG_FILE_8SVX);
    EXPECT_EQ(KlangFileKindOf("X.SVX"), KLANG_FILE_8SVX);
    EXPECT_EQ(KlangFileKindOf("wind.aiff"), KLANG_FILE_AIFF);
    EXPECT_EQ(KlangFileKindOf("WIND.AIFF"), KLANG_FILE_AIFF);
    EXPECT_EQ(KlangFileKindOf("a.Wav"), KLANG_FILE_WAV);
    EXPECT_EQ(KlangFileKindOf("a.raw"), KLANG_FILE_RAW);
    EXPECT_EQ(KlangFileKindOf("wa"), KLANG_FILE_RAW);
    EXPECT_EQ(KlangFileKindOf(""), KLANG_FILE_RAW);
}

TEST(SampleFormat, EightSvxWithoutFormTakesDataFromByteFour)
{
    const std::vector<uint8_t> file = {'R', 'I', 'F', 'F', 1, 2, 3};
    const KlangSampleLayout l = ParseExact(KLANG_FILE_8SVX, file, file.size());
    EXPECT_FALSE(l.headerOk);
    EXPECT_EQ(l.dataOffset, 4u);
    EXPECT_EQ(ParseExact(KLANG_FILE_8SVX, file, 2).dataOffset, 2u);
}

TEST(SampleFormat, EightSvxWithoutBodyHasNoData)
{
    std::vector<uint8_t> file = Make8svx({});
    std::memcpy(&file[51], "DATA", 4);
    const KlangSampleLayout l = ParseExact(KLANG_FILE_8SVX, file, file.size());
    EXPECT_FALSE(l.headerOk);
    EXPECT_EQ(l.dataOffset, file.size());
}

TEST(SampleFormat, AiffSampleTypesByChannelsAndBits)
{
    struct Case {
        uint16_t channels, bits;
        uint32_t type;
        bool swap;
    } cases[] = {{1, 8, KLANG_M8S, false}, {1, 16, KLANG_M16S, true}, {2, 8, KLANG_S8S, false},
                 {2, 16, KLANG_S16S, true}, {3, 16, KLANG_M8S, false}, {1, 24, KLANG_M8S, false}};
    for (const Case& c : cases) {
        const std::vector<uint8_t> file = MakeAiff(c.channels, c.bits, Ramp(8));
        const KlangSampleLayout l = ParseExact(KLANG_FILE_AIFF, file, file.size());
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.bits << " bits");
        EXPECT_TRUE(l.headerOk);
        EXPECT_EQ(l.sampleType, c.type);
        EXPECT_EQ(l.bigEndian16, c.swap);
        EXPECT_EQ(l.numChannels, c.channels);
        EXPECT_EQ(l.sampleBits, c.bits);
        EXPECT_EQ(l.dataOffset, kAiffDataOffset);
    }
}

TEST(SampleFormat, AiffMismatchFallsBackWhereReadingStopped)
{
    const std::vector<uint8_t> good = MakeAiff(2, 16, Ramp(8));
    struct Case {
        size_t at;
        const char* bad;
        size_t offset;
    } cases[] = {{0, "RIFF", 4}, {8, "AIFC", 12}, {12, "FVER", 16}, {16, "\0\0\0\x16", 20}};
    for (const Case& c : cases) {
        std::vector<uint8_t> file = good;
        std::memcpy(&file[c.at], c.bad, 4);
        const KlangSampleLayout l = ParseExact(KLANG_FILE_AIFF, file, file.size());
        SCOPED_TRACE(c.at);
        EXPECT_FALSE(l.headerOk);
        EXPECT_EQ(l.sampleType, uint32_t(KLANG_M8S));
        EXPECT_FALSE(l.bigEndian16);
        EXPECT_EQ(l.dataOffset, c.offset);
    }
}

TEST(SampleFormat, EveryTruncationStaysInsideTheBytes)
{
    const std::vector<uint8_t> svx = Make8svx(Ramp(4));
    const std::vector<uint8_t> aiff = MakeAiff(1, 16, Ramp(4));
    for (size_t n = 0; n <= svx.size(); n++) {
        const KlangSampleLayout l = ParseExact(KLANG_FILE_8SVX, svx, n);
        EXPECT_LE(l.dataOffset, n);
        EXPECT_EQ(l.headerOk, n >= k8svxDataOffset) << n;
    }
    for (size_t n = 0; n <= aiff.size(); n++) {
        const KlangSampleLayout l = ParseExact(KLANG_FILE_AIFF, aiff, n);
        EXPECT_LE(l.dataOffset, n);
        EXPECT_EQ(l.headerOk, n >= kAiffDataOffset) << n;
        if (!l.headerOk && n > 20) {
            EXPECT_EQ(l.dataOffset, n) << "cut inside the COMM fields reads to the end";
        }
    }
}

}  // namespace
