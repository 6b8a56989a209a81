// Bitmap text, 2D images and the console, checked on frames read back from a
// real GL context with a font texture built here (known glyph cells).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/mathlib.h"
#include "gl_fixture.h"
#include "render/draw2d.h"

namespace {

constexpr int kW = kTestGLWidth;
constexpr int kH = kTestGLHeight;

struct Rgb {
    int r, g, b;
};

// 128 x 128 RGBA font, 8 x 8 texels per cell, every cell transparent except:
// 'A' red top-left quarter and green bottom-right quarter (orientation);
// '#', ' ', 0xA0 and '\n' fully opaque white (a blank or a line feed that
// were drawn would show); 0xE4 fully opaque blue (codes above 127).
GLuint makeFontTexture()
{
    constexpr int kSide = 128;
    std::vector<uint8_t> px(kSide * kSide * 4, 0);
    auto set = [&](int code, int cx, int cy, uint8_t r, uint8_t g, uint8_t b) {
        const int x = (code & 15) * 8 + cx;
        const int y = (code >> 4) * 8 + cy;
        uint8_t* p = &px[(y * kSide + x) * 4];
        p[0] = r;
        p[1] = g;
        p[2] = b;
        p[3] = 255;
    };
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            for (int code : {int('#'), int(' '), 0xA0, int('\n')}) {
                set(code, x, y, 255, 255, 255);
            }
            set(0xE4, x, y, 0, 0, 255);
            if (x < 4 && y < 4) {
                set('A', x, y, 255, 0, 0);
            }
            if (x >= 4 && y >= 4) {
                set('A', x, y, 0, 255, 0);
            }
        }
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kSide, kSide, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return id;
}

// 2 x 2 image: top row red, green; bottom row blue, white (rows top first).
GLuint makeQuadrantTexture()
{
    const uint8_t px[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return id;
}

// The frame as read back, addressed in window pixels (origin top-left).
class Frame {
public:
    Frame() : px_(kW * kH * 4)
    {
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, px_.data());
    }
    Rgb at(int x, int y) const
    {
        const uint8_t* p = &px_[((kH - 1 - y) * kW + x) * 4];
        return {p[0], p[1], p[2]};
    }
    bool lit(int x, int y) const
    {
        const Rgb c = at(x, y);
        return c.r > 128 || c.g > 128 || c.b > 128;
    }
    // Lit pixels in [x0, x1) x [y0, y1).
    int litIn(int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                n += lit(x, y) ? 1 : 0;
            }
        }
        return n;
    }
    int litTotal() const { return litIn(0, 0, kW, kH); }

private:
    std::vector<uint8_t> px_;
};

bool matrixEquals(GLenum which, const float* expected)
{
    float m[16];
    glGetFloatv(which, m);
    return std::memcmp(m, expected, sizeof m) == 0;
}

class Draw2D : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        glViewport(0, 0, kW, kH);
        glDisable(GL_FOG);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_TEXTURE_2D);
        glAlphaFunc(GL_GREATER, 0.1f);
        glBlendFunc(GL_ONE, GL_ZERO);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        savedFont_ = chars.id;
        chars.id = makeFontTexture();
        savedEngine_ = Engine;
        savedLeveled_ = leveled;
        savedWindow_ = g_consoleWindow;
        engine_.screenWidth = kW;
        engine_.screenHeight = kH;
        engine_.imageRefWidth = kW;
        engine_.imageRefHeight = kH;
        Engine = &engine_;
    }
    void TearDown() override
    {
        GLuint font = chars.id;
        glDeleteTextures(1, &font);
        chars.id = savedFont_;
        Engine = savedEngine_;
        leveled = savedLeveled_;
        g_consoleWindow = savedWindow_;
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_ALPHA_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glClearDepth(1.0);
    }

    CEngine engine_{};
    uint32_t savedFont_ = 0;
    CEngine* savedEngine_ = nullptr;
    uint8_t savedLeveled_ = 0;
    t_consoleWindow* savedWindow_ = nullptr;
};

}  // namespace

