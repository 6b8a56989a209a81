// framebench.cpp — frame time of the reference level "bench" through both
// drawing paths, headless: the engine with its modules, as the program runs.
//
//   vext_framebench [--data DIR] [--frames N] [--level NAME] [--path FILE]
//                   [--rounds R] [--finish 1] [--program 0]
//
// The paths take turns R times (default 2); each turn plays the camera path
// FILE (default the generator's levels/bench/path.movie, a circle through
// the forest at canopy height; its first N samples with --frames) through
// runTimedemo, what --timedemo runs: one sample per frame, the scene
// stepped 0.04 s per frame.  A frame lasts from the start of one
// frame's drawing to the next one's (the engine's frame log), the last one
// to its finished swap.  Prints per path: frames per second, ms per frame (median and 95th
// percentile), triangles and texture switches per frame, and the engine's
// section timers averaged over the frames; then level start to first frame
// for the demo levels (a level change as the console's `map` does it).
// Then (unless --program 0) the program itself plays the path with
// --timedemo through each drawing path and its "timedemo:" line is shown.
// With --finish 1 every section ends with glFinish, which puts the
// rasteriser's time into the section that caused it (and slows the frame).
// Where the GL has the queries, each path also shows how much the
// rasteriser is given to do: pixels run through the fragment stage (as the
// driver counts them; a software rasteriser may count a whole block where a
// triangle covers part of it) and samples that pass the depth and alpha
// tests, per frame.  No drawing path can lower these without changing
// pixels, and the swap's wait for them bounds what a faster path can gain:
// the last lines say by how much.
// Not a test: it only reports numbers.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "camera/campath.h"
#include "commands/cmdglobals.h"
#include "core/common.h"
#include "core/engine.h"
#include "particles/particles.h"
#include "platform/display.h"
#include "platform/files.h"
#include "render/framestats.h"
#include "scene/draw.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The camera path, read as --timedemo reads it.
t_camPath g_path;
t_camPath g_warmup; // its first three samples

bool loadPath(const char* file)
{
    std::vector<uint8_t> bytes;
    const FileError error = ReadRegularFile(file, kCamPathMaxBytes, bytes);
    std::string problem = FileErrorText(error);
    if (error != FileError::None || !parseCamPath(bytes.data(), bytes.size(), t_camRecord{}, g_path, &problem) ||
        g_path.records.empty()) {
        std::fprintf(stderr, "vext_framebench: %s: %s\n", file, problem.c_str());
        return false;
    }
    g_warmup.records.assign(g_path.records.begin(),
                            g_path.records.begin() + std::min<size_t>(3, g_path.records.size()));
    return true;
}

struct PathResult {
    double fps = 0.0;
    double medianMs = 0.0;
    double p95Ms = 0.0;
    double triangles = 0.0;
    double switches = 0.0;
    double sections[kSecCount] = {};
    double shaded = 0.0; // per frame
    double passed = 0.0;
};

// Frame times (ms) and sums of one path over the camera path, appended.
struct PathRun {
    std::vector<double> ms;
    double totalMs = 0.0;
    double triangles = 0.0;
    double switches = 0.0;
    double sections[kSecCount] = {};
    double shaded = 0.0; // fragment-stage pixels over the whole path, 0 without the query
    double passed = 0.0; // samples passing depth and alpha tests
    int frames = 0;
};

// The two queries of a path's frames; 0 where the GL lacks one.
struct RasterQueries {
    GLuint shaded = 0;
    GLuint passed = 0;

    void begin()
    {
        if (passed == 0) {
            const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
            glGenQueries(1, &passed);
            if (ext != nullptr && std::strstr(ext, "GL_ARB_pipeline_statistics_query") != nullptr) {
                glGenQueries(1, &shaded);
            }
        }
        glBeginQuery(GL_SAMPLES_PASSED, passed);
        if (shaded != 0) {
            glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, shaded);
        }
    }

    // Adds the counts to run; 64-bit, since a path shades billions of pixels.
    void end(PathRun& run) const
    {
        GLuint64 n = 0;
        glEndQuery(GL_SAMPLES_PASSED);
        glGetQueryObjectui64v(passed, GL_QUERY_RESULT, &n);
        run.passed += static_cast<double>(n);
        if (shaded != 0) {
            glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
            glGetQueryObjectui64v(shaded, GL_QUERY_RESULT, &n);
            run.shaded += static_cast<double>(n);
        }
    }
};
RasterQueries g_queries;

