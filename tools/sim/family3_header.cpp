#include "tools/sim/bytes.h"
#include "tools/sim/family3_format.h"

#include <algorithm>
#include <string>

namespace qvtk::sim {

namespace {

// Offsets of the family-3 header.
constexpr size_t kFirmware = 1, kFirmwareSize = 14;
constexpr size_t kVersion = 15;
constexpr size_t kEnginePulses = 16;
constexpr size_t kFrontPulses = 17, kFrontTire = 18;
constexpr size_t kRearPulses = 21, kRearTire = 22;
constexpr size_t kGearboxSensorPulses = 24;
constexpr size_t kFrontSprocket = 25, kRearSprocket = 26;
constexpr size_t kMarksPerLap = 27;
constexpr size_t kLinkRatio = 31;
constexpr size_t kThrottleClosed = 32, kThrottleOpen = 33, kThrottleGain = 34;
constexpr size_t kSensorType = 36;   // front, rear
constexpr size_t kZeroHigh = 39;     // front, rear: top 8 of 10 bits
constexpr size_t kZeroLow = 41;      // front, rear: low 2 bits in bits 7-6
constexpr size_t kLinearStroke = 43; // front, rear: 2 bytes each
constexpr size_t kLapThreshold = 47;
constexpr size_t kGearTeeth = 64;
constexpr size_t kInputType = 108;
constexpr size_t kInputData = 112; // 48 bytes per input
constexpr size_t kMemo = 320, kMemoSize = 188;
constexpr size_t kLaunchControl = 512;

bool IsOldRecordVersion(int version) {
    return version == 0 || version == 32;
}

void WriteSuspension(const Family3Setup& setup, std::vector<uint8_t>& h) {
    for (int side = 0; side < 2; ++side) {
        h[kSensorType + side] = static_cast<uint8_t>(setup.sensorType[side]);
        h[kZeroHigh + side] = static_cast<uint8_t>(setup.zero[side] >> 2);
        h[kZeroLow + side] = static_cast<uint8_t>((setup.zero[side] & 3) << 6);
        SetU16(h, kLinearStroke + 2 * side, static_cast<uint16_t>(setup.linearStroke[side]));
    }
}

void WriteInputs(const Family3Setup& setup, std::vector<uint8_t>& h) {
    for (int input = 0; input < 4; ++input) {
        const InputCalibration& cal = setup.inputs[input];
        size_t base = kInputData + 48 * static_cast<size_t>(input);
        h[kInputType + input] = cal.type;
        if (cal.type == 2) {
            SetU16(h, base, static_cast<uint16_t>(cal.gain));
            SetU16(h, base + 16, static_cast<uint16_t>(cal.offset));
        } else if (cal.type == 3) {
            for (size_t k = 0; k < 16; ++k) {
                h[base + k] = cal.tableIn[k];
                SetU16(h, base + 16 + 2 * k, cal.tableOut[k]);
            }
        }
    }
}

} // namespace

bool IsVariableRecordVersion(int version) {
    return version == 3 || version == 4;
}

size_t Family3HeaderSize(int version) {
    return IsVariableRecordVersion(version) ? 1024 : 512;
}

Family3Setup MakeFamily3Setup(int version, const Family3Options& options) {
    Family3Setup s;
    s.version = version;
    s.enginePulses = std::clamp(options.enginePulses, 0, 255);
    s.throttleClosed = std::clamp(options.throttleClosed, 0, 255);
    s.throttleOpen = std::clamp(options.throttleOpen, 0, 255);
    if (s.throttleOpen != s.throttleClosed)
        s.throttleGain = 10000 / (s.throttleOpen - s.throttleClosed);
    bool old = IsOldRecordVersion(version);
    // The oldest loggers know only the standard stroke sensors and LAF inputs.
    s.sensorType[0] = !old && options.frontLinear ? 1 : 0;
    s.sensorType[1] = !old && options.rearLinear ? 1 : 0;
    int zeroDefault[2] = {version == 32 ? 4 : 1000, version == 32 ? 4 : 1010};
    int zero[2] = {options.frontZero, options.rearZero};
    for (int side = 0; side < 2; ++side) {
        s.zero[side] = std::clamp(zero[side] < 0 ? zeroDefault[side] : zero[side], 0, 1023);
        if (old) s.zero[side] &= ~3; // only the top 8 bits count there
    }
    s.linearStroke[0] = options.frontLinearStroke;
    s.linearStroke[1] = options.rearLinearStroke;
    for (int i = 0; i < 4; ++i) s.inputs[i] = old ? InputCalibration{} : options.inputs[i];
    return s;
}

std::vector<uint8_t> WriteFamily3Header(const SimRide& ride, const Family3Setup& setup,
                                        const Family3Options& options) {
    std::vector<uint8_t> h(Family3HeaderSize(setup.version), 0);
    h[0] = '3';
    std::string firmware = options.firmware.empty()
                               ? "SimLog " + std::to_string(setup.version) + ".00"
                               : options.firmware;
    SetText(h, kFirmware, kFirmwareSize, firmware);
    h[kVersion] = static_cast<uint8_t>(setup.version);
    h[kEnginePulses] = static_cast<uint8_t>(setup.enginePulses);
    h[kFrontPulses] = static_cast<uint8_t>(options.frontWheelPulses);
    SetU16(h, kFrontTire, static_cast<uint16_t>(ride.bike.frontTireMm));
    h[kRearPulses] = static_cast<uint8_t>(options.rearWheelPulses);
    SetU16(h, kRearTire, static_cast<uint16_t>(ride.bike.rearTireMm));
    h[kGearboxSensorPulses] = 29;
    h[kFrontSprocket] = static_cast<uint8_t>(ride.bike.frontSprocket);
    h[kRearSprocket] = static_cast<uint8_t>(ride.bike.rearSprocket);
    h[kMarksPerLap] = static_cast<uint8_t>(ride.marksPerLap);
    h[kLinkRatio] = static_cast<uint8_t>((options.linkRatio + 106) & 0xFF);
    h[kThrottleClosed] = static_cast<uint8_t>(setup.throttleClosed);
    h[kThrottleOpen] = static_cast<uint8_t>(setup.throttleOpen);
    SetU16(h, kThrottleGain, static_cast<uint16_t>(setup.throttleGain));
    WriteSuspension(setup, h);
    h[kLapThreshold] = static_cast<uint8_t>(options.lapThreshold);
    WriteGearboxTeeth(ride.bike, h, kGearTeeth);
    WriteInputs(setup, h);
    std::string memo = options.memo.empty()
                           ? "QVTK simulated ride seed " + std::to_string(ride.seed)
                           : options.memo;
    SetText(h, kMemo, kMemoSize, memo); // the byte after the text stays 0
    if (h.size() > kLaunchControl) {
        // Launch control not in use: off, and 65535 for its three speeds.
        std::fill(h.begin() + kLaunchControl + 1, h.begin() + kLaunchControl + 7, 0xFF);
    }
    return h;
}

} // namespace qvtk::sim
