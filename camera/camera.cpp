// camera.cpp — camera motion, gravity and box collision, view transform and
// object picking; see camera.h.
#include "camera/camera.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <string>

#include "camera/campath.h"
#include "core/common.h"
#include "particles/particles.h"
#include "platform/files.h"
#include "render/display.h"
#include "render/draw2d.h"

t_cam* Cam = nullptr;
float Cambufx = 0.0f;
float Cambufy = 0.0f;
float Cambufz = 0.0f;
uint8_t Collided = 0;
int32_t objcoll[4] = {-1, -1, -1, -1};
ParticleHeaderFn g_particleHeader = particleSystemHeader;
char scrshoot[100] = "";

namespace {

constexpr float kDegToRad = 0.017453292f;
constexpr float kPickRange = 1000.0f;  // units; objects this far or farther are never picked
constexpr float kYawWrapHigh = 359.0f; // degrees; above it the mouse wraps yaw to 0
constexpr float kPitchMax = 79.0f;     // degrees, looking down
constexpr float kPitchMin = -45.0f;    // degrees, looking up

// The position an object is drawn at (its own or its parent's).
const t_vector& placedAt(const t_objheader& object)
{
    return object.positionRef != nullptr ? *object.positionRef : object.position;
}

const t_vector& turnedBy(const t_objheader& object)
{
    return object.rotationRef != nullptr ? *object.rotationRef : object.rotation;
}

// Plain Euclidean distance; t_vector::Length() reports 1 for a zero vector,
// which would misplace an object lying exactly at the camera.
float distanceBetween(const t_vector& a, const t_vector& b)
{
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    const float dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// Whether the mouse turns the camera this frame.  An object edit takes the
// mouse, and so does the GUI pointer while rotlock holds it.
bool mouseLooks()
{
    if (objRot != 0) {
        return false;
    }
    // GuiOn alone (editor mode sets it) does not show a GUI that was never
    // created; the mouse would then do nothing at all.
    const bool guiShown = Gui != nullptr && GuiOn != 0;
    return !(guiShown && rotlock == 1);
}

constexpr const char* kPathFile = "recfile.movie";

// Whether the frame grabbed last (its name still in scrshoot) reached the
// disk: the renderer writes it at the end of that frame.
bool lastGrabWritten()
{
    return scrshoot[0] == '\0' || lastScreenshotWritten();
}

void clearCollision()
{
    Collided = 0;
    for (int32_t& entry : objcoll) {
        entry = -1;
    }
}

// Box test at the current pos that records its hit in Collided and objcoll.
struct CollisionProbe {
    const t_vector& pos;
    const t_vector& prev;
    float eyeHeight;
    const Tree* trees;
    uint32_t treeCount;
    int32_t tree = -1; // last tree hit by the latest probe
    int32_t box = -1;  // last face box hit by the latest probe

    bool operator()()
    {
        if (!camBoxTest(pos, prev, eyeHeight, trees, treeCount, &tree, &box)) {
            return false;
        }
        Collided = 1;
        objcoll[0] = tree;
        objcoll[1] = box;
        objcoll[2] = tree;
        objcoll[3] = box;
        return true;
    }
};

} // namespace

t_camRecord camRecordOf(const t_cam& cam)
{
    return t_camRecord{cam.position.x, cam.position.y, cam.position.z, cam.yaw,
                       cam.pitch,      cam.movespeed,  cam.turnspeed};
}

void applyCamRecord(t_cam& cam, const t_camRecord& r)
{
    cam.position = t_vector(r.x, r.y, r.z);
    cam.yaw = r.yaw;
    cam.pitch = r.pitch;
    cam.movespeed = r.movespeed;
    cam.turnspeed = r.turnspeed;
}

t_cam::t_cam()
    : recfile(nullptr), movespeed(0.03f), turnspeed(0.5f), yaw(0.0f), pitch(0.0f), grab(0), play(0), record(0),
      grabcount(0), pathTimer(0.0f), grabTimer(0.0f)
{
    parentIndex = -1;
    positionRef = &position;
    rotationRef = &rotation;
    std::memcpy(viewmatrix, identity, sizeof viewmatrix);
    // Opened for update, never created or truncated: without an existing
    // file the path can be neither recorded nor played (the commands say so).
    FileError error = FileError::None;
    recfile = OpenRegularFileForUpdate(kPathFile, kCamPathMaxBytes, &error);
    if (recfile == nullptr && error != FileError::NotFound) {
        std::printf("Warnung: Kamerapfad %s %s, Aufnahme und Wiedergabe aus\n", kPathFile, FileErrorText(error));
    }
    reset();
}

t_cam::~t_cam()
{
    if (recfile != nullptr) {
        std::fclose(recfile);
        recfile = nullptr;
    }
}

void t_cam::reset()
{
    if (Level != nullptr) {
        position = t_vector(Level->camStartPos[0], Level->camStartPos[1], Level->camStartPos[2]);
        yaw = Level->camStartYaw;
    }
    pitch = 0.0f;
    Cambufx = position.x;
    Cambufy = position.y;
    Cambufz = position.z;
}

void t_cam::cammove(const t_camMouse& mouse)
{
    steer(g_frametime, mouse.moved, mouse.moved ? mouse.dx : 0, mouse.moved ? mouse.dy : 0);
    grabStep(g_frametime);
    update();
    Cambufx = position.x;
    Cambufy = position.y;
    Cambufz = position.z;
}

void t_cam::steer(float dt, bool mouseMoved, int32_t mousedx, int32_t mousedy)
{
    const float yawRad = yaw * kDegToRad;
    const float pitchRad = pitch * kDegToRad;

    if (move.z > 0.0f || move.z < 0.0f) {
        // Forward is -z at yaw 0; only a free-flying camera follows the pitch.
        const float sign = move.z > 0.0f ? -1.0f : 1.0f;
        position.z += sign * movespeed * std::cos(yawRad) * dt;
        position.x += sign * movespeed * std::sin(-yawRad) * dt;
        if (collon == 0) {
            position.y += sign * movespeed * std::sin(pitchRad) * dt;
        }
    }
    if (move.x > 0.0f || move.x < 0.0f) {
        const float sign = move.x > 0.0f ? -1.0f : 1.0f;
        position.x += sign * movespeed * std::cos(yawRad) * dt;
        position.z += sign * movespeed * std::sin(yawRad) * dt;
    }

    if (turn.x > 0.0f) {
        yaw += turnspeed * dt;
    } else if (turn.x < 0.0f) {
        yaw -= turnspeed * dt;
    }
    if (turn.y > 0.0f) {
        pitch += turnspeed * dt;
    } else if (turn.y < 0.0f) {
        pitch -= turnspeed * dt;
    }
    move = t_vector();
    turn = t_vector();

    if (!mouseMoved) {
        return;
    }
    if (mouseLooks()) {
        const float sensitivity = Level != nullptr ? Level->mouseSensitivity : 0.0f;
        yaw += static_cast<float>(mousedx) * (sensitivity * dt);
        pitch += static_cast<float>(mousedy) * (sensitivity * dt);
    }
    if (yaw > kYawWrapHigh) {
        yaw = 0.0f;
    }
    if (yaw < 0.0f) {
        yaw = kYawWrapHigh;
    }
    if (pitch > kPitchMax) {
        pitch = kPitchMax;
    }
    if (pitch < kPitchMin) {
        pitch = kPitchMin;
    }
}

void t_cam::grabStep(float dt)
{
    if (grab == 0) {
        return;
    }
    grabTimer += dt;
    if (grabTimer < kCamSampleTime) {
        return;
    }
    grabTimer = 0.0f;
    if (!lastGrabWritten()) {
        Con.printf("Bild %s wurde nicht geschrieben, Aufnahme der Bilder beendet", scrshoot);
        std::printf("Bild %s wurde nicht geschrieben, Aufnahme der Bilder beendet\n", scrshoot);
        grab = 0;
        scrshoot[0] = '\0';
        return;
    }
    char name[sizeof scrshoot];
    grabFileName(grabcount, name, sizeof name);
    if (!grabFileWritable(name)) {
        Con.printf("%s ist keine normale Datei, Aufnahme der Bilder beendet", name);
        std::printf("%s ist keine normale Datei, Aufnahme der Bilder beendet\n", name);
        grab = 0;
        return;
    }
    std::memcpy(scrshoot, name, sizeof scrshoot);
    ++grabcount;
    requestScreenshot(scrshoot);
}

void t_cam::toggleGrab()
{
    if (grab != 0) {
        grab = 0;
        return;
    }
    std::string why;
    if (!grabDirReady(&why)) {
        Con.printf("Keine Bilder: %s", why.c_str());
        std::printf("Keine Bilder: %s\n", why.c_str());
        return;
    }
    scrshoot[0] = '\0'; // a new run: nothing to check yet
    grab = 1;
}

void t_cam::pathStep(float dt)
{
    if ((play == 0 && record == 0) || recfile == nullptr) {
        return;
    }
    pathTimer += dt;
    if (pathTimer < kCamSampleTime) {
        return;
    }
    // Reset, not reduced: a slow frame records or plays at most one sample.
    pathTimer = 0.0f;
    t_camRecord state = camRecordOf(*this);
    if (play != 0) {
        camPlaySample(recfile, state);
        applyCamRecord(*this, state);
    } else if (!camRecordSample(recfile, state)) {
        record = 0;
        Con.printf("%s: Aufnahme beendet (voll oder nicht schreibbar)", kPathFile);
        std::printf("%s: Aufnahme beendet (voll oder nicht schreibbar)\n", kPathFile);
    }
}

void t_cam::update()
{
    // Recording and playback come first, so a played-back sample is
    // collided and viewed this frame.
    pathStep(g_frametime);
    clearCollision();
    if (collon != 0 && Level != nullptr) {
        const t_camPhysics physics{Level->gravity, Level->eyeHeight, Level->stepHeight};
        const uint32_t treeCount = baum != nullptr ? Level->treeCount : 0;
        camCollide(position, t_vector(Cambufx, Cambufy, Cambufz), g_frametime, physics, baum, treeCount);
    }
    glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(yaw, 0.0f, 1.0f, 0.0f);
    glTranslatef(-position.x, -position.y, -position.z);
    glGetFloatv(GL_MODELVIEW_MATRIX, viewmatrix);
}

bool camBoxTest(const t_vector& pos, const t_vector& prev, float eyeHeight, const Tree* trees, uint32_t treeCount,
                int32_t* hitTree, int32_t* hitBox)
{
    const float ex = std::fabs(pos.x - prev.x);
    const float ey = std::fabs(pos.y - prev.y);
    const float ez = std::fabs(pos.z - prev.z);
    const float feetY = pos.y - eyeHeight;
    bool hit = false;
    for (uint32_t i = 0; i < treeCount; ++i) {
        const Tree& tree = trees[i];
        if (tree.collidable == 0) {
            continue;
        }
        for (int32_t j = 0; j < 6; ++j) {
            const t_vector& lo = tree.faceMin[j];
            const t_vector& hi = tree.faceMax[j];
            if (pos.x + ex >= lo.x && pos.x - ex <= hi.x && feetY + ey >= lo.y && feetY - ey <= hi.y &&
                pos.z + ez >= lo.z && pos.z - ez <= hi.z) {
                hit = true;
                if (hitTree != nullptr) {
                    *hitTree = static_cast<int32_t>(i);
                }
                if (hitBox != nullptr) {
                    *hitBox = j;
                }
            }
        }
    }
    return hit;
}

void camCollide(t_vector& pos, const t_vector& prev, float dt, const t_camPhysics& physics, const Tree* trees,
                uint32_t treeCount)
{
    CollisionProbe probe{pos, prev, physics.eyeHeight, trees, treeCount};
    const float fall = physics.gravity * dt;

    pos.y -= fall;
    if (probe()) {
        pos.y += fall; // standing on something
    }

    Collided = 0;
    objcoll[0] = -1;
    objcoll[1] = -1;
    if (probe()) {
        const float d = std::fabs(trees[probe.tree].faceMax[probe.box].y - pos.y);
        if (d <= physics.stepHeight) {
            // Climb gradually; the frame's horizontal step is spent on it.
            pos.y += d * dt;
            pos.x = prev.x;
            pos.z = prev.z;
            return;
        }
    }

    Collided = 0;
    if (!probe()) {
        return;
    }
    // Try each horizontal axis alone; keep whichever single-axis move is free.
    const float newX = pos.x;
    const float newZ = pos.z;
    pos.x = prev.x;
    const bool blockedAlongZ = probe();
    pos.x = newX;
    pos.z = prev.z;
    const bool blockedAlongX = probe();
    pos.x = blockedAlongX ? prev.x : newX;
    pos.z = blockedAlongZ ? prev.z : newZ;
}

t_objheader* t_cam::getClosestObj()
{
    if (Level == nullptr || (Level->treeCount == 0 && Level->personCount == 0)) {
        return nullptr;
    }
    float best = kPickRange;
    t_objheader* closest = nullptr;
    auto consider = [&](t_objheader* object) {
        if (object == nullptr) {
            return;
        }
        const float d = distanceBetween(position, placedAt(*object));
        if (d < best) {
            best = d;
            closest = object;
        }
    };
    const uint32_t treeCount = baum != nullptr ? Level->treeCount : 0;
    for (uint32_t i = 0; i < treeCount; ++i) {
        consider(&baum[i].header);
    }
    const uint32_t personCount = player != nullptr ? Level->personCount : 0;
    for (uint32_t i = 0; i < personCount; ++i) {
        consider(&player[i].header);
    }
    if (g_particleHeader != nullptr) {
        for (uint32_t i = 0; i < Level->particleSystemCount; ++i) {
            consider(g_particleHeader(i));
        }
    }
    return closest;
}

t_objheader* t_cam::getClosestObj2D(float x, float y)
{
    GLint savedMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &savedMode);
    glMatrixMode(GL_MODELVIEW);
    // Start from the identity so the result does not depend on whatever the
    // frame left on the model-view stack when the command runs.
    glPushMatrix();
    glLoadIdentity();
    glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(yaw, 0.0f, 1.0f, 0.0f);
    glTranslatef(-position.x, -position.y, -position.z);

