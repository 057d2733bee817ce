#pragma once
// The picture behind the graphs: the column strip over the whole client area (its lines every
// kStripLineSpacing rows), the name panel, and the grid fill of each band. They cover every
// pixel, so they are painted row by row as plain fills of the colours they blend to, instead of
// a clear, a stretched strip and blended boxes.
#include "viewer/graphs.h"

namespace qvtk {

// `translucent`: the last picture shows through (the time scaling drag): drawn at alpha 64.
void DrawBackground(const GraphFrame& frame, bool translucent);

} // namespace qvtk
