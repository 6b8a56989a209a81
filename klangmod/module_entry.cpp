// module_entry.cpp — the entry of the module file Klangmod.mod.
//
// The engine loads the file and runs this on a thread of its own, once per
// level; each run is a fresh instance of the module (klangmod.h).

#include "klangmod/klangmod.h"

extern "C" __attribute__((visibility("default"))) int vext_module_main(void)
{
    return KlangmodMain();
}
