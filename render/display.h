// display.h — the display, the fixed GL state, fog, load screen and frame
// brackets.  One context for the whole run: opened by CEngine::init, closed
// by closeEngine; a level change keeps it.  All GL state that is set once
// lives in initGL; the per-level fog is set by draw_resetFog.
#pragma once

#include <cstdint>

#include <GL/gl.h>

struct Lev;
class STexture;

struct FogMode {
    char name[20];      // NUL-padded
    int32_t glMode;     // GL_LINEAR, GL_EXP, GL_EXP2
};

extern const FogMode fogmodes[3];
extern uint8_t g_drawinitalized;   // 1 while a context exists
extern uint8_t g_isOldGraka;       // display layer reported the oldest chip
extern uint8_t Fogon;              // GL_FOG enabled, in step with every switch done here
extern int32_t g_fogtype;          // index into fogmodes; initial 2 (EXP2)
extern uint32_t framecounter;      // frames shown; wraps to 0 past 1000000
extern STexture* loadbmp;          // the load-screen image; null while closed

// Opens the display (window or full screen) with the depth fallbacks 24 and
// 16; ends the process with status 20 when no context can be had.
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
// The frame counter step of endFrame, on its own for tests.
void advanceFrameCounter();
