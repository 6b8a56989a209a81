// The height-field terrain: loading the height map (mapping, refusals), the
// vertices the drawing sends (captured in GL feedback mode), the skirt, and
// a frame rendered on the headless context and read back.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "camera/camera.h"
#include "core/engine.h"
#include "gl_fixture.h"
#include "render/display.h"
#include "render/skybox.h"
#include "terrain/heightfield.h"
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

constexpr float kFog[4] = {0.2f, 0.3f, 0.9f, 1.0f};   // r != b: no terrain colour looks like it

using BlueFn = std::function<uint8_t(int row, int col)>;

// A height map whose blue byte at (row, column) comes from `blue`; red and
// green carry other values, which must be ignored.
void writeHeightMap(const std::string& path, const BlueFn& blue, int w = 64, int h = 64)
{
    texture_test::writePPM(path, w, h, [&](int x, int y) {
        const uint8_t b = blue(y, x);
        return Rgb{static_cast<uint8_t>(255 - b), static_cast<uint8_t>(x * 3 + y), b};
    });
}

void fillTerrain(float value)
{
    for (auto& column : terrain) {
        for (float& h : column) {
            h = value;
        }
    }
}

class TerrainTest : public testing::Test {
protected:
    void SetUp() override
    {
        savedLevel_ = Level;
        savedEngine_ = Engine;
        savedBoden_ = Boden;
        savedNoskybox_ = noskybox;
        savedFogon_ = Fogon;
        std::memcpy(savedTerrain_, terrain, sizeof terrain);
        level_ = std::make_unique<Lev>();
        Level = level_.get();
        engine_.viewDistance = 100.0f;
        std::memcpy(engine_.fogColor, kFog, sizeof kFog);
        Engine = &engine_;
        noskybox = 0;
        Fogon = 0;
    }
    void TearDown() override
    {
        Level = savedLevel_;
        Engine = savedEngine_;
        Boden = savedBoden_;
        noskybox = savedNoskybox_;
        Fogon = savedFogon_;
        std::memcpy(terrain, savedTerrain_, sizeof terrain);
    }
    void setMapName(const std::string& name)
    {
        std::memset(level_->heightMapFile, 0, sizeof level_->heightMapFile);
        std::strncpy(level_->heightMapFile, name.c_str(), sizeof level_->heightMapFile - 1);
    }
    // Writes and loads a 64 x 64 map; true when it was accepted.
    bool loadMap(const BlueFn& blue)
    {
        writeHeightMap("map.ppm", blue);
        setMapName("map.ppm");
        init_height_field();
        return Boden == 1;
    }

    ScopedWorkDir dir_;
    std::unique_ptr<Lev> level_;
    CEngine engine_{};

private:
    Lev* savedLevel_ = nullptr;
    CEngine* savedEngine_ = nullptr;
    uint8_t savedBoden_ = 0;
    uint8_t savedNoskybox_ = 0;
    uint8_t savedFogon_ = 0;
    float savedTerrain_[kTerrainSize][kTerrainSize]{};
};

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

