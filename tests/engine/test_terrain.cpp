// The height-field terrain: loading the height map (mapping, refusals) and
// frames rendered on the headless context and read back.

#include <GL/glu.h>

#include <algorithm>
#include <memory>

#include "core/common.h"

#include "render/display.h"
#include "render/skybox.h"
#include "terrain/heightfield.h"
#include "support/guards.h"
#include "support/image_files.h"

namespace {

constexpr float kFog[4] = {0.2f, 0.3f, 0.9f, 1.0f};   // r != b: no terrain colour looks like it
constexpr Rgb kFogRgb{51, 77, 230};
constexpr float kStartLevelFog[4] = {0.9f, 0.5f, 0.2f, 1.0f};   // the view's copy from another level
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGreen{0, 128, 0};   // the colour of height 0
constexpr Rgb kBlack{0, 0, 0};

using BlueFn = std::function<uint8_t(int row, int col)>;

// A height map whose blue byte at (row, column) comes from `blue`; red and
// green carry other values, which must be ignored.
void writeHeightMap(const std::string& path, const BlueFn& blue, int w = 64, int h = 64)
{
    writePPM(path, w, h, [&](int x, int y) {
        const uint8_t b = blue(y, x);
        return Rgb{static_cast<uint8_t>(255 - b), static_cast<uint8_t>(x * 3 + y), b};
    });
}

void fillTerrain(float value)
{
    std::fill(&terrain[0][0], &terrain[0][0] + kTerrainSize * kTerrainSize, value);
}

// The pixel under world point (x, y, z) in the current view.
Rgb pixelAtWorld(double x, double y, double z)
{
    GLdouble model[16], proj[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(x, y, z, model, proj, viewport, &wx, &wy, &wz);
    return FramePixels().at(static_cast<int>(wx), kTestGLHeight - 1 - static_cast<int>(wy));
}

class Terrain : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        std::memcpy(savedTerrain_, terrain, sizeof terrain);
        level_ = std::make_unique<Lev>();
        Level = level_.get();
        g_view.viewDistance = 100.0f;
        // The skirt takes the current level's fog colour, not the view's
        // copy from the start level.
        std::memcpy(level_->fogColor, kFog, sizeof kFog);
        std::memcpy(g_view.fogColor, kStartLevelFog, sizeof kStartLevelFog);
        noskybox = 0;
        Fogon = 0;
        glShadeModel(GL_SMOOTH);   // texturing on as the engine runs; `grass` has no image
        glMatrixMode(GL_PROJECTION);
        glOrtho(-40.0, 40.0, -40.0, 40.0, -100.0, 100.0);
        glMatrixMode(GL_MODELVIEW);
        view(90.0f);
    }
    void TearDown() override { std::memcpy(terrain, savedTerrain_, sizeof terrain); }
    // Turned by `pitch` degrees about x from looking along -z: 90 looks
    // straight down (world x -40..40 across, z 40..-40 up the window), -90
    // straight up, 0 at the grid's side.
    static void view(float pitch)
    {
        glLoadIdentity();
        glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    }
    // A frame of the terrain around the camera at (camX, camZ) on black,
    // seen from `pitch`.
    static void drawFrame(float pitch, float camX = 0.0f, float camZ = 0.0f)
    {
        view(pitch);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        render_height_field(camX, camZ);
        glFinish();
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

    CleanGLState gl_;
    WorkDir dir_;
    std::unique_ptr<Lev> level_;
    GlobalsGuard saved_{Level, g_view, Boden, noskybox, Fogon};
    float savedTerrain_[kTerrainSize][kTerrainSize]{};
};

}  // namespace

