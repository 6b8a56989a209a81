// The sky box: choosing between the six faces and the "stdbg.ppm" fallback,
// the fallback's fog and clear colour read back with glGet, the faces sent
// to GL (feedback mode) and frames rendered on the headless context.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/engine.h"
#include "gl_fixture.h"
#include "render/display.h"
#include "render/skybox.h"
#include "test_terrain_feedback.h"
#include "texture_test_files.h"

namespace {

using terrain_test::captureFeedback;
using terrain_test::FbCapture;
using terrain_test::FbPolygon;
using terrain_test::FbVertex;
using terrain_test::toWorld;
using terrain_test::triangleCount;
using terrain_test::World;
using texture_test::Rgb;
using texture_test::ScopedWorkDir;

// One solid colour per face, none of them the placeholder's black or magenta.
constexpr Rgb kFaceColour[6] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {0, 255, 255}, {255, 128, 0},
};
constexpr Rgb kStdbgFirst{51, 102, 204};
constexpr float kLevelFog[4] = {0.1f, 0.2f, 0.3f, 0.5f};
constexpr float kTexLow = 1.0f / 256.0f;
constexpr float kTexHigh = 255.0f / 256.0f;

std::string faceName(int i)
{
    return "lvl/sky" + std::to_string(i) + ".ppm";
}

// "stdbg.ppm" in `dir`: first pixel kStdbgFirst, the rest dark grey.
void writeStdbg(const std::string& dir)
{
    texture_test::writePPM(dir + "/stdbg.ppm", 4, 4, [](int x, int y) {
        return x == 0 && y == 0 ? kStdbgFirst : Rgb{10, 10, 10};
    });
}

void expectColour4(const float* got, float r, float g, float b, float a, const char* what)
{
    EXPECT_NEAR(got[0], r, 1e-6f) << what;
    EXPECT_NEAR(got[1], g, 1e-6f) << what;
    EXPECT_NEAR(got[2], b, 1e-6f) << what;
    EXPECT_NEAR(got[3], a, 1e-6f) << what;
}

class SkyboxTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        attribPushed_ = true;
        savedLevel_ = Level;
        savedEngine_ = Engine;
        savedNoskybox_ = noskybox;
        savedOldGraka_ = g_isOldGraka;
        level_ = std::make_unique<Lev>();
        std::memcpy(level_->fogColor, kLevelFog, sizeof kLevelFog);
        level_->levelDirectory = directory_;
        for (int i = 0; i < 6; ++i) {
            setFace(i, faceName(i));
            texture_test::writeSolidPPM(faceName(i), 4, 4, kFaceColour[i]);
        }
        Level = level_.get();
        engine_.screenWidth = kTestGLWidth;
        engine_.screenHeight = kTestGLHeight;
        Engine = &engine_;
        noskybox = 0;
        g_isOldGraka = 0;
        glClearColor(0.7f, 0.7f, 0.7f, 0.0f);
        const float grey[4] = {0.4f, 0.4f, 0.4f, 1.0f};
        glFogfv(GL_FOG_COLOR, grey);
        glMatrixMode(GL_MODELVIEW);
    }
    void TearDown() override
    {
        skyboxDestroy();
        Level = savedLevel_;
        Engine = savedEngine_;
        noskybox = savedNoskybox_;
        g_isOldGraka = savedOldGraka_;
        if (attribPushed_) {
            glPopAttrib();
        }
    }
    void setFace(int i, const std::string& name)
    {
        std::memset(level_->skyFaceFiles[i], 0, 256);
        std::strncpy(level_->skyFaceFiles[i], name.c_str(), 255);
    }
    static void getFloats(GLenum what, float* out) { glGetFloatv(what, out); }

    ScopedWorkDir dir_;
    char directory_[8] = "lvl";
    std::unique_ptr<Lev> level_;
    CEngine engine_{};

private:
    bool attribPushed_ = false;
    Lev* savedLevel_ = nullptr;
    CEngine* savedEngine_ = nullptr;
    uint8_t savedNoskybox_ = 0;
    uint8_t savedOldGraka_ = 0;
};

// ---------------------------------------------------------------------------
// Choosing the sky
// ---------------------------------------------------------------------------

