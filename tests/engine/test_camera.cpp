// The camera: construction and reset from the level, key movement and
// turning, mouse look with its wrap and clamp, the view matrix on a real GL
// context, and picking the nearest object in 3D and under the GUI pointer.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gl_fixture.h"
#include "render/draw2d.h"
#include "test_camera_fixture.h"

namespace {

constexpr float kCos30 = 0.8660254f;
constexpr float kTol = 1e-5f;

using CameraSetup = CameraTest;
using CameraMotion = CameraTest;
using CameraView = CameraTest;
using CameraPick = CameraTest;

// Runs the test body inside a fresh temporary directory, then returns.
class InTempDir {
public:
    InTempDir()
    {
        char buf[] = "/tmp/vext_camXXXXXX";
        dir_ = mkdtemp(buf) != nullptr ? buf : "";
        if (getcwd(old_, sizeof old_) == nullptr || dir_.empty() || chdir(dir_.c_str()) != 0) {
            dir_.clear();
        }
    }
    ~InTempDir()
    {
        if (!dir_.empty()) {
            EXPECT_EQ(chdir(old_), 0);
            std::remove((dir_ + "/recfile.movie").c_str());
            rmdir(dir_.c_str());
        }
    }
    bool ok() const { return !dir_.empty(); }

private:
    std::string dir_;
    char old_[PATH_MAX] = {};
};

std::string readFile(const char* name)
{
    std::string text;
    if (FILE* f = std::fopen(name, "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) {
            text.push_back(static_cast<char>(c));
        }
        std::fclose(f);
    }
    return text;
}

TEST_F(CameraSetup, ConstructorLinksTheHeaderAndStartsAtTheLevelStart)
{
    level_.camStartPos[0] = 4.0f;
    level_.camStartPos[1] = 5.0f;
    level_.camStartPos[2] = -6.0f;
    level_.camStartYaw = 45.0f;
    t_cam cam;
    EXPECT_EQ(cam.parentIndex, -1);
    EXPECT_EQ(cam.positionRef, &cam.position);
    EXPECT_FLOAT_EQ(cam.position.x, 4.0f);
    EXPECT_FLOAT_EQ(cam.position.y, 5.0f);
    EXPECT_FLOAT_EQ(cam.position.z, -6.0f);
    EXPECT_FLOAT_EQ(cam.yaw, 45.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 0.0f);
    EXPECT_FLOAT_EQ(cam.movespeed, 0.03f);
    EXPECT_FLOAT_EQ(cam.turnspeed, 0.5f);
    EXPECT_FLOAT_EQ(cam.move.x + cam.move.y + cam.move.z, 0.0f);
    EXPECT_FLOAT_EQ(cam.turn.x + cam.turn.y + cam.turn.z, 0.0f);
    EXPECT_EQ(cam.grab + cam.play + cam.record, 0);
    EXPECT_EQ(cam.grabcount, 0);
    EXPECT_FLOAT_EQ(Cambufx, 4.0f);
    EXPECT_FLOAT_EQ(Cambufy, 5.0f);
    EXPECT_FLOAT_EQ(Cambufz, -6.0f);

    // reset() after wandering off, and after the level's start moved.
    cam.position = t_vector(100.0f, 0.0f, 0.0f);
    cam.yaw = 200.0f;
    cam.pitch = 30.0f;
    level_.camStartPos[0] = 7.0f;
    level_.camStartYaw = 90.0f;
    cam.reset();
    EXPECT_FLOAT_EQ(cam.position.x, 7.0f);
    EXPECT_FLOAT_EQ(cam.position.y, 5.0f);
    EXPECT_FLOAT_EQ(cam.yaw, 90.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 0.0f);
    EXPECT_FLOAT_EQ(Cambufx, 7.0f);
}

TEST_F(CameraSetup, RecordingFileIsOpenedForUpdateOnlyWhenItExists)
{
    InTempDir tmp;
    ASSERT_TRUE(tmp.ok());
    {
        t_cam cam;
        EXPECT_EQ(cam.recfile, nullptr);
    }
    EXPECT_EQ(std::fopen("recfile.movie", "rb"), nullptr) << "the camera must not create the file";

    FILE* f = std::fopen("recfile.movie", "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("0123456789abcdefghijklmnopqrstuvwxyz", f);
    std::fclose(f);
    {
        t_cam cam;
        ASSERT_NE(cam.recfile, nullptr);
        // Open for reading and writing from the start.
        char head[4] = {};
        ASSERT_EQ(std::fread(head, 1, 3, cam.recfile), 3u);
        EXPECT_STREQ(head, "012");
        std::fseek(cam.recfile, 0, SEEK_CUR);
        EXPECT_EQ(std::fputc('X', cam.recfile), 'X');
    }
    // Closed by the destructor (the write reached the file), never truncated.
    EXPECT_EQ(readFile("recfile.movie"), "012X456789abcdefghijklmnopqrstuvwxyz");
}

TEST_F(CameraMotion, ForwardAndBackwardFollowTheYaw)
{
    t_cam cam;
    cam.movespeed = 2.0f;
    cam.pitch = 30.0f;                 // ignored while collision is on

    cam.move.z = 1.0f;
    cam.steer(0.5f, false, 0, 0);      // 1 unit at yaw 0: straight along -z
    EXPECT_NEAR(cam.position.z, -1.0f, kTol);
    EXPECT_NEAR(cam.position.x, 0.0f, kTol);
    EXPECT_FLOAT_EQ(cam.position.y, 0.0f);

    cam.position = t_vector();
    cam.yaw = 30.0f;
    cam.move.z = 1.0f;
    cam.steer(0.5f, false, 0, 0);
    EXPECT_NEAR(cam.position.x, 0.5f, kTol);
    EXPECT_NEAR(cam.position.z, -kCos30, kTol);

    cam.position = t_vector();
    cam.move.z = -1.0f;
    cam.steer(0.5f, false, 0, 0);
    EXPECT_NEAR(cam.position.x, -0.5f, kTol);
    EXPECT_NEAR(cam.position.z, kCos30, kTol);
    EXPECT_FLOAT_EQ(cam.position.y, 0.0f);
}

TEST_F(CameraMotion, StrafingIsSidewaysToTheYaw)
{
    t_cam cam;
    cam.movespeed = 2.0f;
    cam.yaw = 30.0f;
    cam.move.x = 1.0f;                 // left
    cam.steer(0.5f, false, 0, 0);
    EXPECT_NEAR(cam.position.x, -kCos30, kTol);
    EXPECT_NEAR(cam.position.z, -0.5f, kTol);

    cam.position = t_vector();
    cam.move.x = -1.0f;                // right
    cam.steer(0.5f, false, 0, 0);
    EXPECT_NEAR(cam.position.x, kCos30, kTol);
    EXPECT_NEAR(cam.position.z, 0.5f, kTol);

    // Forward and strafe together add up.
    cam.position = t_vector();
    cam.yaw = 0.0f;
    cam.move = t_vector(-1.0f, 0.0f, 1.0f);
    cam.steer(0.5f, false, 0, 0);
    EXPECT_NEAR(cam.position.x, 1.0f, kTol);
    EXPECT_NEAR(cam.position.z, -1.0f, kTol);
}

TEST_F(CameraMotion, PitchMovesAlongYOnlyWithCollisionOff)
{
    collon = 0;
    t_cam cam;
    cam.movespeed = 2.0f;
    cam.pitch = 30.0f;                 // looking down
    cam.move.z = 1.0f;
    cam.steer(0.5f, false, 0, 0);
    EXPECT_NEAR(cam.position.y, -0.5f, kTol);
    EXPECT_NEAR(cam.position.z, -1.0f, kTol);

    cam.position = t_vector();
    cam.move.z = -1.0f;
    cam.steer(0.5f, false, 0, 0);
    EXPECT_NEAR(cam.position.y, 0.5f, kTol);

    // Strafing never climbs.
    cam.position = t_vector();
    cam.move.x = 1.0f;
    cam.steer(0.5f, false, 0, 0);
    EXPECT_FLOAT_EQ(cam.position.y, 0.0f);
}

TEST_F(CameraMotion, RequestsLastOneFrame)
{
    t_cam cam;
    cam.movespeed = 1.0f;
    cam.turnspeed = 10.0f;
    cam.move = t_vector(1.0f, 0.0f, 1.0f);
    cam.turn = t_vector(1.0f, 1.0f, 0.0f);
    cam.steer(0.1f, false, 0, 0);
    EXPECT_FLOAT_EQ(cam.move.x + cam.move.y + cam.move.z, 0.0f);
    EXPECT_FLOAT_EQ(cam.turn.x + cam.turn.y + cam.turn.z, 0.0f);
    const t_vector after = cam.position;
    const float yaw = cam.yaw;
    cam.steer(0.1f, false, 0, 0);
    EXPECT_FLOAT_EQ(cam.position.x, after.x);
    EXPECT_FLOAT_EQ(cam.position.z, after.z);
    EXPECT_FLOAT_EQ(cam.yaw, yaw);
}

TEST_F(CameraMotion, KeyTurningNeverWrapsOrClamps)
{
    t_cam cam;
    cam.turnspeed = 10.0f;
    cam.yaw = 358.0f;
    cam.pitch = 78.0f;
    cam.turn = t_vector(1.0f, 1.0f, 0.0f);   // right and down
    cam.steer(0.5f, false, 0, 0);
    EXPECT_FLOAT_EQ(cam.yaw, 363.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 83.0f);

    cam.yaw = 2.0f;
    cam.pitch = -44.0f;
    cam.turn = t_vector(-1.0f, -1.0f, 0.0f); // left and up
    cam.steer(0.5f, false, 0, 0);
    EXPECT_FLOAT_EQ(cam.yaw, -3.0f);
    EXPECT_FLOAT_EQ(cam.pitch, -49.0f);

    // The first frame with mouse movement corrects both.
    cam.steer(0.5f, true, 0, 0);
    EXPECT_FLOAT_EQ(cam.yaw, 359.0f);
    EXPECT_FLOAT_EQ(cam.pitch, -45.0f);
}

TEST_F(CameraMotion, MouseLookWrapsYawAndClampsPitch)
{
    level_.mouseSensitivity = 0.5f;    // with dt 0.1: 0.05 degrees per pixel
    t_cam cam;
    cam.yaw = 10.0f;
    cam.pitch = 5.0f;
    cam.steer(0.1f, true, 20, 40);
    EXPECT_NEAR(cam.yaw, 11.0f, kTol);
    EXPECT_NEAR(cam.pitch, 7.0f, kTol);

    cam.yaw = 359.0f;
    cam.steer(0.1f, true, 10, 0);      // 359.5
    EXPECT_FLOAT_EQ(cam.yaw, 0.0f);
    cam.steer(0.1f, true, -2, 0);      // -0.1
    EXPECT_FLOAT_EQ(cam.yaw, 359.0f);
    cam.yaw = 359.0f;
    cam.steer(0.1f, true, 0, 0);       // exactly 359 stays
    EXPECT_FLOAT_EQ(cam.yaw, 359.0f);

    cam.pitch = 78.0f;
    cam.steer(0.1f, true, 0, 100);     // 83
    EXPECT_FLOAT_EQ(cam.pitch, 79.0f);
    cam.pitch = -44.0f;
    cam.steer(0.1f, true, 0, -100);    // -49
    EXPECT_FLOAT_EQ(cam.pitch, -45.0f);
}

TEST_F(CameraMotion, CorrectionsRunWheneverTheMouseMovedEvenWithoutMouseLook)
{
    level_.mouseSensitivity = 0.5f;
    t_cam cam;

    objRot = 1;                        // an object edit has the mouse
    cam.yaw = 365.0f;
    cam.pitch = 85.0f;
    cam.steer(0.1f, true, 1000, 1000);
    EXPECT_FLOAT_EQ(cam.yaw, 0.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 79.0f);

    objRot = 0;
    GuiOn = 1;                         // the GUI pointer has the mouse
    rotlock = 1;
    cam.yaw = 20.0f;
    cam.pitch = 10.0f;
    cam.steer(0.1f, true, 100, 100);
    EXPECT_FLOAT_EQ(cam.yaw, 20.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 10.0f);

    rotlock = 0;                       // swrotlock held: the mouse turns the camera
    cam.steer(0.1f, true, 100, 100);
    EXPECT_NEAR(cam.yaw, 25.0f, kTol);
    EXPECT_NEAR(cam.pitch, 15.0f, kTol);

    // No mouse movement: no look and no correction, whatever the deltas say.
    GuiOn = 0;
    cam.yaw = 365.0f;
    cam.steer(0.1f, false, 100, 100);
    EXPECT_FLOAT_EQ(cam.yaw, 365.0f);
}

// Column-major check of a 4x4 matrix against the expected one.
void expectMatrix(const float* got, const float (&want)[16])
{
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(got[i], want[i], 1e-5f) << "element " << i;
    }
}

// The column-major matrix m applied to the point p (w = 1).
t_vector transformPoint(const float* m, const t_vector& p)
{
    return t_vector(m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12],
                    m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
                    m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]);
}

