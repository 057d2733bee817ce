// The whole picture a user sees at 1920 x 1080 with three three-hour recordings: curves, grid
// and its labels, lap marks, the span read-out, values, lap times and lists, layout tabs, the
// course map with its time and distance box, the scroll bar, the sub view with the stroke
// histograms, and the fading info panels. Each frame is timed on its own; the median and the
// 99th percentile of the frames are reported (milliseconds), wall clock and the processor time
// of the whole process (both threads) per frame: on a machine shared with other work the
// second is what a frame costs, whatever else runs.
#include "bench/gui_bench_main.h"


#include "bench/frame_times.h"
#include "bench/three_hour_rides.h"
#include "bench/viewer_setup.h"
#include "viewer/frame.h"
#include "viewer/view_state.h"

namespace {

using namespace qvtk;

constexpr int kWidth = 1920, kHeight = 1080;

void PrepareView() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    bench::LoadThreeHourRides();
    bench::StartViewerOffscreen(kWidth, kHeight, 1); // expert: the stroke histograms are shown
    for (FileSlot s = 0; s < kSlotCount; ++s)
        SlotOf(s).file.labelRect = {10, 16 + 15 * s, 120, 31 + 15 * s};
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
    bench::FrameTimes times;
    for (auto _ : state) {
        if (scrolling)
            for (FileSlot s = 0; s < kSlotCount; ++s) {
                Slot& slot = SlotOf(s);
                slot.cursorPos = (slot.cursorPos + step) % (int64_t(slot.sampleCount) * 100);
            }
        g_view.RedrawCountdown = 60; // the info panels are shown
        times.Time(state, DrawFrame);
    }
    times.Report(state);
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
