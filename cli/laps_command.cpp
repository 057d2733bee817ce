#include "cli/commands.h"

#include <cstdio>
#include <iostream>
#include <utility>
#include <vector>

#include "analysis/course_layout.h"
#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "analysis/lap_table.h"
#include "cli/json_writer.h"

namespace qvtk::cli {

namespace {

// Metres run, as the file summary counts them: the lap distances over the recording.
double RunDistanceKm(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    int64_t sum = 0;
    for (int k = 0; k <= s.laps.count && k < kLapMarkEntries; ++k) sum += s.laps.lapDistance[k];
    const int64_t metres = int64_t(double(sum) / 7200.0 / s.sampleRateFactor);
    return double(metres) * 0.001;
}

template <class F> void ForEachLap(FileSlot slot, F f) {
    const int m = MarksPerLap(slot);
    for (int k = 0; k <= SlotOf(slot).laps.count - m; k += m) f(k);
}

void WriteLapIndex(JsonWriter& j, int32_t lap) {
    if (lap == kNoLap)
        j.Null();
    else
        j.Value(int64_t(lap));
}

// The lap table's values of the asked columns, per lap.
struct ColumnStats {
    int column;
    std::vector<LapColumnValues> laps;
};

std::vector<ColumnStats> ComputeStats(FileSlot slot, const std::vector<int>& columns) {
    std::vector<ColumnStats> out;
    for (int c : columns) {
        out.push_back({c, std::vector<LapColumnValues>(kLapEntries)});
        ComputeColumnLapValues(slot, c, out.back().laps.data());
    }
    return out;
}

void WriteJson(const Options& o, const std::vector<ColumnStats>& stats) {
    const FileSlot slot = o.slot;
    const LapState& st = LapStateOf(slot);
    JsonWriter j;
    j.BeginObject();
    j.Key("marksPerLap"), j.Value(int64_t(MarksPerLap(slot)));
    j.Key("lapMarkCount"), j.Value(int64_t(SlotOf(slot).laps.count));
    j.Key("laps");
    j.BeginArray();
    ForEachLap(slot, [&](int k) {
        const int32_t samples = LapDuration(slot, k);
        j.BeginObject();
        j.Key("k"), j.Value(int64_t(k));
        j.Key("startSample"), j.Value(int64_t(LapMark(slot, k)));
        j.Key("endSample"), j.Value(int64_t(LapMark(slot, k + MarksPerLap(slot))));
        j.Key("samples"), j.Value(int64_t(samples));
        j.Key("time"), j.Value(FormatLapTime(samples, slot));
        j.Key("checked"), j.Value(st.lapChecked[k]);
        j.Key("sectorSamples");
        j.BeginArray();
        for (int32_t t : st.sectorTime[k]) t == kNoTime ? j.Null() : j.Value(int64_t(t));
        j.EndArray();
        j.Key("sectorTimes");
        j.BeginArray();
        for (int32_t t : st.sectorTime[k])
            t == kNoTime ? j.Null() : j.Value(FormatSectorTime(t, slot));
        j.EndArray();
        if (!stats.empty()) {
            j.Key("stats");
            j.BeginArray();
            for (const ColumnStats& c : stats) {
                const LapColumnValues& v = c.laps[k];
                j.BeginObject();
                j.Key("column"), j.Value(int64_t(c.column));
                for (auto [key, value] : {std::pair{"min", v.lapMin}, std::pair{"max", v.lapMax},
                                          std::pair{"avg", v.lapAvg}}) {
                    j.Key(key);
                    v.counted ? j.Value(value) : j.Null(); // no sample with the engine running
                }
                j.EndObject();
            }
            j.EndArray();
        }
        j.EndObject();
    });
    j.EndArray();
    j.Key("bestLap"), WriteLapIndex(j, st.bestLap);
    j.Key("secondBestLap"), WriteLapIndex(j, st.secondBestLap);
    j.Key("bestSectorLap");
    j.BeginArray();
    for (int32_t lap : st.bestSectorLap) WriteLapIndex(j, lap);
    j.EndArray();
    j.Key("idealTime"), j.Value(FormatLapTimePadded(IdealTime(slot), slot));
    j.Key("averageLapTime"), j.Value(FormatLapTimePadded(AverageLapTime(slot), slot));
    j.Key("runDistanceKm"), j.Value(RunDistanceKm(slot));
    j.Key("sectors");
    j.BeginArray();
    for (int32_t sec : st.sectors.sec) j.Value(int64_t(sec));
    j.EndArray();
    PrintWithMessages(j);
}

void WriteText(const Options& o, const std::vector<ColumnStats>& stats) {
    const FileSlot slot = o.slot;
    const LapState& st = LapStateOf(slot);
    std::printf("%s: File %d, %d mark/lap, course %s\n", o.file.c_str(), slot + 1,
                MarksPerLap(slot), g_courseLayout.courseName.c_str());
    std::printf("  %4s %9s %9s %9s  %-4s %s\n", "k", "start", "end", "time", "", "sectors");
    ForEachLap(slot, [&](int k) {
        std::string sectors;
        for (int32_t t : st.sectorTime[k])
            if (t != kNoTime) sectors += FormatSectorTime(t, slot) + " ";
        const char* mark = k == st.bestLap ? "best" : k == st.secondBestLap ? "2nd" : "";
        std::printf("  %4d %9d %9d %9s%c %-4s %s\n", k, LapMark(slot, k),
                    LapMark(slot, k + MarksPerLap(slot)),
                    FormatLapTime(LapDuration(slot, k), slot).c_str(), st.lapChecked[k] ? ' ' : '-',
                    mark, sectors.c_str());
        for (const ColumnStats& c : stats) {
            const LapColumnValues& v = c.laps[k];
            if (v.counted)
                std::printf("       c%-2d min %.3f max %.3f avg %.3f\n", c.column, v.lapMin * 0.001,
                            v.lapMax * 0.001, v.lapAvg * 0.001);
            else
                std::printf("       c%-2d -\n", c.column);
        }
    });
    std::printf("  ideal %s, average %s, run distance %.3f km\n",
                FormatLapTimePadded(IdealTime(slot), slot).c_str(),
                FormatLapTimePadded(AverageLapTime(slot), slot).c_str(), RunDistanceKm(slot));
}

} // namespace

int RunLaps(Options& o, bool loaded) {
    std::vector<int> columns;
    if (!o.columns.empty() && !ParseColumns(o.columns, SlotOf(o.slot), columns)) {
        std::cerr << "qvtk-cli: bad --columns list " << o.columns << "\n";
        return kExitUsage;
    }
    if (!loaded) return kExitRejected;
    // A load into File 1 reads the course itself; for File 2 or 3 it is the one read at start.
    if (o.slot != 0) LoadCourseLayout();
    if (o.marksPerLap) {
        SetMarksPerLap(o.slot, o.marksPerLap);
        ComputeSegments(o.slot);
    }
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) ResetLapChecks(slot);
    ApplySimulation(o.tool); // engine speed as the final simulation would have it
    ComputeLapStatistics();
    const std::vector<ColumnStats> stats = ComputeStats(o.slot, columns);
    if (o.json)
        WriteJson(o, stats);
    else
        WriteText(o, stats);
    return kExitLoaded;
}

} // namespace qvtk::cli
