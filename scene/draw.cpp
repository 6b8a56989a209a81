// draw.cpp — object turning, editor moves and drawing of persons and trees.
#include "scene/draw.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "core/common.h"
#include "image/texlist.h"
#include "render/frustum.h"
#include "scene/light.h"
#include "scene/meshpool.h"

t_vector* g_viewerPosition = nullptr;
const float* g_viewerYaw = nullptr;
t_objheader* selectedObj = nullptr;
ParticleSystemMovedFn g_particleSystemMoved = nullptr;
t_vector vecobjmove;
uint32_t objpersec = 0;
uint32_t texswperframe = 0;
float viewMatrix[16];
Person playerFigure;
STexture playerTexture;

namespace {

constexpr const char* kPlayerModel = "obj/player/pilot/pilot.md2";
constexpr const char* kPlayerSkin = "obj/player/pilot/pilot.ppm";
constexpr float kPlayerDrop = 0.37f;      // units below the camera
constexpr float kPlayerStepSpeed = 28.0f; // frames per second while walking

t_vector cameraPosition()
{
    return g_viewerPosition != nullptr ? *g_viewerPosition : t_vector();
}

float clamp01(float v)
{
    return v > 1.0f ? 1.0f : (v < 0.0f ? 0.0f : v);
}

void rotateBy(const t_vector& r)
{
    glRotatef(r.x, 1.0f, 0.0f, 0.0f);
    glRotatef(r.y, 0.0f, 1.0f, 0.0f);
    glRotatef(r.z, 0.0f, 0.0f, 1.0f);
}

// Drawing state of one tree's stream, reset for every tree.
struct Batch {
    float alpha = 100.0f; // percent
    t_rgb emissive{0.0f, 0.0f, 0.0f};
    bool quads = false;
    bool nozbuf = false;
    bool envmode = false;
    float marker = 0.0f;
};

void takeTexture(Batch& batch, float marker)
{
    batch.marker = marker;
    const int32_t t = meshMarkerTexture(marker);
    if (t < 0 || t > TexList.lastIndex) {
        // A texture the list does not hold: defaults, nothing selected.
        batch = Batch{};
        batch.marker = marker;
        return;
    }
    TexList.selectTexture(static_cast<int>(t));
    TexList.selectEnvmode(TexList.envmode[t]);
    TexList.selectBlendmode(TexList.blendmode[t]);
    ++texswperframe;
    batch.alpha = static_cast<float>(TexList.blend[t]);
    batch.nozbuf = TexList.nozbuf[t];
    batch.quads = TexList.quads[t];
    batch.emissive = TexList.emissive[t];
    batch.envmode = TexList.envmode[t];
}

} // namespace

void updateTree(Tree& tree, float dt)
{
    const t_vector& s = tree.header.rotationSpeed;
    if (s.x == 0.0f && s.y == 0.0f && s.z == 0.0f) {
        return;
    }
    tree.header.rotation.x += s.x * dt;
    tree.header.rotation.y += s.z * dt;
    tree.header.rotation.z += s.y * dt;
    calcViewMatrix(&tree.header, tree.modelMatrix);
}

void updatePerson(Person& person, float dt)
{
    const t_vector& s = person.header.rotationSpeed;
    if (s.x == 0.0f && s.y == 0.0f && s.z == 0.0f) {
        return;
    }
    person.header.rotation.x += s.x * dt;
    person.header.rotation.y += s.y * dt;
    person.header.rotation.z += s.z * dt;
}

void updateMeshs()
{
    if (Level == nullptr) {
        return;
    }
    for (uint32_t i = 0; player != nullptr && i < Level->personCount; ++i) {
        updatePerson(player[i], g_frametime);
    }
    for (uint32_t i = 0; baum != nullptr && i < Level->treeCount; ++i) {
        updateTree(baum[i], g_frametime);
    }
}

void setSceneViewer(t_vector* position, const float* yaw)
{
    g_viewerPosition = position;
    g_viewerYaw = yaw;
}

