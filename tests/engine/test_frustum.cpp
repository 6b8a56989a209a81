// View-frustum culling: the clip codes and the box test on a unit frustum, and
// the planes built for a known camera.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "core/engine.h"
#include "core/mathlib.h"
#include "gl_fixture.h"
#include "render/display.h"
#include "render/frustum.h"

namespace {

// Eight corners of the axis-aligned box lo..hi.
struct Box {
    t_vector c[8];
    Box(t_vector lo, t_vector hi)
    {
        for (int i = 0; i < 8; ++i) {
            c[i] = t_vector((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z);
        }
    }
    // A cube of half edge h around p.
    static Box around(t_vector p, float h)
    {
        return Box(t_vector(p.x - h, p.y - h, p.z - h), t_vector(p.x + h, p.y + h, p.z + h));
    }
};

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

int code(float x, float y, float z)
{
    const t_vector p(x, y, z);
    return calcClipCode(&p);
}

}  // namespace

// With an identity matrix the frustum is the cube -1..1 on every axis.
TEST(UnitFrustum, ClipCodeBitsNameTheViolatedPlanes)
{
    setFrustumFromMatrix(kIdentity);
    const struct {
        t_vector p;
        int code;
    } cases[] = {
        {t_vector(0.0f, 0.0f, 0.0f), 0},
        {t_vector(0.999f, 0.0f, 0.0f), 0},
        {t_vector(1.0f, 0.0f, 0.0f), 1 << kFrustumRight},   // on a plane counts as outside
        {t_vector(2.0f, 0.0f, 0.0f), 1 << kFrustumRight},
        {t_vector(-2.0f, 0.0f, 0.0f), 1 << kFrustumLeft},
        {t_vector(0.0f, -2.0f, 0.0f), 1 << kFrustumBottom},
        {t_vector(0.0f, 2.0f, 0.0f), 1 << kFrustumTop},
        {t_vector(0.0f, 0.0f, 2.0f), 1 << kFrustumFar},
        {t_vector(0.0f, 0.0f, -2.0f), 1 << kFrustumNear},
        {t_vector(2.0f, 2.0f, -2.0f), (1 << kFrustumRight) | (1 << kFrustumTop) | (1 << kFrustumNear)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(calcClipCode(&c.p), c.code) << c.p.x << " " << c.p.y << " " << c.p.z;
    }
}

TEST(UnitFrustum, BoxIsRejectedOnlyWhenAllCornersShareAnOutsidePlane)
{
    setFrustumFromMatrix(kIdentity);
    // Outside two planes at once (a corner region) but no plane shared by
    // all eight corners: kept although it cannot be seen.
    Box tilted(t_vector(1.5f, 0.5f, 0), t_vector(2.5f, 0.5f, 0));
    tilted.c[0] = t_vector(0.5f, 1.5f, 0);
    const struct {
        const char* what;
        Box box;
        bool kept;
    } cases[] = {
        {"inside", Box::around(t_vector(0, 0, 0), 0.5f), true},
        {"beyond right", Box::around(t_vector(3, 0, 0), 0.5f), false},
        {"beyond near", Box::around(t_vector(0, 0, -3), 0.5f), false},
        {"straddling the right plane", Box::around(t_vector(1.2f, 0, 0), 0.5f), true},
        {"enclosing the frustum", Box::around(t_vector(0, 0, 0), 50.0f), true},
        {"beyond left and right", Box(t_vector(-3, -0.5f, -0.5f), t_vector(3, 0.5f, 0.5f)), true},
        {"corner region", tilted, true},
        {"beyond right and top", Box::around(t_vector(3, 3, 0), 0.5f), false},
        {"flat in the right plane", Box(t_vector(1.0f, -0.5f, -0.5f), t_vector(1.0f, 0.5f, 0.5f)), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(boxIntersectsFrustum(c.box.c), c.kept) << c.what;
    }
}

// A first-person camera at (5, 0, 0) with yaw 90 (looking along +x; its
// right is +z, its up +y), a 320 x 240 screen and view distance 100.
class CameraFrustum : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1.0, 1.0, -1.0, 1.0, 2.0, 3.0);   // any drawing projection
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
        glTranslatef(-5.0f, 0.0f, 0.0f);
        savedLevel_ = Level;
        std::memset(frustum, 0, sizeof frustum);
    }
    void TearDown() override
    {
        Level = savedLevel_;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }

    Lev* savedLevel_ = nullptr;
};

TEST_F(CameraFrustum, EachSideRejectsWhatLiesBeyondItAndGLIsLeftAlone)
{
    float projectionBefore[16];
    float viewBefore[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);
    glGetFloatv(GL_MODELVIEW_MATRIX, viewBefore);
    buildFrustum(320, 240, 100.0f);

    // Edges 10 units ahead: 27.5 degrees up (a 55 degree cone) and, by the
    // 4:3 aspect, 4/3 of that tangent sideways; near 0.1, far 100.
    const float up = 10.0f * std::tan(27.5f * float(M_PI) / 180.0f);
    const float side = up * 4.0f / 3.0f;
    EXPECT_EQ(code(15, 0, 0), 0);
    EXPECT_EQ(code(15, up * 0.98f, 0), 0);
    EXPECT_EQ(code(15, up * 1.02f, 0), 1 << kFrustumTop);
    EXPECT_EQ(code(15, -up * 1.02f, 0), 1 << kFrustumBottom);
    EXPECT_EQ(code(15, 0, side * 0.98f), 0);
    EXPECT_EQ(code(15, 0, side * 1.02f), 1 << kFrustumRight);
    EXPECT_EQ(code(15, 0, -side * 1.02f), 1 << kFrustumLeft);
    EXPECT_EQ(code(104, 0, 0), 0);
    EXPECT_EQ(code(106, 0, 0), 1 << kFrustumFar);
    EXPECT_EQ(code(5.05f, 0, 0), 1 << kFrustumNear);
    // Behind the eye: outside the near plane and all four sides.
    EXPECT_EQ(code(-5, 0, 0), 0x3f & ~(1 << kFrustumFar));

    float projectionAfter[16];
    float viewAfter[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
    glGetFloatv(GL_MODELVIEW_MATRIX, viewAfter);
    EXPECT_EQ(std::memcmp(projectionBefore, projectionAfter, sizeof projectionAfter), 0);
    EXPECT_EQ(std::memcmp(viewBefore, viewAfter, sizeof viewAfter), 0);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(CameraFrustum, ViewSuppliesSizeLevelViewDistance)
{
    // A 1:2 screen and view distance 20: the far plane at x 25, the side
    // edges at half the tangent of the vertical ones.
    Lev level{};
    g_view.screenWidth = 160;
    g_view.screenHeight = 320;
    level.viewDistance = 20.0f;
    Level = &level;
    buildFrustum();
    const float side = 10.0f * std::tan(27.5f * float(M_PI) / 180.0f) / 2.0f;
    EXPECT_EQ(code(24, 0, 0), 0);
    EXPECT_EQ(code(26, 0, 0), 1 << kFrustumFar);
    EXPECT_EQ(code(15, 0, side * 0.98f), 0);
    EXPECT_EQ(code(15, 0, side * 1.02f), 1 << kFrustumRight);

    // Without a level the previous frustum stays.
    float expected[6][4];
    std::memcpy(expected, frustum, sizeof expected);
    Level = nullptr;
    buildFrustum();
    EXPECT_EQ(std::memcmp(expected, frustum, sizeof expected), 0);
}
