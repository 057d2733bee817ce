// qvtk-cli import-csv, export and fuel: the CSV import with its report, File 1's CSV export as
// the export dialog writes it, and the fuel report.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "analysis/course_layout.h"
#include "analysis/csv_export.h"
#include "analysis/fuel_used.h"
#include "analysis/lap_model.h"
#include "analysis/load_pipeline.h"
#include "cli/commands.h"
#include "cli/json_writer.h"
#include "data/csv_import.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"

namespace qvtk::cli {

namespace {

void WriteStrings(JsonWriter& j, const std::vector<std::string>& list) {
    j.BeginArray();
    for (const std::string& s : list) j.Value(s);
    j.EndArray();
}

void WriteCsvReport(JsonWriter& j) {
    const CsvImportReport& r = g_csvImport.last;
    j.Key("csv");
    j.BeginObject();
    j.Key("headerLine"), j.Value(int64_t(r.headerLine));
    j.Key("columns"), WriteStrings(j, r.columns);
    j.Key("units"), WriteStrings(j, r.units);
    j.Key("timebase"), j.Value(r.timebase);
    j.Key("resampled"), j.Value(r.resampled);
    j.Key("log"), WriteStrings(j, r.log);
    j.EndObject();
}

// The shown flags of File 1 as the viewer has them after a load: from the standard layout
// when the program directory has one.
void ApplyDisplaySetting() {
    ResetGraphSettings();
    ResetGraphLayouts();
    if (std::filesystem::exists(ProgramFilePath("stdgp.ini"))) LoadLayout(0);
}

bool CheckLaps(const std::string& list) {
    LapState& st = LapStateOf(0);
    for (bool& checked : st.lapChecked) checked = false;
    size_t at = 0;
    while (at <= list.size()) {
        const size_t comma = list.find(',', at);
        const std::string item = list.substr(at, comma == std::string::npos ? comma : comma - at);
        char* end = nullptr;
        const long k = std::strtol(item.c_str(), &end, 10);
        // Only marks that start a lap, as `laps` lists them: 0, m, 2m ... up to count - m.
        const int m = MarksPerLap(0), last = SlotOf(0).laps.count - m;
        if (item.empty() || *end || k < 0 || k > last || k % m != 0) {
            std::cerr << "qvtk-cli: no lap " << item << " (lap-start mark indices 0 to " << last
                      << (m > 1 ? ", every " + std::to_string(m) + "th" : std::string()) << ")\n";
            return false;
        }
        st.lapChecked[k] = true;
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return true;
}

int32_t SampleOfSeconds(double seconds) {
    const Slot& s = SlotOf(0);
    const double sample = std::llround(seconds * 200.0 * double(s.sampleRateFactor));
    return int32_t(std::min<double>(sample, double(s.sampleCount)));
}

} // namespace

bool CsvRequestFailed() {
    const std::string& why = g_csvImport.last.requestError;
    if (why.empty()) return false;
    std::cerr << "qvtk-cli: " << why << "\n";
    return true;
}

int RunImportCsv(Options& o, bool loaded) {
    PrintInspect(o, loaded, WriteCsvReport);
    if (!o.json && loaded) {
        const CsvImportReport& r = g_csvImport.last;
        std::printf("  csv: names on line %d, time base %s%s\n", r.headerLine, r.timebase.c_str(),
                    r.resampled ? ", resampled" : "");
        for (const std::string& line : r.log) std::printf("  log: %s\n", line.c_str());
    }
    return loaded ? kExitLoaded : kExitRejected;
}

int RunExport(Options& o, bool loaded) {
    if (!loaded) return kExitRejected;
    ApplyDisplaySetting();
    ExportRequest request;
    request.rate = o.rate;
    request.mode =
        o.mode == "laps" ? kExportSelectedLaps : (o.mode == "range" ? kExportRange : kExportAll);
    if (request.mode == kExportSelectedLaps) {
        ResetLapChecks(0);
        if (!o.laps.empty() && !CheckLaps(o.laps)) return kExitUsage;
    }
    request.rangeA = SampleOfSeconds(o.fromSeconds);
    request.rangeB = SampleOfSeconds(o.toSeconds);
    return ExportCsv(o.out, request, {}) ? kExitLoaded : kExitNotSaved;
}

int RunFuel(Options& o, bool loaded) {
    if (!loaded) return kExitRejected;
    if (!o.extraFiles.empty()) {
        FileSlot slot = 1;
        if (!LoadFileIntoSlot(slot, o.extraFiles[0])) return kExitRejected;
    }
    std::fputs(FuelUsedText().c_str(), stdout);
    return kExitLoaded;
}

} // namespace qvtk::cli
