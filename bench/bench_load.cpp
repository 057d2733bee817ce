// Loading a recording end to end (read, decode, derived channels, alignment, ranges) for a
// simulated ride of three hours.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "analysis/load_pipeline.h"
#include "bench/peak_memory.h"
#include "bench/rate.h"
#include "logger/program.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/message_box.h"
#include "tools/sim/course.h"
#include "tools/sim/course_ini.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/family4_writer.h"
#include "tools/sim/gps_track.h"
#include "tools/sim/ride.h"

namespace {

using namespace qvtk;

constexpr double kRideMinutes = 180; // 2 160 000 samples
constexpr int kFamily4 = 16;         // the version argument that asks for a family-4 recording
const char* const kDir = "/tmp/qvtk_bench";

const sim::SimCourse& Course() {
    static const sim::SimCourse course = sim::MakeCourse(7);
    return course;
}

const sim::SimRide& Ride() {
    static const sim::SimRide ride = [] {
        sim::RideOptions options;
        options.seed = 7;
        options.minutes = kRideMinutes;
        return sim::SimulateRide(Course(), options);
    }();
    return ride;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The recording as a file in the benchmark's program directory, written once per format,
// beside the course files a GPS recording looks for.
const std::string& RecordingFile(int version) {
    static std::map<int, std::string> files;
    auto it = files.find(version);
    if (it != files.end()) return it->second;
    std::filesystem::create_directories(kDir);
    const std::string dir = kDir;
    WriteBytes(dir + "/vorela.crs", sim::WriteCourseLayout(Course()));
    WriteBytes(dir + "/gps_p.ini",
               sim::WriteGpsLineIni("vorela", sim::StartFinishLine(sim::GeoOrigin{}, Course())));
    std::string path = dir + "/ride_" + std::to_string(version) + ".qvd";
    if (version == kFamily4) {
        sim::Family4Options options;
        options.gpsLaps = true;
        WriteBytes(path, sim::WriteFamily4(Ride(), options));
    } else {
        WriteBytes(path, sim::WriteFamily3(Ride(), version));
    }
    return files.emplace(version, path).first->second;
}

void StartProgram() {
    ResetProgram();
    SetMessageSink(nullptr);
    g_session.programDirectory = kDir;
}

void LoadRecording(benchmark::State& state) {
    const int version = int(state.range(0));
    const std::string& path = RecordingFile(version);
    StartProgram();
    const size_t fileBytes = size_t(std::ifstream(path, std::ios::binary | std::ios::ate).tellg());
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        FileSlot slot = 0;
        if (!LoadFileIntoSlot(slot, path)) state.SkipWithError("the recording did not load");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ClearRecordedMessages();
    }
    const double samples = SlotOf(0).sampleCount;
    SetBytesProcessedBothUnits(state, double(state.iterations() * fileBytes));
    state.counters["samples"] = samples;
    state.counters["ns_per_sample"] = seconds * 1e9 / (samples * double(state.iterations()));

    bench::CountPeakMemoryOfLoad(state, path, double(fileBytes));
}

BENCHMARK(LoadRecording)
    ->Arg(2)
    ->Arg(3)
    ->Arg(kFamily4)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

// Lap statistics of three recordings of three hours each, as the lap table computes them.
void LapStatistics(benchmark::State& state) {
    StartProgram();
    const int versions[kSlotCount] = {2, 3, kFamily4};
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        FileSlot filled = slot;
        if (!LoadFileIntoSlot(filled, RecordingFile(versions[slot])))
            state.SkipWithError("a recording did not load");
        ResetLapChecks(slot);
    }
    for (auto _ : state) ComputeLapStatistics();
    int laps = 0;
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) laps += SlotOf(slot).laps.count;
    state.counters["laps"] = laps;
    ResetSession();
}

BENCHMARK(LapStatistics)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
