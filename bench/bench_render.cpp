// The hot path of the time graphs: vertex lists on a 1920 x 1080 back buffer, drawn by our own
// rasterizer through RenderPrimitives. Line strips of a graph-like random walk across the
// screen, and the triangle lists of filled graphs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "render/render.h"

namespace {

using namespace qvtk;

constexpr int kWidth = 1920, kHeight = 1080;

void OpenBuffer() {
    static bool open = [] { return RenderOpenOffscreen(kWidth, kHeight) == 0; }();
    if (!open) std::abort();
    RenderSetTarget(kBackBuffer);
    RenderClipReset();
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(RenderColor(10, 12, 18));
}

// A channel's curve: `count` vertices from the left edge to the right, each a random step up
// or down from the last, as a sampled signal drawn at a zoom where many samples share a column.
std::vector<RenderVertex> RandomWalk(int count, uint32_t color) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> step(-6.0f, 6.0f);
    std::vector<RenderVertex> v(static_cast<size_t>(count));
    float y = kHeight / 2.0f;
    for (int i = 0; i < count; ++i) {
        y = std::clamp(y + step(random), 20.0f, kHeight - 20.0f);
        v[size_t(i)].x = float(i) * (kWidth - 1) / float(count - 1);
        v[size_t(i)].y = y;
        v[size_t(i)].color = color;
    }
    return v;
}

void LineStrip(benchmark::State& state, BlendMode mode) {
    OpenBuffer();
    int count = int(state.range(0));
    std::vector<RenderVertex> v = RandomWalk(count, 0xFF30C0FFu);
    RenderSetBlend(mode, mode == BlendMode::Alpha ? 191 : 255);
    for (auto _ : state) {
        RenderPrimitives(v.data(), count, PrimitiveKind::LineStrip);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["vertices/s"] =
        benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}

void LineStripAlpha(benchmark::State& state) {
    LineStrip(state, BlendMode::Alpha);
}
void LineStripAdditive(benchmark::State& state) {
    LineStrip(state, BlendMode::Additive);
}
BENCHMARK(LineStripAlpha)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(LineStripAdditive)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A curve whose colour changes along it (Gouraud on every segment).
void LineStripGouraud(benchmark::State& state) {
    OpenBuffer();
    int count = int(state.range(0));
    std::vector<RenderVertex> v = RandomWalk(count, 0);
    for (size_t i = 0; i < v.size(); ++i) v[i].color = 0xFF000000u | uint32_t(i * 2654435761u);
    RenderSetBlend(BlendMode::Additive, 255);
    for (auto _ : state) {
        RenderPrimitives(v.data(), count, PrimitiveKind::LineStrip);
        benchmark::ClobberMemory();
    }
    state.counters["vertices/s"] =
        benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(LineStripGouraud)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The filled graph: per column two triangles between the curve and the filling line, curve
// edge at alpha 191, filling edge at alpha 95 (Gouraud), as the graphs draw them. The argument
// is the height of the band in pixels.
void TriangleFill(benchmark::State& state, BlendMode mode) {
    OpenBuffer();
    int band = int(state.range(0));
    std::vector<RenderVertex> curve = RandomWalk(kWidth, 0);
    float base = kHeight / 2.0f + band / 2.0f;
    std::vector<RenderVertex> v;
    for (int x = 1; x < kWidth; ++x) {
        RenderVertex a = curve[size_t(x - 1)], b = curve[size_t(x)];
        a.y = std::min(a.y, base), b.y = std::min(b.y, base);
        a.y = std::max(a.y, base - band), b.y = std::max(b.y, base - band);
        a.color = b.color = 0xBF105AFFu;
        RenderVertex c = b, d = a;
        c.y = d.y = base;
        c.color = d.color = 0x5F051E7Fu;
        v.insert(v.end(), {a, b, c, a, c, d});
    }
    RenderSetBlend(mode, 255);
    int count = int(v.size());
    for (auto _ : state) {
        RenderPrimitives(v.data(), count, PrimitiveKind::TriangleList);
        benchmark::ClobberMemory();
    }
    state.counters["vertices/s"] =
        benchmark::Counter(double(count), benchmark::Counter::kIsIterationInvariantRate);
}

void TriangleFillAlpha(benchmark::State& state) {
    TriangleFill(state, BlendMode::Alpha);
}
void TriangleFillAdditive(benchmark::State& state) {
    TriangleFill(state, BlendMode::Additive);
}
BENCHMARK(TriangleFillAlpha)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);
BENCHMARK(TriangleFillAdditive)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);

// Two triangles over the whole screen: the fill rate.
void FullScreenQuad(benchmark::State& state) {
    OpenBuffer();
    RenderVertex v[6];
    const float corners[6][2] = {{0, 0}, {kWidth, 0},       {kWidth, kHeight},
                                 {0, 0}, {kWidth, kHeight}, {0, kHeight}};
    for (int i = 0; i < 6; ++i) {
        v[i].x = corners[i][0];
        v[i].y = corners[i][1];
        v[i].color = 0x80204060u;
    }
    RenderSetBlend(BlendMode::Alpha, 255);
    for (auto _ : state) {
        RenderPrimitives(v, 6, PrimitiveKind::TriangleList);
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] =
        benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(FullScreenQuad)->Unit(benchmark::kMicrosecond);

// The background of every frame: an 8-pixel column strip stretched over the screen.
void StretchedBackground(benchmark::State& state) {
    OpenBuffer();
    RenderHandle strip = RenderCreateSurface(8, kHeight, false);
    RenderSetTarget(strip);
    RenderClearTarget(RenderColor(20, 24, 34));
    RenderSetTarget(kBackBuffer);
    RenderSetBlend(BlendMode::None, 255);
    for (auto _ : state) {
        RenderImage(strip, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    state.counters["pixels/s"] =
        benchmark::Counter(double(kWidth) * kHeight, benchmark::Counter::kIsIterationInvariantRate);
    RenderFreeImage(strip);
}
BENCHMARK(StretchedBackground)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
