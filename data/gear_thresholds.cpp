#include "data/gear_thresholds.h"

namespace qvtk {

void ComputeGearThresholds(LogHeader& h) {
    static const int kDefaultTeeth[14] = {76, 36, 33, 12, 32, 16, 30, 18, 26, 18, 30, 23, 29, 24};
    int* t = h.gearTeeth;
    for (int i = 1; i < 14; i += 2) {
        if (t[i] != 0) continue;
        for (int j = 0; j < 14; ++j) t[j] = kDefaultTeeth[j];
        break;
    }
    int ratio[7];
    for (int g = 0; g < 7; ++g) ratio[g] = t[2 * g] * 1000 / t[2 * g + 1];
    h.gearThresholds[0] = ratio[0];
    h.gearThresholds[1] = 2 * ratio[1];
    for (int g = 1; g <= 5; ++g) h.gearThresholds[g + 1] = (ratio[g] + ratio[g + 1]) / 2;
}

} // namespace qvtk
