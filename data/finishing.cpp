#include "data/finishing.h"

#include "data/derived_channels.h"

namespace qvtk {

namespace {
void ResetCursor(FileSlot slot) { SlotOf(slot).cursorPosition = 0; }
} // namespace

void FinishFamily3Load(FileSlot slot) {
    ResetCursor(slot);
    SmoothBinaryLog(slot);
    ComputeSuspensionSpeed(slot);
    ComputeSlipRatio(slot);
    ComputeReductionRatio(slot);
    if (slot != 0) AlignColumnsWithFile1(slot);
    ComputeChannelRanges(slot);
}

void FinishCanLoad(FileSlot slot) {
    ResetCursor(slot);
    ComputeChannelRanges(slot);
    if (slot == 0) BuildChannelIndexByCode();
}

void FinishHndLoad(FileSlot slot) {
    ResetCursor(slot);
    SmoothBySettings(slot);
    if (slot != 0) AlignColumnsWithFile1(slot);
    ComputeChannelRanges(slot);
}

void FinishFamily4Load(FileSlot slot, bool lapsFromGps, bool append) {
    ResetCursor(slot);
    SmoothBySettings(slot);
    ComputeSuspensionSpeed(slot);
    ComputeReductionRatio(slot);
    ComputeGpsSlip(slot);
    ComputeSlipTrigger(slot, 0);
    if (slot != 0 && !append) AlignColumnsWithFile1(slot);
    ComputeChannelRanges(slot);
    (void)lapsFromGps;
}

} // namespace qvtk
