// Tests of the PPM and TGA readers: good files, odd but valid files, files
// that lie about their size, the placeholders and the exact warning bytes.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/imageio.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Concat(const std::string& header, const Bytes& body) {
    Bytes out(header.begin(), header.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// An uncompressed TGA header followed by the given bytes.
Bytes MakeTga(uint8_t type, uint16_t w, uint16_t h, uint8_t bits, const Bytes& body, uint8_t descriptor = 0,
              uint8_t idLength = 0) {
    Bytes out(18, 0);
    out[0] = idLength;
    out[2] = type;
    out[12] = static_cast<uint8_t>(w & 0xFF);
    out[13] = static_cast<uint8_t>(w >> 8);
    out[14] = static_cast<uint8_t>(h & 0xFF);
    out[15] = static_cast<uint8_t>(h >> 8);
    out[16] = bits;
    out[17] = descriptor;
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

struct Result {
    std::unique_ptr<CBitmap> bitmap;
    std::string output;  // what the reader printed
};

Result RunPPM(const Bytes& bytes, const char* name = "t.ppm") {
    testing::internal::CaptureStdout();
    CBitmap* b = ParsePPM(bytes.data(), bytes.size(), name);
    return {std::unique_ptr<CBitmap>(b), testing::internal::GetCapturedStdout()};
}

Result RunTGA(const Bytes& bytes, const char* name = "t.tga") {
    testing::internal::CaptureStdout();
    CBitmap* b = ParseTGA(bytes.data(), bytes.size(), name);
    return {std::unique_ptr<CBitmap>(b), testing::internal::GetCapturedStdout()};
}

Bytes PixelsOf(const CBitmap& b) {
    const size_t n = static_cast<size_t>(b.width) * b.height * (b.depth / 8);
    return Bytes(b.pixels, b.pixels + n);
}

std::string Dashes(int n) {
    return std::string(static_cast<size_t>(n), '-') + "\n";
}

// The four warnings, written out in full (ISO-8859-1 umlauts as bytes).
std::string NotFound(const std::string& name) {
    return Dashes(53) + "Warnung!!! Textur ( " + name + " ) nicht gefunden!\n" + Dashes(53);
}
std::string TgaHeader(const std::string& name) {
    return Dashes(65) + "Warnung!!! Fehler beim scannen des TGA headers " + name + " !\n" + Dashes(65);
}
std::string NoMemory(const std::string& name) {
    return Dashes(75) + "Warnung!!! kein Speicher f\xfc" "r Textur " + name + " verf\xfc" "gbar bzw bekommen!\n" +
           Dashes(75);
}
std::string ShortRead(const std::string& name) {
    return Dashes(87) + "Warnung!!! Fehler beim Lesen der Textur " + name + "!(x * y * 3 Bytes nicht gelesen)\n" +
           Dashes(87);
}

// The placeholder described column by column: even columns black, odd
// columns magenta, in every one of the 8 rows.
Bytes ExpectedChecker(int bytesPerPixel) {
    Bytes out;
    for (int row = 0; row < 8; ++row) {
        for (int col = 0; col < 8; ++col) {
            const uint8_t v = col % 2 == 0 ? 0 : 255;
            out.push_back(v);
            out.push_back(0);
            out.push_back(v);
            if (bytesPerPixel == 4) {
                out.push_back(255);
            }
        }
    }
    return out;
}

void ExpectPlaceholder(const Result& r, int depth) {
    ASSERT_NE(r.bitmap, nullptr);
    EXPECT_EQ(r.bitmap->width, 8);
    EXPECT_EQ(r.bitmap->height, 8);
    EXPECT_EQ(r.bitmap->depth, depth);
    EXPECT_EQ(PixelsOf(*r.bitmap), ExpectedChecker(depth / 8));
}

const Bytes kFourPixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 2 x 2 RGB

enum class Expect { Image, ShortRead, NoMemory, TgaHeader };

std::string WarningFor(Expect e, const std::string& name) {
    switch (e) {
    case Expect::ShortRead:
        return ShortRead(name);
    case Expect::NoMemory:
        return NoMemory(name);
    case Expect::TgaHeader:
        return TgaHeader(name);
    case Expect::Image:
        break;
    }
    return "";
}

TEST(ImagePlaceholder, EightByEightBlackMagentaColumns) {
    int w = 0;
    int h = 0;
    std::unique_ptr<uint8_t[]> rgb(GetRGBImage(&w, &h));
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(Bytes(rgb.get(), rgb.get() + 8 * 8 * 3), ExpectedChecker(3));
    w = h = 0;
    std::unique_ptr<uint8_t[]> rgba(GetRGBAImage(&w, &h));
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(Bytes(rgba.get(), rgba.get() + 8 * 8 * 4), ExpectedChecker(4));
}

// ---------------------------------------------------------------------------

TEST(ImagePPM, HeaderLayoutsThatAllReadTheSame) {
    const char* headers[] = {
        "P6\n2 2\n255\n",
        "P6 2 2 255\n",
        "P6\r\n2 2\r\n255\n",
        "\n\n  P6  2\t2\n255\n",
        "P6\n# CREATOR: someone\n2 2\n255\n",
        "P6\n#one\n#two\n2 # width\n2\n255\n",
        "P6\n2 2\n# comment before the maximum\n255\n",
        "P6\n2 2\n255 trailing words on the maximum line\n",
        "P6\n2px +2\n255\n",                 // numbers read as atoi reads them
        "P6\n2 2\n15\n", "P6\n2 2\n65535\n",  // the maximum is ignored: one byte per sample
        "XY\n2 2\n255\n",                    // the magic word is not checked
    };
    for (const char* header : headers) {
        SCOPED_TRACE(header);
        Bytes file = Concat(header, kFourPixels);
        file.insert(file.end(), {99, 98, 97});  // bytes behind the pixels are ignored
        const Result r = RunPPM(file);
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(r.bitmap->width, 2);
        EXPECT_EQ(r.bitmap->height, 2);
        EXPECT_EQ(r.bitmap->depth, 24);
        EXPECT_EQ(PixelsOf(*r.bitmap), kFourPixels);
    }
}

TEST(ImagePPM, PixelBytesThatLookLikeTextAreData) {
    const Bytes pixels = {'\n', ' ', '\t', '#', '1', '\n'};
    const Result r = RunPPM(Concat("P6\n2 1\n255\n", pixels));
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(PixelsOf(*r.bitmap), pixels);
}

TEST(ImagePPM, BrokenFilesGiveTheirWarningAndThePlaceholder) {
    Bytes oneShort = Concat("P6\n2 2\n255\n", kFourPixels);
    oneShort.pop_back();
    const struct {
        Bytes file;
        Expect expect;
    } cases[] = {
        {oneShort, Expect::ShortRead},
        {Concat("P6\n2 2\n255", {}), Expect::ShortRead},
        {Concat("P6\n2 2", {}), Expect::ShortRead},
        {Concat("P6", {}), Expect::ShortRead},
        {{}, Expect::ShortRead},
        {Concat("P6\n0 2\n255\n", kFourPixels), Expect::ShortRead},
        {Concat("P6\n2 0\n255\n", kFourPixels), Expect::ShortRead},
        {Concat("P6\n-2 2\n255\n", kFourPixels), Expect::ShortRead},
        {Concat("P6\nabc 2\n255\n", kFourPixels), Expect::ShortRead},
        {Concat("P6\n16385 1\n255\n", kFourPixels), Expect::NoMemory},
        {Concat("P6\n1 16385\n255\n", kFourPixels), Expect::NoMemory},
        {Concat("P6\n99999999999999999999999 1\n255\n", kFourPixels), Expect::NoMemory},
        {Concat("P6\n4294967297 4294967297\n255\n", kFourPixels), Expect::NoMemory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file.begin(), c.file.begin() + std::min<std::ptrdiff_t>(20, c.file.size())));
        const Result r = RunPPM(c.file, "levels/x/height.ppm");
        EXPECT_EQ(r.output, WarningFor(c.expect, "levels/x/height.ppm"));
        ExpectPlaceholder(r, 24);
    }
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> b(ParsePPM(nullptr, 100, "n.ppm"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ShortRead("n.ppm"));
    EXPECT_EQ(b->width, 8);
}

TEST(ImagePPM, LargestSideIsAcceptedWhenTheDataArePresent) {
    const Bytes row(static_cast<size_t>(kMaxImageSide) * 3, 7);
    const Result full = RunPPM(Concat("P6\n16384 1\n255\n", row));
    EXPECT_EQ(full.output, "");
    EXPECT_EQ(full.bitmap->width, kMaxImageSide);
    EXPECT_EQ(RunPPM(Concat("P6\n16384 2\n255\n", row)).output, ShortRead("t.ppm"));
}

// ---------------------------------------------------------------------------

TEST(ImageTGA, PixelFormatsBecomeRGBA) {
    const struct {
        uint8_t type, bits;
        uint16_t w;
        Bytes file, rgba;
    } cases[] = {
        {2, 32, 1, {10, 20, 30, 40}, {30, 20, 10, 40}},
        {2, 24, 2, {1, 2, 3, 4, 5, 6}, {3, 2, 1, 255, 6, 5, 4, 255}},
        {3, 8, 3, {0, 128, 255}, {0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.bits));
        const Result r = RunTGA(MakeTga(c.type, c.w, 1, c.bits, c.file));
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(r.bitmap->depth, 32);
        EXPECT_EQ(r.bitmap->width, c.w);
        EXPECT_EQ(PixelsOf(*r.bitmap), c.rgba);
    }
}

TEST(ImageTGA, RowsStayInFileOrderWhateverTheOrigin) {
    const Bytes body = {1, 1, 1, 255, 2, 2, 2, 255};  // row 0 then row 1 of a 1 x 2 image
    for (uint8_t descriptor : {uint8_t{0x08}, uint8_t{0x28}}) {
        EXPECT_EQ(PixelsOf(*RunTGA(MakeTga(2, 1, 2, 32, body, descriptor)).bitmap), body);
    }
}

TEST(ImageTGA, ImageIdAndColourMapAreSkipped) {
    Bytes withId = MakeTga(2, 1, 1, 24, {}, 0, 3);
    withId.insert(withId.end(), {'a', 'b', 'c', 10, 20, 30});
    EXPECT_EQ(PixelsOf(*RunTGA(withId).bitmap), (Bytes{30, 20, 10, 255}));

    Bytes withMap = MakeTga(2, 1, 1, 24, {});
    withMap[1] = 1;   // a colour map is present
    withMap[5] = 2;   // two entries
    withMap[7] = 15;  // of 15 bits: two bytes each
    withMap.insert(withMap.end(), {0xEE, 0xEE, 0xEE, 0xEE, 10, 20, 30});
    const Result r = RunTGA(withMap);
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(PixelsOf(*r.bitmap), (Bytes{30, 20, 10, 255}));
}

TEST(ImageTGA, BrokenFilesGiveTheirWarningAndThePlaceholder) {
    const Bytes plenty(64, 1);
    Bytes hugeMap = MakeTga(2, 1, 1, 24, {1, 2, 3});
    hugeMap[1] = 1;
    hugeMap[5] = hugeMap[6] = 0xFF;
    hugeMap[7] = 32;
    const Bytes header = MakeTga(2, 1, 1, 32, {});
    const struct {
        Bytes file;
        Expect expect;
    } cases[] = {
        // 0 none, 1 colour-mapped, 9/10/11 run-length encoded, 32/33 Huffman.
        {MakeTga(0, 1, 1, 32, plenty), Expect::TgaHeader},
        {MakeTga(1, 1, 1, 32, plenty), Expect::TgaHeader},
        {MakeTga(9, 1, 1, 32, plenty), Expect::TgaHeader},
        {MakeTga(10, 1, 1, 32, plenty), Expect::TgaHeader},
        {MakeTga(11, 1, 1, 32, plenty), Expect::TgaHeader},
        {MakeTga(33, 1, 1, 32, plenty), Expect::TgaHeader},
        {MakeTga(2, 1, 1, 16, plenty), Expect::TgaHeader},
        {MakeTga(2, 1, 1, 15, plenty), Expect::TgaHeader},
        {MakeTga(2, 1, 1, 0, plenty), Expect::TgaHeader},
        {MakeTga(2, 0, 1, 32, plenty), Expect::TgaHeader},
        {MakeTga(2, 1, 0, 32, plenty), Expect::TgaHeader},
        {Bytes(header.begin(), header.begin() + 17), Expect::TgaHeader},
        {{}, Expect::TgaHeader},
        {MakeTga(2, 2, 2, 32, Bytes(15, 9)), Expect::ShortRead},       // one byte short
        {MakeTga(2, 1, 1, 24, {1, 2, 3}, 0, 200), Expect::ShortRead},  // image ID past the end
        {hugeMap, Expect::ShortRead},                                  // colour map past the end
        {MakeTga(2, 16385, 1, 32, plenty), Expect::NoMemory},
        {MakeTga(2, 1, 65535, 32, plenty), Expect::NoMemory},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Result r = RunTGA(cases[i].file, "gfx/snow.tga");
        EXPECT_EQ(r.output, WarningFor(cases[i].expect, "gfx/snow.tga"));
        ExpectPlaceholder(r, 32);
    }
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> b(ParseTGA(nullptr, 1000, "n.tga"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), TgaHeader("n.tga"));
    EXPECT_EQ(b->depth, 32);
}

// ---------------------------------------------------------------------------
// The file readers: opening, not-found, case-insensitive lookup.

class ImageFiles : public testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/vext_image_files_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Write(const std::string& relative, const Bytes& bytes) {
        const std::filesystem::path path = std::filesystem::path(dir_) / relative;
        std::filesystem::create_directories(path.parent_path());
        FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path.string();
    }
    std::string dir_;
};

TEST_F(ImageFiles, ReadsBothFormatsFromDisk) {
    const std::string ppm = Write("a.ppm", Concat("P6\n2 2\n255\n", kFourPixels));
    const std::string tga = Write("a.tga", MakeTga(2, 1, 1, 32, {10, 20, 30, 40}));
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> a(LoadPPM(ppm.c_str()));
    std::unique_ptr<CBitmap> b(LoadTGAFile(tga.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(PixelsOf(*a), kFourPixels);
    EXPECT_EQ(PixelsOf(*b), (Bytes{30, 20, 10, 40}));
}

TEST_F(ImageFiles, NamesAreMatchedWithoutRegardToCase) {
    Write("gfx/Load.ppm", Concat("P6\n2 2\n255\n", kFourPixels));
    const std::string asWritten = dir_ + "/Gfx/LOAD.PPM";
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> b(LoadPPM(asWritten.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(PixelsOf(*b), kFourPixels);
}

TEST_F(ImageFiles, MissingFilesGiveTheNotFoundWarningWithTheNameAsGiven) {
    const std::string name = dir_ + "/Gfx/none.ppm";
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> ppm(LoadPPM(name.c_str()));
    std::unique_ptr<CBitmap> tga(LoadTGAFile(name.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), NotFound(name) + NotFound(name));
    EXPECT_EQ(ppm->depth, 24);
    EXPECT_EQ(tga->depth, 32);
    EXPECT_EQ(PixelsOf(*ppm), ExpectedChecker(3));
    EXPECT_EQ(PixelsOf(*tga), ExpectedChecker(4));
}

TEST_F(ImageFiles, DirectoriesAndNullNamesAreNotFound) {
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> dir(LoadPPM(dir_.c_str()));
    std::unique_ptr<CBitmap> none(LoadTGAFile(nullptr));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), NotFound(dir_) + NotFound("(null)"));
    EXPECT_EQ(dir->width, 8);
    EXPECT_EQ(none->width, 8);
}

TEST_F(ImageFiles, BrokenFilesNameTheFileAsGiven) {
    const std::string path = Write("short.ppm", Concat("P6\n4 4\n255\n", kFourPixels));
    testing::internal::CaptureStdout();
    std::unique_ptr<CBitmap> b(LoadPPM(path.c_str()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ShortRead(path));
    EXPECT_EQ(b->width, 8);
}

}  // namespace
