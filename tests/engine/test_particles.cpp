// Particle systems: emission, death, the culling box, drawing read back from
// a real GL context, the level's systems and the editor's helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/common.h"
#include "particles/particles.h"
#include "render/frustum.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

// A system with a pool but no texture (no GL needed).
void makePool(CSnowstorm& s, int maxCount, float rate, float height = 10.0f)
{
    s.Setvalues(maxCount, t_vector(0, 0, 0), 1.0f, height, 1.0f, "none.tga");
    s.rate = rate;
    s.CParticleSystem::InitializeSystem();
}

TEST(Particles, EmissionCarriesTheFractionAndStopsAtThePool)
{
    struct Case {
        int maxCount;
        float rate, dt;
        std::vector<int> liveAfterEach;
    };
    const Case cases[] = {
        {100, 4.0f, 0.375f, {1, 3, 4, 6}}, // emits 1, 2, 1, 2
        {5, 100.0f, 0.1f, {5}},
        {100, 0.0f, 1.0f, {0}},            // no rate, no particles (and no division by 0)
    };
    for (const Case& c : cases) {
        CSnowstorm s;
        makePool(s, c.maxCount, c.rate);
        for (size_t i = 0; i < c.liveAfterEach.size(); ++i) {
            s.Update(c.dt);
            EXPECT_EQ(s.liveCount, c.liveAfterEach[i]) << "rate " << c.rate << " update " << i;
        }
    }
}

TEST(Particles, DeathAtTheFloorSwapsTheLastInAndMovesItInTheSamePass)
{
    CSnowstorm s;
    makePool(s, 8, 0.0f, 2.0f); // floor at y = -2
    // Slot 0 reaches the floor exactly; slot 2 must take its place and move.
    const float startY[3] = {-1.0f, 0.0f, 0.0f};
    const float speedY[3] = {-1.0f, -0.5f, -0.25f};
    for (int i = 0; i < 3; ++i) {
        s.particles[i] = particle_t{t_vector(0, startY[i], 0), t_vector(0, speedY[i], 0), 0.1f};
    }
    s.liveCount = 3;
    s.Update(1.0f);
    ASSERT_EQ(s.liveCount, 2);
    EXPECT_FLOAT_EQ(s.particles[0].position.y, -0.25f);
    EXPECT_FLOAT_EQ(s.particles[1].position.y, -0.5f);
}

TEST(Particles, BirthsLieOnTheTopFace)
{
    CSnowstorm a;
    makePool(a, 50, 1000.0f);
    a.origin = t_vector(10, 5, -3);
    a.velocityBase = t_vector(0, -1, 0);
    a.velocityVariance = t_vector(0.5f, 0.5f, 0.5f);
    a.Emit(50);
    for (const particle_t& p : std::vector<particle_t>(a.particles, a.particles + 50)) {
        EXPECT_EQ(p.position.y, 5.0f);
        EXPECT_TRUE(p.position.x > 9.0f && p.position.x < 11.0f && p.position.z > -4.0f && p.position.z < -2.0f);
        EXPECT_TRUE(p.velocity.y > -1.5f && p.velocity.y < -0.5f);
    }
}

TEST(Particles, BoxCornersBottomThenTop)
{
    CSnowstorm s;
    s.Setvalues(1, t_vector(1, 2, 3), 4.0f, 5.0f, 6.0f, "x.ppm");
    s.calcTBBox();
    const float x[4] = {-3, 5, 5, -3}, z[4] = {-3, -3, 9, 9};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(s.box[i].x, x[i % 4]);
        EXPECT_EQ(s.box[i].y, i < 4 ? -3.0f : 2.0f);
        EXPECT_EQ(s.box[i].z, z[i % 4]);
    }
}

