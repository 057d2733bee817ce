#pragma once
// The gear read-out's thresholds, from the gearbox teeth every binary recording carries.
#include "data/session.h"

namespace qvtk {

// The primary ratio, twice the first-gear ratio and the five mid-points between adjacent gear
// ratios (driven x 1000 / drive). A drive count of 0 puts the standard gearbox in its place.
void ComputeGearThresholds(LogHeader& h);

} // namespace qvtk
