// editor.cpp — the editor's overlays, selection and object edits.
#include "editor/editor.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "camera/camera.h"
#include "core/common.h"
#include "core/sys.h"
#include "editor/history.h"
#include "gui/gui.h"
#include "particles/particles.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "scene/draw.h"

char* treebuf = nullptr;

namespace {

// Mouse pixels to world units for moving and scaling, before sensitivity.
constexpr float kMouseToUnits = 0.002f;
// The marker square: the original side in units, grown with the distance
// so that it stays a few pixels wide on screen (a fixed 0.005 units is
// below one pixel beyond a couple of units).
constexpr float kQuadSize = 0.005f;
constexpr float kQuadPerDistance = 0.01f;
constexpr float kAxisLength = 0.3f;
constexpr float kAxisHeadBack = 0.28f;
constexpr float kAxisHeadSide = 0.003f;
constexpr float kOverlayNear = 0.1f;
constexpr float kOverlayFar = 10000.0f;
const float kBoxRed[4] = {1.0f, 0.0f, 0.0f, 0.5f};

bool editorOn()
{
    return leveled != 0 && Level != nullptr;
}

uint32_t treeCount()
{
    return baum != nullptr && Level != nullptr ? Level->treeCount : 0;
}

uint32_t personCount()
{
    return player != nullptr && Level != nullptr ? Level->personCount : 0;
}

uint32_t particleCount()
{
    return g_snowstorm != nullptr ? g_snowstormCount : 0;
}

// The selected particle system, when the selection is one.
CSnowstorm* selectedSystem()
{
    return selectedObj != nullptr && selectedObj->type == kObjParticleSystem ? particleSystemOf(selectedObj) : nullptr;
}

// A particle system's culling box follows its origin and extents.
void particleBoxChanged(uint32_t index)
{
    if (CSnowstorm* system = particleSystemAt(index)) {
        system->calcTBBox();
    }
}

// After an edit every tree's boxes follow: a moved parent carries its
// followers along.
void recomputeBoxes()
{
    for (uint32_t i = 0; i < treeCount(); ++i) {
        calcMeshBB(i);
    }
}

const t_vector& placed(const t_objheader& h)
{
    return h.positionRef != nullptr ? *h.positionRef : h.position;
}

const t_vector& turned(const t_objheader& h)
{
    return h.rotationRef != nullptr ? *h.rotationRef : h.rotation;
}

t_vector cameraAt()
{
    return Cam != nullptr ? Cam->position : t_vector();
}

float distance(const t_vector& a, const t_vector& b)
{
    const t_vector d = a - b;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

void marker(const t_objheader* h)
{
    if (h == nullptr) {
        return;
    }
    const t_vector& p = placed(*h);
    const float grown = kQuadPerDistance * distance(p, cameraAt());
    draw_Quad(p, grown > kQuadSize ? grown : kQuadSize);
}

void axisArrow(const t_vector& p, const t_vector& axis, const t_vector& side)
{
    const t_vector tip = p + axis * kAxisLength;
    const t_vector back = p + axis * kAxisHeadBack;
    glVertex3f(p.x, p.y, p.z);
    glVertex3f(tip.x, tip.y, tip.z);
    for (float sign : {1.0f, -1.0f}) {
        const t_vector end = back + side * (sign * kAxisHeadSide);
        glVertex3f(tip.x, tip.y, tip.z);
        glVertex3f(end.x, end.y, end.z);
    }
}

// The selected object after the lists were rebuilt: the one `id` names.
void selectId(const t_objId& id)
{
    selectedObj = headerOf(id);
    if (selectedObj != nullptr && selectedObj->type == kObjParticleSystem) {
        selectedParticlesys = static_cast<int32_t>(id.index);
    }
}

} // namespace

// --- Object identity ---------------------------------------------------------

bool idOf(const t_objheader* h, t_objId& id)
{
    if (h == nullptr) {
        return false;
    }
    for (uint32_t i = 0; i < treeCount(); ++i) {
        if (&baum[i].header == h) {
            id = {kObjTree, i};
            return true;
        }
    }
    for (uint32_t i = 0; i < personCount(); ++i) {
        if (&player[i].header == h) {
            id = {kObjPerson, i};
            return true;
        }
    }
    for (uint32_t i = 0; i < particleCount(); ++i) {
        if (particleSystemHeader(i) == h) {
            id = {kObjParticleSystem, i};
            return true;
        }
    }
    return false;
}

t_objheader* headerOf(const t_objId& id)
{
    switch (id.type) {
    case kObjTree: return id.index < treeCount() ? &baum[id.index].header : nullptr;
    case kObjPerson: return id.index < personCount() ? &player[id.index].header : nullptr;
    case kObjParticleSystem: return particleSystemHeader(id.index);
    default: return nullptr;
    }
}

bool readPose(const t_objId& id, t_pose& pose)
{
    t_objheader* h = headerOf(id);
    if (h == nullptr) {
        return false;
    }
    pose.position = placed(*h);
    pose.rotation = turned(*h);
    if (const CSnowstorm* system = id.type == kObjParticleSystem ? particleSystemAt(id.index) : nullptr) {
        pose.extent[0] = system->halfWidth;
        pose.extent[1] = system->height;
        pose.extent[2] = system->halfDepth;
    }
    return true;
}

void writePose(const t_objId& id, const t_pose& pose)
{
    t_objheader* h = headerOf(id);
    if (h == nullptr || h->positionRef == nullptr) {
        return;
    }
    *h->positionRef = pose.position;
    if (id.type == kObjParticleSystem) {
        if (CSnowstorm* system = particleSystemAt(id.index)) {
            system->halfWidth = pose.extent[0];
            system->height = pose.extent[1];
            system->halfDepth = pose.extent[2];
        }
        particleBoxChanged(id.index);
    } else if (h->rotationRef != nullptr) {
        *h->rotationRef = pose.rotation;
    }
    recomputeBoxes();
}

void selectObjectById(const t_objId* id)
{
    selectedObj = nullptr;
    if (id != nullptr) {
        selectId(*id);
    }
}

// --- Drawing -------------------------------------------------------------

void draw_Quad(const t_vector& c, float size)
{
    const float h = size / 2.0f;
    glBegin(GL_QUADS);
    glVertex3f(c.x - h, c.y + h, c.z);
    glVertex3f(c.x + h, c.y + h, c.z);
    glVertex3f(c.x + h, c.y - h, c.z);
    glVertex3f(c.x - h, c.y - h, c.z);
    glEnd();
}

void draw_3DAxes(const t_vector& p)
{
    glBegin(GL_LINES);
    glColor3f(1.0f, 1.0f, 0.0f);
    axisArrow(p, t_vector(1, 0, 0), t_vector(0, 1, 0));
    glColor3f(0.0f, 1.0f, 0.0f);
    axisArrow(p, t_vector(0, 1, 0), t_vector(1, 0, 0));
    glColor3f(0.0f, 0.0f, 1.0f);
    axisArrow(p, t_vector(0, 0, 1), t_vector(0, 1, 0));
    glEnd();
}

void draw_WiredBox(const t_vector& o, const t_vector& s, const float colour[4])
{
    const float xs[2] = {o.x, o.x + s.x};
    const float ys[2] = {o.y, o.y + s.y};
    const float zs[2] = {o.z, o.z + s.z};
    glColor4fv(colour);
    glBegin(GL_LINES);
    // Four edges along each axis: the other two coordinates take both ends.
    for (int a = 0; a < 2; ++a) {
        for (int b = 0; b < 2; ++b) {
            glVertex3f(xs[0], ys[a], zs[b]);
            glVertex3f(xs[1], ys[a], zs[b]);
            glVertex3f(xs[a], ys[0], zs[b]);
            glVertex3f(xs[a], ys[1], zs[b]);
            glVertex3f(xs[a], ys[b], zs[0]);
            glVertex3f(xs[a], ys[b], zs[1]);
        }
    }
    glEnd();
}

void describeSelection(char* out, unsigned long size)
{
    if (size == 0) {
        return;
    }
    out[0] = '\0';
    const t_objheader* h = selectedObj;
    if (h == nullptr) {
        return;
    }
    const char* name = h->name != nullptr ? h->name : "";
    const t_vector& p = placed(*h);
    if (const CSnowstorm* system = selectedSystem()) {
        std::snprintf(out, size, "%s: \n         origin x: %f y: %f z: %f  dim x: %f y: %f z: %f    ", name, p.x, p.y,
                      p.z, system->halfWidth, system->height, system->halfDepth);
        return;
    }
    const t_vector& r = turned(*h);
    std::snprintf(out, size, "%s: \n          x: %f y: %f z: %f \n          rotx: %f roty: %f rotz: %f", name, p.x, p.y,
                  p.z, r.x, r.y, r.z);
}

void draw_3DLevelEDstuff()
{
    edSyncHelpWindow();
    if (!editorOn()) {
        return;
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    const float aspect =
        g_view.screenHeight > 0 ? static_cast<float>(g_view.screenWidth) / static_cast<float>(g_view.screenHeight) : 1.0f;
    // The scene's own field of view, so the marks sit on the objects also
    // with "-ngrad"; the far plane lies beyond any view distance.
    gluPerspective(ngrad ? 90.0 : 45.0, aspect, kOverlayNear, kOverlayFar);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_FOG);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (uint32_t i = 0; i < treeCount(); ++i) {
        marker(&baum[i].header);
    }
    for (uint32_t i = 0; i < particleCount(); ++i) {
        marker(particleSystemHeader(i));
    }
    for (uint32_t i = 0; i < personCount(); ++i) {
        marker(&player[i].header);
    }

    if (const t_objheader* h = selectedObj) {
        const t_vector& p = placed(*h);
        draw_3DAxes(p);
        if (h->type == kObjTree && h->index < treeCount()) {
            const Tree& tree = baum[h->index];
            const t_vector& r = turned(*h);
            const float* b = tree.localBox;
            glPushMatrix();
            glTranslatef(p.x, p.y, p.z);
            glRotatef(r.x, 1.0f, 0.0f, 0.0f);
            glRotatef(r.y, 0.0f, 1.0f, 0.0f);
            glRotatef(r.z, 0.0f, 0.0f, 1.0f);
            draw_WiredBox(t_vector(b[0], b[1], b[2]), t_vector(b[3] - b[0], b[4] - b[1], b[5] - b[2]), kBoxRed);
            glPopMatrix();
        } else if (const CSnowstorm* system = selectedSystem()) {
            // The volume the particles fall through: down from the top face
            // at the origin.
            t_vector low;
            t_vector size;
            particleSystemOutline(*system, &low, &size);
            draw_WiredBox(low, size, kBoxRed);
        }
        char text[512];
        describeSelection(text, sizeof text);
        Con.printf("%s", text);
    }

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    if (Fogon != 0) {
        glEnable(GL_FOG);
    }
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
}

void draw_2DLevelEDstuff()
{
}

// --- Selection and edits ---------------------------------------------------

void edSelectNearest()
{
    if (!editorOn() || Cam == nullptr) {
        return;
    }
    selectedObj = Cam->getClosestObj();
    t_objId id;
    if (selectedObj != nullptr && selectedObj->type == kObjParticleSystem && idOf(selectedObj, id)) {
        selectedParticlesys = static_cast<int32_t>(id.index);
    }
}

void edSelectAtPointer(float x, float y)
{
    if (!editorOn() || Cam == nullptr || Gui == nullptr) {
        return;
    }
    selectedObj = Cam->getClosestObj2D(x, y);
}

void edLoad(const char* path)
{
    if (!editorOn() || path == nullptr) {
        return;
    }
    historyListEdit([&] { return addTree(path, false); });
}

void edCopy()
{
    if (!editorOn() || selectedObj == nullptr || selectedObj->name == nullptr) {
        return;
    }
    delete[] treebuf;
    treebuf = newStringCopy(selectedObj->name);
}

void edPaste()
{
    if (!editorOn() || treebuf == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < treeCount(); ++i) {
        if (baum[i].header.name != nullptr && strcasecmp(baum[i].header.name, treebuf) == 0) {
            const t_objheader* source = &baum[i].header;
            historyListEdit([&] { return addTree(source, true); });
            return;
        }
    }
}

void edDelete()
{
    if (!editorOn() || selectedObj == nullptr) {
        return;
    }
    const uint32_t type = selectedObj->type;
    if (type != kObjTree && type != kObjPerson) {
        return;
    }
    t_objheader* doomed = selectedObj;
    historyListEdit([&] {
        delTree(doomed);
        return Cam != nullptr ? Cam->getClosestObj() : nullptr;
    });
}

void edMouseMove(bool alongZ, int32_t dx, int32_t dy, float s)
{
    if (!editorOn() || selectedObj == nullptr || selectedObj->positionRef == nullptr) {
        return;
    }
    objRot = 1;
    historyTransform(alongZ ? kEditMoveZ : kEditMoveX, dx != 0 || dy != 0);
    t_vector& p = *selectedObj->positionRef;
    (alongZ ? p.z : p.x) += static_cast<float>(dx) * s * kMouseToUnits;
    p.y -= static_cast<float>(dy) * s * kMouseToUnits;
    if (selectedObj->type == kObjParticleSystem) {
        particleBoxChanged(selectedObj->index);
    }
    recomputeBoxes();
}

void edMouseRotate(int axis, int32_t dx)
{
    if (!editorOn() || selectedObj == nullptr || selectedObj->rotationRef == nullptr || axis < 0 || axis > 2 ||
        selectedObj->type == kObjParticleSystem) {
        return;
    }
    objRot = 1;
    historyTransform(kEditRotateX + axis, dx != 0);
    t_vector& r = *selectedObj->rotationRef;
    float* component[3] = {&r.x, &r.y, &r.z};
    *component[axis] += static_cast<float>(dx);
    recomputeBoxes();
}

void edMouseScale(bool alongZ, int32_t dx, int32_t dy, float s)
{
    CSnowstorm* system = editorOn() ? selectedSystem() : nullptr;
    if (system == nullptr) {
        return;
    }
    objRot = 1;
    historyTransform(alongZ ? kEditScaleZ : kEditScaleX, dx != 0 || dy != 0);
    const float across = static_cast<float>(dx) * s * kMouseToUnits;
    const float fall = -static_cast<float>(dy) * s * kMouseToUnits;
    // Extents stop at 0: a level file keeps no negative box.
    scaleParticleSystem(*system, alongZ ? 0.0f : across, fall, alongZ ? across : 0.0f);
}

void edKeyMove(int axis, float sign)
{
    if (!editorOn() || selectedObj == nullptr || axis < 0 || axis > 2) {
        return;
    }
    historyTransform(kEditKeyMove, true);
    float* component[3] = {&vecobjmove.x, &vecobjmove.y, &vecobjmove.z};
    *component[axis] = sign;
}

void edWriteBack()
{
    if (Level == nullptr) {
        return;
    }
    writeBackParticleSystems(Level);
    if (Level->treeTable != nullptr) {
        writeBackTrees(Level->treeTable, treeCount());
    }
    if (Level->personTable != nullptr) {
        writeBackPersons(Level->personTable, personCount());
    }
}
