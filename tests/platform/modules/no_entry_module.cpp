// no_entry_module.cpp — the test module "PlatformNoEntry.mod": a loadable
// file that lacks the module entry.
extern "C" int vext_module_other(void)
{
    return 0;
}
