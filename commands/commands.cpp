// commands.cpp — the command set bound by the registry (functions.cpp).
#include "commands/commands.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "camera/camera.h"
#include "commands/cmdglobals.h"
#include "core/common.h"
#include "core/sys.h"
#include "editor/collect.h"
#include "editor/editor.h"
#include "gui/gui.h"
#include "image/imageio.h"
#include "input/input.h"
#include "particles/particles.h"
#include "platform/events.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "scene/draw.h"
#include "scene/objects.h"

const FogHint foghints[3] = {
    {"FASTEST", "GL_FASTEST", GL_FASTEST},
    {"NICEST", "GL_NICEST", GL_NICEST},
    {"DONTCARE", "GL_DONT_CARE", GL_DONT_CARE},
};

int32_t g_foghint = 1;

ChangeLevelFn g_changeLevel = nullptr;
RedrawFn g_redrawFrame = nullptr;

namespace {

// framecounter runs 0..kFrameCounterWrap and then restarts at 0.
constexpr float kFrameCounterPeriod = static_cast<float>(kFrameCounterWrap) + 1.0f;
// A press must come more than this many frames after the previous call.
constexpr float kPressGapFrames = 2.0f;

// Seconds a held scroll key waits between steps; a fresh press starts the
// timer above it so that it steps at once.
constexpr float kScrollRepeat = 0.5f;
constexpr float kScrollFreshPress = 1.0f;

// One step of a fog colour component: one 8-bit step.
constexpr float kFogColorStep = kByteToUnit;

constexpr int kFogHintCount = 3;

bool editorOn()
{
    return leveled != 0;
}

// The next index of a table of `count` entries; an index outside the table
// (set by someone else) restarts at 0.
int32_t nextIndex(int32_t index, int32_t count)
{
    return index >= 0 && index < count - 1 ? index + 1 : 0;
}

const char* fogModeName()
{
    return g_fogtype >= 0 && g_fogtype < kFogModeCount ? fogmodes[g_fogtype].name : "?";
}

const char* fogHintName()
{
    return g_foghint >= 0 && g_foghint < kFogHintCount ? foghints[g_foghint].name : "?";
}

void toggle(uint8_t& flag)
{
    flag = flag != 0 ? 0 : 1;
}

// Editor, held: one step of fog colour component `c` (0 red, 1 green, 2 blue).
void fogColorStep(int c, float step)
{
    if (!editorOn() || Level == nullptr) {
        return;
    }
    float* colour = Level->fogColor;
    colour[c] += step;
    if (step > 0.0f && colour[c] > 1.0f) {
        colour[c] = 1.0f;
    }
    if (step < 0.0f && colour[c] < 0.0f) {
        colour[c] = 0.0f;
    }
    glFogfv(GL_FOG_COLOR, colour);
    glClearColor(colour[0], colour[1], colour[2], 1.0f);
}

// Editor, once: one step of a fog distance or density; a decrease stops at 0.
void fogStep(t_pressguard& guard, float Lev::*field, GLenum pname, float step)
{
    if (!editorOn() || Level == nullptr || !guard.pressed()) {
        return;
    }
    float& value = Level->*field;
    value += step;
    if (step < 0.0f && value < 0.0f) {
        value = 0.0f;
    }
    glFogf(pname, value);
    printFogLine();
}

// Editor, once: view distance +/- 1, not below 0.
void camEndStep(t_pressguard& guard, float step)
{
    if (!editorOn() || Level == nullptr || !guard.pressed()) {
        return;
    }
    Level->viewDistance += step;
    if (Level->viewDistance < 0.0f) {
        Level->viewDistance = 0.0f;
    }
}

// The mouse of this frame for the editor's mouse edits.
struct EditMouse {
    int32_t dx = 0;  // pixels, right
    int32_t dy = 0;  // pixels, down
    float s = 0.0f;  // the level's mouse sensitivity
};

EditMouse editMouse()
{
    EditMouse m;
    if (KeyInput != nullptr) {
        m.dx = KeyInput->mousedx;
        m.dy = KeyInput->mousedy;
    }
    m.s = Level != nullptr ? Level->mouseSensitivity : 0.0f;
    return m;
}

// Editor, once per press: runs `edit` (which checks the editor mode itself).
void oncePerPress(t_pressguard& guard, void (*edit)())
{
    if (editorOn() && guard.pressed()) {
        edit();
    }
}

// Editor, held: the particle-system selection steps on a fresh press and
// every half second while held.
void scrollParticles(t_pressguard& guard, t_repeat& repeat, int direction)
{
    if (!editorOn() || Level == nullptr || g_snowstormCount == 0) {
        return;
    }
    if (repeat.step(guard.pressed(), g_frametime)) {
        selectedObj = stepParticleSelection(direction);
    }
}

} // namespace