void moveobj(float speed)
{
    if (selectedObj == nullptr || selectedObj->positionRef == nullptr) {
        return;
    }
    const float step = speed * g_frametime;
    t_vector& p = *selectedObj->positionRef;
    float* axes[3] = {&p.x, &p.y, &p.z};
    const float request[3] = {vecobjmove.x, vecobjmove.y, vecobjmove.z};
    for (int a = 0; a < 3; ++a) {
        if (request[a] > 0.0f) {
            *axes[a] += step;
        } else if (request[a] < 0.0f) {
            *axes[a] -= step;
        }
    }
    vecobjmove = t_vector();
    if (selectedObj->type == kObjTree) {
        calcMeshBB(selectedObj);
    } else if (selectedObj->type == kObjParticleSystem && g_particleSystemMoved != nullptr) {
        g_particleSystemMoved(selectedObj);
    }
}

void applyBillboard(int32_t billboard)
{
    if (billboard <= 0) {
        return;
    }
    glGetFloatv(GL_MODELVIEW_MATRIX, viewMatrix);
    float m[16];
    std::memcpy(m, identity, sizeof m);
    m[12] = viewMatrix[12];
    m[13] = viewMatrix[13];
    m[14] = viewMatrix[14];
    if (billboard >= 2) {
        m[5] = viewMatrix[5];
        m[6] = viewMatrix[6];
        m[9] = viewMatrix[9];
        m[10] = viewMatrix[10];
    }
    glLoadMatrixf(m);
}

void Tree::drawMesh(bool)
{
    glEnable(GL_ALPHA_TEST);
    if (vertices == nullptr) {
        glDisable(GL_ALPHA_TEST);
        return;
    }
    if (texrender) {
        Ttexrender.Select();
    }
    const bool lit = Level != nullptr && Level->dynamicLighting != 0;
    const float* base3 = Level != nullptr ? Level->litBaseColour : nullptr;
    const float* unlit3 = Level != nullptr ? Level->unlitColour : nullptr;
    const size_t uvFloats = static_cast<size_t>(vertexCount) * 2;
    const float* v = vertices;
    const size_t n = streamLength;
    Batch batch;
    size_t i = 0;
    size_t j = 0;
    size_t k = 0;

    // One corner: colour, normal, texture coordinate, position.
    auto send = [&](size_t at, size_t faceStart, bool first, bool fourthCorner) {
        if (lit) {
            t_rgba base{base3[0] + batch.emissive.r, base3[1] + batch.emissive.g, base3[2] + batch.emissive.b,
                        batch.alpha / 100.0f};
            glColor4fv(&GetLightColor(reinterpret_cast<const t_vector*>(v + at), header.positionRef, &base,
                                      first ? (kLightAllVertices | kLightFirstVertex) : kLightAllVertices, modelMatrix)
                            ->r);
        } else if (first) {
            glColor4f(clamp01(unlit3[0] + batch.emissive.r), clamp01(unlit3[1] + batch.emissive.g),
                      clamp01(unlit3[2] + batch.emissive.b), batch.alpha / 100.0f);
        }
        if (normals != nullptr) {
            if (!fourthCorner && k + 2 < static_cast<size_t>(vertexCount) * 3) {
                glNormal3fv(normals + k);
                k += 3;
            }
        } else if (first) {
            float normal[3];
            CalcNormale(v + faceStart, normal);
            glNormal3fv(normal);
        }
        if (fourthCorner && batch.envmode) {
            Normalerize(reinterpret_cast<const t_vector*>(v + at), eyeMatrix);
        } else if (texcoords != nullptr && j + 1 < uvFloats) {
            glTexCoord2fv(texcoords + j);
        }
        glVertex3fv(v + at);
        j += 2;
    };

    bool finished = false;
    while (i < n && v[i] != kMeshEnd && !finished) {
        glEnable(GL_BLEND);
        glDepthFunc(batch.nozbuf ? GL_GREATER : GL_LEQUAL);
        glBegin(batch.quads ? GL_QUADS : GL_TRIANGLES);
        while (i + 9 < n && v[i] < kMeshFaceLimit) {
            ++objpersec;
            const size_t face = i;
            const bool quad = meshFaceIsQuad(batch.quads, v, i, n);
            if (batch.quads && !quad) {
                // A lone triangle in a quads run.
                glEnd();
                glBegin(GL_TRIANGLES);
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
                glEnd();
                glBegin(GL_QUADS);
            }
            if (v[i] == kMeshEnd) {
                finished = true;
                break;
            }
        }
        glEnd();
        if (finished || i >= n || v[i] == kMeshEnd) {
            break;
        }
        if (!texrender && v[i] > kMeshMarkerLimit && v[i] != batch.marker) {
            takeTexture(batch, v[i]);
        }
        ++i;
    }
    glDisable(GL_ALPHA_TEST);
}

