// engine.cpp — start-up, the frame loop, level change and the orderly exit.
#include "core/engine.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>

#include "camera/camera.h"
#include "core/modport.h"
#include "core/sys.h"
#include "image/texlist.h"
#include "input/input.h"
#include "render/skybox.h"
#include "scene/draw.h"
#include "scene/light.h"
#include "scene/objects.h"
#include "terrain/heightfield.h"
#include "platform/display.h"
#include "render/display.h"

CEngine* Engine = nullptr;
Lev* Level = nullptr;
uint8_t g_bquit = 0;
float g_frametime = 0.04f;
float g_grabframetime = 0.0f;
int32_t g_showfps = 0;
int32_t fps = 0;
int32_t fpsz = 0;
int32_t gargcp = 0;
char** gargv = nullptr;
uint8_t server = 0;
uint8_t texrender = 0;
uint8_t fcull = 0;
uint8_t ngrad = 0;
uint8_t leveled = 0;
uint8_t collon = 1;
uint8_t GuiOn = 0;
uint8_t Boden = 0;
uint8_t g_playermove = 0;
uint8_t demo = 0;

ProcessExitFn g_processExit = [](int status) { std::exit(status); };

const char* g_startLevel = "select";

namespace {

int64_t g_fpsSlot = 0;   // calendar seconds mod 16 of the running fps slot

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

void loadLevelOrDie(const char* name, void* window, bool silent)
{
    if (Level->levelLoader == nullptr || Level->levelLoader(name, window) == 0) {
        if (silent) {
            closeEngine(KRT_FATAL, "");
        }
        closeEngine(KRT_FATAL, "Level %s nicht gefunden", name);
    }
}

int exitStatusFor(KRT_RESULT code)
{
    return code == KRT_QUIT ? 0 : static_cast<int>(code);
}

}  // namespace

void CEngine::init(Lev* level)
{
    *this = CEngine{};
    std::memcpy(fogColor, level->fogColor, sizeof fogColor);
    fogOn = level->fogOn;
    fogDensity = level->fogDensity;
    fogEnd = level->fogEnd;
    fogStart = level->fogStart;
    std::memset(fogModeName, 0, sizeof fogModeName);
    std::memcpy(fogModeName, level->fogModeName, strnlen(level->fogModeName, 4));
    particleSystemCount = level->particleSystemCount;
    personCount = level->personCount;
    treeCount = level->treeCount;
    viewDistance = level->viewDistance;
    screenWidth = static_cast<int32_t>(level->screenWidth);
    screenHeight = static_cast<int32_t>(level->screenHeight);
    imageRefWidth = screenWidth;
    imageRefHeight = screenHeight;
    windowed = static_cast<uint8_t>(level->windowMode & 0xff);
    pixelDepth = level->pixelDepth;
    maxTextureSize = level->maxTextureSize;
    openScreen(screenWidth, screenHeight, pixelDepth, 3, windowed != 0);
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
    updateMeshs();
}

void CEngine::render()
{
    beginFrame();
    glPushMatrix();
    render3D();
    glPopMatrix();
    endFrame();
}

void CEngine::render3D()
{
    if (Cam != nullptr) {
        Cam->cammove();
    }
    if (Boden) {
        render_height_field();
    }
    glPushMatrix();
    drawMeshs(false);
    drawSkybox();
    drawPlayerFigure();
    glPopMatrix();
}

void CEngine::afterframeupdate()
{
    g_playermove = 0;
    if (KeyInput != nullptr) {
        KeyInput->start();
        KeyInput->endframe();
    }
}

void initEngine(int argc, char** argv)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (FILE* log = std::fopen("texmod.txt", "w")) {
        std::fclose(log);
    }
    gargcp = argc;
    gargv = argv;
    for (int i = 1; i < argc; ++i) {
        if (argIs(argv[i], "-server")) {
            server = 1;
        }
    }
    sysInit();
    CreateEnginePort("VextPort");
    demo = 0;
    OpenGameModul();
    loadLevelOrDie(g_startLevel, nullptr, std::strcmp(g_startLevel, "select") == 0);
    applySwitches(argc, argv);
    Engine->init(Level);
    draw_resetFog(Level);
    OpenInputModul();
    OpenFunctionsModul();
    OpenCamModul();
    OpenKlangmodul();
    init_height_field();
    draw_loadscreen();
    TexList.initTex();
    initObj();
    skyboxInit();
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
    DestroyLights();
    skyboxDestroy();
    CloseKlangmodul();
    CloseGameModul();
    ReapModules(0);
    DestroyObjects();
}

void initGame(const char* levelName)
{
    draw_loadscreen();
    OpenGameModul();
    loadLevelOrDie(levelName, mglGetWindowHandle(), false);
    draw_resetFog(Level);
    if (Cam != nullptr) {
        Cam->reset();
    }
    OpenKlangmodul();
    init_height_field();
    TexList.initTex();
    initObj();
    skyboxInit();
    Init_Server();
    initLight();
    std::printf("\t\t\tGO\t\t\n");
}

void closeEngine(KRT_RESULT code, const char* format, ...)
{
    // A fatal condition met while already closing must not start over.
    static bool closing = false;
    if (closing) {
        std::fflush(stdout);
        g_processExit(exitStatusFor(code));
        std::abort();
    }
    closing = true;

    char message[256] = {0};
    if (format != nullptr && std::strlen(format) > 1) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
    }

    sysShowCursor(true);
    CloseFunctionsModul();
    CloseInputModul();
    CloseCamModul();
    if (code != KRT_BADSOUND) {
        CloseKlangmodul();
    }
    if (code != KRT_BADGAME) {
        CloseGameModul();
    }
    DeleteEnginePort();
    ServerShutdown();
    closeScreen();
    if (format != nullptr && std::strlen(format) > 1) {
        std::printf("%s\n", message);
    }
    // Modules that were told to end get a moment to do so; their threads are
    // joined so nothing of theirs outlives the engine.
    ReapModules(50);
    closing = false;
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

long runFrameLoop(long maxFrames)
{
    fpsStartSlot(static_cast<int64_t>(std::time(nullptr)));
    long frames = 0;
    while (g_bquit == 0) {
        g_frametime = sysGetTime(false);
        g_grabframetime = g_frametime;
        fpsTick(static_cast<int64_t>(std::time(nullptr)));
        Engine->update();
        ++frames;
        if (maxFrames > 0 && frames >= maxFrames) {
            break;
        }
    }
    return frames;
}