TEST_F(SkyboxTest, SixFacesGiveSixTexturesAndLeaveTheFogAlone)
{
    noskybox = 1;
    writeStdbg("lvl");
    skyboxInit();
    EXPECT_EQ(noskybox, 0);
    for (int i = 0; i < 6; ++i) {
        EXPECT_NE(skyboxTexture[i].id, 0u) << i;
        EXPECT_TRUE(glIsTexture(skyboxTexture[i].id)) << i;
        ASSERT_NE(skyboxTexture[i].name, nullptr);
        EXPECT_EQ(std::string(skyboxTexture[i].name), faceName(i));
        for (int j = 0; j < i; ++j) {
            EXPECT_NE(skyboxTexture[i].id, skyboxTexture[j].id);
        }
    }
    glBindTexture(GL_TEXTURE_2D, skyboxTexture[2].id);
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    expectColour4(level_->fogColor, 0.1f, 0.2f, 0.3f, 0.5f, "level fog");
    float clear[4];
    getFloats(GL_COLOR_CLEAR_VALUE, clear);
    expectColour4(clear, 0.7f, 0.7f, 0.7f, 0.0f, "clear colour");
}

TEST_F(SkyboxTest, FiveFacesFallBackToStdbgAndItsFirstPixel)
{
    writeStdbg("lvl");
    std::filesystem::remove(faceName(3));
    skyboxInit();
    EXPECT_EQ(noskybox, 1);
    ASSERT_NE(skyboxTexture[0].name, nullptr);
    EXPECT_EQ(std::string(skyboxTexture[0].name), "lvl/stdbg.ppm");
    EXPECT_EQ(skyboxTexture[0].imageWidth, 4);
    const float r = 51 / 255.0f;
    const float g = 102 / 255.0f;
    const float b = 204 / 255.0f;
    expectColour4(level_->fogColor, r, g, b, 1.0f, "level fog");
    float clear[4];
    getFloats(GL_COLOR_CLEAR_VALUE, clear);
    expectColour4(clear, r, g, b, 1.0f, "clear colour");
    float fog[4];
    getFloats(GL_FOG_COLOR, fog);
    expectColour4(fog, r, g, b, 1.0f, "GL fog colour");
}

TEST_F(SkyboxTest, AnySingleMissingFaceSelectsTheFallback)
{
    writeStdbg("lvl");
    for (int missing = 0; missing < 6; ++missing) {
        setFace(missing, "lvl/nothing.ppm");
        noskybox = 0;
        skyboxInit();
        EXPECT_EQ(noskybox, 1) << missing;
        setFace(missing, faceName(missing));
    }
    skyboxInit();
    EXPECT_EQ(noskybox, 0);
}

TEST_F(SkyboxTest, MissingStdbgKeepsTheLevelFogAsFogAndClearColour)
{
    std::filesystem::remove(faceName(0));
    testing::internal::CaptureStdout();
    skyboxInit();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(noskybox, 1);
    EXPECT_NE(out.find("lvl/stdbg.ppm"), std::string::npos) << out;
    EXPECT_EQ(skyboxTexture[0].imageWidth, 8);   // the reader's placeholder
    expectColour4(level_->fogColor, 0.1f, 0.2f, 0.3f, 0.5f, "level fog");
    float clear[4];
    getFloats(GL_COLOR_CLEAR_VALUE, clear);
    expectColour4(clear, 0.1f, 0.2f, 0.3f, 1.0f, "clear colour");
    float fog[4];
    getFloats(GL_FOG_COLOR, fog);
    expectColour4(fog, 0.1f, 0.2f, 0.3f, 0.5f, "GL fog colour");
}

TEST_F(SkyboxTest, BrokenStdbgKeepsTheLevelFog)
{
    std::filesystem::remove(faceName(5));
    texture_test::writeBytes("lvl/stdbg.ppm", "P6\n300 300\n255\n\x33\x66\xcc");
    testing::internal::CaptureStdout();
    skyboxInit();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(noskybox, 1);
    expectColour4(level_->fogColor, 0.1f, 0.2f, 0.3f, 0.5f, "level fog");
}

