// Texture objects: power-of-two sizes, colour keying, the 16.16 resampler
// (expected values worked out by hand from the step tables), and textures
// uploaded to a real GL context, read back with glGetTexLevelParameteriv.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <climits>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/engine.h"
#include "gl_fixture.h"
#include "image/texture.h"
#include "texture_test_files.h"

namespace {

using texture_test::readBytes;
using texture_test::Rgb;
using texture_test::ScopedWorkDir;
using texture_test::writePPM;
using texture_test::writeSolidPPM;
using texture_test::writeSolidTGA;

std::unique_ptr<CBitmap> makeBitmap(int w, int h, int depth, const std::vector<uint8_t>& pixels)
{
    auto bitmap = std::make_unique<CBitmap>();
    bitmap->width = w;
    bitmap->height = h;
    bitmap->depth = depth;
    bitmap->pixels = new uint8_t[pixels.size()];
    std::copy(pixels.begin(), pixels.end(), bitmap->pixels);
    return bitmap;
}

// A grey bitmap (all channels equal; alpha 255 at depth 32) from one value per pixel.
std::unique_ptr<CBitmap> greyBitmap(int w, int h, int depth, const std::vector<int>& values)
{
    const int bpp = depth / 8;
    std::vector<uint8_t> pixels;
    for (int v : values) {
        for (int c = 0; c < bpp; c++) {
            pixels.push_back(static_cast<uint8_t>(c == 3 ? 255 : v));
        }
    }
    return makeBitmap(w, h, depth, pixels);
}

// Channel c of every pixel of a bitmap, row by row.
std::vector<int> channel(const CBitmap& bitmap, int c)
{
    const int bpp = bitmap.depth / 8;
    std::vector<int> out;
    for (int i = 0; i < bitmap.width * bitmap.height; i++) {
        out.push_back(bitmap.pixels[i * bpp + c]);
    }
    return out;
}

using Values = std::vector<int>;

// ---------------------------------------------------------------- sizes

TEST(TextureSize, NextPowerOfTwoFromFourUp)
{
    EXPECT_EQ(getNextOGLSize(1), 4);
    EXPECT_EQ(getNextOGLSize(4), 4);
    EXPECT_EQ(getNextOGLSize(5), 8);
    EXPECT_EQ(getNextOGLSize(64), 64);
    EXPECT_EQ(getNextOGLSize(65), 128);
    EXPECT_EQ(getNextOGLSize(0), 4);
    EXPECT_EQ(getNextOGLSize(-7), 4);
    EXPECT_EQ(getNextOGLSize(1 << 30), 1 << 30);
    EXPECT_EQ(getNextOGLSize(INT_MAX), 1 << 30);    // no overflow into a negative size
}

// ---------------------------------------------------------------- makeAlpha

TEST(TextureMakeAlpha, KeyColourBecomesTransparentOthersOpaque)
{
    auto bitmap = makeBitmap(4, 1, 24, {0, 0, 0, 0, 0, 1, 255, 255, 255, 0, 0, 0});
    STexture texture;
    EXPECT_TRUE(texture.makeAlpha(bitmap.get(), 0, 0, 0));
    EXPECT_EQ(bitmap->depth, 32);
    EXPECT_EQ(channel(*bitmap, 3), (Values{0, 255, 255, 0}));
    EXPECT_EQ(channel(*bitmap, 2), (Values{0, 1, 255, 0}));     // colours kept
}

TEST(TextureMakeAlpha, NoMatchOrOtherDepth)
{
    STexture texture;
    auto rgb = makeBitmap(2, 1, 24, {1, 2, 3, 4, 5, 6});
    EXPECT_FALSE(texture.makeAlpha(rgb.get(), 1, 2, 4));    // all three channels must match
    EXPECT_EQ(rgb->depth, 32);                              // converted all the same
    EXPECT_EQ(channel(*rgb, 3), (Values{255, 255}));
    auto rgba = makeBitmap(1, 1, 32, {0, 0, 0, 9});
    EXPECT_FALSE(texture.makeAlpha(rgba.get(), 0, 0, 0));
    EXPECT_EQ(rgba->pixels[3], 9);
    EXPECT_FALSE(texture.makeAlpha(nullptr, 0, 0, 0));
}

// ---------------------------------------------------------------- zoom

// 2 x 2, both rows 0 and 255 in red, to 4 x 2 smooth: sx = 65536 * 1 / 4 =
// 16384, so the weights are 0, 1/4, 2/4, 3/4 of 255, rounded down.
TEST(TextureZoom, SmoothTwoByTwoToFourByTwo)
{
    auto src = makeBitmap(2, 2, 32, {0, 7, 9, 255, 255, 7, 9, 255, 0, 7, 9, 255, 255, 7, 9, 255});
    std::unique_ptr<CBitmap> dst(zoomBitmap(src.get(), 2.0, 1.0, 1));
    ASSERT_NE(dst, nullptr);
    EXPECT_EQ(dst->width, 4);
    EXPECT_EQ(dst->height, 2);
    EXPECT_EQ(dst->depth, 32);
    EXPECT_EQ(channel(*dst, 0), (Values{0, 63, 127, 191, 0, 63, 127, 191}));
    EXPECT_EQ(channel(*dst, 1), (Values(8, 7)));   // flat channels stay flat
    EXPECT_EQ(channel(*dst, 3), (Values(8, 255)));
}

// Falling values: ((0 - 255) * ex) >> 16 shifts arithmetically (rounds towards
// minus infinity): -63.75 -> -64, -127.5 -> -128, -191.25 -> -192.
TEST(TextureZoom, SmoothFallingValuesRoundDown)
{
    auto src = greyBitmap(2, 1, 24, {255, 0});
    std::unique_ptr<CBitmap> dst(zoomBitmap(src.get(), 2.0, 1.0, 1));
    ASSERT_NE(dst, nullptr);
    EXPECT_EQ(channel(*dst, 0), (Values{255, 191, 127, 63}));
}

// 3 wide to 4: sx = 65536 * 2 / 4 = 32768.  Table 0, 32768, 65536, 32768+... :
// positions 0, 0, 1, 1 with weights 0, 1/2, 0, 1/2.
TEST(TextureZoom, SmoothStepsAcrossSourcePixels)
{
    auto src = greyBitmap(3, 1, 24, {0, 100, 200});
    std::unique_ptr<CBitmap> dst(zoomBitmap(src.get(), 4.0 / 3.0, 1.0, 1));
    ASSERT_NE(dst, nullptr);
    ASSERT_EQ(dst->width, 4);
    EXPECT_EQ(channel(*dst, 0), (Values{0, 50, 100, 150}));
}

// 2 x 2 (TL 0, TR 100, BL 200, BR 40) to 4 x 4: both steps 16384, all output
// pixels read the one source square with weights x/4 and y/4.
// t1 = 25x, t2 = 200 - 40x, result = t1 + floor((t2 - t1) * y / 4).
TEST(TextureZoom, SmoothBilinearInBothDirections)
{
    auto src = greyBitmap(2, 2, 24, {0, 100, 200, 40});
    std::unique_ptr<CBitmap> dst(zoomBitmap(src.get(), 2.0, 2.0, 1));
    ASSERT_NE(dst, nullptr);
    EXPECT_EQ(channel(*dst, 1), (Values{0, 25, 50, 75,        //
                                        50, 58, 67, 76,       //
                                        100, 92, 85, 77,      //
                                        150, 126, 102, 78}));
}

// A 1-pixel-wide source has no right neighbour: the edge pixel stands in (its
// weight is 0, so only the rows are blended) and nothing past the row is read.
TEST(TextureZoom, SmoothOnePixelWideAndHighSources)
{
    auto column = greyBitmap(1, 2, 32, {0, 200});
    std::unique_ptr<CBitmap> tall(zoomBitmap(column.get(), 1.0, 2.0, 1));
    ASSERT_NE(tall, nullptr);
    EXPECT_EQ(channel(*tall, 0), (Values{0, 50, 100, 150}));

    auto row = greyBitmap(2, 1, 32, {0, 200});
    std::unique_ptr<CBitmap> wide(zoomBitmap(row.get(), 2.0, 3.0, 1));
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(channel(*wide, 0), (Values{0, 50, 100, 150, 0, 50, 100, 150, 0, 50, 100, 150}));

    auto dot = greyBitmap(1, 1, 24, {77});
    std::unique_ptr<CBitmap> square(zoomBitmap(dot.get(), 3.0, 3.0, 1));
    ASSERT_NE(square, nullptr);
    EXPECT_EQ(channel(*square, 2), (Values(9, 77)));
}

// Without smoothing: sx = 65536 * 2 / 3 = 43690; table 0, 43690, 87380,
// 65534 advances 0, 1, 0 pixels, so the source pixels taken are 0, 0, 1.
TEST(TextureZoom, NearestUpscalePicksSourcePixels)
{
    auto src = makeBitmap(2, 1, 24, {10, 20, 30, 40, 50, 60});
    std::unique_ptr<CBitmap> dst(zoomBitmap(src.get(), 1.5, 1.0, 0));
    ASSERT_NE(dst, nullptr);
    ASSERT_EQ(dst->width, 3);
    const std::vector<uint8_t> expected{10, 20, 30, 10, 20, 30, 40, 50, 60};
    EXPECT_EQ(std::vector<uint8_t>(dst->pixels, dst->pixels + 9), expected);
}

// 5 to 3: sx = trunc(327680 / 3) = 109226; table 0, 109226 (advance 1,
// fraction 43690), 152916 (advance 2): pixels 0, 1, 3.  The same in y.
TEST(TextureZoom, NearestDownscaleSkipsByTheTable)
{
    auto row = greyBitmap(5, 1, 32, {0, 10, 20, 30, 40});
    std::unique_ptr<CBitmap> narrow(zoomBitmapToSize(row.get(), 3, 1, 0));
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(channel(*narrow, 0), (Values{0, 10, 30}));

    auto column = greyBitmap(1, 5, 24, {0, 10, 20, 30, 40});
    std::unique_ptr<CBitmap> low(zoomBitmapToSize(column.get(), 1, 3, 0));
    ASSERT_NE(low, nullptr);
    EXPECT_EQ(channel(*low, 0), (Values{0, 10, 30}));
}

TEST(TextureZoom, ResultSizesAreTruncatedAndAtLeastOne)
{
    auto src = greyBitmap(5, 3, 24, Values(15, 0));
    std::unique_ptr<CBitmap> half(zoomBitmap(src.get(), 0.5, 0.5, 1));
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->width, 2);     // 2.5
    EXPECT_EQ(half->height, 1);    // 1.5
    EXPECT_EQ(half->depth, 24);
    std::unique_ptr<CBitmap> none(zoomBitmap(src.get(), 0.0, -3.0, 0));
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->width, 1);
    EXPECT_EQ(none->height, 1);
}

