// editor.h — the level editor: overlays in the 3D view, the selection, the
// object edits behind the obj_ commands, their undo history for the session
// and the write-back into the level record before a save.
//
// The editor owns `treebuf` and the history; the selection itself
// (`selectedObj`) and the key move request (`vecobjmove`) live with the
// scene objects (scene/draw.h), which clear the selection at every rebuild
// of their lists, and `selectedParticlesys` with the particle systems
// (particles/particles.h).  Every edit that rebuilds the lists (add,
// paste, delete, undo of those) therefore sets the selection again from
// what it names (type and index), never from a pointer kept across it.
//
// The commands (commands/) call these functions; each does nothing outside
// editor mode (`leveled`).  Mouse deltas are pixels (x right, y down), `s`
// the level's mouse sensitivity.  The engine draws draw_3DLevelEDstuff in the
// 3D pass after the particle systems and resets the editor at every level
// load.  Single-threaded; the drawing and obj_select2 need the GL context.
#pragma once

#include <cstdint>

#include "core/mathlib.h"
#include "scene/objects.h"

extern char* treebuf;               // name of the object last copied (new[]), or null

// --- Drawing -------------------------------------------------------------

// The overlay: a white square at every object, axes at the selected one and
// its box in red (a tree's local box, a particle system's fall volume), its
// description on the console.
// Only in editor mode.
void draw_3DLevelEDstuff();
// The 2D pass's part; draws nothing.
void draw_2DLevelEDstuff();
// Three axis arrows 0.3 units long from p: x yellow, y green, z blue.
void draw_3DAxes(const t_vector& p);
// The twelve edges of the box origin .. origin + size, colour RGBA 0..1.
void draw_WiredBox(const t_vector& origin, const t_vector& size, const float colour[4]);
// A square of side `size` in the x-y plane around centre.
void draw_Quad(const t_vector& centre, float size);

// The console text describing the selected object (empty without one).
void describeSelection(char* out, unsigned long size);

// --- Selection and edits ---------------------------------------------------

// obj_select: the object nearest to the camera.
void edSelectNearest();
// obj_select2: the tree nearest to the GUI pointer (x, y in GUI units).
void edSelectAtPointer(float x, float y);
// obj_load: adds the file `path` (".raw" tree, ".md2" person) and selects it.
// Null (a cancelled request) changes nothing.
void edLoad(const char* path);
// obj_copy: remembers the selected object's name.
void edCopy();
// obj_paste: adds a copy of the first tree named like the copied name and
// selects it.
void edPaste();
// obj_delete: deletes the selected tree or person; the nearest object left
// becomes selected (none when nothing is left).
void edDelete();

// Mouse edits of the selected object; each sets objRot and recomputes the
// trees' boxes.  Move: along x (or z when alongZ) by dx and up by -dy, 0.002
// units per pixel times s.  Rotate: axis 0 x, 1 y, 2 z, one degree per
// pixel of dx; not for particle systems.  Scale: a particle system's half
// width (or half depth when alongZ) by dx and fall height by -dy.
void edMouseMove(bool alongZ, int32_t dx, int32_t dy, float s);
void edMouseRotate(int axis, int32_t dx);
void edMouseScale(bool alongZ, int32_t dx, int32_t dy, float s);
// +obj_movex ... -obj_movez: the one-frame move request (axis 0..2, sign
// +1/-1) that the object pass carries out.
void edKeyMove(int axis, float sign);

// --- Undo ----------------------------------------------------------------

// Steps back or forward through the session's edits (add, delete, paste,
// move, rotate, scale).  An edit held over consecutive frames (a mouse drag,
// a held move key) is one step.  False when there is nothing to undo/redo.
bool edUndo();
bool edRedo();
// Forgets the history and the selection; at every level load.
void editorReset();

// --- Saving --------------------------------------------------------------

// Writes the live scene into the level record's placement tables: every
// tree's and person's vectors at positionRef and rotationRef (with the rest
// of what the engine owns) and every particle system's origin and extents,
// so that the game module saves what is shown.
void edWriteBack();

// --- Help window ------------------------------------------------------------

// Names of the keys bound to `command` (for example "K_G"), written into out
// separated by "/"; empty when none.  Installed by the command registry,
// which knows the handlers; null shows the commands without keys.
using KeysForCommandFn = void (*)(const char* command, char* out, unsigned long size);
extern KeysForCommandFn g_keysForCommand;
// The help text: one line per editor command with the keys bound to it.
// Rebuilt from the key table whenever it is shown.
void buildHelpText(char* out, unsigned long size);
// Creates the help window in the GUI (shown in editor mode) or toggles it.
void edToggleHelp();
// Keeps the help window's presence in step with the editor mode; called
// once per frame by the overlay pass.
void edSyncHelpWindow();
