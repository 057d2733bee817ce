// The time graphs of three 3-hour recordings (2 160 000 samples, 14 channels each) at
// 1920 x 1080: the whole recording across the screen, the normal view, zoomed in 8x, and
// while scrolling. The cost per frame must not depend on the recording's length.
#include "bench/gui_bench_main.h"
#include "bench/three_hour_rides.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "analysis/load_pipeline.h"
#include "logger/program.h"
#include "render/render.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"
#include "viewer/frame.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace {

using namespace qvtk;

constexpr int kWidth = 1920, kHeight = 1080;

void LoadRidesAndViewer() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    bench::LoadThreeHourRides();
    ResetViewState();
    ResetGraphSettings();
    ResetViewerResources();
    RenderOpenOffscreen(kWidth, kHeight);
    g_res.screenWidth = kWidth;
    AllocateVertexPools();
    LoadResources();
    AlignGraphs(1, true, false);
    RebuildGraphList();
}

// range(0): samples per pixel; range(1): ViewZoom x 10; range(2): 1 to scroll every frame.
void DrawGraphFrame(benchmark::State& state) {
    LoadRidesAndViewer();
    g_view.HorizontalCompression = float(state.range(0));
    g_view.ViewZoom = float(state.range(1)) / 10.0f;
    bool scroll = state.range(2) != 0;
    int32_t count = SlotOf(0).sampleCount;
    int64_t frame = 0, vertices = 0;
    for (auto _ : state) {
        int64_t sample = scroll ? (frame * 7919) % count : count / 2;
        for (int s = 0; s < kSlotCount; ++s) SlotOf(s).cursorPos = sample * 100;
        RenderSetTarget(kBackBuffer);
        RenderClearTarget(0xFF000000u);
        vertices += DrawCurves(MakeGraphFrame());
        ++frame;
    }
    state.counters["vertices_per_frame"] = double(vertices) / double(std::max<int64_t>(frame, 1));
}
BENCHMARK(DrawGraphFrame)
    ->Args({1125, 10, 0}) // the whole recording on the screen
    ->Args({5, 10, 0})    // the normal view
    ->Args({5, 80, 0})    // zoomed in 8x
    ->Args({5, 10, 1})    // scrolling
    ->Args({1125, 10, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace

QVTK_GUI_BENCHMARK_MAIN()
