#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qvtk::sim {

// The drive line of the simulated motorcycle. Teeth are driven / drive, as the logger
// header stores them.
struct SimBike {
    int frontTireMm = 1940; // rolling circumference
    int rearTireMm = 2000;
    int frontSprocket = 16;
    int rearSprocket = 41;
    int primaryDriven = 76;
    int primaryDrive = 36;
    int gearDriven[6] = {33, 32, 30, 26, 30, 29};
    int gearDrive[6] = {12, 16, 18, 18, 23, 24};
};

constexpr int kTopGear = 6;

// Engine revolutions per rear wheel revolution in a gear (1-6).
double OverallRatio(const SimBike& bike, int gear);

// Engine speed (rpm) with the clutch engaged in `gear` at a rear wheel speed (km/h).
double EngineRpmAt(const SimBike& bike, int gear, double rearKmh);

// The 14 gearbox bytes both logger families store: primary driven and drive, then driven and
// drive of gears 1 to 6, from `at`.
void WriteGearboxTeeth(const SimBike& bike, std::vector<uint8_t>& header, size_t at);

} // namespace qvtk::sim
