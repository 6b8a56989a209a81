// draw2d.h — the engine's 2D output: the 8 x 8 bitmap font, textured
// rectangles for full-screen and GUI images, and the one-message console.
//
// Owns the font texture `chars` (created by openScreen from
// "Gfx/conchars.ppm"), the console text `txtcon` and the console object `Con`.
// Every subsystem writes to the console with Con.printf; endFrame shows the
// frame-rate line and the console (editor mode only) at the end of the 2D
// pass.  The GUI, the load screen and the noise overlay draw their images with
// drawImage.  All of it runs on the engine's thread with a current GL context.
//
// Coordinates: Draw_Char / Draw_String take window pixels (origin top-left,
// x right, y down); they set up their own pixel projection and leave the
// matrices as they found them.  drawImage draws in whatever coordinate
// system is current (or in normalised device coordinates, -1..1 with y up,
// when asked to use its own matrices).
#pragma once

#include <cstdint>

#include "image/texture.h"

struct t_rgba;

// The font: 16 x 16 glyph cells, the glyph of code ch in cell column
// (ch & 15), row ((ch & 255) >> 4), row 0 at texture coordinate t = 0.
// Created by openScreen; until then its id is 0 and glyphs are untextured.
extern STexture chars;

constexpr int kGlyphSize = 8;      // pixels, width and height of one glyph
constexpr int kConsoleSize = 9600; // bytes of txtcon, terminating zero included

// The text of the last Con.printf only (each call replaces it).  Always
// zero-terminated.
extern char txtcon[kConsoleSize];

// The place of the console text: the GUI's info window, in normalised device
// coordinates of the 2D pass (x -1 left .. 1 right, y -1 bottom .. 1 top).
// The GUI sets g_consoleWindow once it has its info window and keeps the
// values current while the window is dragged; null (no GUI) shows no console.
struct t_consoleWindow {
    float x;           // left edge, NDC
    float y;           // top edge, NDC
    float width;       // NDC, positive
    float titleHeight; // title bar height, NDC, negative (extends downwards)
};
extern t_consoleWindow* g_consoleWindow;

class CConsole {
public:
    // Formats like printf into txtcon, replacing the previous text.  Output
    // longer than kConsoleSize - 1 bytes is cut.
    void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Shows txtcon inside the info window; only in editor mode (`leveled`)
    // and only while g_consoleWindow exists.  Called by endFrame.
    void draw();
};

// The one console, valid for the whole run (a static object).
extern CConsole Con;

// One glyph with its top-left corner at window pixel (x, y).  Blanks (32 and
// 160) and glyphs wholly above the window (y <= -8) draw nothing.  The
// caller's current colour modulates the glyph.
void Draw_Char(int x, int y, int ch);

// Draws text from window pixel (x, y) in colour (1, 1, 1, 0.5), 8 pixels per
// character; the cursor returns to x one line (8 pixels) lower once it
// reaches rightLimit or at a line feed.  Line feeds are never drawn; one that
// follows a wrap at the right limit is taken by that wrap.  Null draws nothing.
void Draw_String(const char* text, int x, int y, int rightLimit);

// A textured rectangle with its top-left corner at (x, y), in the current
// coordinate system (ownMatrices false) or in normalised device coordinates
// (ownMatrices true: identity matrices pushed and popped around it).  Heights
// are negative to extend downwards in NDC.  alpha 0..1 multiplies the texels.
// Leaves GL_BLEND and GL_ALPHA_TEST enabled and GL_DEPTH_TEST enabled.
void drawImage(STexture* tex, float x, float y, float width, float height, float alpha, bool ownMatrices);

// A texture placed in pixels relative to g_view.imageRefWidth/Height: the
// rectangle (x, y) .. (x + imageWidth, y + imageHeight) divided by that
// reference size, for a 0..1 projection with y down (the noise overlay's).
// colour tints the texels.  Draws nothing with a reference size that is not
// positive.  Leaves GL_BLEND, GL_ALPHA_TEST and
// GL_DEPTH_TEST enabled.
void drawImage(STexture* tex, int x, int y, const t_rgba* colour);
