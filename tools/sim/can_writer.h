#pragma once

#include "tools/sim/ride.h"

#include <cstdint>
#include <vector>

namespace qvtk::sim {

// CAN identifiers the simulated motorcycle sends.
constexpr uint32_t kCanWheelSpeeds = 517; // A front, B rear wheel speed, km/h
constexpr uint32_t kCanEngine = 521;      // A engine speed rpm, C gear (readers keep C mod 4)
constexpr uint32_t kCanThrottle = 533;    // A throttle %
constexpr uint32_t kCanCoolant = 574;     // A coolant temperature x 256, degrees C
constexpr uint32_t kCanBodyStatus = 416;  // A battery voltage x 100; no sample channel
constexpr uint32_t kCanAlive = 1776;      // A a running counter; no sample channel

// A CAN frame file: 16-byte frames in time order, each a time stamp (10 per 5 ms sample),
// the identifier, data words A and B, data byte C and three zero bytes. Every 5 ms sample
// gets at least one frame on average, so a reader that counts samples by frames sees the
// whole ride.
std::vector<uint8_t> WriteCanFrames(const SimRide& ride);

} // namespace qvtk::sim
