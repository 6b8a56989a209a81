// View-frustum culling: the plane construction from a combined matrix, the
// clip codes and the box test, and the planes built for a known camera.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "core/engine.h"
#include "core/mathlib.h"
#include "gl_fixture.h"
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

// 4x4 column-major helpers, written out independently of GL.
struct Mat {
    float m[16];
    static Mat identity()
    {
        Mat r{};
        r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
        return r;
    }
    Mat operator*(const Mat& b) const
    {
        Mat r{};
        for (int row = 0; row < 4; ++row) {
            for (int col = 0; col < 4; ++col) {
                double s = 0.0;
                for (int k = 0; k < 4; ++k) {
                    s += double(m[4 * k + row]) * double(b.m[4 * col + k]);
                }
                r.m[4 * col + row] = float(s);
            }
        }
        return r;
    }
};

Mat perspective(double fovyDeg, double aspect, double zNear, double zFar)
{
    const double f = 1.0 / std::tan(fovyDeg * M_PI / 360.0);
    Mat p{};
    p.m[0] = float(f / aspect);
    p.m[5] = float(f);
    p.m[10] = float((zFar + zNear) / (zNear - zFar));
    p.m[11] = -1.0f;
    p.m[14] = float(2.0 * zFar * zNear / (zNear - zFar));
    return p;
}

// The camera transform of the first-person camera: pitch about x, yaw about
// y, then the position moved to the origin.
Mat cameraView(float yawDeg, float pitchDeg, t_vector pos)
{
    const double y = yawDeg * M_PI / 180.0;
    const double p = pitchDeg * M_PI / 180.0;
    Mat ry = Mat::identity();
    ry.m[0] = float(std::cos(y));
    ry.m[8] = float(std::sin(y));
    ry.m[2] = float(-std::sin(y));
    ry.m[10] = float(std::cos(y));
    Mat rx = Mat::identity();
    rx.m[5] = float(std::cos(p));
    rx.m[9] = float(-std::sin(p));
    rx.m[6] = float(std::sin(p));
    rx.m[10] = float(std::cos(p));
    Mat t = Mat::identity();
    t.m[12] = -pos.x;
    t.m[13] = -pos.y;
    t.m[14] = -pos.z;
    return rx * ry * t;
}

void clearFrustum() { std::memset(frustum, 0, sizeof frustum); }

}  // namespace

// With an identity matrix the frustum is the cube -1..1 on every axis.
class UnitFrustum : public testing::Test {
protected:
    void SetUp() override { setFrustumFromMatrix(Mat::identity().m); }
};

TEST_F(UnitFrustum, PlanesAreRowSumsOfTheColumnMajorMatrix)
{
    float q[16];
    for (int i = 0; i < 16; ++i) {
        q[i] = float(i + 1) * (i % 3 == 0 ? -1.0f : 1.0f);
    }
    setFrustumFromMatrix(q);
    auto row = [&](int r, int c) { return q[4 * c + r]; };
    const int rowOf[6] = {0, 0, 1, 1, 2, 2};
    const float sign[6] = {-1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f};
    for (int p = 0; p < 6; ++p) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_FLOAT_EQ(frustum[p][c], row(3, c) + sign[p] * row(rowOf[p], c)) << p << "," << c;
        }
    }
}

