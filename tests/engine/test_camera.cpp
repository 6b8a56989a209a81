// The camera: construction and reset from the level, key movement and
// turning, mouse look with its wrap and clamp, the view matrix on a real GL
// context, and picking the nearest object in 3D and under the GUI pointer.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "gl_fixture.h"
#include "render/draw2d.h"
#include "test_camera_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr float kCos30 = 0.8660254f;
constexpr float kTol = 1e-5f;

using CameraSetup = CameraTest;
using CameraMotion = CameraTest;
using CameraView = CameraTest;
using CameraPick = CameraTest;

void expectNear(const t_vector& got, const t_vector& want)
{
    EXPECT_NEAR(got.x, want.x, kTol);
    EXPECT_NEAR(got.y, want.y, kTol);
    EXPECT_NEAR(got.z, want.z, kTol);
}

TEST_F(CameraSetup, StartsAtTheLevelStartWithTheDefaultSpeeds)
{
    level_.camStartPos[0] = 4.0f;
    level_.camStartPos[1] = 5.0f;
    level_.camStartPos[2] = -6.0f;
    level_.camStartYaw = 45.0f;
    t_cam cam;
    EXPECT_TRUE(cam.parentIndex == -1 && cam.positionRef == &cam.position &&
                cam.rotationRef == &cam.rotation);
    expectNear(cam.position, t_vector(4.0f, 5.0f, -6.0f));
    expectNear(t_vector(Cambufx, Cambufy, Cambufz), cam.position);
    EXPECT_FLOAT_EQ(cam.yaw, 45.0f);
    EXPECT_FLOAT_EQ(cam.movespeed, 0.03f);
    EXPECT_FLOAT_EQ(cam.turnspeed, 0.5f);
    EXPECT_EQ(cam.grab + cam.play + cam.record + cam.grabcount, 0);

    // reset() after wandering off, and after the level's start moved.
    cam.position = t_vector(100.0f, 0.0f, 0.0f);
    cam.yaw = 200.0f;
    cam.pitch = 30.0f;
    level_.camStartPos[0] = 7.0f;
    level_.camStartYaw = 90.0f;
    cam.reset();
    expectNear(cam.position, t_vector(7.0f, 5.0f, -6.0f));
    EXPECT_FLOAT_EQ(Cambufx, 7.0f);
    EXPECT_FLOAT_EQ(cam.yaw, 90.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 0.0f);
}

TEST_F(CameraSetup, RecordingFileIsOpenedForUpdateOnlyWhenItExists)
{
    const fs::path old = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("vext_cam" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    // Back to the old directory however the test ends.
    std::shared_ptr<void> leave(nullptr, [&](void*) {
        fs::current_path(old);
        fs::remove_all(dir);
    });
    {
        t_cam cam;
        EXPECT_EQ(cam.recfile, nullptr);
    }
    EXPECT_FALSE(fs::exists("recfile.movie")) << "the camera must not create the file";

    std::ofstream("recfile.movie") << "0123456789";
    {
        t_cam cam;
        ASSERT_NE(cam.recfile, nullptr);
        EXPECT_EQ(std::fputc('X', cam.recfile), 'X');   // writable, at the start
    }
    // Closed by the destructor (the write reached the file), never truncated.
    std::ifstream in("recfile.movie");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "X123456789");
}

