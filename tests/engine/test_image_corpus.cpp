// Fuzz-style corpus test of the image parsers: many deterministic mutations
// of good files (truncations, bit flips, extreme header values, inserted and
// deleted bytes, noise) go through both parsers.  Each input lives in a heap
// block of exactly its size, so a sanitizer build reports any over-read.
//
// Every result must be a complete bitmap: either the file's own image with
// no output, or the 8 x 8 placeholder with exactly one of the warnings.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "image/imageio.h"
#include "texture_test_files.h"

namespace {

using texture_test::Bytes;

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
    Bytes body;
    for (int i = 0; i < w * h * (bits / 8); ++i) {
        body.push_back(static_cast<uint8_t>(i * 53 + 5));
    }
    return texture_test::tgaFile(type, w, h, bits, body, 0, idLength);
}

// Runs one parser on an exactly sized copy, checks the invariants and says
// whether the result was the placeholder.
bool Check(const Bytes& input, bool ppm) {
    const size_t n = input.size();
    std::unique_ptr<uint8_t[]> exact(new uint8_t[std::max<size_t>(n, 1)]);
    std::copy(input.begin(), input.end(), exact.get());
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> b(ppm ? ParsePPM(exact.get(), n, "fuzz") : ParseTGA(exact.get(), n, "fuzz"));
    const std::string out = testing::internal::GetCapturedStdout();

    const int bytesPerPixel = ppm ? 3 : 4;
    EXPECT_EQ(b->depth, bytesPerPixel * 8);
    EXPECT_TRUE(b->width >= 1 && b->width <= kMaxImageSide && b->height >= 1 && b->height <= kMaxImageSide);
    // Read every pixel byte, so that a buffer smaller than its claimed size
    // shows up in a sanitizer build.
    unsigned sum = 0;
    for (size_t i = 0; i < static_cast<size_t>(b->width) * b->height * bytesPerPixel; ++i) {
        sum += b->pixels[i];
    }
    (void)sum;
    if (out.empty()) {
        // A real image never holds more pixels than the file had bytes.
        EXPECT_LE(static_cast<size_t>(b->width) * b->height, n);
        return false;
    }
    using namespace texture_test;
    EXPECT_TRUE(out == shortReadWarning("fuzz") || out == tooLargeWarning("fuzz") || out == tgaHeaderWarning("fuzz"))
        << out;
    EXPECT_TRUE(isPlaceholder(*b, bytesPerPixel * 8));
    return true;
}

TEST(ImageCorpus, EveryTruncationOfAGoodFileIsRefusedAndTheWholeFileRead) {
    const Bytes seeds[] = {Ppm("P6\n4 3\n255\n", 4, 3), Tga(2, 3, 2, 32), Tga(2, 2, 2, 24, 5), Tga(3, 4, 2, 8)};
    for (size_t s = 0; s < std::size(seeds); ++s) {
        for (size_t len = 0; len < seeds[s].size(); ++len) {
            SCOPED_TRACE(testing::Message() << "seed " << s << " length " << len);
            EXPECT_TRUE(Check(Bytes(seeds[s].begin(), seeds[s].begin() + static_cast<std::ptrdiff_t>(len)), s == 0));
        }
        EXPECT_FALSE(Check(seeds[s], s == 0));
    }
}

TEST(ImageCorpus, MutatedFilesNoiseAndExtremeHeadersNeverBreakTheInvariants) {
    const Bytes seeds[] = {
        Ppm("P6\n4 3\n255\n", 4, 3), Ppm("P6\n# a comment\n3 3\n255\n", 3, 3),
        Ppm("P6 1 1 255\n", 1, 1),   Ppm("P6\n8 2\n# maximum below\n65535\n", 8, 2),
        Tga(2, 3, 2, 32),            Tga(2, 2, 3, 24),
        Tga(3, 4, 2, 8),             Tga(2, 2, 2, 24, 5),
    };
    Random rng{0x9E3779B9u};
    int placeholders = 0;
    int images = 0;
    auto checkBoth = [&](const Bytes& data) {
        for (bool ppm : {true, false}) {
            (Check(data, ppm) ? placeholders : images)++;
        }
    };
    for (int round = 0; round < 1500 && !HasFailure(); ++round) {
        SCOPED_TRACE(round);
        Bytes data = seeds[rng.Below(std::size(seeds))];
        for (size_t edits = 1 + rng.Below(4); edits > 0; --edits) {
            const size_t at = rng.Below(data.size() + 1);
            const auto pos = data.begin() + static_cast<std::ptrdiff_t>(at);
            const uint8_t extremes[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, '\n', '#', '-', '9'};
            switch (rng.Below(5)) {
            case 0:  // flip a bit, or write an extreme byte
                if (at < data.size()) {
                    data[at] = rng.Below(2) != 0 ? data[at] ^ (1u << rng.Below(8)) : extremes[rng.Below(9)];
                }
                break;
            case 1:  // truncate
                data.resize(at);
                break;
            case 2:  // insert noise
                data.insert(pos, rng.Below(8) + 1, static_cast<uint8_t>(rng.Next()));
                break;
            case 3:  // delete a run
                data.erase(pos, data.begin() + static_cast<std::ptrdiff_t>(std::min(at + rng.Below(6), data.size())));
                break;
            case 4:  // overwrite a TGA size field with a big value
                if (data.size() >= 18) {
                    const size_t field = 12 + 2 * rng.Below(2);
                    data[field] = static_cast<uint8_t>(rng.Next());
                    data[field + 1] = static_cast<uint8_t>(rng.Next());
                }
                break;
            }
        }
        checkBoth(data);
    }
    for (int round = 0; round < 300; ++round) {
        Bytes noise(rng.Below(64));
        std::generate(noise.begin(), noise.end(), [&] { return static_cast<uint8_t>(rng.Next()); });
        checkBoth(noise);
    }
    // Every TGA type with every side class and depth class, and an ID length
    // that may run past the end.
    for (uint8_t type = 0; type < 12; ++type) {
        for (uint16_t side : {0, 1, 3, 16384, 16385, 65535}) {
            for (uint8_t bits : {0, 8, 16, 24, 32, 255}) {
                Bytes header = Tga(type, 1, 1, 8);
                header[12] = static_cast<uint8_t>(side);
                header[13] = static_cast<uint8_t>(side >> 8);
                header[16] = bits;
                header[0] = static_cast<uint8_t>(side);
                checkBoth(header);
            }
        }
    }
    // The inputs must exercise both outcomes, or the test proves little.
    EXPECT_GT(images, 100);
    EXPECT_GT(placeholders, 100);
}

}  // namespace
