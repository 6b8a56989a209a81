// The display layer on SDL's offscreen driver (a real llvmpipe GL context),
// and the TCP/IP stack test.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "platform/display.h"
#include "platform/net.h"

namespace {

constexpr int kWidth = 64;    // pixels
constexpr int kHeight = 48;   // pixels

// The centre pixel of the back buffer (the default read buffer) as 0xRRGGBB.
unsigned readCentre()
{
    unsigned char p[4] = {};
    glReadPixels(kWidth / 2, kHeight / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return p[0] << 16 | p[1] << 8 | p[2];
}

unsigned clearTo(float r, float g, float b)
{
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return readCentre();
}

// Draws a full-screen quad of one colour at depth z (normalised device
// coordinates, -1 near .. 1 far) in immediate mode; the matrices are those
// of a fresh context.
void drawQuad(float z, float r, float g, float b)
{
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, z);
    glVertex3f(1.0f, -1.0f, z);
    glVertex3f(1.0f, 1.0f, z);
    glVertex3f(-1.0f, 1.0f, z);
    glEnd();
}

GLint glInt(GLenum what)
{
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(platformHeadless()) << "run with SDL_VIDEODRIVER=offscreen";
        ASSERT_NE(MGLInit(), 0) << mglGetLastError();
        EXPECT_NE(platformHeadless(), 0) << "once video is up, the running driver is asked";
        mglChoosePixelDepth(32);
    }
    void TearDown() override
    {
        mglTestRefuseDepthBits(0);
        MGLTerm();
        EXPECT_EQ(mglGetWindowHandle(), nullptr) << "MGLTerm releases the context";
    }
};

TEST_F(Display, ContextDrawsAndReadsBackAndIsReplacedAndDeleted)
{
    ASSERT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr) << mglGetLastError();
    EXPECT_STREQ(mglGetLastError(), "");
    EXPECT_GE(glInt(GL_DEPTH_BITS), 24);
    clearTo(0.0f, 0.0f, 0.0f);
    drawQuad(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(readCentre(), 0x0000ffu) << "the compatibility profile draws immediate mode";
    EXPECT_EQ(clearTo(1.0f, 0.0f, 0.0f), 0xff0000u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // Creating over an open context replaces it; 16-bit colour draws too.
    mglChoosePixelDepth(16);
    ASSERT_NE(mglCreateContext(0, 0, kWidth * 2, kHeight * 2), nullptr) << mglGetLastError();
    int w = 0, h = 0;
    mglGetDrawableSize(&w, &h);
    EXPECT_EQ(w, kWidth * 2);
    EXPECT_EQ(h, kHeight * 2);
    EXPECT_EQ(clearTo(1.0f, 1.0f, 1.0f), 0xffffffu);

    mglDeleteContext();
    EXPECT_EQ(mglGetWindowHandle(), nullptr);
    mglGetDrawableSize(&w, &h);
    EXPECT_EQ(w, 0);
    mglDeleteContext();   // twice: nothing
}

TEST_F(Display, DepthBufferFallsBackTo16BitsAndFailuresLeaveNothing)
{
    mglTestRefuseDepthBits(24);
    ASSERT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr) << mglGetLastError();
    EXPECT_EQ(glInt(GL_DEPTH_BITS), 16) << "the offscreen driver gives what is asked for";
    // The depth buffer works: a far quad drawn after a near one stays hidden.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    clearTo(0.0f, 0.0f, 0.0f);
    drawQuad(-0.5f, 0.0f, 1.0f, 0.0f);
    drawQuad(0.5f, 1.0f, 0.0f, 0.0f);
    EXPECT_EQ(readCentre(), 0x00ff00u);
    glDisable(GL_DEPTH_TEST);

    // No depth buffer at all, or a bad size: no window is left, and why is said.
    const int requests[][3] = {{16, kWidth, kHeight}, {0, 0, kHeight}, {0, kWidth, -1}};   // refused bits, size
    for (const auto& r : requests) {
        mglTestRefuseDepthBits(r[0]);
        EXPECT_EQ(mglCreateContext(0, 0, r[1], r[2]), nullptr) << r[1] << " x " << r[2];
        EXPECT_EQ(mglGetWindowHandle(), nullptr);
        EXPECT_STRNE(mglGetLastError(), "");
    }
    EXPECT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr) << "the next good request works";
}

TEST(DisplayLifecycle, InitsNestAndCreateNeedsOne)
{
    MGLTerm();   // without init: harmless
    EXPECT_EQ(mglCreateContext(0, 0, kWidth, kHeight), nullptr);
    EXPECT_STRNE(mglGetLastError(), "");
    // Two inits need two terms; the context lives until the last.
    ASSERT_NE(MGLInit(), 0);
    ASSERT_NE(MGLInit(), 0);
    ASSERT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr);
    MGLTerm();
    EXPECT_NE(mglGetWindowHandle(), nullptr);
    MGLTerm();
    EXPECT_EQ(mglGetWindowHandle(), nullptr);
}

TEST(Net, TcpStackIsPresent)
{
    // Creating an unconnected IPv4 socket needs no network, only the stack.
    EXPECT_EQ(platformTcpStackPresent(), 1);
}

}  // namespace
