// test_terrain_feedback.h — captures what a drawing routine sends to GL, by
// running it in GL feedback mode, for the terrain and sky box tests.
//
// Feedback returns every primitive after transformation, clipping and face
// culling, split into triangles (a quad may also come back as one polygon).
// Each vertex has window coordinates, its RGBA colour and its texture
// coordinate; `toWorld` maps window coordinates back through the matrices
// that were current during the capture.
#pragma once

#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <functional>
#include <vector>

namespace terrain_test {

struct FbVertex {
    float win[3];       // window x, y (pixels) and depth 0..1
    float colour[4];    // RGBA 0..1
    float tex[4];       // s, t, r, q
};

struct FbPolygon {
    std::vector<FbVertex> v;
};

// The matrices and viewport of a capture, for mapping window coordinates back.
struct FbView {
    GLdouble model[16];
    GLdouble proj[16];
    GLint viewport[4];
};

struct FbCapture {
    std::vector<FbPolygon> polygons;
    int otherTokens = 0;    // points, lines, bitmaps: none are expected here
    FbView view{};
    bool overflow = false;
};

inline FbCapture captureFeedback(const std::function<void()>& draw)
{
    FbCapture result;
    glGetDoublev(GL_MODELVIEW_MATRIX, result.view.model);
    glGetDoublev(GL_PROJECTION_MATRIX, result.view.proj);
    glGetIntegerv(GL_VIEWPORT, result.view.viewport);
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    if (count < 0) {
        result.overflow = true;
        return result;
    }
    auto vertexAt = [&](GLint i) {
        FbVertex v{};
        for (int k = 0; k < 3; ++k) {
            v.win[k] = buffer[i + k];
        }
        for (int k = 0; k < 4; ++k) {
            v.colour[k] = buffer[i + 3 + k];
            v.tex[k] = buffer[i + 7 + k];
        }
        return v;
    };
    constexpr GLint kVertexFloats = 11;
    GLint i = 0;
    while (i < count) {
        const auto token = static_cast<GLint>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const auto n = static_cast<GLint>(buffer[i++]);
            FbPolygon polygon;
            for (GLint k = 0; k < n; ++k) {
                polygon.v.push_back(vertexAt(i));
                i += kVertexFloats;
            }
            result.polygons.push_back(polygon);
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            i += 1;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            ++result.otherTokens;
            i += 2 * kVertexFloats;
        } else {
            ++result.otherTokens;
            i += kVertexFloats;
        }
    }
    return result;
}

struct World {
    double x, y, z;
};

inline World toWorld(const FbView& view, const FbVertex& v)
{
    World w{};
    gluUnProject(v.win[0], v.win[1], v.win[2], view.model, view.proj, view.viewport, &w.x, &w.y, &w.z);
    return w;
}

// Number of triangles a capture amounts to (an n-gon counts n - 2).
inline int triangleCount(const FbCapture& capture)
{
    int n = 0;
    for (const FbPolygon& p : capture.polygons) {
        n += static_cast<int>(p.v.size()) - 2;
    }
    return n;
}

}  // namespace terrain_test
