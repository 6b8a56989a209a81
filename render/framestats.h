// framestats.h — which drawing path the frame takes, and where its time goes.
//
// Two drawing paths give the same pixels: the array path (default) sends each
// pooled mesh, the terrain and the snow as vertex arrays with colours filled
// per frame; the immediate path sends every vertex with its own GL calls and
// is kept as the reference the array path is compared against ("-immediate"
// on the command line, or `g_immediateDraw` = 1).
//
// The frame's sections are timed with two monotonic clock reads each; the
// engine's frame (core/engine.cpp) and the drawing code add to the current
// frame's slots, the benchmark reads them after the frame.  Single-threaded.
#pragma once

#include <cstdint>

// 1: draw through the immediate-mode reference path; 0: vertex arrays.
extern uint8_t g_immediateDraw;

enum FrameSection : int {
    kSecCamera = 0,    // camera move, frustum build and object culling
    kSecLighting = 1,  // per-vertex colours of trees and snow
    kSecTerrain = 2,   // height field, skirt and floor
    kSecTrees = 3,     // tree drawing (lighting excluded where it is timed apart)
    kSecPersons = 4,   // animated figures and the player figure
    kSecParticles = 5, // snow update and drawing (lighting excluded)
    kSec2D = 6,        // sky box and the 2D overlays
    kSecSwap = 7,      // clearing and the buffer swap (which waits for the rasteriser)
    kSecCount = 8,
};

// Microseconds spent per section in the frame being drawn, and in the last
// finished one.  frameStatsBegin clears the current slots.
struct FrameStats {
    double current[kSecCount]; // microseconds, this frame so far
    double last[kSecCount];    // microseconds, the previous whole frame
    uint32_t triangles;        // triangles sent this frame (a quad counts 2)
    uint32_t lastTriangles;    // the same, previous frame
    uint32_t textureSwitches;  // tree texture switches this frame (set by the tree pass)
};
extern FrameStats g_frameStats;

// One finished frame as the frame log keeps it.
struct FrameLogEntry {
    double startUs;             // frameClockUs at the frame's start
    double endUs;               // frameClockUs after its buffer swap
    double sections[kSecCount]; // microseconds
    uint32_t triangles;
    uint32_t textureSwitches;
};
// While a log is given, every finished frame is appended to it (no
// allocation: frames past `capacity` are counted but not kept).  For the
// benchmark, which lets the engine's own loops run the frames.
void frameLogStart(FrameLogEntry* entries, uint32_t capacity);
// Frames finished since frameLogStart (may exceed the capacity); ends logging.
uint32_t frameLogStop();

// Monotonic clock in microseconds.
double frameClockUs();
void frameStatsBegin();
void frameStatsEnd();
// Names of the sections, for printing ("camera", "lighting", ...).
const char* frameSectionName(int section);

// 1: every section ends with glFinish, so the rasteriser's work lands in
// the section that caused it (a diagnostic of the benchmark: it stalls the
// pipeline and so slows the frame).
extern uint8_t g_frameStatsFinish;
void frameStatsFinish();

// Adds the time since `since` (frameClockUs) to a section and returns now.
inline double frameSectionAdd(int section, double since)
{
    // Lighting is timed in slices inside the tree and snow passes.
    if (g_frameStatsFinish != 0 && section != kSecLighting) {
        frameStatsFinish();
    }
    const double now = frameClockUs();
    g_frameStats.current[section] += now - since;
    return now;
}
