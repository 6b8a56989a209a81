// SDL events as window messages: the key table, buttons, wheel and motion,
// the message port (merging of moves, class filter, quit), and the keymap.
#include <gtest/gtest.h>

#include <SDL.h>

#include <vector>

#include "platform/display.h"
#include "platform/events.h"

namespace {

constexpr uint32_t kAllClasses =
    IDCMP_MOUSEBUTTONS | IDCMP_MOUSEMOVE | IDCMP_RAWKEY | IDCMP_DELTAMOVE;

SDL_Event keyEvent(SDL_Scancode sc, bool down, Uint16 mod = KMOD_NONE, Uint8 repeat = 0)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
    e.key.keysym.mod = mod;
    return e;
}

SDL_Event buttonEvent(Uint8 button, bool down)
{
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    return e;
}

SDL_Event wheelEvent(int y, bool flipped = false)
{
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    return e;
}

SDL_Event motionEvent(int dx, int dy)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    return e;
}

// The single message an event gives; Class 0 when it gives none.
InputMsg translate(const SDL_Event& e)
{
    InputMsg out[kMaxMsgsPerEvent];
    const int n = platformTranslateEvent(e, out, kMaxMsgsPerEvent);
    EXPECT_LE(n, 1);
    return n == 1 ? out[0] : InputMsg{};
}

uint16_t rawDown(SDL_Scancode sc)
{
    const InputMsg m = translate(keyEvent(sc, true));
    EXPECT_EQ(m.Class, IDCMP_RAWKEY) << "scancode " << sc;
    return m.Code;
}

std::vector<InputMsg> drain()
{
    std::vector<InputMsg> msgs;
    InputMsg m;
    while (platformGetInputMsg(&m)) {
        msgs.push_back(m);
        platformReplyInputMsg(&m);
    }
    return msgs;
}

// SDL's video (and so its event queue and keymap) is started once; every
// test starts from an empty port and queue.
class Events : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platformUseHeadlessDrivers();
        videoUp_ = MGLInit() != 0;
    }
    void SetUp() override
    {
        ASSERT_TRUE(videoUp_) << mglGetLastError();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        platformResetInput();
        platformSetKeyLookup(nullptr);
    }
    void TearDown() override
    {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        platformResetInput();
        platformSetKeyLookup(nullptr);
    }
    static void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    static inline bool videoUp_ = false;
};

TEST_F(Events, CharacterKeysUseTheirPositionOnTheOriginalKeyboard)
{
    EXPECT_EQ(rawDown(SDL_SCANCODE_GRAVE), 0x00);
    EXPECT_EQ(rawDown(SDL_SCANCODE_0), 0x0A);
    EXPECT_EQ(rawDown(SDL_SCANCODE_Q), 0x10);
    EXPECT_EQ(rawDown(SDL_SCANCODE_A), 0x20);
    EXPECT_EQ(rawDown(SDL_SCANCODE_NONUSBACKSLASH), 0x30);
    EXPECT_EQ(rawDown(SDL_SCANCODE_SLASH), 0x3A);
    // Other keys: raw + 128 is their name's code.
    EXPECT_EQ(rawDown(SDL_SCANCODE_TAB), 226 - 128);         // K_TAB
    EXPECT_EQ(rawDown(SDL_SCANCODE_F12), 239 - 128);         // K_F12
    EXPECT_EQ(rawDown(SDL_SCANCODE_PAGEDOWN), 255 - 128);    // K_PGDN
}

TEST_F(Events, ReleaseSetsBitSevenAndModifiersOnlyReachTheQualifier)
{
    const InputMsg up = translate(keyEvent(SDL_SCANCODE_A, false));
    EXPECT_EQ(up.Class, IDCMP_RAWKEY);
    EXPECT_EQ(up.Code, 0x20 | IECODE_UP_PREFIX);

    const InputMsg shifted = translate(keyEvent(SDL_SCANCODE_A, true, KMOD_LSHIFT | KMOD_RCTRL));
    EXPECT_EQ(shifted.Code, 0x20);
    EXPECT_EQ(shifted.Qualifier & (IEQUALIFIER_LSHIFT | IEQUALIFIER_CONTROL),
              IEQUALIFIER_LSHIFT | IEQUALIFIER_CONTROL);
    EXPECT_EQ(shifted.Qualifier & IEQUALIFIER_RSHIFT, 0);
}

