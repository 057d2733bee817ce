#include "data/can_setup_values.h"

#include "data/setup_values.h"

namespace qvtk {

CanSetupValues g_canSetupValues;

void ResetCanSetupValues() {
    g_canSetupValues = CanSetupValues();
}

void DecodeCanSetupValues(Bytes b) {
    CanSetupValues& c = g_canSetupValues;
    for (size_t bus = 0; bus < 2; ++bus) {
        c.bitRate[bus] = ByteAt(b, 18 + 2 * bus);
        const uint8_t flags = ByteAt(b, 19 + 2 * bus);
        c.terminator[bus] = flags & 1;
        c.listenOnly[bus] = flags >> 1 & 1;
    }
    c.startValue = U16At(b, 22);
    c.startCondition = ByteAt(b, 24);
    c.gpsClock = ByteAt(b, 26);
    c.timeZoneHourIndex = ByteAt(b, 27);
    c.timeZoneMinutes = ByteAt(b, 28);
    c.lapSignalType = ByteAt(b, 32);
    c.lapOut = ByteAt(b, 33);
    c.memo.clear();
    for (size_t i = 0; i < kCanMemoBytes && ByteAt(b, 256 + i); ++i)
        c.memo += char(ByteAt(b, 256 + i));

    SetupValues& v = g_setupValues;
    v.marksPerLap = ByteAt(b, 34);
    v.neutralRpm = U16At(b, 64);
    for (size_t g = 0; g < 6; ++g) v.gearRpm[g] = U16At(b, 66 + 2 * g);
    v.hysteresis = U16At(b, 78);
    for (size_t t = 0; t < 14; ++t) v.gearTeeth[t] = ByteAt(b, 80 + t);
    v.sprocketFront = ByteAt(b, 94);
    v.sprocketRear = ByteAt(b, 95);
    v.tireFront = U16At(b, 96);
    v.tireRear = U16At(b, 98);
    v.shiftResetLevel = U16At(b, 130);
    for (size_t g = 0; g < 5; ++g) {
        v.shiftTriggerLevel[g] = U16At(b, 132 + 2 * g);
        for (size_t row = 0; row < 3; ++row) v.cutPulses[row][g] = ByteAt(b, 152 + 6 * row + g);
    }
    v.shiftDirection = ByteAt(b, 144);
    for (size_t row = 0; row < 3; ++row) v.cutRowRpm[row] = U16At(b, 146 + 2 * row);
}

} // namespace qvtk