bool t_pressguard::pressed()
{
    const float now = static_cast<float>(framecounter);
    bool act = frame < 0.0f;
    if (!act) {
        // After the counter's wrap `now` is below `frame`; count across it.
        const float gap = now >= frame ? now - frame : now + kFrameCounterPeriod - frame;
        act = gap > kPressGapFrames;
    }
    frame = now;
    return act;
}

bool t_repeat::step(bool freshPress, float dt)
{
    if (freshPress) {
        timer = kScrollFreshPress;
    }
    const bool fire = timer > kScrollRepeat;
    if (fire) {
        timer = 0.0f;
    }
    timer += dt;
    return fire;
}

void printFogLine()
{
    if (Level == nullptr) {
        return;
    }
    Con.printf("Fog: Hint= %s Type=%s  Start= %f End= %f Density= %f ", fogHintName(), fogModeName(), Level->fogStart,
               Level->fogEnd, Level->fogDensity);
}

void cmd_screenshotPPM(cvar)
{
    static t_pressguard guard;
    if (!guard.pressed() || Level == nullptr) {
        return;
    }
    // Written by endFrame from the finished frame, before the buffers switch.
    requestScreenshot("Screenshot.ppm");
}

void announceRequest(const char* question)
{
    Con.printf("%s", question);
    if (g_redrawFrame != nullptr) {
        g_redrawFrame();
    }
    platformLendPointer(true);
}

void requestAnswered()
{
    platformLendPointer(false);
}

void cmd_saveGameFiles(cvar)
{
    static t_pressguard guard;
    if (!editorOn() || !guard.pressed()) {
        return;
    }
    if (Level == nullptr || Level->dirRequest == nullptr) {
        return;
    }
    const char* question = "Wohin sollen die Daten gehen?";
    announceRequest(question);
    const char* answer = Level->dirRequest(question, 0, g_window);
    requestAnswered();
    if (answer == nullptr) {
        Con.printf("SaveGameFiles: abgebrochen, nichts kopiert");
        return;
    }
    // The answer lives in the game module only until its next request.
    const std::string dir = answer;
    com_SaveGameFiles(dir.c_str());
}

void cmd_showfps(cvar)
{
    static t_pressguard guard;
    if (guard.pressed()) {
        g_showfps = g_showfps != 0 ? 0 : 1;
    }
}

void cmd_camSetspeed(cvar v)
{
    if (Cam != nullptr) {
        Cam->movespeed = v.fval;
    }
}

void cmd_objSetspeed(cvar v)
{
    objmovespeed = v.fval;
}

void cmd_camYawright(cvar)
{
    if (Cam != nullptr) {
        Cam->turn.x = 1.0f;
    }
}

void cmd_camYawleft(cvar)
{
    if (Cam != nullptr) {
        Cam->turn.x = -1.0f;
    }
}

void cmd_camPitchdown(cvar)
{
    if (Cam != nullptr) {
        Cam->turn.y = 1.0f;
    }
}

void cmd_camPitchup(cvar)
{
    if (Cam != nullptr) {
        Cam->turn.y = -1.0f;
    }
}

void cmd_camForward(cvar)
{
    if (Cam != nullptr) {
        Cam->move.z = 1.0f;
    }
    g_playermove = 1;
}

void cmd_camBackward(cvar)
{
    if (Cam != nullptr) {
        Cam->move.z = -1.0f;
    }
    g_playermove = 1;
}

void cmd_camSlideleft(cvar)
{
    if (Cam != nullptr) {
        Cam->move.x = 1.0f;
    }
    g_playermove = 1;
}

void cmd_camSlideright(cvar)
{
    if (Cam != nullptr) {
        Cam->move.x = -1.0f;
    }
    g_playermove = 1;
}

void cmd_plusFogColorR(cvar)
{
    fogColorStep(0, kFogColorStep);
}
void cmd_minusFogColorR(cvar)
{
    fogColorStep(0, -kFogColorStep);
}
void cmd_plusFogColorG(cvar)
{
    fogColorStep(1, kFogColorStep);
}
void cmd_minusFogColorG(cvar)
{
    fogColorStep(1, -kFogColorStep);
}
void cmd_plusFogColorB(cvar)
{
    fogColorStep(2, kFogColorStep);
}
void cmd_minusFogColorB(cvar)
{
    fogColorStep(2, -kFogColorStep);
}

void cmd_saveinitfile(cvar)
{
    if (!editorOn() || Level == nullptr) {
        return;
    }
    edWriteBack();
    if (Level->saveInitFn != nullptr) {
        Level->saveInitFn(0);
    }
}

void cmd_fogSwitch(cvar)
{
    static t_pressguard guard;
    if (!editorOn() || Level == nullptr || !guard.pressed()) {
        return;
    }
    // Fogon follows, as the terrain and the load screen read it as "GL fog on".
    if (Level->fogOn != 0) {
        glDisable(GL_FOG);
        Level->fogOn = 0;
        Fogon = 0;
    } else {
        glEnable(GL_FOG);
        Level->fogOn = 1;
        Fogon = 1;
    }
}