TEST_F(UnitFrustum, ClipCodeBitsNameTheViolatedPlanes)
{
    const t_vector inside(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(calcClipCode(&inside), 0);
    const struct {
        t_vector p;
        int code;
    } cases[] = {
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

TEST_F(UnitFrustum, PointOnAPlaneCountsAsOutside)
{
    const t_vector onRight(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(calcClipCode(&onRight), 1 << kFrustumRight);
    const t_vector justInside(0.999f, 0.0f, 0.0f);
    EXPECT_EQ(calcClipCode(&justInside), 0);
    // A flat box lying in the right plane is rejected.
    const Box flat(t_vector(1.0f, -0.5f, -0.5f), t_vector(1.0f, 0.5f, 0.5f));
    EXPECT_FALSE(boxIntersectsFrustum(flat.c));
}

TEST_F(UnitFrustum, BoxCases)
{
    EXPECT_TRUE(boxIntersectsFrustum(Box::around(t_vector(0, 0, 0), 0.5f).c));
    // Wholly outside each side in turn.
    const t_vector outside[6] = {t_vector(3, 0, 0), t_vector(-3, 0, 0), t_vector(0, -3, 0),
                                 t_vector(0, 3, 0), t_vector(0, 0, 3), t_vector(0, 0, -3)};
    for (const t_vector& p : outside) {
        EXPECT_FALSE(boxIntersectsFrustum(Box::around(p, 0.5f).c)) << p.x << " " << p.y << " " << p.z;
    }
    // Straddling one plane.
    EXPECT_TRUE(boxIntersectsFrustum(Box::around(t_vector(1.2f, 0, 0), 0.5f).c));
    // Enclosing the whole frustum.
    EXPECT_TRUE(boxIntersectsFrustum(Box::around(t_vector(0, 0, 0), 50.0f).c));
    // Four corners beyond the left plane, four beyond the right: kept.
    EXPECT_TRUE(boxIntersectsFrustum(Box(t_vector(-3, -0.5f, -0.5f), t_vector(3, 0.5f, 0.5f)).c));
    // Outside two planes at once (a corner region) but no plane shared by
    // all eight corners: kept although it cannot be seen.
    const Box diagonal(t_vector(1.5f, 0.5f, 0), t_vector(2.5f, 0.5f, 0));
    Box tilted = diagonal;
    tilted.c[0] = t_vector(0.5f, 1.5f, 0);
    EXPECT_TRUE(boxIntersectsFrustum(tilted.c));
    // Outside the right and the top plane with every corner: rejected.
    EXPECT_FALSE(boxIntersectsFrustum(Box::around(t_vector(3, 3, 0), 0.5f).c));
}

// Planes built by GL for a first-person camera at (5, 0, 0) with yaw 90
// (looking along +x), a 320 x 240 screen and view distance 100.
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
        glRotatef(kPitch, 1.0f, 0.0f, 0.0f);
        glRotatef(kYaw, 0.0f, 1.0f, 0.0f);
        glTranslatef(-kPos.x, -kPos.y, -kPos.z);
        savedLevel_ = Level;
        clearFrustum();
    }
    void TearDown() override
    {
        Level = savedLevel_;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    // Clip code of a point, in world coordinates.
    static int code(float x, float y, float z)
    {
        const t_vector p(x, y, z);
        return calcClipCode(&p);
    }

    static constexpr float kYaw = 90.0f;
    static constexpr float kPitch = 0.0f;
    static inline const t_vector kPos{5.0f, 0.0f, 0.0f};
    Lev* savedLevel_ = nullptr;
};

TEST_F(CameraFrustum, PlanesMatchTheCullingProjectionTimesTheView)
{
    float projectionBefore[16];
    float viewBefore[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);
    glGetFloatv(GL_MODELVIEW_MATRIX, viewBefore);

    buildFrustum(320, 240, 100.0f);

    const Mat q = perspective(55.0, 320.0 / 240.0, 0.1, 100.0) * cameraView(kYaw, kPitch, kPos);
    const int rowOf[6] = {0, 0, 1, 1, 2, 2};
    const float sign[6] = {-1.0f, 1.0f, 1.0f, -1.0f, -1.0f, 1.0f};
    for (int p = 0; p < 6; ++p) {
        for (int c = 0; c < 4; ++c) {
            const float expected = q.m[4 * c + 3] + sign[p] * q.m[4 * c + rowOf[p]];
            EXPECT_NEAR(frustum[p][c], expected, 1e-4f) << "plane " << p << " component " << c;
        }
    }
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

TEST_F(CameraFrustum, EachSideRejectsWhatLiesBeyondIt)
{
    buildFrustum(320, 240, 100.0f);
    // Ahead along +x; the camera's right is +z, its up +y.
    EXPECT_EQ(code(15, 0, 0), 0);
    EXPECT_EQ(code(15, 0, 30), 1 << kFrustumRight);
    EXPECT_EQ(code(15, 0, -30), 1 << kFrustumLeft);
    EXPECT_EQ(code(15, -30, 0), 1 << kFrustumBottom);
    EXPECT_EQ(code(15, 30, 0), 1 << kFrustumTop);
    EXPECT_EQ(code(200, 0, 0), 1 << kFrustumFar);
    EXPECT_EQ(code(5.05f, 0, 0), 1 << kFrustumNear);
    // The cone opens 55 degrees vertically: 27.5 degrees up is the edge.
    const float edge = 10.0f * std::tan(27.5f * float(M_PI) / 180.0f);
    EXPECT_EQ(code(15, edge * 0.98f, 0), 0);
    EXPECT_EQ(code(15, edge * 1.02f, 0), 1 << kFrustumTop);

    EXPECT_TRUE(boxIntersectsFrustum(Box::around(t_vector(15, 0, 0), 1.0f).c));
    EXPECT_FALSE(boxIntersectsFrustum(Box::around(t_vector(-5, 0, 0), 1.0f).c));
    EXPECT_FALSE(boxIntersectsFrustum(Box::around(t_vector(15, 0, 30), 1.0f).c));
    EXPECT_FALSE(boxIntersectsFrustum(Box::around(t_vector(200, 0, 0), 1.0f).c));
    // All corners between the eye and the near plane.
    EXPECT_FALSE(boxIntersectsFrustum(Box::around(t_vector(5.04f, 0, 0), 0.01f).c));
    // Straddling the left plane, and a box around the camera.
    EXPECT_TRUE(boxIntersectsFrustum(Box::around(t_vector(15, 0, -7), 1.0f).c));
    EXPECT_TRUE(boxIntersectsFrustum(Box::around(kPos, 20.0f).c));
}

TEST_F(CameraFrustum, LevelSuppliesSizeAndViewDistance)
{
    Lev level{};
    level.screenWidth = 320;
    level.screenHeight = 240;
    level.viewDistance = 100.0f;
    buildFrustum(320, 240, 100.0f);
    float expected[6][4];
    std::memcpy(expected, frustum, sizeof expected);

    clearFrustum();
    Level = &level;
    buildFrustum();
    EXPECT_EQ(std::memcmp(expected, frustum, sizeof expected), 0);

    // A shorter view distance moves the far plane in.
    level.viewDistance = 20.0f;
    buildFrustum();
    EXPECT_EQ(code(30, 0, 0), 1 << kFrustumFar);

    // Without a level the previous frustum stays.
    Level = nullptr;
    std::memcpy(expected, frustum, sizeof expected);
    buildFrustum();
    EXPECT_EQ(std::memcmp(expected, frustum, sizeof expected), 0);
}
