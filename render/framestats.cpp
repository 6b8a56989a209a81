// framestats.cpp — the drawing-path switch and the frame section clocks.
#include "render/framestats.h"

#include <GL/gl.h>

#include <cstring>
#include <ctime>

uint8_t g_immediateDraw = 0;
FrameStats g_frameStats{};
uint8_t g_frameStatsFinish = 0;

namespace {

FrameLogEntry* g_log = nullptr;
uint32_t g_logCapacity = 0;
uint32_t g_logCount = 0;
double g_frameStart = 0.0;

} // namespace

void frameLogStart(FrameLogEntry* entries, uint32_t capacity)
{
    g_log = entries;
    g_logCapacity = entries != nullptr ? capacity : 0;
    g_logCount = 0;
}

uint32_t frameLogStop()
{
    g_log = nullptr;
    g_logCapacity = 0;
    return g_logCount;
}

void frameStatsFinish()
{
    glFinish();
}

double frameClockUs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1.0e6 + static_cast<double>(ts.tv_nsec) * 1.0e-3;
}

void frameStatsBegin()
{
    std::memset(g_frameStats.current, 0, sizeof g_frameStats.current);
    g_frameStats.triangles = 0;
    g_frameStats.textureSwitches = 0;
    g_frameStart = frameClockUs();
}

void frameStatsEnd()
{
    std::memcpy(g_frameStats.last, g_frameStats.current, sizeof g_frameStats.last);
    g_frameStats.lastTriangles = g_frameStats.triangles;
    if (g_log != nullptr && g_logCount < g_logCapacity) {
        FrameLogEntry& e = g_log[g_logCount];
        e.startUs = g_frameStart;
        e.endUs = frameClockUs();
        std::memcpy(e.sections, g_frameStats.current, sizeof e.sections);
        e.triangles = g_frameStats.triangles;
        e.textureSwitches = g_frameStats.textureSwitches;
    }
    if (g_log != nullptr) {
        ++g_logCount;
    }
}

const char* frameSectionName(int section)
{
    static const char* const names[kSecCount] = {"camera+culling", "lighting",  "terrain", "trees",
                                                 "persons",        "particles", "sky+2D",  "clear+swap"};
    return section >= 0 && section < kSecCount ? names[section] : "?";
}