TEST_F(SkyboxTest, LevelDirectoryAndFaceNamesIgnoreCase)
{
    std::filesystem::rename("lvl/sky4.ppm", "lvl/SKY4.PPM");
    skyboxInit();
    EXPECT_EQ(noskybox, 0);

    std::filesystem::remove("lvl/SKY4.PPM");
    writeStdbg("lvl");
    std::filesystem::rename("lvl/stdbg.ppm", "lvl/StdBG.PPM");
    std::strcpy(directory_, "LVL");
    skyboxInit();
    EXPECT_EQ(noskybox, 1);
    EXPECT_NEAR(level_->fogColor[0], 51 / 255.0f, 1e-6f);
}

TEST_F(SkyboxTest, LevelWithoutDirectoryLooksInTheCurrentOne)
{
    level_->levelDirectory = nullptr;
    std::filesystem::remove(faceName(1));
    writeStdbg(".");
    skyboxInit();
    EXPECT_EQ(noskybox, 1);
    EXPECT_NEAR(level_->fogColor[2], 204 / 255.0f, 1e-6f);
}

TEST_F(SkyboxTest, FaceNameWithoutTerminatorIsNotOverRead)
{
    writeStdbg("lvl");
    std::memset(level_->skyFaceFiles[5], 'q', 256);
    level_->personCount = 0x41414141;   // the bytes after the field
    skyboxInit();
    EXPECT_EQ(noskybox, 1);
}

TEST_F(SkyboxTest, NoLevelRecordChangesNothing)
{
    Level = nullptr;
    noskybox = 1;
    skyboxInit();
    EXPECT_EQ(noskybox, 1);
    EXPECT_EQ(skyboxTexture[0].id, 0u);
}

TEST_F(SkyboxTest, PixelColourOfAPPM)
{
    writeStdbg("lvl");
    float out[4] = {9.0f, 9.0f, 9.0f, 9.0f};
    ASSERT_TRUE(getPixelColorPPM("LVL/STDBG.ppm", out));
    expectColour4(out, 51 / 255.0f, 102 / 255.0f, 204 / 255.0f, 1.0f, "first pixel");

    float untouched[4] = {9.0f, 9.0f, 9.0f, 9.0f};
    EXPECT_FALSE(getPixelColorPPM("lvl/none.ppm", untouched));
    EXPECT_FALSE(getPixelColorPPM(nullptr, untouched));
    texture_test::writeBytes("lvl/empty.ppm", "");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(getPixelColorPPM("lvl/empty.ppm", untouched));
    testing::internal::GetCapturedStdout();
    expectColour4(untouched, 9.0f, 9.0f, 9.0f, 9.0f, "after failures");

    // An 8 x 8 image that is not the reader's placeholder is a real image.
    texture_test::writePPM("lvl/eight.ppm", 8, 8, [](int x, int) {
        return x % 2 ? Rgb{255, 0, 255} : Rgb{0, 0, 1};
    });
    EXPECT_TRUE(getPixelColorPPM("lvl/eight.ppm", out));
    EXPECT_NEAR(out[2], 1 / 255.0f, 1e-6f);
}

// ---------------------------------------------------------------------------
// Drawing: the faces sent, captured in feedback mode
// ---------------------------------------------------------------------------

constexpr float kBox[8][3] = {
    {-604, 820, -519}, {664, 820, -519}, {664, -448, -519}, {-604, -448, -519},
    {-604, 820, 817},  {664, 820, 817},  {664, -448, 817},  {-604, -448, 817},
};
constexpr int kFaces[6][4] = {
    {1, 0, 3, 2}, {0, 4, 7, 3}, {4, 5, 6, 7}, {5, 1, 2, 6}, {0, 1, 5, 4}, {7, 6, 2, 3},
};
constexpr float kCornerTex[4][2] = {
    {kTexLow, kTexLow}, {kTexHigh, kTexLow}, {kTexHigh, kTexHigh}, {kTexLow, kTexHigh},
};

