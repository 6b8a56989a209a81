// cmdglobals.h — per-frame state that the commands set and the input part
// resets to its frame defaults after every frame (before the held keys' commands run).
//
// Written by the bound commands (commands/), the editor's mouse edits
// (editor/) and the frame defaults of CInput::start (input/); read by the
// object movement (scene/), the fog step commands, the camera's mouse look
// (camera/) and the GUI pointer (gui/).  Single-threaded.
#pragma once

#include <cstdint>

extern float objmovespeed;   // editor object move speed, units per second; frame default 1.0
extern float fstart;         // step of +fog_start/-fog_start, units; frame default 0.5
extern float fend;           // step of +fog_end/-fog_end, units; frame default 0.5
extern float fdens;          // step of +fog_density/-fog_density; frame default 0.01
extern uint8_t rotlock;      // 1: the mouse drives the GUI pointer while the GUI is shown; 0 while swrotlock is held
extern uint8_t objRot;       // 1: a mouse-driven edit this frame, the camera ignores the mouse; reset every frame
