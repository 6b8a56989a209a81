// SDL events as window messages: what the engine's key-slot tests
// (engine/test_input.cpp) cannot see — events that give no message, codes
// that must never collide, the fixed pad characters, and the port itself
// (class filter, order, a full port, merging of moves).
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <iterator>
#include <utility>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/events.h"
#include "support/sdl_events.h"

namespace {

using Msgs = std::vector<std::string>;

constexpr uint32_t kAllClasses = IDCMP_MOUSEBUTTONS | IDCMP_MOUSEMOVE | IDCMP_RAWKEY | IDCMP_DELTAMOVE;

// "key 0x20", "button 0xe8", "move 3 -1".
std::string describe(const InputMsg& m)
{
    char text[40];
    if (m.Class == IDCMP_MOUSEMOVE) {
        std::snprintf(text, sizeof text, "move %d %d", m.MouseX, m.MouseY);
    } else {
        std::snprintf(text, sizeof text, "%s %#x", m.Class == IDCMP_RAWKEY ? "key" : "button", m.Code);
    }
    return text;
}

std::string translate(const SDL_Event& e)
{
    InputMsg out;
    return platformTranslateEvent(e, &out, 1) == 1 ? describe(out) : "";
}

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

// SDL's video (its event queue and keymap) starts once; every test starts
// from an empty port and queue.
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
        platformModifyIDCMP(nullptr, kAllClasses);
    }
    void TearDown() override
    {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        platformResetInput();
        platformSetKeyLookup(nullptr);
    }
    static inline bool videoUp_ = false;
};

TEST_F(Events, EdgesOfTheTranslationAndTheKeymap)
{
    const std::pair<SDL_Event, const char*> cases[] = {
        {sdlEvent(SDL_KEYDOWN, SDL_SCANCODE_GRAVE), "key 0"},
        {sdlEvent(SDL_KEYDOWN, SDL_SCANCODE_NONUSBACKSLASH), "key 0x30"},
        {sdlEvent(SDL_KEYDOWN, SDL_SCANCODE_A, 1), ""},   // repeat
        {sdlEvent(SDL_KEYDOWN, SDL_SCANCODE_HOME), ""}, {sdlEvent(SDL_KEYDOWN, SDL_SCANCODE_CAPSLOCK), ""},
        {sdlEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_MIDDLE), "button 0xea"},
        {sdlEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1), ""},
        {sdlEvent(SDL_MOUSEWHEEL, 1, 1), "key 0x7b"},   // flipped
        {sdlEvent(SDL_MOUSEWHEEL, 0), ""}, {sdlEvent(SDL_TEXTINPUT, 0), ""},
        {sdlEvent(SDL_MOUSEMOTION, 100000, -100000), "move 32767 -32768"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(translate(cases[i].first), cases[i].second) << "case " << i;
    }
    InputMsg out;
    EXPECT_EQ(platformTranslateEvent(sdlEvent(SDL_KEYDOWN, SDL_SCANCODE_A), &out, 0), 0) << "no room";
    // The engine reads codes 0x68..0x6A and 0x7A/0x7B (with or without bit 7)
    // as buttons and wheel whatever the class, so no key may send them.
    for (int sc = SDL_SCANCODE_UNKNOWN; sc < SDL_NUM_SCANCODES; ++sc) {
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            if (platformTranslateEvent(sdlEvent(type, sc), &out, 1) == 1) {
                const int raw = out.Code & ~IECODE_UP_PREFIX;
                EXPECT_TRUE(out.Code < 0x100 && (raw < IECODE_LBUTTON || raw > IECODE_MBUTTON) &&
                            raw != RAWKEY_NM_WHEEL_UP && raw != RAWKEY_NM_WHEEL_DOWN)
                    << sc;
            }
        }
    }
    // The pad's characters do not depend on the layout; codes from 128 are
    // refused; a character outside Latin-1 is none.
    platformSetKeyLookup([](int) { return int{'x'}; });
    for (auto [raw, character] : {std::pair{0x3D, 160}, {0x0F, 255}, {0x0E, int{'/'}}, {0x2C, int{'-'}}, {128, -1}}) {
        EXPECT_EQ(platformTranslateRawKey(raw), character) << "raw " << raw;
    }
    platformSetKeyLookup([](int) { return 0x2C6; });
    EXPECT_EQ(platformTranslateRawKey(0x00), 0);
}

TEST_F(Events, PortFiltersKeepsOrderLosesNothingAndMergesMoves)
{
    platformModifyIDCMP(nullptr, 0);
    pushEvent(sdlEvent(SDL_KEYDOWN, SDL_SCANCODE_A));
    EXPECT_EQ(drain(), Msgs{});
    platformModifyIDCMP(nullptr, IDCMP_RAWKEY);
    pushEvent(sdlEvent(SDL_MOUSEMOTION, 1, 1));
    pushEvent(sdlEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    pushEvent(sdlEvent(SDL_MOUSEWHEEL, 1));
    EXPECT_EQ(drain(), Msgs{"key 0x7a"});

    // A full port (256 messages) leaves the rest with SDL.  Three keys in
    // turn, so that an overwritten message shows.
    platformModifyIDCMP(nullptr, kAllClasses);
    const SDL_Scancode keys[] = {SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D};
    const char* codes[] = {"key 0x20", "key 0x21", "key 0x22"};
    Msgs want;
    for (int i = 0; i < 600; ++i) {
        pushEvent(sdlEvent(SDL_KEYDOWN, keys[i % 3]));
        want.push_back(codes[i % 3]);
    }
    EXPECT_EQ(drain(), want);

    // Pending moves merge, saturating; a taken one is closed.
    pushEvent(sdlEvent(SDL_MOUSEMOTION, 3, -1));
    pushEvent(sdlEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT));
    pushEvent(sdlEvent(SDL_MOUSEMOTION, 4, 2));
    pushEvent(sdlEvent(SDL_MOUSEMOTION, 30000, 0));
    pushEvent(sdlEvent(SDL_MOUSEMOTION, 30000, 0));
    EXPECT_EQ(drain(), (Msgs{"move 32767 1", "button 0x68"}));   // saturated
    pushEvent(sdlEvent(SDL_MOUSEMOTION, 2, 2));
    EXPECT_EQ(drain(), Msgs{"move 2 2"});
}

}  // namespace
