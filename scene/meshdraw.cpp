// meshdraw.cpp — vertex arrays replaying the tree pass's immediate-mode walk.
#include "scene/meshdraw.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/common.h"
#include "image/texlist.h"
#include "render/framestats.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "scene/meshpool.h"
#include "scene/treebatch.h"

namespace {

enum OpKind : uint8_t {
    kOpRun,    // glEnable(GL_BLEND), depth function; vertices [first, first + count) belong to it
    kOpDraw,   // glDrawArrays(mode, first, count)
    kOpMarker, // takeTreeTexture(marker)
};

struct Op {
    OpKind kind;
    bool quads;      // run: the batch's quads flag the geometry was built with
    bool envmode;    // run: the batch's sphere-map flag it was built with
    GLenum mode;     // draw
    uint32_t first;  // run, draw: first vertex
    uint32_t count;  // run, draw: vertices
    uint32_t corner; // run: first entry of its quads' fourth corners in `corners`
    uint32_t corners;
    float marker; // marker
};

// One mesh's stream as arrays, one entry per vertex the walk sends.
struct MeshArrays {
    const float* texcoordSource = nullptr; // the tree's texcoords they were built from
    uint32_t generation = 0;               // g_generation at build
    bool texrender = false;                // texrender at build
    bool usable = false;                   // false: the immediate path draws it
    std::vector<float> pos;                // 3 per vertex, mesh coordinates
    std::vector<float> uv;                 // 2 per vertex
    std::vector<float> normal;             // 3 per vertex (fourth corners patched per frame under envmode)
    std::vector<float> faceNormal;         // 3 per fourth corner: what it carries without envmode
    std::vector<uint8_t> first;            // 1: first vertex of a face (mask 12)
    std::vector<uint32_t> corners;         // vertex indexes of quads' fourth corners
    std::vector<Op> ops;
    uint32_t faces = 0;     // objpersec per draw
    uint32_t triangles = 0; // triangles per draw
    float lastUV[2] = {};   // current texture coordinate the walk leaves behind
    bool sentUV = false;
    double centre[3] = {}; // bounding sphere of the vertices, mesh coordinates
    double radius = 0.0;
};

uint32_t g_generation = 1;
std::unordered_map<const float*, std::unique_ptr<MeshArrays>> g_meshes;
// Per-frame scratch, grown when a mesh is built (never while drawing).
std::vector<float> g_colour; // 4 per vertex
std::vector<float> g_world;  // 3 per vertex

void growScratch(size_t vertices)
{
    if (g_colour.size() < vertices * 4) {
        g_colour.resize(vertices * 4);
        g_world.resize(vertices * 3);
    }
}

// The walk of Tree::drawMesh with the texture settings as they are now,
// recording what it would send.
void build(MeshArrays& m, const Tree& tree)
{
    m = MeshArrays{};
    m.texcoordSource = tree.texcoords;
    m.generation = g_generation;
    m.texrender = texrender != 0;
    const float* v = tree.vertices;
    const size_t n = tree.streamLength;
    const size_t uvFloats = static_cast<size_t>(tree.vertexCount) * 2;
    if (v == nullptr || tree.normals != nullptr || tree.texcoords == nullptr) {
        return;
    }
    TreeBatch batch;
    size_t i = 0;
    size_t j = 0;
    bool ok = true;
    float current[3] = {0.0f, 0.0f, 0.0f};
    GLenum mode = GL_TRIANGLES;
    uint32_t primStart = 0;
    auto vertices = [&] { return static_cast<uint32_t>(m.first.size()); };
    auto begin = [&](GLenum how) {
        mode = how;
        primStart = vertices();
    };
    auto end = [&] {
        const uint32_t count = vertices() - primStart;
        if (count == 0) {
            return;
        }
        m.triangles += mode == GL_QUADS ? count / 2 : count / 3;
        Op& last = m.ops.back();
        if (last.kind == kOpDraw && last.mode == mode && last.first + last.count == primStart) {
            last.count += count;
            return;
        }
        m.ops.push_back(Op{kOpDraw, false, false, mode, primStart, count, 0, 0, 0.0f});
    };
    auto send = [&](size_t at, size_t faceStart, bool firstVertex, bool fourthCorner) {
        if (firstVertex) {
            CalcNormale(v + faceStart, current);
        }
        if (fourthCorner) {
            m.corners.push_back(vertices());
            m.faceNormal.insert(m.faceNormal.end(), current, current + 3);
        }
        m.normal.insert(m.normal.end(), current, current + 3);
        if (fourthCorner && batch.envmode) {
            // No coordinate is sent: the previous one stays current.
        } else if (j + 1 < uvFloats) {
            m.lastUV[0] = tree.texcoords[j];
            m.lastUV[1] = tree.texcoords[j + 1];
            m.sentUV = true;
        } else {
            ok = false;
        }
        m.uv.push_back(m.lastUV[0]);
        m.uv.push_back(m.lastUV[1]);
        m.pos.insert(m.pos.end(), v + at, v + at + 3);
        m.first.push_back(firstVertex ? 1 : 0);
        j += 2;
    };

    bool finished = false;
    while (i < n && v[i] != kMeshEnd && !finished) {
        const size_t run = m.ops.size();
        m.ops.push_back(
            Op{kOpRun, batch.quads, batch.envmode, 0, vertices(), 0, static_cast<uint32_t>(m.corners.size()), 0, 0.0f});
        begin(batch.quads ? GL_QUADS : GL_TRIANGLES);
        while (i + 9 < n && v[i] < kMeshFaceLimit) {
            ++m.faces;
            const size_t face = i;
            const bool quad = meshFaceIsQuad(batch.quads, v, i, n);
            if (batch.quads && !quad) {
                end();
                begin(GL_TRIANGLES);
            }
            send(face, face, true, false);
            send(face + 3, face, false, false);
            send(face + 6, face, false, false);
            if (quad) {
                send(face + 12, face, false, true);
                i = face + 18;
            } else {
                i = face + 9;
            }
            if (batch.quads && !quad) {
                end();
                begin(GL_QUADS);
            }
            if (v[i] == kMeshEnd) {
                finished = true;
                break;
            }
        }
        end();
        m.ops[run].count = vertices() - m.ops[run].first;
        m.ops[run].corners = static_cast<uint32_t>(m.corners.size()) - m.ops[run].corner;
        if (finished || i >= n || v[i] == kMeshEnd) {
            break;
        }
        if (!m.texrender && v[i] > kMeshMarkerLimit && v[i] != batch.marker) {
            m.ops.push_back(Op{kOpMarker, false, false, 0, 0, 0, 0, 0, v[i]});
            settleTreeBatch(batch, v[i]);
        }
        ++i;
    }
    if (!ok) {
        return;
    }
    // Bounding sphere around the middle of the vertices' box.
    const size_t count = m.first.size();
    if (count > 0) {
        double lo[3] = {m.pos[0], m.pos[1], m.pos[2]};
        double hi[3] = {lo[0], lo[1], lo[2]};
        for (size_t k = 0; k < count; ++k) {
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], static_cast<double>(m.pos[k * 3 + a]));
                hi[a] = std::max(hi[a], static_cast<double>(m.pos[k * 3 + a]));
            }
        }
        double r2 = 0.0;
        for (int a = 0; a < 3; ++a) {
            m.centre[a] = (lo[a] + hi[a]) * 0.5;
        }
        for (size_t k = 0; k < count; ++k) {
            const double dx = m.pos[k * 3] - m.centre[0];
            const double dy = m.pos[k * 3 + 1] - m.centre[1];
            const double dz = m.pos[k * 3 + 2] - m.centre[2];
            r2 = std::max(r2, dx * dx + dy * dy + dz * dz);
        }
        m.radius = std::sqrt(r2);
    }
    growScratch(count);
    m.usable = std::isfinite(m.radius);
}

