#include "cli/cli_options.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "analysis/course_layout.h"
#include "cli/commands.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "data/csv_import.h"
#include "data/derived_channels.h"
#include "analysis/load_pipeline.h"
#include "logger/program.h"
#include "data/derived_channels.h"
#include "data/settings.h"
#include "platform/ini_text.h"
#include "platform/message_box.h"

namespace qvtk::cli {

namespace {

void PrintMessage(const std::string& text, const std::string& caption) {
    std::cerr << caption << ": " << text << "\n";
}

bool ParseNumber(const std::string& s, long long& out) {
    char* end = nullptr;
    out = std::strtoll(s.c_str(), &end, 10);
    return !s.empty() && end && *end == 0;
}

bool Fail(const std::string& why) {
    std::cerr << "qvtk-cli: " << why << "\n";
    PrintUsage();
    return false;
}

} // namespace

void PrintUsage(std::FILE* to) {
    std::fputs(
        R"(usage:
  qvtk-cli inspect FILE [--slot N] [--base FILE0] [--dir DIR] [--set KEY=VALUE]... [--json]
  qvtk-cli samples FILE [--slot N --base FILE0] [--dir DIR] [--set KEY=VALUE]...
                   --columns LIST [--from A] [--to B] [--distance] [--gps] [--marks] [--names]
    LIST: column numbers and ranges, e.g. 0,2-5, or "present"
  qvtk-cli laps FILE [--slot N --base FILE0] [--dir DIR] [--set KEY=VALUE]...
                [--marks-per-lap M] [--columns LIST] [--simulate FS,RS,TS] [--json]
  qvtk-cli render FILE [FILE2 [FILE3]] --out PNG [--width W] [--height H] [--dir DIR]
                [--set KEY=VALUE]... [--cursor SAMPLE] [--compression C] [--frames N]
  qvtk-cli render FILE [FILE2 [FILE3]] --view map --out PNG [--dir DIR] [--set KEY=VALUE]...
                [--lap K] [--color-channel COLUMN] [--cursor SAMPLE]
  qvtk-cli render FILE [FILE2] --view afmap|xy --out PNG [--width W] [--height H] [--dir DIR]
                [--set KEY=VALUE]... [--cursor SAMPLE] [--checked LIST] [--window-low N]
                [--window-width N] [--reverse]
  qvtk-cli render FILE --view map --images BASE [--dir DIR] [--set KEY=VALUE]...
                [--lap K] [--cursor SAMPLE]
  qvtk-cli percentage FILE [--file2 F2] --channel Ne|Th|FrSUS|RrSUS [--min A --max B --step C]
                [--scope all|checked] [--checked LIST] [--simulate FS,RS,TS] [--json]
  qvtk-cli simulate FILE --front FS --rear RS --tyre TS [--json]
  qvtk-cli afmap FILE [FILE2] [--checked LIST] [--window-low N] [--window-width N] [--reverse]
                [--json]
  qvtk-cli import-csv FILE [CSV options] [--dir DIR] [--set KEY=VALUE]... [--json]
  qvtk-cli export FILE --out CSV [--mode all|laps|range] [--laps LIST]
                [--from SECONDS --to SECONDS] [--rate INDEX] [--dir DIR] [--set KEY=VALUE]...
  qvtk-cli fuel FILE [FILE2] [--dir DIR] [--set KEY=VALUE]...
  qvtk-cli compare FILE [FILE2] [--ref-lap K] [--lap K2] [--step M] [--dir DIR]
                [--set KEY=VALUE]... [--json]
    loading options (--dir, --set) as for the other commands; LIST: lap-start mark indices
  CSV options (a FILE ending in .csv, every command): [--map ROW=COLUMN]...
                [--timebase CHOICE|COLUMN] [--lap-type number|distance] [--no-resample]
  qvtk-cli logger probe|monitor|calibrate|set-clock ...   (qvtk-cli logger for its options)
  qvtk-cli setup-file --from RECORDING --out FILE ...     (qvtk-cli setup-file --list)
  qvtk-cli clock-file --out FILE --at "YYYY-MM-DD HH:MM"
  qvtk-cli memo RECORDING --text TEXT
  qvtk-cli can-setup-file [--from RECORDING] --out FILE ...  (qvtk-cli can-setup-file --list)
  qvtk-cli channels RECORDING --json | --overwrite [--channel N.FIELD=TEXT]...
  qvtk-cli can-memo RECORDING --text TEXT
  qvtk-cli --help, qvtk-cli COMMAND --help
)",
         to);
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc && i <= 2; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            return true;
        }
    }
    if (argc < 3) return Fail("a command and a file are needed");
    o.command = argv[1];
    if (o.command != "inspect" && o.command != "samples" && o.command != "laps" &&
        o.command != "render" && o.command != "percentage" && o.command != "simulate" &&
        o.command != "afmap" && o.command != "import-csv" && o.command != "export" &&
        o.command != "fuel" && o.command != "compare")
        return Fail("unknown command " + o.command);
    o.file = argv[2];
    int first = 3;
    const bool twoFiles = o.command == "afmap" || o.command == "fuel" || o.command == "compare";
    const size_t extra = o.command == "render" ? 2 : twoFiles ? 1 : 0;
    while (first < argc && argv[first][0] != '-' && o.extraFiles.size() < extra)
        o.extraFiles.push_back(argv[first++]);
    for (int i = first; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&](std::string& v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        std::string v;
        long long n = 0;
        if (a == "--json") {
            o.json = true;
        } else if (a == "--distance") {
            o.distance = true;
        } else if (a == "--gps") {
            o.gps = true;
        } else if (a == "--marks") {
            o.marks = true;
        } else if (a == "--names") {
            o.names = true;
        } else if (a == "--slot") {
            if (!next(v) || !ParseNumber(v, n) || n < 0 || n >= kSlotCount)
                return Fail("--slot needs 0, 1 or 2");
            o.slot = FileSlot(n);
        } else if (a == "--base") {
            if (!next(o.base)) return Fail("--base needs a file");
        } else if (a == "--dir") {
            if (!next(o.dir)) return Fail("--dir needs a directory");
        } else if (a == "--set") {
            size_t eq;
            if (!next(v) || (eq = v.find('=')) == std::string::npos || eq == 0)
                return Fail("--set needs KEY=VALUE");
            o.settings.emplace_back(v.substr(0, eq), v.substr(eq + 1));
            if (!IsSettingKey(o.settings.back().first))
                return Fail("unknown settings key " + o.settings.back().first);
        } else if (a == "--marks-per-lap") {
            if (!next(v) || !ParseNumber(v, n) || n < 1 || n > 3)
                return Fail("--marks-per-lap needs 1, 2 or 3");
            o.marksPerLap = int(n);
        } else if (a == "--columns") {
            if (!next(o.columns)) return Fail("--columns needs a list");
        } else if ((a == "--from" || a == "--to") && o.command == "export") {
            char* end = nullptr;
            double& seconds = a == "--from" ? o.fromSeconds : o.toSeconds;
            if (!next(v) || (seconds = std::strtod(v.c_str(), &end), *end != 0) || v.empty() ||
                !(seconds >= 0 && seconds < 1e9))
                return Fail(a + " needs seconds");
            o.hasRange = true;
        } else if (a == "--from") {
            if (!next(v) || !ParseNumber(v, o.from) || o.from < 0)
                return Fail("--from needs a sample");
        } else if (a == "--to") {
            if (!next(v) || !ParseNumber(v, o.to) || o.to < 0) return Fail("--to needs a sample");
        } else if (a == "--map") {
            size_t eq;
            if (!next(v) || (eq = v.find('=')) == std::string::npos || eq == 0)
                return Fail("--map needs ROW=COLUMN");
            o.csv.map.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (a == "--timebase") {
            if (!next(o.csv.timebase) || o.csv.timebase.empty())
                return Fail("--timebase needs a time base or a column");
        } else if (a == "--lap-type") {
            if (!next(v) || (v != "number" && v != "distance"))
                return Fail("--lap-type needs number or distance");
            o.csv.lapType = v == "number" ? 1 : 0;
        } else if (a == "--no-resample") {
            o.csv.noResample = true;
        } else if (a == "--mode") {
            if (!next(o.mode) || (o.mode != "all" && o.mode != "laps" && o.mode != "range"))
                return Fail("--mode needs all, laps or range");
        } else if (a == "--laps") {
            if (!next(o.laps)) return Fail("--laps needs a list");
        } else if (a == "--rate") {
            if (!next(v) || !ParseNumber(v, n) || n < 0 || n > 5)
                return Fail("--rate needs an index 0 to 5");
            o.rate = int(n);
        } else if (a == "--images") {
            if (!next(o.images)) return Fail("--images needs a file name");
        } else if (a == "--out") {
            if (!next(o.out)) return Fail("--out needs a file");
        } else if (a == "--width" || a == "--height") {
            if (!next(v) || !ParseNumber(v, n) || n < 64 || n > 16384)
                return Fail(a + " needs 64 to 16384 pixels");
            (a == "--width" ? o.width : o.height) = int(n);
        } else if (a == "--cursor") {
            if (!next(v) || !ParseNumber(v, o.cursor) || o.cursor < 0)
                return Fail("--cursor needs a sample");
        } else if (a == "--compression") {
            char* end = nullptr;
            if (!next(v) || (o.compression = std::strtof(v.c_str(), &end), *end != 0) ||
                !(o.compression >= 0.1f && o.compression <= 1000.0f))
                return Fail("--compression needs 0.1 to 1000");
        } else if (a == "--frames") {
            if (!next(v) || !ParseNumber(v, n) || n < 1 || n > 100000)
                return Fail("--frames needs a count");
            o.frames = int(n);
        } else if (a == "--view") {
            if (!next(o.view) ||
                (o.view != "graphs" && o.view != "map" && o.view != "afmap" && o.view != "xy"))
                return Fail("--view needs graphs, map, afmap or xy");
        } else if (a == "--lap") {
            if (!next(v) || !ParseNumber(v, o.lap) || o.lap < 0 || o.lap > 509)
                return Fail("--lap needs a lap-start mark index 0 to 509");
        } else if (a == "--ref-lap") {
            if (!next(v) || !ParseNumber(v, o.refLap) || o.refLap < 0 || o.refLap > 509)
                return Fail("--ref-lap needs a lap-start mark index 0 to 509");
        } else if (a == "--step" && o.command == "compare") {
            char* end = nullptr;
            if (!next(v) || (o.step = std::strtod(v.c_str(), &end), *end != 0) ||
                !(o.step >= 0.1 && o.step <= 10000))
                return Fail("--step needs 0.1 to 10000 metres");
        } else if (a == "--color-channel") {
            if (!next(v) || !ParseNumber(v, n) || n < 0 || n >= kColumnCount)
                return Fail("--color-channel needs a column 0 to 63");
            o.colorChannel = int(n);
        } else if (int taken = ParseToolOption(a, i, argc, argv, o.tool); taken != 0) {
            if (taken < 0) return Fail("bad value of " + a);
        } else {
            return Fail("unknown option " + a);
        }
    }
    if (o.command == "samples" && o.columns.empty()) return Fail("samples needs --columns");
    if (o.command == "render" && o.out.empty() && o.images.empty())
        return Fail("render needs --out or --images");
    if (!o.images.empty() && o.view != "map") return Fail("--images needs --view map");
    if (o.command == "export" && o.out.empty()) return Fail("export needs --out");
    if (o.command == "export" && o.mode == "range" && !o.hasRange)
        return Fail("--mode range needs --from and --to");
    return true;
}

