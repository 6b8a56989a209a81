// skybox.h — the sky: a textured box drawn around the camera, or, when a level
// lacks any of its six face images, the single background image "stdbg.ppm"
// of the level's directory, whose first pixel becomes the level's fog colour
// and the screen's clear colour.
//
// Owns the six face textures `skyboxTexture` and the flag `noskybox`.
// initEngine and initGame call skyboxInit at every level start (after the GL
// context exists); CEngine::render3D calls drawSkybox once per frame; the
// shutdown calls skyboxDestroy.  The terrain (terrain/heightfield.h) reads
// `noskybox` to decide whether it closes its edges with a skirt.  Nobody else
// writes these globals.
//
// The box is fixed in model-view units (it is not scaled with the level): x
// -604 .. 664, y -448 .. 820, z -519 .. 817, drawn with its own 45-degree
// projection reaching to 100000 units and without fog.
#pragma once

#include <cstdint>

#include "image/texture.h"

// The face textures in face order 0..5: 0 front (-z), 1 left (-x), 2 back
// (+z), 3 right (+x), 4 top (+y), 5 bottom (-y).  In fallback mode only [0]
// is used (it holds "stdbg.ppm").  They live for the whole run; skyboxInit
// replaces their GL textures, skyboxDestroy deletes them.
extern STexture skyboxTexture[6];
// 1 while the level uses the single-image fallback; 0 (the start value) while
// it has a full sky box.  Set by skyboxInit only.
extern uint8_t noskybox;

// Loads the sky of the current level (`Level`).  All six face files present:
// one texture per face (linear filters, no colour key), noskybox = 0.  Any
// face missing: "stdbg.ppm" of the level directory becomes texture [0], its
// first pixel the level's fog colour (alpha 1), the GL fog colour and the
// clear colour (alpha 1), and noskybox = 1.  Without a level record it does
// nothing.
void skyboxInit();

// Draws the box once per frame, with the camera's orientation already on the
// model-view matrix.  Draws nothing in fallback mode unless g_isOldGraka is
// set (the clear colour then stands in for the sky).  Leaves the matrix mode
// at GL_MODELVIEW and the projection matrix and fog switch as it found them.
void drawSkybox();

// Deletes the six GL textures (their ids become 0).  Called at shutdown.
void skyboxDestroy();

// Reads the first (top-left) pixel of the PPM `file` into out[0..2] as
// R, G, B in 0..1 and writes 1.0 into out[3].  Returns false, leaving `out`
// untouched, when the file cannot be opened or cannot be read as an image.
bool getPixelColorPPM(const char* file, float out[4]);
