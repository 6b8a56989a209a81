// Fuzz-style corpus test of the image parsers: many deterministic mutations
// of good files (truncations, bit flips, extreme header values, inserted and
// deleted bytes, noise) go through both parsers.  Each input lives in a heap
// block of exactly its size, so a sanitizer build reports any over-read.
//
// Every result must be a complete bitmap: either the file's own image with
// no output, or the 8 x 8 placeholder with exactly one framed warning.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/imageio.h"

namespace {

using Bytes = std::vector<uint8_t>;

// xorshift32: a fixed sequence on every run and machine.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    size_t Below(size_t n) { return n == 0 ? 0 : Next() % n; }
};

Bytes Ppm(const std::string& header, int w, int h) {
    Bytes out(header.begin(), header.end());
    for (int i = 0; i < w * h * 3; ++i) {
        out.push_back(static_cast<uint8_t>(i * 37 + 11));
    }
    return out;
}

Bytes Tga(uint8_t type, uint16_t w, uint16_t h, uint8_t bits, uint8_t idLength = 0) {
    Bytes out(18, 0);
    out[0] = idLength;
    out[2] = type;
    out[12] = static_cast<uint8_t>(w);
    out[13] = static_cast<uint8_t>(w >> 8);
    out[14] = static_cast<uint8_t>(h);
    out[15] = static_cast<uint8_t>(h >> 8);
    out[16] = bits;
    out.insert(out.end(), idLength, 'i');
    for (int i = 0; i < w * h * (bits / 8); ++i) {
        out.push_back(static_cast<uint8_t>(i * 53 + 5));
    }
    return out;
}

std::vector<Bytes> Seeds() {
    return {
        Ppm("P6\n4 3\n255\n", 4, 3),
        Ppm("P6\n# a comment\n3 3\n255\n", 3, 3),
        Ppm("P6 1 1 255\n", 1, 1),
        Ppm("P6\n8 2\n# maximum below\n65535\n", 8, 2),
        Tga(2, 3, 2, 32),
        Tga(2, 2, 3, 24),
        Tga(3, 4, 2, 8),
        Tga(2, 2, 2, 24, 5),
    };
}

bool IsPlaceholder(const CBitmap& b, int bytesPerPixel) {
    if (b.width != 8 || b.height != 8) {
        return false;
    }
    for (int i = 0; i < 64; ++i) {
        const uint8_t* p = b.pixels + i * bytesPerPixel;
        const uint8_t on = (i & 1) != 0 ? 255 : 0;
        if (p[0] != on || p[1] != 0 || p[2] != on || (bytesPerPixel == 4 && p[3] != 255)) {
            return false;
        }
    }
    return true;
}

// A warning is a line of dashes, one message line, the same line of dashes.
bool IsOneFramedWarning(const std::string& out) {
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t nl = out.find('\n'); nl != std::string::npos; nl = out.find('\n', begin)) {
        lines.push_back(out.substr(begin, nl - begin));
        begin = nl + 1;
    }
    return begin == out.size() && lines.size() == 3 && lines[0] == lines[2] && lines[0].size() >= 50 &&
           lines[0].find_first_not_of('-') == std::string::npos && lines[1].rfind("Warnung!!! ", 0) == 0;
}

struct Stats {
    int images = 0;
    int placeholders = 0;
};

// Runs one parser on an exactly sized copy and checks the invariants.
void Check(const Bytes& input, bool ppm, Stats& stats) {
    const size_t n = input.size();
    std::unique_ptr<uint8_t[]> exact(new uint8_t[n == 0 ? 1 : n]);
    if (n > 0) {
        std::memcpy(exact.get(), input.data(), n);
    }
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> b(ppm ? ParsePPM(exact.get(), n, "fuzz") : ParseTGA(exact.get(), n, "fuzz"));
    const std::string out = testing::internal::GetCapturedStdout();

    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->pixels, nullptr);
    const int bytesPerPixel = ppm ? 3 : 4;
    EXPECT_EQ(b->depth, bytesPerPixel * 8);
    ASSERT_GE(b->width, 1);
    ASSERT_GE(b->height, 1);
    ASSERT_LE(b->width, kMaxImageSide);
    ASSERT_LE(b->height, kMaxImageSide);
    // Read every pixel byte, so that a buffer smaller than its claimed size
    // shows up in a sanitizer build.
    const size_t bytes = static_cast<size_t>(b->width) * b->height * bytesPerPixel;
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; ++i) {
        sum += b->pixels[i];
    }
    (void)sum;

    if (out.empty()) {
        // A real image never holds more pixels than the file had bytes.
        EXPECT_LE(static_cast<size_t>(b->width) * b->height, n);
        ++stats.images;
    } else {
        EXPECT_TRUE(IsOneFramedWarning(out)) << out;
        EXPECT_TRUE(IsPlaceholder(*b, bytesPerPixel));
        ++stats.placeholders;
    }
}

