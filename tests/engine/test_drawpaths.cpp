// The array path draws the reference level "bench" exactly as the
// immediate-mode path does: the same frame, read back, from a few camera
// positions (terrain, 1000 trees under eight lights, figures, sky, snow).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <atomic>
#include <new>
#include <cstdlib>

#include "camera/camera.h"
#include "commands/cmdglobals.h"
#include "core/common.h"
#include "image/texlist.h"
#include "particles/particles.h"
#include "render/display.h"
#include "render/framestats.h"
#include "render/skybox.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "scene/meshdraw.h"
#include "scene/meshpool.h"
#include "scene/objects.h"
#include "spielmod/spielmod.h"
#include "support/gl_frame.h"
#include "support/guards.h"
#include "support/temp_dir.h"
#include "terrain/heightfield.h"

// C++ allocations of the whole program while g_countAllocations is set
// (the GL driver's own, made with malloc, are not counted).
static std::atomic<bool> g_countAllocations{false};
static std::atomic<uint64_t> g_allocations{0};

// Replacing the global pair with malloc and free is what the standard
// allows; GCC cannot see that the replacements belong together.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    if (g_countAllocations.load(std::memory_order_relaxed)) {
        ++g_allocations;
    }
    if (void* p = std::malloc(size > 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
// The nothrow form too: what it returns goes to the plain delete below.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (g_countAllocations.load(std::memory_order_relaxed)) {
        ++g_allocations;
    }
    return std::malloc(size > 0 ? size : 1);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

// The whole colour buffer, RGBA rows from the bottom.
std::vector<uint8_t> readFrame()
{
    std::vector<uint8_t> rgba(kTestGLWidth * kTestGLHeight * 4);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kTestGLWidth, kTestGLHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

// One frame as the engine's 3D pass draws it (dt: seconds the snow falls),
// read back.
std::vector<uint8_t> drawFrame(t_cam& cam, bool immediate, float dt = 0.0f)
{
    g_immediateDraw = immediate ? 1 : 0;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    cam.update();
    render_height_field(cam.position.x, cam.position.z);
    glPushMatrix();
    drawMeshs(false, 0.0f);
    drawSkybox();
    DrawParticlesystems(dt);
    glPopMatrix();
    glPopMatrix();
    if (dt > 0.0f) {
        return {}; // frames that are not compared are not read back
    }
    return readFrame();
}

// The bench level loaded in-process for the test window's 320 x 240, with
// its terrain, objects, lights, sky and steady snow.
class BenchLevel : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        ctx_ = spielCreate();
        ctx_->messageOut = nullptr;
        spielBind(ctx_);
        ASSERT_NE(spielLoadLevel(ctx_, "bench"), 0) << "data/levels/bench is made by vext_assetgen";
        Level = &ctx_->lev;
        g_view = t_view{};
        g_view.screenWidth = kTestGLWidth;
        g_view.screenHeight = kTestGLHeight;
        g_view.viewDistance = Level->viewDistance;
        collon = 0;
        g_frametime = 0.0f; // figures keep their frame
        setSceneViewer(&cam_.position, &cam_.yaw);
        initGL();
        draw_resetFog(Level);
        init_height_field();
        TexList.initTex();
        loadMeshs();
        skyboxInit();
        std::srand(7);
        InitParticlesystems(Level);
        ASSERT_EQ(Level->treeCount, 1000u);
        ASSERT_EQ(Level->lightCount, 8u) << "every light found its object";
        ASSERT_EQ(g_snowstormCount, 4u);
        for (int i = 0; i < 150; ++i) {
            for (uint32_t s = 0; s < g_snowstormCount; ++s) {
                g_snowstorm[s].Update(0.02f);
            }
        }
    }
    void TearDown() override
    {
        g_immediateDraw = 0;
        DestroyParticlesystems(Level);
        DestroyLights();
        skyboxDestroy();
        DestroyObjects();
        setSceneViewer(nullptr, nullptr);
        spielBind(nullptr);
        spielDestroy(ctx_);
    }
    CleanGLState clean_;
    ScopedCwd cwd_{VEXT_SOURCE_DIR "/data"};
    GlobalsGuard saved_{Level, g_view, collon, g_frametime};
    SpielContext* ctx_ = nullptr;
    t_cam cam_;
};

