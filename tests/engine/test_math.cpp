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

TEST(MathVector, DefaultIsZeroAndComponentsKeepTheirOrder)
{
    expectVector(t_vector(), 0.0f, 0.0f, 0.0f);
    const t_vector v(1.0f, 2.0f, 3.0f);
    const float* raw = &v.x;
    EXPECT_EQ(raw[0], 1.0f);
    EXPECT_EQ(raw[1], 2.0f);
    EXPECT_EQ(raw[2], 3.0f);
}

TEST(MathVector, LengthOfZeroVectorIsOne)
{
    EXPECT_EQ(t_vector(0.0f, 0.0f, 0.0f).Length(), 1.0f);
    EXPECT_FLOAT_EQ(t_vector(3.0f, 4.0f, 0.0f).Length(), 5.0f);
    EXPECT_FLOAT_EQ(t_vector(-2.0f, -3.0f, -6.0f).Length(), 7.0f);
}

TEST(MathVector, NormalizeScalesInPlaceAndKeepsZero)
{
    t_vector zero;
    expectVector(zero.Normalize(), 0.0f, 0.0f, 0.0f);
    expectVector(zero, 0.0f, 0.0f, 0.0f);

    t_vector v(3.0f, 4.0f, 0.0f);
    const t_vector returned = v.Normalize();
    expectVector(v, 0.6f, 0.8f, 0.0f);
    expectVector(returned, 0.6f, 0.8f, 0.0f);

    t_vector tiny(0.0f, -1e-10f, 0.0f);
    tiny.Normalize();
    expectVector(tiny, 0.0f, -1.0f, 0.0f);
}

TEST(MathVector, ArithmeticLeavesOperandsUnchanged)
{
    const t_vector a(1.0f, 2.0f, 3.0f);
    const t_vector b(4.0f, -5.0f, 6.5f);
    expectVector(a + b, 5.0f, -3.0f, 9.5f);
    expectVector(a - b, -3.0f, 7.0f, -3.5f);
    expectVector(b - a, 3.0f, -7.0f, 3.5f);
    expectVector(a * -2.0f, -2.0f, -4.0f, -6.0f);
    expectVector(a, 1.0f, 2.0f, 3.0f);
    expectVector(b, 4.0f, -5.0f, 6.5f);

    t_vector c;
    t_vector& target = (c = b);
    EXPECT_EQ(&target, &c);
    expectVector(c, 4.0f, -5.0f, 6.5f);
}

TEST(MathVector, CrossProductIsRightHandedAndAntiCommutative)
{
    const t_vector x(1.0f, 0.0f, 0.0f);
    const t_vector y(0.0f, 1.0f, 0.0f);
    const t_vector z(0.0f, 0.0f, 1.0f);
    expectVector(x ^ y, 0.0f, 0.0f, 1.0f);
    expectVector(y ^ z, 1.0f, 0.0f, 0.0f);
    expectVector(z ^ x, 0.0f, 1.0f, 0.0f);
    expectVector(y ^ x, 0.0f, 0.0f, -1.0f);

    const t_vector a(2.0f, -3.0f, 4.0f);
    const t_vector b(-1.0f, 5.0f, 0.5f);
    const t_vector ab = a ^ b;
    expectVector(ab, -3.0f * 0.5f - 5.0f * 4.0f, -1.0f * 4.0f - 2.0f * 0.5f, 2.0f * 5.0f - (-1.0f) * (-3.0f));
    EXPECT_NEAR(ab.x * a.x + ab.y * a.y + ab.z * a.z, 0.0f, 1e-4f);
    EXPECT_NEAR(ab.x * b.x + ab.y * b.y + ab.z * b.z, 0.0f, 1e-4f);
    expectVector(a ^ a, 0.0f, 0.0f, 0.0f);
}

TEST(MathNormals, CrossProductFollowsTheWindingRule)
{
    expectVector(CrossProduct(t_vector(0, 0, 0), t_vector(1, 0, 0), t_vector(1, 1, 0)), 0.0f, 0.0f, 1.0f);
    // The same triangle listed the other way round faces the other side.
    expectVector(CrossProduct(t_vector(1, 1, 0), t_vector(1, 0, 0), t_vector(0, 0, 0)), 0.0f, 0.0f, -1.0f);
    // Unnormalised: a bigger triangle gives a longer normal.
    expectVector(CrossProduct(t_vector(0, 0, 0), t_vector(2, 0, 0), t_vector(2, 3, 0)), 0.0f, 0.0f, 6.0f);
}

