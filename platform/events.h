// events.h — the display window's input messages: our stand-in for
// Intuition's IDCMP port and keymap.library, over SDL2 events.
//
// Owns the SDL event queue (nothing else in the engine polls it), the
// pointer grab (SDL relative mouse mode) and the quit request of the window.
// Called on the engine's single thread: input/ takes the messages once per
// frame with platformGetInputMsg and translates raw key codes with
// platformTranslateRawKey; core/ reads platformQuitRequested.  SDL types stay
// in platform/: SDL_Event is only forward-declared here.
//
// Messages keep the code scheme of the original machine:
//
// * IDCMP_RAWKEY: Code = raw key code, bit 7 (IECODE_UP_PREFIX) set on
//   release.  Raw codes 0..63 are the character keys, numbered by their
//   position on the original keyboard; platformTranslateRawKey turns them
//   into the character the key produces without modifiers in the current
//   keyboard layout (Latin-1 1..255), so the engine's slot for them is that
//   character.  Raw codes 64..127 are the other keys; the engine's slot for
//   them is raw + 128.  The wheel also arrives as IDCMP_RAWKEY with the
//   codes 0x7A (up) and 0x7B (down), one message per wheel event, key down
//   only.
// * IDCMP_MOUSEBUTTONS: Code 0x68/0xE8 left, 0x69/0xE9 right, 0x6A/0xEA
//   middle (down/up).
// * IDCMP_MOUSEMOVE: Code 0xFF (IECODE_NOBUTTON); MouseX/MouseY are deltas in
//   pixels, x to the right, y downward.  At most one mouse-move message is
//   pending at a time: later motion adds its deltas to it (saturating at the
//   16-bit range), as Intuition merges moves the program has not yet taken.
//   Without this a 1000 Hz mouse would lose all but the last millisecond of
//   movement in a frame.
//
// Key table (SDL key -> raw code -> engine slot and name of it):
//
//   character keys, by position (raw 0x00..0x3A, slot = unshifted character
//   of the layout; on a US layout):
//     ` 0x00   1..9,0 0x01..0x0A   - 0x0B   = 0x0C   \ 0x0D (K_BS)
//     Q..P 0x10..0x19   [ 0x1A   ] 0x1B
//     A..L 0x20..0x28   ; 0x29   ' 0x2A   ISO # 0x2B
//     ISO < 0x30   Z..M 0x31..0x37   , 0x38 (K_KOMMA)   . 0x39 (K_PUNKT)
//     / 0x3A (K_ZSL, shared with pad /)
//     Letters land on 97..122 (K_A..K_Z), digits on 48..57 (K_0..K_9); on a
//     German layout the keys right of L give 246 (K_OE), 228 (K_AE, whose
//     slot belongs to K_LALT) and the one right of P 252 (K_UE).
//   number pad (raw below 64, fixed translation, layout independent):
//     pad 7/8/9 0x3D/0x3E/0x3F -> 160/161/162 (K_Z7/K_Z8/K_Z9)
//     pad 4/5/6 0x2D/0x2E/0x2F -> 163/164/165 (K_Z4/K_Z5/K_Z6)
//     pad 1/2/3 0x1D/0x1E/0x1F -> 166/167/168 (K_Z1/K_Z2/K_Z3)
//     pad 0 0x0F and pad . 0x3C -> 255 (K_Z0, K_ZPUNKT; the slot is K_PGDN's)
//     pad / 0x0E -> 47 (K_ZSL)    pad * 0x1C -> 42 (K_ZMUL)
//     pad - 0x2C -> 45 (K_ZSUB)   pad + 0x3B -> 43 (K_ZADD)
//     (0x0E, 0x1C, 0x2C, 0x3B are unused positions on the original keyboard,
//     taken as pre-translated codes for the pad keys whose original raw
//     codes 0x5C, 0x5D, 0x4A, 0x5E would land on other names' slots.)
//   other keys (slot = raw + 128):
//     Space 0x40 -> 192 K_SPACE        Backspace 0x41 -> 193 (no name)
//     Tab 0x62 -> 226 K_TAB            Return 0x44 -> 196 K_RETURN
//     Escape 0x45 -> 197 K_ESCAPE      Delete 0x46 -> 198 K_DEL
//     Up 0x4C -> 204 K_ARROWUP         Down 0x4D -> 205 K_ARROWDOWN
//     Right 0x4E -> 206 K_ARROWRIGHT   Left 0x4F -> 207 K_ARROWLEFT
//     F1..F10 0x50..0x59 -> 208..217 K_F1..K_F10
//     F11 0x4B -> 203 K_F11            F12 0x6F -> 239 (K_F12; slot is K_MWHEELDOWN's)
//     Insert, Help 0x5F -> 223 K_HELP
//     LShift 0x60 -> 224 K_LSHIFT      RShift 0x61 -> 225 K_RSHIFT
//     LCtrl, RCtrl 0x63 -> 227 K_CTRL
//     LAlt 0x64 -> 228 K_LALT          RAlt/AltGr 0x65 -> 229 K_RALT
//     LGui 0x66 -> 230 K_LAMIGA        RGui 0x67 -> 231 K_RAMIGA
//     PgUp, PgDn, pad Enter 0x7F -> 255 (K_PGUP, K_PGDN, K_ZENTER; the slot is K_PGDN's)
//     pad ( 0x5A -> 218, pad ) 0x5B -> 219 (no names)
//   Tab takes raw 0x62 (CapsLock on the original), because the key table
//   puts K_TAB at 226.  Keys not listed (CapsLock, Home, End, Print, ...)
//   send no messages.
#pragma once