// Whether the texture settings the walk meets now are those the arrays were
// built with (a run's quads flag decides its primitives).
bool stillMatches(const MeshArrays& m)
{
    if (m.generation != g_generation || m.texrender != (texrender != 0)) {
        return false;
    }
    TreeBatch batch;
    for (const Op& op : m.ops) {
        if (op.kind == kOpMarker) {
            settleTreeBatch(batch, op.marker);
        } else if (op.kind == kOpRun && (op.quads != batch.quads || op.envmode != batch.envmode)) {
            return false;
        }
    }
    return true;
}

MeshArrays* arraysFor(const Tree& tree)
{
    std::unique_ptr<MeshArrays>& slot = g_meshes[tree.vertices];
    if (slot == nullptr) {
        slot = std::make_unique<MeshArrays>();
        build(*slot, tree);
    } else if (slot->texcoordSource != tree.texcoords || !stillMatches(*slot)) {
        build(*slot, tree);
    }
    return slot->usable ? slot.get() : nullptr;
}

// One light's part in a tree's colours.
struct LightStep {
    const c_light* light;
    bool allVertices; // mask 4: every vertex; else first vertices only (mask 8)
    bool clampOnly;   // out of reach: adds 0 but still clamps
    double channel[3];
    // Squared distances beyond this give d above every channel (a margin
    // of 1e-6 covers the rounding of root and quotient); +inf: no shortcut.
    double farSquared;
};

