// Texture objects: power-of-two sizes, colour keying, the 16.16 resampler
// (expected values worked out by hand from the step tables), and textures
// uploaded to a real GL context, read back with glGetTexLevelParameteriv.

#include <climits>
#include <cmath>
#include <memory>

#include "image/texture.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

using Values = std::vector<int>;

// A bitmap with one value per pixel in every colour channel (alpha 255 at depth 32).
std::unique_ptr<CBitmap> greyBitmap(int w, int h, int depth, const Values& values)
{
    auto bitmap = std::make_unique<CBitmap>();
    bitmap->width = w;
    bitmap->height = h;
    bitmap->depth = depth;
    bitmap->pixels = new uint8_t[values.size() * (depth / 8)];
    for (size_t i = 0; i < values.size() * (depth / 8); i++) {
        bitmap->pixels[i] = static_cast<uint8_t>(i % 4 == 3 && depth == 32 ? 255 : values[i / (depth / 8)]);
    }
    return bitmap;
}

// Channel c of every pixel of a bitmap, row by row.
Values channel(const CBitmap& bitmap, int c)
{
    Values out;
    for (int i = 0; i < bitmap.width * bitmap.height; i++) {
        out.push_back(bitmap.pixels[i * (bitmap.depth / 8) + c]);
    }
    return out;
}

// The sizes in between are read back from GL in TextureGL below.
TEST(TextureSize, NextPowerOfTwoAtItsEdges)
{
    EXPECT_EQ(getNextOGLSize(-7), 4);
    EXPECT_EQ(getNextOGLSize(1), 4);
    EXPECT_EQ(getNextOGLSize(INT_MAX), 1 << 30) << "no overflow into a negative size";
}

