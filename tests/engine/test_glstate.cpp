// The fixed GL state after initGL and the per-level fog, read back with glGet.

#include <cmath>

#include "core/common.h"
#include "render/display.h"
#include "support/gl_frame.h"
#include "support/guards.h"

namespace {

class GLState : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        g_view = t_view{};
        g_view.screenWidth = 320;
        g_view.screenHeight = 240;
        g_view.viewDistance = 500.0f;
        const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
        std::memcpy(g_view.fogColor, colour, sizeof colour);
        ngrad = fcull = Fogon = 0;
        g_fogtype = 2;
    }
    void TearDown() override
    {
        glDisable(GL_FOG);
        glDisable(GL_CULL_FACE);
    }
    GlobalsGuard saved_{g_view, ngrad, fcull, Fogon, g_fogtype};
};

}  // namespace

TEST_F(GLState, InitGLSetsTheFixedStateAndTheSwitchesChangeIt)
{
    g_view.fogOn = 1;
    initGL();
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(glFloat(GL_COLOR_CLEAR_VALUE, i), g_view.fogColor[i]) << i;
    }
    EXPECT_EQ(glFloat(GL_SCISSOR_BOX, 2) + glFloat(GL_SCISSOR_BOX, 3), 560.0f);
    EXPECT_EQ(glFloat(GL_VIEWPORT, 2) + glFloat(GL_VIEWPORT, 3), 560.0f);
    for (GLenum on : {GL_DEPTH_TEST, GL_SCISSOR_TEST, GL_TEXTURE_2D, GL_FOG}) {
        EXPECT_TRUE(glIsEnabled(on)) << on;
    }
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST) || glIsEnabled(GL_CULL_FACE)) << "alpha test: only the function is set";
    for (auto [e, want] : {std::pair<GLenum, GLint>{GL_ALPHA_TEST_FUNC, GL_GREATER}, {GL_SHADE_MODEL, GL_SMOOTH},
                           {GL_BLEND_SRC, GL_ONE}, {GL_BLEND_DST, GL_ZERO}, {GL_FOG_MODE, GL_EXP2},
                           {GL_MATRIX_MODE, GL_MODELVIEW}}) {
        EXPECT_EQ(glInt(e), want) << e;
    }
    EXPECT_NEAR(glFloat(GL_ALPHA_TEST_REF), 0.1f, 1e-6);
    EXPECT_EQ(Fogon, 1);
    // 45 degrees vertically, 4:3, far plane at the view distance.
    const float f = 1.0f / std::tan(22.5f * static_cast<float>(M_PI) / 180.0f);
    EXPECT_NEAR(glFloat(GL_PROJECTION_MATRIX, 5), f, 1e-4);
    EXPECT_NEAR(glFloat(GL_PROJECTION_MATRIX, 0), f * 0.75f, 1e-4);
    EXPECT_NEAR(glFloat(GL_PROJECTION_MATRIX, 10), -(500.0f + 0.1f) / (500.0f - 0.1f), 1e-5);

    // "-ngrad" makes it 90 degrees, "-fcull" culls back faces.
    ngrad = fcull = 1;
    g_view.fogOn = Fogon = 0;
    glDisable(GL_FOG);
    initGL();
    EXPECT_NEAR(glFloat(GL_PROJECTION_MATRIX, 5), 1.0f, 1e-5);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && !glIsEnabled(GL_FOG));
    EXPECT_EQ(glInt(GL_FRONT_FACE), GL_CCW);
    EXPECT_EQ(Fogon, 0);
}

TEST_F(GLState, ResetFogTakesModeByNameAndValuesFromLevel)
{
    Lev level{};
    level.fogOn = 1;
    level.fogDensity = 0.5f;
    level.fogStart = 3.0f;
    level.fogEnd = 33.0f;
    level.fogColor[0] = 1.0f;
    level.fogColor[3] = 0.5f;
    // type: g_fogtype, for the editor's fog line.
    const struct { const char* name; GLint mode; int type; } modes[] = {
        {"exp", GL_EXP, 1}, {"LiN", GL_LINEAR, 0}, {"", GL_EXP2, 2}, {"EXP3", GL_EXP2, 2}};
    for (const auto& m : modes) {
        std::strcpy(g_view.fogModeName, m.name);
        draw_resetFog(&level);
        EXPECT_EQ(glInt(GL_FOG_MODE), m.mode) << "'" << m.name << "'";
        EXPECT_EQ(g_fogtype, m.type) << "'" << m.name << "'";
    }
    const std::vector<float> got{glFloat(GL_FOG_DENSITY), glFloat(GL_FOG_START), glFloat(GL_FOG_END),
                                 glFloat(GL_FOG_COLOR, 0), glFloat(GL_FOG_COLOR, 3)};
    EXPECT_EQ(got, (std::vector<float>{0.5f, 3.0f, 33.0f, 1.0f, 0.5f}));
    EXPECT_EQ(glInt(GL_FOG_HINT), GL_FASTEST);
    EXPECT_TRUE(glIsEnabled(GL_FOG));

    level.fogOn = 0;
    draw_resetFog(&level);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_EQ(Fogon, 0);
}
