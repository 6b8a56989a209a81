// display.cpp — display, GL state, fog, load screen, frame brackets.
#include "render/display.h"

#include <GL/glu.h>

#include <cstdio>
#include <string>
#include <strings.h>

#include "core/common.h"
#include "image/imageio.h"
#include "image/texture.h"
#include "platform/display.h"
#include "render/draw2d.h"
#include "render/framestats.h"

t_view g_view = {};

const FogMode fogmodes[kFogModeCount] = {
    {"LIN", GL_LINEAR},
    {"EXP", GL_EXP},
    {"EXP2", GL_EXP2},
};

uint8_t g_drawinitalized = 0;
uint8_t g_isOldGraka = 0;
uint8_t Fogon = 0;
int32_t g_fogtype = 2;
STexture* loadbmp = nullptr;

namespace {

// The file endFrame writes the finished frame to; empty: no shot wanted.
std::string g_shotFile;
bool g_shotWritten = false;

// The chip number the old display layer gave its oldest supported chip.
constexpr int kOldChipId = 3;

void setFog(const FogMode& mode, float density, float start, float end, const float* colour)
{
    glFogi(GL_FOG_MODE, mode.glMode);
    glFogf(GL_FOG_DENSITY, density);
    glFogf(GL_FOG_START, start);
    glHint(GL_FOG_HINT, GL_FASTEST);
    glFogf(GL_FOG_END, end);
    glFogfv(GL_FOG_COLOR, colour);
}

bool tryContext(int width, int height)
{
    return mglCreateContext(0, 0, width, height) != nullptr;
}

} // namespace

void openScreen(int width, int height, int depth, int buffers, bool windowed)
{
    g_view.screenWidth = width;
    g_view.screenHeight = height;
    g_view.windowed = windowed ? 1 : 0;
    if (!MGLInit()) {
        closeEngine(KRT_DISPLAY, "Can't initialize MiniGL");
    }
    mglChooseNumberOfBuffers(buffers);
    mglChooseWindowMode(windowed);
    mglChoosePixelDepth(depth);
    mglChooseVertexBufferSize(67000);
    if (!tryContext(width, height)) {
        std::printf("test 24Bit\n");
        mglChoosePixelDepth(24);
        if (!tryContext(width, height)) {
            std::printf("test 16Bit\n");
            mglChoosePixelDepth(16);
            if (!tryContext(width, height)) {
                MGLTerm();
                closeEngine(KRT_DISPLAY, "Context creation failed");
            }
        }
    }
    // Full screen covers the desktop at its own size; draw on all of it.
    int drawableW = 0;
    int drawableH = 0;
    mglGetDrawableSize(&drawableW, &drawableH);
    if (drawableW > 0 && drawableH > 0) {
        g_view.screenWidth = drawableW;
        g_view.screenHeight = drawableH;
    }
    if (mglGetChipId() == kOldChipId) {
        g_isOldGraka = 1;
    }
    mglEnableSync(false);
    std::printf("initGL..\n");
    initGL();
    std::printf("OK GL initalisiert\n");
    chars.createTexture("Gfx/conchars.ppm", GL_LINEAR, GL_LINEAR, true, 0, 0, 0);
    loadbmp = new STexture("Gfx/load.ppm", GL_LINEAR, GL_LINEAR, false, 0, 0, 0);
    g_drawinitalized = 1;
}

void initGL()
{
    const t_view& e = g_view;
    glClearColor(e.fogColor[0], e.fogColor[1], e.fogColor[2], 1.0f);
    glScissor(0, 0, e.screenWidth, e.screenHeight);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_SCISSOR_TEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double fovy = ngrad ? 90.0 : 45.0;
    gluPerspective(fovy, static_cast<float>(e.screenWidth) / static_cast<float>(e.screenHeight), 0.1, e.viewDistance);
    glAlphaFunc(GL_GREATER, 0.1f);
    glEnable(GL_DITHER);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glViewport(0, 0, e.screenWidth, e.screenHeight);
    glBlendFunc(GL_ONE, GL_ZERO);
    glHint(GL_FOG_HINT, GL_FASTEST);
    const FogMode& mode = fogmodes[g_fogtype];
    glFogi(GL_FOG_MODE, mode.glMode);
    glFogf(GL_FOG_DENSITY, e.fogDensity);
    glFogf(GL_FOG_START, e.fogStart);
    glFogf(GL_FOG_END, e.fogEnd);
    glFogfv(GL_FOG_COLOR, e.fogColor);
    if (e.fogOn) {
        glEnable(GL_FOG);
        Fogon = 1;
    }
    if (fcull) {
        glEnable(GL_CULL_FACE);
        glFrontFace(GL_CCW);
    }
    glMatrixMode(GL_MODELVIEW);
    mglLockMode(MGL_LOCK_SMART);
}

void closeScreen()
{
    if (g_drawinitalized == 1) {
        // The textures die with the context; only our records are freed.
        chars.freeTexture();
        delete loadbmp;
        loadbmp = nullptr;
        mglDeleteContext();
        MGLTerm();
        g_drawinitalized = 0;
    }
}

void draw_resetFog(Lev* level)
{
    // The name is the one copied at start-up (at most 4 characters).
    g_fogtype = 2;
    for (int i = 0; i < kFogModeCount; ++i) {
        if (strcasecmp(g_view.fogModeName, fogmodes[i].name) == 0) {
            g_fogtype = i;
            break;
        }
    }
    setFog(fogmodes[g_fogtype], level->fogDensity, level->fogStart, level->fogEnd, level->fogColor);
    if (level->fogOn == 0) {
        glDisable(GL_FOG);
        Fogon = 0;
    } else {
        glEnable(GL_FOG);
        Fogon = 1;
    }
}

void draw_loadscreen()
{
    glLoadIdentity();
    glEnable(GL_ALPHA_TEST);
    if (Fogon) {
        glDisable(GL_FOG);
    }
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    mglLockDisplay();
    if (loadbmp != nullptr) {
        drawImage(loadbmp, -1.0067f, 1.0f, 2.0f, -2.0f, 1.0f, true);
    }
    glDisable(GL_ALPHA_TEST);
    mglUnlockDisplay();
    mglSwitchDisplay();
    if (Fogon) {
        glEnable(GL_FOG);
    }
}

void beginFrame()
{
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    mglLockDisplay();
}

void endFrame()
{
    if (g_showfps) {
        char text[32];
        std::snprintf(text, sizeof text, "fps: %i", fps);
        Draw_String(text, 50, 10, g_view.screenWidth);
    }
    Con.draw();
    mglUnlockDisplay();
    // After the switch the back buffer's content is undefined on many
    // drivers: the shot is taken of the finished frame, before it.
    if (!g_shotFile.empty()) {
        g_shotWritten = KRTWriteShotPPM(0, 0, g_view.screenWidth, g_view.screenHeight, g_shotFile.c_str());
        g_shotFile.clear();
    }
    const double t = frameClockUs();
    mglSwitchDisplay();
    frameSectionAdd(kSecSwap, t);
    advanceFrameCounter();
}

void requestScreenshot(const char* file)
{
    g_shotFile = file != nullptr ? file : "";
    g_shotWritten = false;
}

bool lastScreenshotWritten()
{
    return g_shotWritten;
}