TEST_F(Events, NoKeyCodeCollidesWithTheButtonOrWheelCodes)
{
    // The engine reads codes 0x68..0x6A and 0x7A/0x7B (with or without bit 7)
    // as buttons and wheel whatever the class, so no key may send them.
    for (int sc = SDL_SCANCODE_UNKNOWN; sc < SDL_NUM_SCANCODES; ++sc) {
        for (bool down : {true, false}) {
            const InputMsg m = translate(keyEvent(static_cast<SDL_Scancode>(sc), down));
            if (m.Class == 0) {
                continue;
            }
            const int raw = m.Code & ~IECODE_UP_PREFIX;
            EXPECT_LT(m.Code, 0x100);
            EXPECT_FALSE(raw >= IECODE_LBUTTON && raw <= IECODE_MBUTTON) << "scancode " << sc;
            EXPECT_FALSE(raw == RAWKEY_NM_WHEEL_UP || raw == RAWKEY_NM_WHEEL_DOWN)
                << "scancode " << sc;
        }
    }
}

TEST_F(Events, NumberPadKeysTranslateToTheirTableCodes)
{
    struct {
        SDL_Scancode sc;
        int raw;
        int character;
    } const pad[] = {
        {SDL_SCANCODE_KP_1, 0x1D, 166}, {SDL_SCANCODE_KP_2, 0x1E, 167},
        {SDL_SCANCODE_KP_3, 0x1F, 168}, {SDL_SCANCODE_KP_4, 0x2D, 163},
        {SDL_SCANCODE_KP_5, 0x2E, 164}, {SDL_SCANCODE_KP_6, 0x2F, 165},
        {SDL_SCANCODE_KP_7, 0x3D, 160}, {SDL_SCANCODE_KP_8, 0x3E, 161},
        {SDL_SCANCODE_KP_9, 0x3F, 162}, {SDL_SCANCODE_KP_0, 0x0F, 255},
        {SDL_SCANCODE_KP_PERIOD, 0x3C, 255}, {SDL_SCANCODE_KP_DIVIDE, 0x0E, '/'},
        {SDL_SCANCODE_KP_MULTIPLY, 0x1C, '*'}, {SDL_SCANCODE_KP_MINUS, 0x2C, '-'},
        {SDL_SCANCODE_KP_PLUS, 0x3B, '+'},
    };
    // A layout that claims every key: the pad must not depend on it.
    platformSetKeyLookup([](int) { return int{'x'}; });
    for (const auto& p : pad) {
        const InputMsg m = translate(keyEvent(p.sc, true));
        EXPECT_EQ(m.Code, p.raw) << "scancode " << p.sc;
        EXPECT_NE(m.Qualifier & IEQUALIFIER_NUMERICPAD, 0);
        EXPECT_EQ(platformTranslateRawKey(p.raw), p.character) << "raw " << p.raw;
    }
}

TEST_F(Events, RepeatsAndKeysWithoutANameSendNothing)
{
    EXPECT_EQ(translate(keyEvent(SDL_SCANCODE_A, true, KMOD_NONE, 1)).Class, 0u);
    EXPECT_EQ(translate(keyEvent(SDL_SCANCODE_CAPSLOCK, true)).Class, 0u);
    EXPECT_EQ(translate(keyEvent(SDL_SCANCODE_HOME, true)).Class, 0u);
    EXPECT_EQ(translate(keyEvent(SDL_SCANCODE_END, true)).Class, 0u);
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    EXPECT_EQ(translate(text).Class, 0u);
    InputMsg out;
    EXPECT_EQ(platformTranslateEvent(keyEvent(SDL_SCANCODE_A, true), &out, 0), 0);
}

TEST_F(Events, MouseButtonsUseTheIntuitionButtonCodes)
{
    const struct {
        Uint8 button;
        uint16_t down;
    } buttons[] = {{SDL_BUTTON_LEFT, 0x68}, {SDL_BUTTON_RIGHT, 0x69}, {SDL_BUTTON_MIDDLE, 0x6A}};
    for (const auto& b : buttons) {
        const InputMsg down = translate(buttonEvent(b.button, true));
        EXPECT_EQ(down.Class, IDCMP_MOUSEBUTTONS);
        EXPECT_EQ(down.Code, b.down);
        const InputMsg up = translate(buttonEvent(b.button, false));
        EXPECT_EQ(up.Class, IDCMP_MOUSEBUTTONS);
        EXPECT_EQ(up.Code, b.down | 0x80);
    }
    EXPECT_EQ(translate(buttonEvent(SDL_BUTTON_X1, true)).Class, 0u);
}