TEST_F(TerrainTest, MapsBlueBytesTurnedBy180Degrees)
{
    auto blue = [](int row, int col) { return static_cast<uint8_t>((row * 64 + col) * 7 % 256); };
    ASSERT_TRUE(loadMap(blue));
    // The four corners, spelt out: the image's top-left pixel is the grid's
    // far corner (63, 63), its bottom-right pixel the grid's origin.
    EXPECT_FLOAT_EQ(terrain[63][63], blue(0, 0) / 100.0f);
    EXPECT_FLOAT_EQ(terrain[0][63], blue(0, 63) / 100.0f);
    EXPECT_FLOAT_EQ(terrain[63][0], blue(63, 0) / 100.0f);
    EXPECT_FLOAT_EQ(terrain[0][0], blue(63, 63) / 100.0f);
    // Column k of the image runs against x, row r against z.
    EXPECT_FLOAT_EQ(terrain[62][63], blue(0, 1) / 100.0f);
    EXPECT_FLOAT_EQ(terrain[63][62], blue(1, 0) / 100.0f);
    int wrong = 0;
    for (int r = 0; r < 64; ++r) {
        for (int k = 0; k < 64; ++k) {
            wrong += terrain[63 - k][63 - r] != blue(r, k) / 100.0f;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(TerrainTest, MissingMapMeansNoTerrainSilentlyAndKeepsTheTable)
{
    ASSERT_TRUE(loadMap([](int, int) { return uint8_t{42}; }));
    setMapName("gone.ppm");
    testing::internal::CaptureStdout();
    init_height_field();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(Boden, 0);
    EXPECT_FLOAT_EQ(terrain[5][7], 0.42f);

    setMapName("");
    Boden = 1;
    init_height_field();
    EXPECT_EQ(Boden, 0);
}

TEST_F(TerrainTest, NoLevelRecordMeansNoTerrain)
{
    Level = nullptr;
    Boden = 1;
    init_height_field();
    EXPECT_EQ(Boden, 0);
}

TEST_F(TerrainTest, NameFieldWithoutTerminatorIsNotOverRead)
{
    std::memset(level_->heightMapFile, 'a', sizeof level_->heightMapFile);
    level_->skyFaceFiles[0][0] = 'x';   // the byte after the field: not part of the name
    Boden = 1;
    init_height_field();
    EXPECT_EQ(Boden, 0);
}

TEST_F(TerrainTest, MapNameIsResolvedWithoutRegardToCase)
{
    writeHeightMap("Maps/Height.PPM", [](int, int) { return uint8_t{100}; });
    setMapName("maps/height.ppm");
    init_height_field();
    EXPECT_EQ(Boden, 1);
    EXPECT_FLOAT_EQ(terrain[31][31], 1.0f);
}

struct Size {
    int w, h;
};

class TerrainWrongSize : public TerrainTest, public testing::WithParamInterface<Size> {};

TEST_P(TerrainWrongSize, IsRefusedWithAWarningNamingTheFile)
{
    fillTerrain(0.5f);
    const Size s = GetParam();
    writeHeightMap("odd.ppm", [](int, int) { return uint8_t{200}; }, s.w, s.h);
    setMapName("odd.ppm");
    testing::internal::CaptureStdout();
    init_height_field();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Boden, 0);
    EXPECT_NE(out.find("odd.ppm"), std::string::npos) << out;
    EXPECT_NE(out.find(std::to_string(s.w) + " x " + std::to_string(s.h)), std::string::npos) << out;
    EXPECT_FLOAT_EQ(terrain[0][0], 0.5f);
    EXPECT_FLOAT_EQ(terrain[63][63], 0.5f);
}

// 1 x 4096 and 4096 x 1 hold exactly the bytes of a 64 x 64 map but not its shape.
INSTANTIATE_TEST_SUITE_P(Sizes, TerrainWrongSize,
                         testing::Values(Size{32, 32}, Size{128, 128}, Size{64, 63}, Size{63, 64},
                                         Size{1, 4096}, Size{4096, 1}, Size{1, 1}));

TEST_F(TerrainTest, BrokenMapIsRefusedWithoutReadingPastItsBytes)
{
    fillTerrain(0.25f);
    // The header promises 64 x 64 pixels; only 100 bytes follow.
    texture_test::writeBytes("short.ppm", "P6\n64 64\n255\n" + std::string(100, '\xff'));
    setMapName("short.ppm");
    testing::internal::CaptureStdout();
    init_height_field();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Boden, 0);
    EXPECT_NE(out.find("short.ppm"), std::string::npos) << out;
    EXPECT_FLOAT_EQ(terrain[0][0], 0.25f);
}

// ---------------------------------------------------------------------------
// Drawing: the vertices sent, captured in feedback mode
// ---------------------------------------------------------------------------

// Window coordinates of a top-down view: world x -40..40 across the 320
// pixels, world z 40..-40 down the 240 rows (z grows downwards on screen),
// world y -100..100 as depth.
class TerrainDraw : public TerrainTest {
protected:
    void SetUp() override
    {
        TerrainTest::SetUp();
        ASSERT_TRUE(ensureGLContext());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(-40.0, 40.0, -40.0, 40.0, -100.0, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);   // look straight down -y
        glViewport(0, 0, kTestGLWidth, kTestGLHeight);
        glDisable(GL_FOG);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_LIGHTING);
        glEnable(GL_TEXTURE_2D);   // as the engine runs; `grass` has no image
        glShadeModel(GL_SMOOTH);
        contextReady_ = true;
    }
    void TearDown() override
    {
        if (contextReady_) {
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            glPopAttrib();
        }
        TerrainTest::TearDown();
    }
    FbCapture capture(float camX, float camZ)
    {
        FbCapture c = captureFeedback([=] { render_height_field_at(camX, camZ); });
        EXPECT_FALSE(c.overflow);
        EXPECT_EQ(c.otherTokens, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return c;
    }
    // From above at an angle, wide enough that nothing is clipped: the walls
    // are then not edge-on and each of their triangles comes back.
    static void obliqueView()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-60.0, 60.0, -60.0, 60.0, -100.0, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(50.0f, 1.0f, 0.0f, 0.0f);
        glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
    }
    static bool isSkirtColour(const FbVertex& v)
    {
        return std::fabs(v.colour[0] - kFog[0]) < 1e-3f && std::fabs(v.colour[1] - kFog[1]) < 1e-3f
               && std::fabs(v.colour[2] - kFog[2]) < 1e-3f;
    }

    bool contextReady_ = false;
};

