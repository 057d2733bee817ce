#pragma once
// The gear engaged at a sample, from engine speed against rear wheel speed.
#include <cstdint>

#include "data/session.h"

namespace qvtk {

// The gear engaged at a sample of a file: its gearbox ratio (engine speed against rear wheel
// speed through the final drive and the primary ratio) against the file's gear thresholds.
// 0 when the machine stands or the clutch is out (the ratio is beyond first gear's).
int GearAt(FileSlot slot, int32_t sample);

} // namespace qvtk
