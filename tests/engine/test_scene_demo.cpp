// The generated demo objects drawn together: a fir and a walking figure
// under a light riding on the fir, read back from the frame.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstring>
#include <vector>

#include "core/engine.h"
#include "support/gl_frame.h"
#include "image/texlist.h"
#include "support/temp_dir.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "scene/objects.h"

namespace {

struct Counts {
    int green = 0;   // needles
    int blue = 0;    // the walker's shirt
    int red = 0;     // anything lit red
};

Counts drawAndCount()
{
    beginPerspectiveFrame();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    drawMeshs(false, 1.0f);
    std::vector<uint8_t> rgba(kTestGLWidth * kTestGLHeight * 4);
    glReadPixels(0, 0, kTestGLWidth, kTestGLHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    Counts c;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        const int r = rgba[i];
        const int g = rgba[i + 1];
        const int b = rgba[i + 2];
        c.green += g > r + 25 && g > b ? 1 : 0;
        c.blue += b > r + 40 && b > g ? 1 : 0;
        c.red += r > g + 40 && r > b + 40 ? 1 : 0;
    }
    return c;
}

}  // namespace

TEST(SceneDemo, GeneratedFirAndFigureDrawnLitAndUnlit)
{
    ASSERT_TRUE(ensureGLContext());
    ScopedCwd cwd(VEXT_SOURCE_DIR "/data");
    Lev level{};
    level.viewDistance = 50.0f;
    level.minBoxThickness = 0.1f;
    level.screenWidth = kTestGLWidth;
    level.screenHeight = kTestGLHeight;
    const float white[3] = {1, 1, 1};
    std::memcpy(level.unlitColour, white, sizeof white);
    std::vector<t_tree> trees(1);
    std::snprintf(trees[0].name, 256, "fir");
    std::snprintf(trees[0].file, 256, "obj/trees/fir.raw");
    const float firAt[3] = {-1.2f, -1.8f, -7.0f};
    std::memcpy(trees[0].position, firAt, sizeof firAt);
    trees[0].parentIndex = -1;
    std::vector<t_person> persons(1);
    std::snprintf(persons[0].name, 256, "walker");
    std::snprintf(persons[0].file, 256, "obj/figures/walker.md2");
    const float walkerAt[3] = {1.2f, -1.2f, -5.0f};
    std::memcpy(persons[0].position, walkerAt, sizeof walkerAt);
    persons[0].parentIndex = -1;
    char onFir[] = "fir";
    LevLight light{6, {}, {255, 0, 0, 255}, kLightAllVertices, onFir};
    level.treeTable = trees.data();
    level.treeCount = 1;
    level.personTable = persons.data();
    level.personCount = 1;
    level.lightTable = &light;
    level.lightCount = 1;
    Lev* oldLevel = Level;
    Level = &level;
    TexList.initTex();
    loadMeshs();
    ASSERT_NE(baum, nullptr);
    ASSERT_NE(player, nullptr);
    EXPECT_STREQ(player[0].skin, "walkerskin");
    EXPECT_GT(player[0].model.frameCount, 1);

    const Counts unlit = drawAndCount();
    EXPECT_GT(unlit.green, 300);
    EXPECT_GT(unlit.blue, 100);
    EXPECT_LT(unlit.red, 50);

    // Lit: base black, one red light on the fir.  The fir turns red; the
    // figure, out of the light's reach, goes dark.
    level.dynamicLighting = 1;
    const Counts lit = drawAndCount();
    EXPECT_LT(lit.green, unlit.green / 10);
    EXPECT_GT(lit.red, 300);
    EXPECT_LT(lit.blue, unlit.blue / 10);

    DestroyLights();
    DestroyObjects();
    Level = oldLevel;
}
