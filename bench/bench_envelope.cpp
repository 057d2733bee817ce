// The min/max envelope of three-hour recordings: building it for a slot after a load, and the
// queries of one frame of time graphs (three files, every full column, 1920 pixel columns) at
// the whole-recording view and zoomed in, against scanning the same samples directly.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <vector>

#include "analysis/load_pipeline.h"
#include "logger/program.h"
#include "data/sample_envelope.h"
#include "data/session.h"
#include "platform/message_box.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"

namespace {

using namespace qvtk;

constexpr double kRideMinutes = 180; // 2 160 000 samples
constexpr int kPixelColumns = 1920;

// Three recordings of one three-hour ride in three family-3 versions, loaded once into the
// three slots (each slot its own buffers and envelopes).
void LoadThreeRecordings() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    ResetProgram();
    SetMessageSink(nullptr);
    g_session.programDirectory = "/tmp";
    std::vector<uint8_t> files[kSlotCount];
    {
        sim::RideOptions options;
        options.seed = 7;
        options.minutes = kRideMinutes;
        const sim::SimRide ride = sim::SimulateRide(sim::MakeCourse(7), options);
        const int versions[kSlotCount] = {2, 3, 4};
        for (FileSlot slot = 0; slot < kSlotCount; ++slot)
            files[slot] = sim::WriteFamily3(ride, versions[slot]);
    }
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        FileSlot filled = slot;
        LoadLogFile(filled, "ride.qvd", Bytes(files[slot].data(), files[slot].size()));
    }
    ClearRecordedMessages();
}

std::vector<int> FullColumns(FileSlot slot) {
    std::vector<int> columns;
    for (int c = 0; c < kColumnCount; ++c)
        if (HasFullBuffer(SlotOf(slot), c)) columns.push_back(c);
    return columns;
}

void BuildEnvelope(benchmark::State& state) {
    LoadThreeRecordings();
    const Slot& s = SlotOf(0);
    const size_t columns = FullColumns(0).size();
    if (columns == 0) state.SkipWithError("the recording did not load");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!BuildSlotEnvelope(0)) state.SkipWithError("out of memory");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double samples = double(s.sampleCount) * double(columns);
    state.counters["samples"] = s.sampleCount;
    state.counters["columns"] = double(columns);
    state.counters["ns_per_sample"] = seconds * 1e9 / (samples * double(state.iterations()));
    state.counters["envelope_MB"] = double(SlotEnvelopeBytes(0)) / 1e6;
    state.counters["of_samples_%"] = 100.0 * double(SlotEnvelopeBytes(0)) / (4.0 * samples);
}
BENCHMARK(BuildEnvelope)->Unit(benchmark::kMillisecond)->MinTime(2.0);

enum class Ask { kScan, kEachRun, kAllRuns };

// One frame's worth of column extremes: every full column of the three files, 1920 pixel
// columns of `perColumn` samples each, centred in the recording. The pixel columns' last
// samples sit in one scratch array kept between frames, as the viewer keeps its own.
template <Ask kAsk> void Frame(benchmark::State& state) {
    LoadThreeRecordings();
    const int32_t perColumn = int32_t(state.range(0));
    std::vector<int> columns[kSlotCount];
    int64_t queries = 0;
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        columns[slot] = FullColumns(slot);
        queries += int64_t(columns[slot].size()) * kPixelColumns;
    }
    if (queries == 0) state.SkipWithError("the recordings did not load");
    std::vector<int32_t> lasts(kPixelColumns);
    std::vector<MinMax> out(kPixelColumns);
    int64_t sink = 0;
    double seconds = 0;
    int64_t frame = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        // Every other frame a block further: the runs differ from the last frame's, as when
        // scrolling, so no frame is answered from the one before.
        const int32_t shift = int32_t(frame++ % 2) * kEnvelopeBlock;
        for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
            const Slot& s = SlotOf(slot);
            // On a block edge, so that columns of a multiple of a block's samples (1120) never
            // read a sample.
            const int32_t first = std::max<int32_t>(0, (s.sampleCount - perColumn * kPixelColumns) /
                                                           2 / kEnvelopeBlock * kEnvelopeBlock) +
                                  shift;
            for (int px = 0; px < kPixelColumns; ++px) lasts[px] = first + (px + 1) * perColumn - 1;
            for (int c : columns[slot]) {
                if constexpr (kAsk == Ask::kAllRuns) {
                    EnvelopeMinMaxRuns(slot, c, first, lasts.data(), kPixelColumns, out.data());
                } else {
                    const int32_t* x = s.samples[c];
                    int32_t a = first;
                    for (int px = 0; px < kPixelColumns; ++px) {
                        MinMax& m = out[size_t(px)];
                        m = {INT32_MAX, INT32_MIN};
                        if constexpr (kAsk == Ask::kEachRun) {
                            EnvelopeMinMax(slot, c, a, lasts[px], m.min, m.max);
                        } else {
                            for (int32_t i = a; i <= std::min(lasts[px], s.sampleCount - 1); ++i) {
                                m.min = std::min(m.min, x[i]);
                                m.max = std::max(m.max, x[i]);
                            }
                        }
                        a = lasts[px] + 1;
                    }
                }
                for (const MinMax& m : out) sink += int64_t(m.min) ^ m.max;
            }
        }
        benchmark::DoNotOptimize(sink);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["queries"] = double(queries);
    state.counters["ns_per_query"] = seconds * 1e9 / (double(queries) * double(state.iterations()));
}

// Every run of the frame in one call per curve.
void FrameFromEnvelopeRuns(benchmark::State& state) {
    Frame<Ask::kAllRuns>(state);
}
// One call per pixel column.
void FrameFromEnvelope(benchmark::State& state) {
    Frame<Ask::kEachRun>(state);
}
// Every sample read: what the envelope saves.
void FrameByScanning(benchmark::State& state) {
    Frame<Ask::kScan>(state);
}
BENCHMARK(FrameFromEnvelopeRuns)
    ->Arg(1125)
    ->Arg(1120)
    ->Arg(100)
    ->Arg(10)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(FrameFromEnvelope)
    ->Arg(1125)
    ->Arg(1120)
    ->Arg(100)
    ->Arg(10)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(FrameByScanning)->Arg(1125)->Arg(100)->Arg(10)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
