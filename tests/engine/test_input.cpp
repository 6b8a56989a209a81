// The key table: names and codes after Init, window events through the key
// slots, the wheel, mouse deltas, and the held-key dispatch with its frame
// defaults.

#include <SDL.h>

#include <cctype>
#include <memory>

#include "support/gl_frame.h"
#include "support/sdl_events.h"
#include "test_camera_fixture.h"

namespace {

using Names = std::vector<std::string>;

// Names at their codes, with a PC key that reaches each (none: the mouse
// has messages of its own).  Every letter and digit is added by the test;
// the rest is one of each kind and every code that keys or names share.
const struct { const char* name; int code; SDL_Scancode sc; } kKeyTable[] = {
    {"K_ESCAPE", 197, SDL_SCANCODE_ESCAPE}, {"K_SPACE", 192, SDL_SCANCODE_SPACE},
    {"K_ARROWLEFT", 207, SDL_SCANCODE_LEFT}, {"K_F1", 208, SDL_SCANCODE_F1},
    {"K_F10", 217, SDL_SCANCODE_F10}, {"K_F11", 203, SDL_SCANCODE_F11},
    {"K_MWHEELDOWN", 239, SDL_SCANCODE_F12}, {"K_MWHEELUP", 240, SDL_SCANCODE_UNKNOWN},
    {"K_MOUSE3", 202, SDL_SCANCODE_UNKNOWN}, {"K_Z1", 166, SDL_SCANCODE_KP_1},
    {"K_ZSL", 47, SDL_SCANCODE_SLASH}, {"K_ZSL", 47, SDL_SCANCODE_KP_DIVIDE},
    // The pad minus's original raw code would press K_MOUSE3.
    {"K_ZSUB", 45, SDL_SCANCODE_KP_MINUS}, {"K_PGDN", 255, SDL_SCANCODE_PAGEUP},
    {"K_PGDN", 255, SDL_SCANCODE_KP_ENTER}, {"K_CTRL", 227, SDL_SCANCODE_RCTRL},
    {"K_LSHIFT", 224, SDL_SCANCODE_LSHIFT}, {"K_HELP", 223, SDL_SCANCODE_INSERT},
};

std::vector<int> g_calls;   // ival of each handler call, in call order

// Records the call, then scribbles on its copy of the argument.
void recordCall(cvar v)
{
    g_calls.push_back(v.ival);
    v.ival = -1;
    std::strcpy(v.text, "changed");
}

// A German layout: Y and Z swapped, umlauts, a dead key outside Latin-1.
int germanLayout(int scancode)
{
    switch (scancode) {
    case SDL_SCANCODE_Y: return 'z';
    case SDL_SCANCODE_Z: return 'y';
    case SDL_SCANCODE_SEMICOLON: return 0xF6;
    case SDL_SCANCODE_APOSTROPHE: return 0xE4;
    case SDL_SCANCODE_GRAVE: return 0x2C6;
    default: return SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(scancode));
    }
}

// One CInput over the shared test window, with SDL's queue and the message
// port empty.
class Input : public CameraTest {
protected:
    void SetUp() override
    {
        CameraTest::SetUp();
        ASSERT_TRUE(ensureGLContext());
        resetPort();
        globals_.save(objmovespeed, fstart, fend, fdens);
        set(g_bquit, 0);
        g_calls.clear();
        input_ = std::make_unique<CInput>();
        KeyInput = input_.get();
    }
    void TearDown() override
    {
        input_.reset();
        resetPort();
    }
    static void resetPort()
    {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        platformResetInput();
        platformSetKeyLookup(nullptr);
    }

    static void key(SDL_Scancode sc, bool down, Uint16 mod = KMOD_NONE)
    {
        pushEvent(sdlEvent(down ? SDL_KEYDOWN : SDL_KEYUP, sc, 0, mod));
    }
    static void button(Uint8 b, bool down) { pushEvent(sdlEvent(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP, b)); }
    static void put(uint32_t cls, uint16_t code, int16_t dx = 0, int16_t dy = 0)
    {
        ASSERT_TRUE(platformPutInputMsg(InputMsg{cls, code, 0, dx, dy}));
    }