TEST_F(CameraMotion, MoveRequestsFollowYawAndPitchForOneFrame)
{
    // movespeed 2, dt 0.5: one unit per request.  Forward at yaw 0 is -z;
    // move.x +1 strafes left; pitch 30 looks down.
    const struct {
        const char* what;
        float yaw, pitch;
        uint8_t collon;
        t_vector move, want;
    } cases[] = {
        {"forward, pitch ignored with collision", 0, 30, 1, {0, 0, 1}, {0, 0, -1}},
        {"forward at yaw 30", 30, 0, 1, {0, 0, 1}, {0.5f, 0, -kCos30}},
        {"back at yaw 30", 30, 0, 1, {0, 0, -1}, {-0.5f, 0, kCos30}},
        {"left at yaw 30", 30, 0, 1, {1, 0, 0}, {-kCos30, 0, -0.5f}},
        {"right at yaw 30", 30, 0, 1, {-1, 0, 0}, {kCos30, 0, 0.5f}},
        {"forward and right add up", 0, 0, 1, {-1, 0, 1}, {1, 0, -1}},
        {"forward flying follows the pitch", 0, 30, 0, {0, 0, 1}, {0, -0.5f, -1}},
        {"back flying", 0, 30, 0, {0, 0, -1}, {0, 0.5f, 1}},
        {"strafing never climbs", 0, 30, 0, {1, 0, 0}, {-1, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        collon = c.collon;
        t_cam cam;
        cam.movespeed = 2.0f;
        cam.yaw = c.yaw;
        cam.pitch = c.pitch;
        cam.move = c.move;
        cam.turn = t_vector(1.0f, 1.0f, 0.0f);
        cam.steer(0.5f, false, 0, 0);
        expectNear(cam.position, c.want);
        // The requests last one frame.
        expectNear(cam.move, t_vector());
        expectNear(cam.turn, t_vector());
    }
}

TEST_F(CameraMotion, KeysTurnFreelyAndTheMouseWrapsYawAndClampsPitch)
{
    // dt 0.1: keys turn 5 degrees a frame, the mouse 0.05 degrees a pixel.
    level_.mouseSensitivity = 0.5f;
    const struct {
        const char* what;
        float yaw, pitch;
        float turn;   // both axes
        bool moved;
        int dx, dy;
        uint8_t objRot, gui, rotlock;   // gui: 0 none, 1 shown, 2 GuiOn without a GUI
        float wantYaw, wantPitch;
    } cases[] = {
        {"keys never wrap or clamp", 358, 78, 1, false, 0, 0, 0, 0, 1, 363, 83},
        {"nor the other way", 2, -44, -1, false, 0, 0, 0, 0, 1, -3, -49},
        {"a still mouse corrects", -3, -49, 0, true, 0, 0, 0, 0, 1, 359, -45},
        {"mouse look", 10, 5, 0, true, 20, 40, 0, 0, 1, 11, 7},
        {"yaw past 359 wraps to 0", 359, 0, 0, true, 10, 0, 0, 0, 1, 0, 0},
        {"yaw below 0 wraps to 359", 0, 0, 0, true, -2, 0, 0, 0, 1, 359, 0},
        {"yaw 359 stays", 359, 0, 0, true, 0, 0, 0, 0, 1, 359, 0},
        {"pitch clamps at 79", 0, 78, 0, true, 0, 100, 0, 0, 1, 0, 79},
        {"pitch clamps at -45", 0, -44, 0, true, 0, -100, 0, 0, 1, 0, -45},
        {"object edit: no look, corrected", 365, 85, 0, true, 1000, 1000, 1, 0, 1, 0, 79},
        {"GUI pointer with rotlock: no look", 20, 10, 0, true, 100, 100, 0, 1, 1, 20, 10},
        {"GUI without rotlock: look", 20, 10, 0, true, 100, 100, 0, 1, 0, 25, 15},
        {"GuiOn without a GUI: look", 20, 10, 0, true, 100, 100, 0, 2, 1, 25, 15},
        {"mouse still: deltas ignored", 365, 0, 0, false, 100, 100, 0, 0, 1, 365, 0},
    };
    char guiStandIn = 0;   // only its address is used: the camera never calls the GUI
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        objRot = c.objRot;
        GuiOn = c.gui != 0 ? 1 : 0;
        Gui = c.gui == 1 ? reinterpret_cast<CGui*>(&guiStandIn) : nullptr;
        rotlock = c.rotlock;
        t_cam cam;
        cam.turnspeed = 50.0f;
        cam.yaw = c.yaw;
        cam.pitch = c.pitch;
        cam.turn = t_vector(c.turn, c.turn, 0.0f);
        cam.steer(0.1f, c.moved, c.dx, c.dy);
        EXPECT_NEAR(cam.yaw, c.wantYaw, 1e-4f);
        EXPECT_NEAR(cam.pitch, c.wantPitch, 1e-4f);
    }
}

TEST_F(CameraView, ViewMatrixRotatesThenTranslatesByTheNegativePosition)
{
    ASSERT_TRUE(ensureGLContext());
    collon = 0;
    t_cam cam;
    const struct {
        const char* what;
        t_vector position;
        float yaw, pitch;
        float want[16];   // column-major
    } cases[] = {
        // Looks along +x: R_y(90) * T(-1, -2, -3).
        {"yaw 90", {1, 2, 3}, 90, 0, {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, -3, -2, 1, 1}},
        // Pitch applies in the view's frame, after the yaw: R_x(90) * R_y(90).
        // The point below the camera is straight ahead, the one that was
        // ahead (+x) is at the top of the view.
        {"yaw 90, pitch 90", {0, 0, 0}, 90, 90, {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1}},
    };
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        cam.position = c.position;
        cam.yaw = c.yaw;
        cam.pitch = c.pitch;
        glLoadIdentity();
        cam.update();
        float current[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, current);
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(cam.viewmatrix[i], c.want[i], kTol) << "element " << i;
            EXPECT_EQ(current[i], cam.viewmatrix[i]) << "element " << i;
        }
    }

    // Composed onto whatever is current: R_x(90) * T(0, -5, 0) after a
    // translation by -10 along z.
    cam.position = t_vector(0.0f, 5.0f, 0.0f);
    cam.yaw = 0.0f;
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -10.0f);
    cam.update();
    EXPECT_NEAR(cam.viewmatrix[14], -15.0f, kTol);
    glPopMatrix();
}

