// qvtk-sim: writes recordings of a simulated ride on a closed course, the same bytes for
// the same seed, for demos, tests and benchmarks.
#include "platform/safe_file.h"
#include "tools/sim/can_writer.h"
#include "tools/sim/course_ini.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/csv_writer.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/family4_writer.h"
#include "tools/sim/hnd_writer.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using namespace qvtk::sim;

namespace {

// A short course, so the demo set of a few laps stays small.
constexpr uint32_t kDemoSeed = 138;
constexpr int kDemoLaps = 2;
// The rival of the demo: another ride on the same course by a faster rider, so that the
// first thing the viewer shows is a comparison.
constexpr uint32_t kRivalSeed = 139;
constexpr double kRivalPace = 1.05;
// The course name the logger files carry and the course INI sections use.
constexpr const char* kCourseName = "vorela";

constexpr const char* kUsage =
    "usage: qvtk-sim demo --out DIR [--seed N]\n"
    "       qvtk-sim ride --format FORMAT --out FILE [--seed N] [--laps N] [--minutes M]\n"
    "                     [--linear-sus] [--marks-per-lap M] [--pace P]\n"
    "                     [--slow-corner D[:APEX[:LATER]]]...\n"
    "\n"
    "demo   writes demo_v0.qvd, demo_v1.qvd, demo_v2.qvd, demo_v3.qvd, demo_v4.qvd,\n"
    "       demo_v32.qvd, demo_f4.qvd, demo.hnd, demo.CAN, demo_timer.csv, the course\n"
    "       vorela.crs and its gps_p.ini, Sector.ini and a QVTK2.ini for the viewer into DIR,\n"
    "       and demo_rival.qvd: a faster rider's ride on the same course\n"
    "ride   writes one file of a FORMAT:\n"
    "       v0 v1 v2 v3 v4 v32  family-3 log of that version\n"
    "       f4, f4gps           family-4 CAN log, laps by marker / by the GPS line\n"
    "       hnd                 hnd log\n"
    "       can                 CAN frame file\n"
    "       csv                 a lap timer's CSV export (20 Hz, jittered time stamps)\n"
    "       crs                 course layout\n"
    "       gpsini, sectorini   the course's gps_p.ini and Sector.ini (as vorela.crs)\n"
    "--seed N           ride and course (default 1; demo 138)\n"
    "--laps N           flying laps between out-lap and in-lap, 0-300 (default 5)\n"
    "--minutes M        record exactly M minutes instead, 0.1-600\n"
    "--linear-sus       linear suspension stroke sensors (versions 1-4)\n"
    "--marks-per-lap M  lap-marker beacons per lap, 1-3 (default 1)\n"
    "--pace P           the rider's grip and drive on flying laps, 0.8-1.1 (default 1); a\n"
    "                   lower pace is a rider uniformly slower (speed x sqrt(P) everywhere)\n"
    "--slow-corner D[:APEX[:LATER]]\n"
    "                   on every flying lap the corner nearest to D metres from the line is\n"
    "                   taken at APEX of its speed (0.5-1, default 0.9), braking LATER metres\n"
    "                   later (0-100, default 0); repeatable\n";

struct Args {
    std::string command, out, format;
    RideOptions ride;
    bool linearSus = false;
};

int Usage(const std::string& problem) {
    std::fprintf(stderr, "qvtk-sim: %s\n%s", problem.c_str(), kUsage);
    return 1;
}

template <typename T> std::optional<T> ParseNumber(std::string_view text, T lo, T hi) {
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        return std::nullopt;
    return value;
}

// "D[:APEX[:LATER]]".
std::optional<SlowCorner> ParseSlowCorner(std::string_view text) {
    std::vector<std::string_view> parts;
    for (size_t colon; (colon = text.find(':')) != std::string_view::npos;) {
        parts.push_back(text.substr(0, colon));
        text.remove_prefix(colon + 1);
    }
    parts.push_back(text);
    if (parts.size() > 3) return std::nullopt;
    SlowCorner corner;
    auto at = ParseNumber<double>(parts[0], 0, 100000);
    auto apex = parts.size() > 1 ? ParseNumber<double>(parts[1], 0.5, 1.0) : corner.apexSpeed;
    auto later = parts.size() > 2 ? ParseNumber<double>(parts[2], 0, 100) : corner.brakeLater;
    if (!at || !apex || !later) return std::nullopt;
    corner.at = *at;
    corner.apexSpeed = *apex;
    corner.brakeLater = *later;
    return corner;
}

// Returns an empty string when the arguments are good, else what is wrong with them.
std::string ParseArgs(int argc, char** argv, Args& args) {
    if (argc < 2) return "no command given";
    args.command = argv[1];
    if (args.command != "demo" && args.command != "ride") return "unknown command " + args.command;
    if (args.command == "demo") args.ride.seed = kDemoSeed;
    for (int i = 2; i < argc; ++i) {
        std::string opt = argv[i];
        if (opt == "--linear-sus") {
            args.linearSus = true;
            continue;
        }
        if (i + 1 >= argc) return "missing value after " + opt;
        std::string_view value = argv[++i];
        if (opt == "--out") {
            args.out = value;
        } else if (opt == "--format" && args.command == "ride") {
            args.format = value;
        } else if (opt == "--seed") {
            auto seed = ParseNumber<uint32_t>(value, 0, UINT32_MAX);
            if (!seed) return "bad seed " + std::string(value);
            args.ride.seed = *seed;
        } else if (opt == "--laps" && args.command == "ride") {
            auto laps = ParseNumber<int>(value, 0, 300);
            if (!laps) return "bad lap count " + std::string(value);
            args.ride.laps = *laps;
        } else if (opt == "--minutes" && args.command == "ride") {
            auto minutes = ParseNumber<double>(value, 0.1, 600);
            if (!minutes) return "bad minutes " + std::string(value);
            args.ride.minutes = *minutes;
        } else if (opt == "--marks-per-lap" && args.command == "ride") {
            auto marks = ParseNumber<int>(value, 1, 3);
            if (!marks) return "bad marks per lap " + std::string(value);
            args.ride.marksPerLap = *marks;
        } else if (opt == "--slow-corner" && args.command == "ride") {
            auto corner = ParseSlowCorner(value);
            if (!corner) return "bad slow corner " + std::string(value);
            args.ride.slowCorners.push_back(*corner);
        } else if (opt == "--pace" && args.command == "ride") {
            auto pace = ParseNumber<double>(value, 0.8, 1.1);
            if (!pace) return "bad pace " + std::string(value);
            args.ride.pace = *pace;
        } else {
            return "unknown option " + opt;
        }
    }
    if (args.out.empty()) return "--out is required";
    if (args.command == "ride" && args.format.empty()) return "--format is required";
    return "";
}

// The program's own crash-safe path: a failure never leaves half a file.
bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (qvtk::WriteWholeFile(path.string(), text)) return true;
    std::fprintf(stderr, "qvtk-sim: cannot write %s: %s\n", path.string().c_str(),
                 qvtk::LastWriteFailure().c_str());
    return false;
}

