// display.h — the display layer: one window with one OpenGL context, over
// SDL2 and the compatibility profile (the engine draws OpenGL 1.x immediate
// mode).  The names are those of the original display library, so render/
// calls them as it called that library.
//
// Owns the SDL video subsystem, the window and the GL context; nothing
// outside platform/ touches SDL.  Called on the engine's single thread:
// render/ opens and closes the display and brackets frames, input/ reads the
// window handle, core/ activates the window once start-up is done.  At most
// one context exists; creating another deletes the first.
#pragma once

// Lock modes of mglLockMode.  Smart locking (the layer takes the hardware
// lock by itself around drawing) is all SDL needs, so every mode behaves so.
enum {
    MGL_LOCK_MANUAL = 0,
    MGL_LOCK_AUTOMATIC = 1,
    MGL_LOCK_SMART = 2,
};

// Chip identifiers of mglGetChipId (the numbering of the original 3D
// driver).  MGL_CHIP_OLD marks the oldest supported chip; this layer always
// answers MGL_CHIP_CURRENT.
enum {
    MGL_CHIP_OLD = 3,
    MGL_CHIP_CURRENT = 0x100,
};

// Starts the video subsystem.  Nonzero = usable.  Pairs with MGLTerm.
int MGLInit();
// Deletes a context still open and stops the video subsystem.
void MGLTerm();

// Choices for the next mglCreateContext; they stay until changed.
void mglChooseNumberOfBuffers(int n);  // 2 or 3; SDL picks the swap chain, kept for the record
void mglChooseWindowMode(bool window); // true: a window; false: full screen
void mglChoosePixelDepth(int bits);    // 32: RGBA8888, 24: RGB888, 16: RGB565
void mglChooseVertexBufferSize(int n); // vertices per batch; immediate mode needs no buffer

// Opens the window and a double-buffered GL context with the chosen pixel
// depth and a 24-bit depth buffer (16 bits when 24 is refused), and makes it
// current.  Full screen covers the desktop without a mode change (with the
// offscreen driver it is simply a window of the size).  Returns an opaque
// non-null handle, or null on failure with nothing left open (the reason in
// mglGetLastError).  left/top: window position in pixels.
void* mglCreateContext(int left, int top, int width, int height);
// The largest window the display can give, pixels: the largest display's
// bounds (after MGLInit), or 8192 x 8192 with the offscreen driver or when
// the driver names none.  mglCreateContext refuses a larger window (full
// screen takes the desktop's size anyway) and leaves the current context as
// it was.
void mglLargestDisplaySize(int* width, int* height);
// Deletes the context and its window; nothing when there is none.
void mglDeleteContext();
// Why the last mglCreateContext (or MGLInit) failed; "" after a success.
const char* mglGetLastError();

// Never MGL_CHIP_OLD: every GL this layer runs on draws the full sky box.
int mglGetChipId();
// on: buffer switches wait for the vertical blank.
void mglEnableSync(bool on);
// Smart locking is implicit: these three do nothing.
void mglLockMode(int mode);
void mglLockDisplay();
void mglUnlockDisplay();
// Shows the drawn buffer.
void mglSwitchDisplay();

// The SDL_Window* of the context (as void*, so callers need no SDL), or null
// when there is none.  Input events carry its window id.
void* mglGetWindowHandle();
// Size of the drawable in pixels (the desktop size in full screen); 0 × 0
// without a context.
void mglGetDrawableSize(int* width, int* height);
// Raises the window and gives it the input focus.
void mglActivateWindow();

// Makes SDL use its offscreen video and dummy audio drivers (overwriting any
// choice in the environment).  Call before MGLInit.
void platformUseHeadlessDrivers();
// Nonzero when the offscreen video driver is (or, before MGLInit, will be)
// in use.
int platformHeadless();

// Test hook: mglCreateContext treats every depth buffer of at least this
// many bits as refused (0: none), to exercise the 16-bit fallback (24) and
// the failure path (16).
void mglTestRefuseDepthBits(int bits);