    float m[16];
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glPopMatrix();
    t_vector pointer(m[12] + m[0] * x + m[4] * y, m[13] + m[1] * x + m[5] * y, m[14] + m[2] * x + m[6] * y);
    pointer = t_vector(-pointer.x, -pointer.y, 0.0f);

    float best = kPickRange;
    float lastDistance = kPickRange; // reported as is when there are no trees
    t_vector treePoint;
    t_objheader* closest = nullptr;
    const uint32_t treeCount = (Level != nullptr && baum != nullptr) ? Level->treeCount : 0;
    for (uint32_t i = 0; i < treeCount; ++i) {
        const t_vector& t = placedAt(baum[i].header);
        const t_vector& r = turnedBy(baum[i].header);
        float n[16];
        glPushMatrix();
        glTranslatef(t.x, t.y, t.z);
        glRotatef(r.x, 1.0f, 0.0f, 0.0f);
        glRotatef(r.y, 0.0f, 1.0f, 0.0f);
        glRotatef(r.z, 0.0f, 0.0f, 1.0f);
        glGetFloatv(GL_MODELVIEW_MATRIX, n);
        glPopMatrix();
        const t_vector point(n[12] + n[0] * t.x + n[4] * t.y + n[8] * t.z, n[13] + n[1] * t.x + n[5] * t.y + n[9] * t.z,
                             0.0f);
        lastDistance = distanceBetween(point, pointer);
        if (lastDistance < best) {
            best = lastDistance;
            closest = &baum[i].header;
            treePoint = point;
        }
    }
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(savedMode));

    Con.printf("pointerois x %f y %f z %f post: x %f y %f z%f dot: %f", pointer.x, pointer.y, pointer.z, treePoint.x,
               treePoint.y, treePoint.z, lastDistance);
    return closest;
}