TEST_F(Events, WheelNotchesAreRawKeysInTheirDirection)
{
    EXPECT_EQ(translate(wheelEvent(1)).Code, 0x7A);
    EXPECT_EQ(translate(wheelEvent(3)).Code, 0x7A);
    EXPECT_EQ(translate(wheelEvent(-2)).Code, 0x7B);
    EXPECT_EQ(translate(wheelEvent(1)).Class, IDCMP_RAWKEY);
    EXPECT_EQ(translate(wheelEvent(1, true)).Code, 0x7B);
    EXPECT_EQ(translate(wheelEvent(0)).Class, 0u);
}

TEST_F(Events, MotionGivesDeltasClampedToSixteenBits)
{
    const InputMsg m = translate(motionEvent(-5, 7));
    EXPECT_EQ(m.Class, IDCMP_MOUSEMOVE);
    EXPECT_EQ(m.Code, IECODE_NOBUTTON);
    EXPECT_EQ(m.MouseX, -5);
    EXPECT_EQ(m.MouseY, 7);
    const InputMsg big = translate(motionEvent(100000, -100000));
    EXPECT_EQ(big.MouseX, 32767);
    EXPECT_EQ(big.MouseY, -32768);
}

TEST_F(Events, KeymapGivesTheUnshiftedCharacterOfTheLayout)
{
    // The offscreen driver keeps SDL's default (US) layout.
    EXPECT_EQ(platformTranslateRawKey(0x20), 'a');
    EXPECT_EQ(platformTranslateRawKey(0x01), '1');
    EXPECT_EQ(platformTranslateRawKey(0x0D), '\\');
    // Keys of 64 and above have no character; codes outside 0..127 are refused.
    EXPECT_EQ(platformTranslateRawKey(0x40), 0);
    EXPECT_EQ(platformTranslateRawKey(0x7F), 0);
    EXPECT_EQ(platformTranslateRawKey(128), -1);
    EXPECT_EQ(platformTranslateRawKey(-1), -1);
}

int germanLayout(int scancode)
{
    switch (scancode) {
    case SDL_SCANCODE_Y: return 'z';
    case SDL_SCANCODE_Z: return 'y';
    case SDL_SCANCODE_SEMICOLON: return 0xF6;     // o-umlaut
    case SDL_SCANCODE_APOSTROPHE: return 0xE4;    // a-umlaut
    case SDL_SCANCODE_LEFTBRACKET: return 0xFC;   // u-umlaut
    case SDL_SCANCODE_MINUS: return 0xDF;         // sharp s
    case SDL_SCANCODE_GRAVE: return 0x2C6;        // dead circumflex: outside Latin-1
    case SDL_SCANCODE_EQUALS: return 0;           // no key code
    default: return SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode));
    }
}

TEST_F(Events, KeymapFollowsTheLayoutIncludingLatin1)
{
    platformSetKeyLookup(germanLayout);
    EXPECT_EQ(platformTranslateRawKey(0x15), 'z');    // the key right of T
    EXPECT_EQ(platformTranslateRawKey(0x31), 'y');
    EXPECT_EQ(platformTranslateRawKey(0x29), 0xF6);
    EXPECT_EQ(platformTranslateRawKey(0x2A), 0xE4);
    EXPECT_EQ(platformTranslateRawKey(0x1A), 0xFC);
    EXPECT_EQ(platformTranslateRawKey(0x0B), 0xDF);
    EXPECT_EQ(platformTranslateRawKey(0x00), 0);
    EXPECT_EQ(platformTranslateRawKey(0x0C), 0);
    // The raw code of a key does not depend on the layout.
    EXPECT_EQ(rawDown(SDL_SCANCODE_SEMICOLON), 0x29);
    platformSetKeyLookup(nullptr);
    EXPECT_EQ(platformTranslateRawKey(0x29), ';');
}

