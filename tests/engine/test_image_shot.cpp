// The screenshot writer on the offscreen GL context: the frame buffer is
// filled with known colours by scissored clears and read back through the
// PPM the writer stores.  Whole-window shots of a running engine (top row
// first, the frame-rate text top-left) are checked by tests/e2e/fly.sh.

#include <memory>

#include "image/imageio.h"
#include "support/gl_frame.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

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

    std::filesystem::create_directory("scrsht");
    KRTWriteShotPPM(0, 0, 4, 4, "SCRSHT/Screenshot0001.ppm");
    EXPECT_TRUE(std::filesystem::exists("scrsht/Screenshot0001.ppm"));
}

}  // namespace
