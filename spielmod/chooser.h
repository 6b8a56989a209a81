// chooser.h — the graphical side of the game module's requesters: where a
// display is present, a file or directory is chosen in a zenity window.
//
// The requesters (spielmod.cpp) call runChooser with the arguments built by
// zenityArguments; it starts the program as a child process (no shell: every
// argument is one argv entry), waits for it and reads the chosen path from its
// output.  When the program cannot be started or cannot open its window the
// requester asks on the terminal instead.  Runs on the caller's thread; no
// state.
#pragma once

#include <string>
#include <vector>

// What the window asks for.
struct ChooserRequest {
    bool directory = false; // a directory instead of a file
    std::string title;      // window title (UTF-8)
    std::string start;      // absolute directory the window opens in; empty: the current one
    std::string pattern;    // file-name pattern in AmigaDOS notation ("#?.raw|#?.md2"); empty: any file
};

// True when DISPLAY or WAYLAND_DISPLAY is set and not empty.
bool chooserDisplayPresent();

// The AmigaDOS pattern as one zenity filter, "NAME | GLOB GLOB ...": "#?" is
// "*", alternatives ("a|b", "#?.(raw|md2)") become separate globs, letters
// match either case ("*.[rR][aA][wW]"), NAME shows the plain globs.  Empty
// when the pattern has what a glob cannot say (negation "~", blanks,
// unbalanced brackets), more than 32 alternatives or more than 255
// characters.
std::string zenityFileFilter(const std::string& pattern);

// The argument vector of a zenity file selection, program name first:
// "--file-selection", "--title=T", with "--directory" for directories, with
// "--filename=START/" when a start is given, and for a translatable pattern
// its filter followed by one for all files.
std::vector<std::string> zenityArguments(const std::string& program, const ChooserRequest& request);

enum class ChooserOutcome {
    Chosen,      // path holds the answer
    Cancelled,   // the user closed the window without a choice
    Unavailable, // no window could be shown; why says what happened
};

struct ChooserResult {
    ChooserOutcome outcome = ChooserOutcome::Unavailable;
    std::string path; // Chosen: the path as printed, without the line end
    std::string why;  // Unavailable: the reason, for a message
};

// Runs argv[0] (looked up in PATH) with argv, standard input from /dev/null,
// and waits for it.  Exit status 0 with a line of output: Chosen; status 0
// without output, or 1: Cancelled; a program that cannot be started, that
// says it cannot open the display, ends with another status or is killed:
// Unavailable.
ChooserResult runChooser(const std::vector<std::string>& argv);
