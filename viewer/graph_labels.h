#pragma once
// Text and marks over the graph bands: the cursor value rows kept clear of the file labels,
// the grid value labels, the baseline labels of graph position mode, and the search marks.
#include "viewer/graphs.h"

namespace qvtk {

// The top of each cursor value row, in graph list order: the middle of its band, moved down
// below the file labels where it would run under them (and rows moved there kept apart).
void ValueRowTops(const GraphFrame& frame, float tops[kColumnCount]);
// Height of a value row.
int ValueRowHeight();

// The value of each grid line at the left of the graph area (normal view and graph position
// mode).
void DrawGridValueLabels(const GraphFrame& frame);

// Graph position mode: beside the baseline each band shows its name and the values of its
// upper and lower edge, the rows that the mode moves and scales.
void DrawBaselineLabels(const GraphFrame& frame);

} // namespace qvtk
