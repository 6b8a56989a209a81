// draw2d.cpp — bitmap font, 2D images and the console line.
#include "render/draw2d.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/common.h"
#include "core/mathlib.h"
#include "render/display.h"

STexture chars;
char txtcon[kConsoleSize];
t_consoleWindow* g_consoleWindow = nullptr;
CConsole Con;

namespace {

constexpr float kCell = 1.0f / 16.0f; // one glyph cell, texture coordinates
constexpr float kTextAlpha = 0.5f;    // the text colour's alpha

// Window pixels for the glyph quads: an orthographic projection of the
// viewport with the origin at its top-left corner and y down.  Depth testing
// is off meanwhile, so text drawn later covers text drawn earlier (the
// console covers the frame-rate line) and the 3D scene never hides it.
// Everything is put back as it was when the object goes out of scope.
class PixelSpace {
public:
    PixelSpace()
    {
        glGetIntegerv(GL_VIEWPORT, viewport_);
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode_);
        depthTest_ = glIsEnabled(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0.0, viewport_[2], viewport_[3], 0.0, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
    }
    ~PixelSpace()
    {
        if (depthTest_) {
            glEnable(GL_DEPTH_TEST);
        }
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glMatrixMode(static_cast<GLenum>(matrixMode_));
    }
    PixelSpace(const PixelSpace&) = delete;
    PixelSpace& operator=(const PixelSpace&) = delete;

    int width() const { return viewport_[2]; }  // pixels
    int height() const { return viewport_[3]; } // pixels

private:
    GLint viewport_[4] = {0, 0, 0, 0};
    GLint matrixMode_ = GL_MODELVIEW;
    GLboolean depthTest_ = GL_FALSE;
};

// The glyph quad in the current pixel space; see Draw_Char.
void drawGlyph(int x, int y, int ch)
{
    if ((ch & 127) == 32 || y <= -kGlyphSize) {
        return;
    }
    glEnable(GL_ALPHA_TEST);
    chars.Select();
    const int code = ch & 255;
    const float s0 = static_cast<float>(code & 15) * kCell;
    const float t0 = static_cast<float>(code >> 4) * kCell;
    const float s1 = s0 + kCell;
    const float t1 = t0 + kCell;
    // Floats, so that a glyph near INT_MAX cannot overflow its right edge.
    const float left = static_cast<float>(x);
    const float top = static_cast<float>(y);
    const float right = left + static_cast<float>(kGlyphSize);
    const float bottom = top + static_cast<float>(kGlyphSize);
    glBegin(GL_TRIANGLE_FAN);
    glTexCoord2f(s0, t0);
    glVertex3f(left, top, 0.0f);
    glTexCoord2f(s1, t0);
    glVertex3f(right, top, 0.0f);
    glTexCoord2f(s1, t1);
    glVertex3f(right, bottom, 0.0f);
    glTexCoord2f(s0, t1);
    glVertex3f(left, bottom, 0.0f);
    glEnd();
    glDisable(GL_ALPHA_TEST);
}

// One textured quad, texture s to the right and t downwards from (x, y);
// height is negative in y-up systems, positive in y-down ones.
void texturedQuad(float x, float y, float width, float height)
{
    glBegin(GL_QUADS);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x + width, y);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x, y);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x, y + height);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x + width, y + height);
    glEnd();
}

// trunc(v) as an int, held inside the int range (NaN gives 0), so that a
// window dragged far off screen cannot make the conversion undefined.
int truncToInt(double v)
{
    if (std::isnan(v)) {
        return 0;
    }
    if (v >= 2147483647.0) {
        return 2147483647;
    }
    if (v <= -2147483648.0) {
        return -2147483647 - 1;
    }
    return static_cast<int>(v);
}

} // namespace

void Draw_Char(int x, int y, int ch)
{
    PixelSpace space;
    drawGlyph(x, y, ch);
}

void Draw_String(const char* text, int x, int y, int rightLimit)
{
    if (text == nullptr) {
        return;
    }
    glColor4f(1.0f, 1.0f, 1.0f, kTextAlpha);
    PixelSpace space;
    // 64-bit cursor: a long text cannot overflow it.  Glyphs outside the
    // window are skipped and lines below it end the walk; what shows on
    // screen is the same as drawing every glyph.
    int64_t cx = x;
    int64_t cy = y;
    const int64_t bottom = space.height();
    const int64_t right = space.width();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != '\0' && cy < bottom) {
        if (*p == '\n') {
            cx = x;
            cy += kGlyphSize;
            ++p;
            continue;
        }
        // Texts are UTF-8; the font holds Latin-1.  A two-byte sequence of a
        // character up to U+00FF is drawn as that glyph, one glyph per
        // character; any other byte is drawn as it is.
        int glyph = *p;
        if ((p[0] & 0xFE) == 0xC2 && (p[1] & 0xC0) == 0x80) {
            glyph = ((p[0] & 0x03) << 6) | (p[1] & 0x3F);
            ++p;
        }
        if (cx > -kGlyphSize && cx < right) {
            drawGlyph(static_cast<int>(cx), static_cast<int>(cy), glyph);
        }
        cx += kGlyphSize;
        ++p;
        if (cx >= rightLimit || *p == '\n') {
            cx = x;
            cy += kGlyphSize;
            if (*p == '\n') {
                ++p;
            }
        }
    }
}

void drawImage(STexture* tex, float x, float y, float width, float height, float alpha, bool ownMatrices)
{
    if (tex == nullptr) {
        return;
    }
    if (ownMatrices) {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
    }
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    glEnable(GL_ALPHA_TEST);
    tex->Select();
    texturedQuad(x, y, width, height);
    glEnable(GL_DEPTH_TEST);
    if (ownMatrices) {
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
}

void drawImage(STexture* tex, int x, int y, const t_rgba* colour)
{
    if (tex == nullptr || colour == nullptr || g_view.imageRefWidth <= 0 || g_view.imageRefHeight <= 0) {
        return;
    }
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glColor4fv(&colour->r);
    const float refWidth = static_cast<float>(g_view.imageRefWidth);
    const float refHeight = static_cast<float>(g_view.imageRefHeight);
    const float left = static_cast<float>(x) / refWidth;
    const float top = static_cast<float>(y) / refHeight;
    const float width = static_cast<float>(tex->imageWidth) / refWidth;
    const float height = static_cast<float>(tex->imageHeight) / refHeight;
    tex->Select();
    texturedQuad(left, top, width, height);
    glEnable(GL_DEPTH_TEST);
}

void CConsole::printf(const char* format, ...)
{
    if (format == nullptr) {
        txtcon[0] = '\0';
        return;
    }
    // Formatted aside first: an argument may be txtcon itself.
    char text[kConsoleSize];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) {
        txtcon[0] = '\0';
        return;
    }
    std::memcpy(txtcon, text, sizeof text);
}

void CConsole::draw()
{
    if (!leveled || g_consoleWindow == nullptr) {
        return;
    }
    const t_consoleWindow& win = *g_consoleWindow;
    const double screenWidth = g_view.screenWidth;
    const double screenHeight = g_view.screenHeight;
    // NDC (y up) to window pixels (y down); the text sits 3 pixels below the
    // title bar.
    const int left = truncToInt((win.x / 2.0 + 0.5) * screenWidth);
    const int top = truncToInt(((win.titleHeight + win.y) / -2.0 + 0.5) * screenHeight + 3.0);
    const int rightLimit = truncToInt(((win.x + win.width) / 2.0 + 0.5) * screenWidth);
    Draw_String(txtcon, left, top, rightLimit);
}
