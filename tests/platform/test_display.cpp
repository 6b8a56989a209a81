// The display layer on SDL's offscreen driver (a real llvmpipe GL context),
// and the TCP/IP stack test.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "platform/display.h"
#include "platform/net.h"

namespace {

constexpr int kWidth = 64;    // pixels
constexpr int kHeight = 48;   // pixels

struct Pixel {
    unsigned char r, g, b, a;
};

Pixel readCentre()
{
    Pixel p{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(kWidth / 2, kHeight / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
    return p;
}

Pixel clearTo(float r, float g, float b)
{
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return readCentre();
}

// Draws a full-screen quad of one colour at depth z (normalised device
// coordinates, -1 near .. 1 far).
void drawQuad(float z, float r, float g, float b)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    glVertex3f(-1.0f, -1.0f, z);
    glVertex3f(1.0f, -1.0f, z);
    glVertex3f(1.0f, 1.0f, z);
    glVertex3f(-1.0f, 1.0f, z);
    glEnd();
}

class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(platformHeadless()) << "run with SDL_VIDEODRIVER=offscreen";
        ASSERT_NE(MGLInit(), 0) << mglGetLastError();
        mglChooseNumberOfBuffers(3);
        mglChooseWindowMode(true);
        mglChoosePixelDepth(32);
        mglChooseVertexBufferSize(67000);
    }
    void TearDown() override
    {
        mglTestRefuseDepthBits(0);
        MGLTerm();
        EXPECT_EQ(mglGetWindowHandle(), nullptr) << "MGLTerm releases the context";
    }
};

TEST_F(Display, ContextClearsAndReadsBack)
{
    void* ctx = mglCreateContext(0, 0, kWidth, kHeight);
    ASSERT_NE(ctx, nullptr) << mglGetLastError();
    EXPECT_STREQ(mglGetLastError(), "");
    EXPECT_NE(mglGetWindowHandle(), nullptr);
    int w = 0, h = 0;
    mglGetDrawableSize(&w, &h);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    EXPECT_NE(mglGetChipId(), MGL_CHIP_OLD);

    GLint depthBits = 0, redBits = 0, alphaBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_RED_BITS, &redBits);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    EXPECT_GE(depthBits, 24);
    EXPECT_EQ(redBits, 8);
    EXPECT_EQ(alphaBits, 8);

    // The compatibility profile: immediate mode draws.
    mglLockMode(MGL_LOCK_SMART);
    mglEnableSync(false);
    mglLockDisplay();
    clearTo(0.0f, 0.0f, 0.0f);
    drawQuad(0.0f, 0.0f, 0.0f, 1.0f);
    const Pixel quad = readCentre();
    EXPECT_EQ(quad.b, 255);
    EXPECT_EQ(quad.r, 0);
    const Pixel red = clearTo(1.0f, 0.0f, 0.0f);
    mglUnlockDisplay();
    EXPECT_EQ(red.r, 255);
    EXPECT_EQ(red.g, 0);
    EXPECT_EQ(red.b, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    mglSwitchDisplay();
    mglActivateWindow();

    mglDeleteContext();
    EXPECT_EQ(mglGetWindowHandle(), nullptr);
    mglGetDrawableSize(&w, &h);
    EXPECT_EQ(w, 0);
    mglDeleteContext();   // twice: nothing
}

TEST_F(Display, DepthBufferFallsBackTo16Bits)
{
    mglTestRefuseDepthBits(24);
    ASSERT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr) << mglGetLastError();
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 16) << "the offscreen driver gives what is asked for";
    // The depth buffer works: a far quad drawn after a near one stays hidden.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    clearTo(0.0f, 0.0f, 0.0f);
    drawQuad(-0.5f, 0.0f, 1.0f, 0.0f);
    drawQuad(0.5f, 1.0f, 0.0f, 0.0f);
    const Pixel p = readCentre();
    glDisable(GL_DEPTH_TEST);
    EXPECT_EQ(p.g, 255);
    EXPECT_EQ(p.r, 0);
}

TEST_F(Display, NoDepthBufferAtAllFailsCleanly)
{
    mglTestRefuseDepthBits(16);
    EXPECT_EQ(mglCreateContext(0, 0, kWidth, kHeight), nullptr);
    EXPECT_EQ(mglGetWindowHandle(), nullptr) << "a failed attempt leaves no window";
    EXPECT_NE(std::strlen(mglGetLastError()), 0u);
    // The next attempt without the refusal works.
    mglTestRefuseDepthBits(0);
    EXPECT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr) << mglGetLastError();
}

