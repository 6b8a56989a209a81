// input.h — the key table: the window's keyboard and mouse messages turned
// into 256 named key slots, and the once-per-frame dispatch of held keys.
//
// CInput owns the slot array, the key names and the state bytes.  There is
// one, `KeyInput`, created at start-up after the display is open and deleted
// at shutdown; a level change keeps it.  The frame calls update() first
// (before sound, scene and rendering) and start() then endframe() after
// drawing.  The command registry (commands/) binds handlers into the slots
// through getskeyaddr; the engine hands the mouse deltas to the camera, the
// editor and the GUI read them and the key states directly.  Only update()
// takes window messages.
//
// Slot index = key code 0..255: the unshifted Latin-1 character for the
// character keys (letters 97..122, digits 48..57), raw code + 128 for the
// other keys (192..255), and fixed codes for the mouse buttons (200..202)
// and the wheel (240 up, 239 down).  platform/events.h lists which PC key
// reaches which code.
#pragma once

#include <cstdint>

#include "input/cvar.h"
#include "platform/events.h"

struct t_keyslot {
    uint8_t* state;    // 0 released, 1 held; null where no name was defined
    char* name;        // heap copy of the key name ("K_SPACE"), or null
    t_handler handler; // bound command, or null
    cvar arg;          // argument passed (as a copy) to the handler
};

class CInput {
public:
    void* window;       // the display window (mglGetWindowHandle); also in g_window
    InputMsg* msg;      // the message being handled; valid only inside update()
    int32_t keycount;   // number of slots: 256
    t_keyslot* keys;    // keycount slots, indexed by key code
    uint8_t mousemoved; // 1 when a mouse-move message arrived since the last endframe()
    int32_t mousedx;    // pixels, positive right; the last message's delta, not a sum
    int32_t mousedy;    // pixels, positive down; the last message's delta, not a sum

    CInput();
    ~CInput();
    CInput(const CInput&) = delete;
    CInput& operator=(const CInput&) = delete;

    // Allocates the slots, defines the 96 key names and starts the delivery
    // of the window's key, button and mouse-move messages.  Run by the
    // constructor.
    void Init();
    // Names slot `code` (0..255) with a fresh released state and no handler;
    // the argument record stays.  Returns 1, or 0 for a code outside the
    // table or a null name.  Redefining a bound code drops its handler.
    int defKey(const char* name, int code);
    // Sets the state (0 or 1) of the lowest slot named `name` (any case);
    // an unknown name does nothing.
    void setKey(const char* name, uint8_t state);
    // The lowest slot named `name` (any case), or null.  The slot lives as
    // long as this object.
    t_keyslot* getskeyaddr(const char* name);
    // Takes every pending window message: key and button states, the wheel
    // (held for this frame only), the mouse delta.  Sets g_bquit when the
    // window was asked to close.
    void update();
    // After drawing (and after the commands' frame defaults): runs the
    // handler of every held, bound key in key-code order.
    void start();
    // Clears the mouse delta and mousemoved; called right after start().
    void endframe();

private:
    void releaseSlots();
    void handleMessage(const InputMsg& m);
};

// The input object; valid from start-up until shutdown.
extern CInput* KeyInput;
// The display window whose messages CInput reads; set by CInput::Init, and
// activated by the engine at the end of start-up.
extern void* g_window;

// Keymap translation of a raw key code without qualifiers: the Latin-1
// character 1..255 the key produces unshifted, 1 when it produces none, 0
// for a code the keymap refuses (outside 0..127).
int amiga_TranslateKey(int raw);
