// soak.cpp — runs the engine headless on the demo data for many frames and
// reports what a long session costs: resident memory at the first and the
// last frame (and every 2000 frames between), the time from start to the
// first finished frame, and the time of a level change there and back.
//
//   vext_soak [--data DIR] [--frames N] [--level NAME] [--change NAME]
//
// Prints one "name value unit" line per figure, for scripts/soak.sh.  Not a
// test: it only reports numbers.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/engine.h"
#include "platform/display.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Resident set size in MiB, from /proc/self/statm (pages).
double residentMiB()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// One level change as the console's `map` does it, up to the next finished
// frame; a level that does not load counts as a failed run.
double changeLevelMs(const char* name)
{
    const Clock::time_point start = Clock::now();
    if (!initGame(name)) {
        std::fprintf(stderr, "vext_soak: Level %s nicht geladen\n", name);
        std::exit(1);
    }
    runFrameLoop(1);
    return msSince(start);
}

} // namespace

int main(int argc, char** argv)
{
    const Clock::time_point start = Clock::now();
    const char* data = "data";
    long frames = 20000;
    const char* change = "second";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--data") == 0) {
            data = argv[i + 1];
        } else if (std::strcmp(argv[i], "--frames") == 0) {
            frames = std::max(1L, std::strtol(argv[i + 1], nullptr, 10));
        } else if (std::strcmp(argv[i], "--level") == 0) {
            g_startLevel = argv[i + 1];
        } else if (std::strcmp(argv[i], "--change") == 0) {
            change = argv[i + 1];
        }
    }
    if (chdir(data) != 0) {
        std::fprintf(stderr, "vext_soak: kann nicht nach \"%s\" wechseln\n", data);
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    platformUseHeadlessDrivers();
    char* engineArgs[] = {argv[0], nullptr};
    initEngine(1, engineArgs);
    runFrameLoop(1);
    const double startupMs = msSince(start);
    const double rssFirst = residentMiB();
    std::printf("soak startup_to_first_frame %.0f ms\n", startupMs);
    std::printf("soak rss_frame_1 %.1f MiB\n", rssFirst);

    const long step = 2000;
    long done = 1;
    const Clock::time_point loopStart = Clock::now();
    while (done < frames) {
        const long chunk = std::min(step - done % step, frames - done);
        done += runFrameLoop(chunk);
        std::printf("soak rss_frame_%ld %.1f MiB\n", done, residentMiB());
    }
    const double loopMs = msSince(loopStart);
    const double rssLast = residentMiB();
    std::printf("soak frames_per_second %.1f\n", loopMs > 0.0 ? (frames - 1) * 1000.0 / loopMs : 0.0);
    std::printf("soak rss_growth %.1f %%\n", rssFirst > 0.0 ? (rssLast - rssFirst) * 100.0 / rssFirst : 0.0);

    const char* back = g_startLevel;
    std::printf("soak level_change_%s %.0f ms\n", change, changeLevelMs(change));
    std::printf("soak level_change_%s %.0f ms\n", back, changeLevelMs(back));
    std::printf("soak rss_after_changes %.1f MiB\n", residentMiB());
    closeEngine(KRT_QUIT, "");
}
