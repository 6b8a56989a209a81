// cmdglobals.h — per-frame state that the commands set, and the frame
// defaults that restore it after every frame (before the held keys' commands
// run again).
//
// Written by the bound commands (commands/) and the editor's mouse edits
// (editor/); read by the object movement (scene/) and the fog step commands.
// The engine calls commandFrameDefaults once per frame, after drawing and
// before the input part runs the held keys' commands.  The mouse-ownership
// bytes rotlock and objRot live in core/common.h, because the camera and the
// GUI below the commands read them.  Single-threaded.
#pragma once

#include <cstdint>

extern float objmovespeed; // editor object move speed, units per second; frame default 1.0
extern float fstart;       // step of +fog_start/-fog_start, units; frame default 0.5
extern float fend;         // step of +fog_end/-fog_end, units; frame default 0.5
extern float fdens;        // step of +fog_density/-fog_density; frame default 0.01

// Seconds the frame defaults have been running (sum of g_frametime over the
// frames seen by commandFrameDefaults); 0 at program start.
extern float g_fruntimer;

// The frame defaults that held keys' commands may override for one frame:
// the camera's move and turn speeds and the steps above (only once 0.1 s
// have run), rotlock 1 and objRot 0 (every frame); then g_fruntimer
// advances by g_frametime.
void commandFrameDefaults();
