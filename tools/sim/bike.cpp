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

} // namespace qvtk::sim