// Each case: a grey source, zoomed by factors, and the expected size and
// values of every colour channel.  Zooming to a size is seen in TextureGL.
TEST(TextureZoom, ResampledValues)
{
    const struct { const char* why; int w, h, depth; Values in; double fx, fy; int smooth, outW, outH; Values out;
                    } cases[] = {
        // ((0 - 255) * ex) >> 16 rounds towards minus infinity: -63.75 -> -64.
        {"smooth falling", 2, 1, 24, {255, 0}, 2, 1, 1, 4, 1, {255, 191, 127, 63}},
        // TL 0, TR 100, BL 200, BR 40: t1 = 25x, t2 = 200 - 40x, t1 + floor((t2 - t1) * y / 4).
        {"smooth bilinear", 2, 2, 24, {0, 100, 200, 40}, 2, 2, 1, 4, 4,
         {0, 25, 50, 75, 50, 58, 67, 76, 100, 92, 85, 77, 150, 126, 102, 78}},
        // No right or lower neighbour: the edge pixel stands in, nothing past it is read.
        {"smooth one wide", 1, 2, 32, {0, 200}, 1, 2, 1, 1, 4, {0, 50, 100, 150}},
        // sx = 43690: the table advances 0, 1, 0 pixels, taking pixels 0, 0, 1.
        {"nearest up", 2, 1, 24, {10, 40}, 1.5, 1, 0, 3, 1, {10, 10, 40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto src = greyBitmap(c.w, c.h, c.depth, c.in);
        std::unique_ptr<CBitmap> dst(zoomBitmap(src.get(), c.fx, c.fy, c.smooth));
        ASSERT_NE(dst, nullptr);
        EXPECT_EQ(dst->width, c.outW);
        EXPECT_EQ(dst->height, c.outH);
        EXPECT_EQ(dst->depth, c.depth);
        for (int ch = 0; ch < c.depth / 8; ch++) {
            EXPECT_EQ(channel(*dst, ch), ch == 3 ? Values(c.out.size(), 255) : c.out) << "channel " << ch;
        }
    }
}

TEST(TextureZoom, RefusesWhatItCannotResample)
{
    auto src = greyBitmap(2, 2, 24, {1, 2, 3, 4});
    EXPECT_EQ(zoomBitmapToSize(nullptr, 4, 4, 1), nullptr);
    EXPECT_EQ(zoomBitmapToSize(src.get(), 0, 4, 1), nullptr);
    src->depth = 16;
    EXPECT_EQ(zoomBitmapToSize(src.get(), 4, 4, 1), nullptr);

    // The source pitch is a 16-bit quantity: rows of 65536 bytes or more are refused.
    const struct { int width, depth; bool ok; } rows[] = {{16383, 32, true}, {16384, 32, false}, {21846, 24, false}};
    for (const auto& r : rows) {
        auto wide = greyBitmap(r.width, 1, r.depth, Values(r.width, 3));
        std::unique_ptr<CBitmap> dst(zoomBitmapToSize(wide.get(), r.width / 4, 1, r.depth == 32));
        EXPECT_EQ(dst != nullptr, r.ok) << r.width << " x " << r.depth;
    }

    // The workers refuse a destination of another depth and leave it alone.
    auto rgba = greyBitmap(2, 2, 32, {1, 2, 3, 4});
    auto rgb = greyBitmap(4, 4, 24, Values(16, 0));
    EXPECT_EQ(zoomBitmapRGBA(rgba.get(), rgb.get(), 1), -1);
    EXPECT_EQ(zoomBitmapRGB(rgba.get(), rgb.get(), 1), -1);
    EXPECT_EQ(channel(*rgb, 0), Values(16, 0));
}

// ---------------------------------------------------------------- GL textures

class TextureGL : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        textureSetMaxSize(256);
    }
    void TearDown() override
    {
        textureSetMaxSize(0);
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
        std::vector<uint8_t> out(static_cast<size_t>(level(texture, GL_TEXTURE_WIDTH)) *
                                 level(texture, GL_TEXTURE_HEIGHT) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }

    WorkDir dir_;
};

// Uploaded sizes read back from GL, and one log line per texture, appended.
TEST_F(TextureGL, SidesBecomePowersOfTwoUpToTheMaximum)
{
    // resized null: uploaded as it is.
    const struct { int w, h, maximum, glW, glH; const char* resized; } cases[] = {
        {64, 64, 256, 64, 64, nullptr}, {100, 50, 256, 128, 64, "from 100 x 50 to 128 x 64"},
        {49, 49, 256, 64, 64, "from 49 x 49 to 64 x 64"},   // the factor would fall a pixel short
        {300, 20, 100, 100, 32, "from 300 x 20 to 100 x 32"},  // a maximum that is no power of two
        {600, 4, 0, 1024, 4, "from 600 x 4 to 1024 x 4"},      // 0: GL's own limit
    };
    std::string log;
    for (const auto& c : cases) {
        const std::string file = std::to_string(c.w) + "x" + std::to_string(c.h) + ".PPM";   // any case
        SCOPED_TRACE(file);
        textureSetMaxSize(c.maximum);
        writeSolidPPM(file, c.w, c.h, {90, 80, 70});
        STexture texture(file.c_str(), GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
        EXPECT_EQ(texture.imageWidth, c.w);
        EXPECT_EQ(texture.imageHeight, c.h);
        EXPECT_EQ(texture.width, static_cast<float>(c.glW));
        EXPECT_EQ(texture.height, static_cast<float>(c.glH));
        EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), c.glW);
        EXPECT_EQ(level(texture, GL_TEXTURE_HEIGHT), c.glH);
        EXPECT_FALSE(hasAlpha(texture));  // key colour absent: 3 components
        const auto pixels = texels(texture);
        EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 3), (std::vector<uint8_t>{90, 80, 70}));
        log += c.resized ? "resizing " + file + " " + c.resized + "\n"
                         : "uploading " + file + "  " + std::to_string(c.w) + " x " + std::to_string(c.h) + " \n";
        texture.freeTexture();
    }
    EXPECT_EQ(readBytes(kTextureLogFile), log);
}