    // Names of the slots held after taking this frame's messages.
    Names heldAfterUpdate()
    {
        input_->update();
        Names names;
        for (int i = 0; i < input_->keycount; ++i) {
            if (input_->keys[i].state != nullptr && *input_->keys[i].state != 0) {
                names.push_back(input_->keys[i].name);
            }
        }
        return names;
    }
    void bind(const char* name, t_handler h, int ival)
    {
        t_keyslot* slot = input_->getskeyaddr(name);
        ASSERT_NE(slot, nullptr) << name;
        slot->handler = h;
        slot->arg.ival = ival;
    }

    std::unique_ptr<CInput> input_;
};

TEST_F(Input, EveryNameSitsAtItsCodeAndIsReachedByItsKeyAlone)
{
    ASSERT_EQ(input_->keycount, 256);
    int named = 0;
    for (int i = 0; i < input_->keycount; ++i) {
        named += input_->keys[i].name != nullptr ? 1 : 0;
    }
    EXPECT_EQ(named, 88);   // 94 definitions over 88 codes: nothing else is named
    // Names defined earlier at a code that a later name took over are gone.
    for (const char* name : {"K_F12", "K_AE", "K_Z0", "K_ZPUNKT", "K_ZENTER", "K_PGUP"}) {
        EXPECT_EQ(input_->getskeyaddr(name), nullptr) << name;
    }

    auto check = [this](const std::string& name, int code, SDL_Scancode sc) {
        SCOPED_TRACE(name);
        t_keyslot* slot = input_->getskeyaddr(name.c_str());
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(slot - input_->keys, code);
        EXPECT_TRUE(*slot->state == 0 && slot->handler == nullptr);
        if (sc != SDL_SCANCODE_UNKNOWN) {
            // Shift held never moves a key to another slot.
            key(sc, true, KMOD_LSHIFT);
            EXPECT_EQ(heldAfterUpdate(), Names{name});
            key(sc, false, KMOD_LSHIFT);
            EXPECT_EQ(heldAfterUpdate(), Names{});
        }
    };
    for (const auto& k : kKeyTable) {
        check(k.name, k.code, k.sc);
    }
    for (char c : std::string("abcdefghijklmnopqrstuvwxyz0123456789")) {
        const char upper = static_cast<char>(std::toupper(c));
        check(std::string("K_") + upper, c, SDL_GetScancodeFromKey(c));
    }
}

TEST_F(Input, TheLayoutDecidesTheSlotOfACharacterKey)
{
    platformSetKeyLookup(germanLayout);
    for (auto [sc, name] : {std::pair{SDL_SCANCODE_Y, "K_Z"}, {SDL_SCANCODE_Z, "K_Y"}, {SDL_SCANCODE_SEMICOLON, "K_OE"},
                            // The a-umlaut's code is K_LALT's after Init.
                            {SDL_SCANCODE_APOSTROPHE, "K_LALT"}}) {
        key(sc, true);
        EXPECT_EQ(heldAfterUpdate(), Names{name});
        key(sc, false);
        EXPECT_EQ(heldAfterUpdate(), Names{});
    }
    // A key without a Latin-1 character, and raw codes outside the table,
    // reach no slot.
    key(SDL_SCANCODE_GRAVE, true);
    put(IDCMP_RAWKEY, 0x1FF);
    put(IDCMP_RAWKEY, 0xFFFF);
    EXPECT_EQ(heldAfterUpdate(), Names{});
}

TEST_F(Input, MouseButtonsFollowDownAndUpAndTheWheelCountsForOneFrame)
{
    const Names names = {"K_MOUSE1", "K_MOUSE2", "K_MOUSE3"};
    const Uint8 buttons[] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE};
    for (int i = 0; i < 3; ++i) {
        button(buttons[i], true);
        heldAfterUpdate();
        EXPECT_EQ(heldAfterUpdate(), Names{names[i]});   // held without messages
        button(buttons[i], false);
        EXPECT_EQ(heldAfterUpdate(), Names{});
    }

    for (int y : {1, 2, -1}) {
        pushEvent(sdlEvent(SDL_MOUSEWHEEL, y));
    }
    EXPECT_EQ(heldAfterUpdate(), (Names{"K_MWHEELDOWN", "K_MWHEELUP"}));
    EXPECT_EQ(heldAfterUpdate(), Names{});
    // F12 shares the wheel-down slot: cleared the next frame though still held.
    key(SDL_SCANCODE_F12, true);
    EXPECT_EQ(heldAfterUpdate(), Names{"K_MWHEELDOWN"});
    EXPECT_EQ(heldAfterUpdate(), Names{});
}

