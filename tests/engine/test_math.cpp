// Tests of core/mathlib: t_vector arithmetic, the winding rule of the face
// normals and the normals sent to OpenGL.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/mathlib.h"
#include "gl_fixture.h"

namespace {

void expectVector(const t_vector& v, float x, float y, float z)
{
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

TEST(MathVector, LengthAndNormalizeGuardTheZeroVector)
{
    EXPECT_EQ(t_vector().Length(), 1.0f);
    EXPECT_FLOAT_EQ(t_vector(3.0f, 4.0f, 0.0f).Length(), 5.0f);

    t_vector zero;
    expectVector(zero.Normalize(), 0.0f, 0.0f, 0.0f);
    expectVector(zero, 0.0f, 0.0f, 0.0f);

    t_vector v(3.0f, 4.0f, 0.0f);
    expectVector(v.Normalize(), 0.6f, 0.8f, 0.0f);
    expectVector(v, 0.6f, 0.8f, 0.0f);
}

TEST(MathVector, ArithmeticAndCrossProduct)
{
    const t_vector a(2.0f, -3.0f, 4.0f);
    const t_vector b(-1.0f, 5.0f, 0.5f);
    expectVector(a + b, 1.0f, 2.0f, 4.5f);
    expectVector(a - b, 3.0f, -8.0f, 3.5f);
    expectVector(a * -2.0f, -4.0f, 6.0f, -8.0f);
    expectVector(a ^ b, -21.5f, -5.0f, 7.0f);
}

TEST(MathNormals, CrossProductFollowsTheWindingRule)
{
    expectVector(CrossProduct(t_vector(0, 0, 0), t_vector(1, 0, 0), t_vector(1, 1, 0)), 0.0f, 0.0f, 1.0f);
    // The same triangle listed the other way round faces the other side.
    expectVector(CrossProduct(t_vector(1, 1, 0), t_vector(1, 0, 0), t_vector(0, 0, 0)), 0.0f, 0.0f, -1.0f);
    // Unnormalised: a bigger triangle gives a longer normal.
    expectVector(CrossProduct(t_vector(0, 0, 0), t_vector(2, 0, 0), t_vector(2, 3, 0)), 0.0f, 0.0f, 6.0f);
}

TEST(MathNormals, CalcNormaleAndNormalerizeNormaliseAndKeepZero)
{
    // A vertex stream: a marker value, then a triangle counter-clockwise as
    // seen from +y (a floor piece), then the end value; only nine floats count.
    const float stream[11] = {1009.0f, 0, 0, 0, 0, 0, 4, 4, 0, 4, 1010.0f};
    float out[3] = {9.0f, 9.0f, 9.0f};
    CalcNormale(stream + 1, out);
    expectVector(t_vector(out[0], out[1], out[2]), 0.0f, 1.0f, 0.0f);

    const float line[9] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
    CalcNormale(line, out);
    expectVector(t_vector(out[0], out[1], out[2]), 0.0f, 0.0f, 0.0f);

    float v[3] = {0.0f, 0.0f, 2.0f};
    Normalerize(v);
    expectVector(t_vector(v[0], v[1], v[2]), 0.0f, 0.0f, 1.0f);
    float zero[3] = {0.0f, 0.0f, 0.0f};
    Normalerize(zero);
    expectVector(t_vector(zero[0], zero[1], zero[2]), 0.0f, 0.0f, 0.0f);
}

// Reads back the current GL normal.
t_vector currentNormal()
{
    float n[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glGetFloatv(GL_CURRENT_NORMAL, n);
    return t_vector(n[0], n[1], n[2]);
}

TEST(MathGl, SetNormaleAndNormalerizeSendTheNormalToGl)
{
    // The GL side needs a context: the process-wide one of gl_fixture.h.
    ASSERT_TRUE(ensureGLContext()) << "no GL context: " << mglGetLastError();

    const float triangle[9] = {0, 0, 0, 2, 0, 0, 2, 2, 0};
    const float reversed[9] = {2, 2, 0, 2, 0, 0, 0, 0, 0};
    glNormal3f(9.0f, 9.0f, 9.0f);
    SetNormale(triangle);
    expectVector(currentNormal(), 0.0f, 0.0f, 1.0f);
    SetNormale(reversed);
    expectVector(currentNormal(), 0.0f, 0.0f, -1.0f);

    // Normalerize sends the whole affine transform, translation included.
    const t_vector n(0.0f, 0.0f, 2.0f);
    Normalerize(&n, identity);
    expectVector(currentNormal(), 0.0f, 0.0f, 1.0f);
    float m[16];
    std::copy(identity, identity + 16, m);
    m[12] = 1.0f;   // translation x
    Normalerize(&n, m);
    const float s = std::sqrt(5.0f);
    expectVector(currentNormal(), 1.0f / s, 0.0f, 2.0f / s);
    // 90 degrees about z, column-major: column 0 (the image of x) is (0, 1, 0).
    std::copy(identity, identity + 16, m);
    m[0] = 0.0f;
    m[1] = 1.0f;
    m[4] = -1.0f;
    m[5] = 0.0f;
    const t_vector x(3.0f, 0.0f, 0.0f);
    Normalerize(&x, m);
    expectVector(currentNormal(), 0.0f, 1.0f, 0.0f);

    glNormal3f(0.0f, 0.0f, 1.0f);   // the GL default
}

}  // namespace