void cmd_minusFogStart(cvar)
{
    static t_pressguard guard;
    fogStep(guard, &Lev::fogStart, GL_FOG_START, -fstart);
}

void cmd_plusFogStart(cvar)
{
    static t_pressguard guard;
    fogStep(guard, &Lev::fogStart, GL_FOG_START, fstart);
}

void cmd_plusFogEnd(cvar)
{
    static t_pressguard guard;
    fogStep(guard, &Lev::fogEnd, GL_FOG_END, fend);
}

void cmd_minusFogEnd(cvar)
{
    static t_pressguard guard;
    fogStep(guard, &Lev::fogEnd, GL_FOG_END, -fend);
}

void cmd_plusFogDensity(cvar)
{
    static t_pressguard guard;
    fogStep(guard, &Lev::fogDensity, GL_FOG_DENSITY, fdens);
}

void cmd_minusFogDensity(cvar)
{
    static t_pressguard guard;
    fogStep(guard, &Lev::fogDensity, GL_FOG_DENSITY, -fdens);
}

void cmd_fogType(cvar)
{
    static t_pressguard guard;
    if (!editorOn() || Level == nullptr || !guard.pressed()) {
        return;
    }
    g_fogtype = nextIndex(g_fogtype, kFogModeCount);
    // The record keeps the mode too, so that a save writes what is shown.
    // Its field holds four characters without a terminator when full.
    char name[sizeof Level->fogModeName] = {};
    std::memcpy(name, fogmodes[g_fogtype].name, strnlen(fogmodes[g_fogtype].name, sizeof name));
    std::memcpy(Level->fogModeName, name, sizeof name);
    glFogi(GL_FOG_MODE, fogmodes[g_fogtype].glMode);
    glFogf(GL_FOG_DENSITY, Level->fogDensity);
    glFogf(GL_FOG_START, Level->fogStart);
    glFogf(GL_FOG_END, Level->fogEnd);
    printFogLine();
}

void cmd_fogHint(cvar)
{
    static t_pressguard guard;
    if (!editorOn() || Level == nullptr || !guard.pressed()) {
        return;
    }
    g_foghint = nextIndex(g_foghint, kFogHintCount);
    glHint(GL_FOG_HINT, foghints[g_foghint].glHint);
    printFogLine();
}

void cmd_fogInfo(cvar)
{
    static t_pressguard guard;
    static bool lineNext = false;
    if (!editorOn() || Level == nullptr || !guard.pressed()) {
        return;
    }
    if (lineNext) {
        printFogLine();
    } else {
        Con.printf("%s", "");
    }
    lineNext = !lineNext;
}

void cmd_plusCamEnd(cvar)
{
    static t_pressguard guard;
    camEndStep(guard, 1.0f);
}

void cmd_minusCamEnd(cvar)
{
    static t_pressguard guard;
    camEndStep(guard, -1.0f);
}

void cmd_camSetpos(cvar)
{
    if (!editorOn() || Level == nullptr || Cam == nullptr) {
        return;
    }
    Level->camStartPos[0] = Cam->position.x;
    Level->camStartPos[1] = Cam->position.y;
    Level->camStartPos[2] = Cam->position.z;
    Level->camStartYaw = Cam->yaw;
}

void cmd_noclip(cvar)
{
    static t_pressguard guard;
    if (guard.pressed()) {
        toggle(collon);
    }
}

void cmd_camGrab(cvar)
{
    static t_pressguard guard;
    if (!guard.pressed() || Cam == nullptr) {
        return;
    }
    Cam->toggleGrab();
}

namespace {

// Recording and playback need "recfile.movie" in the data folder; switched on
// without it they would do nothing while looking busy.
void sayWhenNoPathFile(uint8_t on)
{
    if (on != 0 && Cam->recfile == nullptr) {
        Con.printf("recfile.movie fehlt (oder ist keine normale Datei): keine Kamerafahrt");
    }
}

} // namespace

void cmd_camRecord(cvar)
{
    static t_pressguard guard;
    if (!guard.pressed() || Cam == nullptr) {
        return;
    }
    toggle(Cam->record);
    std::printf("record\n");
    sayWhenNoPathFile(Cam->record);
}

void cmd_camPlay(cvar)
{
    static t_pressguard guard;
    if (!guard.pressed() || Cam == nullptr) {
        return;
    }
    toggle(Cam->play);
    if (Cam->play != 0) {
        collon = 0;
    }
    sayWhenNoPathFile(Cam->play);
}

void cmd_soundNothing(cvar)
{}

void cmd_quit(cvar)
{
    g_bquit = 1;
}