// The factor 64 / 49 times 49 is 63.99999... in doubles: zoomBitmap keeps its
// truncation, zoomBitmapToSize (what texture creation uses) hits 64.
TEST(TextureZoom, ExactSizeWhereTheFactorFallsShort)
{
    auto src = greyBitmap(49, 1, 32, Values(49, 5));
    std::unique_ptr<CBitmap> byFactor(zoomBitmap(src.get(), 64.0 / 49.0, 1.0, 1));
    ASSERT_NE(byFactor, nullptr);
    EXPECT_EQ(byFactor->width, 63);
    std::unique_ptr<CBitmap> exact(zoomBitmapToSize(src.get(), 64, 4, 1));
    ASSERT_NE(exact, nullptr);
    EXPECT_EQ(exact->width, 64);
    EXPECT_EQ(exact->height, 4);
    EXPECT_EQ(channel(*exact, 0), Values(256, 5));
}

TEST(TextureZoom, RefusesWhatItCannotResample)
{
    EXPECT_EQ(zoomBitmap(nullptr, 2.0, 2.0, 1), nullptr);
    auto src = greyBitmap(2, 2, 24, {1, 2, 3, 4});
    EXPECT_EQ(zoomBitmap(src.get(), std::nan(""), 1.0, 1), nullptr);
    EXPECT_EQ(zoomBitmap(src.get(), 1.0, 1e12, 1), nullptr);
    EXPECT_EQ(zoomBitmapToSize(src.get(), 0, 4, 1), nullptr);

    auto odd = makeBitmap(1, 1, 16, {1, 2});
    EXPECT_EQ(zoomBitmap(odd.get(), 2.0, 2.0, 1), nullptr);

    // The source pitch is a 16-bit quantity: rows of 65536 bytes or more are refused.
    auto rgbaEdge = greyBitmap(16383, 1, 32, Values(16383, 3));
    std::unique_ptr<CBitmap> ok(zoomBitmap(rgbaEdge.get(), 0.25, 1.0, 1));
    EXPECT_NE(ok, nullptr);
    auto rgbaWide = greyBitmap(16384, 1, 32, Values(16384, 3));
    EXPECT_EQ(zoomBitmap(rgbaWide.get(), 0.25, 1.0, 1), nullptr);
    auto rgbWide = greyBitmap(21846, 1, 24, Values(21846, 3));
    EXPECT_EQ(zoomBitmap(rgbWide.get(), 0.25, 1.0, 0), nullptr);
    auto rgbEdge = greyBitmap(21845, 1, 24, Values(21845, 3));
    std::unique_ptr<CBitmap> rgbOk(zoomBitmap(rgbEdge.get(), 0.25, 1.0, 0));
    EXPECT_NE(rgbOk, nullptr);
}

