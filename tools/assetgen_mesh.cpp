// assetgen_mesh.cpp — the raw mesh text the generator's scene and benchmark
// objects are written in, and the hash and text helpers they share.
#include <cmath>
#include <cstdio>
#include <numbers>

#include "assetgen.h"

namespace assetgen {

uint32_t Hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352d;
    x ^= x >> 15;
    x *= 0x846ca68b;
    x ^= x >> 16;
    return x;
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

void RawMesh::Tex(const char* name)
{
    text_ += std::string(name) + "\n";
}

void RawMesh::Tri(V3 a, V3 b, V3 c)
{
    char line[200];
    std::snprintf(line, sizeof line, "%.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f\n", a.x, a.z, a.y, b.x, b.z, b.y,
                  c.x, c.z, c.y);
    text_ += line;
    ++triangles;
}

void RawMesh::Quad(V3 a, V3 b, V3 c, V3 d)
{
    Tri(a, b, c);
    Tri(c, d, a);
}

void RawMesh::Ring(int n, double r0, double y0, double r1, double y1, bool asQuads, double cx, double cz)
{
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * std::numbers::pi * i / n;
        const double a1 = 2 * std::numbers::pi * (i + 1) / n;
        const V3 p0{cx + r0 * std::cos(a0), y0, cz + r0 * std::sin(a0)};
        const V3 p1{cx + r0 * std::cos(a1), y0, cz + r0 * std::sin(a1)};
        const V3 q0{cx + r1 * std::cos(a0), y1, cz + r1 * std::sin(a0)};
        const V3 q1{cx + r1 * std::cos(a1), y1, cz + r1 * std::sin(a1)};
        if (asQuads) {
            Quad(p1, p0, q0, q1);
        } else {
            Tri(p1, p0, q0);
            if (r1 > 0) {
                Tri(q0, q1, p1);
            }
        }
    }
}

void RawMesh::Box(V3 lo, V3 hi)
{
    const V3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                     {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    Quad(c[4], c[5], c[6], c[7]);
    Quad(c[1], c[0], c[3], c[2]);
    Quad(c[0], c[4], c[7], c[3]);
    Quad(c[5], c[1], c[2], c[6]);
    Quad(c[3], c[7], c[6], c[2]);
    Quad(c[0], c[1], c[5], c[4]);
}

} // namespace assetgen