TEST_F(Display, DeleteAndCreateAgain)
{
    for (int round = 0; round < 3; ++round) {
        ASSERT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr) << mglGetLastError();
        const float g = round == 1 ? 1.0f : 0.0f;
        const Pixel p = clearTo(0.0f, g, 1.0f);
        EXPECT_EQ(p.g, round == 1 ? 255 : 0) << "round " << round;
        EXPECT_EQ(p.b, 255) << "round " << round;
        mglDeleteContext();
    }
    // Creating over an open context replaces it.
    ASSERT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr);
    ASSERT_NE(mglCreateContext(0, 0, kWidth * 2, kHeight * 2), nullptr);
    EXPECT_NE(mglGetWindowHandle(), nullptr);
    int w = 0, h = 0;
    mglGetDrawableSize(&w, &h);
    EXPECT_EQ(w, kWidth * 2);
    EXPECT_EQ(h, kHeight * 2);
}

TEST_F(Display, PixelDepthsGiveTheirColourFormats)
{
    struct Case {
        int depth;
        GLint red, green, alpha;
    };
    for (const Case c : {Case{32, 8, 8, 8}, Case{24, 8, 8, 0}, Case{16, 5, 6, 0}}) {
        mglChoosePixelDepth(c.depth);
        if (mglCreateContext(0, 0, kWidth, kHeight) == nullptr) {
            // A driver without this format refuses; the engine then tries
            // the next depth.  It must still leave nothing behind.
            EXPECT_EQ(mglGetWindowHandle(), nullptr) << c.depth;
            EXPECT_NE(c.depth, 32) << "the offscreen driver has RGBA8888: " << mglGetLastError();
            continue;
        }
        GLint red = 0, green = 0, alpha = 0;
        glGetIntegerv(GL_RED_BITS, &red);
        glGetIntegerv(GL_GREEN_BITS, &green);
        glGetIntegerv(GL_ALPHA_BITS, &alpha);
        EXPECT_GE(red, c.red) << c.depth;
        EXPECT_GE(green, c.green) << c.depth;
        EXPECT_GE(alpha, c.alpha) << c.depth;
        const Pixel p = clearTo(1.0f, 1.0f, 1.0f);
        EXPECT_EQ(p.r, 255) << c.depth;
        mglDeleteContext();
    }
}

TEST_F(Display, FullScreenOffscreenIsAWindowOfTheSize)
{
    mglChooseWindowMode(false);
    ASSERT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr) << mglGetLastError();
    int w = 0, h = 0;
    mglGetDrawableSize(&w, &h);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
}

TEST_F(Display, BadRequestsGiveNull)
{
    EXPECT_EQ(mglCreateContext(0, 0, 0, kHeight), nullptr);
    EXPECT_EQ(mglCreateContext(0, 0, kWidth, -1), nullptr);
    EXPECT_EQ(mglGetWindowHandle(), nullptr);
    EXPECT_NE(std::strlen(mglGetLastError()), 0u);
}

TEST(DisplayLifecycle, CreateWithoutInitFailsAndTermWithoutInitIsHarmless)
{
    MGLTerm();
    EXPECT_EQ(mglCreateContext(0, 0, kWidth, kHeight), nullptr);
    EXPECT_NE(std::strlen(mglGetLastError()), 0u);
    // Two inits need two terms; the context lives until the last.
    ASSERT_NE(MGLInit(), 0);
    ASSERT_NE(MGLInit(), 0);
    ASSERT_NE(mglCreateContext(0, 0, kWidth, kHeight), nullptr);
    MGLTerm();
    EXPECT_NE(mglGetWindowHandle(), nullptr);
    MGLTerm();
    EXPECT_EQ(mglGetWindowHandle(), nullptr);
    MGLTerm();
}

TEST(DisplayLifecycle, HeadlessDriversAreForced)
{
    const char* oldVideo = std::getenv("SDL_VIDEODRIVER");
    const char* oldAudio = std::getenv("SDL_AUDIODRIVER");
    const std::string savedVideo = oldVideo != nullptr ? oldVideo : "";
    const std::string savedAudio = oldAudio != nullptr ? oldAudio : "";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    EXPECT_EQ(platformHeadless(), 0);
    platformUseHeadlessDrivers();
    EXPECT_STREQ(std::getenv("SDL_VIDEODRIVER"), "offscreen");
    EXPECT_STREQ(std::getenv("SDL_AUDIODRIVER"), "dummy");
    EXPECT_NE(platformHeadless(), 0);
    ASSERT_NE(MGLInit(), 0);
    EXPECT_NE(platformHeadless(), 0) << "the running driver is asked once video is up";
    MGLTerm();
    if (oldVideo != nullptr) {
        setenv("SDL_VIDEODRIVER", savedVideo.c_str(), 1);
    } else {
        unsetenv("SDL_VIDEODRIVER");
    }
    if (oldAudio != nullptr) {
        setenv("SDL_AUDIODRIVER", savedAudio.c_str(), 1);
    } else {
        unsetenv("SDL_AUDIODRIVER");
    }
}

TEST(Net, TcpStackIsPresent)
{
    // Creating an unconnected IPv4 socket needs no network, only the stack.
    EXPECT_EQ(platformTcpStackPresent(), 1);
}

}  // namespace