TEST_F(BenchLevel, FramesAreIdenticalThroughBothPaths)
{
    // Inside the forest, at the edge looking in, high above it looking
    // down, and next to the light riding on the first ice tree.
    // The last two again with dynamic lighting off (the unlit colour held
    // per face) and with every tree under the one fixed texture (-tex).
    struct View {
        t_vector at;
        float yaw, pitch;
        uint8_t lighting, fixedTexture;
    };
    const View views[] = {
        {t_vector(0.0f, -4.5f, 8.0f), 0.0f, 5.0f, 1, 0},
        {t_vector(-28.0f, -4.0f, 28.0f), 135.0f, 0.0f, 1, 0},
        {t_vector(5.0f, 6.0f, 20.0f), 20.0f, 45.0f, 1, 0},
        {t_vector(0.0f, -4.5f, 0.0f), 250.0f, 10.0f, 1, 0},
        {t_vector(0.0f, -4.5f, 0.0f), 250.0f, 10.0f, 0, 0},
        {t_vector(5.0f, 6.0f, 20.0f), 20.0f, 45.0f, 1, 1},
    };
    drawFrame(cam_, true); // the state one frame leaves behind, for both
    for (const View& v : views) {
        cam_.position = v.at;
        cam_.yaw = v.yaw;
        cam_.pitch = v.pitch;
        Level->dynamicLighting = v.lighting;
        texrender = v.fixedTexture;
        const std::vector<uint8_t> arrays = drawFrame(cam_, false);
        const uint32_t arrayTriangles = g_frameStats.triangles;
        const std::vector<uint8_t> reference = drawFrame(cam_, true);
        texrender = 0;
        int differing = 0;
        int worst = 0;
        int lit = 0;
        for (size_t i = 0; i < reference.size(); i += 4) {
            int d = 0;
            for (int c = 0; c < 3; ++c) {
                d = std::max(d, std::abs(arrays[i + c] - reference[i + c]));
            }
            differing += d > 0 ? 1 : 0;
            worst = std::max(worst, d);
            lit += reference[i] + reference[i + 1] + reference[i + 2] > 0 ? 1 : 0;
        }
        EXPECT_EQ(differing, 0) << "view " << &v - views << ": largest difference " << worst;
        EXPECT_GT(lit, kTestGLWidth * kTestGLHeight / 2) << "the view shows the scene";
        EXPECT_GT(arrayTriangles, 1000u);
    }
}

// A hundred frames of the default path with the figures walking, trees
// turning and the snow falling allocate nothing.  The same view angles are
// drawn once before counting: the first frame builds the meshes' arrays, and the GL
// driver compiles (with C++ allocations of its own) a shader for each new
// combination of state it meets.
TEST_F(BenchLevel, FramesAllocateNothing)
{
    cam_.position = t_vector(0.0f, -4.5f, 8.0f);
    g_frametime = 0.02f;
    for (const bool counted : {false, true}) {
        // The warm-up turns through the same angles in coarser steps.
        const int frames = counted ? 100 : 25;
        g_allocations = 0;
        g_countAllocations = counted;
        for (int frame = 0; frame < frames; ++frame) {
            cam_.yaw = static_cast<float>(frame * 300 / frames);
            updateMeshs();
            drawFrame(cam_, false, 0.02f);
        }
        g_countAllocations = false;
    }
    EXPECT_EQ(g_allocations.load(), 0u);
}

