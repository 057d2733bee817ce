#pragma once
// The popup hint (key H): what the mouse buttons do in the region under the pointer, fading in
// beside it.
#include <vector>

#include "viewer/graphs.h"

namespace qvtk {

enum class HintRegion {
    kNone,
    kLapList,             // normal view
    kValueColumn,         // normal view
    kPositionValueColumn, // graph position mode
    kPositionBaseline,
    kPositionBand,
    kFinishLine, // graph position mode while the finish line is being placed
};

// The region under (x, y) that has a hint; `finishLine` says the finish line is being placed.
HintRegion HintRegionAt(const GraphFrame& frame, int x, int y, bool finishLine = false);
// The hint's lines, exactly as shown; empty strings are blank lines.
const std::vector<const char*>& HintLines(HintRegion region);

// One pass: picks the region under the mouse and draws its hint with its fade.
void DrawPopupHint(const GraphFrame& frame);

} // namespace qvtk
