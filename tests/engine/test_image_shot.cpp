// Tests of the screenshot writer on a real (offscreen) GL context: the
// frame buffer is filled with known colours by scissored clears and read
// back through the PPM the writer stores.

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "image/imageio.h"
#include "tests/engine/gl_fixture.h"

namespace {

struct Colour {
    uint8_t r, g, b;
    bool operator==(const Colour&) const = default;
};

constexpr Colour kGreen{0, 255, 0};
constexpr Colour kRed{255, 0, 0};
constexpr Colour kBlue{0, 0, 255};

// Saves and restores the GL state the tests change.
class ImageScreenshot : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensureGLContext());
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear_);
        glGetIntegerv(GL_SCISSOR_BOX, scissor_);
        scissorOn_ = glIsEnabled(GL_SCISSOR_TEST);
        char templ[] = "/tmp/vext_image_shot_XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        glClearColor(clear_[0], clear_[1], clear_[2], clear_[3]);
        glScissor(scissor_[0], scissor_[1], scissor_[2], scissor_[3]);
        if (scissorOn_) {
            glEnable(GL_SCISSOR_TEST);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Whole buffer green; a red block 4 x 2 at the bottom-left and a blue
    // block 3 x 3 at the top-left corner (GL counts rows from the bottom).
    void PaintKnownFrame() {
        glDisable(GL_SCISSOR_TEST);
        Fill(kGreen);
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 4, 2);
        Fill(kRed);
        glScissor(0, kTestGLHeight - 3, 3, 3);
        Fill(kBlue);
        glDisable(GL_SCISSOR_TEST);
    }
    static void Fill(Colour c) {
        glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    std::vector<uint8_t> ReadFile(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::unique_ptr<CBitmap> Load(const std::string& path) const {
        testing::internal::CaptureStdout();
        std::unique_ptr<CBitmap> b(LoadPPM(path.c_str()));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        return b;
    }

    static Colour At(const CBitmap& b, int x, int row) {
        const uint8_t* p = b.pixels + (static_cast<size_t>(row) * b.width + x) * 3;
        return {p[0], p[1], p[2]};
    }

    std::string dir_;
    GLfloat clear_[4] = {};
    GLint scissor_[4] = {};
    GLboolean scissorOn_ = GL_FALSE;
};

TEST_F(ImageScreenshot, WholeFrameIsStoredTopRowFirst) {
    PaintKnownFrame();
    const std::string path = Path("Screenshot.ppm");
    KRTWriteShotPPM(0, 0, kTestGLWidth, kTestGLHeight, path.c_str());

    const std::string header = "P6\n320 240\n255\n";
    const std::vector<uint8_t> bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), header.size() + 320u * 240u * 3u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(header.size())), header);

    const std::unique_ptr<CBitmap> b = Load(path);
    ASSERT_EQ(b->width, kTestGLWidth);
    ASSERT_EQ(b->height, kTestGLHeight);
    const int last = kTestGLHeight - 1;
    EXPECT_EQ(At(*b, 0, 0), kBlue);       // top-left of the screen
    EXPECT_EQ(At(*b, 2, 2), kBlue);
    EXPECT_EQ(At(*b, 3, 0), kGreen);
    EXPECT_EQ(At(*b, 0, 3), kGreen);
    EXPECT_EQ(At(*b, 0, last), kRed);     // bottom-left of the screen
    EXPECT_EQ(At(*b, 3, last - 1), kRed);
    EXPECT_EQ(At(*b, 4, last), kGreen);
    EXPECT_EQ(At(*b, 0, last - 2), kGreen);
    EXPECT_EQ(At(*b, kTestGLWidth - 1, last), kGreen);
}

// The rectangle is counted from the bottom-left, and odd row lengths come
// out unpadded whatever pack alignment the caller had set (and kept).
TEST_F(ImageScreenshot, RectangleIsMeasuredFromTheBottomLeft) {
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    PaintKnownFrame();
    const std::string path = Path("part.ppm");
    KRTWriteShotPPM(2, 1, 3, 2, path.c_str());  // GL columns 2..4, rows 1..2: 9-byte rows
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    EXPECT_EQ(alignment, 8);

    const std::unique_ptr<CBitmap> b = Load(path);
    ASSERT_EQ(b->width, 3);
    ASSERT_EQ(b->height, 2);
    EXPECT_EQ(At(*b, 0, 0), kGreen);  // GL row 2
    EXPECT_EQ(At(*b, 2, 0), kGreen);
    EXPECT_EQ(At(*b, 0, 1), kRed);    // GL row 1
    EXPECT_EQ(At(*b, 1, 1), kRed);
    EXPECT_EQ(At(*b, 2, 1), kGreen);  // GL column 4 is outside the red block
}

TEST_F(ImageScreenshot, BadRectanglesAndPathsWriteNothing) {
    PaintKnownFrame();
    KRTWriteShotPPM(0, 0, 0, 10, Path("zero.ppm").c_str());
    KRTWriteShotPPM(0, 0, 10, -1, Path("negative.ppm").c_str());
    KRTWriteShotPPM(0, 0, kMaxImageSide + 1, 1, Path("huge.ppm").c_str());
    KRTWriteShotPPM(0, 0, 4, 4, Path("SCRSHT/Screenshot0000.ppm").c_str());
    KRTWriteShotPPM(0, 0, 4, 4, nullptr);
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(ImageScreenshot, DirectoryNameIsMatchedWithoutRegardToCase) {
    PaintKnownFrame();
    std::filesystem::create_directory(Path("scrsht"));
    KRTWriteShotPPM(0, 0, 4, 4, Path("SCRSHT/Screenshot0001.ppm").c_str());
    EXPECT_TRUE(std::filesystem::exists(Path("scrsht/Screenshot0001.ppm")));
}

}  // namespace
