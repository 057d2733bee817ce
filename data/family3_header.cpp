#include "data/family3_header.h"

#include <algorithm>
#include <cstring>

#include "data/family3_values.h"
#include "data/gear_thresholds.h"
#include "data/setup_values.h"

namespace qvtk {

namespace {

bool BeginsWith(Bytes b, const char* text, size_t at = 0) {
    size_t n = std::strlen(text);
    if (b.size() < at + n) return false;
    return std::memcmp(b.data() + at, text, n) == 0;
}

void DecodeInputCalibration(Bytes b, LogHeader& h, int input) {
    InputCalibration& cal = h.inputs[input];
    cal = InputCalibration();
    const size_t base = 112 + size_t(input) * 48; // inputs at base, outputs at base + 16
    switch (h.inputTypes[input]) {
    case 2:
        cal.gain = I16At(b, base);
        cal.offset = I16At(b, base + 16);
        break;
    case 3:
        for (int k = 0; k < 16; ++k) {
            cal.tableIn[k] = (ByteAt(b, base + k) * 5000 + 127) / 255;
            // Outputs may be negative (a temperature, a pressure below ambient).
            cal.tableOut[k] = I16At(b, base + 16 + 2 * size_t(k));
        }
        break;
    default: // types 0 and 1 carry no calibration
        break;
    }
}

} // namespace

int Family3Version(Bytes b) {
    int v = ByteAt(b, 15);
    if (v > 2) {
        if (BeginsWith(b, "3QVLogV9.0") && (BeginsWith(b, "01.", 10) || BeginsWith(b, "1.0", 10)))
            v = 2;
        if (BeginsWith(b, "3QVLogger V")) {
            int n =
                ((ByteAt(b, 11) * 16 + ByteAt(b, 12)) * 16 + ByteAt(b, 13)) * 16 + ByteAt(b, 14);
            if (n < 32) v = 2;
        }
    }
    return v;
}

bool IsFamily3VersionSupported(int v) {
    return v <= 4 || v == 32;
}

void DecodeFamily3Header(FileSlot slot, Bytes b, int version) {
    Slot& s = SlotOf(slot);
    LogHeader& h = s.header;
    const bool oldFixed = version == 0 || version == 32;
    char memo[kMemoBytes] = {};
    h = LogHeader();
    h.headerVersion = ByteAt(b, 15);
    h.neDivisor = ByteAt(b, 16);
    h.pulsesFront = std::max<int>(1, ByteAt(b, 17));
    h.tireFront = std::max<int>(100, U16At(b, 18));
    h.pulsesRear = std::max<int>(1, ByteAt(b, 21));
    h.tireRear = std::max<int>(100, U16At(b, 22));
    h.sprocketFront = ByteAt(b, 25);
    h.sprocketRear = ByteAt(b, 26);
    // A final ratio needs both counts; a missing one makes it 1/1 (in every slot, so that no
    // file divides by zero teeth).
    if (h.sprocketFront < 10 || h.sprocketRear < 10) h.sprocketFront = h.sprocketRear = 1;
    int marksPerLap = ByteAt(b, 27);
    if (marksPerLap >= 1 && marksPerLap <= 3) s.laps.divisor = marksPerLap;
    h.throttleClosed = ByteAt(b, 32);
    h.throttleOpen = ByteAt(b, 33);
    h.throttleGain = U16At(b, 34);
    h.susTypeFront = ByteAt(b, 36);
    h.susTypeRear = ByteAt(b, 37);
    h.susZeroFront = ByteAt(b, 39) * 4 + (oldFixed ? 0 : ByteAt(b, 41) >> 6);
    h.susZeroRear = ByteAt(b, 40) * 4 + (oldFixed ? 0 : ByteAt(b, 42) >> 6);
    h.strokeFront = I16At(b, 43);
    h.strokeRear = I16At(b, 45);
    h.lapThreshold = ByteAt(b, 47) * 2000 / 255;
    for (int i = 0; i < 14; ++i) h.gearTeeth[i] = ByteAt(b, 64 + size_t(i));
    ComputeGearThresholds(h);
    for (int i = 0; i < 4; ++i) {
        h.inputTypes[i] = ByteAt(b, 108 + size_t(i));
        DecodeInputCalibration(b, h, i);
    }
    for (size_t i = 0; i < 189; ++i) {
        memo[i] = char(ByteAt(b, 320 + i));
        if (!memo[i]) break;
    }
    std::memcpy(h.memo, memo, sizeof memo);

    if (slot == 0) {
        g_session.firmware.clear();
        for (size_t i = 1; i <= 14 && ByteAt(b, i); ++i) g_session.firmware += char(ByteAt(b, i));
        int link = ByteAt(b, 31);
        g_session.linkRatio = link == 0 ? 229 : link + 150;
        std::memset(g_session.setupEcho, 0, sizeof g_session.setupEcho);
        size_t headerBytes = version >= 3 ? 1024 : 512;
        std::memcpy(g_session.setupEcho, b.data(), std::min(b.size(), headerBytes));
        DecodeSetupValues(b, version >= 3);
    }
}

} // namespace qvtk
