// Bitmap text, 2D images and the console, checked on frames read back from a
// real GL context with a font texture built here (known glyph cells).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <vector>

#include "core/common.h"
#include "core/mathlib.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "support/gl_frame.h"
#include "support/guards.h"

namespace {

constexpr int kW = kTestGLWidth;
constexpr int kH = kTestGLHeight;

struct Rect {
    int x0, y0, x1, y1;   // window pixels [x0, x1) x [y0, y1), origin top-left
};

GLuint makeTexture(int side, const std::vector<uint8_t>& rgba)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, side, side, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return id;
}

// 128 x 128 font of 8 x 8 cells, all opaque white (a blank or a line feed
// that were drawn would show) except 'A': red top-left quarter, green
// bottom-right quarter, transparent elsewhere; and 0xE4: blue top half,
// transparent bottom half.
GLuint makeFontTexture()
{
    std::vector<uint8_t> px(128 * 128 * 4, 255);
    auto set = [&](int code, int x, int y, uint32_t rgba) {
        uint8_t* p = &px[(((code >> 4) * 8 + y) * 128 + (code & 15) * 8 + x) * 4];
        for (int k = 0; k < 4; ++k) {
            p[k] = static_cast<uint8_t>(rgba >> (24 - 8 * k));
        }
    };
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            set(0xE4, x, y, y < 4 ? 0x0000ffff : 0);
            set('A', x, y, x < 4 && y < 4 ? 0xff0000ff : x >= 4 && y >= 4 ? 0x00ff00ff : 0);
        }
    }
    return makeTexture(128, px);
}

// 2 x 2 image: top row red, green; bottom row blue, white.
GLuint makeQuadrantTexture()
{
    return makeTexture(2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255});
}

// Exactly the pixels of `lit` (disjoint rectangles) are lit.
void expectLitExactly(const std::vector<Rect>& lit)
{
    const FramePixels f;
    int area = 0;
    for (const Rect& r : lit) {
        const int a = (r.x1 - r.x0) * (r.y1 - r.y0);
        EXPECT_EQ(f.litIn(r.x0, r.y0, r.x1, r.y1), a) << r.x0 << "," << r.y0 << " .. " << r.x1 << "," << r.y1;
        area += a;
    }
    EXPECT_EQ(f.litIn(0, 0, kW, kH), area);
}

// Whether pixel (x, y) is the colour, give or take the rasteriser's rounding.
bool is(const FramePixels& f, int x, int y, Rgb want)
{
    return near(f.at(x, y), want, 50);
}

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kWhite{255, 255, 255};

class Draw2D : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        glAlphaFunc(GL_GREATER, 0.1f);
        glBlendFunc(GL_ONE, GL_ZERO);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        chars.id = makeFontTexture();
        g_view.screenWidth = kW;
        g_view.screenHeight = kH;
        g_view.imageRefWidth = kW;
        g_view.imageRefHeight = kH;
    }
    void TearDown() override
    {
        GLuint font = chars.id;
        glDeleteTextures(1, &font);
    }

    CleanGLState gl_;
    GlobalsGuard saved_{chars.id, g_view, leveled, g_consoleWindow};
};

}  // namespace

TEST_F(Draw2D, GlyphsLandUprightOnTheirPixelsWhateverTheDepthAndMatrices)
{
    glMatrixMode(GL_PROJECTION);
    glOrtho(-3.0, 5.0, -2.0, 7.0, -1.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1.0f, 2.0f, 3.0f);
    glMatrixMode(GL_PROJECTION);
    const GLMatrices before;
    // A depth buffer full of "nearest" values, as a 3D pass could leave it.
    glClearDepth(0.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);

    // Text drawn later covers earlier text; A's transparent texels leave it.
    Draw_String("##", 16, 24, kW);
    Draw_String("A", 16, 24, kW);
    // Texts are UTF-8: "ä" is one glyph, the font's 0xE4.
    Draw_String("ä", 120, 50, kW);
    // Draw_Char keeps the current colour.
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    Draw_Char(100, 50, '#');
    Draw_Char(140, 50, static_cast<char>(0xE4));

    const FramePixels f;
    expectLitExactly({{16, 24, 32, 32}, {100, 50, 108, 58}, {120, 50, 128, 54}, {140, 50, 148, 54}});
    EXPECT_TRUE(is(f, 16, 24, kRed));   // A's top-left quarter
    EXPECT_TRUE(is(f, 23, 31, kGreen));   // its bottom-right quarter
    EXPECT_TRUE(is(f, 23, 24, kWhite));     // the '#' beneath
    EXPECT_TRUE(is(f, 103, 53, kBlue));
    EXPECT_TRUE(is(f, 123, 52, kBlue));
    EXPECT_TRUE(GLMatrices() == before);
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(Draw2D, StringLayoutWrapsBreaksAndClips)
{
    const struct {
        std::string text;
        int x, y, limit;
        std::vector<Rect> lit;
    } cases[] = {
        // 100 characters from x 0 with limit 320: wrapped after 40.
        {std::string(100, '#'), 0, 0, 320, {{0, 0, 320, 16}, {0, 16, 160, 24}}},
        // From x 100 with limit 124: three per line, back at the start column.
        {"#######", 100, 30, 124, {{100, 30, 124, 46}, {100, 46, 108, 54}}},
        // A line feed breaks at once and is not drawn; right after a wrap it
        // gives one break, not two.
        {"##\n#", 0, 0, 16, {{0, 0, 16, 8}, {0, 8, 8, 16}}},
        {"\n#\n\n#\n", 8, 0, kW, {{8, 8, 16, 16}, {8, 24, 16, 32}}},
        // Blanks (' ' and 0xA0) advance without drawing.
        {"# #\xa0#", 0, 0, kW, {{0, 0, 8, 8}, {16, 0, 24, 8}, {32, 0, 40, 8}}},
        // A glyph wholly above the window is skipped, one pixel into it shows.
        {"#", 0, -7, kW, {{0, 0, 8, 1}}},
        // Text off the left or bottom edge is clipped; extreme coordinates
        // must not overflow the cursor.
        {"###", -8, 0, kW, {{0, 0, 16, 8}}},
        {std::string(400, '#'), 0, 200, 8, {{0, 200, 8, kH}}},
        {"##", 2147483640, 0, 2147483647, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 10) + " at " + std::to_string(c.x) + "," + std::to_string(c.y));
        glClear(GL_COLOR_BUFFER_BIT);
        Draw_String(c.text.c_str(), c.x, c.y, c.limit);
        expectLitExactly(c.lit);
    }
    Draw_String(nullptr, 0, 0, kW);
}

