// events.cpp — SDL2 events as IDCMP messages, and the keymap stand-in.
#include "platform/events.h"

#include <SDL.h>

#include <algorithm>
#include <array>

namespace {

// Raw codes of the keys below 64 that have no character of their own in
// SDL's layout: the number pad (fixed translation) and the pre-translated
// positions of the pad operators.
constexpr int kRawPadSlash = 0x0E;
constexpr int kRawPad0 = 0x0F;
constexpr int kRawPadStar = 0x1C;
constexpr int kRawPadMinus = 0x2C;
constexpr int kRawPadPlus = 0x3B;
constexpr int kRawPadPoint = 0x3C;

// Raw code of PgUp, PgDn and pad Enter: raw + 128 = 255, the slot that the
// key table gives K_PGUP, K_PGDN and K_ZENTER.
constexpr int kRawCode255 = 0x7F;

constexpr int kNoRaw = -1;

struct ScanRaw {
    SDL_Scancode scancode;
    int raw;
};

// Every SDL key that sends messages, with its raw code (see the table in
// events.h).
constexpr ScanRaw kScanToRaw[] = {
    {SDL_SCANCODE_GRAVE, 0x00},
    {SDL_SCANCODE_1, 0x01},
    {SDL_SCANCODE_2, 0x02},
    {SDL_SCANCODE_3, 0x03},
    {SDL_SCANCODE_4, 0x04},
    {SDL_SCANCODE_5, 0x05},
    {SDL_SCANCODE_6, 0x06},
    {SDL_SCANCODE_7, 0x07},
    {SDL_SCANCODE_8, 0x08},
    {SDL_SCANCODE_9, 0x09},
    {SDL_SCANCODE_0, 0x0A},
    {SDL_SCANCODE_MINUS, 0x0B},
    {SDL_SCANCODE_EQUALS, 0x0C},
    {SDL_SCANCODE_BACKSLASH, 0x0D},
    {SDL_SCANCODE_KP_DIVIDE, kRawPadSlash},
    {SDL_SCANCODE_KP_0, kRawPad0},
    {SDL_SCANCODE_Q, 0x10},
    {SDL_SCANCODE_W, 0x11},
    {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13},
    {SDL_SCANCODE_T, 0x14},
    {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16},
    {SDL_SCANCODE_I, 0x17},
    {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_KP_MULTIPLY, kRawPadStar},
    {SDL_SCANCODE_KP_1, 0x1D},
    {SDL_SCANCODE_KP_2, 0x1E},
    {SDL_SCANCODE_KP_3, 0x1F},
    {SDL_SCANCODE_A, 0x20},
    {SDL_SCANCODE_S, 0x21},
    {SDL_SCANCODE_D, 0x22},
    {SDL_SCANCODE_F, 0x23},
    {SDL_SCANCODE_G, 0x24},
    {SDL_SCANCODE_H, 0x25},
    {SDL_SCANCODE_J, 0x26},
    {SDL_SCANCODE_K, 0x27},
    {SDL_SCANCODE_L, 0x28},
    {SDL_SCANCODE_SEMICOLON, 0x29},
    {SDL_SCANCODE_APOSTROPHE, 0x2A},
    {SDL_SCANCODE_NONUSHASH, 0x2B},
    {SDL_SCANCODE_KP_MINUS, kRawPadMinus},
    {SDL_SCANCODE_KP_4, 0x2D},
    {SDL_SCANCODE_KP_5, 0x2E},
    {SDL_SCANCODE_KP_6, 0x2F},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x30},
    {SDL_SCANCODE_Z, 0x31},
    {SDL_SCANCODE_X, 0x32},
    {SDL_SCANCODE_C, 0x33},
    {SDL_SCANCODE_V, 0x34},
    {SDL_SCANCODE_B, 0x35},
    {SDL_SCANCODE_N, 0x36},
    {SDL_SCANCODE_M, 0x37},
    {SDL_SCANCODE_COMMA, 0x38},
    {SDL_SCANCODE_PERIOD, 0x39},
    {SDL_SCANCODE_SLASH, 0x3A},
    {SDL_SCANCODE_KP_PLUS, kRawPadPlus},
    {SDL_SCANCODE_KP_PERIOD, kRawPadPoint},
    {SDL_SCANCODE_KP_COMMA, kRawPadPoint},
    {SDL_SCANCODE_KP_7, 0x3D},
    {SDL_SCANCODE_KP_8, 0x3E},
    {SDL_SCANCODE_KP_9, 0x3F},