std::optional<int> FamilyVersion(std::string_view format) {
    if (format.size() < 2 || format[0] != 'v' || (format.size() > 2 && format[1] == '0'))
        return std::nullopt;
    auto v = ParseNumber<int>(format.substr(1), 0, 32);
    if (v && (*v <= 4 || *v == 32)) return v;
    return std::nullopt;
}

std::vector<uint8_t> GpsLineIni(const SimCourse& course) {
    return WriteGpsLineIni(kCourseName, StartFinishLine(GeoOrigin{}, course));
}

int Demo(const Args& args) {
    std::error_code ec;
    fs::create_directories(args.out, ec);
    if (ec) {
        std::fprintf(stderr, "qvtk-sim: cannot create %s: %s\n", args.out.c_str(),
                     ec.message().c_str());
        return 1;
    }
    RideOptions options = args.ride;
    options.laps = kDemoLaps;
    SimCourse course = MakeCourse(options.seed);
    SimRide ride = SimulateRide(course, options);
    fs::path dir = args.out;
    bool ok = true;
    for (int v : {0, 1, 2, 3, 4, 32})
        ok = WriteFile(dir / ("demo_v" + std::to_string(v) + ".qvd"), WriteFamily3(ride, v)) && ok;
    Family4Options f4;
    f4.gpsLaps = true;
    ok = WriteFile(dir / "demo_f4.qvd", WriteFamily4(ride, f4)) && ok;
    ok = WriteFile(dir / "demo.hnd", WriteHnd(ride)) && ok;
    ok = WriteFile(dir / "demo.CAN", WriteCanFrames(ride)) && ok;
    RideOptions rival = options;
    rival.seed = kRivalSeed;
    rival.pace = kRivalPace;
    ok = WriteFile(dir / "demo_rival.qvd", WriteFamily3(SimulateRide(course, rival), 3)) && ok;
    ok = WriteFile(dir / "demo_timer.csv", WriteLapTimerCsv(ride)) && ok;
    ok = WriteFile(dir / "vorela.crs", WriteCourseLayout(course)) && ok;
    ok = WriteFile(dir / "gps_p.ini", GpsLineIni(course)) && ok;
    ok = WriteFile(dir / "Sector.ini", WriteSectorIni(kCourseName, SectorStartPoints())) && ok;
    // The demo folder is the viewer's program directory in `make run`: renaming after the
    // fastest lap stays off there, so the next run finds the demo files again.
    const std::string settings = "[ModeSet]\r\nModifyFileName=0\r\n";
    ok = WriteFile(dir / "QVTK2.ini", std::vector<uint8_t>(settings.begin(), settings.end())) && ok;
    return ok ? 0 : 1;
}