struct Grid {
    int x, z;
};

Grid gridOf(const World& w)
{
    return Grid{static_cast<int>(std::lround(w.x + 32.0)), static_cast<int>(std::lround(w.z + 32.0))};
}

// The expected attributes of a vertex of the strip of row `row`: the point
// (row + 1, z) carries texture coordinate (f, f), the point (row, z)
// (1 - f, f), with f = 1 on even columns and 0 on odd ones.
void checkTerrainVertex(const terrain_test::FbView& view, const FbVertex& v, int row, int* bad)
{
    const World w = toWorld(view, v);
    const Grid g = gridOf(w);
    if (g.x < 0 || g.x > 63 || g.z < 0 || g.z > 63) {
        ++*bad;
        ADD_FAILURE() << "vertex off the grid at " << w.x << ", " << w.z;
        return;
    }
    const float h = terrain[g.x][g.z];
    const float f = g.z % 2 == 0 ? 1.0f : 0.0f;
    const float s = g.x == row + 1 ? f : 1.0f - f;
    const bool ok = std::fabs(w.x - (g.x - 32)) < 1e-3 && std::fabs(w.z - (g.z - 32)) < 1e-3
                    && std::fabs(w.y - (h - 8.0f)) < 1e-3 && std::fabs(v.colour[0] - h / 2.55f) < 2e-3f
                    && std::fabs(v.colour[1] - (h / 5.1f + 0.5f)) < 2e-3f
                    && std::fabs(v.colour[2] - h / 2.55f) < 2e-3f && v.tex[0] == s && v.tex[1] == f;
    if (!ok && ++*bad <= 5) {
        ADD_FAILURE() << "grid (" << g.x << ", " << g.z << ") of row " << row << ": y " << w.y
                      << " colour " << v.colour[0] << " " << v.colour[1] << " " << v.colour[2]
                      << " tex " << v.tex[0] << " " << v.tex[1];
    }
}

int rowOf(const terrain_test::FbView& view, const FbPolygon& p)
{
    int row = 64;
    for (const FbVertex& v : p.v) {
        row = std::min(row, gridOf(toWorld(view, v)).x);
    }
    return row;
}

TEST_F(TerrainDraw, EveryVertexCarriesItsHeightColourAndTextureCoordinate)
{
    // A rough map: neighbouring heights jump by up to 2.55.
    ASSERT_TRUE(loadMap([](int row, int col) { return static_cast<uint8_t>((row * 37 + col * 101) % 256); }));
    const FbCapture c = capture(0.0f, 0.0f);
    EXPECT_EQ(triangleCount(c), 63 * 126);   // 63 strips of 64 vertex pairs
    int bad = 0;
    for (const FbPolygon& p : c.polygons) {
        const int row = rowOf(c.view, p);
        for (const FbVertex& v : p.v) {
            checkTerrainVertex(c.view, v, row, &bad);
        }
    }
    EXPECT_EQ(bad, 0);
}

TEST_F(TerrainDraw, ExtremeHeightsGiveWhiteTopAndGreenBottom)
{
    for (const uint8_t byte : {uint8_t{255}, uint8_t{0}}) {
        ASSERT_TRUE(loadMap([=](int, int) { return byte; }));
        const FbCapture c = capture(0.0f, 0.0f);
        ASSERT_FALSE(c.polygons.empty());
        const FbVertex& v = c.polygons.front().v.front();
        const World w = toWorld(c.view, v);
        if (byte == 255) {
            EXPECT_NEAR(v.colour[0], 1.0f, 1e-3f);
            EXPECT_NEAR(v.colour[1], 1.0f, 1e-3f);
            EXPECT_NEAR(v.colour[2], 1.0f, 1e-3f);
            EXPECT_NEAR(w.y, -5.45, 1e-3);
        } else {
            EXPECT_NEAR(v.colour[0], 0.0f, 1e-3f);
            EXPECT_NEAR(v.colour[1], 0.5f, 1e-3f);
            EXPECT_NEAR(v.colour[2], 0.0f, 1e-3f);
            EXPECT_NEAR(w.y, -8.0, 1e-3);
        }
    }
}