TEST_F(Events, PortHandsOutMessagesInOrder)
{
    platformModifyIDCMP(nullptr, kAllClasses);
    push(keyEvent(SDL_SCANCODE_A, true));
    push(buttonEvent(SDL_BUTTON_LEFT, true));
    push(wheelEvent(-1));
    push(keyEvent(SDL_SCANCODE_A, false));
    const std::vector<InputMsg> msgs = drain();
    ASSERT_EQ(msgs.size(), 4u);
    EXPECT_EQ(msgs[0].Code, 0x20);
    EXPECT_EQ(msgs[1].Code, 0x68);
    EXPECT_EQ(msgs[2].Code, 0x7B);
    EXPECT_EQ(msgs[3].Code, 0xA0);
    InputMsg m;
    EXPECT_FALSE(platformGetInputMsg(&m));
}

TEST_F(Events, PendingMovesMergeIntoOneMessage)
{
    platformModifyIDCMP(nullptr, kAllClasses);
    push(motionEvent(3, -1));
    push(buttonEvent(SDL_BUTTON_LEFT, true));
    push(motionEvent(4, 2));
    push(motionEvent(30000, 0));
    push(motionEvent(30000, 0));
    std::vector<InputMsg> msgs = drain();
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].Class, IDCMP_MOUSEMOVE);
    EXPECT_EQ(msgs[0].MouseX, 32767);   // 3 + 4 + 60000, saturated
    EXPECT_EQ(msgs[0].MouseY, 1);
    EXPECT_EQ(msgs[1].Code, 0x68);

    // Once taken, a move message is closed: the next motion starts a new one.
    push(motionEvent(2, 2));
    msgs = drain();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].MouseX, 2);
}

TEST_F(Events, PutMessagesStayAsTheyAre)
{
    platformModifyIDCMP(nullptr, kAllClasses);
    InputMsg move{IDCMP_MOUSEMOVE, IECODE_NOBUTTON, 0, 1, 1};
    ASSERT_TRUE(platformPutInputMsg(move));
    move.MouseX = 9;
    ASSERT_TRUE(platformPutInputMsg(move));
    push(motionEvent(5, 5));
    // The SDL motion comes with the pump after the put messages, as a
    // message of its own.
    const std::vector<InputMsg> msgs = drain();
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[0].MouseX, 1);
    EXPECT_EQ(msgs[1].MouseX, 9);
    EXPECT_EQ(msgs[2].MouseX, 5);
}

TEST_F(Events, OnlyTheRequestedClassesAreDelivered)
{
    push(keyEvent(SDL_SCANCODE_A, true));
    EXPECT_TRUE(drain().empty());   // nothing requested yet

    platformModifyIDCMP(nullptr, IDCMP_RAWKEY);
    push(motionEvent(1, 1));
    push(buttonEvent(SDL_BUTTON_LEFT, true));
    push(wheelEvent(1));
    const std::vector<InputMsg> msgs = drain();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].Code, 0x7A);
}

TEST_F(Events, AFullPortLeavesTheRestWithSdl)
{
    platformModifyIDCMP(nullptr, kAllClasses);
    constexpr int kEvents = 600;
    for (int i = 0; i < kEvents; ++i) {
        push(keyEvent(SDL_SCANCODE_A, i % 2 == 0));
    }
    const std::vector<InputMsg> msgs = drain();
    ASSERT_EQ(msgs.size(), static_cast<size_t>(kEvents));
    for (int i = 0; i < kEvents; ++i) {
        ASSERT_EQ(msgs[i].Code, i % 2 == 0 ? 0x20 : 0xA0) << "message " << i;
    }
}

TEST_F(Events, QuitIsReportedAndResetClearsIt)
{
    platformModifyIDCMP(nullptr, kAllClasses);
    EXPECT_FALSE(platformQuitRequested());
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    push(keyEvent(SDL_SCANCODE_A, true));
    const std::vector<InputMsg> msgs = drain();
    EXPECT_EQ(msgs.size(), 1u);
    EXPECT_TRUE(platformQuitRequested());
    platformResetInput();
    EXPECT_FALSE(platformQuitRequested());
}

TEST_F(Events, ResetDropsPendingMessages)
{
    platformModifyIDCMP(nullptr, kAllClasses);
    ASSERT_TRUE(platformPutInputMsg(InputMsg{IDCMP_RAWKEY, 0x20, 0, 0, 0}));
    platformResetInput();
    InputMsg m;
    EXPECT_FALSE(platformGetInputMsg(&m));
}

}  // namespace
