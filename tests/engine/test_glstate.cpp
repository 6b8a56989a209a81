// The fixed GL state after initGL and the per-level fog, read back with glGet.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "core/common.h"
#include "gl_fixture.h"
#include "render/display.h"

namespace {

class GLState : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        saved_ = g_view;
        g_view = t_view{};
        g_view.screenWidth = 320;
        g_view.screenHeight = 240;
        g_view.viewDistance = 500.0f;
        const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
        std::memcpy(g_view.fogColor, colour, sizeof colour);
        g_view.fogDensity = 0.02f;
        g_view.fogStart = 10.0f;
        g_view.fogEnd = 90.0f;
        ngrad = 0;
        fcull = 0;
        Fogon = 0;
        g_fogtype = 2;
    }
    void TearDown() override
    {
        glDisable(GL_FOG);
        glDisable(GL_CULL_FACE);
        g_view = saved_;
        ngrad = 0;
        fcull = 0;
    }
    static float projection(int i)
    {
        float m[16];
        glGetFloatv(GL_PROJECTION_MATRIX, m);
        return m[i];
    }
    t_view saved_{};
};

GLint getInt(GLenum e)
{
    GLint v = 0;
    glGetIntegerv(e, &v);
    return v;
}

}  // namespace

TEST_F(GLState, InitGLSetsTheFixedState)
{
    g_view.fogOn = 1;
    initGL();
    float clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.25f);
    EXPECT_FLOAT_EQ(clear[1], 0.5f);
    EXPECT_FLOAT_EQ(clear[2], 0.75f);
    EXPECT_FLOAT_EQ(clear[3], 1.0f);
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(box[2], 320);
    EXPECT_EQ(box[3], 240);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 320);
    EXPECT_EQ(vp[3], 240);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST)) << "only the function is set";
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(getInt(GL_ALPHA_TEST_FUNC), GL_GREATER);
    float ref = 0;
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_NEAR(ref, 0.1f, 1e-6);
    EXPECT_EQ(getInt(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_EQ(getInt(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(getInt(GL_BLEND_DST), GL_ZERO);
    EXPECT_EQ(getInt(GL_FOG_MODE), GL_EXP2);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(Fogon, 1);
    EXPECT_EQ(getInt(GL_MATRIX_MODE), GL_MODELVIEW);

    // 45 degrees: m[5] = cot(22.5°), m[0] = m[5] / aspect; far plane in m[10].
    const float f = 1.0f / std::tan(22.5f * static_cast<float>(M_PI) / 180.0f);
    EXPECT_NEAR(projection(5), f, 1e-4);
    EXPECT_NEAR(projection(0), f / (320.0f / 240.0f), 1e-4);
    EXPECT_NEAR(projection(10), -(500.0f + 0.1f) / (500.0f - 0.1f), 1e-5);
}

TEST_F(GLState, SwitchesChangeFieldOfViewAndCulling)
{
    ngrad = 1;
    fcull = 1;
    g_view.fogOn = 0;
    initGL();
    EXPECT_NEAR(projection(5), 1.0f, 1e-5) << "90 degrees";
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(getInt(GL_FRONT_FACE), GL_CCW);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
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

    std::strcpy(g_view.fogModeName, "exp");
    draw_resetFog(&level);
    EXPECT_EQ(g_fogtype, 1);
    EXPECT_EQ(getInt(GL_FOG_MODE), GL_EXP);
    float v = 0;
    glGetFloatv(GL_FOG_DENSITY, &v);
    EXPECT_FLOAT_EQ(v, 0.5f);
    glGetFloatv(GL_FOG_START, &v);
    EXPECT_FLOAT_EQ(v, 3.0f);
    glGetFloatv(GL_FOG_END, &v);
    EXPECT_FLOAT_EQ(v, 33.0f);
    float c[4];
    glGetFloatv(GL_FOG_COLOR, c);
    EXPECT_FLOAT_EQ(c[0], 1.0f);
    EXPECT_FLOAT_EQ(c[3], 0.5f);
    EXPECT_EQ(getInt(GL_FOG_HINT), GL_FASTEST);
    EXPECT_TRUE(glIsEnabled(GL_FOG));

    std::strcpy(g_view.fogModeName, "LiN");
    draw_resetFog(&level);
    EXPECT_EQ(getInt(GL_FOG_MODE), GL_LINEAR);

    for (const char* other : {"", "EXP3", "fog"}) {
        std::strcpy(g_view.fogModeName, other);
        draw_resetFog(&level);
        EXPECT_EQ(getInt(GL_FOG_MODE), GL_EXP2) << "'" << other << "' falls back to EXP2";
    }

    level.fogOn = 0;
    draw_resetFog(&level);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_EQ(Fogon, 0);
}
