// meshdraw.h — the array path of the tree pass: each pooled mesh's stream
// turned once into vertex arrays that replay the immediate-mode walk of
// Tree::drawMesh (same primitives, same order, same state changes), with the
// colours of every vertex filled per tree and frame.
//
// Arrays are built on a mesh's first use and kept, keyed by its vertex
// stream, until the texture coordinates of a mesh are regenerated
// (meshArraysInvalidate, called by the mesh pool) or a texture's quads or
// sphere-map setting no longer matches what they were built with (then
// rebuilt on the spot).  A tree whose mesh carries per-vertex normals, or
// whose texture coordinates run short, is drawn by the immediate path.
//
// Lighting gives per vertex exactly what GetLightColor returns (same float
// and double operations in the same order); a light that cannot reach the
// tree's bounding sphere is replaced by the clamp it would still apply.
// Called by drawMeshs (scene/draw.cpp) only; single-threaded, needs GL.
#pragma once

#include <cstdint>

#include "scene/objects.h"

// Draws one tree like Tree::drawMesh, with its model-view (eye) matrix
// current and tree.eyeMatrix read.  Returns false, having drawn nothing,
// when the tree must go through Tree::drawMesh instead.
bool drawTreeArrays(Tree& tree);

// Client-array state around the tree pass: enables the four arrays before
// the first tree, disables them after the last.
void beginTreeArrays();
void endTreeArrays();

// Forgets every mesh's arrays (their streams or coordinates changed).
void meshArraysInvalidate();
