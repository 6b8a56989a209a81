// gl_fixture.h — one real GL context per test process, for every engine test
// that issues GL calls or reads GL state back.
//
// The context is a 320 x 240 window of the display layer (SDL's offscreen
// driver under ctest: SDL_VIDEODRIVER=offscreen gives a llvmpipe context
// without an X server).  It is opened on the first call, made current on the
// calling thread (the gtest main thread) and kept until the process ends, so
// tests must not delete it.  Tests leave the GL state they change as they
// found it, or set what they read themselves.
//
// Usage:  ASSERT_TRUE(ensureGLContext());
#pragma once

#include "platform/display.h"

inline constexpr int kTestGLWidth = 320;    // pixels
inline constexpr int kTestGLHeight = 240;   // pixels

// True once a context exists (opening it on the first call); false when the
// display layer cannot give one, then every later call is false at once.
inline bool ensureGLContext()
{
    static const bool ok = [] {
        if (!MGLInit()) {
            return false;
        }
        mglChoosePixelDepth(32);
        mglChooseWindowMode(true);
        if (mglCreateContext(0, 0, kTestGLWidth, kTestGLHeight) == nullptr) {
            MGLTerm();
            return false;
        }
        return true;
    }();
    return ok;
}
