// bench_scene.cpp — frame time of the demo level "select" drawn headless at
// its display size: terrain, sky, the scene objects with their lights and the
// player figure, as the engine's frame draws them (no modules: the level is
// read in-process).  Reports frames per second, milliseconds per frame and
// the tree faces drawn per frame (a quad counts once).
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "camera/camera.h"
#include "core/engine.h"
#include "core/modport.h"
#include "image/texlist.h"
#include "platform/display.h"
#include "render/display.h"
#include "render/skybox.h"
#include "scene/draw.h"
#include "scene/objects.h"
#include "spielmod/spielmod.h"
#include "terrain/heightfield.h"

namespace {

bool startDemo()
{
    static const bool ok = [] {
        if (chdir(VEXT_SOURCE_DIR "/data") != 0) {
            std::fprintf(stderr, "bench_scene: no data directory\n");
            return false;
        }
        platformUseHeadlessDrivers();
        SpielContext* ctx = spielCreate();
        ctx->messageOut = nullptr;
        spielBind(ctx);
        if (spielLoadLevel(ctx, "select") == 0) {
            return false;
        }
        Level = &ctx->lev;
        Engine = new CEngine;
        Engine->init(Level);
        draw_resetFog(Level);
        OpenCamModul();
        setSceneViewer(&Cam->position, &Cam->yaw);
        init_height_field();
        TexList.initTex();
        initObj();
        skyboxInit();
        return true;
    }();
    return ok;
}

void BM_DemoFrame(benchmark::State& state)
{
    if (!startDemo()) {
        state.SkipWithError("the demo level could not be started");
        return;
    }
    uint64_t faces = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        g_frametime = 0.02f;
        Engine->update();
        glFinish();
        faces += objpersec;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double frames = static_cast<double>(state.iterations());
    state.counters["fps"] = frames / seconds;
    state.counters["ms_per_frame"] = seconds * 1000.0 / frames;
    state.counters["tree_faces"] = static_cast<double>(faces) / frames;
    state.counters["trees"] = Level->treeCount;
    state.counters["persons"] = Level->personCount;
}
BENCHMARK(BM_DemoFrame)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

} // namespace
