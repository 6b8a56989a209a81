// display.cpp — the display layer over SDL2: window, GL context, buffer
// switch.  The context asks for the compatibility profile, because the engine
// draws with OpenGL 1.x immediate mode.
#include "platform/display.h"

#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <strings.h>

namespace {

constexpr const char* kWindowTitle = "Vext-Engine";
constexpr int kDepthBufferBits[] = {24, 16}; // tried in this order
// Largest side, pixels, of an offscreen drawable: beyond it a frame costs
// seconds and gigabytes for no picture anyone sees.
constexpr int kHeadlessMaxSide = 8192;

struct DisplayState {
    int initCount = 0; // MGLInit calls not yet matched by MGLTerm
    int buffers = 3;   // chosen buffer count (informational)
    bool windowed = true;
    int pixelDepth = 32;      // bits per pixel of the colour buffer
    int vertexBufferSize = 0; // vertices (informational)
    bool sync = false;        // swap waits for the vertical blank
    int refusedDepthBits = 0; // test hook: depth buffers this deep or deeper fail; 0: none
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    bool offscreen = false; // the context draws into the offscreen driver's pbuffer
    std::string lastError;
};

DisplayState g_display;

void setColourAttributes(int pixelDepth)
{
    int red = 8, green = 8, blue = 8, alpha = 8;
    if (pixelDepth <= 16) {
        red = 5;
        green = 6;
        blue = 5;
        alpha = 0;
    } else if (pixelDepth <= 24) {
        alpha = 0;
    }
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, red);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, green);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, blue);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, alpha);
}

// One attempt with the given depth-buffer size.  The window is made anew for
// every attempt: on most drivers its pixel format is fixed when it is made.
bool tryCreate(int left, int top, int width, int height, int depthBits)
{
    if (g_display.refusedDepthBits > 0 && depthBits >= g_display.refusedDepthBits) {
        g_display.lastError = "Tiefenpuffer mit " + std::to_string(depthBits) + " Bit abgelehnt";
        return false;
    }
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    setColourAttributes(g_display.pixelDepth);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    Uint32 flags = SDL_WINDOW_OPENGL;
    if (!g_display.windowed && !platformHeadless()) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    SDL_Window* window = SDL_CreateWindow(kWindowTitle, left, top, width, height, flags);
    if (window == nullptr) {
        g_display.lastError = std::string("Fenster nicht erstellt: ") + SDL_GetError();
        return false;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        g_display.lastError = std::string("GL-Kontext nicht erstellt: ") + SDL_GetError();
        SDL_DestroyWindow(window);
        return false;
    }
    if (SDL_GL_MakeCurrent(window, context) != 0) {
        g_display.lastError = std::string("GL-Kontext nicht aktivierbar: ") + SDL_GetError();
        SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
        return false;
    }
    g_display.window = window;
    g_display.context = context;
    g_display.offscreen = platformHeadless() != 0;
    SDL_GL_SetSwapInterval(g_display.sync ? 1 : 0);
    g_display.lastError.clear();
    return true;
}

} // namespace

int MGLInit()
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        g_display.lastError = std::string("SDL-Video nicht startbar: ") + SDL_GetError();
        return 0;
    }
    ++g_display.initCount;
    return 1;
}

