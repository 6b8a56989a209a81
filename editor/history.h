// history.h — the editor's undo history for one session, and the object
// identity it is kept in.
//
// Objects are named by type and list index, never by pointer: the scene
// rebuilds its lists after every add or delete, and an index stays true as
// long as the history is replayed in order.  Two kinds of step: a pose
// change of one object (position, rotation, particle box), held open while
// the same edit goes on in consecutive frames so that a mouse drag or a held
// move key is one step; and a change of the object set (add, paste, delete),
// kept as the placement tables before and after.  The history lives until
// the level changes (editorReset); the level file changes only on save.
#pragma once

#include <cstdint>
#include <functional>

#include "core/mathlib.h"
#include "scene/objects.h"

struct t_objId {
    uint32_t type = kObjTree; // kObjTree, kObjPerson or kObjParticleSystem
    uint32_t index = 0;       // place in its list
    bool operator==(const t_objId&) const = default;
};

// What a pose step restores.
struct t_pose {
    t_vector position;           // the vector at positionRef, units
    t_vector rotation;           // the vector at rotationRef, degrees
    float extent[3] = {0, 0, 0}; // particle systems: half width, fall height, half depth
};
bool samePose(const t_pose& a, const t_pose& b);

// Kinds of pose edit; an open step goes on only with the same kind.
enum {
    kEditMoveX,
    kEditMoveZ,
    kEditRotateX,
    kEditRotateY,
    kEditRotateZ,
    kEditScaleX,
    kEditScaleZ,
    kEditKeyMove,
};

// Steps kept at most; the oldest go first.
constexpr unsigned kHistoryLimit = 200;

bool idOf(const t_objheader* h, t_objId& id);
t_objheader* headerOf(const t_objId& id);
bool readPose(const t_objId& id, t_pose& pose);
// Sets the pose and recomputes the boxes.
void writePose(const t_objId& id, const t_pose& pose);
// selectedObj (and selectedParticlesys) from an identity; null: none.
void selectObjectById(const t_objId* id);

// Called by a pose edit of the selected object before it changes anything:
// goes on with the open step when it is the same edit of the same object
// in the next frame, else (when `changes`) closes it and opens a new one.
void historyTransform(int kind, bool changes);
// Runs an edit of the object set and records it; `edit` returns the object
// to select afterwards (looked up after the rebuild).
void historyListEdit(const std::function<t_objheader*()>& edit);
// Steps recorded and steps that can be redone (for tests and the help line).
unsigned historyUndoCount();
unsigned historyRedoCount();
