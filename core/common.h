// common.h — what every subsystem may use: the result codes and the one exit,
// the level record pointer, the frame clock, the start-up switches and the
// engine's conventions.  The bottom of the engine: it includes nothing of
// ours but the level record, and every folder may include it.
//
// Everything here is defined in core/common.cpp and lives for the whole run.
// The engine (core/engine.h) stands on top: it installs the shutdown hook,
// sets the switches and the level pointer, and advances the frame clock.  No
// folder below the engine includes core/engine.h; what a lower floor needs
// from above arrives here, through a setter of its own or as a parameter.
//
// Conventions, once for the whole engine (a file header repeats none of
// these, only what is particular to its subsystem):
//   axes      right-handed, y up; forward at yaw 0 is -z; yaw turns about y
//             (positive to the right), pitch about x (positive looks down).
//   units     one world unit is one terrain cell (grid point to grid point).
//   angles    degrees everywhere outside the trigonometric calls.
//   matrices  float[16], column-major as OpenGL keeps them (m[12..14] is the
//             translation).
//   time      seconds (g_frametime, speeds per second); frames are counted
//             by `framecounter`.
//   colours   floats 0..1 unless a field says 0..255; kByteToUnit converts.
//   images    a CBitmap keeps its rows in file order: a PPM's top row first,
//             a TGA's rows as stored, whatever its origin bit says.  GL
//             receives the rows as they are (row 0 at t = 0).
#pragma once

#include <cstdint>

#include "core/lev.h"

// Result codes of closeEngine; also the process exit status (KRT_QUIT ends 0).
enum KRT_RESULT {
    KRT_QUIT = 1,     // normal end of the frame loop
    KRT_FATAL = 2,    // level cannot be loaded, texture table full
    KRT_BADSOUND = 3, // sound module answered with a wrong version
    KRT_BADGAME = 4,  // game module answered with a wrong version
    KRT_MESHPOOL = 6, // mesh pool full or without player
    KRT_NOMEM = 8,    // no memory for object names
    KRT_INTERNAL = 9, // internal mesh pool error
    KRT_FILE = 10,    // a data or module file missing or unreadable; --shot's picture unwritable
    KRT_DISPLAY = 20, // no display, or no GL context at any pixel depth
};

// The single orderly exit every subsystem calls on a fatal condition; it may
// run at any time, also before the display or the modules exist.  Formats
// the message (printf style, at most 255 characters; a format of one
// character or less means no message), then hands code and message to the
// shutdown hook.  Without a hook (a test of a lower floor) it prints the
// message and ends through g_processExit.  Never returns.
[[noreturn]] void closeEngine(KRT_RESULT code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The orderly shutdown the engine installs: closes its objects, the modules,
// the port and the display, prints `message` when it is not empty and ends
// the process with the code's exit status.  Must not return.
using ShutdownHook = void (*)(KRT_RESULT code, const char* message);
extern ShutdownHook g_shutdownHook;

// The exit status of a result code: 0 for KRT_QUIT, the code itself otherwise.
int exitStatusFor(KRT_RESULT code);

// Where every exit finally goes; tests replace it to observe the exit.
// Default std::exit.
using ProcessExitFn = void (*)(int status);
extern ProcessExitFn g_processExit;

// The current level record, owned by the game module (core/lev.h).  Valid
// from the level's load until the module is told to quit; null before,
// between levels and after.
extern Lev* Level;

// --- The frame clock ---------------------------------------------------

// Seconds of one frame at 25 frames per second: the frame time before the
// first measurement and of every frame while the camera grabs frames.
constexpr float kFixedFrameTime = 0.04f;

extern float g_frametime;     // seconds of the last frame; initial kFixedFrameTime
extern float g_grabframetime; // the frame time as the frame grabber saw it, seconds
extern uint8_t g_bquit;       // nonzero ends the frame loop
extern int32_t g_showfps;     // nonzero: endFrame shows the frame-rate line
extern int32_t fps, fpsz;     // frames of the last whole second / of the running one

// Frames shown, counted by the display after each frame: 0..kFrameCounterWrap,
// then 0 again (so kFrameCounterWrap + 1 values).  Press guards compare it.
constexpr uint32_t kFrameCounterWrap = 1000000;
extern uint32_t framecounter;
// One frame further, wrapping past kFrameCounterWrap to 0.
void advanceFrameCounter();

// --- The start-up switches and modes -----------------------------------

// Set from the command line by initEngine and changed by commands at run time.
extern uint8_t server;    // "-server": a TCP/IP stack is required
extern uint8_t texrender; // "-tex": trees with one fixed texture
extern uint8_t fcull;     // "-fcull": back-face culling from the start
extern uint8_t ngrad;     // "-ngrad": 90 degrees field of view instead of 45
extern uint8_t leveled;   // "-leveled": editor mode
extern uint8_t collon;    // camera collision; initial 1, "-coll" clears it
extern uint8_t GuiOn;     // the editor's GUI is shown (when one exists)
class CGui;
extern CGui* Gui;            // the GUI object; null while there is none
extern uint8_t g_playermove; // the player moved this frame; cleared after every frame

// Who owns the mouse this frame.  Reset to the frame defaults (rotlock 1,
// objRot 0) after every frame by the commands' frame defaults.
extern uint8_t rotlock; // 1: the mouse drives the GUI pointer while the GUI is shown
extern uint8_t objRot;  // 1: a mouse-driven object edit; the camera ignores the mouse

// --- Small shared helpers ------------------------------------------------

// One step of an 8-bit colour channel in 0..1 units.
constexpr float kByteToUnit = 1.0f / 255.0f;

// Copies at most size - 1 bytes of `source` (null counts as empty) and
// always terminates; size 0 writes nothing.  Returns `dest`.
char* copyBounded(char* dest, const char* source, unsigned long size);

// A copy of `text` on the heap, to be released with delete[].  Null counts
// as empty.
char* newStringCopy(const char* text);

// Prints `text` (a line feed is added when it has none) between two rules
// of `dashes` dashes on stdout: the warning that a level's data are broken
// but the engine goes on.  Rules longer than 200 dashes are cut to 200.
void printFramedWarning(const char* text, unsigned dashes);
