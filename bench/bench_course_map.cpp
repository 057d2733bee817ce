// The GPS course map of a lap of 30 000 fixes (a fix every sample, 150 s at 200 Hz): the time
// of each increment pass of the track, which the main loop draws one per frame, and of the
// whole lap. No pass may take a frame (16 ms).
#include "bench/gui_bench_main.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"
#include "logger/program.h"
#include "data/session.h"
#include "render/render.h"
#include "viewer/course_map_picture.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace {

using namespace qvtk;

constexpr int32_t kLapFixes = 30000;

// One lap on a wobbly loop with a fix at every sample, coloured by a ramp.
void MakeGpsLap(bool secondFile) {
    ResetProgram();
    for (int slot = 0; slot < (secondFile ? 2 : 1); ++slot) {
        Slot& s = SlotOf(slot);
        const int32_t n = kLapFixes + 2000;
        s.channelFlags[1] = kChannelPresent | kChannelShown; // before: it gets a full buffer
        s.channels[1].code = 4;
        AllocateSlotBuffers(slot, n + kSpareSamples);
        s.sampleCount = n;
        s.active = true;
        s.file.fileKind = kFileFamily4;
        s.range.minByCode[4] = 0;
        s.range.maxByCode[4] = 100000;
        for (int32_t i = 0; i < n; ++i) {
            const double a = 2 * M_PI * i / kLapFixes;
            const double r = 40000 + 8000 * std::sin(7 * a) + 300 * slot;
            s.gps.status[i] = 3;
            s.gps.lon[i] = -18000000 + int32_t(r * std::cos(a));
            s.gps.lat[i] = 237000000 + int32_t(r * std::sin(a));
            s.samples[1][i] = int32_t(50000 + 50000 * std::sin(13 * a));
        }
        s.laps.count = 2;
        s.laps.marks[1] = 1000;
        s.laps.marks[2] = s.laps.marks[3] = s.laps.marks[4] = n;
        s.cursorPos = 2000 * 100; // lap 1: 1000 .. 31 000
    }
    g_session.file1HasGps = true;
    ResetViewState();
    g_view.CourseColorChannel[0] = 1;
    static bool open = false;
    if (!open) {
        RenderOpenOffscreen(kCourseMapSize, kCourseMapSize);
        ResetViewerResources();
        g_res.courseMap = RenderCreateSurface(kCourseMapSize, kCourseMapSize, true);
        open = true;
    }
}

// range(0): 1 with File 2 loaded (lines), 0 for File 1 alone (coloured triangles).
void GpsLapIncrements(benchmark::State& state) {
    MakeGpsLap(state.range(0) != 0);
    double worst = 0;
    int64_t passes = 0;
    for (auto _ : state) {
        DrawGpsTrack(2);
        passes = 1;
        while (g_mapPicture.gpsPending) {
            const auto start = std::chrono::steady_clock::now();
            DrawGpsTrack(0);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            worst = std::max(worst, ms);
            ++passes;
        }
    }
    state.counters["passes_per_lap"] = double(passes);
    state.counters["worst_increment_ms"] = worst;
}
BENCHMARK(GpsLapIncrements)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The course layout of 1000 points coloured by a channel, drawn again for another lap of 30 000
// samples, as a lap change on the map asks: the sample of every point is found in one walk
// over the lap.
void ColouredCourseOnALapChange(benchmark::State& state) {
    MakeGpsLap(false);
    g_session.file1HasGps = false;
    CourseLayout& c = g_courseLayout;
    c.pointCount = 1000;
    for (int i = 0; i <= c.pointCount + 1; ++i) {
        const double a = 2 * M_PI * i / c.pointCount;
        c.pointX[i] = float(200 * std::cos(a));
        c.pointY[i] = float(200 * std::sin(a));
    }
    Slot& s = SlotOf(0);
    s.laps.count = 3;
    s.laps.marks[1] = 1000;
    s.laps.marks[2] = 16000;
    s.laps.marks[3] = s.laps.marks[4] = s.laps.marks[5] = s.sampleCount;
    for (int32_t i = 1; i < s.sampleCount; ++i) s.distance.front[i] = s.distance.front[i - 1] + 40;
    ComputeSegments(0);
    bool second = false;
    for (auto _ : state) {
        second = !second;
        s.cursorPos = int64_t(second ? 20000 : 5000) * 100;
        DrawCourseLayout();
    }
}
BENCHMARK(ColouredCourseOnALapChange)->Unit(benchmark::kMillisecond);

} // namespace

QVTK_GUI_BENCHMARK_MAIN();
