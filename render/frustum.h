// frustum.h — view-frustum culling of object boxes.
//
// Owns the one global frustum: six planes rebuilt once per frame by the
// object pass (drawMeshs) right after the camera's view transform is current,
// and read by the tree and particle-system box tests of the same frame.
// Objects are culled against a 55-degree cone, a little wider than the
// drawing projection's 45 degrees, whatever the drawing projection is.
//
// Planes are in world coordinates (those of the model-view matrix current at
// build time), not normalised: only signs are used.  A point p is inside plane
// i when nx*x + ny*y + nz*z + w > 0; a point exactly on a plane is outside.
#pragma once

#include <cstdint>

class t_vector;

// Plane order in `frustum`; bit (1 << index) of a clip code.
enum {
    kFrustumRight = 0,
    kFrustumLeft = 1,
    kFrustumBottom = 2,
    kFrustumTop = 3,
    kFrustumFar = 4,
    kFrustumNear = 5,
};

constexpr float kCullFovY = 55.0f; // degrees, vertical opening of the culling cone
constexpr float kCullNear = 0.1f;  // units, near plane of the culling cone

// Six planes (nx, ny, nz, w) in the order above.  Zero until the first build.
extern float frustum[6][4];

// Rebuilds `frustum` from the current model-view matrix (the camera view of
// this frame), the drawable's size (g_view) and the level's view distance.  Does
// nothing while there is no level.  Leaves the projection matrix as it was
// and GL_MODELVIEW as the matrix mode.  Needs a current GL context.
void buildFrustum();

// The same with the screen size (pixels) and view distance (units) given.
void buildFrustum(int32_t screenWidth, int32_t screenHeight, float viewDistance);

// Fills `frustum` from a combined projection x view matrix q (16 floats,
// column-major): the plane construction of buildFrustum without GL.
void setFrustumFromMatrix(const float* q);

// 6-bit mask: bit i set when the point lies on or behind plane i.
int calcClipCode(const t_vector* point);

// corners: the box's eight corners in world coordinates.  False only when all
// eight lie outside one and the same plane (the box is certainly invisible);
// true for boxes inside, straddling, or outside different planes.
bool boxIntersectsFrustum(const t_vector* corners);
