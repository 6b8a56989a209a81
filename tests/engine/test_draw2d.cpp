// Bitmap text, 2D images and the console, checked on frames read back from a
// real GL context with a font texture built here (known glyph cells).
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/common.h"
#include "core/mathlib.h"
#include "gl_fixture.h"
#include "render/display.h"
#include "render/draw2d.h"

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

// The frame as read back, addressed in window pixels (origin top-left).
class Frame {
public:
    Frame() : px_(kW * kH * 4)
    {
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, px_.data());
    }
    // Whether each channel of pixel (x, y) is full (1) or empty (0).
    bool is(int x, int y, bool r, bool g, bool b) const
    {
        const uint8_t* p = &px_[((kH - 1 - y) * kW + x) * 4];
        auto on = [](uint8_t v, bool want) { return want ? v > 200 : v < 50; };
        return on(p[0], r) && on(p[1], g) && on(p[2], b);
    }
    int litIn(const Rect& r) const
    {
        int n = 0;
        for (int y = r.y0; y < r.y1; ++y) {
            for (int x = r.x0; x < r.x1; ++x) {
                n += !is(x, y, false, false, false);
            }
        }
        return n;
    }
    // Exactly the pixels of `lit` (disjoint rectangles) are lit.
    void expectLitExactly(const std::vector<Rect>& lit) const
    {
        int area = 0;
        for (const Rect& r : lit) {
            const int a = (r.x1 - r.x0) * (r.y1 - r.y0);
            EXPECT_EQ(litIn(r), a) << r.x0 << "," << r.y0 << " .. " << r.x1 << "," << r.y1;
            area += a;
        }
        EXPECT_EQ(litIn({0, 0, kW, kH}), area);
    }

private:
    std::vector<uint8_t> px_;
};

// The matrices and matrix mode, to see that a drawing routine put them back.
struct MatrixState {
    float projection[16];
    float modelview[16];
    GLint mode;
    MatrixState()
    {
        glGetFloatv(GL_PROJECTION_MATRIX, projection);
        glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
    }
    bool operator==(const MatrixState& o) const
    {
        return std::memcmp(projection, o.projection, sizeof projection) == 0
               && std::memcmp(modelview, o.modelview, sizeof modelview) == 0 && mode == o.mode;
    }
};

// Puts a global back as it was when the test ends.
template <class T>
struct Restore {
    T& ref;
    T old = ref;
    ~Restore() { ref = old; }
};

class Draw2D : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ensureGLContext());
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glViewport(0, 0, kW, kH);
        for (GLenum cap : {GL_FOG, GL_LIGHTING, GL_BLEND, GL_CULL_FACE, GL_SCISSOR_TEST, GL_DEPTH_TEST,
                           GL_ALPHA_TEST}) {
            glDisable(cap);
        }
        glEnable(GL_TEXTURE_2D);
        glAlphaFunc(GL_GREATER, 0.1f);
        glBlendFunc(GL_ONE, GL_ZERO);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
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
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glPopAttrib();
    }

    Restore<uint32_t> savedFont_{chars.id};
    Restore<t_view> savedView_{g_view};
    Restore<uint8_t> savedLeveled_{leveled};
    Restore<t_consoleWindow*> savedWindow_{g_consoleWindow};
};

}  // namespace

