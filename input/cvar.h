// cvar.h — the argument record of every console command, and the handler
// type that key slots and GUI buttons store.
//
// Shared by input/ (a key slot holds one handler and its cvar), commands/
// (the registry fills the cvar when it binds a key, the commands read it) and
// gui/ (a button carries a command).  A handler always receives its own copy.
#pragma once

#include <cstdint>

struct cvar {
    float fval = 0.0f;   // float argument ("cam_setspeed 12.5": units per second)
    int32_t ival = 0;    // integer argument
    char text[100] = {}; // text argument ("map select"), NUL-terminated, at most 99 characters
};

// A command: takes its argument record by value, returns nothing.
typedef void (*t_handler)(cvar);
