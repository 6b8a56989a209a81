// draw.h — turning, moving and drawing the scene objects every frame, and the
// player figure the engine draws at the camera.
//
// The engine's frame calls updateMeshs before drawing and drawMeshs in the 3D
// pass right after the camera set the view (core/engine.cpp); drawMeshs also
// decides which trees the camera collides with this frame (Tree::collidable).
// Trees are drawn straight from their pooled vertex stream, switching texture
// and blend state at its texture markers (image/texlist.h), coloured per
// vertex by the lights (scene/light.h) or with the level's unlit colour.
// Needs the GL context; single-threaded.
#pragma once

#include <cstdint>

#include "core/mathlib.h"
#include "image/texture.h"
#include "scene/objects.h"

// The viewer the scene is drawn for: the camera's position (world units) and
// yaw (degrees), set by the engine once the camera exists (null: the origin,
// yaw 0).  Object culling, the player figure, lights riding on the camera
// and newly added objects use it.
extern t_vector* g_viewerPosition;
extern const float* g_viewerYaw;
void setSceneViewer(t_vector* position, const float* yaw);

// The editor's selected object (null: none); cleared by every rebuild of the lists.
extern t_objheader* selectedObj;
// One-frame move request for the selected object; only the signs count.
extern t_vector vecobjmove;
// Frame statistics: tree faces drawn, texture switches; reset before the trees.
extern uint32_t objpersec;
extern uint32_t texswperframe;
// Scratch for billboards: the model-view matrix read back.
extern float viewMatrix[16];

// Turns every person, then every tree, by its rotation speed over dt seconds.
// A tree exchanges the speed's y and z (speed y turns it about z) and
// recomputes its model matrix; its boxes stay.
void updateMeshs();
void updateTree(Tree& tree, float dt);
void updatePerson(Person& person, float dt);

// Moves the selected object by vecobjmove (speed: units per second, the
// editor's objmovespeed; through its positionRef, so a follower moves its
// parent) and clears the request; a tree's boxes are recomputed, a particle
// system's box through g_particleSystemMoved.
void moveobj(float speed);

// Recomputes the box of the particle system whose header is given, after
// moveobj moved it.  Installed by the particle systems (a floor above this
// one); null: nothing is recomputed.
using ParticleSystemMovedFn = void (*)(t_objheader* system);
extern ParticleSystemMovedFn g_particleSystemMoved;

// Moves the selected object (moveobj with objMoveSpeed), then draws persons
// within the view distance and trees within it plus one unit that pass the
// frustum test, with the camera's model-view matrix current.  The first
// argument has no effect.
void drawMeshs(bool unused, float objMoveSpeed);

// Applies an object's billboard (1: faces the viewer, >= 2: keeps the view's
// rotation in its y-z plane) to the current model-view matrix.
void applyBillboard(int32_t billboard);

// The player figure "obj/player/pilot/pilot.md2" with "pilot.ppm", loaded once
// the display is open, drawn at the camera.
extern Person playerFigure;
extern STexture playerTexture;
void initPlayerFigure();
// Draws it 0.37 units below the camera, turned to the camera's yaw; animates
// it while the player moved this frame (g_playermove), else shows frame 0.
void drawPlayerFigure();
