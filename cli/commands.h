#pragma once
#include "cli/cli_options.h"

namespace qvtk::cli {

int RunInspect(Options& o, bool loaded);
int RunSamples(Options& o, bool loaded);
int RunLaps(Options& o, bool loaded);
int RunRender(Options& o, int argc, char** argv, bool loaded);

} // namespace qvtk::cli
