#include "analysis/gear_position.h"

#include <algorithm>

namespace qvtk {

namespace {

double ValueOf(FileSlot slot, ChannelCode code, int32_t sample) {
    const Slot& s = SlotOf(slot);
    const int column = FindColumnByCode(slot, code);
    if (column < 0 || !s.active || s.sampleCount < 1) return 0;
    return SampleAt(slot, column, std::clamp(sample, 0, s.sampleCount - 1)) * 0.001;
}

} // namespace

int GearAt(FileSlot slot, int32_t sample) {
    const Slot& s = SlotOf(slot);
    const LogHeader& h = s.header;
    const double rpm = ValueOf(slot, kCodeNe, sample), kmh = ValueOf(slot, kCodeVRW, sample);
    if (kmh < 5.0 || rpm < 500.0 || h.gearThresholds[0] <= 0 || h.tireRear <= 0 ||
        h.sprocketFront <= 0)
        return 0;
    const double wheelRpm = kmh * 1.0e6 / 60.0 / h.tireRear;
    const double finalRatio = double(h.sprocketRear) / h.sprocketFront;
    const double gearbox = rpm / wheelRpm / (h.gearThresholds[0] * 0.001) / finalRatio * 1000.0;
    if (gearbox > h.gearThresholds[1]) return 0; // slower than first gear allows: clutch out
    for (int g = 1; g <= 5; ++g)
        if (gearbox > h.gearThresholds[g + 1]) return g;
    return 6;
}

} // namespace qvtk