TEST_F(Draw2D, GlyphsLandUprightOnTheirPixelsWhateverTheDepthAndMatrices)
{
    glMatrixMode(GL_PROJECTION);
    glOrtho(-3.0, 5.0, -2.0, 7.0, -1.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1.0f, 2.0f, 3.0f);
    glMatrixMode(GL_PROJECTION);
    const MatrixState before;
    // A depth buffer full of "nearest" values, as a 3D pass could leave it.
    glClearDepth(0.0);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);

    // Text drawn later covers earlier text; A's transparent texels leave it.
    Draw_String("##", 16, 24, kW);
    Draw_String("A", 16, 24, kW);
    // Codes above 127 arrive as negative chars (ISO-8859-1 text).
    Draw_String("\xe4", 120, 50, kW);
    // Draw_Char keeps the current colour.
    glColor4f(0.0f, 0.0f, 1.0f, 1.0f);
    Draw_Char(100, 50, '#');
    Draw_Char(140, 50, static_cast<char>(0xE4));

    const Frame f;
    f.expectLitExactly({{16, 24, 32, 32}, {100, 50, 108, 58}, {120, 50, 128, 54}, {140, 50, 148, 54}});
    EXPECT_TRUE(f.is(16, 24, true, false, false));   // A's top-left quarter
    EXPECT_TRUE(f.is(23, 31, false, true, false));   // its bottom-right quarter
    EXPECT_TRUE(f.is(23, 24, true, true, true));     // the '#' beneath
    EXPECT_TRUE(f.is(103, 53, false, false, true));
    EXPECT_TRUE(f.is(123, 52, false, false, true));
    EXPECT_TRUE(MatrixState() == before);
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
        {"##\n#", 0, 0, kW, {{0, 0, 16, 8}, {0, 8, 8, 16}}},
        {"##\n#", 0, 0, 16, {{0, 0, 16, 8}, {0, 8, 8, 16}}},
        {"\n#\n\n#\n", 8, 0, kW, {{8, 8, 16, 16}, {8, 24, 16, 32}}},
        // Blanks (' ' and 0xA0) advance without drawing.
        {"# #\xa0#", 0, 0, kW, {{0, 0, 8, 8}, {16, 0, 24, 8}, {32, 0, 40, 8}}},
        // A glyph wholly above the window is skipped, one pixel into it shows.
        {"#", 0, -8, kW, {}},
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
        Frame().expectLitExactly(c.lit);
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
        Frame().expectLitExactly(c.lit);
    }
}

TEST_F(Draw2D, NdcImageCoversTheScreenUprightThroughTheAlphaTest)
{
    glMatrixMode(GL_PROJECTION);
    glOrtho(0.0, 10.0, 0.0, 10.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glScalef(3.0f, 3.0f, 1.0f);
    const MatrixState before;

    STexture tex;
    tex.id = makeQuadrantTexture();
    drawImage(&tex, -1.0f, 1.0f, 2.0f, -2.0f, 1.0f, true);
    const Frame f;
    f.expectLitExactly({{0, 0, kW, kH}});
    EXPECT_TRUE(f.is(10, 10, true, false, false));
    EXPECT_TRUE(f.is(kW - 10, 10, false, true, false));
    EXPECT_TRUE(f.is(10, kH - 10, false, false, true));
    EXPECT_TRUE(f.is(kW - 10, kH - 10, true, true, true));
    EXPECT_TRUE(MatrixState() == before);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));

    // The opacity goes through the alpha test (GL_GREATER 0.1).
    glClear(GL_COLOR_BUFFER_BIT);
    drawImage(&tex, -1.0f, 1.0f, 2.0f, -2.0f, 0.05f, true);
    drawImage(&tex, -1.0f, 1.0f, 1.0f, -1.0f, 0.5f, true);
    Frame().expectLitExactly({{0, 0, kW / 2, kH / 2}});
    GLuint id = tex.id;
    glDeleteTextures(1, &id);
    drawImage(nullptr, -1.0f, 1.0f, 2.0f, -2.0f, 1.0f, true);
}

TEST_F(Draw2D, PixelPlacedImageUsesTheReferenceSize)
{
    glMatrixMode(GL_PROJECTION);
    glOrtho(0.0, 1.0, 1.0, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    STexture tex;
    tex.id = makeQuadrantTexture();
    tex.imageWidth = 80;
    tex.imageHeight = 60;
    // Reference 160 x 120: the 80 x 60 image at (80, 60) covers window
    // pixels 160..319 x 120..239.  Tinted yellow: blue turns black, white yellow.
    g_view.imageRefWidth = 160;
    g_view.imageRefHeight = 120;
    const t_rgba tint{1.0f, 1.0f, 0.0f, 1.0f};
    drawImage(&tex, 80, 60, &tint);
    const Frame f;
    f.expectLitExactly({{160, 120, 320, 180}, {240, 180, 320, 240}});
    EXPECT_TRUE(f.is(161, 121, true, false, false));
    EXPECT_TRUE(f.is(310, 230, true, true, false));

    // No reference size: nothing is drawn.
    glClear(GL_COLOR_BUFFER_BIT);
    g_view.imageRefWidth = 0;
    drawImage(&tex, 0, 0, &tint);
    Frame().expectLitExactly({});
    GLuint id = tex.id;
    glDeleteTextures(1, &id);
}
