// fuzz_quiet.h — the scene parsers report every damaged part on stdout; a
// fuzzer feeding millions of damaged inputs must not print them all.
#pragma once

#include <cstdio>

inline void silenceStdout()
{
    static const bool silenced = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)silenced;
}
