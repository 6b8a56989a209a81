// functions.h — the command registry: binds the level's key table to the
// key slots of the input part.
//
// There is one CFunctions, `Functions`, created at start-up right after the
// input object (KeyInput) and deleted at shutdown before it.  It holds no data
// of its own: a binding is a handler and its argument record stored in a key
// slot (input/input.h), and the input part runs the handler of every held key
// once per frame.  Bindings are made once, from the level loaded at start-up;
// a level change (`map`) does not rebind.
//
// Command texts are matched against the 73 names of the command set
// (commands/commands.h) in a fixed order, the first match wins:
//   - most names compare exactly, without regard to case;
//   - "cam_setspeed" and "obj_setspeed" compare their first 11 characters
//     without regard to case and take a float read from the 13th character
//     on ("cam_setspeed 12.5");
//   - "map" compares its 3 characters with case and takes the text from the
//     5th character on ("map second"; "mapsecond" yields "econd");
//   - "swwindowmode" and the obj_ commands (but obj_setspeed) compare exactly,
//     with case.
// A text that matches nothing is skipped without a message.
#pragma once

#include "input/cvar.h"

class CFunctions {
public:
    // Binds the current level's key table (Init).
    CFunctions();

    // Binds every entry of Level's key table, in table order, to its key.
    // Needs Level and KeyInput; without either nothing is bound (a key
    // table entry then reports its key as not found).
    void Init();

    // Stores `handler` in the slot named `key` (any case).  An unknown key
    // prints "Taste %s nicht gefunden\n" on the console and binds nothing.
    // The slot's earlier argument stays unless the overload sets it.
    void setFunctions(t_handler handler, const char* key);
    // As above; copies at most 99 characters of `text` into the slot's text
    // (null counts as empty).
    void setFunctions(t_handler handler, const char* text, const char* key);
    // As above; stores `value` as the slot's integer argument.
    void setFunctions(t_handler handler, int value, const char* key);
    // As above; stores `value` as the slot's float argument.
    void setFunctions(t_handler handler, float value, const char* key);
};

// The registry; valid from start-up until shutdown.
extern CFunctions* Functions;

// Outcome of matching one command text (for the registry and its tests).
struct t_cmdmatch {
    t_handler handler; // null: the text names no command
    const char* name;  // the registered name that matched, or null
    int kind;          // kCmdPlain, kCmdFloat or kCmdText: which overload binds it
    float fval;        // the argument of a float command
    char text[100];    // the argument of a text command, at most 99 characters
};

enum {
    kCmdPlain = 0, // bound without an argument
    kCmdFloat = 1, // bound with the float overload
    kCmdText = 2,  // bound with the text overload
};

// Number of registered command names.
constexpr int kCommandCount = 73;

// Matches `command` against the registered names in binding order.
// Never reads past the text's end; null matches nothing.
t_cmdmatch matchCommand(const char* command);

// The registered name at position `index` (0..kCommandCount-1) in matching
// order, or null outside that range.
const char* commandName(int index);
