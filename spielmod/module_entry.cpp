// module_entry.cpp — the exported entry of Spielmod.mod.  ShellExecute's
// "Run Spielmod.mod" loads this file and runs the entry on a thread of its
// own; all the work is in spielModuleMain so that tests can run it too.
#include "spielmod/spielmod.h"

extern "C" __attribute__((visibility("default"))) int vext_module_main(void)
{
    return spielModuleMain();
}