TEST_F(CameraView, ViewMatrixRotatesThenTranslatesByTheNegativePosition)
{
    ASSERT_TRUE(ensureGLContext());
    collon = 0;
    t_cam cam;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();

    // Yaw 90 looks along +x: R_y(90) * T(-1, -2, -3).
    glLoadIdentity();
    cam.position = t_vector(1.0f, 2.0f, 3.0f);
    cam.yaw = 90.0f;
    cam.pitch = 0.0f;
    cam.update();
    const float yawed[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, -3, -2, 1, 1};
    expectMatrix(cam.viewmatrix, yawed);
    float current[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, current);
    expectMatrix(current, yawed);

    // Pitch 90 looks straight down: R_x(90) * R_y(0) * T(0, -5, 0).
    glLoadIdentity();
    cam.position = t_vector(0.0f, 5.0f, 0.0f);
    cam.yaw = 0.0f;
    cam.pitch = 90.0f;
    cam.update();
    const float pitched[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, -5, 1};
    expectMatrix(cam.viewmatrix, pitched);

    // Both angles: pitch applies in the view's frame, after the yaw.  At yaw
    // 90 and pitch 90 the point below the camera is straight ahead and the
    // point that was ahead (+x) is at the top of the view.
    glLoadIdentity();
    cam.position = t_vector(0.0f, 0.0f, 0.0f);
    cam.yaw = 90.0f;
    cam.update();
    const t_vector below = transformPoint(cam.viewmatrix, t_vector(0.0f, -1.0f, 0.0f));
    EXPECT_NEAR(below.x, 0.0f, 1e-5f);
    EXPECT_NEAR(below.y, 0.0f, 1e-5f);
    EXPECT_NEAR(below.z, -1.0f, 1e-5f);
    const t_vector ahead = transformPoint(cam.viewmatrix, t_vector(1.0f, 0.0f, 0.0f));
    EXPECT_NEAR(ahead.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.y, 1.0f, 1e-5f);
    EXPECT_NEAR(ahead.z, 0.0f, 1e-5f);

    // Composed onto whatever is current.
    cam.position = t_vector(0.0f, 5.0f, 0.0f);
    cam.yaw = 0.0f;
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -10.0f);
    cam.update();
    EXPECT_NEAR(cam.viewmatrix[14], -15.0f, 1e-5f);
    glPopMatrix();
}

