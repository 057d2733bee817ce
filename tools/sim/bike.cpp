#include "tools/sim/bike.h"

namespace qvtk::sim {

double OverallRatio(const SimBike& bike, int gear) {
    double primary = static_cast<double>(bike.primaryDriven) / bike.primaryDrive;
    double box = static_cast<double>(bike.gearDriven[gear - 1]) / bike.gearDrive[gear - 1];
    double final = static_cast<double>(bike.rearSprocket) / bike.frontSprocket;
    return primary * box * final;
}

double EngineRpmAt(const SimBike& bike, int gear, double rearKmh) {
    double wheelRpm = rearKmh / 3.6 / (bike.rearTireMm / 1000.0) * 60.0;
    return wheelRpm * OverallRatio(bike, gear);
}

void WriteGearboxTeeth(const SimBike& bike, std::vector<uint8_t>& header, size_t at) {
    header[at] = static_cast<uint8_t>(bike.primaryDriven);
    header[at + 1] = static_cast<uint8_t>(bike.primaryDrive);
    for (size_t g = 0; g < 6; ++g) {
        header[at + 2 + 2 * g] = static_cast<uint8_t>(bike.gearDriven[g]);
        header[at + 3 + 2 * g] = static_cast<uint8_t>(bike.gearDrive[g]);
    }
}

} // namespace qvtk::sim