class SkyboxDraw : public SkyboxTest {
protected:
    void SetUp() override
    {
        SkyboxTest::SetUp();
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_FOG);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glViewport(0, 0, kTestGLWidth, kTestGLHeight);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);   // deliberately not the sky's projection
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    }
    void TearDown() override
    {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        SkyboxTest::TearDown();
    }
    // The whole box shrunk to sit in front of the eye, so that no face is
    // clipped; positions map back through the sky's own projection.
    FbCapture captureShrunkBox()
    {
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -3.0f);
        glScalef(0.0005f, 0.0005f, 0.0005f);
        FbCapture c = captureFeedback([] { drawSkybox(); });
        EXPECT_FALSE(c.overflow);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluPerspective(45.0, static_cast<double>(kTestGLWidth) / kTestGLHeight, 0.1, 100000.0);
        glGetDoublev(GL_PROJECTION_MATRIX, c.view.proj);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        return c;
    }
    // Centre pixel after drawing the sky with the view turned by `rotate`.
    Rgb centreAfterDrawing(void (*rotate)())
    {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glLoadIdentity();
        rotate();
        drawSkybox();
        glLoadIdentity();
        glFinish();
        uint8_t rgb[3] = {0, 0, 0};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(kTestGLWidth / 2, kTestGLHeight / 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return Rgb{rgb[0], rgb[1], rgb[2]};
    }
};

// Which face a triangle lies on, by the coordinate its corners share.
int faceOf(const std::vector<World>& corners)
{
    auto all = [&](int axis, float value) {
        for (const World& w : corners) {
            const double c = axis == 0 ? w.x : axis == 1 ? w.y : w.z;
            if (std::fabs(c - value) > 0.5) {
                return false;
            }
        }
        return true;
    };
    if (all(2, -519)) return 0;
    if (all(0, -604)) return 1;
    if (all(2, 817)) return 2;
    if (all(0, 664)) return 3;
    if (all(1, 820)) return 4;
    if (all(1, -448)) return 5;
    return -1;
}

int cornerOf(const World& w)
{
    for (int i = 0; i < 8; ++i) {
        if (std::fabs(w.x - kBox[i][0]) < 0.5 && std::fabs(w.y - kBox[i][1]) < 0.5
            && std::fabs(w.z - kBox[i][2]) < 0.5) {
            return i;
        }
    }
    return -1;
}

// Checks that the capture is the six faces of the box with their texture
// coordinates, all in `colour`; returns the number of faces seen.
int checkBoxFaces(const FbCapture& c, const float* colour)
{
    bool seen[6] = {};
    for (const FbPolygon& p : c.polygons) {
        std::vector<World> corners;
        for (const FbVertex& v : p.v) {
            corners.push_back(toWorld(c.view, v));
        }
        const int face = faceOf(corners);
        if (face < 0) {
            ADD_FAILURE() << "a polygon off the box's faces";
            continue;
        }
        seen[face] = true;
        for (size_t k = 0; k < p.v.size(); ++k) {
            const int corner = cornerOf(corners[k]);
            int slot = -1;
            for (int s = 0; s < 4; ++s) {
                if (kFaces[face][s] == corner) {
                    slot = s;
                }
            }
            if (slot < 0) {
                ADD_FAILURE() << "face " << face << " has a vertex off its corners";
                continue;
            }
            EXPECT_NEAR(p.v[k].tex[0], kCornerTex[slot][0], 1e-6f) << "face " << face;
            EXPECT_NEAR(p.v[k].tex[1], kCornerTex[slot][1], 1e-6f) << "face " << face;
            for (int ch = 0; ch < 3; ++ch) {
                EXPECT_NEAR(p.v[k].colour[ch], colour[ch], 2e-3f) << "face " << face;
            }
        }
    }
    int count = 0;
    for (bool s : seen) {
        count += s;
    }
    return count;
}

TEST_F(SkyboxDraw, FullBoxSendsSixWhiteTexturedFaces)
{
    skyboxInit();
    ASSERT_EQ(noskybox, 0);
    const FbCapture c = captureShrunkBox();
    EXPECT_EQ(triangleCount(c), 12);
    const float white[3] = {1.0f, 1.0f, 1.0f};
    EXPECT_EQ(checkBoxFaces(c, white), 6);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), skyboxTexture[5].id);   // the last face's own texture
}

