#include "logger/setup_block.h"

#include <cstring>

#include "data/settings.h"

namespace qvtk {

namespace {

void Put16(uint8_t* b, size_t at, int v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

void PutZeroReading(uint8_t* b, size_t high, size_t low, int reading) {
    b[high] = uint8_t(reading >> 2);
    b[low] = uint8_t((reading & 3) << 6);
}

void WriteLoggerSetting(uint8_t* b, const SetupValues& v) {
    const int entry = v.enginePulseEntry;
    b[16] = uint8_t(entry <= 2 ? entry : 1);
    b[28] = uint8_t(entry <= 2 ? 0 : entry);
    b[17] = uint8_t(v.pulsesFront);
    Put16(b, 18, v.tireFront);
    b[20] = uint8_t(v.rearSource);
    b[21] = uint8_t(v.pulsesRear);
    Put16(b, 22, v.tireRear);
    b[24] = uint8_t(v.gearSensorPulses);
    b[25] = uint8_t(v.sprocketFront);
    b[26] = uint8_t(v.sprocketRear);
    b[27] = uint8_t(v.marksPerLap);
    b[30] = uint8_t(g_settings.Debug);
    b[31] = uint8_t((v.linkRatio + 106) & 255);
    b[32] = uint8_t(v.throttleClosed);
    b[33] = uint8_t(v.throttleOpen);
    b[35] = 50;
    b[36] = uint8_t(v.susTypeFront);
    b[37] = uint8_t(v.susTypeRear);
    PutZeroReading(b, 39, 41, v.susZeroFront);
    PutZeroReading(b, 40, 42, v.susZeroRear);
    Put16(b, 43, v.strokeFront);
    Put16(b, 45, v.strokeRear);
    b[47] = 121; // lap-marker voltage threshold
}

void WriteGearboxAndExtend(uint8_t* b, const SetupValues& v) {
    const bool awcAllowed = g_settings.AWC != 0 || g_settings.Debug != 0;
    b[48] = uint8_t(awcAllowed ? v.awcOn : 0);
    b[49] = uint8_t(v.hysteresis);
    Put16(b, 50, v.neutralRpm);
    Put16(b, 52, v.slipThreshold);
    b[54] = uint8_t(v.awcOffPulse);
    b[55] = uint8_t(v.awcOnPulse);
    b[56] = uint8_t(v.continuousPulse);
    b[57] = uint8_t(v.cutModeRepeatPulse);
    for (int g = 0; g < 6; ++g) b[58 + g] = uint8_t(v.gearRpm[g] / 100);
    for (int t = 0; t < 14; ++t) b[64 + t] = uint8_t(v.gearTeeth[t]);
    b[80] = uint8_t(v.shiftDirection);
    b[81] = uint8_t(v.shiftResetLevel);
    for (int g = 0; g < 5; ++g) {
        b[82 + g] = uint8_t(v.shiftTriggerLevel[g]);
        b[87 + g] = uint8_t(v.cutPulses[0][g]);
        b[96 + g] = uint8_t(v.cutPulses[1][g]);
        b[101 + g] = uint8_t(v.cutPulses[2][g]);
    }
    b[92] = uint8_t(v.asSetting);
    for (int r = 0; r < 3; ++r) b[93 + r] = uint8_t(v.cutRowRpm[r] / 250);
}

void WriteLaunchControl(uint8_t* b, SetupValues& v) {
    const bool inUse = g_settings.LC != 0 || v.lcOn != 0 || g_settings.Debug != 0;
    if (!inUse) {
        v.lcOn = 0;
        v.lcLockRpm = v.lcReleaseRpm = v.lcToleranceRpm = 65535;
    }
    b[512] = uint8_t(v.lcOn);
    Put16(b, 513, v.lcLockRpm);
    Put16(b, 515, v.lcReleaseRpm);
    Put16(b, 517, v.lcToleranceRpm);
}

void ApplyPositionAdjust(uint8_t* b, const PositionAdjust& adjust, const ObservedReadings& seen) {
    if (adjust.throttle) {
        b[32] = uint8_t(seen.throttleLowest);
        const int highest = seen.throttleHighest;
        b[33] = uint8_t(highest > seen.throttleLowest ? highest - 1 : highest);
    }
    if (adjust.front) PutZeroReading(b, 39, 41, seen.front);
    if (adjust.rear) PutZeroReading(b, 40, 42, seen.rear);
}

} // namespace

void NormaliseSetupValues(SetupValues& v) {
    if (v.throttleClosed == v.throttleOpen) {
        v.throttleClosed = 0;
        v.throttleOpen = 255;
    }
    if (v.pulsesFront < 1) v.pulsesFront = 1;
    if (v.pulsesRear < 1) v.pulsesRear = 1;
    if (v.tireFront < 100) v.tireFront = 100;
    if (v.tireRear < 100) v.tireRear = 100;
}

void WriteInputTables(uint8_t* b, int input, const SetupValues& v) {
    const InputConversion& in = v.inputs[input];
    const size_t base = 112 + 48 * size_t(input);
    b[108 + input] = uint8_t(in.type);
    if (in.type == 2) {
        Put16(b, base, in.gain);
        Put16(b, base + 16, in.offset);
    } else if (in.type == 3) {
        for (int i = 0; i < kSetupTablePoints; ++i) {
            b[base + size_t(i)] = uint8_t(MillivoltsToCounts(in.tableMillivolts[i]));
            Put16(b, base + 16 + 2 * size_t(i), in.tableValues[i]);
        }
    }
}

std::vector<uint8_t> BuildSetupBlock(SetupValues& v, bool compressed, const PositionAdjust& adjust,
                                     const ObservedReadings& seen) {
    std::vector<uint8_t> block(compressed ? 1024 : 512, 0);
    uint8_t* b = block.data();
    std::memcpy(b, "3QVLogger V00", 13);
    b[13] = compressed ? '3' : '2';
    b[14] = '0';
    b[15] = compressed ? 3 : 2;
    WriteLoggerSetting(b, v);
    WriteGearboxAndExtend(b, v);
    for (int k = 0; k < kSetupInputs; ++k) WriteInputTables(b, k, v);
    ApplyPositionAdjust(b, adjust, seen);
    for (size_t i = 0; i < kSetupMemoBytes && v.memo[i]; ++i) b[320 + i] = uint8_t(v.memo[i]);
    if (compressed) WriteLaunchControl(b, v);
    return block;
}

} // namespace qvtk