constexpr uint32_t kMaxLightSteps = 256;
LightStep g_steps[kMaxLightSteps];

// Largest factor by which the matrix's 3 x 3 part can stretch a distance
// (its Frobenius norm bounds the spectral one).
double stretchOf(const float* m)
{
    double sum = 0.0;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) {
            sum += static_cast<double>(m[c * 4 + r]) * m[c * 4 + r];
        }
    }
    return std::sqrt(sum);
}

// A light adds max(0, channel/255 - distance/radius) per channel, so nothing
// anywhere beyond radius * (largest channel) / 255.  The tree's vertices lie
// within its sphere (centre moved by the model matrix, radius stretched by
// it); a margin covers the float rounding of the vertices' world positions.
bool outOfReach(const c_light& light, const MeshArrays& m, const float* matrix)
{
    const double radius = light.radius;
    if (!(radius > 0.0) || !std::isfinite(radius)) {
        return false;
    }
    const double reach = std::max({static_cast<double>(light.colour.r), static_cast<double>(light.colour.g),
                                   static_cast<double>(light.colour.b)}) /
                         255.0 * radius;
    const double c[3] = {m.centre[0], m.centre[1], m.centre[2]};
    const double w[3] = {matrix[0] * c[0] + matrix[4] * c[1] + matrix[8] * c[2] + matrix[12],
                         matrix[1] * c[0] + matrix[5] * c[1] + matrix[9] * c[2] + matrix[13],
                         matrix[2] * c[0] + matrix[6] * c[1] + matrix[10] * c[2] + matrix[14]};
    const t_vector& l = *light.positionRef;
    const double dx = l.x - w[0];
    const double dy = l.y - w[1];
    const double dz = l.z - w[2];
    const double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double spread = m.radius * stretchOf(matrix);
    const double scale = std::fabs(w[0]) + std::fabs(w[1]) + std::fabs(w[2]) + spread + std::fabs(l.x) +
                         std::fabs(l.y) + std::fabs(l.z) + 1.0;
    const double nearest = distance - spread - 1.0e-5 * scale;
    return nearest > reach;
}

// Lights for one tree in list order; returns the number of steps and
// whether any of them computes (and so needs the world positions).
uint32_t planLights(const MeshArrays& m, const float* matrix, bool& anyCompute)
{
    anyCompute = false;
    uint32_t used = Level != nullptr ? Level->lightCount : 0;
    used = std::min(used, lightCountBuilt);
    uint32_t steps = 0;
    for (uint32_t k = 0; k < used && steps < kMaxLightSteps; ++k) {
        const c_light& light = Light[k];
        if ((light.mask & (kLightAllVertices | kLightFirstVertex)) == 0 || light.positionRef == nullptr) {
            continue;
        }
        LightStep& s = g_steps[steps++];
        s.light = &light;
        s.allVertices = (light.mask & kLightAllVertices) != 0;
        s.clampOnly = outOfReach(light, m, matrix);
        s.channel[0] = light.colour.r / 255.0;
        s.channel[1] = light.colour.g / 255.0;
        s.channel[2] = light.colour.b / 255.0;
        const double radius = light.radius;
        const double reach = std::max({s.channel[0], s.channel[1], s.channel[2], 0.0}) * radius;
        s.farSquared = radius > 0.0 && std::isfinite(radius) ? reach * reach * (1.0 + 1.0e-6)
                                                             : std::numeric_limits<double>::infinity();
        anyCompute = anyCompute || !s.clampOnly;
    }
    if (used > kMaxLightSteps) {
        steps = 0; // more lights than steps: the caller draws immediately
        anyCompute = true;
    }
    return steps;
}