void runPath(bool immediate, PathRun& run)
{
    g_immediateDraw = immediate ? 1 : 0;
    // The snow at its steady count (emission and falling balance after about
    // five seconds), so both paths draw the same amount of it.
    for (int i = 0; i < 400; ++i) {
        for (uint32_t s = 0; s < g_snowstormCount; ++s) {
            g_snowstorm[s].Update(0.02f);
        }
    }
    runTimedemo(g_warmup);
    glFinish();
    static std::vector<FrameLogEntry> log;
    log.assign(g_path.records.size(), FrameLogEntry{});
    frameLogStart(log.data(), static_cast<uint32_t>(log.size()));
    const Clock::time_point all = Clock::now();
    g_queries.begin();
    runTimedemo(g_path);
    glFinish();
    run.totalMs += msSince(all);
    g_queries.end(run);
    const uint32_t done = std::min<uint32_t>(frameLogStop(), static_cast<uint32_t>(log.size()));
    for (uint32_t i = 0; i < done; ++i) {
        const FrameLogEntry& e = log[i];
        // A frame lasts from its start to the next one's (input, sound and
        // object updates included); the last one to its swap.
        const double endUs = i + 1 < done ? log[i + 1].startUs : e.endUs;
        run.ms.push_back((endUs - e.startUs) / 1000.0);
        run.triangles += e.triangles;
        run.switches += e.textureSwitches;
        for (int s = 0; s < kSecCount; ++s) {
            run.sections[s] += e.sections[s] / 1000.0;
        }
    }
    run.frames += static_cast<int>(done);
}

PathResult summary(PathRun run)
{
    PathResult r;
    std::sort(run.ms.begin(), run.ms.end());
    r.fps = run.frames * 1000.0 / run.totalMs;
    r.medianMs = run.ms[run.ms.size() / 2];
    r.p95Ms = run.ms[std::min(run.ms.size() - 1, run.ms.size() * 95 / 100)];
    r.triangles = run.triangles / run.frames;
    r.switches = run.switches / run.frames;
    for (int s = 0; s < kSecCount; ++s) {
        r.sections[s] = run.sections[s] / run.frames;
    }
    r.shaded = run.shaded / run.frames;
    r.passed = run.passed / run.frames;
    return r;
}

void print(const char* name, const PathResult& r)
{
    std::printf("path %-9s fps %6.2f  ms/frame median %7.2f p95 %7.2f  triangles %8.0f  texture switches %6.0f\n", name,
                r.fps, r.medianMs, r.p95Ms, r.triangles, r.switches);
    double sum = 0.0;
    for (double s : r.sections) {
        sum += s;
    }
    std::printf("  sections (ms, mean of the frames):");
    for (int s = 0; s < kSecCount; ++s) {
        std::printf(" %s %.2f", frameSectionName(s), r.sections[s]);
    }
    if (r.sections[kSecLighting] == 0.0) {
        std::printf("  (lighting runs inside trees and particles, vertex by vertex)");
    }
    std::printf("  | lighting+culling %.1f %% of the timed %.2f ms\n",
                sum > 0.0 ? (r.sections[kSecCamera] + r.sections[kSecLighting]) * 100.0 / sum : 0.0, sum);
    const double screen = static_cast<double>(Level->screenWidth) * Level->screenHeight;
    std::printf("  rasteriser per frame:");
    if (r.shaded > 0.0) {
        std::printf(" %.2f M pixels through the fragment stage (%.1f x the screen),", r.shaded / 1e6, r.shaded / screen);
    }
    std::printf(" %.2f M samples pass depth and alpha (%.1f x the screen)\n", r.passed / 1e6, r.passed / screen);
}

double changeLevelMs(const char* name)
{
    const Clock::time_point start = Clock::now();
    if (!initGame(name)) {
        std::fprintf(stderr, "vext_framebench: Level %s nicht geladen\n", name);
        std::exit(1);
    }
    g_frametime = 0.04f;
    Engine->update();
    glFinish();
    return msSince(start);
}

