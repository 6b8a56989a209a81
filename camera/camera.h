// camera.h — the first-person camera: motion from key and mouse requests,
// gravity and collision against the trees' face boxes, the view transform,
// picking the nearest object for the editor, and recording, playing back
// and grabbing its path (the file and names in campath.h).
//
// There is one camera, `Cam`, created at start-up after the input part and
// deleted at shutdown; reset() puts it back at the level's start on every
// level load.  Key commands write one-frame requests into `move` and `turn`
// (and the recording flags); the 3D pass calls cammove() once per frame
// before anything is drawn, which consumes the requests, moves and collides
// the camera and loads its transform onto the current model-view matrix.
// Everything else reads the position, `yaw`, `pitch` and `viewmatrix`.
//
// The frame time g_frametime scales every speed.  The collision point lies
// eyeHeight below the camera position.
#pragma once

#include <cstdint>
#include <cstdio>

#include "camera/campath.h"
#include "core/mathlib.h"
#include "scene/objects.h"

// The mouse of one frame as the camera needs it; the engine copies it from
// the input part before the 3D pass.
struct t_camMouse {
    bool moved = false; // a mouse-move message arrived this frame
    int32_t dx = 0;     // pixels, positive right; the last message's delta
    int32_t dy = 0;     // pixels, positive down
};

class t_cam : public t_objheader {
public:
    FILE* recfile;        // open "recfile.movie" for path recording/playback, or null
    float movespeed;      // units per second
    float turnspeed;      // degrees per second for key turning
    t_vector move;        // one-frame requests: x strafe (+1 left, -1 right), z (+1 forward, -1 back)
    t_vector turn;        // one-frame requests: x yaw (+1 right, -1 left), y pitch (+1 down, -1 up)
    float yaw;            // degrees; the mouse keeps it in 0..359
    float pitch;          // degrees; the mouse keeps it in -45..79
    float viewmatrix[16]; // model-view matrix after the camera transform, column-major
    uint8_t grab;         // 1: grab the display into numbered image files
    uint8_t play;         // 1: play the recorded path back
    uint8_t record;       // 1: record the path
    int32_t grabcount;    // number of the next grabbed frame; never reset
    float pathTimer;      // seconds of frame time since the last path sample (record/play)
    float grabTimer;      // seconds of frame time since the last grabbed frame

    // Links the header to the camera's own position and rotation, sets the
    // default speeds, opens "recfile.movie" for update when it exists (it is
    // never created here), then reset().  Needs Level for the start pose.
    t_cam();
    // Closes recfile.
    ~t_cam();
    t_cam(const t_cam&) = delete;
    t_cam& operator=(const t_cam&) = delete;

    // Back to the level's start position and yaw, pitch 0; the previous-frame
    // position (Cambufx/y/z) becomes the start position too.  Without a
    // level only pitch and the buffer change.
    void reset();

    // The camera's frame: steer() with g_frametime and this frame's mouse,
    // then update(), then the position becomes the previous-frame position.
    // Called first in the 3D pass.
    void cammove(const t_camMouse& mouse);

    // Key movement and turning with frame time dt (seconds), clearing of the
    // requests, and mouse look with the given mouse state (deltas in pixels,
    // x right, y down).  Angles are wrapped and clamped only when mouseMoved.
    // Reads collon, objRot, rotlock, GuiOn and Level->mouseSensitivity.
    void steer(float dt, bool mouseMoved, int32_t mousedx, int32_t mousedy);

    // Frame grabbing with frame time dt: every 0.04 s while `grab` is set,
    // asks the renderer to write the frame being drawn (finished, before the
    // buffers switch) to the next "SCRSHT/Screenshot%04i.ppm" in scrshoot.
    // Ends grabbing with a console message when the folder is unusable or
    // the previous frame was not written.  Called by cammove.
    void grabStep(float dt);

    // Path recording or playback with frame time dt, while `play` or
    // `record` is set and recfile is open (playback wins): every 0.04 s one
    // record is read into, or written from, the position, yaw, pitch and
    // speeds.  Recording that cannot write ends with a console message.
    // Called first by update().
    void pathStep(float dt);

    // Grabbing switched on by a command: checks (and makes) the SCRSHT
    // folder first; when nothing could be written there it says so on the
    // console and grabbing stays off.  Switching off always works.
    void toggleGrab();

    // Gravity and collision (while collon is set and a level exists), then
    // the view transform: composes the camera transform onto the current
    // model-view matrix and reads the result into viewmatrix.  Needs a
    // current GL context.  Called by cammove.
    void update();

    // The nearest tree, person or particle system (in that scan order, ties
    // keep the earlier) closer than 1000 units, or null.  Null whenever the
    // level has no trees and no persons.
    t_objheader* getClosestObj();

    // The tree nearest to the GUI pointer (x, y in GUI coordinates, -1..1) as
    // seen by the camera, or null; prints the pointer and tree points to the
    // console.  Leaves the GL matrices as it found them.  Needs a GL context.
    t_objheader* getClosestObj2D(float x, float y);
};

// The camera; valid from start-up to shutdown, null before and after.
extern t_cam* Cam;

// The camera's part of a path record, and back.
t_camRecord camRecordOf(const t_cam& cam);
void applyCamRecord(t_cam& cam, const t_camRecord& record);

// Name of the last grabbed frame ("" before the first).
extern char scrshoot[100];

// Camera position at the end of the previous frame (world units); the box
// test sweeps from here.
extern float Cambufx, Cambufy, Cambufz;
// 1 when the last box test of this frame hit a box.
extern uint8_t Collided;
// Tree index, face box index, tree index, face box index of the last box hit;
// -1 when none.
extern int32_t objcoll[4];

// The camera's fall and climb limits, taken from the level record.
struct t_camPhysics {
    float gravity;    // units per second of fall while collision is on
    float eyeHeight;  // units from the tested point up to the camera
    float stepHeight; // largest distance from a box top to the camera it climbs
};

// Does the camera at `pos`, coming from `prev` (last frame's end position),
// touch a face box of a collidable tree?  The point tested lies eyeHeight
// below pos; each box is widened on every axis by the distance moved along
// that axis this frame.  On a hit, *hitTree and *hitBox (when not null) get
// the last box hit in tree-then-box order.  Pure; trees may be null when
// treeCount is 0.
bool camBoxTest(const t_vector& pos, const t_vector& prev, float eyeHeight, const Tree* trees, uint32_t treeCount,
                int32_t* hitTree, int32_t* hitBox);

// One frame of gravity and collision for the camera at `pos` (already moved
// by this frame's requests) coming from `prev`: fall by gravity·dt, stand on
// a box (the fall undone), climb onto a box top within stepHeight (horizontal
// motion cancelled), or slide along a wall.  Writes Collided and objcoll;
// expects them cleared by the caller as update() does.  No GL.
void camCollide(t_vector& pos, const t_vector& prev, float dt, const t_camPhysics& physics, const Tree* trees,
                uint32_t treeCount);

// The object header of particle system `index` (0 <= index <
// Level->particleSystemCount), or null.  particleSystemHeader of the particle
// systems (particles/particles.h); while it is null getClosestObj searches no
// particle system.
using ParticleHeaderFn = t_objheader* (*)(uint32_t index);
extern ParticleHeaderFn g_particleHeader;