TEST_F(TerrainDraw, OnlyASquareAroundTheCameraIsDrawnWithStrictBounds)
{
    fillTerrain(0.0f);
    engine_.viewDistance = 10.0f;
    // camera - 30 + index must lie strictly inside -10 .. 10: rows and
    // columns 21 .. 39 (20 and 40 sit exactly on the bounds).
    const FbCapture c = capture(0.0f, 0.0f);
    EXPECT_EQ(triangleCount(c), 19 * 2 * 18);
    Grid lo{99, 99};
    Grid hi{-1, -1};
    for (const FbPolygon& p : c.polygons) {
        for (const FbVertex& v : p.v) {
            const Grid g = gridOf(toWorld(c.view, v));
            lo = Grid{std::min(lo.x, g.x), std::min(lo.z, g.z)};
            hi = Grid{std::max(hi.x, g.x), std::max(hi.z, g.z)};
        }
    }
    EXPECT_EQ(lo.x, 21);
    EXPECT_EQ(hi.x, 40);   // row 39 reaches grid line 40
    EXPECT_EQ(lo.z, 21);
    EXPECT_EQ(hi.z, 39);
}

TEST_F(TerrainDraw, TextureFlagTogglesOnColumnsThatAreNotDrawn)
{
    fillTerrain(0.0f);
    engine_.viewDistance = 10.0f;
    const FbCapture c = capture(0.0f, 0.0f);
    // The first drawn column is 21, odd: its pair gets (0, 0) and (1, 0).
    int seen = 0;
    for (const FbPolygon& p : c.polygons) {
        const int row = rowOf(c.view, p);
        for (const FbVertex& v : p.v) {
            const Grid g = gridOf(toWorld(c.view, v));
            if (g.z == 21) {
                ++seen;
                EXPECT_EQ(v.tex[0], g.x == row + 1 ? 0.0f : 1.0f);
                EXPECT_EQ(v.tex[1], 0.0f);
            }
        }
    }
    EXPECT_GT(seen, 0);
}

TEST_F(TerrainDraw, SquareFollowsTheCamerasPosition)
{
    fillTerrain(0.0f);
    engine_.viewDistance = 10.0f;
    t_cam camera;
    camera.position = t_vector(5.0f, 100.0f, -4.0f);
    t_cam* const saved = Cam;
    Cam = &camera;
    const FbCapture c = captureFeedback([] { render_height_field(); });
    Cam = saved;
    // Rows: 5 - 30 + x inside -10 .. 10 gives 16 .. 34; columns: -4 - 30 + z
    // gives 25 .. 43.
    EXPECT_EQ(triangleCount(c), 19 * 2 * 18);
    Grid lo{99, 99};
    for (const FbPolygon& p : c.polygons) {
        for (const FbVertex& v : p.v) {
            const Grid g = gridOf(toWorld(c.view, v));
            lo = Grid{std::min(lo.x, g.x), std::min(lo.z, g.z)};
        }
    }
    EXPECT_EQ(lo.x, 16);
    EXPECT_EQ(lo.z, 25);
}

TEST_F(TerrainDraw, CameraFarOutsideDrawsEmptyStrips)
{
    fillTerrain(1.0f);
    EXPECT_EQ(capture(1000.0f, 0.0f).polygons.size(), 0u);
    EXPECT_EQ(capture(0.0f, -1000.0f).polygons.size(), 0u);
    engine_.viewDistance = 0.0f;
    EXPECT_EQ(capture(0.0f, 0.0f).polygons.size(), 0u);
}

TEST_F(TerrainDraw, LeavesFaceCullingOff)
{
    fillTerrain(1.0f);
    glEnable(GL_CULL_FACE);
    capture(0.0f, 0.0f);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
}

TEST_F(TerrainDraw, SkirtOnlyWithSkyBoxAndFog)
{
    fillTerrain(0.0f);
    auto skirtVertices = [&](uint8_t sky, uint8_t fog) {
        noskybox = sky;
        Fogon = fog;
        int n = 0;
        for (const FbPolygon& p : capture(0.0f, 0.0f).polygons) {
            for (const FbVertex& v : p.v) {
                n += isSkirtColour(v);
            }
        }
        return n;
    };
    EXPECT_GT(skirtVertices(0, 1), 0);
    EXPECT_EQ(skirtVertices(1, 1), 0);
    EXPECT_EQ(skirtVertices(0, 0), 0);
    EXPECT_EQ(skirtVertices(1, 0), 0);
}