void CheckBoth(const Bytes& input, Stats& stats) {
    Check(input, true, stats);
    Check(input, false, stats);
}

// ---------------------------------------------------------------------------

TEST(ImageCorpus, EveryTruncationOfAGoodFileIsRefusedAndTheWholeFileRead) {
    const Bytes seeds[] = {Ppm("P6\n4 3\n255\n", 4, 3), Tga(2, 3, 2, 32), Tga(2, 2, 2, 24, 5), Tga(3, 4, 2, 8)};
    for (size_t s = 0; s < std::size(seeds); ++s) {
        const Bytes& seed = seeds[s];
        const bool ppm = s == 0;
        for (size_t len = 0; len < seed.size(); ++len) {
            SCOPED_TRACE(testing::Message() << "seed " << s << " length " << len);
            const Bytes cut(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(len));
            testing::internal::CaptureStdout();
            std::unique_ptr<CBitmap> b(ppm ? ParsePPM(cut.data(), cut.size(), "cut")
                                           : ParseTGA(cut.data(), cut.size(), "cut"));
            EXPECT_NE(testing::internal::GetCapturedStdout(), "");
            EXPECT_TRUE(IsPlaceholder(*b, ppm ? 3 : 4));
        }
        testing::internal::CaptureStdout();
        std::unique_ptr<CBitmap> whole(ppm ? ParsePPM(seed.data(), seed.size(), "whole")
                                           : ParseTGA(seed.data(), seed.size(), "whole"));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_FALSE(IsPlaceholder(*whole, ppm ? 3 : 4));
    }
}

TEST(ImageCorpus, MutatedFilesNeverBreakTheInvariants) {
    Random rng{0x9E3779B9u};
    Stats stats;
    const std::vector<Bytes> seeds = Seeds();
    for (int round = 0; round < 1500; ++round) {
        Bytes data = seeds[rng.Below(seeds.size())];
        const int edits = 1 + static_cast<int>(rng.Below(4));
        for (int e = 0; e < edits; ++e) {
            const size_t at = rng.Below(data.size() + 1);
            switch (rng.Below(6)) {
            case 0:  // flip a bit
                if (at < data.size()) {
                    data[at] ^= static_cast<uint8_t>(1u << rng.Below(8));
                }
                break;
            case 1:  // an extreme byte
                if (at < data.size()) {
                    const uint8_t extremes[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, '\n', '#', '-', '9'};
                    data[at] = extremes[rng.Below(std::size(extremes))];
                }
                break;
            case 2:  // truncate
                data.resize(at);
                break;
            case 3:  // insert noise
                for (size_t k = rng.Below(8) + 1; k > 0; --k) {
                    data.insert(data.begin() + static_cast<std::ptrdiff_t>(std::min(at, data.size())),
                                static_cast<uint8_t>(rng.Next()));
                }
                break;
            case 4:  // delete a run
                data.erase(data.begin() + static_cast<std::ptrdiff_t>(std::min(at, data.size())),
                           data.begin() + static_cast<std::ptrdiff_t>(std::min(at + rng.Below(6), data.size())));
                break;
            case 5:  // overwrite a TGA size field with a big value
                if (data.size() >= 18) {
                    const size_t field = 12 + 2 * rng.Below(2);
                    data[field] = static_cast<uint8_t>(rng.Next());
                    data[field + 1] = static_cast<uint8_t>(rng.Next());
                }
                break;
            }
        }
        CheckBoth(data, stats);
        if (HasFatalFailure() || HasNonfatalFailure()) {
            FAIL() << "round " << round;
        }
    }
    // The mutations must exercise both outcomes, or the test proves little.
    EXPECT_GT(stats.images, 100);
    EXPECT_GT(stats.placeholders, 100);
}

TEST(ImageCorpus, PureNoiseAndExtremeHeaders) {
    Random rng{12345u};
    Stats stats;
    for (int round = 0; round < 300; ++round) {
        Bytes noise(rng.Below(64));
        for (uint8_t& b : noise) {
            b = static_cast<uint8_t>(rng.Next());
        }
        CheckBoth(noise, stats);
    }
    // Every TGA type with every side class and depth class.
    for (int type = 0; type < 12; ++type) {
        for (uint16_t side : {uint16_t{0}, uint16_t{1}, uint16_t{3}, uint16_t{16384}, uint16_t{16385}, uint16_t{65535}}) {
            for (uint8_t bits : {uint8_t{0}, uint8_t{8}, uint8_t{16}, uint8_t{24}, uint8_t{32}, uint8_t{255}}) {
                Bytes header = Tga(static_cast<uint8_t>(type), 1, 1, 8);
                header[12] = static_cast<uint8_t>(side);
                header[13] = static_cast<uint8_t>(side >> 8);
                header[16] = bits;
                header[0] = static_cast<uint8_t>(side);  // an ID length that may run past the end
                CheckBoth(header, stats);
            }
        }
    }
    EXPECT_FALSE(HasFailure());
}

}  // namespace