TEST_F(Draw2D, PrintfReplacesTheTextAndIsCutToTheConsoleSize)
{
    Con.printf("erste %d", 1);
    Con.printf("zweite %s", "Meldung");
    EXPECT_STREQ(txtcon, "zweite Meldung");
    Con.printf("%s!", txtcon);
    EXPECT_STREQ(txtcon, "zweite Meldung!");

    std::string longText(20000, 'x');
    longText[kConsoleSize - 2] = 'y';
    Con.printf("%s", longText.c_str());
    EXPECT_EQ(std::strlen(txtcon), static_cast<size_t>(kConsoleSize - 1));
    EXPECT_EQ(txtcon[kConsoleSize - 2], 'y');
    const std::string exact(kConsoleSize - 1, 'z');
    Con.printf("%s", exact.c_str());
    EXPECT_EQ(exact, txtcon);
}

TEST_F(Draw2D, ConsoleShowsOnlyInEditorModeInsideTheInfoWindow)
{
    t_consoleWindow full{-1.0f, 1.0f, 2.0f, -0.08f};
    t_consoleWindow narrow{0.0f, 0.5f, 0.25f, -0.08f};   // screen x 160 .. 200
    const struct {
        uint8_t leveled;
        t_consoleWindow* window;
        const char* text;
        std::vector<Rect> lit;
    } cases[] = {
        {0, &full, "#", {}},
        {1, nullptr, "#", {}},
        // Left edge 0; top trunc((0.92 / -2 + 0.5) * 240 + 3) = 12.
        {1, &full, "#", {{0, 12, 8, 20}}},
        // Five characters per line; top trunc((0.42 / -2 + 0.5) * 240 + 3) = 72.
        {1, &narrow, "##########", {{160, 72, 200, 88}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " leveled " + std::to_string(c.leveled));
        glClear(GL_COLOR_BUFFER_BIT);
        leveled = c.leveled;
        g_consoleWindow = c.window;
        Con.printf("%s", c.text);
        Con.draw();
        expectLitExactly(c.lit);
    }
}

TEST_F(Draw2D, NdcImageCoversTheScreenUprightThroughTheAlphaTest)
{
    glMatrixMode(GL_PROJECTION);
    glOrtho(0.0, 10.0, 0.0, 10.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glScalef(3.0f, 3.0f, 1.0f);
    const GLMatrices before;

    STexture tex;
    tex.id = makeQuadrantTexture();
    drawImage(&tex, -1.0f, 1.0f, 2.0f, -2.0f, 1.0f, true);
    const FramePixels f;
    expectLitExactly({{0, 0, kW, kH}});
    EXPECT_TRUE(is(f, 10, 10, kRed));
    EXPECT_TRUE(is(f, kW - 10, 10, kGreen));
    EXPECT_TRUE(is(f, 10, kH - 10, kBlue));
    EXPECT_TRUE(is(f, kW - 10, kH - 10, kWhite));
    EXPECT_TRUE(GLMatrices() == before);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    // The opacity goes through the alpha test (GL_GREATER 0.1).
    glClear(GL_COLOR_BUFFER_BIT);
    drawImage(&tex, -1.0f, 1.0f, 2.0f, -2.0f, 0.05f, true);
    drawImage(&tex, -1.0f, 1.0f, 1.0f, -1.0f, 0.5f, true);
    expectLitExactly({{0, 0, kW / 2, kH / 2}});
    GLuint id = tex.id;
    glDeleteTextures(1, &id);
    drawImage(nullptr, -1.0f, 1.0f, 2.0f, -2.0f, 1.0f, true);
}
