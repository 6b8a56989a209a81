// bench_zoom.cpp — speed of the 16.16 fixed-point resampler, smooth and
// nearest, on the two cases texture creation meets most: a small image
// doubled (256 x 256 -> 512 x 512) and a photo-sized one brought down to a
// texture (1000 x 700 -> 256 x 256).  Reports destination pixels per second.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "image/texture.h"

namespace {

std::unique_ptr<CBitmap> patternBitmap(int w, int h)
{
    auto bitmap = std::make_unique<CBitmap>();
    bitmap->width = w;
    bitmap->height = h;
    bitmap->depth = 32;
    const size_t bytes = static_cast<size_t>(w) * h * 4;
    bitmap->pixels = new uint8_t[bytes];
    for (size_t i = 0; i < bytes; i++) {
        bitmap->pixels[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    }
    return bitmap;
}

// Arguments: source width, source height, destination width, destination height, smooth.
void BM_ZoomBitmap(benchmark::State& state)
{
    const auto src = patternBitmap(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const double zoomX = static_cast<double>(state.range(2)) / static_cast<double>(state.range(0));
    const double zoomY = static_cast<double>(state.range(3)) / static_cast<double>(state.range(1));
    const int smooth = static_cast<int>(state.range(4));
    for (auto _ : state) {
        std::unique_ptr<CBitmap> dst(zoomBitmap(src.get(), zoomX, zoomY, smooth));
        benchmark::DoNotOptimize(dst.get());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(2) * state.range(3));
    state.SetLabel(smooth ? "smooth" : "nearest");
}

BENCHMARK(BM_ZoomBitmap)
    ->ArgNames({"sw", "sh", "dw", "dh", "smooth"})
    ->Args({256, 256, 512, 512, 1})
    ->Args({256, 256, 512, 512, 0})
    ->Args({1000, 700, 256, 256, 1})
    ->Args({1000, 700, 256, 256, 0})
    ->Unit(benchmark::kMicrosecond);

} // namespace
