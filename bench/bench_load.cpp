// Loading a recording end to end (read, decode, derived channels, alignment, ranges) for a
// simulated ride of three hours.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>

#include "data/log_loader.h"
#include "data/program.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/message_box.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"

namespace {

using namespace qvtk;

constexpr double kRideMinutes = 180; // 2 160 000 samples

const sim::SimRide& Ride() {
    static const sim::SimRide ride = [] {
        sim::RideOptions options;
        options.seed = 7;
        options.minutes = kRideMinutes;
        return sim::SimulateRide(sim::MakeCourse(options.seed), options);
    }();
    return ride;
}

// The recording as a file in the temporary folder, written once per version.
const std::string& RecordingFile(int version) {
    static std::map<int, std::string> files;
    auto it = files.find(version);
    if (it != files.end()) return it->second;
    std::vector<uint8_t> bytes = sim::WriteFamily3(Ride(), version);
    std::string path = "/tmp/qvtk_bench_v" + std::to_string(version) + ".qvd";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
    return files.emplace(version, path).first->second;
}

long ReadStatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
    return -1;
}

// Bytes the slot's buffers take: the columns, the GPS arrays, the marks and three tracks.
double SlotTableBytes(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    double bytes = 0;
    for (int c = 0; c < kColumnCount; ++c) bytes += 4.0 * s.columnCapacity[c];
    return bytes + double(s.capacity) * (1 + 4 + 4 + 4 + 1 + 3 * 4);
}

void LoadRecording(benchmark::State& state) {
    const int version = int(state.range(0));
    const std::string& path = RecordingFile(version);
    ResetProgram();
    SetMessageSink(nullptr);
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
    state.SetBytesProcessed(int64_t(state.iterations() * fileBytes));
    state.counters["samples"] = samples;
    state.counters["ns_per_sample"] = seconds * 1e9 / (samples * double(state.iterations()));

    // Peak memory of one load from an empty program, against what the tables need plus the
    // file itself.
    ResetSession();
    const long before = ReadStatusKb("VmRSS:");
    std::ofstream("/proc/self/clear_refs") << "5"; // restart the high-water mark
    FileSlot slot = 0;
    LoadFileIntoSlot(slot, path);
    const long peak = ReadStatusKb("VmHWM:");
    const double needed = SlotTableBytes(0) + double(fileBytes);
    state.counters["file_MB"] = double(fileBytes) / 1e6;
    state.counters["peak_MB"] = double(peak - before) * 1024 / 1e6;
    state.counters["peak_ratio"] = double(peak - before) * 1024 / needed;
    ResetSession();
}

BENCHMARK(LoadRecording)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