// The program itself with --timedemo on the same path, per drawing path:
// its own "timedemo:" line (the whole program as a user runs it, modules,
// start-up and all, one pass).
void runProgramTimedemo(const char* pathFile, bool immediate)
{
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string program = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    program = program.substr(0, program.rfind('/') + 1) + "Vext-Engine";
    const std::string command = "'" + program + "' --headless --level bench --timedemo '" + pathFile + "'" +
                                (immediate ? " -immediate" : "") + " 2>&1";
    FILE* out = popen(command.c_str(), "r");
    if (out == nullptr) {
        return;
    }
    char line[512];
    while (std::fgets(line, sizeof line, out) != nullptr) {
        if (std::strncmp(line, "timedemo:", 9) == 0) {
            std::printf("program %-9s %s", immediate ? "immediate" : "arrays", line);
        }
    }
    pclose(out);
}

} // namespace

int main(int argc, char** argv)
{
    const Clock::time_point start = Clock::now();
    const char* data = "data";
    int frames = 0; // 0: one sample per frame, the whole path once
    const char* pathFile = "levels/bench/path.movie";
    int rounds = 2;
    bool program = true;
    g_startLevel = "bench";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--data") == 0) {
            data = argv[i + 1];
        } else if (std::strcmp(argv[i], "--frames") == 0) {
            frames = std::max(2, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--level") == 0) {
            g_startLevel = argv[i + 1];
        } else if (std::strcmp(argv[i], "--path") == 0) {
            pathFile = argv[i + 1];
        } else if (std::strcmp(argv[i], "--rounds") == 0) {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--program") == 0) {
            program = std::atoi(argv[i + 1]) != 0;
        } else if (std::strcmp(argv[i], "--finish") == 0) {
            g_frameStatsFinish = static_cast<uint8_t>(std::atoi(argv[i + 1]) != 0);
        }
    }
    if (chdir(data) != 0) {
        std::fprintf(stderr, "vext_framebench: kann nicht nach \"%s\" wechseln\n", data);
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!loadPath(pathFile)) {
        return 1;
    }
    if (frames > 0 && static_cast<size_t>(frames) < g_path.records.size()) {
        g_path.records.resize(static_cast<size_t>(frames));
    }
    platformUseHeadlessDrivers();
    char* engineArgs[] = {argv[0], nullptr};
    initEngine(1, engineArgs);
    g_frametime = 0.02f;
    Engine->update();
    glFinish();
    std::printf("startup to first frame (%s, display and modules included) %.0f ms\n", g_startLevel, msSince(start));
    std::printf("level %s: %u trees, %u persons, %u particle systems, %u lights, %u x %u\n", g_startLevel,
                Level->treeCount, Level->personCount, Level->particleSystemCount, Level->lightCount, Level->screenWidth,
                Level->screenHeight);
    // The paths take turns, so that a change in the machine's load while
    // the benchmark runs falls on both alike.
    PathRun arrayRuns;
    PathRun immediateRuns;
    for (int round = 0; round < rounds; ++round) {
        runPath(false, arrayRuns);
        runPath(true, immediateRuns);
    }
    const PathResult arrays = summary(arrayRuns);
    const PathResult immediate = summary(immediateRuns);
    print("arrays", arrays);
    print("immediate", immediate);
    std::printf("speed-up arrays / immediate: %.2f x fps\n", immediate.fps > 0.0 ? arrays.fps / immediate.fps : 0.0);
    // The swap waits for the rasteriser, whose work is the same pixels on
    // either path: even with no CPU time of its own a path's frame lasts at
    // least that wait.
    const double wait = arrays.sections[kSecSwap];
    if (wait > 0.0 && immediate.fps > 0.0) {
        std::printf("rasteriser wait at the swap %.2f ms of the default path's %.2f ms frame: with identical pixels "
                    "at most %.2f x the immediate path's fps here\n",
                    wait, 1000.0 / arrays.fps, 1000.0 / immediate.fps / wait);
    }
    if (program) {
        runProgramTimedemo(pathFile, false);
        runProgramTimedemo(pathFile, true);
    }
    g_immediateDraw = 0;
    for (const char* level : {"select", "second", "bench"}) {
        std::printf("level start to first frame %-7s %6.0f ms\n", level, changeLevelMs(level));
    }
    closeEngine(KRT_QUIT, "");
}
