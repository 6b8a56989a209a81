// bench_particles.cpp — one snow volume of 2000 flakes at steady state (as
// many die per frame as are born): the update alone (no GL), and update plus
// drawing into a headless 640 x 480 frame with the flakes in view (argument
// 0: the engine's batched drawing; 1: one matrix round trip and primitive
// per flake, for comparison).  Reports milliseconds per system frame and
// flakes drawn per frame.
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "core/common.h"
#include "particles/particles.h"
#include "platform/display.h"
#include "render/display.h"
#include "render/frustum.h"

namespace {

constexpr int kFlakes = 2000;
constexpr float kStep = 0.02f; // seconds per frame

Lev g_benchLevel{};

// A box of 8 x 6 x 8 units, 5 units in front of the viewer at the origin;
// fall speed 1.5 units/s, so 2000 flakes fill it at 500 per second.
void makeStorm(CSnowstorm& s, bool withTexture)
{
    s.Setvalues(kFlakes, t_vector(0.0f, 3.0f, -9.0f), 4.0f, 6.0f, 4.0f, "levels/select/snowflake.tga");
    s.velocityBase = t_vector(0.1f, -1.5f, 0.0f);
    s.velocityVariance = t_vector(0.2f, 0.2f, 0.2f);
    s.particleSize = 0.07f;
    s.rate = 500.0f;
    s.calcTBBox();
    if (withTexture) {
        s.InitializeSystem();
    } else {
        s.CParticleSystem::InitializeSystem();
    }
    std::srand(1);
    for (int i = 0; i < 400; ++i) {
        s.Update(kStep);
    }
}

bool openFrame()
{
    static const bool ok = [] {
        if (chdir(VEXT_SOURCE_DIR "/data") != 0) {
            return false;
        }
        platformUseHeadlessDrivers();
        if (!g_drawinitalized) {
            openScreen(640, 480, 32, 3, true);
        }
        g_benchLevel.viewDistance = 66.0f;
        return true;
    }();
    return ok;
}

void BM_SnowUpdate(benchmark::State& state)
{
    CSnowstorm s;
    makeStorm(s, false);
    for (auto _ : state) {
        s.Update(kStep);
        benchmark::DoNotOptimize(s.particles[0].position.y);
    }
    state.counters["alive"] = s.liveCount;
}
BENCHMARK(BM_SnowUpdate)->Unit(benchmark::kMicrosecond);

// For comparison: the same flakes drawn the textbook way, one matrix
// round trip and one glBegin/glEnd per flake (push, translate, read the
// model-view back, load its translation alone, quad, pop).
void drawOneByOne(const CSnowstorm& s)
{
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, s.texture);
    glColor3f(1.0f, 1.0f, 1.0f);
    for (int32_t i = 0; i < s.liveCount; ++i) {
        const particle_t& p = s.particles[i];
        glPushMatrix();
        glTranslatef(p.position.x, p.position.y, p.position.z);
        float m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        const float t[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, m[12], m[13], m[14], 1};
        glLoadMatrixf(t);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 1), glVertex3f(0, 0, 0);
        glTexCoord2f(1, 1), glVertex3f(p.size, 0, 0);
        glTexCoord2f(1, 0), glVertex3f(p.size, -p.size, 0);
        glTexCoord2f(0, 0), glVertex3f(0, -p.size, 0);
        glEnd();
        glPopMatrix();
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

void BM_SnowUpdateAndDraw(benchmark::State& state)
{
    const bool oneByOne = state.range(0) != 0;
    if (!openFrame()) {
        state.SkipWithError("no data directory");
        return;
    }
    Lev* old = Level;
    Level = &g_benchLevel;
    CSnowstorm s;
    makeStorm(s, true);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 0.1, 66.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    buildFrustum(640, 480, 66.0f);
    uint64_t drawn = 0;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        s.Update(kStep);
        if (oneByOne) {
            drawOneByOne(s);
        } else {
            s.Render();
        }
        glFinish();
        drawn += oneByOne ? static_cast<uint64_t>(s.liveCount) : s.lastDrawn;
    }
    state.counters["drawn"] = static_cast<double>(drawn) / static_cast<double>(state.iterations());
    Level = old;
}
BENCHMARK(BM_SnowUpdateAndDraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
