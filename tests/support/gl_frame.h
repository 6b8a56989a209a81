// gl_frame.h — one real GL context per test process, and frames read back
// from it.
//
// The context is a 320 x 240 window of the display layer (under ctest
// SDL_VIDEODRIVER=offscreen gives a llvmpipe context without an X server).
// It is opened on the first call, kept until the process ends, and never
// deleted by a test.  Tests leave the GL state they change as they found it,
// or set what they read themselves.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <vector>

#include "platform/display.h"

inline constexpr int kTestGLWidth = 320;    // pixels
inline constexpr int kTestGLHeight = 240;   // pixels

// True once a context exists (opening it on the first call).
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

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// Each channel within `tol` of the other's; rasterisers round differently.
inline bool near(Rgb a, Rgb b, int tol = 3)
{
    return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol;
}

inline std::ostream& operator<<(std::ostream& os, Rgb c)
{
    return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

// The whole colour buffer as read back, addressed in window pixels with the
// origin at the top left (GL counts rows from the bottom).
class Frame {
public:
    Frame() : px_(kTestGLWidth * kTestGLHeight * 4)
    {
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kTestGLWidth, kTestGLHeight, GL_RGBA, GL_UNSIGNED_BYTE, px_.data());
    }
    Rgb at(int x, int y) const
    {
        const uint8_t* p = &px_[((kTestGLHeight - 1 - y) * kTestGLWidth + x) * 4];
        return {p[0], p[1], p[2]};
    }
    // Pixels in [x0, x1) x [y0, y1) that are not black.
    int litIn(int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                n += near(at(x, y), Rgb{0, 0, 0}, 49) ? 0 : 1;
            }
        }
        return n;
    }

private:
    std::vector<uint8_t> px_;
};
