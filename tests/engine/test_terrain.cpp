// The height-field terrain: loading the height map (mapping, refusals), the
// vertices the drawing sends (captured in GL feedback mode), and frames
// rendered on the headless context and read back.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/common.h"
#include "gl_fixture.h"
#include "render/display.h"
#include "render/skybox.h"
#include "terrain/heightfield.h"
#include "texture_test_files.h"

namespace {

using texture_test::Rgb;

constexpr float kFog[4] = {0.2f, 0.3f, 0.9f, 1.0f};   // r != b: no terrain colour looks like it
constexpr Rgb kFogRgb{51, 77, 230};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kGreen{0, 128, 0};   // the colour of height 0
constexpr Rgb kBlack{0, 0, 0};

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
    std::fill(&terrain[0][0], &terrain[0][0] + kTerrainSize * kTerrainSize, value);
}

// The current matrices and viewport, for mapping between world and window.
struct View {
    GLdouble model[16];
    GLdouble proj[16];
    GLint viewport[4];
    View()
    {
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
        glGetIntegerv(GL_VIEWPORT, viewport);
    }
};

// A vertex as GL feedback returns it, its window position mapped back to the
// world through the matrices current during the capture.
struct FbVertex {
    double x, y, z;
    float colour[4];   // RGBA 0..1
    float tex[4];      // s, t, r, q
};
using FbPolygon = std::vector<FbVertex>;

// The polygons `draw` sends, after clipping and culling (a strip comes back
// as triangles).  Anything but polygons fails the test.
std::vector<FbPolygon> captureFeedback(const std::function<void()>& draw)
{
    const View view;
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint count = glRenderMode(GL_RENDER);
    EXPECT_GE(count, 0) << "feedback buffer overflow";
    std::vector<FbPolygon> polygons;
    for (GLint i = 0; i < count;) {
        if (static_cast<GLint>(buffer[i]) != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "feedback token " << buffer[i];
            break;
        }
        const auto n = static_cast<GLint>(buffer[i + 1]);
        i += 2;
        FbPolygon p;
        for (GLint k = 0; k < n; ++k, i += 11) {
            FbVertex v{};
            gluUnProject(buffer[i], buffer[i + 1], buffer[i + 2], view.model, view.proj, view.viewport, &v.x, &v.y,
                         &v.z);
            std::copy(&buffer[i + 3], &buffer[i + 7], v.colour);
            std::copy(&buffer[i + 7], &buffer[i + 11], v.tex);
            p.push_back(v);
        }
        polygons.push_back(p);
    }
    return polygons;
}

