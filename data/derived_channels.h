#pragma once
// Channels the program smooths or computes after a load: moving averages, suspension speed,
// slip ratios, reduction ratio and the slip trigger. Each finds its columns by code and does
// nothing when one it needs is missing.
#include "data/session.h"

namespace qvtk {

// What the derived channels keep between runs: the viewer's two lags (in samples) and the
// slip-trigger choice.
struct DerivedChannelState {
    int gpsSlipLag = 0;        // GPS speed sample used for slip against GPS
    int reductionRatioLag = 0; // 0-200
    int slipTriggerMap = 0;    // which of the 30 slip-trigger maps, 0-29
    int slipTriggerSource[kSlotCount] = {-1, -1, -1}; // the file's own "SLIPTRG" column
};
extern DerivedChannelState g_derivedState;
inline void ResetDerivedChannelState() { g_derivedState = DerivedChannelState(); }

void SmoothColumn(FileSlot slot, int column);
void SmoothBinaryLog(FileSlot slot);
void SmoothBySettings(FileSlot slot);
void ComputeSuspensionSpeed(FileSlot slot);
void ComputeSlipRatio(FileSlot slot);
void ComputeGpsSlip(FileSlot slot);
void ComputeReductionRatio(FileSlot slot);
// Target column, or 0 for the first column with the slip-trigger code.
void ComputeSlipTrigger(FileSlot slot, int column);

} // namespace qvtk
