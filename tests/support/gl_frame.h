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
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
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

// Element i of a GL state value (glGetFloatv / glGetIntegerv).
inline float glFloat(GLenum pname, int i = 0)
{
    float v[16] = {};
    glGetFloatv(pname, v);
    return v[i];
}
inline GLint glInt(GLenum pname)
{
    GLint v = 0;
    glGetIntegerv(pname, &v);
    return v;
}

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A black frame under a 45-degree perspective (near 0.1, far 100) with an
// identity model-view, for drawing a scene from the origin.
inline void beginPerspectiveFrame()
{
    glViewport(0, 0, kTestGLWidth, kTestGLHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(kTestGLWidth) / kTestGLHeight, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Each channel within `tol` of the other's; rasterisers round differently.
inline bool near(Rgb a, Rgb b, int tol = 3)
{
    return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol;
}

inline std::ostream& operator<<(std::ostream& os, Rgb c)
{
    return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

inline void expectRgb(Rgb got, Rgb want, const std::string& what)
{
    EXPECT_TRUE(near(got, want)) << what << ": " << got << " instead of " << want;
}

// The whole colour buffer as read back, addressed in window pixels with the
// origin at the top left (GL counts rows from the bottom).
class FramePixels {
public:
    FramePixels() : px_(kTestGLWidth * kTestGLHeight * 4)
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

// A known GL state for one scope: every attribute saved, the whole window as
// viewport, fog, lighting, blending, culling, scissor, depth and alpha tests
// off, 2D texturing on, both matrices identity (their old values pushed), the
// buffers cleared to black.  Everything is put back when the scope ends.
class CleanGLState {
public:
    CleanGLState() : ok_(ensureGLContext())
    {
        if (!ok_) {
            return;
        }
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glViewport(0, 0, kTestGLWidth, kTestGLHeight);
        for (GLenum cap : {GL_FOG, GL_LIGHTING, GL_BLEND, GL_CULL_FACE, GL_SCISSOR_TEST, GL_DEPTH_TEST, GL_ALPHA_TEST}) {
            glDisable(cap);
        }
        glEnable(GL_TEXTURE_2D);
        for (GLenum m : {GL_PROJECTION, GL_MODELVIEW}) {
            glMatrixMode(m);
            glPushMatrix();
            glLoadIdentity();
        }
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    ~CleanGLState()
    {
        if (ok_) {
            for (GLenum m : {GL_PROJECTION, GL_MODELVIEW}) {
                glMatrixMode(m);
                glPopMatrix();
            }
            glPopAttrib();
        }
    }
    CleanGLState(const CleanGLState&) = delete;
    CleanGLState& operator=(const CleanGLState&) = delete;

private:
    bool ok_;
};

// Both matrices and the matrix mode, to see that drawing put them back.
struct GLMatrices {
    float projection[16];
    float modelview[16];
    GLint mode;
    GLMatrices()
    {
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
    }
    bool operator==(const GLMatrices& o) const
    {
        return std::memcmp(projection, o.projection, sizeof projection) == 0 &&
               std::memcmp(modelview, o.modelview, sizeof modelview) == 0 && mode == o.mode;
    }
};