// A scratch directory with a white opaque particle image, a level record,
// and a black frame looking down -z from the origin.
class ParticleDraw : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        writeSolidTGA("white.tga", 4, 4, Rgb{255, 255, 255}, 255);
        guard_.set(Level, &level_);
        guard_.set(g_viewerPosition, nullptr);
        level_.viewDistance = 100.0f;
        s_.Setvalues(10, t_vector(0, 1, z_), 1.0f, 2.0f, 1.0f, "white.tga");
        s_.particleSize = 1.0f;
        s_.calcTBBox();
        s_.InitializeSystem();
        ASSERT_EQ(s_.Emit(10), 0);
        beginPerspectiveFrame();
    }
    int litPixels() const { return FramePixels().litIn(0, 0, kTestGLWidth, kTestGLHeight); }
    // Pixels of the frame with a channel above 100: 0 red, 1 green.
    static int brightIn(int channel)
    {
        const FramePixels f;
        int n = 0;
        for (int y = 0; y < kTestGLHeight; ++y) {
            for (int x = 0; x < kTestGLWidth; ++x) {
                n += (channel == 0 ? f.at(x, y).r : f.at(x, y).g) > 100 ? 1 : 0;
            }
        }
        return n;
    }

    WorkDir dir_;
    CleanGLState gl_;
    GlobalsGuard guard_;
    Lev level_{};
    float z_ = -8.0f;
    CSnowstorm s_;
};

TEST_F(ParticleDraw, CulledByTheFrustumOrTheViewDistanceBeforeDrawing)
{
    // The frustum looks down -z while GL looks down +z, where the system is:
    // anything drawn would show.
    s_.origin.z = 8.0f;
    s_.calcTBBox();
    for (int i = 0; i < s_.liveCount; ++i) {
        s_.particles[i].position.z = 8.0f;
    }
    buildFrustum(kTestGLWidth, kTestGLHeight, 100.0f);
    glRotatef(180.0f, 0, 1, 0);
    s_.Render();
    EXPECT_EQ(s_.lastDrawn, 0u);
    EXPECT_EQ(litPixels(), 0);

    level_.viewDistance = 7.9f; // in the frustum now, but every particle too far
    buildFrustum(kTestGLWidth, kTestGLHeight, 100.0f);
    s_.Render();
    EXPECT_EQ(s_.lastDrawn, 0u);

    level_.viewDistance = 100.0f;
    s_.Render();
    EXPECT_EQ(s_.lastDrawn, 10u);
    EXPECT_GT(litPixels(), 0);
}

TEST_F(ParticleDraw, LitByTheLightsWithParticleBits)
{
    // Base blue, so every quad shows; a red light at the system's centre.
    struct Case {
        uint8_t mask;
        bool someRed, allRed;
    };
    const Case cases[] = {{kLightAllVertices, false, false}, {2, true, true}, {16, true, false}};
    for (const Case& c : cases) {
        LevLight red{10.0f, {0, 1, z_}, {255, 0, 0, 255}, c.mask, const_cast<char*>("None")};
        level_ = Lev{};
        level_.viewDistance = 100.0f;
        level_.lightTable = &red;
        level_.lightCount = 1;
        level_.dynamicLighting = 1;
        level_.litBaseColour[2] = 0.5f;
        initLight();
        beginPerspectiveFrame();
        buildFrustum(kTestGLWidth, kTestGLHeight, 100.0f);
        s_.Render();
        DestroyLights();
        const int red_ = brightIn(0);
        const int lit = litPixels();
        EXPECT_EQ(red_ > 0, c.someRed) << int(c.mask);
        EXPECT_EQ(red_ >= lit * 95 / 100, c.allRed) << int(c.mask) << ": " << red_ << " of " << lit;
    }
}

