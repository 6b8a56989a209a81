// engine.h — the engine's spine: start-up, frame loop, level change, exit.
//
// One thread runs everything here.  `Engine` and `Level` are valid from
// start-up step 5/6 until closeEngine; `Level` is replaced at every level
// change (map), `Engine` is not.  closeEngine is the single orderly exit every
// subsystem calls on a fatal condition; it may run at any time, also before
// the display or the modules exist.
//
// Conventions used across the engine: y is up, the camera looks along -z at
// yaw 0, angles in degrees, matrices column-major (OpenGL), frame time in
// seconds, image rows top-first in memory unless a reader says otherwise.
#pragma once

#include <cstdint>

#include "core/lev.h"

class CNoise;

// Result codes of closeEngine; also the process exit status (KRT_QUIT ends 0).
enum KRT_RESULT {
    KRT_QUIT = 1,       // normal end of the frame loop
    KRT_FATAL = 2,      // level cannot be loaded, texture table full
    KRT_BADSOUND = 3,   // sound module answered with a wrong version
    KRT_BADGAME = 4,    // game module answered with a wrong version
    KRT_MESHPOOL = 6,   // mesh pool full or without player
    KRT_NOMEM = 8,      // no memory for object names
    KRT_INTERNAL = 9,   // internal mesh pool error
    KRT_FILE = 10,      // a data file (or module file) is missing or unreadable
};

// The engine object: copies of the level's display and fog settings taken at
// start-up (a level change keeps them), plus the per-frame work.
class CEngine {
public:
    float fogColor[4];              // RGBA 0..1
    uint8_t fogOn;
    float fogDensity;
    float fogEnd;                   // units
    float fogStart;                 // units
    char fogModeName[8];            // at most 4 characters of the level's name
    uint32_t particleSystemCount;
    uint32_t personCount;
    uint32_t treeCount;
    float viewDistance;             // far clip and terrain radius, units
    int32_t screenWidth;            // pixels
    int32_t screenHeight;           // pixels
    int32_t imageRefWidth;          // pixel reference size for 2D images
    int32_t imageRefHeight;
    uint8_t windowed;               // window instead of full screen
    uint8_t pixelDepth;             // bits
    CNoise* noise;                  // null unless the level has a noise overlay
    uint16_t maxTextureSize;        // texels

    // Copies the level's settings and opens the display.
    void init(Lev* level);
    // One frame: beforframeupdate, render, afterframeupdate.
    void update();
    void beforframeupdate();
    void render();
    void render3D();
    void afterframeupdate();
};

extern CEngine* Engine;
extern Lev* Level;
extern uint8_t g_bquit;         // nonzero ends the frame loop
extern float g_frametime;       // seconds of the last frame; initial 0.04
extern float g_grabframetime;
extern int32_t g_showfps;
extern int32_t fps, fpsz;       // frames of the last whole slot / of the running slot
extern int32_t gargcp;
extern char** gargv;
extern uint8_t server, texrender, fcull, ngrad, leveled;
extern uint8_t collon;          // camera collision; initial 1
extern uint8_t GuiOn;
extern uint8_t Boden;           // the level has terrain
extern uint8_t g_playermove;
extern uint8_t demo;            // demo flag of the original; the record has no field for it
extern const char* g_startLevel; // level loaded at start-up ("select" unless --level)

// Start-up, steps 1..21; ends through closeEngine on any fatal condition.
void initEngine(int argc, char** argv);
// Level change while the display stays open; called by `map` after freeGame.
void initGame(const char* levelName);
void freeGame();
// Loads the level's scene objects and their meshes (loadMeshs, scene/objects.h).
void initObj();
// Shuts down in order, prints the message (when longer than one character)
// and ends the process with the code's exit status.  Never returns.
[[noreturn]] void closeEngine(KRT_RESULT code, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Counts frames per second in slots of one calendar second (mod 16); the frame
// that sees a new slot is not counted.  `nowSeconds` is the calendar time.
void fpsTick(int64_t nowSeconds);
// Takes the running slot before the first frame.
void fpsStartSlot(int64_t nowSeconds);
// The frame loop; returns the frames run, when g_bquit is set (or after `maxFrames` frames
// when that is > 0, as if quit had been given).
long runFrameLoop(long maxFrames);

// Where closeEngine finally goes; tests replace it to observe the exit.
using ProcessExitFn = void (*)(int status);
extern ProcessExitFn g_processExit;
