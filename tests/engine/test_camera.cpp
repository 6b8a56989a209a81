// The camera: start and reset from the level, key movement and turning,
// mouse look with its wrap and clamp, and the view matrix on a real GL
// context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "support/gl_frame.h"
#include "test_camera_fixture.h"

namespace {

constexpr float kCos30 = 0.8660254f;
constexpr float kTol = 1e-5f;

using CameraMotion = CameraTest;

void expectNear(const t_vector& got, const t_vector& want)
{
    EXPECT_NEAR(got.x, want.x, kTol);
    EXPECT_NEAR(got.y, want.y, kTol);
    EXPECT_NEAR(got.z, want.z, kTol);
}

TEST_F(CameraMotion, StartsAtTheLevelStartAndResetsToIt)
{
    level_.camStartPos[0] = 4.0f;
    level_.camStartPos[1] = 5.0f;
    level_.camStartPos[2] = -6.0f;
    level_.camStartYaw = 45.0f;
    t_cam cam;
    EXPECT_TRUE(cam.parentIndex == -1 && cam.positionRef == &cam.position && cam.rotationRef == &cam.rotation);
    expectNear(cam.position, t_vector(4.0f, 5.0f, -6.0f));
    expectNear(t_vector(Cambufx, Cambufy, Cambufz), cam.position);
    EXPECT_FLOAT_EQ(cam.yaw, 45.0f);
    EXPECT_FLOAT_EQ(cam.movespeed, 0.03f);
    EXPECT_FLOAT_EQ(cam.turnspeed, 0.5f);

    cam.position = t_vector(100.0f, 0.0f, 0.0f);
    cam.pitch = 30.0f;
    level_.camStartPos[0] = 7.0f;
    level_.camStartYaw = 90.0f;
    cam.reset();
    expectNear(cam.position, t_vector(7.0f, 5.0f, -6.0f));
    EXPECT_FLOAT_EQ(Cambufx, 7.0f);
    EXPECT_FLOAT_EQ(cam.yaw, 90.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 0.0f);
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
        {"back at yaw 30", 30, 0, 1, {0, 0, -1}, {-0.5f, 0, kCos30}},
        {"left at yaw 30", 30, 0, 1, {1, 0, 0}, {-kCos30, 0, -0.5f}},
        {"forward and right add up", 0, 0, 1, {-1, 0, 1}, {1, 0, -1}},
        {"forward flying follows the pitch", 0, 30, 0, {0, 0, 1}, {0, -0.5f, -1}},
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
        {"a still mouse corrects", -3, -49, 0, true, 0, 0, 0, 0, 1, 359, -45},
        {"mouse look", 10, 5, 0, true, 20, 40, 0, 0, 1, 11, 7},
        {"yaw past 359 wraps to 0", 359, 0, 0, true, 10, 0, 0, 0, 1, 0, 0},
        {"yaw below 0 wraps to 359", 0, 0, 0, true, -2, 0, 0, 0, 1, 359, 0},
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

TEST_F(CameraMotion, ViewMatrixRotatesThenTranslatesByTheNegativePosition)
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

}  // namespace
