// Tests of the PPM and TGA readers: good files, odd but valid files, files
// that lie about their size, the placeholders and the exact warning bytes.
// Then the screenshot writer on the offscreen GL context: the frame buffer
// is filled with known colours by scissored clears and read back through the
// PPM the writer stores.  Whole-window shots of a running engine (top row
// first, the frame-rate text top-left) are checked by tests/e2e/fly.sh.

#include <iterator>
#include <memory>

#include "image/imageio.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

Bytes Concat(const std::string& header, const Bytes& body) {
    Bytes out(header.begin(), header.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

struct Result {
    std::unique_ptr<CBitmap> bitmap;
    std::string output;  // what the reader printed
};

Result Parse(bool ppm, const Bytes& bytes, const std::string& name) {
    Result r;
    r.output = stdoutOf([&] {
        r.bitmap.reset(ppm ? ParsePPM(bytes.data(), bytes.size(), name.c_str())
                           : ParseTGA(bytes.data(), bytes.size(), name.c_str()));
    });
    return r;
}

Bytes PixelsOf(const CBitmap& b) {
    return Bytes(b.pixels, b.pixels + static_cast<size_t>(b.width) * b.height * (b.depth / 8));
}

// 2 x 2 RGB whose first bytes look like header text: they are data all the same.
const Bytes kFourPixels = {'\n', ' ', '\t', '#', '1', '\n', 7, 8, 9, 10, 11, 12};

TEST(ImagePPM, HeaderLayoutsThatAllReadTheSame) {
    const char* headers[] = {
        "P6\n2 2\n255\n",
        "P6\r\n2 2\r\n255\n",
        "\n\n  P6  2\t2\n255\n",
        "P6\n#one\n#two\n2 # width\n2\n255\n",
    };
    for (const char* header : headers) {
        SCOPED_TRACE(header);
        Bytes file = Concat(header, kFourPixels);
        file.insert(file.end(), {99, 98, 97});  // bytes behind the pixels are ignored
        const Result r = Parse(true, file, "t.ppm");
        EXPECT_EQ(r.output, "");
        EXPECT_EQ((std::vector<int>{r.bitmap->width, r.bitmap->height, r.bitmap->depth}), (std::vector<int>{2, 2, 24}));
        EXPECT_EQ(PixelsOf(*r.bitmap), kFourPixels);
    }
    // The largest side is accepted when its data are present.
    const Result full = Parse(true, Concat("P6\n16384 1\n255\n", Bytes(kMaxImageSide * 3, 7)), "t.ppm");
    EXPECT_EQ(full.output, "");
    EXPECT_EQ(full.bitmap->width, kMaxImageSide);
}

TEST(ImageTGA, PixelFormatsBecomeRGBAInFileRowOrder) {
    Bytes withMap = tgaFile(2, 1, 1, 24, {0xEE, 0xEE, 0xEE, 0xEE, 10, 20, 30});
    withMap[1] = 1;   // a colour map is present
    withMap[5] = 2;   // two entries
    withMap[7] = 15;  // of 15 bits: two bytes each, skipped
    const Bytes twoRows = {1, 1, 1, 255, 2, 2, 2, 255};  // row 0 then row 1 of a 1 x 2 image
    const struct { const char* what; Bytes file, rgba; } cases[] = {
        {"32-bit", tgaFile(2, 1, 1, 32, {10, 20, 30, 40}), {30, 20, 10, 40}},
        {"24-bit", tgaFile(2, 2, 1, 24, {1, 2, 3, 4, 5, 6}), {3, 2, 1, 255, 6, 5, 4, 255}},
        {"8-bit grey", tgaFile(3, 3, 1, 8, {0, 128, 255}), {0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255}},
        {"bottom-up", tgaFile(2, 1, 2, 32, twoRows, 0x08), twoRows},
        {"top-down", tgaFile(2, 1, 2, 32, twoRows, 0x28), twoRows},
        {"image ID", tgaFile(2, 1, 1, 24, {10, 20, 30}, 0, 3), {30, 20, 10, 255}},
        {"colour map", withMap, {30, 20, 10, 255}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result r = Parse(false, c.file, "t.tga");
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(r.bitmap->depth, 32);
        EXPECT_EQ(PixelsOf(*r.bitmap), c.rgba);
    }
}

TEST(ImageReaders, BrokenFilesGiveTheirWarningAndThePlaceholder) {
    Bytes oneShort = Concat("P6\n2 2\n255\n", kFourPixels);
    oneShort.pop_back();
    Bytes idPastEnd = tgaFile(2, 1, 1, 24, {1, 2, 3});
    idPastEnd[0] = 200;
    Bytes mapPastEnd = tgaFile(2, 1, 1, 24, {1, 2, 3});
    mapPastEnd[1] = 1;
    mapPastEnd[5] = mapPastEnd[6] = 0xFF;
    mapPastEnd[7] = 32;
    struct Case { bool ppm; Bytes file; std::string (*warning)(const std::string&); };
    const Case cases[] = {
        {true, oneShort, shortReadWarning}, {true, {}, shortReadWarning},
        {true, Concat("P6\n0 2\n255\n", kFourPixels), shortReadWarning},
        {true, Concat("P6\n16384 2\n255\n", Bytes(kMaxImageSide * 3, 7)), shortReadWarning},  // one row of two
        {true, Concat("P6\n16385 1\n255\n", kFourPixels), tooLargeWarning},
        {true, Concat("P6\n1 16385\n255\n", kFourPixels), tooLargeWarning},
        {true, Concat("P6\n4294967297 4294967297\n255\n", kFourPixels), tooLargeWarning},
        {false, tgaFile(2, 0, 1, 32, Bytes(64, 1)), tgaHeaderWarning}, {false, Bytes(17, 0), tgaHeaderWarning},
        {false, tgaFile(2, 2, 2, 32, Bytes(15, 9)), shortReadWarning},  // one byte short
        {false, idPastEnd, shortReadWarning}, {false, mapPastEnd, shortReadWarning},
        {false, tgaFile(2, 16385, 1, 32, Bytes(64, 1)), tooLargeWarning},
        {false, tgaFile(2, 1, 65535, 32, Bytes(64, 1)), tooLargeWarning},
        // Colour-mapped and run-length encoded types, and depths other than 8, 24 and 32.
        {false, tgaFile(1, 1, 1, 32, Bytes(64, 1)), tgaHeaderWarning},
        {false, tgaFile(10, 1, 1, 32, Bytes(64, 1)), tgaHeaderWarning},
        {false, tgaFile(2, 1, 1, 0, Bytes(64, 1)), tgaHeaderWarning},
        {false, tgaFile(2, 1, 1, 16, Bytes(64, 1)), tgaHeaderWarning},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const std::string name = cases[i].ppm ? "levels/x/height.ppm" : "gfx/snow.tga";
        const Result r = Parse(cases[i].ppm, cases[i].file, name);
        EXPECT_EQ(r.output, cases[i].warning(name));
        EXPECT_TRUE(isPlaceholder(*r.bitmap, cases[i].ppm ? 24 : 32));
    }
    std::unique_ptr<CBitmap> tga;
    EXPECT_EQ(stdoutOf([&] { tga.reset(ParseTGA(nullptr, 1000, "n.tga")); }), tgaHeaderWarning("n.tga"));
    EXPECT_TRUE(isPlaceholder(*tga, 32));
}

// The file readers: case-insensitive lookup, and warnings that name the file
// as the caller spelled it.
TEST(ImageFiles, ReadFromDiskWithoutRegardToCaseAndNameTheFileAsGiven) {
    WorkDir dir;
    writeBytes("gfx/Load.ppm", Concat("P6\n2 2\n255\n", kFourPixels));
    writeBytes("gfx/a.tga", tgaFile(2, 1, 1, 32, {10, 20, 30, 40}));
    writeBytes("short.ppm", Concat("P6\n4 4\n255\n", kFourPixels));
    std::unique_ptr<CBitmap> ppm, tga;
    EXPECT_EQ(stdoutOf([&] {
        ppm.reset(LoadPPM("Gfx/LOAD.PPM"));
        tga.reset(LoadTGAFile("GFX/A.tga"));
    }), "");
    EXPECT_EQ(PixelsOf(*ppm), kFourPixels);
    EXPECT_EQ(PixelsOf(*tga), (Bytes{30, 20, 10, 40}));

    std::unique_ptr<CBitmap> results[4];
    const std::string out = stdoutOf([&] {
        results[0].reset(LoadPPM("Gfx/none.ppm"));
        results[1].reset(LoadTGAFile("Gfx/none.ppm"));
        results[2].reset(LoadPPM("."));
        results[3].reset(LoadTGAFile(nullptr));
    });
    EXPECT_EQ(out, notFoundWarning("Gfx/none.ppm") + notFoundWarning("Gfx/none.ppm") +
                       framedWarning(53, "Textur ( . ) ist keine normale Datei!") + notFoundWarning("(null)"));
    for (size_t i = 0; i < std::size(results); ++i) {
        EXPECT_TRUE(isPlaceholder(*results[i], i % 2 == 0 ? 24 : 32)) << i;
    }
    EXPECT_EQ(stdoutOf([&] { ppm.reset(LoadPPM("SHORT.ppm")); }), shortReadWarning("SHORT.ppm"));
}

constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kRed{255, 0, 0};

void fill(Rgb c, int x, int y, int w, int h)
{
    glScissor(x, y, w, h);
    glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

TEST(ImageScreenshot, RectangleFromTheBottomLeftTopRowFirstNoPadding)
{
    ASSERT_TRUE(ensureGLContext());
    WorkDir dir;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    // All green, a red block 4 x 2 at the bottom-left (GL counts rows from
    // the bottom).
    glEnable(GL_SCISSOR_TEST);
    fill(kGreen, 0, 0, kTestGLWidth, kTestGLHeight);
    fill(kRed, 0, 0, 4, 2);
    glDisable(GL_SCISSOR_TEST);

    // GL columns 2..4, rows 1..2: 9-byte rows, whatever pack alignment the
    // caller had set (and kept).
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    KRTWriteShotPPM(2, 1, 3, 2, "part.ppm");
    EXPECT_EQ(glInt(GL_PACK_ALIGNMENT), 8);
    EXPECT_EQ(readBytes("part.ppm").size(), std::string("P6\n3 2\n255\n").size() + 3 * 2 * 3);
    const auto part = loadGoodPPM("part.ppm");
    ASSERT_TRUE(part->width == 3 && part->height == 2);
    const Rgb expected[2][3] = {{kGreen, kGreen, kGreen}, {kRed, kRed, kGreen}};
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(pixelAt(*part, x, row), expected[row][x]) << x << "," << row;
        }
    }
    glPopClientAttrib();
    glPopAttrib();
}

TEST(ImageScreenshot, BadRectanglesAndPathsWriteNothingAndDirectoriesIgnoreCase)
{
    ASSERT_TRUE(ensureGLContext());
    WorkDir dir;
    KRTWriteShotPPM(0, 0, 0, 10, "zero.ppm");
    KRTWriteShotPPM(0, 0, 10, -1, "negative.ppm");
    KRTWriteShotPPM(0, 0, kMaxImageSide + 1, 1, "huge.ppm");
    KRTWriteShotPPM(0, 0, 4, 4, "SCRSHT/Screenshot0000.ppm");
    KRTWriteShotPPM(0, 0, 4, 4, nullptr);
    EXPECT_TRUE(std::filesystem::is_empty("."));
    // A link planted under the shot's name: what it points at stays.
    writeBytes("keep.txt", "keep");
    std::filesystem::create_symlink("keep.txt", "Screenshot.ppm");
    KRTWriteShotPPM(0, 0, 4, 4, "Screenshot.ppm");
    EXPECT_EQ(readBytes("keep.txt"), "keep");

    std::filesystem::create_directory("scrsht");
    KRTWriteShotPPM(0, 0, 4, 4, "SCRSHT/Screenshot0001.ppm");
    EXPECT_TRUE(std::filesystem::exists("scrsht/Screenshot0001.ppm"));
}

}  // namespace