    {SDL_SCANCODE_SPACE, 0x40},
    {SDL_SCANCODE_BACKSPACE, 0x41},
    {SDL_SCANCODE_RETURN, 0x44},
    {SDL_SCANCODE_ESCAPE, 0x45},
    {SDL_SCANCODE_DELETE, 0x46},
    {SDL_SCANCODE_F11, 0x4B},
    {SDL_SCANCODE_UP, 0x4C},
    {SDL_SCANCODE_DOWN, 0x4D},
    {SDL_SCANCODE_RIGHT, 0x4E},
    {SDL_SCANCODE_LEFT, 0x4F},
    {SDL_SCANCODE_F1, 0x50},
    {SDL_SCANCODE_F2, 0x51},
    {SDL_SCANCODE_F3, 0x52},
    {SDL_SCANCODE_F4, 0x53},
    {SDL_SCANCODE_F5, 0x54},
    {SDL_SCANCODE_F6, 0x55},
    {SDL_SCANCODE_F7, 0x56},
    {SDL_SCANCODE_F8, 0x57},
    {SDL_SCANCODE_F9, 0x58},
    {SDL_SCANCODE_F10, 0x59},
    {SDL_SCANCODE_KP_LEFTPAREN, 0x5A},
    {SDL_SCANCODE_KP_RIGHTPAREN, 0x5B},
    {SDL_SCANCODE_INSERT, 0x5F},
    {SDL_SCANCODE_HELP, 0x5F},
    {SDL_SCANCODE_LSHIFT, 0x60},
    {SDL_SCANCODE_RSHIFT, 0x61},
    {SDL_SCANCODE_TAB, 0x62},
    {SDL_SCANCODE_LCTRL, 0x63},
    {SDL_SCANCODE_RCTRL, 0x63},
    {SDL_SCANCODE_LALT, 0x64},
    {SDL_SCANCODE_RALT, 0x65},
    {SDL_SCANCODE_LGUI, 0x66},
    {SDL_SCANCODE_RGUI, 0x67},
    {SDL_SCANCODE_F12, 0x6F},
    {SDL_SCANCODE_PAGEUP, kRawCode255},
    {SDL_SCANCODE_PAGEDOWN, kRawCode255},
    {SDL_SCANCODE_KP_ENTER, kRawCode255},
};

// Raw code -> SDL scancode of the character key there, for the layout
// lookup; SDL_SCANCODE_UNKNOWN for positions the layout does not decide.
std::array<SDL_Scancode, 64> buildRawToScan()
{
    std::array<SDL_Scancode, 64> table{};
    for (const ScanRaw& e : kScanToRaw) {
        if (e.raw < 64 && table[e.raw] == SDL_SCANCODE_UNKNOWN) {
            table[e.raw] = e.scancode;
        }
    }
    return table;
}

const std::array<SDL_Scancode, 64> kRawToScan = buildRawToScan();

// The fixed translation of the number pad: the characters the original
// keymap gives these keys.
int padCharacter(int raw)
{
    switch (raw) {
    case 0x3D: return 160; // pad 7
    case 0x3E: return 161; // pad 8
    case 0x3F: return 162; // pad 9
    case 0x2D: return 163; // pad 4
    case 0x2E: return 164; // pad 5
    case 0x2F: return 165; // pad 6
    case 0x1D: return 166; // pad 1
    case 0x1E: return 167; // pad 2
    case 0x1F: return 168; // pad 3
    case kRawPad0: return 255;
    case kRawPadPoint: return 255;
    case kRawPadSlash: return '/';
    case kRawPadStar: return '*';
    case kRawPadMinus: return '-';
    case kRawPadPlus: return '+';
    default: return 0;
    }
}

int sdlKeyLookup(int scancode)
{
    return static_cast<int>(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode)));
}

int rawForScancode(SDL_Scancode scancode)
{
    for (const ScanRaw& e : kScanToRaw) {
        if (e.scancode == scancode) {
            return e.raw;
        }
    }
    return kNoRaw;
}

uint16_t qualifierFor(Uint16 mod, Uint32 buttons)
{
    uint16_t q = 0;
    if (mod & KMOD_LSHIFT) {
        q |= IEQUALIFIER_LSHIFT;
    }
    if (mod & KMOD_RSHIFT) {
        q |= IEQUALIFIER_RSHIFT;
    }
    if (mod & KMOD_CAPS) {
        q |= IEQUALIFIER_CAPSLOCK;
    }
    if (mod & KMOD_CTRL) {
        q |= IEQUALIFIER_CONTROL;
    }
    if (mod & KMOD_LALT) {
        q |= IEQUALIFIER_LALT;
    }
    if (mod & KMOD_RALT) {
        q |= IEQUALIFIER_RALT;
    }
    if (mod & KMOD_LGUI) {
        q |= IEQUALIFIER_LCOMMAND;
    }
    if (mod & KMOD_RGUI) {
        q |= IEQUALIFIER_RCOMMAND;
    }
    if (buttons & SDL_BUTTON_LMASK) {
        q |= IEQUALIFIER_LEFTBUTTON;
    }
    if (buttons & SDL_BUTTON_RMASK) {
        q |= IEQUALIFIER_RBUTTON;
    }
    if (buttons & SDL_BUTTON_MMASK) {
        q |= IEQUALIFIER_MIDBUTTON;
    }
    return q;
}

