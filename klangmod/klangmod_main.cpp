// klangmod_main.cpp — the standalone program Klangmod.
//
// Runs the module's main routine as a process of its own.  An engine lives in
// another process here, so no "VextPort" is found: the program says so and
// ends with 0, as the original did when started by hand.

#include "klangmod/klangmod.h"

int main()
{
    return KlangmodMain();
}