// The particle system handed to the camera in the picking tests.
t_objheader g_particle;

void place(t_objheader& object, const t_vector& at)
{
    object.position = at;
    object.positionRef = &object.position;
    object.rotationRef = &object.rotation;
}

TEST_F(CameraPick, ClosestObjectWithinRangeTiesKeepingTheEarlier)
{
    t_cam cam;
    place(g_particle, t_vector(0.0f, 0.0f, 0.0f));
    level_.particleSystemCount = 1;
    g_particleHeader = [](uint32_t index) { return index == 0 ? &g_particle : nullptr; };
    // Without trees and persons nothing is picked, not even a particle
    // system; counts without lists are not dereferenced.
    EXPECT_EQ(cam.getClosestObj(), nullptr);
    level_.treeCount = 2;
    level_.personCount = 2;
    EXPECT_EQ(cam.getClosestObj(), &g_particle);

    Tree trees[2];
    Person persons[2];
    place(trees[0].header, t_vector(3.0f, 0.0f, 4.0f));       // 5
    place(trees[1].header, t_vector(0.0f, 5.0f, 0.0f));       // 5
    place(persons[0].header, t_vector(0.0f, 0.0f, -5.0f));    // 5
    place(persons[1].header, t_vector(0.0f, -6.0f, 0.0f));    // 6
    baum = trees;
    player = persons;
    level_.particleSystemCount = 0;
    EXPECT_EQ(cam.getClosestObj(), &trees[0].header);
    persons[1].header.position.y = -4.0f;                      // now nearest
    EXPECT_EQ(cam.getClosestObj(), &persons[1].header);

    // The effective position counts: tree 1 follows a parent at the camera.
    // A particle system there too only wins when strictly nearer.
    t_vector parentPos(0.0f, 0.0f, 0.0f);
    trees[1].header.positionRef = &parentPos;
    level_.particleSystemCount = 1;
    EXPECT_EQ(cam.getClosestObj(), &trees[1].header);

    // Exactly 1000 away is out of range.
    level_.personCount = 0;
    level_.particleSystemCount = 0;
    cam.position = t_vector(10.0f, 0.0f, 0.0f);
    place(trees[0].header, t_vector(10.0f, 0.0f, 1000.0f));
    place(trees[1].header, t_vector(10.0f, 1200.0f, 0.0f));
    EXPECT_EQ(cam.getClosestObj(), nullptr);
    trees[0].header.position.z = 999.9f;
    EXPECT_EQ(cam.getClosestObj(), &trees[0].header);
}

TEST_F(CameraPick, PointerPickFindsTheTreeNearestOnScreen)
{
    ASSERT_TRUE(ensureGLContext());
    t_cam cam;                          // at the origin, yaw 0, pitch 0
    Tree trees[2];
    place(trees[0].header, t_vector(1.0f, 0.0f, -5.0f));      // screen point (2, 0)
    place(trees[1].header, t_vector(0.2f, 0.3f, -1.0f));      // screen point (0.4, 0.6)
    baum = trees;
    level_.treeCount = 2;

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(7.0f, 0.0f, 0.0f);    // leftovers of the frame do not matter
    float before[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    EXPECT_EQ(cam.getClosestObj2D(0.0f, 0.0f), &trees[1].header);
    EXPECT_STREQ(txtcon, "pointerois x -0.000000 y -0.000000 z 0.000000 post: x 0.400000 "
                         "y 0.600000 z0.000000 dot: 0.721110");
    // The pointer at (0.5, 0.5): P = -(2 * 0.5, 2 * 0.5) = (-1, -1).
    EXPECT_EQ(cam.getClosestObj2D(0.5f, 0.5f), &trees[1].header);
    EXPECT_NE(std::strstr(txtcon, "pointerois x -1.000000 y -1.000000"), nullptr) << txtcon;

    float after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    EXPECT_EQ(std::memcmp(after, before, sizeof after), 0);
    glPopMatrix();

    level_.treeCount = 0;
    EXPECT_EQ(cam.getClosestObj2D(0.0f, 0.0f), nullptr);
}

}  // namespace
