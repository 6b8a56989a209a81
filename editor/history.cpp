// history.cpp — undo and redo of the editor's object edits.
#include "editor/history.h"

#include <deque>
#include <vector>

#include "core/common.h"
#include "editor/editor.h"
#include "particles/particles.h"
#include "scene/draw.h"

namespace {

// The placement tables as the scene holds them (live poses written in).
struct t_tables {
    std::vector<t_tree> trees;
    std::vector<t_person> persons;
    uint32_t nameCounter = 0;
    bool hasSelection = false;
    t_objId selection;
};

struct t_step {
    bool setChange = false; // true: an add/paste/delete; false: a pose edit
    // Pose edit.
    int kind = 0;
    t_objId id;
    t_pose before;
    t_pose after;
    bool open = false;       // still growing (the edit went on last frame)
    uint32_t lastFrame = 0;  // framecounter of the edit's latest frame
    // Set change.
    t_tables tablesBefore;
    t_tables tablesAfter;
};

std::deque<t_step> g_undo;
std::vector<t_step> g_redo;

// Frames between two calls of a held command that still count as one edit:
// held keys run every frame, so a gap means the key was let go.
constexpr uint32_t kSameEditFrames = 2;

uint32_t framesSince(uint32_t then)
{
    const uint32_t period = kFrameCounterWrap + 1;
    return framecounter >= then ? framecounter - then : framecounter + period - then;
}

t_tables snapshot()
{
    t_tables t;
    if (Level == nullptr) {
        return t;
    }
    if (Level->treeTable != nullptr) {
        t.trees.assign(Level->treeTable, Level->treeTable + Level->treeCount);
        writeBackTrees(t.trees.data(), Level->treeCount);
    }
    if (Level->personTable != nullptr) {
        t.persons.assign(Level->personTable, Level->personTable + Level->personCount);
        writeBackPersons(t.persons.data(), Level->personCount);
    }
    t.nameCounter = Level->objectNameCounter;
    t.hasSelection = idOf(selectedObj, t.selection);
    return t;
}

void restore(const t_tables& t)
{
    if (Level == nullptr) {
        return;
    }
    Level->objectNameCounter = t.nameCounter;
    installObjectTables(t.trees.data(), static_cast<uint32_t>(t.trees.size()), t.persons.data(),
                        static_cast<uint32_t>(t.persons.size()));
    selectObjectById(t.hasSelection ? &t.selection : nullptr);
}

void push(t_step&& step)
{
    g_undo.push_back(std::move(step));
    while (g_undo.size() > kHistoryLimit) {
        g_undo.pop_front();
    }
    g_redo.clear();
}

// Ends the open pose step with the pose it left; a step that changed
// nothing goes.
void closeOpen()
{
    if (g_undo.empty() || !g_undo.back().open) {
        return;
    }
    t_step& top = g_undo.back();
    top.open = false;
    if (!readPose(top.id, top.after) || samePose(top.after, top.before)) {
        g_undo.pop_back();
    }
}

void apply(const t_step& step, bool forward)
{
    if (step.setChange) {
        restore(forward ? step.tablesAfter : step.tablesBefore);
        return;
    }
    writePose(step.id, forward ? step.after : step.before);
    selectObjectById(&step.id);
}

} // namespace

bool samePose(const t_pose& a, const t_pose& b)
{
    auto same = [](const t_vector& u, const t_vector& v) { return u.x == v.x && u.y == v.y && u.z == v.z; };
    return same(a.position, b.position) && same(a.rotation, b.rotation) && a.extent[0] == b.extent[0] &&
           a.extent[1] == b.extent[1] && a.extent[2] == b.extent[2];
}

void historyTransform(int kind, bool changes)
{
    t_objId id;
    if (!idOf(selectedObj, id)) {
        return;
    }
    if (!g_undo.empty()) {
        t_step& top = g_undo.back();
        if (top.open && top.kind == kind && top.id == id && framesSince(top.lastFrame) <= kSameEditFrames) {
            top.lastFrame = framecounter;
            return;
        }
    }
    if (!changes) {
        return;
    }
    closeOpen();
    t_step step;
    step.kind = kind;
    step.id = id;
    if (!readPose(id, step.before)) {
        return;
    }
    step.open = true;
    step.lastFrame = framecounter;
    push(std::move(step));
}

void historyListEdit(const std::function<t_objheader*()>& edit)
{
    closeOpen();
    t_step step;
    step.setChange = true;
    step.tablesBefore = snapshot();
    selectedObj = edit();
    step.tablesAfter = snapshot();
    const bool changed = step.tablesAfter.trees.size() != step.tablesBefore.trees.size() ||
                         step.tablesAfter.persons.size() != step.tablesBefore.persons.size();
    if (changed) {
        push(std::move(step));
    }
}

bool edUndo()
{
    if (leveled == 0) {
        return false;
    }
    closeOpen();
    if (g_undo.empty()) {
        return false;
    }
    t_step step = std::move(g_undo.back());
    g_undo.pop_back();
    apply(step, false);
    g_redo.push_back(std::move(step));
    return true;
}

bool edRedo()
{
    if (leveled == 0 || g_redo.empty()) {
        return false;
    }
    closeOpen();
    t_step step = std::move(g_redo.back());
    g_redo.pop_back();
    apply(step, true);
    g_undo.push_back(std::move(step));
    return true;
}

void editorReset()
{
    g_undo.clear();
    g_redo.clear();
    selectedObj = nullptr;
    selectedParticlesys = 0;
}

unsigned historyUndoCount()
{
    return static_cast<unsigned>(g_undo.size());
}

unsigned historyRedoCount()
{
    return static_cast<unsigned>(g_redo.size());
}