void StartProgram(const std::string& programDirectory,
                  const std::vector<std::pair<std::string, std::string>>& settings,
                  const char* argv0) {
    ResetProgram();
    SetMessageSink(PrintMessage);

    namespace fs = std::filesystem;
    std::string dir = programDirectory;
    if (dir.empty()) {
        std::error_code ec;
        fs::path exe = fs::canonical("/proc/self/exe", ec);
        dir = ec ? fs::path(argv0).parent_path().string() : exe.parent_path().string();
    }
    g_session.programDirectory = dir;
    if (auto text = ReadTextFile((fs::path(dir) / "QVTK2.ini").string())) ApplySettingsText(*text);
    for (const auto& [key, value] : settings) SetSettingByKey(key, value);
    LoadCsvLabels(dir);
    // As the program starts: marks per lap from the settings, the course named there and its
    // GPS control line.
    SetMarksPerLap(0, g_settings.Lap_PG);
    SetMarksPerLap(1, g_settings.Lap_PR);
    SetMarksPerLap(2, g_settings.Lap_PW);
    ResetCourseLayout();
    LoadControlLine();
}

int PrintUsage(const std::string& why, const char* usage) {
    std::cerr << "qvtk-cli: " << why << "\nusage:\n" << usage;
    return kExitUsage;
}

void NoWait(int) {}

bool TakeEdit(const std::string& edit, const std::function<bool(const std::string&)>& known,
              std::vector<std::pair<std::string, std::string>>& edits) {
    const size_t eq = edit.find('=');
    if (eq == std::string::npos || !known(edit.substr(0, eq))) return false;
    edits.emplace_back(edit.substr(0, eq), edit.substr(eq + 1));
    return true;
}

bool ParseSetting(const std::string& text, std::vector<std::pair<std::string, std::string>>& out) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0 || !IsSettingKey(text.substr(0, eq))) return false;
    out.emplace_back(text.substr(0, eq), text.substr(eq + 1));
    return true;
}

bool PrepareSession(Options& o, const char* argv0) {
    StartProgram(o.dir, o.settings, argv0);
    g_csvImport.request = o.csv;
    if (o.slot != 0 && !o.base.empty()) {
        FileSlot base = 0;
        LoadFileIntoSlot(base, o.base);
    }
    return LoadFileIntoSlot(o.slot, o.file);
}

} // namespace qvtk::cli
