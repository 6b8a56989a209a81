// frustum.cpp — the six culling planes and the point and box tests.
#include "render/frustum.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "core/common.h"
#include "core/mathlib.h"
#include "render/display.h"

float frustum[6][4];

namespace {

// Value of plane i at p: positive inside.
inline float planeValue(int i, const t_vector& p)
{
    const float* plane = frustum[i];
    return plane[0] * p.x + plane[1] * p.y + plane[2] * p.z + plane[3];
}

// frustum[plane] = row 3 + sign * row `row` of the column-major matrix q.
void combineRows(int plane, const float* q, int row, float sign)
{
    for (int c = 0; c < 4; ++c) {
        frustum[plane][c] = q[4 * c + 3] + sign * q[4 * c + row];
    }
}

} // namespace

void setFrustumFromMatrix(const float* q)
{
    combineRows(kFrustumRight, q, 0, -1.0f);
    combineRows(kFrustumLeft, q, 0, 1.0f);
    combineRows(kFrustumBottom, q, 1, 1.0f);
    combineRows(kFrustumTop, q, 1, -1.0f);
    combineRows(kFrustumFar, q, 2, -1.0f);
    combineRows(kFrustumNear, q, 2, 1.0f);
}

void buildFrustum(int32_t screenWidth, int32_t screenHeight, float viewDistance)
{
    GLfloat view[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    const float aspect = static_cast<float>(screenWidth) / static_cast<float>(screenHeight);
    gluPerspective(kCullFovY, aspect, kCullNear, viewDistance);
    glMultMatrixf(view);
    GLfloat combined[16];
    glGetFloatv(GL_PROJECTION_MATRIX, combined);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    setFrustumFromMatrix(combined);
}

void buildFrustum()
{
    if (Level == nullptr) {
        return;
    }
    buildFrustum(g_view.screenWidth, g_view.screenHeight, Level->viewDistance);
}

int calcClipCode(const t_vector* point)
{
    int code = 0;
    for (int i = 0; i < 6; ++i) {
        if (planeValue(i, *point) <= 0.0f) {
            code |= 1 << i;
        }
    }
    return code;
}

bool boxIntersectsFrustum(const t_vector* corners)
{
    int outsideAll = 0xFF;
    for (int i = 0; i < 8; ++i) {
        outsideAll &= calcClipCode(&corners[i]);
    }
    return outsideAll == 0;
}
