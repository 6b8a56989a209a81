// The sky box: choosing between the six faces and the "stdbg.ppm" fallback,
// the fallback's fog and clear colour read back with glGet, and frames
// rendered on the headless context.

#include <memory>

#include "core/common.h"
#include "render/display.h"
#include "render/skybox.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

// One solid colour per face, none of them the placeholder's black or magenta.
constexpr Rgb kFaceColour[6] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 128, 0},
};
constexpr float kStdbgFog[4] = {51 / 255.0f, 102 / 255.0f, 204 / 255.0f, 1.0f};
constexpr float kLevelFog[4] = {0.1f, 0.2f, 0.3f, 0.5f};

std::string faceName(int i)
{
    return "lvl/sky" + std::to_string(i) + ".ppm";
}

// "stdbg.ppm" in `dir`: first pixel (51, 102, 204), the rest white.
void writeStdbg(const std::string& dir)
{
    writePPM(dir + "/stdbg.ppm", 4, 4, [](int x, int y) {
        return x == 0 && y == 0 ? Rgb{51, 102, 204} : Rgb{255, 255, 255};
    });
}

// The level's fog colour and GL's clear and fog colours.
void expectColours(const float* levelFog, const float* clear, const float* glFog)
{
    for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(Level->fogColor[k], levelFog[k], 1e-6f) << "level fog " << k;
        EXPECT_NEAR(glFloat(GL_COLOR_CLEAR_VALUE, k), clear[k], 1e-6f) << "clear colour " << k;
        EXPECT_NEAR(glFloat(GL_FOG_COLOR, k), glFog[k], 1e-6f) << "GL fog colour " << k;
    }
}

class Skybox : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        level_ = std::make_unique<Lev>();
        std::memcpy(level_->fogColor, kLevelFog, sizeof kLevelFog);
        level_->levelDirectory = directory_;
        for (int i = 0; i < 6; ++i) {
            setFace(i, faceName(i));
            writeSolidPPM(faceName(i), 4, 4, kFaceColour[i]);
        }
        writeStdbg("lvl");
        Level = level_.get();
        g_view.screenWidth = kTestGLWidth;
        g_view.screenHeight = kTestGLHeight;
        noskybox = 0;
        g_isOldGraka = 0;
        glClearColor(0.7f, 0.7f, 0.7f, 0.0f);
        glFogfv(GL_FOG_COLOR, kGrey);
        glMatrixMode(GL_PROJECTION);
        glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);   // deliberately not the sky's projection
        glMatrixMode(GL_MODELVIEW);
    }
    void TearDown() override { skyboxDestroy(); }
    void setFace(int i, const std::string& name)
    {
        std::memset(level_->skyFaceFiles[i], 0, 256);
        std::strncpy(level_->skyFaceFiles[i], name.c_str(), 255);
    }
    // Centre pixel after clearing to black and drawing the sky with the view
    // turned by `angle` degrees about (ax, ay, 0).
    static Rgb centreAfterDrawing(float angle = 0.0f, float ax = 0.0f, float ay = 1.0f)
    {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        glRotatef(angle, ax, ay, 0.0f);
        drawSkybox();
        glLoadIdentity();
        return FramePixels().at(kTestGLWidth / 2, kTestGLHeight / 2);
    }

    static constexpr float kGrey[4] = {0.4f, 0.4f, 0.4f, 1.0f};
    CleanGLState gl_;
    WorkDir dir_;
    char directory_[8] = "lvl";
    std::unique_ptr<Lev> level_;
    GlobalsGuard saved_{Level, g_view, noskybox, g_isOldGraka};
};

}  // namespace

TEST_F(Skybox, SixFacesGiveSixTexturesAndLeaveTheColoursAlone)
{
    skyboxInit();
    EXPECT_EQ(noskybox, 0);
    const float clear[4] = {0.7f, 0.7f, 0.7f, 0.0f};
    expectColours(kLevelFog, clear, kGrey);

    const GLuint first = skyboxTexture[0].id;
    ASSERT_TRUE(glIsTexture(first));
    skyboxDestroy();
    for (const STexture& t : skyboxTexture) {
        EXPECT_EQ(t.id, 0u);
    }
    EXPECT_FALSE(glIsTexture(first));
}

