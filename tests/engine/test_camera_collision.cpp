// Camera gravity and collision against hand-made face boxes: the box test,
// falling, standing on a box top, climbing a low step, stopping at a high
// wall and sliding along walls; then the same through t_cam::update.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "gl_fixture.h"
#include "test_camera_fixture.h"

namespace {

constexpr float kEye = 1.5f;    // units from the tested point up to the camera
constexpr float kStep = 0.6f;   // units
constexpr t_camPhysics kPhysics{1.0f, kEye, kStep};
constexpr float kDt = 0.1f;     // seconds; falls 0.1 units per frame

using Collision = CameraTest;

// The collision globals as update() leaves them before colliding.
void clearCollisionGlobals()
{
    Collided = 0;
    for (int32_t& entry : objcoll) {
        entry = -1;
    }
}

void expectObjcoll(int32_t a, int32_t b, int32_t c, int32_t d)
{
    EXPECT_EQ(objcoll[0], a);
    EXPECT_EQ(objcoll[1], b);
    EXPECT_EQ(objcoll[2], c);
    EXPECT_EQ(objcoll[3], d);
}

// A 10 x 10 floor slab whose top face box (box 4) has its top at y = 0.
Tree floorTree()
{
    Tree tree = farTree();
    tree.faceMin[4] = t_vector(-5.0f, -0.1f, -5.0f);
    tree.faceMax[4] = t_vector(5.0f, 0.0f, 5.0f);
    return tree;
}

// A wall across the z axis (face box 0) from x -10..10, z -1.05..-0.95,
// y 0..top.
Tree wallAcrossZ(float top)
{
    Tree tree = farTree();
    tree.faceMin[0] = t_vector(-10.0f, 0.0f, -1.05f);
    tree.faceMax[0] = t_vector(10.0f, top, -0.95f);
    return tree;
}

// A wall across the x axis (face box 2) at x 0.95..1.05, z -10..10.
Tree wallAcrossX(float top)
{
    Tree tree = farTree();
    tree.faceMin[2] = t_vector(0.95f, 0.0f, -10.0f);
    tree.faceMax[2] = t_vector(1.05f, top, 10.0f);
    return tree;
}

TEST_F(Collision, BoxTestUsesThePointBelowTheEyeAndWidensByTheFramesMotion)
{
    Tree trees[1] = {farTree()};
    trees[0].faceMin[3] = t_vector(0.0f, 0.0f, 0.0f);
    trees[0].faceMax[3] = t_vector(1.0f, 1.0f, 1.0f);
    int32_t tree = -7;
    int32_t box = -7;

    // Camera 2 units up: its tested point (y 0.5) is inside the box.
    const t_vector inside(0.5f, 2.0f, 0.5f);
    EXPECT_TRUE(camBoxTest(inside, inside, kEye, trees, 1, &tree, &box));
    EXPECT_EQ(tree, 0);
    EXPECT_EQ(box, 3);
    // The same point as the camera position is 1.5 units above the box.
    const t_vector low(0.5f, 0.5f + 3.0f, 0.5f);
    EXPECT_FALSE(camBoxTest(low, low, kEye, trees, 1, nullptr, nullptr));

    // 0.3 beyond max x: a miss when standing, a hit when the frame moved 0.5
    // along x (the box is widened by the motion, so fast steps do not tunnel).
    const t_vector beyond(1.3f, 2.0f, 0.5f);
    EXPECT_FALSE(camBoxTest(beyond, beyond, kEye, trees, 1, nullptr, nullptr));
    EXPECT_TRUE(camBoxTest(beyond, t_vector(1.8f, 2.0f, 0.5f), kEye, trees, 1, nullptr, nullptr));
    // A slab 0.1 thick is not tunnelled through vertically in one frame,
    // neither falling (tested point from 0.05 above to 0.45 below its top)
    // nor rising (from 0.3 below to 0.2 above).
    Tree slab[1] = {floorTree()};
    EXPECT_TRUE(camBoxTest(t_vector(0.0f, kEye - 0.45f, 0.0f), t_vector(0.0f, kEye + 0.05f, 0.0f),
                           kEye, slab, 1, nullptr, nullptr));
    EXPECT_TRUE(camBoxTest(t_vector(0.0f, kEye + 0.2f, 0.0f), t_vector(0.0f, kEye - 0.3f, 0.0f),
                           kEye, slab, 1, nullptr, nullptr));
    EXPECT_FALSE(camBoxTest(t_vector(0.0f, kEye + 0.2f, 0.0f), t_vector(0.0f, kEye + 0.2f, 0.0f),
                            kEye, slab, 1, nullptr, nullptr));
    // Touching a face exactly counts.
    const t_vector onFace(1.0f, 2.0f, 0.5f);
    EXPECT_TRUE(camBoxTest(onFace, onFace, kEye, trees, 1, nullptr, nullptr));

    trees[0].collidable = 0;
    EXPECT_FALSE(camBoxTest(inside, inside, kEye, trees, 1, nullptr, nullptr));
    EXPECT_FALSE(camBoxTest(inside, inside, kEye, nullptr, 0, nullptr, nullptr));
}

TEST_F(Collision, BoxTestReportsTheLastHitInTreeThenBoxOrder)
{
    Tree trees[3] = {farTree(), farTree(), farTree()};
    const t_vector lo(-1.0f, -1.0f, -1.0f);
    const t_vector hi(1.0f, 1.0f, 1.0f);
    trees[0].faceMin[2] = lo;
    trees[0].faceMax[2] = hi;
    trees[0].faceMin[5] = lo;
    trees[0].faceMax[5] = hi;
    trees[1].faceMin[1] = lo;
    trees[1].faceMax[1] = hi;
    trees[2].faceMin[4] = lo;     // would be last, but tree 2 is not collidable
    trees[2].faceMax[4] = hi;
    trees[2].collidable = 0;
    int32_t tree = -1;
    int32_t box = -1;
    const t_vector pos(0.0f, kEye, 0.0f);
    EXPECT_TRUE(camBoxTest(pos, pos, kEye, trees, 3, &tree, &box));
    EXPECT_EQ(tree, 1);
    EXPECT_EQ(box, 1);
}

TEST_F(Collision, WithoutTreesGravityPullsWithoutLimit)
{
    clearCollisionGlobals();
    t_vector pos(3.0f, 10.0f, -2.0f);
    const t_vector prev = pos;
    camCollide(pos, prev, 0.5f, t_camPhysics{2.0f, kEye, kStep}, nullptr, 0);
    EXPECT_FLOAT_EQ(pos.y, 9.0f);
    EXPECT_FLOAT_EQ(pos.x, 3.0f);
    EXPECT_FLOAT_EQ(pos.z, -2.0f);
    EXPECT_EQ(Collided, 0);
    expectObjcoll(-1, -1, -1, -1);
}

TEST_F(Collision, StandingOnABoxTopUndoesGravityEveryFrame)
{
    Tree trees[1] = {floorTree()};
    // Tested point 0.05 above the top: this frame's fall would sink it.
    t_vector pos(1.0f, kEye + 0.05f, 2.0f);
    for (int frame = 0; frame < 5; ++frame) {
        clearCollisionGlobals();
        const t_vector prev = pos;
        camCollide(pos, prev, kDt, kPhysics, trees, 1);
        EXPECT_FLOAT_EQ(pos.y, kEye + 0.05f) << "frame " << frame;
        // The standing hit is remembered in the last pair; the retest at the
        // restored height misses.
        EXPECT_EQ(Collided, 0);
        expectObjcoll(-1, -1, 0, 4);
    }

    // Walking across the top is free.
    clearCollisionGlobals();
    const t_vector prev = pos;
    pos.x += 0.4f;
    camCollide(pos, prev, kDt, kPhysics, trees, 1);
    EXPECT_FLOAT_EQ(pos.x, 1.4f);
    EXPECT_FLOAT_EQ(pos.y, kEye + 0.05f);

    // Beside the slab the camera falls.
    clearCollisionGlobals();
    t_vector off(6.0f, kEye + 0.05f, 2.0f);
    camCollide(off, off, kDt, kPhysics, trees, 1);
    EXPECT_FLOAT_EQ(off.y, kEye + 0.05f - 0.1f);
}

TEST_F(Collision, ALowStepIsClimbedGraduallyAndCancelsTheHorizontalStep)
{
    // Wall top at 1.8, camera at 2.0: d = 0.2 is within the step height.
    Tree trees[1] = {wallAcrossZ(1.8f)};
    clearCollisionGlobals();
    const t_vector prev(0.0f, 2.0f, -0.5f);
    t_vector pos(0.0f, 2.0f, -0.9f);   // walked 0.4 forward into the wall
    camCollide(pos, prev, kDt, kPhysics, trees, 1);
    EXPECT_NEAR(pos.y, 2.0f + 0.2f * kDt, 1e-5f);
    EXPECT_FLOAT_EQ(pos.x, 0.0f);
    EXPECT_FLOAT_EQ(pos.z, -0.5f);
    EXPECT_EQ(Collided, 1);
    expectObjcoll(0, 0, 0, 0);

    // Next frame, from where it stands, it rises by the (now smaller) distance
    // again: d = 1.8 - 2.02 in magnitude.
    clearCollisionGlobals();
    const t_vector prev2 = pos;
    t_vector pos2(0.0f, pos.y, -0.9f);
    camCollide(pos2, prev2, kDt, kPhysics, trees, 1);
    EXPECT_NEAR(pos2.y, pos.y + (pos.y - 1.8f) * kDt, 1e-5f);
    EXPECT_FLOAT_EQ(pos2.z, -0.5f);
}

TEST_F(Collision, AWallTooHighToClimbStopsStraightMotion)
{
    Tree trees[1] = {wallAcrossZ(3.0f)};   // d = 1.0 > step height
    clearCollisionGlobals();
    const t_vector prev(0.0f, 2.0f, -0.5f);
    t_vector pos(0.0f, 2.0f, -0.9f);
    camCollide(pos, prev, kDt, kPhysics, trees, 1);
    EXPECT_FLOAT_EQ(pos.z, -0.5f);
    EXPECT_FLOAT_EQ(pos.x, 0.0f);
    EXPECT_FLOAT_EQ(pos.y, 2.0f);          // gravity undone, no climb
    EXPECT_EQ(Collided, 1);
}

TEST_F(Collision, WalkingDiagonallyIntoAWallSlidesAlongIt)
{
    const t_vector prev(0.0f, 2.0f, -0.5f);
    {
        Tree trees[1] = {wallAcrossZ(3.0f)};
        clearCollisionGlobals();
        t_vector pos(0.3f, 2.0f, -0.8f);
        camCollide(pos, prev, kDt, kPhysics, trees, 1);
        EXPECT_FLOAT_EQ(pos.x, 0.3f);      // along the wall
        EXPECT_FLOAT_EQ(pos.z, -0.5f);     // not into it
        EXPECT_FLOAT_EQ(pos.y, 2.0f);
    }
    {
        const t_vector prevX(0.5f, 2.0f, 0.0f);
        Tree trees[1] = {wallAcrossX(3.0f)};
        clearCollisionGlobals();
        t_vector pos(0.8f, 2.0f, -0.3f);
        camCollide(pos, prevX, kDt, kPhysics, trees, 1);
        EXPECT_FLOAT_EQ(pos.x, 0.5f);
        EXPECT_FLOAT_EQ(pos.z, -0.3f);
    }
    {
        // Into a corner: both single-axis moves are blocked.
        Tree trees[2] = {wallAcrossZ(3.0f), wallAcrossX(3.0f)};
        const t_vector corner(0.5f, 2.0f, -0.5f);
        clearCollisionGlobals();
        t_vector pos(0.8f, 2.0f, -0.8f);
        camCollide(pos, corner, kDt, kPhysics, trees, 2);
        EXPECT_FLOAT_EQ(pos.x, 0.5f);
        EXPECT_FLOAT_EQ(pos.z, -0.5f);
    }
    {
        // A post met only on the diagonal: either axis alone passes it.
        Tree trees[1] = {farTree()};
        trees[0].faceMin[3] = t_vector(0.35f, 0.0f, -0.65f);
        trees[0].faceMax[3] = t_vector(0.45f, 3.0f, -0.55f);
        clearCollisionGlobals();
        const t_vector start(0.0f, 2.0f, -0.2f);
        t_vector pos(0.8f, 2.0f, -1.0f);
        ASSERT_TRUE(camBoxTest(pos, start, kEye, trees, 1, nullptr, nullptr));
        camCollide(pos, start, kDt, kPhysics, trees, 1);
        EXPECT_FLOAT_EQ(pos.x, 0.8f);
        EXPECT_FLOAT_EQ(pos.z, -1.0f);
    }
}

TEST_F(Collision, UpdateCollidesWithTheLevelsTreesOnlyWhileCollisionIsOn)
{
    ASSERT_TRUE(ensureGLContext());
    level_.camStartPos[1] = kEye + 0.05f;
    level_.gravity = 1.0f;
    level_.eyeHeight = kEye;
    level_.stepHeight = kStep;
    Tree trees[1] = {floorTree()};
    baum = trees;
    level_.treeCount = 1;
    g_frametime = kDt;
    t_cam cam;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();

    for (int frame = 0; frame < 3; ++frame) {
        glLoadIdentity();
        cam.move.x = 1.0f;                 // strafe left across the slab
        cam.cammove();
    }
    EXPECT_FLOAT_EQ(cam.position.y, kEye + 0.05f);
    EXPECT_NEAR(cam.position.x, -3.0f * 0.03f * kDt, 1e-6f);
    EXPECT_FLOAT_EQ(Cambufx, cam.position.x);
    EXPECT_FLOAT_EQ(Cambufy, cam.position.y);

    // A stale hit from an earlier frame is cleared at the start of update.
    objcoll[0] = 5;
    Collided = 1;
    collon = 0;
    glLoadIdentity();
    cam.cammove();
    EXPECT_FLOAT_EQ(cam.position.y, kEye + 0.05f);   // no gravity without collision
    EXPECT_EQ(Collided, 0);
    expectObjcoll(-1, -1, -1, -1);

    // Collision on again, trees out of the list: the camera falls.
    collon = 1;
    baum = nullptr;
    glLoadIdentity();
    cam.cammove();
    EXPECT_FLOAT_EQ(cam.position.y, kEye + 0.05f - 0.1f);
    glPopMatrix();
}

}  // namespace
