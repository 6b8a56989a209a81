// commands.h — the command set: every handler the registry (functions.h) can
// bind to a key, and the state the fog commands own.
//
// A command runs once per frame while its key is held, called by the input
// part after the frame was drawn (CInput::start) with its own copy of the
// key's argument record; GUI buttons call the same handlers.  Three kinds:
//   held     acts every frame while held, mostly by setting a one-frame
//            request that the next frame consumes (camera motion, quit);
//   once     acts once per press through a t_pressguard;
//   editor   does nothing unless the editor mode `leveled` is set, and then
//            leaves its guard untouched.
// All run on the engine's thread.  They read and write Level (fields are
// the level record's, core/lev.h), Cam, g_view, the GL fog state and the
// globals of core/common.h and commands/cmdglobals.h.
#pragma once

#include <cstdint>

#include "input/cvar.h"

// The once-per-press guard of toggle and step commands: each such command
// keeps one in a function-local static.  A press acts when the frame counter
// (core/common.h `framecounter`) has moved on by more than two frames
// since the previous call, or on the very first call; every call (acting or
// not) records the current frame, so a held key acts once and a key tapped in
// consecutive frames acts once.
struct t_pressguard {
    float frame = -1.0f; // framecounter at the last call; -1 before the first
    // True when this call is a new press.  Counts across the counter's wrap
    // from kFrameCounterWrap to 0.
    bool pressed();
};

// The repeat timer of the particle-system scroll commands: a fresh press
// steps at once, a held key steps again every half second.
struct t_repeat {
    float timer = 0.0f; // seconds since the last step (1.0 after a fresh press)
    // Advances by `dt` seconds; true when the selection should step now.
    bool step(bool freshPress, float dt);
};

// The GL fog hints `fog_hint` cycles through.
struct FogHint {
    char name[10];   // short name for the fog line ("FASTEST")
    char glName[18]; // "GL_FASTEST"
    int32_t glHint;  // GL_FASTEST, GL_NICEST, GL_DONT_CARE
};

extern const FogHint foghints[3];
extern int32_t g_foghint; // index into foghints; initial 1 (NICEST)

// Prints "Fog: Hint= %s Type=%s  Start= %f End= %f Density= %f " on the
// console with the current hint, mode and Level's fog values.
void printFogLine();

// The level change of `map`, installed by the engine (its changeLevel: a new
// game module loads `levelName`; only then is the running level released);
// null: `map` does nothing.  Tests replace it to watch `map` without starting
// modules.
using ChangeLevelFn = void (*)(const char* levelName);
extern ChangeLevelFn g_changeLevel;

// The engine's hook that draws the scene once more as it stands (nothing
// moves), so that a line just put on the console is on screen while a
// requester waits for the user; null: nothing is drawn.
using RedrawFn = void (*)();
extern RedrawFn g_redrawFrame;
// Before a requester asks: puts the question on the console, gets it on
// screen (g_redrawFrame; the frame stands still until the answer comes) and
// lets the pointer go for the requester's window.  requestAnswered takes the
// pointer back.
void announceRequest(const char* question);
void requestAnswered();

// --- The commands, by registered name ----------------------------------

void cmd_screenshotPPM(cvar v); // "ScreenshotPPM"    once: "Screenshot.ppm" of the whole drawable (g_view)
void cmd_saveGameFiles(cvar v); // "SaveGameFiles"    editor, once: asks for a directory
void cmd_showfps(cvar v);       // "showfps"          once: toggles g_showfps
void cmd_camSetspeed(cvar v);   // "cam_setspeed N"   held: camera move speed = N units per second
void cmd_objSetspeed(cvar v);   // "obj_setspeed N"   held: objmovespeed = N

// Held: one-frame camera requests (turn: x yaw +1 right, y pitch +1 down;
// move: z +1 forward, x +1 left; moving also sets g_playermove).
void cmd_camYawright(cvar v);
void cmd_camYawleft(cvar v);
void cmd_camPitchdown(cvar v);
void cmd_camPitchup(cvar v);
void cmd_camForward(cvar v);
void cmd_camBackward(cvar v);
void cmd_camSlideleft(cvar v);
void cmd_camSlideright(cvar v);