inline float clampUnit(float v)
{
    v = v > 1.0f ? 1.0f : v;
    return v < 0.0f ? 0.0f : v;
}

// Colours of vertices [first, end): base, then each light step in order,
// exactly as GetLightColor adds and clamps.
void lightRange(const MeshArrays& m, uint32_t first, uint32_t end, const t_rgba& base, uint32_t steps)
{
    float* col = g_colour.data();
    for (uint32_t k = first; k < end; ++k) {
        col[k * 4] = base.r;
        col[k * 4 + 1] = base.g;
        col[k * 4 + 2] = base.b;
        col[k * 4 + 3] = base.a;
    }
    const float* w = g_world.data();
    const uint8_t* firstVertex = m.first.data();
    for (uint32_t s = 0; s < steps; ++s) {
        const LightStep& step = g_steps[s];
        if (step.clampOnly) {
            for (uint32_t k = first; k < end; ++k) {
                if (step.allVertices || firstVertex[k] != 0) {
                    col[k * 4] = clampUnit(col[k * 4] + 0.0f);
                    col[k * 4 + 1] = clampUnit(col[k * 4 + 1] + 0.0f);
                    col[k * 4 + 2] = clampUnit(col[k * 4 + 2] + 0.0f);
                }
            }
            continue;
        }
        const t_vector& l = *step.light->positionRef;
        const double lx = l.x;
        const double ly = l.y;
        const double lz = l.z;
        const double radius = step.light->radius;
        for (uint32_t k = first; k < end; ++k) {
            if (!step.allVertices && firstVertex[k] == 0) {
                continue;
            }
            const double dx = lx - w[k * 3];
            const double dy = ly - w[k * 3 + 1];
            const double dz = lz - w[k * 3 + 2];
            const double d2 = dx * dx + dy * dy + dz * dz;
            if (d2 > step.farSquared) {
                // Beyond the light's reach: every channel adds 0.
                col[k * 4] = clampUnit(col[k * 4] + 0.0f);
                col[k * 4 + 1] = clampUnit(col[k * 4 + 1] + 0.0f);
                col[k * 4 + 2] = clampUnit(col[k * 4 + 2] + 0.0f);
                continue;
            }
            const double d = std::sqrt(d2) / radius;
            for (int c = 0; c < 3; ++c) {
                double add = step.channel[c] - d;
                if (!(add > 0.0)) {
                    add = 0.0;
                }
                col[k * 4 + c] = clampUnit(col[k * 4 + c] + static_cast<float>(add));
            }
        }
    }
}

} // namespace

void meshArraysInvalidate()
{
    ++g_generation;
}

void beginTreeArrays()
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
}