TEST(TextureZoom, WorkersRefuseMismatchedBitmaps)
{
    auto src = greyBitmap(2, 2, 32, {1, 2, 3, 4});
    auto rgb = greyBitmap(4, 4, 24, Values(16, 0));
    EXPECT_EQ(zoomBitmapRGBA(src.get(), rgb.get(), 1), -1);
    EXPECT_EQ(zoomBitmapRGB(src.get(), rgb.get(), 1), -1);
    EXPECT_EQ(channel(*rgb, 0), Values(16, 0));
}

// ---------------------------------------------------------------- GL textures

class TextureGL : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        saved_ = Engine;
        engine_ = CEngine{};
        engine_.maxTextureSize = 256;
        Engine = &engine_;
        dir_ = std::make_unique<ScopedWorkDir>();
    }
    void TearDown() override
    {
        dir_.reset();
        Engine = saved_;
        glBindTexture(GL_TEXTURE_2D, 0);
    }

    static GLint level(const STexture& texture, GLenum what)
    {
        texture.Select();
        GLint value = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, what, &value);
        return value;
    }
    static bool hasAlpha(const STexture& texture) { return level(texture, GL_TEXTURE_ALPHA_SIZE) > 0; }
    static std::vector<uint8_t> texels(const STexture& texture)
    {
        const int w = level(texture, GL_TEXTURE_WIDTH);
        const int h = level(texture, GL_TEXTURE_HEIGHT);
        std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    static std::string log() { return readBytes(kTextureLogFile); }

    CEngine engine_{};
    CEngine* saved_ = nullptr;
    std::unique_ptr<ScopedWorkDir> dir_;
};

