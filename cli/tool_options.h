#pragma once
// Options of the analysis tool commands (percentage, simulate, afmap) and the steps they share:
// the lap checks asked for and the simulated final drive.
#include <string>
#include <vector>

namespace qvtk::cli {

struct ToolOptions {
    std::string file2;   // percentage --file2
    std::string channel; // percentage --channel
    bool haveMin = false, haveMax = false, haveStep = false;
    int min = 0, max = 0, step = 0;
    std::string scope = "all"; // all or checked
    bool haveChecked = false;
    std::vector<int> checked; // lap-start mark indices
    bool simulate = false;    // --simulate FS,RS,TS
    int simFront = 0, simRear = 0, simTyre = 0;
    int front = -1, rear = -1, tyre = -1; // simulate --front --rear --tyre
    int windowLow = 1250, windowWidth = 50;
    bool reverse = false;
};

// One option of the tool commands at argv[i] (its value, if any, is taken from argv[i + 1]).
// 1: taken; 0: not a tool option; -1: a bad value (the message is printed).
int ParseToolOption(const std::string& option, int& i, int argc, char** argv, ToolOptions& t);

// The lap checks: those of the lap table's opening, or exactly the --checked ones, in every
// loaded file.
void ApplyLapChecks(const ToolOptions& t);

// The simulated final drive of --simulate, applied to File 1 through the dialog's rules.
void ApplySimulation(const ToolOptions& t);

} // namespace qvtk::cli
