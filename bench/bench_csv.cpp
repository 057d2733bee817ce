// CSV import and export of a simulated three-hour ride (2 160 000 samples): the recording is
// exported by our own export at "200Hz (5ms)" with Time, Lap and the eleven logger channels
// (13 columns), and that file is imported again with the aliases of our export's names.
// With python3 and pandas installed, pandas.read_csv reads the same file in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/csv_export.h"
#include "analysis/load_pipeline.h"
#include "bench/peak_memory.h"
#include "bench/rate.h"
#include "logger/program.h"
#include "data/csv_import.h"
#include "data/session.h"
#include "platform/message_box.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"

namespace {

using namespace qvtk;

const char* const kDir = "/tmp/qvtk_bench";

const char* const kLabels = "[Time]\n0=Time\n[Ne]\n0=Ne\n[TH]\n0=TPS\n[VFW]\n0=VFW\n[VRW]\n0=VRW\n"
                            "[FRSUS]\n0=FrSUS\n[RRSUS]\n0=RrSUS\n[LAF1]\n0=LAF1\n[LAF2]\n0=LAF2\n"
                            "[VB]\n0=VB\n[AUX1]\n0=AUX1\n[AUX2]\n0=AUX2\n[LAP]\n0=Lap\n";

void StartProgram() {
    ResetProgram();
    SetMessageSink(nullptr);
    g_session.programDirectory = kDir;
    LoadCsvLabels(kDir);
}

size_t FileSize(const std::string& path) {
    return size_t(std::filesystem::file_size(path));
}

// The ride as a family-3 recording in File 1, showing only the channels a logger records.
void LoadRide() {
    const std::string path = std::string(kDir) + "/csv_ride.qvd";
    if (!std::filesystem::exists(path)) {
        sim::RideOptions options;
        options.seed = 7;
        options.minutes = 180;
        const std::vector<uint8_t> bytes =
            sim::WriteFamily3(sim::SimulateRide(sim::MakeCourse(options.seed), options), 2);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    StartProgram();
    FileSlot slot = 0;
    LoadFileIntoSlot(slot, path);
    for (int c = 11; c < kColumnCount; ++c) SlotOf(0).channelFlags[c] &= ~kChannelShown;
}

const std::string& CsvFile() {
    static const std::string path = [] {
        std::filesystem::create_directories(kDir);
        std::ofstream(std::string(kDir) + "/csvlabel.ini") << kLabels;
        const std::string csv = std::string(kDir) + "/ride_13.csv";
        if (!std::filesystem::exists(csv)) {
            LoadRide();
            WriteCsvExport(csv, ExportRequest{}, {});
            ResetSession();
        }
        return csv;
    }();
    return path;
}

void ImportCsv(benchmark::State& state) {
    const std::string& path = CsvFile();
    StartProgram();
    const double fileBytes = double(FileSize(path));
    for (auto _ : state) {
        FileSlot slot = 0;
        if (!LoadFileIntoSlot(slot, path)) state.SkipWithError("the CSV did not load");
        ClearRecordedMessages();
    }
    SetBytesProcessedBothUnits(state, double(state.iterations() * fileBytes));
    state.counters["samples"] = SlotOf(0).sampleCount;
    state.counters["laps"] = SlotOf(0).laps.count - 1;

    bench::CountPeakMemoryOfLoad(state, path, fileBytes);
}
BENCHMARK(ImportCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// pandas.read_csv of the same file, timed inside python (start-up and import left out).
void PandasReadCsv(benchmark::State& state) {
    const std::string& path = CsvFile();
    if (std::system("python3 -c 'import pandas' >/dev/null 2>&1") != 0) {
        state.SkipWithError("python3 with pandas is not installed");
        return;
    }
    const std::string command =
        "python3 -c \"import pandas,time; t=time.perf_counter(); pandas.read_csv('" + path +
        "'); print(time.perf_counter()-t)\"";
    for (auto _ : state) {
        FILE* pipe = popen(command.c_str(), "r");
        double seconds = 0;
        if (!pipe || std::fscanf(pipe, "%lf", &seconds) != 1) state.SkipWithError("pandas failed");
        if (pipe) pclose(pipe);
        state.SetIterationTime(seconds);
    }
    SetBytesProcessedBothUnits(state, double(state.iterations() * FileSize(path)));
}
BENCHMARK(PandasReadCsv)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void ExportCsv200Hz(benchmark::State& state) {
    CsvFile();
    LoadRide();
    const std::string out = std::string(kDir) + "/export_200hz.csv";
    for (auto _ : state)
        if (!WriteCsvExport(out, ExportRequest{}, {})) state.SkipWithError("the export failed");
    SetBytesProcessedBothUnits(state, double(state.iterations() * FileSize(out)));
    state.counters["out_MB"] = double(FileSize(out)) / 1e6;
    ResetSession();
}
BENCHMARK(ExportCsv200Hz)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
