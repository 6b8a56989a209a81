// mathlib.cpp — t_vector arithmetic and the face-normal helpers.
#include "core/mathlib.h"

#include <GL/gl.h>

#include <cmath>

float identity[16] = {
    1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f,
};

float t_vector::Length() const
{
    const float len = std::sqrt(x * x + y * y + z * z);
    if (len == 0.0f) {
        return 1.0f;
    }
    return len;
}

t_vector t_vector::operator+(const t_vector& b) const
{
    return t_vector(x + b.x, y + b.y, z + b.z);
}

t_vector t_vector::operator-(const t_vector& b) const
{
    return t_vector(x - b.x, y - b.y, z - b.z);
}

t_vector t_vector::operator*(float s) const
{
    return t_vector(x * s, y * s, z * s);
}

t_vector t_vector::operator^(const t_vector& b) const
{
    return t_vector(y * b.z - b.y * z, b.x * z - x * b.z, x * b.y - b.x * y);
}

t_vector t_vector::Normalize()
{
    const float scale = 1.0f / Length();
    x *= scale;
    y *= scale;
    z *= scale;
    return *this;
}

t_vector CrossProduct(t_vector a, t_vector b, t_vector c)
{
    return (a - b) ^ (b - c);
}

static t_vector faceNormal(const float* triangle)
{
    const t_vector p0(triangle[0], triangle[1], triangle[2]);
    const t_vector p1(triangle[3], triangle[4], triangle[5]);
    const t_vector p2(triangle[6], triangle[7], triangle[8]);
    t_vector n = CrossProduct(p0, p1, p2);
    return n.Normalize();
}

void CalcNormale(const float* triangle, float* out)
{
    const t_vector n = faceNormal(triangle);
    out[0] = n.x;
    out[1] = n.y;
    out[2] = n.z;
}

void SetNormale(const float* triangle)
{
    const t_vector n = faceNormal(triangle);
    glNormal3f(n.x, n.y, n.z);
}

void Normalerize(float* v)
{
    t_vector n(v[0], v[1], v[2]);
    n.Normalize();
    v[0] = n.x;
    v[1] = n.y;
    v[2] = n.z;
}

t_vector TransformNormalerize(const t_vector& n, const float* m)
{
    const double rx = m[12] + n.x * m[0] + n.y * m[4] + n.z * m[8];
    const double ry = m[13] + n.x * m[1] + n.y * m[5] + n.z * m[9];
    const double rz = m[14] + n.x * m[2] + n.y * m[6] + n.z * m[10];
    const double len = std::sqrt(rx * rx + ry * ry + rz * rz);
    return t_vector(static_cast<float>(rx / len), static_cast<float>(ry / len), static_cast<float>(rz / len));
}

void Normalerize(const t_vector* n, const float* m)
{
    const t_vector r = TransformNormalerize(*n, m);
    glNormal3f(r.x, r.y, r.z);
}