TEST(MathNormals, CalcNormaleReadsNineFloatsOfAStream)
{
    // A vertex stream: a marker value, then a triangle counter-clockwise as
    // seen from +y (a floor piece), then the end value.
    const float stream[11] = {1009.0f,
                              0.0f, 0.0f, 0.0f,
                              0.0f, 0.0f, 4.0f,
                              4.0f, 0.0f, 4.0f,
                              1010.0f};
    float out[3] = {9.0f, 9.0f, 9.0f};
    CalcNormale(stream + 1, out);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], 1.0f);
    EXPECT_FLOAT_EQ(out[2], 0.0f);

    const float slanted[9] = {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f};
    CalcNormale(slanted, out);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[1], -1.0f / std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(out[2], 1.0f / std::sqrt(2.0f));
}

TEST(MathNormals, DegenerateTriangleGivesZeroNormal)
{
    const float line[9] = {0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 2.0f, 2.0f, 2.0f};
    float out[3] = {9.0f, 9.0f, 9.0f};
    CalcNormale(line, out);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);

    const float point[9] = {5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f};
    CalcNormale(point, out);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);
}

TEST(MathNormals, NormalerizeInPlace)
{
    float v[3] = {0.0f, 0.0f, 2.0f};
    Normalerize(v);
    EXPECT_FLOAT_EQ(v[0], 0.0f);
    EXPECT_FLOAT_EQ(v[1], 0.0f);
    EXPECT_FLOAT_EQ(v[2], 1.0f);

    float zero[3] = {0.0f, 0.0f, 0.0f};
    Normalerize(zero);
    EXPECT_EQ(zero[0], 0.0f);
    EXPECT_EQ(zero[1], 0.0f);
    EXPECT_EQ(zero[2], 0.0f);
}

TEST(MathMatrix, IdentityIsColumnMajorIdentity)
{
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(identity[i], (i % 5 == 0) ? 1.0f : 0.0f) << "index " << i;
    }
}

TEST(MathMatrix, TransformNormalerizeAppliesTheWholeAffineMatrix)
{
    expectVector(TransformNormalerize(t_vector(0, 0, 2), identity), 0.0f, 0.0f, 1.0f);

    float moved[16];
    std::copy(identity, identity + 16, moved);
    moved[12] = 1.0f;   // translation x
    const float s = std::sqrt(5.0f);
    expectVector(TransformNormalerize(t_vector(0, 0, 2), moved), 1.0f / s, 0.0f, 2.0f / s);

    // 90 degrees about z, column-major: column 0 (the image of x) is (0, 1, 0).
    float turned[16];
    std::copy(identity, identity + 16, turned);
    turned[0] = 0.0f;
    turned[1] = 1.0f;
    turned[4] = -1.0f;
    turned[5] = 0.0f;
    expectVector(TransformNormalerize(t_vector(3, 0, 0), turned), 0.0f, 1.0f, 0.0f);
    expectVector(TransformNormalerize(t_vector(0, 3, 0), turned), -1.0f, 0.0f, 0.0f);
}

// The GL side needs a context: the process-wide one of gl_fixture.h.
class MathGl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext()) << "no GL context: " << mglGetLastError();
        glNormal3f(9.0f, 9.0f, 9.0f);
    }
    void TearDown() override
    {
        glNormal3f(0.0f, 0.0f, 1.0f);   // the GL default
    }
    static void expectCurrentNormal(float x, float y, float z)
    {
        float n[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        glGetFloatv(GL_CURRENT_NORMAL, n);
        EXPECT_FLOAT_EQ(n[0], x);
        EXPECT_FLOAT_EQ(n[1], y);
        EXPECT_FLOAT_EQ(n[2], z);
    }
};

TEST_F(MathGl, SetNormaleSendsTheNormalisedFaceNormal)
{
    const float triangle[9] = {0.0f, 0.0f, 0.0f, 2.0f, 0.0f, 0.0f, 2.0f, 2.0f, 0.0f};
    SetNormale(triangle);
    expectCurrentNormal(0.0f, 0.0f, 1.0f);

    const float reversed[9] = {2.0f, 2.0f, 0.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    SetNormale(reversed);
    expectCurrentNormal(0.0f, 0.0f, -1.0f);
}

TEST_F(MathGl, NormalerizeSendsTheTransformedNormal)
{
    const t_vector n(0.0f, 0.0f, 2.0f);
    Normalerize(&n, identity);
    expectCurrentNormal(0.0f, 0.0f, 1.0f);

    float moved[16];
    std::copy(identity, identity + 16, moved);
    moved[12] = 1.0f;
    Normalerize(&n, moved);
    const float s = std::sqrt(5.0f);
    expectCurrentNormal(1.0f / s, 0.0f, 2.0f / s);
    EXPECT_FLOAT_EQ(n.z, 2.0f);
}

}  // namespace
