// cmdglobals.cpp — the per-frame command state; see cmdglobals.h.
#include "commands/cmdglobals.h"

// The values before the first frame defaults are applied (CInput::start
// applies them only after 0.1 s of running) are the frame defaults too.
float objmovespeed = 1.0f;
float fstart = 0.5f;
float fend = 0.5f;
float fdens = 0.01f;
uint8_t rotlock = 1;
uint8_t objRot = 0;