TEST_F(Draw2D, GlyphLandsOnItsPixelsUpright)
{
    Draw_String("A", 16, 24, kW);
    const Frame f;
    // Red quarter at the glyph's top-left, green at its bottom-right.
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const Rgb red = f.at(16 + x, 24 + y);
            EXPECT_TRUE(red.r > 200 && red.g < 50 && red.b < 50) << x << "," << y;
            const Rgb green = f.at(20 + x, 28 + y);
            EXPECT_TRUE(green.g > 200 && green.r < 50 && green.b < 50) << x << "," << y;
        }
    }
    EXPECT_EQ(f.litIn(20, 24, 24, 28), 0);
    EXPECT_EQ(f.litIn(16, 28, 20, 32), 0);
    EXPECT_EQ(f.litTotal(), 32);
}

TEST_F(Draw2D, DrawCharUsesTheCurrentColourAndRestoresState)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-3.0, 5.0, -2.0, 7.0, -1.0, 10.0);
    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glEnable(GL_DEPTH_TEST);

    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    Draw_Char(100, 50, '#');

    const Frame f;
    EXPECT_EQ(f.litIn(100, 50, 108, 58), 64);
    EXPECT_EQ(f.litTotal(), 64);
    const Rgb c = f.at(103, 53);
    EXPECT_TRUE(c.b > 200 && c.r < 50 && c.g < 50);
    EXPECT_TRUE(matrixEquals(GL_PROJECTION_MATRIX, projection));
    EXPECT_TRUE(matrixEquals(GL_MODELVIEW_MATRIX, modelview));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(Draw2D, TextIsNotHiddenByTheDepthBuffer)
{
    // A depth buffer full of "nearest" values, as a 3D pass could leave it.
    glClearDepth(0.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    Draw_String("##", 0, 0, kW);
    // And the console drawn later covers an earlier line.
    Draw_String("A", 0, 0, kW);
    const Frame f;
    // Both cells stay wholly lit: A's transparent texels leave the '#' below.
    EXPECT_EQ(f.litIn(0, 0, 16, 8), 128);
    const Rgb c = f.at(1, 1);
    EXPECT_TRUE(c.r > 200 && c.g < 50 && c.b < 50);
}

TEST_F(Draw2D, GlyphCellFromTheLowByteOfHighCodes)
{
    // ISO-8859-1 text arrives as negative chars on this platform.
    Draw_String("\xe4", 40, 40, kW);
    Draw_Char(60, 40, static_cast<char>(0xE4));
    const Frame f;
    EXPECT_EQ(f.litIn(40, 40, 48, 48), 64);
    EXPECT_EQ(f.litIn(60, 40, 68, 48), 64);
    const Rgb c = f.at(44, 44);
    EXPECT_TRUE(c.b > 200 && c.r < 50);
}

TEST_F(Draw2D, HundredCharactersWrapAfterForty)
{
    const std::string text(100, '#');
    Draw_String(text.c_str(), 0, 0, 320);
    const Frame f;
    EXPECT_EQ(f.litIn(0, 0, 320, 8), 320 * 8);
    EXPECT_EQ(f.litIn(0, 8, 320, 16), 320 * 8);
    EXPECT_EQ(f.litIn(0, 16, 160, 24), 160 * 8);
    EXPECT_EQ(f.litIn(160, 16, 320, 24), 0);
    EXPECT_EQ(f.litTotal(), 100 * 64);
}

TEST_F(Draw2D, WrapReturnsToTheStartColumn)
{
    // From x 100 with limit 124: three characters per line.
    Draw_String("#######", 100, 30, 124);
    const Frame f;
    EXPECT_EQ(f.litIn(100, 30, 124, 38), 24 * 8);
    EXPECT_EQ(f.litIn(100, 38, 124, 46), 24 * 8);
    EXPECT_EQ(f.litIn(100, 46, 108, 54), 64);
    EXPECT_EQ(f.litTotal(), 7 * 64);
}

TEST_F(Draw2D, LineFeedBreaksAtOnceAndIsNotDrawn)
{
    Draw_String("##\n#", 0, 0, kW);
    const Frame f;
    EXPECT_EQ(f.litIn(0, 0, 16, 8), 128);
    EXPECT_EQ(f.litIn(0, 8, 8, 16), 64);
    EXPECT_EQ(f.litTotal(), 3 * 64);
}

TEST_F(Draw2D, LineFeedAfterAWrapGivesOneBreak)
{
    Draw_String("##\n#", 0, 0, 16);
    const Frame f;
    EXPECT_EQ(f.litIn(0, 0, 16, 8), 128);
    EXPECT_EQ(f.litIn(0, 8, 8, 16), 64);
    EXPECT_EQ(f.litTotal(), 3 * 64);
}

TEST_F(Draw2D, LeadingAndDoubledLineFeedsGiveEmptyLines)
{
    Draw_String("\n#\n\n#\n", 8, 0, kW);
    const Frame f;
    EXPECT_EQ(f.litIn(8, 8, 16, 16), 64);
    EXPECT_EQ(f.litIn(8, 24, 16, 32), 64);
    EXPECT_EQ(f.litTotal(), 2 * 64);
}

TEST_F(Draw2D, BlanksAdvanceWithoutDrawing)
{
    Draw_String("# #\xa0#", 0, 0, kW);
    Draw_Char(200, 100, ' ');
    Draw_Char(200, 100, 0xA0);
    const Frame f;
    EXPECT_EQ(f.litIn(0, 0, 8, 8), 64);
    EXPECT_EQ(f.litIn(8, 0, 16, 8), 0);
    EXPECT_EQ(f.litIn(16, 0, 24, 8), 64);
    EXPECT_EQ(f.litIn(24, 0, 32, 8), 0);
    EXPECT_EQ(f.litIn(32, 0, 40, 8), 64);
    EXPECT_EQ(f.litTotal(), 3 * 64);
}

TEST_F(Draw2D, GlyphWhollyAboveTheWindowIsSkipped)
{
    Draw_Char(0, -8, '#');
    EXPECT_EQ(Frame().litTotal(), 0);
    Draw_Char(0, -7, '#');
    const Frame f;
    EXPECT_EQ(f.litIn(0, 0, 8, 1), 8);
    EXPECT_EQ(f.litTotal(), 8);
}

TEST_F(Draw2D, TextRunningOffTheWindowIsClipped)
{
    // Starts left of and runs below the window; extreme coordinates must not
    // overflow the cursor.
    Draw_String("###", -8, 0, kW);
    Draw_String("##", 2147483640, 0, 2147483647);
    const std::string tall(400, '#');
    Draw_String(tall.c_str(), 0, 200, 8);
    const Frame f;
    EXPECT_EQ(f.litIn(0, 0, 16, 8), 128);
    EXPECT_EQ(f.litIn(0, 200, 8, kH), 8 * (kH - 200));
    EXPECT_EQ(f.litTotal(), 128 + 8 * (kH - 200));
    Draw_String(nullptr, 0, 0, kW);
}

TEST_F(Draw2D, PrintfReplacesTheText)
{
    Con.printf("erste %d", 1);
    Con.printf("zweite %s", "Meldung");
    EXPECT_STREQ(txtcon, "zweite Meldung");
    Con.printf("%s!", txtcon);
    EXPECT_STREQ(txtcon, "zweite Meldung!");
}

TEST_F(Draw2D, PrintfIsCutToTheConsoleSize)
{
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
    t_consoleWindow window{-1.0f, 1.0f, 2.0f, -0.08f};
    Con.printf("A");

    leveled = 0;
    g_consoleWindow = &window;
    Con.draw();
    EXPECT_EQ(Frame().litTotal(), 0);

    leveled = 1;
    g_consoleWindow = nullptr;
    Con.draw();
    EXPECT_EQ(Frame().litTotal(), 0);

    // Left edge 0; top trunc((0.92 / -2 + 0.5) * 240 + 3) = 12.
    g_consoleWindow = &window;
    Con.draw();
    const Frame f;
    EXPECT_EQ(f.litIn(0, 12, 8, 20), 32);
    const Rgb c = f.at(0, 12);
    EXPECT_TRUE(c.r > 200 && c.g < 50);
    EXPECT_EQ(f.litTotal(), 32);
}

TEST_F(Draw2D, ConsoleWrapsAtTheInfoWindowsRightEdge)
{
    // Window from screen x 160 to 200: five characters per line.
    t_consoleWindow window{0.0f, 0.5f, 0.25f, -0.08f};
    leveled = 1;
    g_consoleWindow = &window;
    Con.printf("##########");
    Con.draw();
    // Top: trunc((0.42 / -2 + 0.5) * 240 + 3) = 72.
    const Frame f;
    EXPECT_EQ(f.litIn(160, 72, 200, 80), 40 * 8);
    EXPECT_EQ(f.litIn(160, 80, 200, 88), 40 * 8);
    EXPECT_EQ(f.litTotal(), 10 * 64);
}

TEST_F(Draw2D, NdcImageCoversTheScreenAndRestoresMatrices)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 10.0, 0.0, 10.0, -1.0, 1.0);
    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glScalef(3.0f, 3.0f, 1.0f);
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);

    STexture tex;
    tex.id = makeQuadrantTexture();
    drawImage(&tex, -1.0f, 1.0f, 2.0f, -2.0f, 1.0f, true);
    const Frame f;
    GLuint id = tex.id;
    glDeleteTextures(1, &id);

    const Rgb tl = f.at(10, 10);
    const Rgb tr = f.at(kW - 10, 10);
    const Rgb bl = f.at(10, kH - 10);
    const Rgb br = f.at(kW - 10, kH - 10);
    EXPECT_TRUE(tl.r > 200 && tl.g < 50 && tl.b < 50);
    EXPECT_TRUE(tr.g > 200 && tr.r < 50 && tr.b < 50);
    EXPECT_TRUE(bl.b > 200 && bl.r < 50 && bl.g < 50);
    EXPECT_TRUE(br.r > 200 && br.g > 200 && br.b > 200);
    EXPECT_EQ(f.litTotal(), kW * kH);
    EXPECT_TRUE(matrixEquals(GL_PROJECTION_MATRIX, projection));
    EXPECT_TRUE(matrixEquals(GL_MODELVIEW_MATRIX, modelview));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(Draw2D, ImageOpacityGoesThroughTheAlphaTest)
{
    STexture tex;
    tex.id = makeQuadrantTexture();
    drawImage(&tex, -1.0f, 1.0f, 2.0f, -2.0f, 0.05f, true);
    EXPECT_EQ(Frame().litTotal(), 0);
    drawImage(&tex, -1.0f, 1.0f, 1.0f, -1.0f, 0.5f, true);
    const Frame f;
    GLuint id = tex.id;
    glDeleteTextures(1, &id);
    EXPECT_EQ(f.litTotal(), (kW / 2) * (kH / 2));
    drawImage(nullptr, -1.0f, 1.0f, 2.0f, -2.0f, 1.0f, true);
}