void endTreeArrays()
{
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

bool drawTreeArrays(Tree& tree)
{
    MeshArrays* found = tree.vertices != nullptr ? arraysFor(tree) : nullptr;
    if (found == nullptr) {
        return false;
    }
    MeshArrays& m = *found;
    const bool lit = Level != nullptr && Level->dynamicLighting != 0;
    uint32_t steps = 0;
    const uint32_t vertexTotal = static_cast<uint32_t>(m.first.size());
    if (lit) {
        const double t0 = frameClockUs();
        bool anyCompute = false;
        steps = planLights(m, tree.modelMatrix, anyCompute);
        if (steps == 0 && anyCompute) {
            return false;
        }
        if (anyCompute) {
            // World positions as GetLightColor computes them (float, same order).
            const float* mm = tree.modelMatrix;
            const float* p = m.pos.data();
            float* w = g_world.data();
            for (uint32_t k = 0; k < vertexTotal; ++k) {
                const float x = p[k * 3];
                const float y = p[k * 3 + 1];
                const float z = p[k * 3 + 2];
                w[k * 3] = mm[0] * x + mm[4] * y + mm[8] * z + mm[12];
                w[k * 3 + 1] = mm[1] * x + mm[5] * y + mm[9] * z + mm[13];
                w[k * 3 + 2] = mm[2] * x + mm[6] * y + mm[10] * z + mm[14];
            }
        }
        frameSectionAdd(kSecLighting, t0);
    }
    glEnable(GL_ALPHA_TEST);
    if (texrender) {
        Ttexrender.Select();
    }
    const float* base3 = Level != nullptr ? Level->litBaseColour : nullptr;
    const float* unlit3 = Level != nullptr ? Level->unlitColour : nullptr;
    glVertexPointer(3, GL_FLOAT, 0, m.pos.data());
    glNormalPointer(GL_FLOAT, 0, m.normal.data());
    glTexCoordPointer(2, GL_FLOAT, 0, m.uv.data());
    glColorPointer(4, GL_FLOAT, 0, g_colour.data());
    TreeBatch batch;
    float lastColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (const Op& op : m.ops) {
        switch (op.kind) {
        case kOpRun:
            glEnable(GL_BLEND);
            glDepthFunc(batch.nozbuf ? GL_GREATER : GL_LEQUAL);
            if (op.count == 0) {
                break;
            }
            for (uint32_t c = op.corner; c < op.corner + op.corners; ++c) {
                float* n = &m.normal[static_cast<size_t>(m.corners[c]) * 3];
                if (batch.envmode) {
                    const t_vector* at =
                        reinterpret_cast<const t_vector*>(&m.pos[static_cast<size_t>(m.corners[c]) * 3]);
                    const t_vector r = TransformNormalerize(*at, tree.eyeMatrix);
                    n[0] = r.x;
                    n[1] = r.y;
                    n[2] = r.z;
                } else {
                    std::memcpy(n, &m.faceNormal[static_cast<size_t>(c) * 3], 3 * sizeof(float));
                }
            }
            if (lit) {
                const double t0 = frameClockUs();
                const t_rgba base{base3[0] + batch.emissive.r, base3[1] + batch.emissive.g, base3[2] + batch.emissive.b,
                                  batch.alpha / 100.0f};
                lightRange(m, op.first, op.first + op.count, base, steps);
                std::memcpy(lastColour, &g_colour[static_cast<size_t>(op.first + op.count - 1) * 4], sizeof lastColour);
                frameSectionAdd(kSecLighting, t0);
            } else {
                // One colour for the run, but sent per vertex as the
                // immediate path does: a current colour is interpolated
                // differently from three equal vertex colours (one step
                // apart in some pixels).
                lastColour[0] = std::clamp(unlit3[0] + batch.emissive.r, 0.0f, 1.0f);
                lastColour[1] = std::clamp(unlit3[1] + batch.emissive.g, 0.0f, 1.0f);
                lastColour[2] = std::clamp(unlit3[2] + batch.emissive.b, 0.0f, 1.0f);
                lastColour[3] = batch.alpha / 100.0f;
                for (uint32_t k = op.first; k < op.first + op.count; ++k) {
                    std::memcpy(&g_colour[static_cast<size_t>(k) * 4], lastColour, sizeof lastColour);
                }
            }
            break;
        case kOpDraw: glDrawArrays(op.mode, static_cast<GLint>(op.first), static_cast<GLsizei>(op.count)); break;
        case kOpMarker: takeTreeTexture(batch, op.marker); break;
        }
    }
    objpersec += m.faces;
    g_frameStats.triangles += m.triangles;
    if (vertexTotal > 0) {
        // The current colour, normal and coordinate the immediate walk leaves
        // behind, for the passes that send none of their own.
        glColor4fv(lastColour);
        glNormal3fv(&m.normal[static_cast<size_t>(vertexTotal - 1) * 3]);
        if (m.sentUV) {
            glTexCoord2fv(m.lastUV);
        }
    }
    glDisable(GL_ALPHA_TEST);
    return true;
}
