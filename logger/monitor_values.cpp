#include "logger/monitor_values.h"

#include <cstdio>
#include <cstring>

#include "platform/byte_cursor.h"

namespace qvtk {

namespace {

// Voltage per count of the logger's converters.
constexpr float kThrottleVolts = 0.01953125f; // 5 / 256
constexpr float kStrokeVolts = 0.0048875855f; // 5 / 1023
constexpr float kInputVolts = 0.019607844f;   // 5 / 255
constexpr float kBatteryVolts = 0.078431375f; // 20 / 255

const char* const kFieldNames[kMonitorFieldCount] = {
    "NE",       "VFW",     "VRW",     "TPS",     "FrSUS",         "RrSUS",    "LAF 1", "LAF 2",
    "AUX 1",    "AUX 2",   "LAP",     "VB",      "NE V",          "VFW V",    "VRW V", "TPS V",
    "FrSUS V",  "RrSUS V", "LAF 1 V", "LAF 2 V", "AUX 1 V",       "AUX 2 V",  "LAP V", "VB V",
    "GearPos.", "prompt",  "status",  "RTC",     "Firmware Ver.", "QVD Ver.", "Final", "LapMarker"};

template <typename... A> std::string Format(const char* format, A... args) {
    char buf[96];
    std::snprintf(buf, sizeof buf, format, args...);
    return buf;
}

Bytes Block(const uint8_t* setupBlock) {
    return Bytes(setupBlock, kSetupBlockMax);
}

std::string TableText(Bytes setup, size_t base, int v) {
    auto x = [&](int i) { return int(ByteAt(setup, base + size_t(i))); };
    // Outputs are signed: a table may go below zero (a temperature, a pressure).
    auto y = [&](int i) { return int(I16At(setup, base + 16 + 2 * size_t(i))); };
    if (v < x(0)) return Format("%d", y(0) / 100);
    // At or above the last breakpoint the table ends: its last value.
    if (v >= x(15)) return Format("%d", y(15) / 100);
    int i = 14;
    while (x(i) > v) --i; // stops at 0 at the latest, as x(0) <= v; x(i + 1) > v >= x(i)
    const int value = y(i) + (y(i + 1) - y(i)) * (v - x(i)) / (x(i + 1) - x(i));
    return Format("%d", value / 100);
}

void FormatSuspension(const HistoryRecord& d, Bytes setup, bool front, bool detailed,
                      MonitorTexts& out) {
    const int reading = front ? (d[7] << 2 | (d[4] >> 6 & 3)) : (d[8] << 2 | (d[4] >> 4 & 3));
    const int zero = front ? (ByteAt(setup, 39) << 2 | (ByteAt(setup, 41) >> 6 & 3))
                           : (ByteAt(setup, 40) << 2 | (ByteAt(setup, 42) >> 6 & 3));
    const int type = ByteAt(setup, front ? 36 : 37);
    const int stroke = SuspensionStroke(front, reading, zero, type, I16At(setup, front ? 43 : 45));
    const int field = front ? kFieldFrSus : kFieldRrSus;
    const float volts = float(reading) * kStrokeVolts;
    if (detailed) {
        out.Set(field, Format("%4.1fmm", double(stroke / 10) * 0.1));
        out.Set(field + kVoltageFieldOffset, Format("%5.3fV", double(volts)));
    } else {
        out.Set(field, Format("%4dmm", stroke / 100));
        out.Set(field + kVoltageFieldOffset, Format("%5.2fV", double(volts)));
    }
}

} // namespace

const char* MonitorFieldName(int field) {
    return field >= 0 && field < kMonitorFieldCount ? kFieldNames[field] : "";
}

void ShiftSampleHistory(HistoryRecord (&h)[kHistoryEntries]) {
    std::memcpy(h[kHistDisplay], h[kHistNewest], kHistoryRecordBytes);
    for (int i = 6; i <= 12; ++i)
        h[kHistDisplay][i] = uint8_t((2 * h[kHistNewest][i] + h[kHistPrevious][i]) / 3);
    std::memcpy(h[kHistOlder], h[kHistPrevious], kHistoryRecordBytes);
    std::memcpy(h[kHistPrevious], h[kHistNewest], kHistoryRecordBytes);
}

int SuspensionStroke(bool front, int reading, int zero, int type, int stroke) {
    if (type == 0) {
        const int full = front ? 18768 : 12500; // 187.68 mm and 125.00 mm sensors
        return full + (zero - reading - 1023) * full / 1023;
    }
    if (type == 1) return 10 * stroke - (reading - zero + 1023) * 10 * stroke / 1023;
    return 0;
}

bool InputConversionText(const uint8_t* setupBlock, int input, int v, std::string& out) {
    const Bytes setup = Block(setupBlock);
    const size_t base = 112 + 48 * size_t(input);
    switch (ByteAt(setup, 108 + size_t(input))) {
    case 0: { // air-fuel ratio of the LAF sensor
        const int16_t ratio = int16_t(v * 1000 / 285 + 900);
        out = Format("%5.2f", double(ratio) * 0.01);
        return true;
    }
    case 1:
        out.assign(1, '-');
        return true;
    case 2: {
        const int64_t gain = I16At(setup, base), offset = I16At(setup, base + 16);
        out = Format("%lld", (long long)(((v * gain * 500 + 127) / 255 + offset * 100) / 10000));
        return true;
    }
    case 3:
        out = TableText(setup, base, v);
        return true;
    default:
        return false;
    }
}

void FormatLiveValues(const HistoryRecord& d, const uint8_t* setupBlock, bool detailed,
                      MonitorTexts& out) {
    const Bytes setup = Block(setupBlock);
    out.Set(kFieldNe, Format("%drpm", d[0] << 8 | d[1]));

    const int raw = d[6], closed = ByteAt(setup, 32), open = ByteAt(setup, 33);
    const int span = open - closed == 0 ? 1 : open - closed;
    const float throttleVolts = float(raw) * kThrottleVolts;
    if (detailed) {
        out.Set(kFieldTps, Format("%5.1f%%", double(raw - closed) * 100.0 / span));
        out.Set(kFieldTps + kVoltageFieldOffset, Format("%5.3fV", double(throttleVolts)));
    } else {
        out.Set(kFieldTps, Format("%d%%", (raw - closed) * 100 / span));
        out.Set(kFieldTps + kVoltageFieldOffset, Format("%5.2fV", double(throttleVolts)));
    }

    const int front = (d[2] & 0x0F) << 8 | d[3], rear = (d[4] & 0x0F) << 8 | d[5];
    if (detailed) {
        out.Set(kFieldVfw, Format("%5.1fkm/h", front * 0.1));
        out.Set(kFieldVrw, Format("%5.1fkm/h", rear * 0.1));
    } else {
        out.Set(kFieldVfw, Format("%dkm/h", front / 10));
        out.Set(kFieldVrw, Format("%dkm/h", rear / 10));
    }
    FormatSuspension(d, setup, true, detailed, out);
    FormatSuspension(d, setup, false, detailed, out);

    if (detailed) {
        out.Set(kFieldGearPos, Format("%d", d[17] & 0x0F));
        out.Set(kFieldPrompt, Format("%02X %02X %02X", d[17], d[18], d[19]));
    }
    for (int k = 0; k < 4; ++k) {
        const int v = d[9 + k];
        std::string text;
        if (InputConversionText(setupBlock, k, v, text)) out.Set(kFieldLaf1 + k, text);
        out.Set(kFieldLaf1 + k + kVoltageFieldOffset,
                Format("%5.2fV", double(float(v) * kInputVolts)));
    }
    out.Set(kFieldLap, Format("%d", d[14]));
    out.Set(kFieldVb, Format("%4.1fV", double(float(d[13]) * kBatteryVolts)));
}

void FormatSetupInformation(const uint8_t* setupBlock, MonitorTexts& out) {
    const Bytes setup = Block(setupBlock);
    size_t n = 0;
    while (n < 14 && setup[1 + n]) ++n;
    out.Set(kFieldFirmware, std::string(reinterpret_cast<const char*>(setup.data()) + 1, n));
    out.Set(kFieldQvdVer, Format("0x%02X", setup[15]));
    out.Set(kFieldFinal, Format("%d - %d", setup[25], setup[26]));
    out.Set(kFieldLapMarker, Format("%d", setup[27]));
}

} // namespace qvtk
