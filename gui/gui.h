// gui.h — the editor's GUI: a mouse pointer and windows with a title bar,
// dragged with the left mouse button, that may carry buttons bound to
// commands.  Drawn with textures over the 3D scene.
//
// CGui (global `Gui`) owns the pointer, the window list and the nine
// textures of gfx/gui.  The engine creates it at start-up and again at every
// level load, calls update() after each frame's rendering (before the held
// keys' commands run) and draw() at the end of the 2D pass, both only while
// GuiOn is set.  The first window is the info window (`infowindow`) that
// shows the console text; the editor adds its help window.
//
// Coordinates are those of the 2D pass with identity matrices: x -1 (left)
// .. 1 (right), y -1 (bottom) .. 1 (top).  Heights are negative: a window or
// button extends downwards from its top edge.  Templates are given in screen
// fractions instead (0..1 from the top-left corner, sizes positive).
// Single-threaded; needs the GL context for the textures and drawing.
#pragma once

#include <cstdint>

#include "core/mathlib.h"
#include "input/cvar.h"
#include "render/draw2d.h"

class CKRT_Window;
class CKRT_Button;

// One element of a doubly linked list.  Window nodes form the GUI's list,
// button nodes a window's list; `head` is the list head the node belongs to,
// which the list operations move when the first node changes.
class CKRT_Node {
public:
    CKRT_Node* next = nullptr;
    CKRT_Node* prev = nullptr;
    void* item = nullptr;         // the CKRT_Window or CKRT_Button carried
    CKRT_Node** head = nullptr;   // the list's head pointer

    // Appends the node at the end of the list behind `listHead`.
    void appendTo(CKRT_Node** listHead);
    // Unlinks the node; the head moves on when it was the first.  Its own
    // links become null.
    void removefromList();
    // Moves the node behind the last one (drawn last, on top); nothing when
    // it already is the last.
    void settoBackList();
    // Makes the node the first of its list; nothing when it already is.
    void settoFrontList();
};

class CKRT_Pointer {
public:
    t_vector pos;  // x, y in GUI coordinates (-1..1)
    t_vector frac; // x 0 (left) .. 1, y 0 (top) .. 1
    t_vector step; // this frame's motion dx, dy in GUI units (y positive down)
};

// A template in screen fractions: top-left corner and positive size.
struct t_guiTemplate {
    float x = 0.0f;
    float y = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    const char* label = nullptr;
};

class CKRT_Button {
public:
    float x = 0.0f;               // top-left corner relative to the window's, GUI units
    float y = 0.0f;
    CKRT_Window* window = nullptr; // the window it belongs to
    float width = 0.0f;            // GUI units, positive
    float height = -0.05f;         // GUI units, negative
    t_handler handler = nullptr;   // command called when clicked, or null
    const char* label = nullptr;   // stored, not drawn

    void Draw();
    // The pointer lies strictly inside the button.
    bool MouseOver(const CKRT_Pointer& pointer) const;
};

class CKRT_Window {
public:
    CKRT_Node* buttons = nullptr;  // head of the button list, or null
    float x = 0.0f;                // top-left corner, GUI units
    float y = 0.0f;
    float width = 0.0f;            // positive
    float height = 0.0f;           // body height, negative; the body hangs below the title bar
    float titleHeight = -0.08f;    // negative
    const char* title = nullptr;   // drawn on the title bar (not owned), or null
    const char* text = nullptr;    // drawn in the body (not owned), or null
    uint8_t hidden = 0;            // 1: neither drawn nor grabbed
    CKRT_Node* node = nullptr;     // its node in the GUI's list

    ~CKRT_Window();
    CKRT_Button* setButton(const t_guiTemplate& t);
    void Draw();
    // The pointer lies inside the window as drawn: title bar and body.
    bool contains(const CKRT_Pointer& pointer) const;
};

class CGui {
public:
    CKRT_Pointer pointer;
    CKRT_Node* windows = nullptr; // head of the window list, or null
    uint32_t serial = 0;          // distinct for every GUI made (a new one may reuse the address)

    // Loads the textures and adds the info window at the top of the screen.
    CGui();
    // Frees windows, buttons and textures; the console goes back to hidden.
    ~CGui();
    CGui(const CGui&) = delete;
    CGui& operator=(const CGui&) = delete;

    // Creates a window from a template and appends it to the list.
    CKRT_Window* setWindow(const t_guiTemplate& t);
    // One frame with the input part's mouse, the level's sensitivity and
    // g_frametime.
    void update();
    // One frame: mouse deltas in pixels (x right, y down), the left button,
    // the sensitivity s and the frame time dt (seconds).  The pointer moves
    // only while rotlock is 1.
    void step(int32_t mousedx, int32_t mousedy, bool leftButton, float s, float dt);
    void draw();
    // Where the console shows its text: kept on the info window.
    t_consoleWindow console{};
};

extern CGui* Gui;
extern uint8_t winmove;             // 1 while a window is dragged
extern CKRT_Node* selectedwindow;   // the window last grabbed, or the first
extern CKRT_Window* infowindow;     // the console's window

// The nine textures, loaded by the constructor (null without a GUI).
extern STexture* Arrow;
extern STexture* TexWindow;
extern STexture* TexButton;
extern STexture* Border;
extern STexture* Borderl;
extern STexture* Borderr;
extern STexture* Bordersel;
extern STexture* Borderlsel;
extern STexture* Borderrsel;

// The nine image files in loading order, for whoever collects a level's files.
extern const char* const kGuiImageFiles[9];
