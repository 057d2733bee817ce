#pragma once
// The course map coloured by where a compared lap gains and loses: the slope of its time slip
// (time per metre) in green where it gains and red where it loses, with a colour bar.
#include <vector>

#include "analysis/lap_compare.h"
#include "render/render.h"

namespace qvtk {

// The slope of a slip on its grid, ms per metre, over a few metres either side of each point.
std::vector<double> SlipSlopes(const std::vector<double>& slip, double step);
// The slope that takes the full colour: most of the lap's slopes lie within it.
double SlopeScale(const std::vector<double>& slopes);
// Green (-1, gaining) through grey (0) to red (+1, losing).
RenderColorValue SlopeColor(double share);

// While the lap comparison shows a compared lap, draws the course map picture coloured by its
// slip (again when its inputs changed) and returns true; the usual picture is drawn again
// once it no longer does.
bool RefreshSlipMapPicture();
void ResetSlipMap();

} // namespace qvtk
