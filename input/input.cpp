// input.cpp — the key table, the window messages and the held-key dispatch.
#include "input/input.h"

#include <cstring>
#include <strings.h>

#include "core/common.h"
#include "platform/display.h"

CInput* KeyInput = nullptr;
void* g_window = nullptr;

namespace {

constexpr int32_t kKeyCount = 256;

// Raw codes above this are the non-character keys; their slot is raw + 128.
constexpr int kFirstNonCharRaw = 64;
constexpr int kRawToSlotOffset = 128;

struct KeyDef {
    const char* name;
    int code;
};

// In definition order: a later name at the same code replaces the earlier
// one (K_F12, K_AE, K_Z0, K_ZPUNKT, K_ZENTER and K_PGUP do not survive).
constexpr KeyDef kKeyDefs[] = {
    {"K_ESCAPE", 197},     {"K_SPACE", 192},  {"K_ARROWLEFT", 207}, {"K_ARROWRIGHT", 206}, {"K_ARROWUP", 204},
    {"K_ARROWDOWN", 205},  {"K_A", 'a'},      {"K_B", 'b'},         {"K_C", 'c'},          {"K_D", 'd'},
    {"K_E", 'e'},          {"K_F", 'f'},      {"K_G", 'g'},         {"K_H", 'h'},          {"K_I", 'i'},
    {"K_J", 'j'},          {"K_K", 'k'},      {"K_L", 'l'},         {"K_M", 'm'},          {"K_N", 'n'},
    {"K_O", 'o'},          {"K_P", 'p'},      {"K_Q", 'q'},         {"K_R", 'r'},          {"K_S", 's'},
    {"K_T", 't'},          {"K_U", 'u'},      {"K_V", 'v'},         {"K_W", 'w'},          {"K_X", 'x'},
    {"K_Y", 'y'},          {"K_Z", 'z'},      {"K_OE", 246},        {"K_AE", 228},         {"K_UE", 252},
    {"K_F1", 208},         {"K_F2", 209},     {"K_F3", 210},        {"K_F4", 211},         {"K_F5", 212},
    {"K_F6", 213},         {"K_F7", 214},     {"K_F8", 215},        {"K_F9", 216},         {"K_F10", 217},
    {"K_F11", 203},        {"K_F12", 239},    {"K_RETURN", 196},    {"K_0", '0'},          {"K_1", '1'},
    {"K_2", '2'},          {"K_3", '3'},      {"K_4", '4'},         {"K_5", '5'},          {"K_6", '6'},
    {"K_7", '7'},          {"K_8", '8'},      {"K_9", '9'},         {"K_Z1", 166},         {"K_Z2", 167},
    {"K_Z3", 168},         {"K_Z4", 163},     {"K_Z5", 164},        {"K_Z6", 165},         {"K_Z7", 160},
    {"K_Z8", 161},         {"K_Z9", 162},     {"K_RSHIFT", 225},    {"K_LSHIFT", 224},     {"K_MWHEELUP", 240},
    {"K_MWHEELDOWN", 239}, {"K_MOUSE1", 200}, {"K_MOUSE2", 201},    {"K_MOUSE3", 202},     {"K_PUNKT", 46},
    {"K_KOMMA", 44},       {"K_BS", 92},      {"K_ZSL", 47},        {"K_ZMUL", 42},        {"K_ZSUB", 45},
    {"K_ZADD", 43},        {"K_Z0", 255},     {"K_ZPUNKT", 255},    {"K_ZENTER", 255},     {"K_PGUP", 255},
    {"K_PGDN", 255},       {"K_CTRL", 227},   {"K_TAB", 226},       {"K_LALT", 228},       {"K_RALT", 229},
    {"K_LAMIGA", 230},     {"K_RAMIGA", 231}, {"K_DEL", 198},       {"K_HELP", 223},
};

} // namespace

CInput::CInput() : window(nullptr), msg(nullptr), keycount(0), keys(nullptr), mousemoved(0), mousedx(0), mousedy(0)
{
    Init();
}

CInput::~CInput()
{
    platformModifyIDCMP(window, 0);
    releaseSlots();
    if (g_window == window) {
        g_window = nullptr;
    }
}

void CInput::releaseSlots()
{
    if (keys == nullptr) {
        return;
    }
    for (int32_t i = 0; i < keycount; ++i) {
        delete keys[i].state;
        delete[] keys[i].name;
    }
    delete[] keys;
    keys = nullptr;
}

