// The display layer on SDL's offscreen driver (a real llvmpipe GL context):
// what the engine's rendered-frame tests do not reach — the 16-bit depth and
// colour fallbacks, and failures that leave nothing open.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "platform/display.h"

namespace {

GLint depthBits()
{
    GLint v = 0;
    glGetIntegerv(GL_DEPTH_BITS, &v);
    return v;
}

TEST(Display, FallbacksWorkAndFailuresLeaveNothingOpen)
{
    ASSERT_TRUE(platformHeadless()) << "run with SDL_VIDEODRIVER=offscreen";
    MGLTerm();   // without init: harmless
    EXPECT_EQ(mglCreateContext(0, 0, 64, 48), nullptr) << "no context without init";
    EXPECT_STRNE(mglGetLastError(), "");
    ASSERT_NE(MGLInit(), 0) << mglGetLastError();
    EXPECT_NE(platformHeadless(), 0) << "once video is up, the running driver is asked";
    mglChoosePixelDepth(32);
    mglTestRefuseDepthBits(24);
    ASSERT_NE(mglCreateContext(0, 0, 64, 48), nullptr) << mglGetLastError();
    EXPECT_STREQ(mglGetLastError(), "");
    EXPECT_EQ(depthBits(), 16) << "the offscreen driver gives what is asked for";
    mglDeleteContext();
    int w = 1, h = 1;
    mglGetDrawableSize(&w, &h);
    EXPECT_TRUE(mglGetWindowHandle() == nullptr && w == 0 && h == 0);
    // No depth buffer at all, or a bad size: no window is left, and why is said.
    const int requests[][3] = {{16, 64, 48}, {0, 0, 48}, {0, 64, -1}};   // refused bits, size
    for (const auto& r : requests) {
        mglTestRefuseDepthBits(r[0]);
        EXPECT_EQ(mglCreateContext(0, 0, r[1], r[2]), nullptr) << r[1] << " x " << r[2];
        EXPECT_EQ(mglGetWindowHandle(), nullptr);
        EXPECT_STRNE(mglGetLastError(), "");
    }
    mglTestRefuseDepthBits(0);
    mglChoosePixelDepth(16);
    ASSERT_NE(mglCreateContext(0, 0, 128, 96), nullptr) << "16-bit colour, after failures";
    mglGetDrawableSize(&w, &h);
    EXPECT_TRUE(w == 128 && h == 96 && depthBits() >= 24) << w << " x " << h;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    MGLTerm();
    EXPECT_EQ(mglGetWindowHandle(), nullptr) << "MGLTerm releases the context";
}

}  // namespace
