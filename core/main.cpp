// main.cpp — the engine program.  Handles our own "--" switches (which no
// original switch shares a prefix with), then runs start-up, the frame loop
// and the exit.  Single-dash switches are read by initEngine.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "core/engine.h"
#include "platform/display.h"

namespace {

struct Options {
    long frames = 0;            // 0: run until quit
    bool headless = false;
};

Options parseOwnSwitches(int argc, char** argv)
{
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(a, "--headless") == 0) {
            opt.headless = true;
        } else if (std::strcmp(a, "--frames") == 0 && hasValue) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || n <= 0) {
                std::fprintf(stderr, "Vext-Engine: --frames braucht eine positive Zahl, nicht \"%s\"\n", argv[i]);
                std::exit(1);
            }
            opt.frames = n;
        } else if (std::strcmp(a, "--data") == 0 && hasValue) {
            const char* dir = argv[++i];
            if (chdir(dir) != 0) {
                std::fprintf(stderr, "Vext-Engine: kann nicht nach \"%s\" wechseln\n", dir);
                std::exit(KRT_FILE);
            }
        } else if (std::strcmp(a, "--level") == 0 && hasValue) {
            g_startLevel = argv[++i];
        } else if (std::strncmp(a, "--", 2) == 0 && std::strcmp(a, "--headless") != 0) {
            std::fprintf(stderr, "Vext-Engine: unbekannter Schalter \"%s\"\n", a);
            std::exit(1);
        }
    }
    return opt;
}

}  // namespace

int main(int argc, char** argv)
{
    // Progress and warnings are read live, also through a pipe or a log file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const Options opt = parseOwnSwitches(argc, argv);
    if (opt.headless) {
        platformUseHeadlessDrivers();
    }
    initEngine(argc, argv);
    const auto start = std::chrono::steady_clock::now();
    const long frames = runFrameLoop(opt.frames);
    if (opt.frames > 0) {
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("%u Bilder in %.2f s, %.1f Bilder pro Sekunde\n", static_cast<unsigned>(frames), secs,
                    secs > 0.0 ? static_cast<double>(frames) / secs : 0.0);
    }
    closeEngine(KRT_QUIT, "");
}
