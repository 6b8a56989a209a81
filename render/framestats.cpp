// framestats.cpp — the drawing-path switch and the frame section clocks.
#include "render/framestats.h"

#include <GL/gl.h>

#include <cstring>
#include <ctime>

uint8_t g_immediateDraw = 0;
FrameStats g_frameStats{};
uint8_t g_frameStatsFinish = 0;

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
}

void frameStatsEnd()
{
    std::memcpy(g_frameStats.last, g_frameStats.current, sizeof g_frameStats.last);
    g_frameStats.lastTriangles = g_frameStats.triangles;
}

const char* frameSectionName(int section)
{
    static const char* const names[kSecCount] = {"camera+culling", "lighting", "terrain", "trees",
                                                 "persons",        "particles", "2D",      "swap"};
    return section >= 0 && section < kSecCount ? names[section] : "?";
}
