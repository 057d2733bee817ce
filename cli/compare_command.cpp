// qvtk-cli compare: two laps compared where they happen: their times, the time slip along the
// reference lap, and the zones where the time was lost with what differed in each.
#include <cstdio>
#include <iostream>
#include <string>

#include "analysis/lap_compare.h"
#include "analysis/lap_statistics.h"
#include "analysis/load_pipeline.h"
#include "cli/commands.h"
#include "cli/json_writer.h"

namespace qvtk::cli {

namespace {

const char* BaseName(DistanceBase base) {
    return base == DistanceBase::kGps ? "gps" : "running";
}

bool IsLap(FileSlot slot, long long k) {
    const LapRef lap{slot, int32_t(k)};
    return k >= 0 && k < SlotOf(slot).laps.count && k % MarksPerLap(slot) == 0 &&
           LapEnd(lap) > LapStart(lap);
}

void WriteLap(JsonWriter& j, const LapRef& lap, double seconds, DistanceBase base) {
    j.BeginObject();
    j.Key("file"), j.Value(SlotOf(lap.slot).file.fileName);
    j.Key("slot"), j.Value(int64_t(lap.slot));
    j.Key("lap"), j.Value(int64_t(lap.lap));
    j.Key("time"), j.Value(FormatLapTime(LapDuration(lap.slot, lap.lap), lap.slot));
    j.Key("seconds"), j.Fixed(seconds, 3);
    j.Key("length"), j.Fixed(LapLengthMetres(lap), 1);
    j.Key("base"), j.Value(BaseName(base));
    j.EndObject();
}

void WriteValue(JsonWriter& j, const char* key, const ZoneValue& v, int decimals) {
    j.Key(key);
    if (!v.known) return j.Null();
    j.BeginObject();
    j.Key("reference"), j.Fixed(v.reference, decimals);
    j.Key("compared"), j.Fixed(v.compared, decimals);
    j.EndObject();
}

void WriteJson(const LapComparison& c, double step, const std::vector<double>& slip) {
    JsonWriter j;
    j.BeginObject();
    j.Key("reference"), WriteLap(j, c.reference, c.referenceSeconds, c.referenceBase);
    j.Key("compared"), WriteLap(j, c.compared, c.comparedSeconds, c.comparedBase);
    j.Key("step"), j.Value(step);
    j.Key("slip");
    j.BeginArray();
    for (size_t i = 0; i + 1 < slip.size(); ++i) {
        j.BeginObject();
        j.Key("distance"), j.Fixed(double(i) * step, 1);
        j.Key("slip"), j.Fixed(slip[i], 3);
        j.EndObject();
    }
    j.EndArray();
    j.Key("finalSlip"), j.Fixed(slip.empty() ? 0.0 : slip.back(), 3);
    j.Key("threshold"), j.Fixed(SlipZoneThreshold(), 3);
    j.Key("zones");
    j.BeginArray();
    for (const SlipZone& z : c.zones) {
        j.BeginObject();
        j.Key("from"), j.Fixed(z.from, 1);
        j.Key("to"), j.Fixed(z.to, 1);
        j.Key("sector"), j.Value(int64_t(z.sector));
        j.Key("timeLost"), j.Fixed(z.timeLost, 3);
        WriteValue(j, "brakingPoint", z.brakingPoint, 1);
        WriteValue(j, "lowestSpeed", z.lowestSpeed, 1);
        WriteValue(j, "throttlePickUp", z.throttlePickUp, 1);
        WriteValue(j, "apexGear", z.apexGear, 0);
        WriteValue(j, "exitEngineSpeed", z.exitEngineSpeed, 0);
        j.EndObject();
    }
    j.EndArray();
    PrintWithMessages(j);
}

void PrintLap(const char* title, const LapRef& lap, DistanceBase base) {
    std::printf("%-9s File %d %s lap %d  %s  (%.1f m, %s)\n", title, lap.slot + 1,
                SlotOf(lap.slot).file.fileName.c_str(), lap.lap,
                FormatLapTime(LapDuration(lap.slot, lap.lap), lap.slot).c_str(),
                LapLengthMetres(lap), BaseName(base));
}

void PrintValue(const char* what, const ZoneValue& v, const char* format, const char* unit) {
    if (!v.known) return;
    char a[32], b[32];
    std::snprintf(a, sizeof a, format, v.reference);
    std::snprintf(b, sizeof b, format, v.compared);
    std::printf("       %-22s %s / %s%s\n", what, a, b, unit);
}

void WriteText(const LapComparison& c, double step, const std::vector<double>& slip) {
    PrintLap("reference", c.reference, c.referenceBase);
    PrintLap("compared", c.compared, c.comparedBase);
    std::printf("slip every %g m:\n", step);
    for (size_t i = 0; i + 1 < slip.size(); ++i)
        std::printf("  %8.1f m  %s\n", double(i) * step, TimeSlipText(slip[i]).c_str());
    std::printf("final slip %s\n", TimeSlipText(slip.empty() ? 0.0 : slip.back()).c_str());
    std::printf("zones (at least %.3f s):\n", SlipZoneThreshold());
    int n = 0;
    for (const SlipZone& z : c.zones) {
        std::printf("  %2d %8.1f - %8.1f m  Sec%d  %s %s\n", ++n, z.from, z.to, z.sector,
                    z.timeLost >= 0 ? "lost" : "gained", TimeSlipText(z.timeLost).c_str());
        PrintValue("braking point", z.brakingPoint, "%.1f", " m");
        PrintValue("lowest speed", z.lowestSpeed, "%.1f", " km/h");
        PrintValue("throttle pick-up", z.throttlePickUp, "%.1f", " m");
        PrintValue("gear at apex", z.apexGear, "%.0f", "");
        PrintValue("engine speed at exit", z.exitEngineSpeed, "%.0f", " rpm");
    }
}

int NoLap(int file, long long k) {
    std::cerr << "qvtk-cli: File " << file << " has no lap " << k << "\n";
    return kExitUsage;
}

} // namespace

int RunCompare(Options& o, bool loaded) {
    if (!loaded) return kExitRejected;
    const bool two = !o.extraFiles.empty();
    if (two) {
        FileSlot second = 1;
        if (!LoadFileIntoSlot(second, o.extraFiles[0])) return kExitRejected;
    }
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) ResetLapChecks(slot);
    ComputeLapStatistics();
    if (o.refLap >= 0 && !IsLap(0, o.refLap)) return NoLap(1, o.refLap);
    const LapRef ref = o.refLap >= 0 ? LapRef{0, int32_t(o.refLap)} : FastestLapOf(0);
    const FileSlot slot = two ? 1 : 0;
    if (o.lap >= 0 && !IsLap(slot, o.lap)) return NoLap(slot + 1, o.lap);
    LapRef cmp{slot, int32_t(o.lap)};
    if (o.lap < 0) {
        cmp = two ? FastestLapOf(1) : SecondFastestLapOf(0);
        if (!two && cmp == ref) cmp = FastestLapOf(0); // the picked reference was the second
    }
    if (!ref.Valid() || !cmp.Valid()) {
        std::cerr << "qvtk-cli: there are not two laps to compare\n";
        return kExitUsage;
    }
    UpdateLapDistances(ref);
    const LapComparison c = CompareLaps(ref, cmp, SlipZoneThreshold());
    std::vector<double> slip;
    if (c.length >= 1)
        SlipOnGrid(MakeLapTrace(ref, c.length), MakeLapTrace(cmp, c.length), o.step, slip);
    if (o.json)
        WriteJson(c, o.step, slip);
    else
        WriteText(c, o.step, slip);
    return kExitLoaded;
}

} // namespace qvtk::cli