TEST_F(Terrain, MapIsTheBlueBytesTurnedBy180DegreesFoundWithoutRegardToCase)
{
    auto blue = [](int row, int col) { return static_cast<uint8_t>((row * 64 + col) * 7 % 256); };
    writeHeightMap("Maps/Height.PPM", blue);
    setMapName("maps/height.ppm");
    init_height_field();
    ASSERT_EQ(Boden, 1);
    // The image's top-left pixel is the grid's far corner (63, 63); column k
    // runs against x, row r against z.
    int wrong = 0;
    for (int r = 0; r < 64; ++r) {
        for (int k = 0; k < 64; ++k) {
            wrong += terrain[63 - k][63 - r] != blue(r, k) / 100.0f;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Terrain, NoMapNamedMeansNoTerrainSilentlyAndKeepsTheTable)
{
    ASSERT_TRUE(loadMap([](int, int) { return uint8_t{42}; }));
    const struct { const char* what; std::function<void()> prepare; } cases[] = {
        {"no height map named", [&] { setMapName(""); }}, {"no level record", [] { Level = nullptr; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        Boden = 1;
        EXPECT_EQ(stdoutOf(init_height_field), "");
        EXPECT_EQ(Boden, 0);
        EXPECT_FLOAT_EQ(terrain[5][7], 0.42f);
    }
}

TEST_F(Terrain, WrongSizeOrBrokenMapIsRefusedWithAWarningNamingTheFile)
{
    fillTerrain(0.5f);
    auto expectRefused = [&](const std::string& name, const std::string& alsoSaid) {
        SCOPED_TRACE(name + " " + alsoSaid);
        setMapName(name);
        Boden = 1;
        const std::string out = stdoutOf(init_height_field);
        EXPECT_EQ(Boden, 0);
        EXPECT_NE(out.find(name), std::string::npos) << out;
        EXPECT_NE(out.find(alsoSaid), std::string::npos) << out;
        EXPECT_FLOAT_EQ(terrain[0][0], 0.5f);
    };
    // 1 x 4096 and 4096 x 1 hold exactly the bytes of a 64 x 64 map but not its shape.
    const int sizes[][2] = {{128, 128}, {64, 63}, {63, 64}, {1, 4096}, {4096, 1}};
    for (const auto& s : sizes) {
        writeHeightMap("odd.ppm", [](int, int) { return uint8_t{200}; }, s[0], s[1]);
        expectRefused("odd.ppm", std::to_string(s[0]) + " x " + std::to_string(s[1]));
    }
    // The header promises 64 x 64 pixels; only 100 bytes follow.
    writeBytes("short.ppm", "P6\n64 64\n255\n" + std::string(100, '\xff'));
    expectRefused("short.ppm", "weniger Bytes als ihre Pixel");
    // A name field without terminator is not read on into the next field.
    std::memset(level_->heightMapFile, 'a', sizeof level_->heightMapFile);
    level_->skyFaceFiles[0][0] = 'x';
    EXPECT_NE(stdoutOf([] { init_height_field(); }).find("( " + std::string(256, 'a') + " ): "), std::string::npos);
}

TEST_F(Terrain, RenderedFrameShowsTheTerrainWhereItLies)
{
    // Grid x below 32 (world x < 0) high and white, the rest low and green.
    ASSERT_TRUE(loadMap([](int, int col) { return col >= 32 ? uint8_t{255} : uint8_t{0}; }));
    const struct { float viewDistance, x, z; Rgb colour; const char* what; float camX = 0.0f; float camZ = 0.0f;
                    } cases[] = {
        {100, -10.5f, -25.5f, kWhite, "high half, far row"}, {100, 15.5f, 10.5f, kGreen, "low half"},
        {100, 35.5f, 0.5f, kBlack, "beyond the grid's x edge"}, {100, 0.5f, -36.5f, kBlack, "beyond the grid's z edge"},
        // The square around (0, 0): grid 21 .. 40, world -11 .. 8.
        {10, -5.5f, 0.5f, kWhite, "inside the square, high"}, {10, -20.5f, 0.5f, kBlack, "outside the square"},
        {10, 15.5f, 0.5f, kBlack, "outside the square, low side"},
        // Around (5, -4): grid x 16 .. 35, world -16 .. 3.
        {10, -14.5f, 0.5f, kWhite, "inside the camera's square", 5.0f, -4.0f},
        {10, 5.5f, 0.5f, kBlack, "outside the camera's square", 5.0f, -4.0f},
        {0, 0.5f, 0.5f, kBlack, "view distance 0"},
    };
    for (const auto& c : cases) {
        g_view.viewDistance = c.viewDistance;
        glEnable(GL_CULL_FACE);
        drawFrame(90.0f, c.camX, c.camZ);
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << c.what;
        expectRgb(pixelAtWorld(c.x, 0.0, c.z), c.colour, c.what);
    }
}

TEST_F(Terrain, SkirtClosesTheEdgesOnlyWithSkyBoxAndFog)
{
    fillTerrain(0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    for (const int sky : {0, 1}) {
        for (const int fog : {0, 1}) {
            SCOPED_TRACE("noskybox " + std::to_string(sky) + ", Fogon " + std::to_string(fog));
            noskybox = static_cast<uint8_t>(sky);
            Fogon = static_cast<uint8_t>(fog);
            const bool skirt = sky == 0 && fog == 1;
            // From the side the wall reaches from the lowest to the highest
            // terrain (y -8 .. -5.45).
            drawFrame(0.0f);
            expectRgb(pixelAtWorld(0.0, -7.8, 31.5), skirt ? kFogRgb : kBlack, "wall's foot from the side");
            expectRgb(pixelAtWorld(0.0, -5.7, 31.5), skirt ? kFogRgb : kBlack, "wall's top from the side");
            expectRgb(pixelAtWorld(0.0, -5.0, 31.5), kBlack, "above the wall");
            // The terrain is culled from below, where the floor plate closes
            // it; from above the plate lies under the terrain.
            drawFrame(-90.0f);
            expectRgb(pixelAtWorld(0.5, -9.0, 0.5), skirt ? kFogRgb : kBlack, "from below");
            drawFrame(90.0f);
            expectRgb(pixelAtWorld(0.5, 0.0, 0.5), kGreen, "from above");
        }
    }
}
