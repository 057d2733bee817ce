// The analysis tools on three-hour rides (2 160 000 samples each, every lap checked): the
// percentage analysis of a recording, one A/F map frame and one X-Y plot frame with two such
// files at 1920 x 1080. Each must stay under its budget: 50 ms, 50 ms and 16 ms.
#include "bench/gui_bench_main.h"

#include "analysis/lap_model.h"
#include "analysis/percentage.h"
#include "analysis/xy_plot.h"
#include "bench/three_hour_rides.h"
#include "data/settings.h"
#include "render/render.h"
#include "viewer/af_map_view.h"
#include "viewer/graph_layout.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"
#include "viewer/xy_plot_view.h"

namespace {

using namespace qvtk;

constexpr int kWidth = 1920, kHeight = 1080;

void Prepare() {
    bench::LoadThreeHourRides();
    for (FileSlot slot = 0; slot < kSlotCount; ++slot)
        for (int k = 0; k < kLapEntries; ++k) LapStateOf(slot).lapChecked[k] = true;
    static bool open = false;
    if (!open) {
        RenderOpenOffscreen(kWidth, kHeight);
        ResetViewerResources();
        ResetViewState();
        ResetGraphLayouts();
        open = true;
    }
}

int64_t Samples(FileSlot slot) {
    return SlotOf(slot).sampleCount;
}

// range(0): the channel (0 Ne, 2 FrSUS); range(1): 1 with a simulated final drive.
void PercentageOfOneRide(benchmark::State& state) {
    Prepare();
    const int channel = int(state.range(0));
    SlotOf(0).engineSpeedScale = state.range(1) ? 1.0465f : 1.0f;
    const BandSettings b = g_percentage.bands[channel];
    for (auto _ : state) benchmark::DoNotOptimize(ComputeHistogram(0, channel, b, false));
    SlotOf(0).engineSpeedScale = 1.0f;
    state.counters["samples"] = double(Samples(0));
}
BENCHMARK(PercentageOfOneRide)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond);

// Both boxes, File 1 and File 2, with their texts.
void PercentageOfTwoRides(benchmark::State& state) {
    Prepare();
    for (auto _ : state)
        benchmark::DoNotOptimize(AnalyzeDistribution(0, g_percentage.bands[0], true));
}
BENCHMARK(PercentageOfTwoRides)->Unit(benchmark::kMillisecond);

void AfMapFrame(benchmark::State& state) {
    Prepare();
    g_settings.AFmap_YCH = 1;
    g_settings.AFmap_AFCH = 6;
    g_settings.AFmap_SWCH = int(state.range(0)) ? 1 : 0; // throttle above 2.5 %
    EnterAfMapView();
    int64_t points = 0;
    for (auto _ : state) {
        g_afMapView.fade = 255;
        RenderSetTarget(kBackBuffer);
        DrawAfMapView(kWidth);
        points = g_afMapView.counts[0].Total() + g_afMapView.counts[1].Total();
    }
    g_view.AfMapView = 0;
    state.counters["points"] = double(points);
}
// The two panels are painted on two threads: the process time counts both.
BENCHMARK(AfMapFrame)
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// range(0): 0 the points made anew (settings, laps or zoom changed), 1 the frame of an
// unchanged plot with the cursors moving; range(1): point size or, with 4, connected lines.
void XyPlotFrame(benchmark::State& state) {
    Prepare();
    g_settings.XYPlot_Xch = 1; // TPS
    g_settings.XYPlot_Ych = 3; // VRW
    g_settings.XYPlot_Zch = 0; // Ne
    for (int axis = 0; axis < 3; ++axis) XyPlotRangeValue(axis, 2) = 0;
    g_xyPlot.connectedLine = state.range(1) == 4;
    g_xyPlot.pointSize = int(state.range(1) % 4);
    g_view.XyPlotView = 1;
    for (auto _ : state) {
        if (state.range(0) == 0) g_xyPlotView.drawnSignature = 0;
        SlotOf(0).cursorPos += 100;
        RenderSetTarget(kBackBuffer);
        DrawXyPlotView(kWidth, kHeight);
    }
    g_view.XyPlotView = 0;
    g_xyPlot = XyPlotState();
    state.counters["samples"] = double(Samples(0) + Samples(1));
}
BENCHMARK(XyPlotFrame)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({0, 3})
    ->Args({0, 4})
    ->Args({1, 1})
    ->MeasureProcessCPUTime() // the two files are painted on two threads
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

QVTK_GUI_BENCHMARK_MAIN();