TEST_F(SkyboxDraw, FallbackOnACurrentCardSendsNothing)
{
    writeStdbg("lvl");
    std::filesystem::remove(faceName(2));
    skyboxInit();
    ASSERT_EQ(noskybox, 1);
    float before[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    const FbCapture c = captureShrunkBox();
    EXPECT_TRUE(c.polygons.empty());
    float after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);
}

TEST_F(SkyboxDraw, FallbackOnAnOldCardSendsSixFacesInTheFogColour)
{
    writeStdbg("lvl");
    std::filesystem::remove(faceName(2));
    skyboxInit();
    ASSERT_EQ(noskybox, 1);
    g_isOldGraka = 1;
    const FbCapture c = captureShrunkBox();
    EXPECT_EQ(triangleCount(c), 12);
    EXPECT_EQ(checkBoxFaces(c, level_->fogColor), 6);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), skyboxTexture[0].id);
}

TEST_F(SkyboxDraw, RestoresProjectionMatrixModeAndFog)
{
    skyboxInit();
    level_->fogOn = 1;
    glEnable(GL_FOG);
    float before[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    glMatrixMode(GL_MODELVIEW);
    drawSkybox();
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    float after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_EQ(std::memcmp(before, after, sizeof before), 0);

    // The fallback on an old card keeps the fog on throughout.
    writeStdbg("lvl");
    std::filesystem::remove(faceName(0));
    skyboxInit();
    g_isOldGraka = 1;
    drawSkybox();
    EXPECT_TRUE(glIsEnabled(GL_FOG));

    // With the level's fog off the box leaves GL fog as it was.
    level_->fogOn = 0;
    g_isOldGraka = 0;
    setFace(0, faceName(0));
    texture_test::writeSolidPPM(faceName(0), 4, 4, kFaceColour[0]);
    skyboxInit();
    glDisable(GL_FOG);
    drawSkybox();
    EXPECT_FALSE(glIsEnabled(GL_FOG));
}

// ---------------------------------------------------------------------------
// Frames rendered and read back
// ---------------------------------------------------------------------------

void lookAhead() {}
void lookLeft() { glRotatef(-90.0f, 0.0f, 1.0f, 0.0f); }
void lookBack() { glRotatef(180.0f, 0.0f, 1.0f, 0.0f); }
void lookRight() { glRotatef(90.0f, 0.0f, 1.0f, 0.0f); }
void lookUp() { glRotatef(-90.0f, 1.0f, 0.0f, 0.0f); }
void lookDown() { glRotatef(90.0f, 1.0f, 0.0f, 0.0f); }

void expectRgb(const Rgb& got, const Rgb& want, const std::string& what)
{
    EXPECT_NEAR(got.r, want.r, 3) << what;
    EXPECT_NEAR(got.g, want.g, 3) << what;
    EXPECT_NEAR(got.b, want.b, 3) << what;
}

TEST_F(SkyboxDraw, EachDirectionShowsItsOwnFaceUnfogged)
{
    // A dense grey fog that would swallow anything 500 units away.
    level_->fogOn = 1;
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, 1.0f);
    glFogf(GL_FOG_END, 10.0f);
    glEnable(GL_FOG);
    // A full box after a fallback level: every face is back.
    writeStdbg("lvl");
    setFace(4, "lvl/none.ppm");
    skyboxInit();
    ASSERT_EQ(noskybox, 1);
    setFace(4, faceName(4));
    skyboxInit();
    ASSERT_EQ(noskybox, 0);

    void (*const views[6])() = {lookAhead, lookLeft, lookBack, lookRight, lookUp, lookDown};
    for (int face = 0; face < 6; ++face) {
        expectRgb(centreAfterDrawing(views[face]), kFaceColour[face], "face " + std::to_string(face));
    }
}

TEST_F(SkyboxTest, DestroyDeletesTheTextures)
{
    skyboxInit();
    const GLuint first = skyboxTexture[0].id;
    ASSERT_TRUE(glIsTexture(first));
    skyboxDestroy();
    for (const STexture& t : skyboxTexture) {
        EXPECT_EQ(t.id, 0u);
    }
    EXPECT_FALSE(glIsTexture(first));
}

}  // namespace
