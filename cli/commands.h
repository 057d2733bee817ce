#pragma once
#include "cli/cli_options.h"

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

} // namespace qvtk::cli