void drawMeshs(bool, float objMoveSpeed)
{
    if (Level == nullptr) {
        return;
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    moveobj(objMoveSpeed);
    glPushMatrix();
    const t_vector cam = cameraPosition();
    const float reach = Level->viewDistance;
    const bool lit = Level->dynamicLighting != 0;
    for (uint32_t i = 0; player != nullptr && i < Level->personCount; ++i) {
        Person& person = player[i];
        const t_vector& p = *person.header.positionRef;
        if (!(std::fabs(cam.x - p.x) < reach && std::fabs(cam.z - p.z) < reach)) {
            continue;
        }
        glPushMatrix();
        glTranslatef(p.x, p.y, p.z);
        applyBillboard(person.billboard);
        rotateBy(*person.header.rotationRef);
        if (person.skin != nullptr) {
            TexList.selectTexture(person.skin);
        }
        glEnable(GL_ALPHA_TEST);
        glDisable(GL_BLEND);
        if (lit) {
            const t_rgba base{Level->litBaseColour[0], Level->litBaseColour[1], Level->litBaseColour[2], 1.0f};
            const t_vector origin;
            glColor4fv(&GetLightColor(&origin, person.header.positionRef, &base, kLightAllVertices, nullptr)->r);
        } else {
            glColor4f(Level->unlitColour[0], Level->unlitColour[1], Level->unlitColour[2], 1.0f);
        }
        person.model.Animate(person.loopStart, person.loopEnd, person.animSpeed * g_frametime);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_BLEND);
        glPopMatrix();
    }
    glPopMatrix();
    objpersec = 0;
    texswperframe = 0;
    buildFrustum();
    for (uint32_t i = 0; baum != nullptr && i < Level->treeCount; ++i) {
        Tree& tree = baum[i];
        tree.collidable = 0;
        const t_vector& p = *tree.header.positionRef;
        if (!(std::fabs(cam.x - p.x) < reach + 1.0f && std::fabs(cam.z - p.z) < reach + 1.0f)) {
            continue;
        }
        if (tree.vertices == nullptr) {
            continue;
        }
        tree.collidable = 1;
        if (!boxIntersectsFrustum(tree.corners)) {
            continue;
        }
        glPushMatrix();
        glTranslatef(p.x, p.y, p.z);
        applyBillboard(tree.billboard);
        rotateBy(*tree.header.rotationRef);
        glGetFloatv(GL_MODELVIEW_MATRIX, tree.eyeMatrix);
        tree.drawMesh(false);
        glPopMatrix();
    }
    // The passes after this one (sky, text, GUI) expect the frame's start
    // state: no sphere mapping, plain replacing blend, the usual depth test.
    TexList.selectEnvmode(false);
    TexList.selectBlendmode(kBlendReplace);
    glDepthFunc(GL_LEQUAL);
}

void initPlayerFigure()
{
    playerTexture.createTexture(kPlayerSkin, GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    playerFigure.model.Load(kPlayerModel);
    playerFigure.loopStart = 0;
    playerFigure.loopEnd = 18;
    playerFigure.animSpeed = 23.0f;
}

void drawPlayerFigure()
{
    playerTexture.Select();
    const t_vector cam = cameraPosition();
    glTranslatef(cam.x, cam.y - kPlayerDrop, cam.z);
    glRotatef((g_viewerYaw != nullptr ? *g_viewerYaw : 0.0f) + 180.0f, 0.0f, -1.0f, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    if (g_playermove == 1) {
        playerFigure.model.Animate(0, 18, g_frametime * kPlayerStepSpeed);
        g_playermove = 0;
    } else {
        playerFigure.model.Render(0, 1.0f);
    }
}
