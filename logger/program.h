#pragma once
// The whole program state, back to how it is when the program starts: every record of the
// core with its reset (it sits at the top of the core, over the logger, the analysis and the
// data). Tests start from here, and so does each run of the CLI.
namespace qvtk {

void ResetProgram();

} // namespace qvtk
