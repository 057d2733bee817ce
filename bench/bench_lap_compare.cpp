// Comparing laps by distance. LapSlipAndZones: the slip and the zones of two laps of about
// 30 000 samples (150 s), from nothing: the distance base of both recordings (by the running
// distance, or by GPS along the reference lap's path), the slip on the grid and per sample, the
// zones with what differed (budget 5 ms). AlignedFrame: one whole frame at 1920 x 1080 of two
// recordings of ten laps while File 1's cursor runs on by a tenth of a screen a frame, with
// the distance alignment off and on (budget: the same as off), and on without the zones
// panel; each pass timed as the main loop runs it: the cursors following (with the slip
// channels made again when a lap changes) and the frame drawn. Median and 99th percentile of
// the passes, in ms, wall clock and the processor time of the whole process.
#include "bench/gui_bench_main.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/course_layout.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_compare.h"
#include "analysis/lap_statistics.h"
#include "analysis/load_pipeline.h"
#include "bench/frame_times.h"
#include "bench/viewer_setup.h"
#include "data/settings.h"
#include "logger/program.h"
#include "render/render.h"
#include "tools/sim/course.h"
#include "tools/sim/course_ini.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/family4_writer.h"
#include "tools/sim/gps_track.h"
#include "tools/sim/ride.h"
#include "viewer/frame.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/lap_compare_view.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace {

using namespace qvtk;

const std::string kDir = "/tmp/qvtk_bench_compare";

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The longest of the first simulated courses, ridden slowly and carefully (every corner at a
// share of its speed): laps of about 150 s.
uint32_t LongCourseSeed() {
    uint32_t best = 1;
    double length = 0;
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        const double l = sim::MakeCourse(seed).length;
        if (l > length) length = l, best = seed;
    }
    return best;
}

// Where the corners of a course are, one distance in each.
std::vector<double> Corners(const sim::SimCourse& course) {
    std::vector<double> at;
    double from = 0, to = 0;
    for (double d = 0; d < course.length; d += 10)
        if (sim::FindCorner(course, d, from, to) && (at.empty() || from > at.back()))
            at.push_back(std::max(from, d));
    return at;
}

// Two rides of one course in File 1 and File 2, every corner taken at `corner` of its speed;
// the second is slower still in two of them. `gps`: as family-4 recordings with fixes and the
// course's line in "gps_p.ini".
void LoadPair(uint32_t seed, int laps, double pace, double corner, bool gps) {
    std::filesystem::create_directories(kDir);
    const sim::SimCourse course = sim::MakeCourse(seed);
    ResetProgram();
    g_session.programDirectory = kDir;
    if (gps) {
        WriteBytes(kDir + "/gps_p.ini",
                   sim::WriteGpsLineIni("vorela", sim::StartFinishLine(sim::GeoOrigin{}, course)));
        LoadControlLine();
    }
    for (FileSlot slot = 0; slot < 2; ++slot) {
        sim::RideOptions o;
        o.seed = seed;
        o.laps = laps;
        o.pace = pace;
        const std::vector<double> corners = corner < 1 ? Corners(course) : std::vector<double>();
        for (double at : corners) o.slowCorners.push_back({at, corner, 0});
        if (slot == 1)
            for (double at : {0.3, 0.7}) {
                const double c = course.length * at;
                o.slowCorners.erase(std::remove_if(o.slowCorners.begin(), o.slowCorners.end(),
                                                   [&](const sim::SlowCorner& s) {
                                                       double from = 0, to = 0;
                                                       sim::FindCorner(course, c, from, to);
                                                       return s.at >= from && s.at <= to;
                                                   }),
                                    o.slowCorners.end());
                o.slowCorners.push_back({c, 0.85 * corner, 15});
            }
        const sim::SimRide ride = sim::SimulateRide(course, o);
        sim::Family4Options f4;
        f4.gpsLaps = true;
        const std::string path = kDir + "/ride" + std::to_string(slot) + (gps ? "gps" : "") +
                                 std::to_string(seed) + "_" + std::to_string(laps) + ".qvd";
        WriteBytes(path, gps ? sim::WriteFamily4(ride, f4) : sim::WriteFamily3(ride, 2));
        FileSlot s = slot;
        LoadFileIntoSlot(s, path);
    }
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) ResetLapChecks(slot);
    ComputeLapStatistics();
}

// range(0): 1 measures the laps by GPS.
void LapSlipAndZones(benchmark::State& state) {
    const bool gps = state.range(0) != 0;
    LoadPair(LongCourseSeed(), 2, 0.8, 0.8, gps);
    const LapRef ref = FastestLapOf(0), cmp = FastestLapOf(1);
    std::vector<double> perSample;
    size_t zones = 0;
    for (auto _ : state) {
        ResetLapDistances();
        UpdateLapDistances(ref);
        const LapComparison c = CompareLaps(ref, cmp, SlipZoneThreshold());
        SlipPerSample(MakeLapTrace(ref, c.length), MakeLapTrace(cmp, c.length), perSample);
        zones = c.zones.size();
        benchmark::DoNotOptimize(perSample.data());
    }
    state.counters["ref_samples"] = double(LapEnd(ref) - LapStart(ref));
    state.counters["cmp_samples"] = double(LapEnd(cmp) - LapStart(cmp));
    state.counters["zones"] = double(zones);
    state.counters["seed"] = double(LongCourseSeed());
    state.counters["gps_base"] = double(LapDistanceBase(ref) == DistanceBase::kGps);
}
BENCHMARK(LapSlipAndZones)->ArgName("gps")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

constexpr int kWidth = 1920, kHeight = 1080;

void PrepareFrame() {
    static bool ready = false;
    if (ready) return;
    ready = true;
    LoadPair(138, 10, 1.0, 1.0, false);
    bench::StartViewerOffscreen(kWidth, kHeight);
}

// range(0): 1 with the distance alignment on.
void AlignedFrame(benchmark::State& state) {
    PrepareFrame();
    const bool on = state.range(0) != 0;
    g_compareView.zonesPanel = state.range(0) != 2;
    SetLapComparison(false);
    const int64_t start = int64_t(LapMark(0, 1)) * 100;
    for (FileSlot s = 0; s < 2; ++s) SlotOf(s).cursorPos = start;
    SetLapComparison(on);
    const int64_t step = int64_t(kWidth * g_view.HorizontalCompression / 10) * 100;
    const int64_t end = int64_t(LapMark(0, SlotOf(0).laps.count - 1)) * 100;
    bench::FrameTimes times;
    for (auto _ : state) {
        // The cursors run on through the flying laps, File 2 after File 1 as a pass moves it.
        const int64_t next = SlotOf(0).cursorPos + step;
        const int64_t to = next < end ? next : start;
        g_view.RedrawCountdown = 60;
        times.Time(state, [&] {
            if (on) {
                SlotOf(0).cursorPos = to;
                FollowByDistance();
            } else {
                SlotOf(1).cursorPos += to - SlotOf(0).cursorPos;
                SlotOf(0).cursorPos = to;
            }
            DrawFrame();
        });
    }
    SetLapComparison(false);
    times.Report(state);
}
BENCHMARK(AlignedFrame)
    ->ArgName("aligned")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(400)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

QVTK_GUI_BENCHMARK_MAIN()