// One tree of two triangles filling the view at z = -2, drawn through one path.
std::vector<uint8_t> drawLitQuad(Tree& tree, bool immediate)
{
    beginPerspectiveFrame();
    glTranslatef(tree.header.position.x, tree.header.position.y, tree.header.position.z);
    glGetFloatv(GL_MODELVIEW_MATRIX, tree.eyeMatrix);
    if (immediate) {
        tree.drawMesh();
    } else {
        beginTreeArrays();
        EXPECT_TRUE(drawTreeArrays(tree));
        endTreeArrays();
    }
    return readFrame();
}

// Lights out of the tree's reach are skipped by the array path but must
// still clamp as GetLightColor does: from a negative base a light beyond
// reach lifts the colour to 0 before the next one adds.  Centre pixel of
// the reference (red channel) and the count of pixels differing from it.
TEST(DrawPathsLighting, SkippedLightsStillClampLikeTheColourFunction)
{
    CleanGLState clean;
    ASSERT_TRUE(ensureGLContext());
    const char mesh[] = "-3 0 -3 3 0 -3 3 0 3\n3 0 3 -3 0 3 -3 0 -3\n"; // x z y per vertex
    struct Case {
        const char* what;
        float base[3];
        LevLight lights[2];
        int red; // expected centre red, 0..255
    };
    const Case cases[] = {
        {"far light clamps a negative base before the near one adds", {-0.5f, 1.5f, 0.2f},
         {{1.0f, {0.0f, 0.0f, 500.0f}, {255, 255, 255, 255}, 4, nullptr},
          {10.0f, {0.0f, 0.0f, -1.0f}, {255, 0, 0, 255}, 4, nullptr}}, 144},
        {"near light only: the negative base stays in the sum", {-0.5f, 1.5f, 0.2f},
         {{10.0f, {0.0f, 0.0f, -1.0f}, {255, 0, 0, 255}, 4, nullptr},
          {1.0f, {0.0f, 0.0f, 500.0f}, {255, 255, 255, 255}, 4, nullptr}}, 16},
        {"first-corner light and a negative radius", {0.1f, 0.1f, 0.1f},
         {{4.0f, {2.0f, 0.0f, -2.0f}, {255, 0, 0, 255}, 8, nullptr},
          {-50.0f, {0.0f, 0.0f, 400.0f}, {0, 0, 255, 255}, 4, nullptr}}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Lev level{};
        level.dynamicLighting = 1;
        std::copy(c.base, c.base + 3, level.litBaseColour);
        LevLight table[2] = {c.lights[0], c.lights[1]};
        char none[] = "None";
        table[0].attachTo = none;
        table[1].attachTo = none;
        level.lightTable = table;
        level.lightCount = 2;
        Lev* const previous = Level;
        Level = &level;
        initLight();
        Meshpool.LoadMeshFromMemory("drawpaths_quad.raw", mesh, sizeof mesh - 1, "drawpaths_quad.raw");
        Tree tree;
        tree.header.position = t_vector(0.0f, 0.0f, -2.0f);
        tree.header.positionRef = &tree.header.position;
        tree.header.rotationRef = &tree.header.rotation;
        ASSERT_TRUE(treeLoadMesh(tree, "drawpaths_quad.raw"));
        calcViewMatrix(&tree.header, tree.modelMatrix);
        const std::vector<uint8_t> arrays = drawLitQuad(tree, false);
        const std::vector<uint8_t> reference = drawLitQuad(tree, true);
        int differing = 0;
        for (size_t i = 0; i < reference.size(); ++i) {
            differing += arrays[i] != reference[i] ? 1 : 0;
        }
        const size_t centre = (static_cast<size_t>(kTestGLHeight / 2) * kTestGLWidth + kTestGLWidth / 2) * 4;
        EXPECT_EQ(differing, 0) << "centre red " << int(reference[centre]);
        if (c.red >= 0) {
            EXPECT_NEAR(reference[centre], c.red, 3);
        }
        DestroyLights();
        Level = previous;
    }
}

} // namespace