TEST_F(Draw2D, PixelPlacedImageUsesTheReferenceSize)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 1.0, 1.0, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    STexture tex;
    tex.id = makeQuadrantTexture();
    tex.imageWidth = 80;
    tex.imageHeight = 60;
    // Reference 160 x 120: the 80 x 60 image at (80, 60) covers the lower
    // right half of each axis, window pixels 160..319 x 120..239.
    engine_.imageRefWidth = 160;
    engine_.imageRefHeight = 120;
    const t_rgba tint{1.0f, 1.0f, 0.0f, 1.0f};
    drawImage(&tex, 80, 60, &tint);
    Frame f;
    // Tinted yellow: the blue quarter turns black, the white one yellow.
    EXPECT_EQ(f.litIn(160, 120, 320, 180), 160 * 60);
    EXPECT_EQ(f.litIn(240, 180, 320, 240), 80 * 60);
    EXPECT_EQ(f.litTotal(), 3 * 80 * 60);
    const Rgb tl = f.at(161, 121);
    EXPECT_TRUE(tl.r > 200 && tl.g < 50 && tl.b < 50);
    const Rgb bl = f.at(170, 230);
    const Rgb br = f.at(310, 230);
    EXPECT_TRUE(bl.r < 50 && bl.g < 50 && bl.b < 50);
    EXPECT_TRUE(br.r > 200 && br.g > 200 && br.b < 50);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    glClear(GL_COLOR_BUFFER_BIT);
    engine_.imageRefWidth = 0;
    drawImage(&tex, 0, 0, &tint);
    Engine = nullptr;
    drawImage(&tex, 0, 0, &tint);
    EXPECT_EQ(Frame().litTotal(), 0);
    GLuint id = tex.id;
    glDeleteTextures(1, &id);
}