void MGLTerm()
{
    if (g_display.initCount == 0) {
        return;
    }
    if (--g_display.initCount == 0) {
        mglDeleteContext();
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void mglChooseNumberOfBuffers(int n)
{
    g_display.buffers = n;
}

void mglChooseWindowMode(bool window)
{
    g_display.windowed = window;
}

void mglChoosePixelDepth(int bits)
{
    g_display.pixelDepth = bits;
}

void mglChooseVertexBufferSize(int n)
{
    g_display.vertexBufferSize = n;
}

void* mglCreateContext(int left, int top, int width, int height)
{
    // A window no display can show is refused before anything is touched.
    // Full screen covers the desktop whatever size was asked for.
    const bool sized = g_display.windowed || platformHeadless();
    int maxWidth = 0;
    int maxHeight = 0;
    mglLargestDisplaySize(&maxWidth, &maxHeight);
    if (sized && (width > maxWidth || height > maxHeight)) {
        g_display.lastError = "Fenstergröße " + std::to_string(width) + " x " + std::to_string(height) +
                              " größer als die Anzeige (höchstens " + std::to_string(maxWidth) + " x " +
                              std::to_string(maxHeight) + ")";
        return nullptr;
    }
    mglDeleteContext();
    if (g_display.initCount == 0) {
        g_display.lastError = "MGLInit fehlt";
        return nullptr;
    }
    if (width <= 0 || height <= 0) {
        g_display.lastError = "Fenstergröße " + std::to_string(width) + " x " + std::to_string(height) + " ungültig";
        return nullptr;
    }
    for (int depthBits : kDepthBufferBits) {
        if (tryCreate(left, top, width, height, depthBits)) {
            return g_display.context;
        }
    }
    return nullptr;
}

void mglLargestDisplaySize(int* width, int* height)
{
    int w = 0;
    int h = 0;
    if (platformHeadless()) {
        w = h = kHeadlessMaxSide;
    } else {
        const int displays = SDL_GetNumVideoDisplays();
        for (int i = 0; i < displays; ++i) {
            SDL_Rect bounds{};
            if (SDL_GetDisplayBounds(i, &bounds) == 0) {
                w = std::max(w, bounds.w);
                h = std::max(h, bounds.h);
            }
        }
        if (w <= 0 || h <= 0) {
            w = h = kHeadlessMaxSide; // the driver names no display: the same sane cap
        }
    }
    *width = w;
    *height = h;
}

void mglDeleteContext()
{
    if (g_display.context != nullptr) {
        SDL_GL_MakeCurrent(g_display.window, nullptr);
        SDL_GL_DeleteContext(g_display.context);
        g_display.context = nullptr;
    }
    if (g_display.window != nullptr) {
        SDL_DestroyWindow(g_display.window);
        g_display.window = nullptr;
    }
}

const char* mglGetLastError()
{
    return g_display.lastError.c_str();
}

int mglGetChipId()
{
    return MGL_CHIP_CURRENT;
}

void mglEnableSync(bool on)
{
    g_display.sync = on;
    if (g_display.context != nullptr) {
        SDL_GL_SetSwapInterval(on ? 1 : 0);
    }
}

void mglLockMode(int mode)
{}

void mglLockDisplay()
{}

void mglUnlockDisplay()
{}

void mglSwitchDisplay()
{
    if (g_display.window != nullptr) {
        // The offscreen driver draws into an EGL pbuffer, whose swap does
        // nothing at all, not even a flush: llvmpipe then keeps queueing the
        // frames' scenes (the terrain's vertices above all) and the process
        // grew by about half a megabyte a frame.  Finishing the frame here
        // is what a window's swap does implicitly.
        if (g_display.offscreen) {
            glFinish();
        }
        SDL_GL_SwapWindow(g_display.window);
    }
}

void* mglGetWindowHandle()
{
    return g_display.window;
}

void mglGetDrawableSize(int* width, int* height)
{
    int w = 0;
    int h = 0;
    if (g_display.window != nullptr) {
        SDL_GL_GetDrawableSize(g_display.window, &w, &h);
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
}

void mglActivateWindow()
{
    if (g_display.window == nullptr) {
        return;
    }
    SDL_RaiseWindow(g_display.window);
    SDL_SetWindowInputFocus(g_display.window); // refused by some window managers: harmless
}

void platformUseHeadlessDrivers()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // An audio driver chosen by the caller (disk, to capture the sound) stays.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
}

int platformHeadless()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        const char* driver = SDL_GetCurrentVideoDriver();
        return driver != nullptr && strcasecmp(driver, "offscreen") == 0 ? 1 : 0;
    }
    const char* wanted = getenv("SDL_VIDEODRIVER");
    return wanted != nullptr && strcasecmp(wanted, "offscreen") == 0 ? 1 : 0;
}

void mglTestRefuseDepthBits(int bits)
{
    g_display.refusedDepthBits = bits;
}
