// Tests of the screenshot writer on a real (offscreen) GL context: the
// frame buffer is filled with known colours by scissored clears and read
// back through the PPM the writer stores.

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <filesystem>
#include <memory>
#include <string>

#include "image/imageio.h"
#include "tests/engine/gl_fixture.h"
#include "texture_test_files.h"

namespace {

struct Colour {
    uint8_t r, g, b;
    bool operator==(const Colour&) const = default;
};

constexpr Colour kGreen{0, 255, 0};
constexpr Colour kRed{255, 0, 0};
constexpr Colour kBlue{0, 0, 255};

// Saves and restores the GL state the tests change; works in a scratch dir.
class ImageScreenshot : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureGLContext());
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        // Whole buffer green; a red block 4 x 2 at the bottom-left and a blue
        // block 3 x 3 at the top-left corner (GL counts rows from the bottom).
        Fill(kGreen, 0, 0, kTestGLWidth, kTestGLHeight);
        Fill(kRed, 0, 0, 4, 2);
        Fill(kBlue, 0, kTestGLHeight - 3, 3, 3);
    }
    void TearDown() override {
        glPopClientAttrib();
        glPopAttrib();
    }
    static void Fill(Colour c, int x, int y, int w, int h) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, y, w, h);
        glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }
    static std::unique_ptr<CBitmap> Load(const char* path) {
        testing::internal::CaptureStdout();
        std::unique_ptr<CBitmap> b(LoadPPM(path));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        return b;
    }
    static Colour At(const CBitmap& b, int x, int row) {
        const uint8_t* p = b.pixels + (static_cast<size_t>(row) * b.width + x) * 3;
        return {p[0], p[1], p[2]};
    }

    texture_test::ScopedWorkDir dir_;
};

TEST_F(ImageScreenshot, WholeFrameIsStoredTopRowFirst) {
    KRTWriteShotPPM(0, 0, kTestGLWidth, kTestGLHeight, "Screenshot.ppm");
    const std::string bytes = texture_test::readBytes("Screenshot.ppm");
    const std::string header = "P6\n320 240\n255\n";
    ASSERT_EQ(bytes.size(), header.size() + 320u * 240u * 3u);
    EXPECT_EQ(bytes.substr(0, header.size()), header);

    const std::unique_ptr<CBitmap> b = Load("Screenshot.ppm");
    ASSERT_EQ(b->width, kTestGLWidth);
    ASSERT_EQ(b->height, kTestGLHeight);
    const int last = kTestGLHeight - 1;
    const struct {
        int x, row;
        Colour colour;
    } probes[] = {
        {0, 0, kBlue},     {2, 2, kBlue},        {3, 0, kGreen}, {0, 3, kGreen},                  // top-left
        {0, last, kRed},   {3, last - 1, kRed},  {4, last, kGreen}, {0, last - 2, kGreen},        // bottom-left
        {kTestGLWidth - 1, last, kGreen},
    };
    for (const auto& p : probes) {
        EXPECT_EQ(At(*b, p.x, p.row), p.colour) << p.x << "," << p.row;
    }
}

// The rectangle is counted from the bottom-left, and odd row lengths come
// out unpadded whatever pack alignment the caller had set (and kept).
TEST_F(ImageScreenshot, RectangleIsMeasuredFromTheBottomLeft) {
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    KRTWriteShotPPM(2, 1, 3, 2, "part.ppm");  // GL columns 2..4, rows 1..2: 9-byte rows
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);

    const std::unique_ptr<CBitmap> b = Load("part.ppm");
    ASSERT_EQ(b->width, 3);
    ASSERT_EQ(b->height, 2);
    // GL row 2 is all green; in GL row 1 column 4 lies outside the red block.
    const Colour expected[2][3] = {{kGreen, kGreen, kGreen}, {kRed, kRed, kGreen}};
    for (int row = 0; row < 2; ++row) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(At(*b, x, row), expected[row][x]) << x << "," << row;
        }
    }
}

TEST_F(ImageScreenshot, BadRectanglesAndPathsWriteNothingAndDirectoriesIgnoreCase) {
    KRTWriteShotPPM(0, 0, 0, 10, "zero.ppm");
    KRTWriteShotPPM(0, 0, 10, -1, "negative.ppm");
    KRTWriteShotPPM(0, 0, kMaxImageSide + 1, 1, "huge.ppm");
    KRTWriteShotPPM(0, 0, 4, 4, "SCRSHT/Screenshot0000.ppm");
    KRTWriteShotPPM(0, 0, 4, 4, nullptr);
    EXPECT_TRUE(std::filesystem::is_empty("."));

    std::filesystem::create_directory("scrsht");
    KRTWriteShotPPM(0, 0, 4, 4, "SCRSHT/Screenshot0001.ppm");
    EXPECT_TRUE(std::filesystem::exists("scrsht/Screenshot0001.ppm"));
}

}  // namespace
