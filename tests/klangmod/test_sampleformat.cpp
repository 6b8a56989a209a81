// Header reading from memory: cut and lying headers.  Every parse runs on a
// heap copy of exactly the bytes given, so a read past the end shows up under
// a sanitizer build.  (The layouts found in whole files: test_klangaudio.cpp.)

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
    const std::pair<const char*, KlangFileKind> cases[] = {
        {"sounds/links.8svx", KLANG_FILE_8SVX}, {"X.SVX", KLANG_FILE_8SVX}, {"WIND.AIFF", KLANG_FILE_AIFF},
        {"a.Wav", KLANG_FILE_WAV}, {"a.raw", KLANG_FILE_RAW}, {"wa", KLANG_FILE_RAW}, {"", KLANG_FILE_RAW},
    };
    for (const auto& [name, kind] : cases) {
        EXPECT_EQ(KlangFileKindOf(name), kind) << name;
    }
}

// A header that does not match falls back to 8-bit mono from where reading
// stopped; one cut anywhere never reads past its end.
TEST(SampleFormat, MismatchOrTruncationStaysInsideTheBytes)
{
    struct Case {
        KlangFileKind kind;
        size_t at;
        const char* bad;
        size_t offset;
    } cases[] = {
        {KLANG_FILE_AIFF, 0, "RIFF", 4},
        {KLANG_FILE_AIFF, 8, "AIFC", 12},
        {KLANG_FILE_AIFF, 12, "FVER", 16},
        {KLANG_FILE_8SVX, 51, "DATA", 59},   // no BODY chunk: no data at all
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = c.kind == KLANG_FILE_AIFF ? MakeAiff(2, 16, Ramp(8)) : Make8svx({});
        std::memcpy(&file[c.at], c.bad, 4);
        const KlangSampleLayout l = ParseExact(c.kind, file, file.size());
        EXPECT_FALSE(l.headerOk) << c.bad;
        EXPECT_EQ(l.sampleType, uint32_t(KLANG_M8S)) << c.bad;
        EXPECT_EQ(l.dataOffset, c.offset) << c.bad;
    }

    for (KlangFileKind kind : {KLANG_FILE_8SVX, KLANG_FILE_AIFF}) {
        const std::vector<uint8_t> file = kind == KLANG_FILE_8SVX ? Make8svx(Ramp(4)) : MakeAiff(1, 16, Ramp(4));
        const size_t dataOffset = kind == KLANG_FILE_8SVX ? k8svxDataOffset : kAiffDataOffset;
        for (size_t n = 0; n <= file.size(); n++) {
            const KlangSampleLayout l = ParseExact(kind, file, n);
            EXPECT_LE(l.dataOffset, n);
            EXPECT_EQ(l.headerOk, n >= dataOffset) << kind << " cut at " << n;
            if (kind == KLANG_FILE_AIFF && !l.headerOk && n > 20) {
                EXPECT_EQ(l.dataOffset, n) << "cut inside the COMM fields reads to the end";
            }
        }
    }
}

}  // namespace