void CInput::Init()
{
    releaseSlots();
    keycount = kKeyCount;
    keys = new t_keyslot[kKeyCount]();
    for (const KeyDef& def : kKeyDefs) {
        defKey(def.name, def.code);
    }
    window = mglGetWindowHandle();
    g_window = window;
    platformModifyIDCMP(window, IDCMP_MOUSEBUTTONS | IDCMP_MOUSEMOVE | IDCMP_RAWKEY | IDCMP_DELTAMOVE);
}

int CInput::defKey(const char* name, int code)
{
    if (name == nullptr || code < 0 || code >= keycount) {
        return 0;
    }
    t_keyslot& slot = keys[code];
    // A redefinition replaces the earlier name and state instead of leaking them.
    delete slot.state;
    delete[] slot.name;
    slot.state = new uint8_t(0);
    slot.name = newStringCopy(name);
    slot.handler = nullptr;
    return 1;
}

t_keyslot* CInput::getskeyaddr(const char* name)
{
    if (name == nullptr) {
        return nullptr;
    }
    for (int32_t i = 0; i < keycount; ++i) {
        if (keys[i].name != nullptr && strcasecmp(keys[i].name, name) == 0) {
            return &keys[i];
        }
    }
    return nullptr;
}

void CInput::setKey(const char* name, uint8_t state)
{
    t_keyslot* slot = getskeyaddr(name);
    if (slot != nullptr && slot->state != nullptr) {
        *slot->state = state;
    }
}

void CInput::handleMessage(const InputMsg& m)
{
    if (m.Class == IDCMP_RAWKEY) {
        const bool up = (m.Code & IECODE_UP_PREFIX) != 0;
        const int raw = m.Code & ~IECODE_UP_PREFIX;
        const int code = raw < kFirstNonCharRaw ? amiga_TranslateKey(raw) : raw + kRawToSlotOffset;
        if (code < keycount && keys[code].state != nullptr) {
            *keys[code].state = up ? 0 : 1;
        }
    }
    // By the code alone, whatever the class (the wheel comes as a raw key).
    switch (m.Code) {
    case RAWKEY_NM_WHEEL_UP: setKey("K_MWHEELUP", 1); break;
    case RAWKEY_NM_WHEEL_DOWN: setKey("K_MWHEELDOWN", 1); break;
    case IECODE_LBUTTON: setKey("K_MOUSE1", 1); break;
    case IECODE_LBUTTON | IECODE_UP_PREFIX: setKey("K_MOUSE1", 0); break;
    case IECODE_RBUTTON: setKey("K_MOUSE2", 1); break;
    case IECODE_RBUTTON | IECODE_UP_PREFIX: setKey("K_MOUSE2", 0); break;
    case IECODE_MBUTTON: setKey("K_MOUSE3", 1); break;
    case IECODE_MBUTTON | IECODE_UP_PREFIX: setKey("K_MOUSE3", 0); break;
    default: break;
    }
    if (m.Class == IDCMP_MOUSEMOVE) {
        mousemoved = 1;
        mousedx = m.MouseX;
        mousedy = m.MouseY;
    }
}

void CInput::update()
{
    setKey("K_MWHEELUP", 0);
    setKey("K_MWHEELDOWN", 0);
    InputMsg m;
    while (platformGetInputMsg(&m)) {
        msg = &m;
        handleMessage(m);
        platformReplyInputMsg(&m);
    }
    msg = nullptr;
    if (platformQuitRequested()) {
        g_bquit = 1;
    }
}

void CInput::start()
{
    // Index loop: a handler may bind or redefine keys while we walk.
    for (int32_t code = 0; code < keycount; ++code) {
        const t_keyslot& slot = keys[code];
        if (slot.name != nullptr && slot.state != nullptr && *slot.state == 1 && slot.handler != nullptr) {
            const cvar copy = slot.arg;
            slot.handler(copy);
        }
    }
}

void CInput::endframe()
{
    mousedx = 0;
    mousedy = 0;
    mousemoved = 0;
}

int amiga_TranslateKey(int raw)
{
    const int c = platformTranslateRawKey(raw);
    if (c < 0) {
        return 0;
    }
    return c == 0 ? 1 : c;
}
