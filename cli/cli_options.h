#pragma once
// Command-line options shared by the qvtk-cli commands, and the common load they start with.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/tool_options.h"
#include "data/csv_import.h"
#include "data/session.h"

namespace qvtk::cli {

constexpr int kExitLoaded = 0;
constexpr int kExitUsage = 1;
constexpr int kExitRejected = 2;

struct Options {
    std::string command;
    std::string file;
    std::string base; // --base: loaded into File 1 first when the slot is 1 or 2
    std::string dir;  // --dir: the program directory
    FileSlot slot = 0;
    std::vector<std::pair<std::string, std::string>> settings; // --set KEY=VALUE, in order
    bool json = false;
    std::string columns; // samples --columns
    long long from = 0, to = -1;
    bool distance = false, gps = false, marks = false;
    bool names = false;  // samples --names: channel names in the heading
    bool help = false;   // --help: usage on stdout, nothing loaded
    int marksPerLap = 0; // laps --marks-per-lap (0: from the settings)
    // render
    std::vector<std::string> extraFiles; // File 2 and File 3
    std::string out;
    int width = 1280, height = 800;
    long long cursor = -1; // File 1's cursor sample; -1: the middle
    float compression = 5.0f;
    int frames = 0;
    std::string view = "graphs"; // graphs, map, afmap or xy
    long long lap = -1;          // map: the lap-start mark index k of the lap shown
    int colorChannel = 0;        // map: the column colouring the course, 0 = none
    long long refLap = -1;       // compare: File 1's lap-start mark index of the reference
    double step = 10;            // compare: metres between the slip values printed
    ToolOptions tool;            // percentage, simulate, afmap
    std::string images;          // map: --images BASE, the five course-map pictures
    // CSV files: the load data selection as a script makes it
    CsvRequest csv;
    // export
    std::string mode = "all"; // all, laps or range
    std::string laps;         // --laps: lap-start mark indices
    bool hasRange = false;
    double fromSeconds = 0, toSeconds = 0;
    int rate = 1; // index of the output rate, "200Hz (5ms)"
};

// Parses argv; on error prints the message and usage to stderr and returns false. "--help"
// (alone or after a command) sets o.help.
bool ParseOptions(int argc, char** argv, Options& o);
void PrintUsage(std::FILE* to = stderr);

// Resets the program and starts it as the viewer does: QVTK2.ini of the program directory
// (empty: the executable's), then the --set values; messages go to stderr.
void StartProgram(const std::string& programDirectory,
                  const std::vector<std::pair<std::string, std::string>>& settings,
                  const char* argv0);
// "KEY=VALUE" of a known settings key.
bool ParseSetting(const std::string& text, std::vector<std::pair<std::string, std::string>>& out);

// Resets the program, applies the settings (QVTK2.ini in the program directory, then --set),
// loads --base and the file. Returns true when the asked file's slot holds it; `o.slot`
// becomes the slot that was filled.
bool PrepareSession(Options& o, const char* argv0);

} // namespace qvtk::cli