TEST_F(TextureGL, AlphaFromTheKeyColourWhenAskedAndPresentAndFromEveryTga)
{
    writePPM("keyed.ppm", 4, 4, [](int x, int) { return x == 0 ? Rgb{0, 0, 0} : Rgb{200, 100, 50}; });
    writeSolidTGA("glass.tga", 8, 4, {1, 2, 3}, 77);
    // firstTwo: the RGBA of texels (0, 0) and (1, 0).
    const struct { const char* file; bool alphaKey; int keyR, keyG, keyB; bool alpha; std::vector<uint8_t> firstTwo;
                    } cases[] = {
        {"keyed.ppm", true, 0, 0, 0, true, {0, 0, 0, 0, 200, 100, 50, 255}},
        {"keyed.ppm", true, 200, 100, 50, true, {0, 0, 0, 255, 200, 100, 50, 0}},
        {"glass.tga", false, 0, 0, 0, true, {1, 2, 3, 77, 1, 2, 3, 77}},
        {"glass.tga", true, 1, 2, 3, true, {1, 2, 3, 77, 1, 2, 3, 77}},  // no keying of 32-bit pixels
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " key " << c.alphaKey << " " << c.keyR);
        STexture texture(c.file, GL_LINEAR, GL_LINEAR, c.alphaKey, c.keyR, c.keyG, c.keyB);
        EXPECT_EQ(hasAlpha(texture), c.alpha);
        const auto pixels = texels(texture);
        EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 8), c.firstTwo);
        texture.freeTexture();
    }
}

TEST_F(TextureGL, BrokenOrTooWideImagesBecomeThePlaceholderOtherTypesNoTexture)
{
    textureSetMaxSize(0);
    writeSolidPPM("huge.ppm", 16384, 1, {1, 2, 3});
    writeSolidPPM("picture.bmp", 4, 4, {1, 1, 1});
    testing::internal::CaptureStdout();
    STexture missing("missing.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    STexture huge("huge.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    STexture other("picture.bmp", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("missing.ppm"), std::string::npos);
    EXPECT_NE(out.find("Warnung!!! Textur huge.ppm ist zu groß zum Skalieren (16384 x 1 Pixel)!\n"), std::string::npos)
        << out;
    for (const STexture* texture : {&missing, &huge}) {
        SCOPED_TRACE(texture->name);
        EXPECT_EQ(texture->imageWidth, 8);
        EXPECT_EQ(level(*texture, GL_TEXTURE_WIDTH), 8);
        const auto pixels = texels(*texture);
        EXPECT_EQ(std::vector<uint8_t>(pixels.begin(), pixels.begin() + 8),
                  (std::vector<uint8_t>{0, 0, 0, 255, 255, 0, 255, 255}));  // black, then magenta
    }
    EXPECT_EQ(other.id, 0u);
    EXPECT_STREQ(other.name, "picture.bmp");
    EXPECT_EQ(readBytes(kTextureLogFile), "uploading missing.ppm  8 x 8 \nuploading huge.ppm  8 x 8 \n");
    missing.freeTexture();
    huge.freeTexture();
}

TEST_F(TextureGL, RecreatingReplacesTheGLObjectAndFreeDeletesIt)
{
    writeSolidPPM("first.ppm", 4, 4, {1, 1, 1});
    writeSolidPPM("second.ppm", 16, 8, {2, 2, 2});
    STexture texture("first.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    const GLuint first = texture.id;
    texture.createTexture("second.ppm", GL_LINEAR, GL_NEAREST, false, 0, 0, 0);
    EXPECT_TRUE(texture.id == first || glIsTexture(first) == GL_FALSE) << "old GL texture leaked";
    EXPECT_STREQ(texture.name, "second.ppm");
    EXPECT_EQ(level(texture, GL_TEXTURE_WIDTH), 16);
    GLint mag = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    EXPECT_EQ(mag, GL_NEAREST);
    texture.createTexture(texture.name, GL_LINEAR, GL_LINEAR, false, 0, 0, 0);   // from its own name
    EXPECT_STREQ(texture.name, "second.ppm");

    const GLuint second = texture.id;
    texture.freeTexture();
    EXPECT_EQ(texture.id, 0u);
    EXPECT_EQ(glIsTexture(second), GL_FALSE);
    texture.freeTexture();  // twice is harmless
}

}  // namespace