TEST_F(TerrainDraw, SkirtWallsAndFloorPlateCloseTheEdges)
{
    fillTerrain(0.0f);
    obliqueView();
    noskybox = 0;
    Fogon = 1;
    const FbCapture c = capture(0.0f, 0.0f);
    int wallTriangles = 0;
    int floorTriangles = 0;
    double maxRun = -100.0;   // running coordinate along the wall at z = 31.01
    bool badVertex = false;
    for (const FbPolygon& p : c.polygons) {
        if (!isSkirtColour(p.v.front())) {
            continue;
        }
        bool onFloor = true;
        for (const FbVertex& v : p.v) {
            const World w = toWorld(c.view, v);
            onFloor = onFloor && std::fabs(w.y + 8.01) < 2e-3;
            const bool onWall = std::fabs(w.x - 31.01) < 2e-3 || std::fabs(w.x + 32.01) < 2e-3
                                || std::fabs(w.z - 31.01) < 2e-3 || std::fabs(w.z + 32.01) < 2e-3;
            const bool wallHeight = std::fabs(w.y + 5.45) < 2e-3 || std::fabs(w.y + 8.02) < 2e-3;
            const bool floorCorner = std::fabs(std::fabs(w.x + 0.5) - 31.52) < 2e-3
                                     && std::fabs(std::fabs(w.z + 0.5) - 31.52) < 2e-3;
            if (!((onWall && wallHeight) || (std::fabs(w.y + 8.01) < 2e-3 && floorCorner))) {
                badVertex = true;
                ADD_FAILURE() << "skirt vertex at " << w.x << ", " << w.y << ", " << w.z;
            }
            if (!isSkirtColour(v)) {
                badVertex = true;
            }
            if (onWall && std::fabs(w.z - 31.01) < 2e-3) {
                maxRun = std::max(maxRun, w.x);
                // Wall texture coordinates: (i - 32, height of the vertex).
                EXPECT_NEAR(v.tex[1], w.y, 2e-3);
            }
        }
        (onFloor ? floorTriangles : wallTriangles) += static_cast<int>(p.v.size()) - 2;
        if (badVertex) {
            break;
        }
    }
    EXPECT_FALSE(badVertex);
    EXPECT_EQ(wallTriangles, 4 * 126);
    EXPECT_EQ(floorTriangles, 2);
    EXPECT_NEAR(maxRun, 31.01, 2e-3);   // the last pair sits on the far edge
}

// ---------------------------------------------------------------------------
// A frame rendered and read back
// ---------------------------------------------------------------------------

struct Pixel {
    int r, g, b;
};

// The pixel under world (x, z) in the top-down view of TerrainDraw.
Pixel pixelAtWorld(float x, float z)
{
    const int px = static_cast<int>((x + 40.0f) / 80.0f * kTestGLWidth);
    const int py = static_cast<int>((-z + 40.0f) / 80.0f * kTestGLHeight);
    uint8_t rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(px, py, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return Pixel{rgb[0], rgb[1], rgb[2]};
}

void expectPixel(const Pixel& p, int r, int g, int b, const char* where)
{
    EXPECT_NEAR(p.r, r, 2) << where;
    EXPECT_NEAR(p.g, g, 2) << where;
    EXPECT_NEAR(p.b, b, 2) << where;
}

TEST_F(TerrainDraw, RenderedFrameShowsTheTerrainWhereItLies)
{
    // Grid x below 32 (world x < 0) high and white, the rest low and green.
    // Image column k holds grid x 63 - k.
    ASSERT_TRUE(loadMap([](int, int col) { return col >= 32 ? uint8_t{255} : uint8_t{0}; }));
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    render_height_field_at(0.0f, 0.0f);
    glFinish();
    expectPixel(pixelAtWorld(-20.5f, 0.5f), 255, 255, 255, "high half");
    expectPixel(pixelAtWorld(-10.5f, -25.5f), 255, 255, 255, "high half, far row");
    expectPixel(pixelAtWorld(15.5f, 10.5f), 0, 128, 0, "low half");
    expectPixel(pixelAtWorld(35.5f, 0.5f), 0, 0, 255, "beyond the grid's x edge");
    expectPixel(pixelAtWorld(0.5f, -36.5f), 0, 0, 255, "beyond the grid's z edge");

    // Limited to the square around the camera: grid 21 .. 40, world -11 .. 8.
    engine_.viewDistance = 10.0f;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    render_height_field_at(0.0f, 0.0f);
    glFinish();
    expectPixel(pixelAtWorld(5.5f, 5.5f), 0, 128, 0, "inside the square");
    expectPixel(pixelAtWorld(-5.5f, 0.5f), 255, 255, 255, "inside the square, high");
    expectPixel(pixelAtWorld(-20.5f, 0.5f), 0, 0, 255, "outside the square");
    expectPixel(pixelAtWorld(15.5f, 0.5f), 0, 0, 255, "outside the square, low side");
}

}  // namespace