TEST_F(ParticleDraw, ScrollingTakesTheTextureFromWorldPosition)
{
    // 4 x 1 texels: red, red, green, green.
    writeBytes("rg.tga", tgaFile(2, 4, 1, 32, {0, 0, 255, 255, 0, 0, 255, 255, 0, 255, 0, 255, 0, 255, 0, 255}));
    struct Case {
        bool scroll;
        float offsetU; // u = (x + offsetU) * 0.01 with x within 1 of 0
        bool red, green;
    };
    for (const Case& c : {Case{false, 0, true, true}, Case{true, 15, true, false}, Case{true, 65, false, true}}) {
        s_.Setvalues(10, s_.origin, 1.0f, 2.0f, 1.0f, "rg.tga");
        s_.InitializeSystem();
        s_.Emit(10);
        s_.scrollTexture = c.scroll;
        s_.texOffsetU = c.offsetU;
        s_.texScaleU = 0.01f;
        beginPerspectiveFrame();
        buildFrustum(kTestGLWidth, kTestGLHeight, 100.0f);
        s_.Render();
        EXPECT_EQ(brightIn(0) > 0, c.red) << c.offsetU;
        EXPECT_EQ(brightIn(1) > 0, c.green) << c.offsetU;
    }
}

// Two systems from a level record (one image missing), and the helpers the
// editor, the camera and saveinitfile use on them.
TEST(ParticleLevel, BuiltFromTheRecordAndEditedThroughTheHelpers)
{
    ASSERT_TRUE(ensureGLContext());
    WorkDir dir;
    writeSolidTGA("snow.tga", 2, 2, Rgb{255, 255, 255}, 255);
    char names[2][256] = {"a", "b"}, files[2][256] = {"snow.tga", "missing.ppm"};
    float velocity[2][3] = {}, extent[2][3] = {{1, 2, 3}, {4, 5, 6}}, origin[2][3] = {{0, 0, 0}, {10, 0, 0}};
    float one[2] = {1, 1};
    uint8_t scroll[2] = {0, 1};
    uint32_t maxCount[2] = {3, 4};
    Lev lev{};
    lev.particleSystemCount = 2;
    lev.particleNames = names, lev.particleTextureFiles = files;
    lev.particleVelocityBase = lev.particleVelocityVariance = velocity;
    lev.particleSize = lev.particleRate = lev.particleTexOffsetU = lev.particleTexOffsetV = one;
    lev.particleTexScaleU = lev.particleTexScaleV = one;
    lev.particleScrollTexture = scroll, lev.particleMaxCount = maxCount;
    lev.particleExtent = extent, lev.particleOrigin = origin;
    GlobalsGuard guard(selectedParticlesys);
    const std::string out = stdoutOf([&] { InitParticlesystems(&lev); });
    EXPECT_NE(out.find("missing.ppm"), std::string::npos) << out;
    ASSERT_EQ(g_snowstormCount, 2u);
    CSnowstorm& b = g_snowstorm[1];
    EXPECT_NE(b.texture, 0u);
    EXPECT_STREQ(b.header.name, "b");
    EXPECT_TRUE(b.scrollTexture);
    EXPECT_EQ(b.box[0].x, 6.0f);
    EXPECT_EQ(particleSystemHeader(2), nullptr);

    selectedParticlesys = 1;
    EXPECT_EQ(stepParticleSelection(1), &g_snowstorm[0].header);
    EXPECT_EQ(stepParticleSelection(-1), &b.header);

    // Moved by the editor: the box follows; scaled: no extent below 0.
    selectedObj = &b.header;
    vecobjmove = t_vector(1, 0, 0);
    moveobj(1.0f / g_frametime);
    selectedObj = nullptr;
    EXPECT_FLOAT_EQ(b.box[0].x, 7.0f);
    scaleParticleSystem(b, -10.0f, 1.0f, 0.5f);
    t_vector low, size;
    particleSystemOutline(b, &low, &size);
    EXPECT_TRUE(low.x == 11 && low.y == -6 && low.z == -6.5f && size.x == 0 && size.y == 6 && size.z == 13);
    writeBackParticleSystems(&lev);
    EXPECT_TRUE(extent[1][0] == 0 && extent[1][1] == 6 && extent[1][2] == 6.5f && origin[1][0] == 11);
    DestroyParticlesystems(&lev);
    EXPECT_EQ(g_snowstorm, nullptr);
    EXPECT_EQ(stepParticleSelection(1), nullptr);
}

} // namespace