TEST_F(TextureGL, PowerOfTwoImageIsUploadedAsItIs)
{
    writeSolidPPM("plain.ppm", 64, 64, {10, 20, 30});
    STexture texture("plain.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    ASSERT_NE(texture.id, 0u);
    EXPECT_EQ(texture.imageWidth, 64);
    EXPECT_EQ(texture.imageHeight, 64);
    EXPECT_EQ(texture.width, 64.0f);
    EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), 64);
    EXPECT_EQ(level(texture, GL_TEXTURE_HEIGHT), 64);
    EXPECT_FALSE(hasAlpha(texture));    // key colour absent: 3 components
    EXPECT_STREQ(texture.name, "plain.ppm");
    EXPECT_EQ(log(), "uploading plain.ppm  64 x 64 \n");
    const auto pixels = texels(texture);
    EXPECT_EQ(pixels[0], 10);
    EXPECT_EQ(pixels[2], 30);
    texture.freeTexture();
}

TEST_F(TextureGL, KeyColourGivesAlphaOnlyWhenAskedAndPresent)
{
    writePPM("keyed.ppm", 4, 4, [](int x, int) { return x == 0 ? Rgb{0, 0, 0} : Rgb{200, 100, 50}; });
    STexture keyed("keyed.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    EXPECT_TRUE(hasAlpha(keyed));
    auto pixels = texels(keyed);
    EXPECT_EQ(pixels[3], 0);        // (0, 0) is the key colour
    EXPECT_EQ(pixels[7], 255);
    EXPECT_EQ(pixels[4], 200);

    STexture unkeyed("keyed.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    EXPECT_FALSE(hasAlpha(unkeyed));

    STexture otherKey("keyed.ppm", GL_LINEAR, GL_LINEAR, true, 200, 100, 50);
    EXPECT_TRUE(hasAlpha(otherKey));
    pixels = texels(otherKey);
    EXPECT_EQ(pixels[3], 255);
    EXPECT_EQ(pixels[7], 0);
    keyed.freeTexture();
    unkeyed.freeTexture();
    otherKey.freeTexture();
}

TEST_F(TextureGL, TgaAlwaysHasAlpha)
{
    writeSolidTGA("glass.tga", 8, 4, {1, 2, 3}, 77);
    STexture texture("glass.tga", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    EXPECT_TRUE(hasAlpha(texture));
    const auto pixels = texels(texture);
    EXPECT_EQ(pixels[0], 1);
    EXPECT_EQ(pixels[2], 3);
    EXPECT_EQ(pixels[3], 77);
    EXPECT_EQ(log(), "uploading glass.tga  8 x 4 \n");
    texture.freeTexture();
}

TEST_F(TextureGL, OddSizesAreResampledUpToPowersOfTwo)
{
    writeSolidPPM("odd.ppm", 100, 50, {90, 90, 90});
    STexture texture("odd.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(level(texture, GL_TEXTURE_HEIGHT), 64);
    EXPECT_EQ(texture.width, 128.0f);
    EXPECT_EQ(texture.height, 64.0f);
    EXPECT_EQ(texture.imageWidth, 100);
    EXPECT_EQ(texture.imageHeight, 50);
    EXPECT_EQ(texels(texture)[0], 90);
    EXPECT_EQ(log(), "resizing odd.ppm from 100 x 50 to 128 x 64\n");
    texture.freeTexture();
}

TEST_F(TextureGL, SidesAboveTheMaximumComeDownToIt)
{
    engine_.maxTextureSize = 512;
    writeSolidPPM("long.ppm", 1024, 16, {1, 1, 1});
    STexture texture("long.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), 512);
    EXPECT_EQ(level(texture, GL_TEXTURE_HEIGHT), 16);
    EXPECT_EQ(log(), "resizing long.ppm from 1024 x 16 to 512 x 16\n");
    texture.freeTexture();

    // A maximum that is no power of two gives that side as it is.
    engine_.maxTextureSize = 100;
    writeSolidPPM("big.ppm", 300, 20, {1, 1, 1});
    STexture limited("big.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    EXPECT_EQ(level(limited, GL_TEXTURE_WIDTH), 100);
    EXPECT_EQ(level(limited, GL_TEXTURE_HEIGHT), 32);
    limited.freeTexture();

    // 0 means no limit of the engine's own: GL's.
    engine_.maxTextureSize = 0;
    writeSolidPPM("wide.ppm", 600, 4, {1, 1, 1});
    STexture wide("wide.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    EXPECT_EQ(level(wide, GL_TEXTURE_WIDTH), 1024);
    wide.freeTexture();
}

TEST_F(TextureGL, FactorRoundingDoesNotLoseAPixel)
{
    writeSolidPPM("n49.ppm", 49, 49, {5, 5, 5});
    STexture texture("n49.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), 64);
    EXPECT_EQ(level(texture, GL_TEXTURE_HEIGHT), 64);
    EXPECT_EQ(log(), "resizing n49.ppm from 49 x 49 to 64 x 64\n");
    texture.freeTexture();
}

TEST_F(TextureGL, LogLinesAreAppendedPerTexture)
{
    writeSolidPPM("a.ppm", 4, 4, {1, 1, 1});
    writeSolidPPM("b.ppm", 3, 5, {1, 1, 1});
    STexture a("a.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    STexture b("b.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    EXPECT_EQ(log(), "uploading a.ppm  4 x 4 \nresizing b.ppm from 3 x 5 to 4 x 8\n");
    a.freeTexture();
    b.freeTexture();
}

TEST_F(TextureGL, MissingImageBecomesThePlaceholder)
{
    testing::internal::CaptureStdout();
    STexture texture("missing.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("missing.ppm"), std::string::npos);
    ASSERT_NE(texture.id, 0u);
    EXPECT_EQ(texture.imageWidth, 8);
    EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), 8);
    const auto pixels = texels(texture);
    EXPECT_EQ(pixels[0], 0);        // black, then magenta
    EXPECT_EQ(pixels[4], 255);
    EXPECT_EQ(pixels[5], 0);
    EXPECT_EQ(pixels[6], 255);
    EXPECT_EQ(log(), "uploading missing.ppm  8 x 8 \n");
    texture.freeTexture();
}

TEST_F(TextureGL, OtherFileTypesMakeNoTexture)
{
    writeSolidPPM("picture.bmp", 4, 4, {1, 1, 1});
    STexture texture("picture.bmp", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    EXPECT_EQ(texture.id, 0u);
    EXPECT_STREQ(texture.name, "picture.bmp");
    EXPECT_EQ(log(), "");
}

TEST_F(TextureGL, TooWideToResampleIsRefusedWithAWarning)
{
    engine_.maxTextureSize = 0;
    writeSolidPPM("huge.ppm", 16384, 1, {1, 2, 3});
    testing::internal::CaptureStdout();
    STexture texture("huge.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Warnung!!! Textur huge.ppm ist zu gro\xdf zum Skalieren (16384 x 1 Pixel)!\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(texture.imageWidth, 8);
    EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), 8);
    EXPECT_EQ(log(), "uploading huge.ppm  8 x 8 \n");
    texture.freeTexture();
}

TEST_F(TextureGL, RecreatingReplacesTheGLObjectAndFreeDeletesIt)
{
    writeSolidPPM("first.ppm", 4, 4, {1, 1, 1});
    writeSolidPPM("second.ppm", 16, 8, {2, 2, 2});
    STexture texture("first.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    const GLuint first = texture.id;
    texture.createTexture("second.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    EXPECT_TRUE(texture.id == first || glIsTexture(first) == GL_FALSE) << "old GL texture leaked";
    EXPECT_STREQ(texture.name, "second.ppm");
    EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), 16);
    EXPECT_EQ(texture.getGLTexture(), texture.id);

    const GLuint second = texture.id;
    texture.freeTexture();
    EXPECT_EQ(texture.id, 0u);
    EXPECT_EQ(glIsTexture(second), GL_FALSE);
    texture.freeTexture();    // twice is harmless
}

}  // namespace
