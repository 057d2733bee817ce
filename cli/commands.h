#pragma once
#include "cli/cli_options.h"
#include "logger/logger_answers.h"

#include <string>
#include <vector>

namespace qvtk::cli {

// "0,2-5" or "present": the columns asked for, in the order given.
bool ParseColumns(const std::string& list, const Slot& s, std::vector<int>& out);

int RunInspect(Options& o, bool loaded);
int RunSamples(Options& o, bool loaded);
int RunLaps(Options& o, bool loaded);
int RunRender(Options& o, int argc, char** argv, bool loaded);
int RunPercentage(Options& o, bool loaded);
int RunSimulate(Options& o, bool loaded);
int RunAfMap(Options& o, bool loaded);
int RunCompare(Options& o, bool loaded);

// The logger link, the setup and clock-set files and the memo; each parses its own options.
int RunLoggerCommand(int argc, char** argv);
int RunSetupFileCommand(int argc, char** argv);
int RunClockFileCommand(int argc, char** argv);
int RunMemoCommand(int argc, char** argv);
// "YYYY-MM-DD HH:MM".
bool ParseClockTime(const std::string& text, ClockSetTime& t);

} // namespace qvtk::cli