// The pixel under world point (x, y, z) in the current view.
Rgb pixelAtWorld(double x, double y, double z)
{
    const View view;
    GLdouble wx = 0;
    GLdouble wy = 0;
    GLdouble wz = 0;
    gluProject(x, y, z, view.model, view.proj, view.viewport, &wx, &wy, &wz);
    uint8_t rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(static_cast<GLint>(wx), static_cast<GLint>(wy), 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return Rgb{rgb[0], rgb[1], rgb[2]};
}

void expectRgb(const Rgb& got, const Rgb& want, const std::string& what)
{
    EXPECT_NEAR(got.r, want.r, 2) << what;
    EXPECT_NEAR(got.g, want.g, 2) << what;
    EXPECT_NEAR(got.b, want.b, 2) << what;
}

// Puts a global back as it was when the test ends.
template <class T>
struct Restore {
    T& ref;
    T old = ref;
    ~Restore() { ref = old; }
};

class Terrain : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        std::memcpy(savedTerrain_, terrain, sizeof terrain);
        level_ = std::make_unique<Lev>();
        Level = level_.get();
        g_view.viewDistance = 100.0f;
        std::memcpy(g_view.fogColor, kFog, sizeof kFog);
        noskybox = 0;
        Fogon = 0;
        glViewport(0, 0, kTestGLWidth, kTestGLHeight);
        for (GLenum cap : {GL_FOG, GL_DEPTH_TEST, GL_SCISSOR_TEST, GL_BLEND, GL_ALPHA_TEST, GL_LIGHTING}) {
            glDisable(cap);
        }
        glEnable(GL_TEXTURE_2D);   // as the engine runs; `grass` has no image
        glShadeModel(GL_SMOOTH);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-40.0, 40.0, -40.0, 40.0, -100.0, 100.0);
        glMatrixMode(GL_MODELVIEW);
        view(90.0f);
    }
    void TearDown() override
    {
        std::memcpy(terrain, savedTerrain_, sizeof terrain);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glPopAttrib();
    }
    // Turned by `pitch` degrees about x from looking along -z: 90 looks
    // straight down (world x -40..40 across, z 40..-40 up the window), -90
    // straight up, 0 at the grid's side.
    static void view(float pitch)
    {
        glLoadIdentity();
        glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    }
    // A frame of the terrain around (0, 0) on black, seen from `pitch`.
    static void drawFrame(float pitch)
    {
        view(pitch);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        render_height_field(0.0f, 0.0f);
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

    texture_test::ScopedWorkDir dir_;
    std::unique_ptr<Lev> level_;
    Restore<Lev*> savedLevel_{Level};
    Restore<t_view> savedView_{g_view};
    Restore<uint8_t> savedBoden_{Boden};
    Restore<uint8_t> savedNoskybox_{noskybox};
    Restore<uint8_t> savedFogon_{Fogon};
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

TEST_F(Terrain, AbsentMapMeansNoTerrainSilentlyAndKeepsTheTable)
{
    ASSERT_TRUE(loadMap([](int, int) { return uint8_t{42}; }));
    const struct {
        const char* what;
        std::function<void()> prepare;
    } cases[] = {
        {"missing file", [&] { setMapName("gone.ppm"); }},
        {"name field without terminator, not read on into the next field",
         [&] {
             std::memset(level_->heightMapFile, 'a', sizeof level_->heightMapFile);
             level_->skyFaceFiles[0][0] = 'x';
         }},
        {"no level record", [] { Level = nullptr; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        Boden = 1;
        testing::internal::CaptureStdout();
        init_height_field();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
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
        testing::internal::CaptureStdout();
        init_height_field();
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(Boden, 0);
        EXPECT_NE(out.find(name), std::string::npos) << out;
        EXPECT_NE(out.find(alsoSaid), std::string::npos) << out;
        EXPECT_FLOAT_EQ(terrain[0][0], 0.5f);
        EXPECT_FLOAT_EQ(terrain[63][63], 0.5f);
    };
    // 1 x 4096 and 4096 x 1 hold exactly the bytes of a 64 x 64 map but not its shape.
    const int sizes[][2] = {{32, 32}, {128, 128}, {64, 63}, {63, 64}, {1, 4096}, {4096, 1}, {1, 1}};
    for (const auto& s : sizes) {
        writeHeightMap("odd.ppm", [](int, int) { return uint8_t{200}; }, s[0], s[1]);
        expectRefused("odd.ppm", std::to_string(s[0]) + " x " + std::to_string(s[1]));
    }
    // The header promises 64 x 64 pixels; only 100 bytes follow.
    texture_test::writeBytes("short.ppm", "P6\n64 64\n255\n" + std::string(100, '\xff'));
    expectRefused("short.ppm", "");
}

// Every vertex of the drawn grid sits at its point, height - 8, coloured by
// its height and with its texture coordinate: in the strip of row `row` the
// point (row + 1, z) gets (f, f), the point (row, z) (1 - f, f), with f = 1
// on even columns and 0 on odd ones, drawn or not.  Only the square around
// the camera where camera - 30 + index lies strictly inside +-viewDistance
// is drawn.
TEST_F(Terrain, DrawnSquareAndEveryVertexOfIt)
{
    // A rough map: neighbouring heights jump by up to 2.55.
    ASSERT_TRUE(loadMap([](int row, int col) { return static_cast<uint8_t>((row * 37 + col * 101) % 256); }));
    const struct {
        float camX, camZ, viewDistance;
        int triangles;
        std::array<int, 4> bounds;    // lowest and highest grid x and z drawn
    } cases[] = {
        {0, 0, 100, 63 * 126, {0, 0, 63, 63}},
        // Rows and columns 21 .. 39 (20 and 40 sit exactly on the bounds);
        // row 39 reaches grid line 40, column 21 is odd.
        {0, 0, 10, 19 * 2 * 18, {21, 21, 40, 39}},
        {5, -4, 10, 19 * 2 * 18, {16, 25, 35, 43}},
        {1000, 0, 100, 0, {99, 99, -1, -1}},
        {0, -1000, 100, 0, {99, 99, -1, -1}},
        {0, 0, 0, 0, {99, 99, -1, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.camX) + ", " + std::to_string(c.camZ) + " view distance "
                     + std::to_string(c.viewDistance));
        g_view.viewDistance = c.viewDistance;
        glEnable(GL_CULL_FACE);
        const auto polygons = captureFeedback([&] { render_height_field(c.camX, c.camZ); });
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        int triangles = 0;
        int bad = 0;
        std::array<int, 4> bounds{99, 99, -1, -1};
        for (const FbPolygon& p : polygons) {
            triangles += static_cast<int>(p.size()) - 2;
            int row = 64;
            for (const FbVertex& v : p) {
                row = std::min(row, static_cast<int>(std::lround(v.x + 32.0)));
            }
            for (const FbVertex& v : p) {
                const int x = std::clamp(static_cast<int>(std::lround(v.x + 32.0)), 0, 63);
                const int z = std::clamp(static_cast<int>(std::lround(v.z + 32.0)), 0, 63);
                bounds = {std::min(bounds[0], x), std::min(bounds[1], z), std::max(bounds[2], x),
                          std::max(bounds[3], z)};
                const float h = terrain[x][z];
                const float f = z % 2 == 0 ? 1.0f : 0.0f;
                const bool ok = std::fabs(v.x - (x - 32)) < 1e-3 && std::fabs(v.z - (z - 32)) < 1e-3
                                && std::fabs(v.y - (h - 8.0f)) < 1e-3
                                && std::fabs(v.colour[0] - h / 2.55f) < 2e-3f
                                && std::fabs(v.colour[1] - (h / 5.1f + 0.5f)) < 2e-3f
                                && std::fabs(v.colour[2] - h / 2.55f) < 2e-3f
                                && v.tex[0] == (x == row + 1 ? f : 1.0f - f) && v.tex[1] == f;
                if (!ok && ++bad <= 5) {
                    ADD_FAILURE() << "vertex at " << v.x << ", " << v.y << ", " << v.z << " of row " << row
                                  << ": colour " << v.colour[0] << " " << v.colour[1] << " " << v.colour[2]
                                  << " tex " << v.tex[0] << " " << v.tex[1];
                }
            }
        }
        EXPECT_EQ(bad, 0);
        EXPECT_EQ(triangles, c.triangles);
        EXPECT_EQ(bounds, c.bounds);
    }
}

TEST_F(Terrain, RenderedFrameShowsTheTerrainWhereItLies)
{
    // Grid x below 32 (world x < 0) high and white, the rest low and green.
    ASSERT_TRUE(loadMap([](int, int col) { return col >= 32 ? uint8_t{255} : uint8_t{0}; }));
    const struct {
        float viewDistance, x, z;
        Rgb colour;
        const char* what;
    } cases[] = {
        {100, -20.5f, 0.5f, kWhite, "high half"},
        {100, -10.5f, -25.5f, kWhite, "high half, far row"},
        {100, 15.5f, 10.5f, kGreen, "low half"},
        {100, 35.5f, 0.5f, kBlack, "beyond the grid's x edge"},
        {100, 0.5f, -36.5f, kBlack, "beyond the grid's z edge"},
        // The square around the camera: grid 21 .. 40, world -11 .. 8.
        {10, 5.5f, 5.5f, kGreen, "inside the square"},
        {10, -5.5f, 0.5f, kWhite, "inside the square, high"},
        {10, -20.5f, 0.5f, kBlack, "outside the square"},
        {10, 15.5f, 0.5f, kBlack, "outside the square, low side"},
    };
    for (const auto& c : cases) {
        g_view.viewDistance = c.viewDistance;
        drawFrame(90.0f);
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
