// engine.cpp — start-up, the frame loop, level change and the orderly exit.
#include "core/engine.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>

#include "camera/camera.h"
#include "camera/campath.h"
#include "commands/cmdglobals.h"
#include "commands/commands.h"
#include "core/modport.h"
#include "core/sys.h"
#include "editor/editor.h"
#include "gui/gui.h"
#include "image/texlist.h"
#include "image/texture.h"
#include "input/input.h"
#include "particles/particles.h"
#include "platform/display.h"
#include "platform/files.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "render/framestats.h"
#include "render/overlay.h"
#include "render/skybox.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "scene/objects.h"
#include "sound/csound.h"
#include "terrain/heightfield.h"

CEngine* Engine = nullptr;
int32_t gargcp = 0;
char** gargv = nullptr;
uint8_t demo = 0;

const char* g_startLevel = "select";

namespace {

// The scene drawn once more while a requester waits: with a frame time of 0
// the camera, the objects and the particles stay where they are.
void redrawStill()
{
    if (Engine == nullptr || g_drawinitalized == 0) {
        return;
    }
    const float frametime = g_frametime;
    g_frametime = 0.0f;
    Engine->render();
    g_frametime = frametime;
}

// The hooks through which the floors below reach the engine's own work.
// Installed before main (and again by initEngine), so that closeEngine and
// `map` do the engine's work also in programs that never run initEngine.
bool installEngineHooks()
{
    g_shutdownHook = engineShutdown;
    g_changeLevel = changeLevel;
    g_redrawFrame = redrawStill;
    return true;
}
[[maybe_unused]] const bool g_hooksInstalled = installEngineHooks();

// Ticks (1/50 s) the exit waits at most for modules told to end.
constexpr int32_t kShutdownReapTicks = 50;

int64_t g_fpsSlot = 0; // calendar seconds mod 16 of the running fps slot

bool argIs(const char* arg, const char* sw)
{
    return strcasecmp(arg, sw) == 0;
}

// Every argument is compared with every switch; nothing is consumed, so a
// switch given twice acts once and anything unknown is ignored.  "-window"
// writes into the level record, after the level's own setting was loaded.
void applySwitches(int argc, char** argv)
{
    struct Switch {
        const char* name;
        uint8_t* flag;
        uint8_t value;
    };
    const Switch switches[] = {
        {"-server", &server, 1}, {"-tex", &texrender, 1}, {"-coll", &collon, 0},
        {"-fcull", &fcull, 1},   {"-ngrad", &ngrad, 1},   {"-leveled", &leveled, 1},
        {"-immediate", &g_immediateDraw, 1},
    };
    for (int i = 1; i < argc; ++i) {
        if (argIs(argv[i], "-window")) {
            Level->windowMode = 1;
        }
        for (const Switch& sw : switches) {
            if (argIs(argv[i], sw.name)) {
                *sw.flag = sw.value;
            }
        }
    }
}

void loadLevelOrDie(const char* name, void* window)
{
    if (Level->levelLoader == nullptr || Level->levelLoader(name, window) == 0) {
        // The module has named the file and the problem; this names the level.
        closeEngine(KRT_FATAL, "Level %s nicht gefunden", name);
    }
}

} // namespace

void CEngine::init(Lev* level)
{
    *this = CEngine{};
    particleSystemCount = level->particleSystemCount;
    personCount = level->personCount;
    treeCount = level->treeCount;
    pixelDepth = level->pixelDepth;

    t_view view{};
    std::memcpy(view.fogColor, level->fogColor, sizeof view.fogColor);
    view.fogOn = level->fogOn;
    view.fogDensity = level->fogDensity;
    view.fogEnd = level->fogEnd;
    view.fogStart = level->fogStart;
    std::memcpy(view.fogModeName, level->fogModeName, strnlen(level->fogModeName, 4));
    view.viewDistance = level->viewDistance;
    view.screenWidth = static_cast<int32_t>(level->screenWidth);
    view.screenHeight = static_cast<int32_t>(level->screenHeight);
    view.imageRefWidth = view.screenWidth;
    view.imageRefHeight = view.screenHeight;
    view.windowed = static_cast<uint8_t>(level->windowMode & 0xff);
    g_view = view;
    textureSetMaxSize(level->maxTextureSize);
    openScreen(view.screenWidth, view.screenHeight, pixelDepth, 3, view.windowed != 0);
    setNoiseOverlay(level);
    initPlayerFigure();
}