// Particle headers handed to the camera in the picking tests.
t_objheader g_particles[2];
t_objheader* particleAt(uint32_t index)
{
    return index < 2 ? &g_particles[index] : nullptr;
}

TEST_F(CameraPick, NothingIsPickedWithoutTreesAndPersons)
{
    t_cam cam;
    g_particles[0].position = t_vector(1.0f, 0.0f, 0.0f);
    g_particles[0].positionRef = &g_particles[0].position;
    g_particles[1].position = t_vector(2.0f, 0.0f, 0.0f);
    g_particles[1].positionRef = &g_particles[1].position;
    level_.particleSystemCount = 2;
    g_particleHeader = particleAt;
    EXPECT_EQ(cam.getClosestObj(), nullptr);

    // With one tree far away, the particle system is found.
    Tree trees[1];
    trees[0].header.position = t_vector(500.0f, 0.0f, 0.0f);
    trees[0].header.positionRef = &trees[0].header.position;
    baum = trees;
    level_.treeCount = 1;
    EXPECT_EQ(cam.getClosestObj(), &g_particles[0]);
}

TEST_F(CameraPick, OnlyObjectsNearerThan1000AreFound)
{
    t_cam cam;
    cam.position = t_vector(10.0f, 0.0f, 0.0f);
    Tree trees[2];
    trees[0].header.position = t_vector(10.0f, 0.0f, 1000.0f);   // exactly 1000
    trees[1].header.position = t_vector(10.0f, 1200.0f, 0.0f);
    for (Tree& t : trees) {
        t.header.positionRef = &t.header.position;
    }
    baum = trees;
    level_.treeCount = 2;
    EXPECT_EQ(cam.getClosestObj(), nullptr);

    trees[0].header.position.z = 999.9f;
    EXPECT_EQ(cam.getClosestObj(), &trees[0].header);
}

