// mathlib.h — the small value types and face-normal helpers every scene,
// camera and lighting routine shares.
//
// Everything here is single precision and allocation-free.  `t_vector` is laid
// out as three consecutive floats, so a `t_vector*` and a pointer into a
// mesh's vertex stream are interchangeable (the static_asserts below hold that
// promise).  Matrix element (row r, column c) is at index 4*c + r.
//
// Face normals follow one winding rule throughout the engine:
// n = (p0 - p1) x (p1 - p2), normalised.  A triangle listed counter-clockwise
// as seen from a side gets that side's outward normal.
//
// Only SetNormale and Normalerize(t_vector*, float*) touch OpenGL (the current
// normal); they need a current GL context, like every other draw call.
#pragma once

#include <type_traits>

// A point or direction in world units (or any three floats).  Copied by value.
class t_vector {
public:
    float x;
    float y;
    float z;

    t_vector() : x(0.0f), y(0.0f), z(0.0f) {}
    t_vector(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

    // sqrt(x^2 + y^2 + z^2); exactly 1.0 when that root is 0, so that dividing
    // by a length never divides by zero.
    float Length() const;
    t_vector& operator=(const t_vector& b) = default;
    t_vector operator+(const t_vector& b) const;
    t_vector operator-(const t_vector& b) const;
    t_vector operator*(float s) const;
    // Cross product: (y*b.z - b.y*z, b.x*z - x*b.z, x*b.y - b.x*y).
    t_vector operator^(const t_vector& b) const;
    // Scales the vector in place by 1/Length() and returns the new value; the
    // zero vector stays zero.
    t_vector Normalize();
};

// An RGBA colour, each channel nominally 0..1; usable as a glColor4fv array.
struct t_rgba {
    float r; // red 0..1
    float g; // green 0..1
    float b; // blue 0..1
    float a; // alpha 0..1 (1 = opaque)
};

// An RGB colour without alpha, each channel nominally 0..1.
struct t_rgb {
    float r; // red 0..1
    float g; // green 0..1
    float b; // blue 0..1
};

static_assert(sizeof(t_vector) == 3 * sizeof(float) && std::is_standard_layout_v<t_vector>,
              "t_vector must overlay three floats of a vertex stream");
static_assert(sizeof(t_rgba) == 4 * sizeof(float), "t_rgba must be a glColor4fv array");
static_assert(sizeof(t_rgb) == 3 * sizeof(float), "t_rgb must be three floats");

// The 4x4 identity matrix (column-major); scratch source for billboards.
// Callers copy it; nobody writes into it.
extern float identity[16];

// The unnormalised normal of triangle a, b, c: (a - b) ^ (b - c).
t_vector CrossProduct(t_vector a, t_vector b, t_vector c);

// out[0..2] = normalised face normal of the nine floats at triangle (three
// vertices x, y, z, as they lie in a vertex stream).  A degenerate triangle
// gives (0, 0, 0).
void CalcNormale(const float* triangle, float* out);

// Same normal as CalcNormale, sent as the current GL normal (glNormal3f).
void SetNormale(const float* triangle);

// Normalises the three floats at v in place (zero stays zero).
void Normalerize(float* v);

// The full affine transform of n by the column-major matrix m, translation
// included, divided by its own length (double precision, no zero guard:
// a result at the origin gives NaN components).  Pure part of the next one.
t_vector TransformNormalerize(const t_vector& n, const float* m);

// Sends TransformNormalerize(*n, m) as the current GL normal; used for
// sphere-map texture coordinates with a tree's eye matrix.
void Normalerize(const t_vector* n, const float* m);