void CEngine::update()
{
    beforframeupdate();
    render();
    afterframeupdate();
}

void CEngine::beforframeupdate()
{
    if (KeyInput != nullptr) {
        KeyInput->update();
    }
    if (Sound != nullptr) {
        Sound->update();
    }
    updateMeshs();
    if (noise != nullptr) {
        noise->update(kNoiseStep);
    }
}

void CEngine::render()
{
    frameStatsBegin();
    double t = frameClockUs();
    beginFrame();
    t = frameSectionAdd(kSecSwap, t);
    glPushMatrix();
    render3D();
    glPopMatrix();
    t = frameClockUs();
    render2D();
    frameSectionAdd(kSec2D, t);
    endFrame();
    frameStatsEnd();
}

void CEngine::render3D()
{
    double t = frameClockUs();
    if (Cam != nullptr) {
        t_camMouse mouse;
        if (KeyInput != nullptr && KeyInput->mousemoved != 0) {
            mouse = t_camMouse{true, KeyInput->mousedx, KeyInput->mousedy};
        }
        Cam->cammove(mouse);
    }
    t = frameSectionAdd(kSecCamera, t);
    if (Boden && Cam != nullptr) {
        render_height_field(Cam->position.x, Cam->position.z);
    }
    t = frameSectionAdd(kSecTerrain, t);
    glPushMatrix();
    // drawMeshs and the snow time their own sections.
    drawMeshs(false, objmovespeed);
    t = frameClockUs();
    drawSkybox();
    t = frameSectionAdd(kSec2D, t);
    DrawParticlesystems(g_frametime);
    t = frameClockUs();
    draw_3DLevelEDstuff();
    t = frameSectionAdd(kSec2D, t);
    drawPlayerFigure();
    frameSectionAdd(kSecPersons, t);
    glPopMatrix();
}

void CEngine::render2D()
{
    if (noise != nullptr) {
        noise->render();
    }
    draw_2DLevelEDstuff();
    if (Gui != nullptr && GuiOn != 0) {
        Gui->draw();
    }
}

void CEngine::setNoiseOverlay(Lev* level)
{
    delete noise;
    noise = nullptr;
    if (level->noiseParams != nullptr) {
        noise = new CNoise;
        noise->init(level->noiseParams);
    }
}

void CEngine::afterframeupdate()
{
    if (Gui != nullptr && GuiOn != 0) {
        Gui->update();
    }
    g_playermove = 0;
    commandFrameDefaults();
    if (KeyInput != nullptr) {
        KeyInput->start();
        KeyInput->endframe();
    }
}

void initEngine(int argc, char** argv)
{
    installEngineHooks();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    // The texture log starts empty with every run.
    FileError logError = FileError::None;
    if (FILE* log = OpenRegularFileForWrite(kTextureLogFile, false, &logError)) {
        std::fclose(log);
    } else if (logError == FileError::NotRegular) {
        std::printf("%s ist keine normale Datei, das Texturprotokoll bleibt aus\n", kTextureLogFile);
    }
    gargcp = argc;
    gargv = argv;
    for (int i = 1; i < argc; ++i) {
        if (argIs(argv[i], "-server")) {
            server = 1;
        }
    }
    sysInit();
    CreateEnginePort(kEnginePortName);
    demo = 0;
    OpenGameModul();
    loadLevelOrDie(g_startLevel, nullptr);
    applySwitches(argc, argv);
    Engine->init(Level);
    draw_resetFog(Level);
    OpenInputModul();
    OpenFunctionsModul();
    OpenCamModul();
    OpenGuiModul();
    setSceneViewer(Cam != nullptr ? &Cam->position : nullptr, Cam != nullptr ? &Cam->yaw : nullptr);
    OpenKlangmodul();
    init_height_field();
    draw_loadscreen();
    TexList.initTex();
    initObj();
    skyboxInit();
    InitParticlesystems(Level);
    if (Sound != nullptr) {
        Sound->loadSounds();
    }
    if (leveled) {
        collon = 0;
        GuiOn = 1;
    }
    mglActivateWindow();
}

void initObj()
{
    loadMeshs();
}

