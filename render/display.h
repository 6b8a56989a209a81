// display.h — the display, the fixed GL state, fog, load screen and frame
// brackets.  One context for the whole run: opened by CEngine::init, closed
// by closeEngine; a level change keeps it.  All GL state that is set once
// lives in initGL; the per-level fog is set by draw_resetFog.
#pragma once

#include <cstdint>

#include <GL/gl.h>

struct Lev;
class STexture;

// What the renderer draws with: the drawable's size and the level's view and
// fog settings.  The engine fills it from the level at start-up (a level
// change keeps it); openScreen replaces the size by the drawable's real one.
// The one size read by the projection, the viewport, culling, the 2D pass
// and screenshots.
struct t_view {
    int32_t screenWidth;   // pixels of the drawable
    int32_t screenHeight;  // pixels of the drawable
    int32_t imageRefWidth; // pixel reference size of 2D images (the noise overlay's)
    int32_t imageRefHeight;
    uint8_t windowed;   // window instead of full screen
    float viewDistance; // far clip and terrain radius, units
    float fogColor[4];  // RGBA 0..1; RGB is also the clear colour
    uint8_t fogOn;
    float fogDensity;    // for EXP and EXP2
    float fogStart;      // units
    float fogEnd;        // units
    char fogModeName[8]; // at most 4 characters of the level's name, NUL-terminated
};
extern t_view g_view;

struct FogMode {
    char name[20];  // NUL-padded
    int32_t glMode; // GL_LINEAR, GL_EXP, GL_EXP2
};

constexpr int kFogModeCount = 3;
extern const FogMode fogmodes[kFogModeCount];
extern uint8_t g_drawinitalized; // 1 while a context exists
extern uint8_t g_isOldGraka;     // display layer reported the oldest chip
extern uint8_t Fogon;            // GL_FOG enabled, in step with every switch done here
extern int32_t g_fogtype;        // index into fogmodes; initial 2 (EXP2)
extern STexture* loadbmp;        // the load-screen image; null while closed

// Opens the display (window or full screen) with the depth fallbacks 24 and
// 16; ends through closeEngine(KRT_DISPLAY) when no context can be had.
void openScreen(int width, int height, int depth, int buffers, bool windowed);
void initGL();
void closeScreen();
void draw_resetFog(Lev* level);
void draw_loadscreen();
void beginFrame();
// Ends the frame: frame counter text, console, the requested screenshot (of
// the finished frame, before the buffers switch), then the switch.
void endFrame();
// Asks endFrame to write the frame it finishes next to `file` as binary PPM
// (the whole screen).  A later request before that frame replaces it.
void requestScreenshot(const char* file);
// Whether the picture last requested has been written whole; false while it
// waits for its frame.
bool lastScreenshotWritten();
