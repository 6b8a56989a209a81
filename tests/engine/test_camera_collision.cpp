// Camera gravity and collision against hand-made face boxes: the box test,
// falling, standing on a box top, climbing a low step, stopping at a high
// wall and sliding along walls; then the same through t_cam::update.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <vector>

#include "support/gl_frame.h"
#include "test_camera_fixture.h"

namespace {

using Ints = std::vector<int32_t>;

constexpr float kEye = 1.5f;    // units from the tested point up to the camera
constexpr float kStep = 0.6f;   // units
constexpr float kDt = 0.1f;     // seconds; falls 0.1 units per frame
constexpr t_camPhysics kPhysics{1.0f, kEye, kStep};

using Collision = CameraTest;

// One frame of camCollide with the collision globals cleared first, as
// update() does; returns the new position.
t_vector collide(t_vector pos, const t_vector& prev, const std::vector<Tree>& trees)
{
    Collided = 0;
    std::fill(objcoll, objcoll + 4, -1);
    camCollide(pos, prev, kDt, kPhysics, trees.data(), static_cast<uint32_t>(trees.size()));
    return pos;
}

void expectNear(const t_vector& got, const t_vector& want)
{
    EXPECT_NEAR(got.x, want.x, 1e-6f);
    EXPECT_NEAR(got.y, want.y, 1e-6f);
    EXPECT_NEAR(got.z, want.z, 1e-6f);
}

// A tree whose face box `box` spans lo..hi; its other boxes are far away.
Tree treeWithBox(int box, t_vector lo, t_vector hi)
{
    Tree tree = farTree();
    tree.faceMin[box] = lo;
    tree.faceMax[box] = hi;
    return tree;
}

// A 10 x 10 floor slab (box 4) with its top at y = 0; walls y 0..top across
// the z axis at z -1.05..-0.95 (box 0) and across the x axis at x
// 0.95..1.05 (box 2).
const Tree kFloor = treeWithBox(4, t_vector(-5, -0.1f, -5), t_vector(5, 0, 5));
const Tree kLowWallZ = treeWithBox(0, t_vector(-10, 0, -1.05f), t_vector(10, 1.8f, -0.95f));
const Tree kWallZ = treeWithBox(0, t_vector(-10, 0, -1.05f), t_vector(10, 3, -0.95f));
const Tree kWallX = treeWithBox(2, t_vector(0.95f, 0, -10), t_vector(1.05f, 3, 10));

TEST_F(Collision, BoxTestUsesThePointBelowTheEyeAndWidensByTheFramesMotion)
{
    const Tree cube = treeWithBox(3, t_vector(0, 0, 0), t_vector(1, 1, 1));
    const struct {
        const char* what;
        const Tree* tree;
        t_vector pos, prev;
        bool hit;
    } cases[] = {
        {"tested point inside", &cube, {0.5f, 2, 0.5f}, {0.5f, 2, 0.5f}, true},
        {"camera inside, point below", &cube, {0.5f, 3.5f, 0.5f}, {0.5f, 3.5f, 0.5f}, false},
        {"0.3 beyond max x, standing", &cube, {1.3f, 2, 0.5f}, {1.3f, 2, 0.5f}, false},
        {"0.3 beyond after moving 0.5", &cube, {1.3f, 2, 0.5f}, {1.8f, 2, 0.5f}, true},
        {"touching a face", &cube, {1, 2, 0.5f}, {1, 2, 0.5f}, true},
        // A slab 0.1 thick is not tunnelled through vertically in one frame.
        {"falling through a slab", &kFloor, {0, kEye - 0.45f, 0}, {0, kEye + 0.05f, 0}, true},
        {"rising through a slab", &kFloor, {0, kEye + 0.2f, 0}, {0, kEye - 0.3f, 0}, true},
        {"above a slab", &kFloor, {0, kEye + 0.2f, 0}, {0, kEye + 0.2f, 0}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(camBoxTest(c.pos, c.prev, kEye, c.tree, 1, nullptr, nullptr), c.hit) << c.what;
    }
    const t_vector inside(0.5f, 2.0f, 0.5f);
    Tree off = cube;
    off.collidable = 0;
    EXPECT_FALSE(camBoxTest(inside, inside, kEye, &off, 1, nullptr, nullptr));
    EXPECT_FALSE(camBoxTest(inside, inside, kEye, nullptr, 0, nullptr, nullptr));

    // The last hit in tree-then-box order is reported.
    const t_vector lo(-1, -1, -1);
    const t_vector hi(1, 1, 1);
    Tree trees[3] = {treeWithBox(5, lo, hi), treeWithBox(1, lo, hi), treeWithBox(4, lo, hi)};
    trees[0].faceMin[2] = lo;
    trees[0].faceMax[2] = hi;
    trees[2].collidable = 0;
    int32_t tree = -1;
    int32_t box = -1;
    EXPECT_TRUE(camBoxTest(inside, inside, kEye, trees, 3, &tree, &box));
    EXPECT_EQ(Ints({tree, box}), Ints({1, 1}));
}

TEST_F(Collision, GravityPullsUntilTheCameraStandsOnABoxTop)
{
    t_vector pos(3.0f, 10.0f, -2.0f);
    camCollide(pos, pos, 0.5f, t_camPhysics{2.0f, kEye, kStep}, nullptr, 0);
    expectNear(pos, t_vector(3.0f, 9.0f, -2.0f));

    // Tested point 0.05 above the top: each frame's fall would sink it.
    pos = t_vector(1.0f, kEye + 0.05f, 2.0f);
    for (int frame = 0; frame < 3; ++frame) {
        pos = collide(pos, pos, {kFloor});
        EXPECT_FLOAT_EQ(pos.y, kEye + 0.05f) << "frame " << frame;
        // The standing hit stays in the last pair; the retest misses.
        EXPECT_EQ(Collided, 0);
        EXPECT_EQ(Ints(objcoll, objcoll + 4), Ints({-1, -1, 0, 4}));
    }
    // Walking across the top is free; beside the slab the camera falls.
    expectNear(collide(t_vector(1.4f, pos.y, 2), pos, {kFloor}), t_vector(1.4f, pos.y, 2));
    expectNear(collide(t_vector(6, pos.y, 2), t_vector(6, pos.y, 2), {kFloor}),
               t_vector(6, pos.y - 0.1f, 2));
}

TEST_F(Collision, LowStepsAreClimbedAndWallsStopOrSlide)
{
    // A post met only on the diagonal: either axis alone passes it.
    const Tree post = treeWithBox(3, t_vector(0.35f, 0, -0.65f), t_vector(0.45f, 3, -0.55f));
    const struct {
        const char* what;
        std::vector<Tree> trees;
        t_vector prev, pos, want;
        int box;   // the face box hit, for one tree
    } cases[] = {
        // Wall top 1.8, camera 2.0: d = 0.2 is within the step height; the
        // climb is d * dt and spends the frame's horizontal step.
        {"low step", {kLowWallZ}, {0, 2, -0.5f}, {0, 2, -0.9f}, {0, 2.02f, -0.5f}, 0},
        {"high wall", {kWallZ}, {0, 2, -0.5f}, {0, 2, -0.9f}, {0, 2, -0.5f}, 0},
        {"slide along z wall", {kWallZ}, {0, 2, -0.5f}, {0.3f, 2, -0.8f}, {0.3f, 2, -0.5f}, 0},
        {"slide along x wall", {kWallX}, {0.5f, 2, 0}, {0.8f, 2, -0.3f}, {0.5f, 2, -0.3f}, 2},
        {"corner", {kWallZ, kWallX}, {0.5f, 2, -0.5f}, {0.8f, 2, -0.8f}, {0.5f, 2, -0.5f}, -1},
        {"post on the diagonal", {post}, {0, 2, -0.2f}, {0.8f, 2, -1}, {0.8f, 2, -1}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto count = static_cast<uint32_t>(c.trees.size());
        ASSERT_TRUE(camBoxTest(c.pos, c.prev, kEye, c.trees.data(), count, nullptr, nullptr));
        expectNear(collide(c.pos, c.prev, c.trees), c.want);
        EXPECT_EQ(Collided, 1);
        if (c.box >= 0) {
            EXPECT_EQ(Ints(objcoll, objcoll + 4), Ints({0, c.box, 0, c.box}));
        }
    }
}

TEST_F(Collision, UpdateCollidesWithTheLevelsTreesOnlyWhileCollisionIsOn)
{
    ASSERT_TRUE(ensureGLContext());
    level_.camStartPos[1] = kEye + 0.05f;
    level_.gravity = 1.0f;
    level_.eyeHeight = kEye;
    level_.stepHeight = kStep;
    Tree trees[1] = {kFloor};
    baum = trees;
    level_.treeCount = 1;
    g_frametime = kDt;
    t_cam cam;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    auto frame = [&cam](float strafe) {
        glLoadIdentity();
        cam.move.x = strafe;
        cam.cammove(t_camMouse{});
    };
    for (int i = 0; i < 3; ++i) {
        frame(1.0f);                   // strafe left across the slab
    }
    EXPECT_FLOAT_EQ(cam.position.y, kEye + 0.05f);
    EXPECT_NEAR(cam.position.x, -3.0f * 0.03f * kDt, 1e-6f);
    expectNear(t_vector(Cambufx, Cambufy, Cambufz), cam.position);

    // A stale hit from an earlier frame is cleared at the start of update,
    // also without collision, which brings no gravity either.
    objcoll[0] = 5;
    Collided = 1;
    collon = 0;
    frame(0.0f);
    EXPECT_FLOAT_EQ(cam.position.y, kEye + 0.05f);
    EXPECT_EQ(Collided, 0);
    EXPECT_EQ(Ints(objcoll, objcoll + 4), Ints({-1, -1, -1, -1}));

    // Collision on again, trees out of the list: the camera falls.
    collon = 1;
    baum = nullptr;
    frame(0.0f);
    EXPECT_FLOAT_EQ(cam.position.y, kEye + 0.05f - 0.1f);
    glPopMatrix();
}

}  // namespace
