// The whole picture a user sees at 1920 x 1080 with three three-hour recordings: curves, grid
// and its labels, lap marks, the span read-out, values, lap times and lists, layout tabs, the
// course map with its time and distance box, the scroll bar, the sub view with the stroke
// histograms, and the fading info panels. Each frame is timed on its own; the median and the
// 99th percentile of the frames are reported (milliseconds), wall clock and the processor time
// of the whole process (both threads) per frame: on a machine shared with other work the
// second is what a frame costs, whatever else runs.
#include "bench/gui_bench_main.h"

#include <QImage>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <vector>

#include "analysis/course_layout.h"
#include "bench/three_hour_rides.h"
#include "data/settings.h"
#include "render/render.h"
#include "viewer/frame.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace {

using namespace qvtk;

constexpr int kWidth = 1920, kHeight = 1080;

// The demo folder next to the benchmark holds the course and the sub view's pictures.
std::string DemoDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (exe.parent_path() / "demo").string();
}

void PrepareView() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    bench::LoadThreeHourRides();
    g_session.programDirectory = DemoDirectory();
    g_settings.CourseLayout_on = 1; // the loads above could not find the demo folder's course
    ResetCourseLayout();
    ResetViewState();
    ResetGraphSettings();
    ResetViewerResources();
    g_settings.ExpertMode = 1; // the stroke histograms are shown
    RenderOpenOffscreen(kWidth, kHeight);
    g_res.screenWidth = kWidth;
    AllocateVertexPools();
    LoadResources();
    AlignGraphs(1, true, false);
    ChooseFile1Colors();
    RebuildGraphList();
    for (FileSlot s = 0; s < kSlotCount; ++s)
        SlotOf(s).file.labelRect = {10, 16 + 15 * s, 120, 31 + 15 * s};
    g_view.KeyHelpCounter = 0;
    g_view.MouseX = 1400; // the pointer over the graphs: the span read-out is drawn
    g_view.MouseY = 520;
}

enum Case { kNormal, kZoomed, kWhole, kScrolling, kScrollingWhole };

// range(0): the case. Scrolling moves File 1's cursor (and the others with it) across the
// recordings by a screen width every 40 frames.
void WholeFrame(benchmark::State& state) {
    PrepareView();
    const Case c = Case(state.range(0));
    const float compression = c == kWhole || c == kScrollingWhole ? 1125.0f : 5.0f;
    g_view.HorizontalCompression = compression;
    g_view.ViewZoom = c == kZoomed ? 8.0f : 1.0f;
    g_view.ZoomSpan = c == kZoomed ? 80000 : 10000;
    g_view.ZoomAnchor = g_view.ZoomAnchorY = g_view.VScroll = 0;
    const int32_t count = SlotOf(0).sampleCount;
    for (FileSlot s = 0; s < kSlotCount; ++s) SlotOf(s).cursorPos = int64_t(count / 2) * 100;
    const bool scrolling = c == kScrolling || c == kScrollingWhole;
    const int64_t step = int64_t(kWidth * compression / 40) * 100;
    std::vector<double> ms, cpu;
    auto processMs = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    for (auto _ : state) {
        if (scrolling)
            for (FileSlot s = 0; s < kSlotCount; ++s) {
                Slot& slot = SlotOf(s);
                slot.cursorPos = (slot.cursorPos + step) % (int64_t(slot.sampleCount) * 100);
            }
        g_view.RedrawCountdown = 60; // the info panels are shown
        const double cpuStart = processMs();
        const auto start = std::chrono::steady_clock::now();
        DrawFrame();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        cpu.push_back(processMs() - cpuStart);
        state.SetIterationTime(took.count() / 1000.0);
        ms.push_back(took.count());
    }
    auto percentile = [](std::vector<double>& v, int p) {
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, v.size() * size_t(p) / 100)];
    };
    state.counters["median_ms"] = percentile(ms, 50);
    state.counters["p99_ms"] = percentile(ms, 99);
    state.counters["cpu_median_ms"] = percentile(cpu, 50);
    state.counters["cpu_p99_ms"] = percentile(cpu, 99);
}
BENCHMARK(WholeFrame)
    ->ArgName("case")
    ->Arg(kNormal)
    ->Arg(kZoomed)
    ->Arg(kWhole)
    ->Arg(kScrolling)
    ->Arg(kScrollingWhole)
    ->Iterations(400)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

QVTK_GUI_BENCHMARK_MAIN()