int16_t clampToInt16(int32_t v)
{
    return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

int translateKey(const SDL_KeyboardEvent& key, InputMsg* out)
{
    if (key.repeat != 0) {
        return 0;
    }
    const int raw = rawForScancode(key.keysym.scancode);
    if (raw == kNoRaw) {
        return 0;
    }
    out->Class = IDCMP_RAWKEY;
    out->Code = static_cast<uint16_t>(raw | (key.type == SDL_KEYUP ? IECODE_UP_PREFIX : 0));
    out->Qualifier = qualifierFor(key.keysym.mod, 0);
    if (raw < 64 && padCharacter(raw) != 0) {
        out->Qualifier |= IEQUALIFIER_NUMERICPAD;
    }
    return 1;
}

int translateButton(const SDL_MouseButtonEvent& button, InputMsg* out)
{
    uint16_t code = 0;
    switch (button.button) {
    case SDL_BUTTON_LEFT: code = IECODE_LBUTTON; break;
    case SDL_BUTTON_RIGHT: code = IECODE_RBUTTON; break;
    case SDL_BUTTON_MIDDLE: code = IECODE_MBUTTON; break;
    default: return 0;
    }
    out->Class = IDCMP_MOUSEBUTTONS;
    out->Code = static_cast<uint16_t>(code | (button.state == SDL_RELEASED ? IECODE_UP_PREFIX : 0));
    out->Qualifier = qualifierFor(0, 0) | IEQUALIFIER_RELATIVEMOUSE;
    return 1;
}

int translateWheel(const SDL_MouseWheelEvent& wheel, InputMsg* out)
{
    int y = wheel.y;
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
        y = -y;
    }
    if (y == 0) {
        return 0;
    }
    out->Class = IDCMP_RAWKEY;
    out->Code = y > 0 ? RAWKEY_NM_WHEEL_UP : RAWKEY_NM_WHEEL_DOWN;
    out->Qualifier = 0;
    return 1;
}

int translateMotion(const SDL_MouseMotionEvent& motion, InputMsg* out)
{
    out->Class = IDCMP_MOUSEMOVE;
    out->Code = IECODE_NOBUTTON;
    out->Qualifier = qualifierFor(0, motion.state) | IEQUALIFIER_RELATIVEMOUSE;
    out->MouseX = clampToInt16(motion.xrel);
    out->MouseY = clampToInt16(motion.yrel);
    return 1;
}

// The window's pending messages: a ring of fixed size.  When it is full,
// SDL keeps the rest of its events until the next pump, so nothing is lost.
constexpr int kQueueSize = 256;

struct EventState {
    InputMsg queue[kQueueSize];
    int head = 0;           // index of the oldest pending message
    int count = 0;          // pending messages
    int pendingMove = -1;   // queue index of the pending mouse-move message, or -1
    uint32_t idcmp = 0;     // delivered classes (ModifyIDCMP)
    void* window = nullptr; // SDL_Window* of the last ModifyIDCMP
    bool quit = false;
    PlatformKeyLookup lookup = sdlKeyLookup;
};

EventState g_events;

void setPointerGrab(bool on)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return;
    }
    // Relative mode may be refused (offscreen driver): the deltas still come.
    SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE);
}