TEST_F(Input, TheLastMoveMessageOfAFrameGivesTheDelta)
{
    put(IDCMP_MOUSEMOVE, IECODE_NOBUTTON, 10, -4);
    put(IDCMP_MOUSEMOVE, IECODE_NOBUTTON, -3, 6);
    input_->update();
    EXPECT_EQ((std::vector<int>{input_->mousemoved, input_->mousedx, input_->mousedy}), (std::vector<int>{1, -3, 6}));
    input_->endframe();
    EXPECT_EQ(input_->mousemoved + input_->mousedx + input_->mousedy, 0);
}

TEST_F(Input, HeldBoundKeysRunOncePerFrameInKeyCodeOrderWithACopyOfTheArgument)
{
    bind("K_C", recordCall, 99);   // pressed and released in one frame
    key(SDL_SCANCODE_C, true);
    key(SDL_SCANCODE_C, false);
    bind("K_MOUSE1", recordCall, 200);
    bind("K_SPACE", recordCall, 192);
    std::strcpy(input_->keys[192].arg.text, "kept");
    bind("K_A", recordCall, 97);
    bind("K_0", recordCall, 48);
    bind("K_B", recordCall, 98);   // bound but not held
    button(SDL_BUTTON_LEFT, true);
    key(SDL_SCANCODE_SPACE, true);
    key(SDL_SCANCODE_0, true);
    input_->setKey("K_A", 1);
    input_->setKey("K_D", 1);      // held but not bound
    input_->update();
    input_->start();
    input_->start();
    EXPECT_EQ(g_calls, (std::vector<int>{48, 97, 192, 200, 48, 97, 192, 200}));
    EXPECT_STREQ(input_->keys[192].arg.text, "kept");
}

// That held keys' commands run after the defaults and win until the next
// frame is seen in test_frame.cpp.
TEST_F(Input, FrameDefaultsWaitForATenthOfASecond)
{
    t_cam cam;
    Cam = &cam;
    const auto frame = commandFrameDefaults;
    g_fruntimer = 0.0f;
    g_frametime = 0.04f;
    objmovespeed = 7.0f;
    fstart = fend = fdens = 2.0f;
    rotlock = 0;
    objRot = 1;
    frame();   // timer 0 -> 0.04
    EXPECT_TRUE(rotlock == 1 && objRot == 0) << "reset from the first frame on";
    frame();
    frame();   // 0.08 -> 0.12: defaults still not applied
    EXPECT_FLOAT_EQ(objmovespeed + fstart + fend + fdens, 13.0f);   // none changed
    EXPECT_FLOAT_EQ(cam.movespeed, 0.03f);   // the camera's own
    frame();   // 0.12 > 0.1: applied
    EXPECT_EQ((std::vector<float>{objmovespeed, fstart, fend, fdens, cam.movespeed, cam.turnspeed}),
              (std::vector<float>{1.0f, 0.5f, 0.5f, 0.01f, 0.3f, 8.5f}));
}

TEST_F(Input, TheWindowIsTakenUntilTheInputIsDeletedAndItsCloseEndsTheLoop)
{
    EXPECT_NE(input_->window, nullptr);
    EXPECT_TRUE(input_->window == mglGetWindowHandle() && g_window == input_->window);
    input_->update();
    EXPECT_EQ(g_bquit, 0);
    pushEvent(sdlEvent(SDL_QUIT));
    input_->update();
    EXPECT_NE(g_bquit, 0);

    input_.reset();
    EXPECT_EQ(g_window, nullptr);
    key(SDL_SCANCODE_A, true);
    InputMsg m;
    EXPECT_FALSE(platformGetInputMsg(&m));
}

}  // namespace
