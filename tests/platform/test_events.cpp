// SDL events as window messages: keys, buttons, wheel and motion, the
// message port (merging of moves, class filter, quit), and the keymap.  The
// key table as a whole is tested through the engine's key slots
// (engine/test_input.cpp).
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/events.h"

namespace {

using Msgs = std::vector<std::string>;

constexpr uint32_t kAllClasses =
    IDCMP_MOUSEBUTTONS | IDCMP_MOUSEMOVE | IDCMP_RAWKEY | IDCMP_DELTAMOVE;

SDL_Event keyEvent(SDL_Scancode sc, bool down, Uint16 mod = KMOD_NONE, Uint8 repeat = 0)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.repeat = repeat;
    e.key.keysym.scancode = sc;
    e.key.keysym.mod = mod;
    return e;
}

SDL_Event buttonEvent(Uint8 button, bool down)
{
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
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

// "key 0x20", "button 0xe8", "move 3 -1" (with a check of the move code).
std::string describe(const InputMsg& m)
{
    char text[40];
    if (m.Class == IDCMP_MOUSEMOVE) {
        EXPECT_EQ(m.Code, IECODE_NOBUTTON);
        std::snprintf(text, sizeof text, "move %d %d", m.MouseX, m.MouseY);
    } else {
        const char* cls = m.Class == IDCMP_RAWKEY ? "key" : "button";
        std::snprintf(text, sizeof text, "%s %#x", cls, m.Code);
    }
    return text;
}

// The message an event gives, described; "" when it gives none.
std::string translate(const SDL_Event& e)
{
    InputMsg out[kMaxMsgsPerEvent];
    const int n = platformTranslateEvent(e, out, kMaxMsgsPerEvent);
    EXPECT_LE(n, 1);
    return n == 1 ? describe(out[0]) : "";
}

// Every pending message, described.
Msgs drain()
{
    Msgs msgs;
    InputMsg m;
    while (platformGetInputMsg(&m)) {
        msgs.push_back(describe(m));
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
        TearDown();
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

TEST_F(Events, EventsTranslateToIntuitionMessages)
{
    const struct {
        const char* what;
        SDL_Event event;
        const char* msg;
    } cases[] = {
        {"A by its position", keyEvent(SDL_SCANCODE_A, true), "key 0x20"},
        {"grave, first key", keyEvent(SDL_SCANCODE_GRAVE, true), "key 0"},
        {"ISO key left of Z", keyEvent(SDL_SCANCODE_NONUSBACKSLASH, true), "key 0x30"},
        {"release sets bit 7", keyEvent(SDL_SCANCODE_A, false), "key 0xa0"},
        {"modifiers keep the code", keyEvent(SDL_SCANCODE_A, true, KMOD_LSHIFT), "key 0x20"},
        {"F12 at slot 239", keyEvent(SDL_SCANCODE_F12, true), "key 0x6f"},
        {"repeat", keyEvent(SDL_SCANCODE_A, true, KMOD_NONE, 1), ""},
        {"key without a name", keyEvent(SDL_SCANCODE_HOME, true), ""},
        {"caps lock", keyEvent(SDL_SCANCODE_CAPSLOCK, true), ""},
        {"left button", buttonEvent(SDL_BUTTON_LEFT, true), "button 0x68"},
        {"middle button up", buttonEvent(SDL_BUTTON_MIDDLE, false), "button 0xea"},
        {"side button", buttonEvent(SDL_BUTTON_X1, true), ""},
        {"wheel up, 3 notches", wheelEvent(3), "key 0x7a"},
        {"wheel down", wheelEvent(-2), "key 0x7b"},
        {"wheel up, flipped", wheelEvent(1, true), "key 0x7b"},
        {"wheel still", wheelEvent(0), ""},
        {"motion", motionEvent(-5, 7), "move -5 7"},
        {"motion clamped to 16 bits", motionEvent(100000, -100000), "move 32767 -32768"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(translate(c.event), c.msg) << c.what;
    }
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    EXPECT_EQ(translate(text), "");
    InputMsg out;
    EXPECT_EQ(platformTranslateEvent(keyEvent(SDL_SCANCODE_A, true), &out, 0), 0);

    // Modifiers and the number pad only reach the qualifier.
    const SDL_Event shifted = keyEvent(SDL_SCANCODE_A, true, KMOD_LSHIFT | KMOD_RCTRL);
    ASSERT_EQ(platformTranslateEvent(shifted, &out, 1), 1);
    EXPECT_EQ(out.Qualifier, IEQUALIFIER_LSHIFT | IEQUALIFIER_CONTROL);
    ASSERT_EQ(platformTranslateEvent(keyEvent(SDL_SCANCODE_KP_7, true), &out, 1), 1);
    EXPECT_EQ(out.Qualifier, IEQUALIFIER_NUMERICPAD);
}

TEST_F(Events, NoKeyCodeCollidesWithTheButtonOrWheelCodes)
{
    // The engine reads codes 0x68..0x6A and 0x7A/0x7B (with or without bit 7)
    // as buttons and wheel whatever the class, so no key may send them.
    for (int sc = SDL_SCANCODE_UNKNOWN; sc < SDL_NUM_SCANCODES; ++sc) {
        for (bool down : {true, false}) {
            InputMsg m;
            if (platformTranslateEvent(keyEvent(static_cast<SDL_Scancode>(sc), down), &m, 1) == 0) {
                continue;
            }
            const int raw = m.Code & ~IECODE_UP_PREFIX;
            EXPECT_LT(m.Code, 0x100);
            EXPECT_FALSE(raw >= IECODE_LBUTTON && raw <= IECODE_MBUTTON) << sc;
            EXPECT_FALSE(raw == RAWKEY_NM_WHEEL_UP || raw == RAWKEY_NM_WHEEL_DOWN) << sc;
        }
    }
}

TEST_F(Events, KeymapGivesTheUnshiftedLatin1CharacterOfTheLayout)
{
    const struct {
        PlatformKeyLookup layout;   // null: SDL's own (US under the offscreen driver)
        int raw;
        int character;
    } cases[] = {
        {nullptr, 0x20, 'a'}, {nullptr, 0x01, '1'}, {nullptr, 0x0D, '\\'},
        // Keys of 64 and above have no character; codes outside 0..127 are refused.
        {nullptr, 0x40, 0}, {nullptr, 0x7F, 0}, {nullptr, 128, -1}, {nullptr, -1, -1},
        {[](int) { return 0xF6; }, 0x29, 0xF6},   // o-umlaut
        {[](int) { return 0x2C6; }, 0x00, 0},     // outside Latin-1
        {[](int) { return 0; }, 0x0C, 0},         // no key code
        // The pad's characters are fixed, whatever the layout.
        {[](int) { return int{'x'}; }, 0x3D, 160}, {[](int) { return int{'x'}; }, 0x0F, 255},
        {[](int) { return int{'x'}; }, 0x0E, '/'}, {[](int) { return int{'x'}; }, 0x2C, '-'},
        {nullptr, 0x29, ';'},   // SDL's own again
    };
    for (const auto& c : cases) {
        platformSetKeyLookup(c.layout);
        EXPECT_EQ(platformTranslateRawKey(c.raw), c.character) << "raw " << c.raw;
    }
    // The raw code of a key does not depend on the layout.
    EXPECT_EQ(translate(keyEvent(SDL_SCANCODE_SEMICOLON, true)), "key 0x29");
}

TEST_F(Events, PortHandsOutTheRequestedClassesInOrderAndLosesNothing)
{
    push(keyEvent(SDL_SCANCODE_A, true));
    EXPECT_EQ(drain(), Msgs{});   // nothing requested yet

    platformModifyIDCMP(nullptr, kAllClasses);
    push(keyEvent(SDL_SCANCODE_A, true));
    push(buttonEvent(SDL_BUTTON_LEFT, true));
    push(wheelEvent(-1));
    push(keyEvent(SDL_SCANCODE_A, false));
    EXPECT_EQ(drain(), (Msgs{"key 0x20", "button 0x68", "key 0x7b", "key 0xa0"}));

    platformModifyIDCMP(nullptr, IDCMP_RAWKEY);
    push(motionEvent(1, 1));
    push(buttonEvent(SDL_BUTTON_LEFT, true));
    push(wheelEvent(1));
    EXPECT_EQ(drain(), Msgs{"key 0x7a"});

    // A full port (256 messages) leaves the rest with SDL.  Three keys in
    // turn, so that an overwritten message shows.
    platformModifyIDCMP(nullptr, kAllClasses);
    const SDL_Scancode keys[] = {SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D};
    const char* codes[] = {"key 0x20", "key 0x21", "key 0x22"};
    Msgs want;
    for (int i = 0; i < 600; ++i) {
        push(keyEvent(keys[i % 3], true));
        want.push_back(codes[i % 3]);
    }
    EXPECT_EQ(drain(), want);
}

TEST_F(Events, PendingMovesMergeButPutMessagesStayAsTheyAre)
{
    platformModifyIDCMP(nullptr, kAllClasses);
    push(motionEvent(3, -1));
    push(buttonEvent(SDL_BUTTON_LEFT, true));
    push(motionEvent(4, 2));
    push(motionEvent(30000, 0));
    push(motionEvent(30000, 0));
    EXPECT_EQ(drain(), (Msgs{"move 32767 1", "button 0x68"}));   // saturated

    // Once taken, a move message is closed: the next motion starts a new one.
    push(motionEvent(2, 2));
    EXPECT_EQ(drain(), Msgs{"move 2 2"});

    // Put messages are never merged; SDL's motion comes with the pump after them.
    push(motionEvent(5, 5));
    for (int16_t dx : {1, 9}) {
        ASSERT_TRUE(platformPutInputMsg(InputMsg{IDCMP_MOUSEMOVE, IECODE_NOBUTTON, 0, dx, 1}));
    }
    EXPECT_EQ(drain(), (Msgs{"move 1 1", "move 9 1", "move 5 5"}));
}

TEST_F(Events, QuitIsReportedAndResetClearsItWithThePendingMessages)
{
    platformModifyIDCMP(nullptr, kAllClasses);
    EXPECT_FALSE(platformQuitRequested());
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    push(keyEvent(SDL_SCANCODE_A, true));
    EXPECT_EQ(drain(), Msgs{"key 0x20"});
    EXPECT_TRUE(platformQuitRequested());

    ASSERT_TRUE(platformPutInputMsg(InputMsg{IDCMP_RAWKEY, 0x20, 0, 0, 0}));
    platformResetInput();
    EXPECT_FALSE(platformQuitRequested());
    EXPECT_EQ(drain(), Msgs{});
}

}  // namespace