TEST_F(Skybox, UnreadableStdbgKeepsTheLevelFog)
{
    std::filesystem::remove(faceName(0));
    std::filesystem::remove("lvl/stdbg.ppm");
    for (const bool broken : {false, true}) {
        SCOPED_TRACE(broken ? "broken stdbg" : "missing stdbg");
        if (broken) {
            writeBytes("lvl/stdbg.ppm", std::string("P6\n300 300\n255\n\x33\x66\xcc"));
        }
        const std::string out = stdoutOf(skyboxInit);
        EXPECT_EQ(noskybox, 1);
        EXPECT_NE(out.find("lvl/stdbg.ppm"), std::string::npos) << out;
        const float clear[4] = {0.1f, 0.2f, 0.3f, 1.0f};
        expectColours(kLevelFog, clear, kLevelFog);
    }
}

TEST_F(Skybox, FileNamesIgnoreCaseAndNeedNoTerminatorOrDirectory)
{
    // A face name filling its field is not read on into the next field.
    std::memset(level_->skyFaceFiles[5], 'q', 256);
    level_->personCount = 0x41414141;
    std::filesystem::rename("lvl/stdbg.ppm", "lvl/StdBG.PPM");
    std::strcpy(directory_, "LVL");
    skyboxInit();
    EXPECT_EQ(noskybox, 1);
    EXPECT_NEAR(level_->fogColor[0], kStdbgFog[0], 1e-6f);

    // A level without a directory looks in the current one.
    std::memcpy(level_->fogColor, kLevelFog, sizeof kLevelFog);
    level_->levelDirectory = nullptr;
    writeStdbg(".");
    skyboxInit();
    EXPECT_NEAR(level_->fogColor[2], kStdbgFog[2], 1e-6f);

    // No level record: nothing changes.
    skyboxDestroy();
    Level = nullptr;
    noskybox = 0;
    skyboxInit();
    EXPECT_EQ(noskybox, 0);
    EXPECT_EQ(skyboxTexture[0].id, 0u);
}

// The first-pixel reader behind the fallback's colour at its edges: no name
// leaves the colour alone (an unreadable file: see above); an 8 x 8 image
// that is not the reader's placeholder is a real image.
TEST_F(Skybox, PixelColourOfAPPMAtItsEdges)
{
    float out[4] = {9.0f, 9.0f, 9.0f, 9.0f};
    EXPECT_FALSE(getPixelColorPPM(nullptr, out));
    EXPECT_EQ(out[0] + out[3], 18.0f);
    writePPM("lvl/eight.ppm", 8, 8, [](int x, int) { return x % 2 ? Rgb{255, 0, 255} : Rgb{0, 0, 1}; });
    EXPECT_TRUE(getPixelColorPPM("lvl/eight.ppm", out));
    EXPECT_NEAR(out[2], 1 / 255.0f, 1e-6f);
}

TEST_F(Skybox, EachDirectionShowsItsOwnFaceUnfogged)
{
    // A dense grey fog that would swallow anything 500 units away.
    level_->fogOn = 1;
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, 1.0f);
    glFogf(GL_FOG_END, 10.0f);
    glEnable(GL_FOG);
    // A full box after a fallback level: every face is back.
    setFace(4, "lvl/none.ppm");
    skyboxInit();
    setFace(4, faceName(4));
    skyboxInit();
    ASSERT_EQ(noskybox, 0);

    const GLMatrices before;
    const struct { float angle, ax, ay;
                    } views[6] = {{0, 0, 1}, {-90, 0, 1}, {180, 0, 1}, {90, 0, 1}, {-90, 1, 0}, {90, 1, 0}};
    for (int face = 0; face < 6; ++face) {
        const Rgb centre = centreAfterDrawing(views[face].angle, views[face].ax, views[face].ay);
        expectRgb(centre, kFaceColour[face], "face " + std::to_string(face));
    }
    // The matrices and the fog are as they were.
    EXPECT_TRUE(GLMatrices() == before);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    // With the level's fog off the box leaves GL fog off.
    level_->fogOn = 0;
    glDisable(GL_FOG);
    drawSkybox();
    EXPECT_FALSE(glIsEnabled(GL_FOG));
}

TEST_F(Skybox, FallbackShowsOnlyOnAnOldCardInTheFogColour)
{
    std::filesystem::remove(faceName(2));
    skyboxInit();
    ASSERT_EQ(noskybox, 1);
    expectColours(kStdbgFog, kStdbgFog, kStdbgFog);
    expectRgb(centreAfterDrawing(), Rgb{0, 0, 0}, "current card");
    g_isOldGraka = 1;
    // The white of stdbg.ppm tinted with the fog colour.
    expectRgb(centreAfterDrawing(), Rgb{51, 102, 204}, "old card");
    // The level's fog stays on.
    level_->fogOn = 1;
    glEnable(GL_FOG);
    drawSkybox();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
}