void freeGame()
{
    DestroyParticlesystems(Level);
    DestroyLights();
    skyboxDestroy();
    CloseKlangmodul();
    CloseGameModul();
    ReapModules(0);
    DestroyObjects();
    CloseGuiModul();
}

bool initGame(const char* levelName)
{
    draw_loadscreen();
    // The running level and its module stay until the new one has loaded:
    // a level file that does not parse must not end the program and with it
    // any unsaved editing.
    const GameModule fresh = StartGameModul();
    void* window = mglGetWindowHandle();
    if (fresh.record->levelLoader == nullptr || fresh.record->levelLoader(levelName, window) == 0) {
        // The module has printed the file, line and problem on the terminal;
        // its record says the same for the console.  Read it before the
        // module is told to end: it frees the record then.
        char why[sizeof fresh.record->loadMessage] = {};
        copyBounded(why, fresh.record->loadMessage, sizeof why);
        StopGameModul(fresh);
        std::printf("Level %s nicht geladen, der bisherige Level läuft weiter\n", levelName);
        Con.printf("Level %s nicht geladen, der bisherige bleibt:\n%s", levelName, why);
        return false;
    }
    freeGame();
    BindGameModul(fresh);
    draw_resetFog(Level);
    if (Cam != nullptr) {
        Cam->reset();
    }
    OpenKlangmodul();
    OpenGuiModul();
    editorReset();
    init_height_field();
    TexList.initTex();
    initObj();
    skyboxInit();
    Init_Server();
    initLight();
    InitParticlesystems(Level);
    // The overlay belongs to the level: the new one's, or none.
    if (Engine != nullptr) {
        Engine->setNoiseOverlay(Level);
    }
    if (Sound != nullptr) {
        Sound->loadSounds();
    }
    std::printf("\t\t\tGO\t\t\n");
    return true;
}

void changeLevel(const char* levelName)
{
    // initGame releases the running level itself, once the new one loaded.
    initGame(levelName);
}

void engineShutdown(KRT_RESULT code, const char* message)
{
    sysShowCursor(true);
    CloseFunctionsModul();
    CloseInputModul();
    CloseCamModul();
    CloseGuiModul();
    if (code != KRT_BADSOUND) {
        CloseKlangmodul();
    }
    if (code != KRT_BADGAME) {
        CloseGameModul();
    }
    DeleteEnginePort();
    ServerShutdown();
    closeScreen();
    if (message != nullptr && message[0] != '\0') {
        std::printf("%s\n", message);
    }
    // Modules that were told to end get a moment to do so; their threads are
    // joined so nothing of theirs outlives the engine.
    ReapModules(kShutdownReapTicks);
    sysShutdown(exitStatusFor(code));
}

void fpsStartSlot(int64_t nowSeconds)
{
    g_fpsSlot = nowSeconds % 16;
}

void fpsTick(int64_t nowSeconds)
{
    if (!g_showfps) {
        return;
    }
    const int64_t slot = nowSeconds % 16;
    if (slot != g_fpsSlot) {
        fps = fpsz;
        fpsz = 0;
        g_fpsSlot = slot;
    } else {
        ++fpsz;
    }
}

long runFrameLoop(long maxFrames, const char* lastFrameShot)
{
    fpsStartSlot(static_cast<int64_t>(std::time(nullptr)));
    long frames = 0;
    while (g_bquit == 0) {
        g_frametime = sysGetTime(Cam != nullptr && Cam->grab != 0);
        g_grabframetime = g_frametime;
        fpsTick(static_cast<int64_t>(std::time(nullptr)));
        if (lastFrameShot != nullptr && maxFrames > 0 && frames + 1 == maxFrames) {
            requestScreenshot(lastFrameShot);
        }
        Engine->update();
        ++frames;
        if (maxFrames > 0 && frames >= maxFrames) {
            break;
        }
    }
    return frames;
}

long runTimedemo(const t_camPath& path)
{
    collon = 0; // a played path flies wherever it was recorded
    fpsStartSlot(static_cast<int64_t>(std::time(nullptr)));
    long frames = 0;
    for (const t_camRecord& record : path.records) {
        if (g_bquit != 0 || Cam == nullptr) {
            break;
        }
        g_frametime = kCamSampleTime;
        g_grabframetime = g_frametime;
        fpsTick(static_cast<int64_t>(std::time(nullptr)));
        applyCamRecord(*Cam, record);
        Engine->update();
        ++frames;
    }
    return frames;
}