#include <cstdint>

union SDL_Event;

// Message classes (IDCMP flags) and codes of the original system.
enum : uint32_t {
    IDCMP_MOUSEBUTTONS = 0x00000008,
    IDCMP_MOUSEMOVE = 0x00000010,
    IDCMP_RAWKEY = 0x00000400,
    IDCMP_DELTAMOVE = 0x00100000, // flag only: positions always arrive as deltas
};

enum : uint16_t {
    IECODE_UP_PREFIX = 0x80, // bit 7 of a raw key code: released
    IECODE_LBUTTON = 0x68,
    IECODE_RBUTTON = 0x69,
    IECODE_MBUTTON = 0x6A,
    RAWKEY_NM_WHEEL_UP = 0x7A,
    RAWKEY_NM_WHEEL_DOWN = 0x7B,
    IECODE_NOBUTTON = 0xFF,
};

// Qualifier bits: modifier keys and buttons held when the message was made.
enum : uint16_t {
    IEQUALIFIER_LSHIFT = 0x0001,
    IEQUALIFIER_RSHIFT = 0x0002,
    IEQUALIFIER_CAPSLOCK = 0x0004,
    IEQUALIFIER_CONTROL = 0x0008,
    IEQUALIFIER_LALT = 0x0010,
    IEQUALIFIER_RALT = 0x0020,
    IEQUALIFIER_LCOMMAND = 0x0040,
    IEQUALIFIER_RCOMMAND = 0x0080,
    IEQUALIFIER_NUMERICPAD = 0x0100,
    IEQUALIFIER_MIDBUTTON = 0x1000,
    IEQUALIFIER_RBUTTON = 0x2000,
    IEQUALIFIER_LEFTBUTTON = 0x4000,
    IEQUALIFIER_RELATIVEMOUSE = 0x8000,
};

// One input message (the fields of an IntuiMessage the engine reads).
struct InputMsg {
    uint32_t Class = 0;     // IDCMP_RAWKEY, IDCMP_MOUSEMOVE or IDCMP_MOUSEBUTTONS
    uint16_t Code = 0;      // raw key code (bit 7: up) or button code, see above
    uint16_t Qualifier = 0; // IEQUALIFIER_* bits
    int16_t MouseX = 0;     // IDCMP_MOUSEMOVE: pixels moved right since the last message
    int16_t MouseY = 0;     // IDCMP_MOUSEMOVE: pixels moved down since the last message
};

// The most messages one SDL event turns into.
constexpr int kMaxMsgsPerEvent = 1;

// Stand-in for ModifyIDCMP: from now on the classes in `flags` are
// delivered, others dropped.  With IDCMP_MOUSEMOVE the pointer is taken
// (relative mouse mode) while the window has the input focus; flags 0 gives
// it back.  `window` is the handle of mglGetWindowHandle (may be null in
// tests; then only the flags change).
void platformModifyIDCMP(void* window, uint32_t flags);

// Stand-in for GetMsg on the window's port: pumps SDL's events when nothing
// is pending and hands out the next message.  False when none is left.
// Window focus changes and the quit request are handled while pumping.
bool platformGetInputMsg(InputMsg* out);
// Stand-in for ReplyMsg: messages are copies, so this does nothing.
void platformReplyInputMsg(InputMsg* msg);
// Stand-in for PutMsg on the window's port: appends `msg` as it is (never
// merged with other mouse moves), if its class is delivered.  False when the
// port is full.  Lets tests give the engine exact message sequences.
bool platformPutInputMsg(const InputMsg& msg);

// True once the window was asked to close (SDL_QUIT) while pumping.
bool platformQuitRequested();

// Drops pending messages, the quit request and the delivered classes (the
// pointer is given back).  For shutdown and tests.
void platformResetInput();

// Gives the pointer free (released true) for another program's window, a
// requester the engine waits for, and takes it back afterwards (false: only
// when mouse moves are delivered and the display window has the focus).
void platformLendPointer(bool released);

// Translates one SDL event into at most `max` messages in `out`; returns how
// many.  Pure: no queue, no focus or quit handling, no class filter.  Key
// repeats, unmapped keys and other events give 0.
int platformTranslateEvent(const SDL_Event& event, InputMsg* out, int max);

// Keymap stand-in (MapRawKey without qualifiers): the Latin-1 character
// 1..255 that the key at raw code `raw` produces unshifted in the current
// layout; 0 when it produces none (raw codes 64..127, free positions, a
// layout character outside Latin-1); -1 for a code outside 0..127.
int platformTranslateRawKey(int raw);

// Test hook: the layout lookup used by platformTranslateRawKey, from an SDL
// scancode (USB usage number) to a key code (a Unicode character for
// printable keys).  Null restores SDL_GetKeyFromScancode.
using PlatformKeyLookup = int (*)(int scancode);
void platformSetKeyLookup(PlatformKeyLookup lookup);