// Files of the course alone, without a ride.
std::optional<std::vector<uint8_t>> CourseFile(const std::string& format, const SimCourse& course) {
    if (format == "crs") return WriteCourseLayout(course);
    if (format == "gpsini") return GpsLineIni(course);
    if (format == "sectorini") return WriteSectorIni(kCourseName, SectorStartPoints());
    return std::nullopt;
}

// Files of a ride in any format but family 3.
std::optional<std::vector<uint8_t>> RideFile(const std::string& format, const SimRide& ride) {
    if (format == "can") return WriteCanFrames(ride);
    if (format == "hnd") return WriteHnd(ride);
    if (format == "csv") return WriteLapTimerCsv(ride);
    if (format != "f4" && format != "f4gps") return std::nullopt;
    Family4Options options;
    options.gpsLaps = format == "f4gps";
    return WriteFamily4(ride, options);
}

bool IsKnownFormat(const std::string& format) {
    for (const char* known : {"can", "crs", "csv", "f4", "f4gps", "hnd", "gpsini", "sectorini"})
        if (format == known) return true;
    return FamilyVersion(format).has_value();
}

int Ride(const Args& args) {
    if (!IsKnownFormat(args.format)) return Usage("unknown format " + args.format);
    SimCourse course = MakeCourse(args.ride.seed);
    if (auto bytes = CourseFile(args.format, course)) return WriteFile(args.out, *bytes) ? 0 : 1;
    SimRide ride = SimulateRide(course, args.ride);
    if (auto bytes = RideFile(args.format, ride)) return WriteFile(args.out, *bytes) ? 0 : 1;
    std::optional<int> version = FamilyVersion(args.format);
    Family3Options options;
    options.frontLinear = options.rearLinear = args.linearSus;
    return WriteFile(args.out, WriteFamily3(ride, *version, options)) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Args args;
    std::string problem = ParseArgs(argc, argv, args);
    if (!problem.empty()) return Usage(problem);
    return args.command == "demo" ? Demo(args) : Ride(args);
}