void cmd_map(cvar v)
{
    v.text[sizeof v.text - 1] = '\0';
    // No level bears the empty name: reloading would end the program.
    if (v.text[0] == '\0' || g_changeLevel == nullptr) {
        return;
    }
    // Once per press: a level change takes a few frames' time, and a held
    // key would otherwise load the level again every frame.
    static t_pressguard guard;
    if (!guard.pressed()) {
        return;
    }
    g_changeLevel(v.text);
}

void cmd_swwindowmode(cvar)
{
    toggle(g_view.windowed);
}

void cmd_objLoad(cvar)
{
    static t_pressguard guard;
    if (!editorOn() || Level == nullptr || Level->fileRequest == nullptr || !guard.pressed()) {
        return;
    }
    const char* title = "Bittewähle ein Objekt aus";
    announceRequest(title);
    const char* path = Level->fileRequest(title, "obj", "#?.raw|#?.md2", g_window, 0, 0);
    requestAnswered();
    edLoad(path);
}

void cmd_objSelect2(cvar)
{
    if (Gui != nullptr) {
        edSelectAtPointer(Gui->pointer.pos.x, Gui->pointer.pos.y);
    }
}

void cmd_objCopy(cvar)
{
    static t_pressguard guard;
    oncePerPress(guard, edCopy);
}

void cmd_objPaste(cvar)
{
    static t_pressguard guard;
    oncePerPress(guard, edPaste);
}

void cmd_objDelete(cvar)
{
    static t_pressguard guard;
    oncePerPress(guard, edDelete);
}

void cmd_plusObjMovex(cvar)
{
    edKeyMove(0, 1.0f);
}
void cmd_minusObjMovex(cvar)
{
    edKeyMove(0, -1.0f);
}
void cmd_plusObjMovey(cvar)
{
    edKeyMove(1, 1.0f);
}
void cmd_minusObjMovey(cvar)
{
    edKeyMove(1, -1.0f);
}
void cmd_plusObjMovez(cvar)
{
    edKeyMove(2, 1.0f);
}
void cmd_minusObjMovez(cvar)
{
    edKeyMove(2, -1.0f);
}
void cmd_objSelect(cvar)
{
    edSelectNearest();
}
void cmd_objRotx(cvar)
{
    edMouseRotate(0, editMouse().dx);
}
void cmd_objRoty(cvar)
{
    edMouseRotate(1, editMouse().dx);
}
void cmd_objRotz(cvar)
{
    edMouseRotate(2, editMouse().dx);
}
void cmd_objMovex(cvar)
{
    const EditMouse m = editMouse();
    edMouseMove(false, m.dx, m.dy, m.s);
}
void cmd_objMovez(cvar)
{
    const EditMouse m = editMouse();
    edMouseMove(true, m.dx, m.dy, m.s);
}
void cmd_objScalex(cvar)
{
    const EditMouse m = editMouse();
    edMouseScale(false, m.dx, m.dy, m.s);
}
void cmd_objScalez(cvar)
{
    const EditMouse m = editMouse();
    edMouseScale(true, m.dx, m.dy, m.s);
}
void cmd_objUndo(cvar)
{
    static t_pressguard guard;
    if (editorOn() && guard.pressed() && !edUndo()) {
        Con.printf("nichts rückgängig zu machen");
    }
}
void cmd_objRedo(cvar)
{
    static t_pressguard guard;
    if (editorOn() && guard.pressed() && !edRedo()) {
        Con.printf("nichts zu wiederholen");
    }
}
void cmd_swhelp(cvar)
{
    static t_pressguard guard;
    if (editorOn() && guard.pressed()) {
        edToggleHelp();
    }
}

void cmd_swgui(cvar)
{
    static t_pressguard guard;
    if (editorOn() && guard.pressed()) {
        toggle(GuiOn);
    }
}

void cmd_swleveled(cvar)
{
    static t_pressguard guard;
    if (!guard.pressed()) {
        return;
    }
    toggle(leveled);
    collon = leveled != 0 ? 0 : 1;
    GuiOn = leveled != 0 ? 1 : 0;
}

void cmd_swrotlock(cvar)
{
    if (editorOn()) {
        rotlock = 0;
    }
}

void cmd_swdynlight(cvar)
{
    static t_pressguard guard;
    if (!editorOn() || Level == nullptr || !guard.pressed()) {
        return;
    }
    Level->dynamicLighting = Level->dynamicLighting == 0 && Level->lightCount > 0 ? 1 : 0;
}

void cmd_plusScrollparticles(cvar)
{
    static t_pressguard guard;
    static t_repeat repeat;
    scrollParticles(guard, repeat, 1);
}

void cmd_minusScrollparticles(cvar)
{
    static t_pressguard guard;
    static t_repeat repeat;
    scrollParticles(guard, repeat, -1);
}