TEST_F(CameraPick, ClosestWinsAndTiesKeepTheEarlierObject)
{
    t_cam cam;
    Tree trees[2];
    Person persons[2];
    trees[0].header.position = t_vector(3.0f, 0.0f, 4.0f);      // 5
    trees[1].header.position = t_vector(0.0f, 5.0f, 0.0f);      // 5
    persons[0].header.position = t_vector(0.0f, 0.0f, -5.0f);   // 5
    persons[1].header.position = t_vector(0.0f, -6.0f, 0.0f);   // 6
    for (Tree& t : trees) {
        t.header.positionRef = &t.header.position;
    }
    for (Person& p : persons) {
        p.header.positionRef = &p.header.position;
    }
    baum = trees;
    player = persons;
    level_.treeCount = 2;
    level_.personCount = 2;
    EXPECT_EQ(cam.getClosestObj(), &trees[0].header);

    persons[1].header.position.y = -4.0f;                        // now nearest
    EXPECT_EQ(cam.getClosestObj(), &persons[1].header);

    // The effective position counts: tree 1 follows a parent at the camera.
    t_vector parentPos(0.0f, 0.0f, 0.0f);
    trees[1].header.positionRef = &parentPos;
    EXPECT_EQ(cam.getClosestObj(), &trees[1].header);

    // A particle system only wins when strictly nearer.
    g_particles[0].position = t_vector(0.0f, 0.0f, 0.0f);
    g_particles[0].positionRef = &g_particles[0].position;
    level_.particleSystemCount = 1;
    g_particleHeader = particleAt;
    EXPECT_EQ(cam.getClosestObj(), &trees[1].header);
}

TEST_F(CameraPick, CountsWithoutListsAreNotDereferenced)
{
    t_cam cam;
    level_.treeCount = 3;
    level_.personCount = 2;
    EXPECT_EQ(cam.getClosestObj(), nullptr);
}

TEST_F(CameraPick, PointerPickFindsTheTreeNearestOnScreen)
{
    ASSERT_TRUE(ensureGLContext());
    t_cam cam;                          // at the origin, yaw 0, pitch 0
    Tree trees[2];
    trees[0].header.position = t_vector(1.0f, 0.0f, -5.0f);     // screen point (2, 0)
    trees[1].header.position = t_vector(0.2f, 0.3f, -1.0f);     // screen point (0.4, 0.6)
    for (Tree& t : trees) {
        t.header.positionRef = &t.header.position;
        t.header.rotationRef = &t.header.rotation;
    }
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
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(after[i], before[i]);
    }
    glPopMatrix();

    level_.treeCount = 0;
    EXPECT_EQ(cam.getClosestObj2D(0.0f, 0.0f), nullptr);
}

}  // namespace
