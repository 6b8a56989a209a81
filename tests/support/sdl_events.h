// sdl_events.h — SDL events the input tests put on SDL's queue, as a user
// at the window would cause them.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

// One SDL event: key (a = scancode, b = repeat, mod = modifiers), button
// (a = button), wheel (a = notches, b = flipped), motion (a, b = deltas), or
// any other type bare.
inline SDL_Event sdlEvent(Uint32 type, int a = 0, int b = 0, Uint16 mod = KMOD_NONE)
{
    SDL_Event e{};
    e.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
        e.key.keysym.scancode = static_cast<SDL_Scancode>(a);
        e.key.repeat = static_cast<Uint8>(b);
        e.key.keysym.mod = mod;
    } else if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP) {
        e.button.button = static_cast<Uint8>(a);
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    } else if (type == SDL_MOUSEWHEEL) {
        e.wheel.y = a;
        e.wheel.direction = b != 0 ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    } else if (type == SDL_MOUSEMOTION) {
        e.motion.xrel = a;
        e.motion.yrel = b;
    }
    return e;
}

inline void pushEvent(SDL_Event e)
{
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}