// Editor, held: fog colour component +/- kByteToUnit, clamped to 0..1; also the
// clear colour.
void cmd_plusFogColorR(cvar v);
void cmd_minusFogColorR(cvar v);
void cmd_plusFogColorG(cvar v);
void cmd_minusFogColorG(cvar v);
void cmd_plusFogColorB(cvar v);
void cmd_minusFogColorB(cvar v);

void cmd_saveinitfile(cvar v); // "saveinitfile"     editor, held: level files written by the game module
void cmd_fogSwitch(cvar v);    // "fog_switch"       editor, once: fog on/off

// Editor, once: fog start/end/density +/- fstart/fend/fdens (not below 0),
// then the fog line.
void cmd_minusFogStart(cvar v);
void cmd_plusFogStart(cvar v);
void cmd_plusFogEnd(cvar v);
void cmd_minusFogEnd(cvar v);
void cmd_plusFogDensity(cvar v);
void cmd_minusFogDensity(cvar v);

void cmd_fogType(cvar v);      // "fog_type"         editor, once: next fog mode LIN, EXP, EXP2
void cmd_fogHint(cvar v);      // "fog_hint"         editor, once: next fog hint
void cmd_fogInfo(cvar v);      // "fog_info"         editor, once: empty text, then the fog line, alternately
void cmd_plusCamEnd(cvar v);   // "+cam_end"         editor, once: view distance + 1
void cmd_minusCamEnd(cvar v);  // "-cam_end"         editor, once: view distance - 1, not below 0
void cmd_camSetpos(cvar v);    // "cam_setpos"       editor, held: camera pose becomes the level's start
void cmd_noclip(cvar v);       // "noclip"           once: toggles collon
void cmd_camGrab(cvar v);      // "cam_grab", "cam_grabgz"  once: toggles frame grabbing
void cmd_camRecord(cvar v);    // "cam_record"       once: toggles recording, prints "record\n"
void cmd_camPlay(cvar v);      // "cam_play"         once: toggles playback; on: collon = 0
void cmd_soundNothing(cvar v); // "sound_pause", "sound_play", "+sound_freq", "-sound_freq": nothing
void cmd_quit(cvar v);         // "quit"             held: g_bquit = 1
void cmd_map(cvar v);          // "map NAME"         once: loads level NAME (g_changeLevel)
void cmd_swwindowmode(cvar v); // "swwindowmode"     held: toggles g_view.windowed

// Object editing; editor.  obj_load, obj_copy, obj_paste and obj_delete act
// once per press, the others every frame while held.
void cmd_objLoad(cvar v);
void cmd_objSelect2(cvar v);
void cmd_objCopy(cvar v);
void cmd_objPaste(cvar v);
void cmd_objDelete(cvar v);
void cmd_plusObjMovex(cvar v);
void cmd_minusObjMovex(cvar v);
void cmd_plusObjMovey(cvar v);
void cmd_minusObjMovey(cvar v);
void cmd_plusObjMovez(cvar v);
void cmd_minusObjMovez(cvar v);
void cmd_objSelect(cvar v);
void cmd_objRotx(cvar v);
void cmd_objRoty(cvar v);
void cmd_objRotz(cvar v);
void cmd_objMovex(cvar v);
void cmd_objMovez(cvar v);
void cmd_objScalex(cvar v);
void cmd_objScalez(cvar v);
// Editor, once: a step back or forward through the session's object edits.
void cmd_objUndo(cvar v);     // "obj_undo"
void cmd_objRedo(cvar v);     // "obj_redo"
void cmd_swhelp(cvar v);      // "swhelp"           editor, once: the help window on/off

void cmd_swgui(cvar v);                // "swgui"            editor, once: toggles GuiOn
void cmd_swleveled(cvar v);            // "swleveled"        once: editor mode; on: collon 0, GuiOn 1; off: 1, 0
void cmd_swrotlock(cvar v);            // "swrotlock"        editor, held: rotlock = 0
void cmd_swdynlight(cvar v);           // "swdynlight"       editor, once: dynamic lights; stays off without lights
void cmd_plusScrollparticles(cvar v);  // "+scrollparticles"  editor, held: next particle system
void cmd_minusScrollparticles(cvar v); // "-scrollparticles"  editor, held: previous particle system
