// heightfield.h — the level's terrain: a fixed 64 x 64 grid of heights read
// from a small PPM image, drawn every frame as one triangle strip per grid
// row, shaded by height and limited to a square around the camera.
//
// Owns the height table `terrain`, the texture `grass` and the flag `Boden`,
// which says whether the current level has terrain and is written only by
// init_height_field.  initEngine and initGame call init_height_field at every
// level start; CEngine::render3D calls render_height_field with the camera's
// position when `Boden` is set, after the camera has put its view on the
// model-view matrix.
//
// Coordinates: grid point (x, z) lies at world (x - 32, h - 8.0, z - 32), so
// the grid covers -32 .. 31 on x and z and heights lie between -8.0 and -5.45.
//
// Height-map image: 64 x 64 pixels, top row first; only the blue byte counts
// (h = byte / 100, 0 .. 2.55 units), and the image lies turned by 180
// degrees: pixel (row r, column k) gives terrain[63 - k][63 - r].  An image of
// any other size (a broken file arrives as the reader's 8 x 8 placeholder) is
// refused with a warning naming the file: the level then has no terrain.
// Scaling would turn a broken or wrongly exported map into a plausible-looking
// but wrong landscape.
#pragma once

#include "image/texture.h"

constexpr int kTerrainSize = 64;           // grid points per side
constexpr float kTerrainBaseY = -8.0f;     // world y of height 0, units
constexpr float kTerrainMaxHeight = 2.55f; // largest height sample, units

// terrain[x][z] = height of grid point (x, z), 0 .. 2.55 units.  Rewritten by
// every init_height_field that accepts a map; kept as it was otherwise (then
// `Boden` is 0 and it is not drawn).
extern float terrain[kTerrainSize][kTerrainSize];

// Bound while the terrain is drawn.  It never receives an image (id 0), so
// the terrain shows its vertex colours only.
extern STexture grass;

// 1 while the current level has terrain; written only by init_height_field.
extern uint8_t Boden;

// Loads the height map named by the current level (`Level->heightMapFile`).
// A file that cannot be opened: Boden = 0, silently.  A file that is not a
// 64 x 64 image: Boden = 0 and a warning naming it.  Otherwise the table is
// filled and Boden = 1.  No level record: Boden = 0.
void init_height_field();

// Draws the terrain around a camera at world (camX, *, camZ) and, when the
// sky box is shown (`noskybox` clear) and GL fog is on (`Fogon`), the skirt
// walls and the floor plate in the current level's fog colour.  Only the grid
// columns and rows whose camera-relative position camX - 30 + x (resp.
// camZ - 30 + z) lies strictly inside +-g_view.viewDistance send vertices;
// the strips of the other rows stay empty.  Leaves GL_CULL_FACE off.
void render_height_field(float camX, float camZ);
