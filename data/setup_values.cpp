#include "data/setup_values.h"

#include <algorithm>

namespace qvtk {

SetupValues g_setupValues;

namespace {

// The Engine Pulse list entry of a header: "(n)" when byte 28 names n pulses, else byte 16.
int EnginePulseEntry(int pulse, int divider) {
    if (divider >= 3 && divider <= 16) return divider;
    return std::min(pulse, 16);
}

void DecodeInput(Bytes b, int k, InputConversion& in) {
    in = InputConversion();
    in.type = ByteAt(b, 108 + size_t(k));
    const size_t base = 112 + size_t(k) * 48;
    if (in.type == 2) {
        in.gain = I16At(b, base);
        in.offset = I16At(b, base + 16);
    } else if (in.type == 3) {
        for (int i = 0; i < kSetupTablePoints; ++i) {
            in.tableMillivolts[i] = CountsToMillivolts(ByteAt(b, base + size_t(i)));
            in.tableValues[i] = I16At(b, base + 16 + 2 * size_t(i));
        }
    }
}

} // namespace

void ResetSetupValues() {
    g_setupValues = SetupValues();
}

void DecodeSetupValues(Bytes b, bool withLaunchControl) {
    SetupValues& v = g_setupValues;
    v.enginePulseEntry = EnginePulseEntry(ByteAt(b, 16), ByteAt(b, 28));
    v.pulsesFront = ByteAt(b, 17);
    v.tireFront = U16At(b, 18);
    v.rearSource = ByteAt(b, 20);
    v.pulsesRear = ByteAt(b, 21);
    v.tireRear = U16At(b, 22);
    v.gearSensorPulses = ByteAt(b, 24);
    v.sprocketFront = ByteAt(b, 25);
    v.sprocketRear = ByteAt(b, 26);
    v.marksPerLap = ByteAt(b, 27);
    const int link = ByteAt(b, 31);
    v.linkRatio = link == 0 ? 229 : link + 150;
    v.throttleClosed = ByteAt(b, 32);
    v.throttleOpen = ByteAt(b, 33);
    v.susTypeFront = ByteAt(b, 36);
    v.susTypeRear = ByteAt(b, 37);
    v.susZeroFront = ByteAt(b, 39) * 4 + (ByteAt(b, 41) >> 6);
    v.susZeroRear = ByteAt(b, 40) * 4 + (ByteAt(b, 42) >> 6);
    v.strokeFront = I16At(b, 43);
    v.strokeRear = I16At(b, 45);

    v.awcOn = ByteAt(b, 48);
    v.hysteresis = ByteAt(b, 49);
    v.neutralRpm = U16At(b, 50);
    v.slipThreshold = U16At(b, 52);
    v.awcOffPulse = ByteAt(b, 54);
    v.awcOnPulse = ByteAt(b, 55);
    v.continuousPulse = ByteAt(b, 56);
    v.cutModeRepeatPulse = ByteAt(b, 57);
    for (int g = 0; g < 6; ++g) v.gearRpm[g] = ByteAt(b, 58 + size_t(g)) * 100;
    for (int t = 0; t < 14; ++t) v.gearTeeth[t] = ByteAt(b, 64 + size_t(t));
    v.shiftDirection = ByteAt(b, 80);
    v.shiftResetLevel = ByteAt(b, 81);
    for (int g = 0; g < 5; ++g) {
        v.shiftTriggerLevel[g] = ByteAt(b, 82 + size_t(g));
        v.cutPulses[0][g] = ByteAt(b, 87 + size_t(g));
        v.cutPulses[1][g] = ByteAt(b, 96 + size_t(g));
        v.cutPulses[2][g] = ByteAt(b, 101 + size_t(g));
    }
    v.asSetting = ByteAt(b, 92);
    for (int r = 0; r < 3; ++r) v.cutRowRpm[r] = ByteAt(b, 93 + size_t(r)) * 250;

    for (int k = 0; k < kSetupInputs; ++k) DecodeInput(b, k, v.inputs[k]);

    std::fill(std::begin(v.memo), std::end(v.memo), 0);
    for (size_t i = 0; i < kSetupMemoBytes && ByteAt(b, 320 + i); ++i)
        v.memo[i] = char(ByteAt(b, 320 + i));

    if (withLaunchControl) {
        v.lcOn = ByteAt(b, 512);
        v.lcLockRpm = U16At(b, 513);
        v.lcReleaseRpm = U16At(b, 515);
        v.lcToleranceRpm = U16At(b, 517);
    }
}

} // namespace qvtk