bool windowHasFocus(void* window)
{
    if (window == nullptr || SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return false;
    }
    return (SDL_GetWindowFlags(static_cast<SDL_Window*>(window)) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

void handleWindowEvent(const SDL_WindowEvent& w)
{
    if ((g_events.idcmp & IDCMP_MOUSEMOVE) == 0) {
        return;
    }
    if (w.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
        setPointerGrab(true);
    } else if (w.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        setPointerGrab(false);
    }
}

void enqueue(const InputMsg& msg)
{
    if ((g_events.idcmp & msg.Class) == 0) {
        return;
    }
    if (msg.Class == IDCMP_MOUSEMOVE && g_events.pendingMove >= 0) {
        InputMsg& m = g_events.queue[g_events.pendingMove];
        m.MouseX = clampToInt16(int32_t{m.MouseX} + msg.MouseX);
        m.MouseY = clampToInt16(int32_t{m.MouseY} + msg.MouseY);
        m.Qualifier = msg.Qualifier;
        return;
    }
    const int index = (g_events.head + g_events.count) % kQueueSize;
    g_events.queue[index] = msg;
    ++g_events.count;
    if (msg.Class == IDCMP_MOUSEMOVE) {
        g_events.pendingMove = index;
    }
}

// Takes SDL's events while the ring has room for one more event's messages.
void pumpEvents()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        return;
    }
    SDL_Event event;
    while (g_events.count + kMaxMsgsPerEvent <= kQueueSize && SDL_PollEvent(&event) == 1) {
        if (event.type == SDL_QUIT) {
            g_events.quit = true;
            continue;
        }
        if (event.type == SDL_WINDOWEVENT) {
            handleWindowEvent(event.window);
            continue;
        }
        InputMsg msgs[kMaxMsgsPerEvent];
        const int n = platformTranslateEvent(event, msgs, kMaxMsgsPerEvent);
        for (int i = 0; i < n; ++i) {
            enqueue(msgs[i]);
        }
    }
}

} // namespace

void platformModifyIDCMP(void* window, uint32_t flags)
{
    const bool hadMove = (g_events.idcmp & IDCMP_MOUSEMOVE) != 0;
    const bool hasMove = (flags & IDCMP_MOUSEMOVE) != 0;
    g_events.idcmp = flags;
    g_events.window = window;
    if (hasMove && windowHasFocus(window)) {
        setPointerGrab(true);
    } else if (hadMove && !hasMove) {
        setPointerGrab(false);
    }
}

bool platformGetInputMsg(InputMsg* out)
{
    if (g_events.count == 0) {
        pumpEvents();
    }
    if (g_events.count == 0) {
        return false;
    }
    *out = g_events.queue[g_events.head];
    if (g_events.pendingMove == g_events.head) {
        g_events.pendingMove = -1;
    }
    g_events.head = (g_events.head + 1) % kQueueSize;
    --g_events.count;
    return true;
}

void platformReplyInputMsg(InputMsg* msg)
{}

bool platformPutInputMsg(const InputMsg& msg)
{
    if (g_events.count >= kQueueSize) {
        return false;
    }
    if ((g_events.idcmp & msg.Class) == 0) {
        return true;
    }
    const int index = (g_events.head + g_events.count) % kQueueSize;
    g_events.queue[index] = msg;
    ++g_events.count;
    g_events.pendingMove = -1;
    return true;
}

bool platformQuitRequested()
{
    return g_events.quit;
}

void platformLendPointer(bool released)
{
    if (released) {
        setPointerGrab(false);
    } else if ((g_events.idcmp & IDCMP_MOUSEMOVE) != 0 && windowHasFocus(g_events.window)) {
        setPointerGrab(true);
    }
}

void platformResetInput()
{
    if ((g_events.idcmp & IDCMP_MOUSEMOVE) != 0) {
        setPointerGrab(false);
    }
    g_events.head = 0;
    g_events.count = 0;
    g_events.pendingMove = -1;
    g_events.idcmp = 0;
    g_events.window = nullptr;
    g_events.quit = false;
}

int platformTranslateEvent(const SDL_Event& event, InputMsg* out, int max)
{
    if (out == nullptr || max < 1) {
        return 0;
    }
    *out = InputMsg{};
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: return translateKey(event.key, out);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return translateButton(event.button, out);
    case SDL_MOUSEWHEEL: return translateWheel(event.wheel, out);
    case SDL_MOUSEMOTION: return translateMotion(event.motion, out);
    default: return 0;
    }
}

int platformTranslateRawKey(int raw)
{
    if (raw < 0 || raw > 127) {
        return -1;
    }
    if (raw >= 64) {
        return 0;
    }
    if (const int pad = padCharacter(raw); pad != 0) {
        return pad;
    }
    const SDL_Scancode scancode = kRawToScan[raw];
    if (scancode == SDL_SCANCODE_UNKNOWN) {
        return 0;
    }
    const int key = g_events.lookup(static_cast<int>(scancode));
    // Key codes of printable keys are their Unicode character; anything
    // above 255 (another script, or a scancode-masked key) has no Latin-1 one.
    return (key >= 1 && key <= 255) ? key : 0;
}

void platformSetKeyLookup(PlatformKeyLookup lookup)
{
    g_events.lookup = lookup != nullptr ? lookup : sdlKeyLookup;
}
