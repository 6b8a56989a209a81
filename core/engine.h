// engine.h — the engine's spine: start-up, frame loop, level change, exit.
//
// One thread runs everything here.  `Engine` and `Level` are valid from
// start-up step 5/6 until closeEngine; `Level` is replaced at every level
// change (map), `Engine` is not.  closeEngine is the single orderly exit every
// subsystem calls on a fatal condition; it may run at any time, also before
// the display or the modules exist.
//
// Only the engine's own files (engine.cpp, main.cpp, modport.cpp) include
// this header; the floors below get what they need from core/common.h.
#pragma once

#include <cstdint>

#include "core/common.h"

class CNoise;

// The engine object: the level's counts and settings taken at start-up (a
// level change keeps them), plus the per-frame work.  The display and fog
// settings go to the renderer (render/display.h `g_view`), the maximum texture
// size to image/ (textureSetMaxSize).
class CEngine {
public:
    uint32_t particleSystemCount;
    uint32_t personCount;
    uint32_t treeCount;
    uint8_t pixelDepth; // bits
    CNoise* noise;      // null unless the level has a noise overlay

    // Copies the level's settings into the renderer and image/, and opens
    // the display.
    void init(Lev* level);
    // One frame: beforframeupdate, render, afterframeupdate.
    void update();
    void beforframeupdate();
    void render();
    void render3D();
    // The 2D pass over the finished 3D picture: the noise overlay, the
    // editor's part and the GUI.
    void render2D();
    void afterframeupdate();
    // Replaces the noise overlay by the one of `level` (none when it has no
    // overlay parameters).  Needs the display.
    void setNoiseOverlay(Lev* level);
};

extern CEngine* Engine;
extern int32_t gargcp;
extern char** gargv;
extern uint8_t demo;             // demo flag of the original; the record has no field for it
extern const char* g_startLevel; // level loaded at start-up ("select" unless --level)

// Start-up, steps 1..21; ends through closeEngine on any fatal condition.
void initEngine(int argc, char** argv);
// Level change while the display stays open; called by `map`.  Starts a new
// game module and loads the level with it; only then are the running level
// and its modules released (freeGame) and the new ones set up.  A level that
// does not load leaves everything as it was and returns false (the module
// names the file, line and problem; the console and terminal say so).
bool initGame(const char* levelName);
void freeGame();
// Loads the level's scene objects and their meshes (loadMeshs, scene/objects.h).
void initObj();
// The level change of the `map` command: freeGame, then initGame.
void changeLevel(const char* levelName);
// closeEngine's work (core/common.h), installed as its shutdown hook: shuts
// down in order, prints the message when it is not empty and ends the
// process with the code's exit status.  Never returns.
[[noreturn]] void engineShutdown(KRT_RESULT code, const char* message);

// Counts frames per second in slots of one calendar second (mod 16); the frame
// that sees a new slot is not counted.  `nowSeconds` is the calendar time.
void fpsTick(int64_t nowSeconds);
// Takes the running slot before the first frame.
void fpsStartSlot(int64_t nowSeconds);
// The frame loop; returns the frames run, when g_bquit is set (or after `maxFrames` frames
// when that is > 0, as if quit had been given).  With both maxFrames > 0 and
// lastFrameShot, the last of those frames is written to that file (PPM).
long runFrameLoop(long maxFrames, const char* lastFrameShot = nullptr);

struct t_camPath;
// --timedemo: one frame per record of the path, the camera put at each in
// turn with collision off and the scene stepped by 0.04 s per frame (as when
// the path was recorded), as fast as the frames can be drawn.  Returns the
// frames run; fewer than the records when quit ended it early.
long runTimedemo(const t_camPath& path);
