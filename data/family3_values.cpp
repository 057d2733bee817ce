#include "data/family3_values.h"

namespace qvtk {

namespace {
bool IsFixedOldVersion(int version) {
    return version == 0 || version == 32;
}
} // namespace

int32_t ThrottleTenths(const LogHeader& h, int version, int32_t raw) {
    if (IsFixedOldVersion(version))
        return int32_t(int64_t(raw - h.throttleClosed) * h.throttleGain / 10);
    int64_t closed = h.throttleClosed, open = h.throttleOpen;
    if (version == 4) {
        closed *= 256;
        open *= 256;
    }
    if (open == closed) return 0;
    return int32_t((raw - closed) * 1000 / (open - closed));
}

int32_t StrokeHundredths(int version, int sensorType, int32_t fullRange, int32_t zero,
                         int32_t strokeConstant, int32_t raw) {
    const int64_t R = fullRange, r = raw, s = strokeConstant;
    if (version == 0) return int32_t(R - (r - zero + 1023) * R / 1023);
    if (version == 32) return sensorType == 0 ? int32_t(R - r * R / 1024 - int64_t(zero) * 25) : 0;
    if (sensorType != 0 && sensorType != 1) return 0;
    if (version == 4) {
        int64_t span = r - int64_t(zero) * 64 + 65535;
        return int32_t(sensorType == 0 ? R - span * R / 65535 : s * 10 - span * s * 10 / 65536);
    }
    int64_t span = r - zero + 1023;
    if (sensorType == 0) return int32_t(R - span * R / 1023);
    if (version == 3) return int32_t(s * 10 - span * s * 10 / 1024);
    return int32_t(s >= 0 ? s * 10 - span * s * 10 / 1023 : span * s * 10 / 1023);
}

int32_t InputTable(const InputCalibration& cal, int32_t v) {
    const int32_t* in = cal.tableIn;
    const int32_t* out = cal.tableOut;
    if (v >= in[15]) return out[15];
    for (int k = 14; k >= 0; --k) {
        if (in[k] > v) continue;
        if (in[k + 1] == in[k]) return out[k];
        return int32_t(out[k] + int64_t(out[k + 1] - out[k]) * (v - in[k]) / (in[k + 1] - in[k]));
    }
    return out[0];
}

int32_t InputHundredths(const LogHeader& h, int version, int input, int32_t raw) {
    const int64_t b = raw;
    if (IsFixedOldVersion(version)) return input < 2 ? int32_t(b * 1000 / 285 + 900) : 0;
    const InputCalibration& cal = h.inputs[input];
    // Offsets are in hundredths, except AUX2's, which is added as it is.
    const int64_t offset = input == 3 ? cal.offset : int64_t(cal.offset) * 100;
    const int64_t gain = cal.gain;
    switch (h.inputTypes[input]) {
    case 0:
        return int32_t(version == 4 ? b * 1000 / (283 * 256) + 900 : b * 1000 / 283 + 900);
    case 1:
        return int32_t(version == 4 ? b * 500 / 65536 : b * 500 / (version == 3 ? 256 : 255));
    case 2:
        if (version == 4) return int32_t(((gain * b * 500 + 32768) / 65536 + offset) / 100);
        return int32_t(((gain * b * 500 + 127) / (version == 3 ? 256 : 255) + offset) / 100);
    case 3:
        if (version == 4) return InputTable(cal, int32_t((b * 5000 + 32768) / 65536));
        return InputTable(cal, int32_t((b * 5000 + 127) / (version == 3 ? 256 : 255)));
    default:
        return 0;
    }
}

int32_t VbHundredths(int version, int32_t raw) {
    return version == 4 ? int32_t(int64_t(raw) * 2000 / 65536) : raw * 2000 / 255;
}

} // namespace qvtk
