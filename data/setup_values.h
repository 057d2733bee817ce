#pragma once
// The logger's setup values: one program-wide record holding every field of the setup block
// that the logger reads from its memory card and writes at the head of each recording. It
// starts with the logger's start-up values, is filled from File 1's header when a family-3
// recording is loaded, edited by the setup dialogs and written out as the setup file.
#include <cstddef>
#include <cstdint>

#include "platform/byte_cursor.h"

namespace qvtk {

constexpr int kSetupInputs = 4;       // LAF1, LAF2, AUX1, AUX2
constexpr int kSetupTablePoints = 16; // breakpoints of an input's table
constexpr size_t kSetupMemoBytes = 189;

// How one analog input's reading becomes a value.
struct InputConversion {
    int type = 0;   // 0 LAF sensor, 1 voltage, 2 gain and offset, 3 table
    int gain = 0;   // a x 100, signed 16-bit
    int offset = 0; // b x 100, signed 16-bit
    int tableMillivolts[kSetupTablePoints] = {}; // breakpoints, on the ADC grid
    int tableValues[kSetupTablePoints] = {};     // outputs x 100, signed 16-bit
};

struct SetupValues {
    // Logger Setting group.
    int enginePulseEntry = 0; // "0.5", "1", "2" = 0-2; "(n)" = n for 3-16
    int pulsesFront = 20;     // per wheel revolution, 1-40
    int tireFront = 1920;     // circumference, mm
    int rearSource = 0;       // rear speed from 0 the wheel sensor, 1 the gearbox sensor
    int pulsesRear = 4;
    int tireRear = 2010;
    int gearSensorPulses = 29; // per revolution of the counter gear, 1-35
    int sprocketFront = 15, sprocketRear = 43;
    int marksPerLap = 0;                      // 0 "-", 1-3
    int linkRatio = 235;                      // x 100, 150-400
    int throttleClosed = 0, throttleOpen = 0; // throttle sensor readings
    int susTypeFront = 0, susTypeRear = 0;    // 0 fixed-stroke sensor, 1 linear sensor
    int susZeroFront = 0, susZeroRear = 0;    // 10-bit readings at zero stroke
    int strokeFront = 0, strokeRear = 0;      // linear sensor stroke for 0-5 V, 0.1 mm
    // GearBox Setting.
    int gearTeeth[14] = {76, 36, 33, 12, 32, 16, 30, 18, 26, 18, 30, 23, 29, 24}; // counter, main
    int neutralRpm = 15000;
    int gearRpm[6] = {15000, 15000, 15000, 15000, 15000, 15000}; // multiples of 100
    int hysteresis = 62;                                         // as stored: shown x 4
    int shiftDirection = 0;                                      // 0 Up, 1 Down
    int shiftResetLevel = 140;                                   // ADC counts
    int shiftTriggerLevel[5] = {160, 160, 160, 160, 160};
    int cutPulses[3][5] = {{40, 36, 32, 32, 32}, {36, 32, 30, 30, 30}, {20, 18, 16, 16, 16}};
    int cutRowRpm[3] = {10000, 7000, 4000}; // multiples of 250
    int asSetting = 0;                      // 0 AS off, 1-3
    // Extend Control.
    int awcOn = 0;
    int slipThreshold = 65535; // x 10 %
    int awcOffPulse = 0, awcOnPulse = 10;
    int continuousPulse = 20, cutModeRepeatPulse = 20;
    int lcOn = 0;
    int lcLockRpm = 65535, lcReleaseRpm = 65535, lcToleranceRpm = 65535;
    // Analog input calculation.
    InputConversion inputs[kSetupInputs] = {{0}, {0}, {1}, {1}};
    // Memo, as bytes (Shift-JIS), zero-terminated.
    char memo[kSetupMemoBytes + 1] = {};
};

extern SetupValues g_setupValues;

void ResetSetupValues();

// Takes every setup value from a family-3 header (512 bytes, or 1024 with the LC values).
void DecodeSetupValues(Bytes header, bool withLaunchControl);

// The ADC grid of the analog inputs and the shift sensor: counts from millivolts and back.
inline int MillivoltsToCounts(int mv) {
    return (mv * 255 + 2500) / 5000;
}
inline int CountsToMillivolts(int counts) {
    return (counts * 5000 + 127) / 255;
}

} // namespace qvtk
