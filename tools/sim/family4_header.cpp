// The family-4 header and channel descriptor table.
#include "tools/sim/bytes.h"
#include "tools/sim/family4_format.h"

#include <cmath>
#include <string>

namespace qvtk::sim {

namespace {

const char kMagic[] = "4KZL V0002   ";

// Header offsets.
constexpr size_t kCanBitRate1 = 18, kCanBitRate2 = 20;
constexpr size_t kChannelCount = 17;
constexpr size_t kLinkRatio = 31;
constexpr size_t kLapSource = 32, kMarksPerLap = 34;
constexpr size_t kLine = 48; // A lat, A lon, B lat, B lon
constexpr size_t kGearTeeth = 80;
constexpr size_t kFrontSprocket = 94, kRearSprocket = 95;
constexpr size_t kFrontTire = 96, kRearTire = 98;
constexpr size_t kCourseName = 112, kCourseNameSize = 15; // one zero byte stays
constexpr size_t kMemo = 256, kMemoSize = 255;

constexpr uint8_t kLapSourceMarker = 0, kLapSourceGps = 2;

constexpr uint8_t kCan = 1, kCalculated = 2, kGps = 3;
constexpr uint8_t kExtendedId = 1, kLocked = 4;

// Throttle: two-point percent between the closed and the open reading (raw x 1000); the
// span 3 200 000 makes 100000 / span an exact binary fraction, so float and integer
// readers agree. Wheels: 0.05 km/h per count, 1000 / 500 again exact.
const std::vector<F4Channel> kChannels = {
    {F4Source::Battery, kCan, 1, "VB", "V", 2, false, 1, 2, 1, 1000, 0, 20, 0, 1, 0x120, 0, 0xFFFF},
    {F4Source::Engine, kCan, 3, "Ne", "rpm", 0, false, 1, 0, 1000, 1000, 0, 1, 8, 1, 0x100, 0,
     0xFFFF},
    {F4Source::Throttle, kCan, 4, "TPS", "%", 1, false, 1, 1, 400000, 3600000, 0, 2, 4, 1, 0x100,
     16, 0x0FFF},
    {F4Source::FrontSpeed, kCan, 6, "VFW", "km/h", 1, false, 1, 3, 25, 500, 0, 2, 0, 1, 0x102, 0,
     0xFFFF},
    {F4Source::RearSpeed, kCan, 7, "VRW", "km/h", 1, false, 1, 3, 25, 500, 0, 2, 0, 1, 0x102, 16,
     0xFFFF},
    {F4Source::FrontStroke, kCan, 9, "FrSUS", "mm", 1, false, 1, 5, 1000, 1000, 0, 1, 3, 1, 0x110,
     0, 0x0FFF},
    {F4Source::RearStroke, kCan, 10, "RrSUS", "mm", 1, false, 1, 5, 1000, 1000, 0, 1, 3, 1, 0x110,
     16, 0x0FFF},
    {F4Source::GpsPosition, kGps, 64, "GPS", "", 0, false, 0, 0, 1000, 1000, 0, 20, 0, 0, 0, 0, 0},
    {F4Source::GpsSpeed, kGps, 66, "GPSSPD", "km/h", 1, false, 1, 0, 1000, 1000, 0, 20, 0, 0, 0, 0,
     0},
    // A brake line sender of 0.5-4.5 V for 0-20 bar, read in mV: bar x 1000 = 5 mV - 2500.
    {F4Source::Brake, kCan, 0, "BRAKE", "bar", 1, false, 1, 2, 5, 1000, -2500, 4, 10, 2, 0x130, 0,
     0xFFFF},
    {F4Source::AccelX, kCan, 0, "ACCX", "G", 2, true, 1, 2, 1, 1000, 0, 4, 5, 2, 0x140, 0, 0xFFFF},
    {F4Source::Lean, kCan, 0, "LEAN", "deg", 0, true, 0, 0, 1000, 1000, 0, 4, 0, 2, 0x140, 16,
     0x00FF},
    {F4Source::Gear, kCan, 15, "GEAR", "", 0, false, 1, 0, 1000, 1000, 0, 20, 0, 1, 0x100, 32,
     0x000F},
    {F4Source::EcuStatus, kCan, 128, "ECUSTAT", "", 0, false, 1, 0, 1000, 1000, 0, 20, 0, 1, 0x7E8,
     0, 0x00FF},
    {F4Source::Computed, kCalculated, 19, "VFrSUS", "mm/s", 2, false, 0, 0, 1000, 1000, 0, 0, 0, 0,
     0, 0, 0},
    {F4Source::Computed, kCalculated, 20, "VRrSUS", "mm/s", 2, false, 0, 0, 1000, 1000, 0, 0, 0, 0,
     0, 0, 0},
    {F4Source::Computed, kCalculated, 21, "FrSLIP", "%", 2, false, 0, 0, 1000, 1000, 0, 0, 0, 0, 0,
     0, 0},
    {F4Source::Computed, kCalculated, 22, "RrSLIP", "%", 2, false, 0, 0, 1000, 1000, 0, 0, 0, 0, 0,
     0, 0},
    // Coolant at 0.1 degree per count from -40 degrees, once a second.
    {F4Source::Coolant, kCan, 16, "WTEMP", "C", 1, false, 1, 2, 100, 1000, -40000, 200, 0, 2,
     0x18FF0010, 0, 0xFFFF, kExtendedId | kLocked},
};

// Linear potentiometers with a slight bow, calibrated at ten points.
const F4Table kFrontStroke = {
    {300, 690, 1080, 1470, 1860, 2250, 2640, 3030, 3420, 3810},
    {0, 23100, 45900, 68300, 90300, 111900, 133300, 154500, 175600, 196600}};
const F4Table kRearStroke = {{400, 760, 1120, 1480, 1840, 2200, 2560, 2920, 3280, 3640},
                             {0, 15200, 30100, 44800, 59300, 73600, 87700, 101600, 115300, 128800}};

int64_t TableValue(const F4Table& t, int32_t raw) {
    if (raw < t.in[0]) return t.out[0];
    if (raw >= t.in[9]) return t.out[9];
    int k = 8;
    while (raw < t.in[k]) --k;
    return t.out[k] + int64_t{t.out[k + 1] - t.out[k]} * (raw - t.in[k]) / (t.in[k + 1] - t.in[k]);
}

// Rate code of the descriptor: 5, 10, 20, 50, 100 ms.
uint8_t SampleTimeIndex(uint8_t period) {
    switch (period) {
    case 2:
        return 1;
    case 4:
        return 2;
    case 10:
        return 3;
    case 20:
        return 4;
    default:
        return 0;
    }
}

size_t DescriptorSize(const F4Channel& c) {
    return c.conversion == 5 ? 112 : 48;
}

void WriteDescriptor(const F4Channel& c, std::vector<uint8_t>& h, size_t at) {
    h[at] = c.mode;
    h[at + 1] = c.code;
    h[at + 2] = SampleTimeIndex(c.period);
    h[at + 3] = c.canPort;
    SetU32(h, at + 4, c.canId);
    SetU16(h, at + 8, c.dataMask);
    h[at + 10] = c.bitDepth;
    h[at + 11] = c.bitShift;
    h[at + 12] = c.flags;
    h[at + 14] = static_cast<uint8_t>(c.decimals | (c.signedRaw ? 4 : 0));
    h[at + 15] = c.conversion;
    SetText(h, at + 16, 8, c.name);
    SetText(h, at + 24, 8, c.unit);
    if (c.conversion == 5) {
        const F4Table& t = StrokeTable(c.source);
        for (size_t k = 0; k < 10; ++k) {
            SetU32(h, at + 32 + 4 * k, static_cast<uint32_t>(t.in[k]));
            SetU32(h, at + 72 + 4 * k, static_cast<uint32_t>(t.out[k]));
        }
        return;
    }
    SetU32(h, at + 32, static_cast<uint32_t>(c.calA));
    SetU32(h, at + 36, static_cast<uint32_t>(c.calB));
    SetU32(h, at + 40, static_cast<uint32_t>(c.calOffset));
}

void WriteGearbox(const SimBike& bike, std::vector<uint8_t>& h) {
    WriteGearboxTeeth(bike, h, kGearTeeth);
    h[kFrontSprocket] = static_cast<uint8_t>(bike.frontSprocket);
    h[kRearSprocket] = static_cast<uint8_t>(bike.rearSprocket);
    SetU16(h, kFrontTire, static_cast<uint16_t>(bike.frontTireMm));
    SetU16(h, kRearTire, static_cast<uint16_t>(bike.rearTireMm));
}

void WriteLine(const GpsLine& line, std::vector<uint8_t>& h) {
    const int32_t points[4] = {line.a.lat, line.a.lon, line.b.lat, line.b.lon};
    for (size_t k = 0; k < 4; ++k) SetU32(h, kLine + 4 * k, static_cast<uint32_t>(points[k]));
}

} // namespace

const std::vector<F4Channel>& Family4Channels() {
    return kChannels;
}

const F4Table& StrokeTable(F4Source source) {
    return source == F4Source::RearStroke ? kRearStroke : kFrontStroke;
}

int64_t ConvertFamily4(const F4Channel& c, int32_t raw) {
    switch (c.conversion) {
    case 1:
        if (c.calA == c.calB) return 0;
        return static_cast<int64_t>(100000.0 / (double(c.calB) - c.calA) *
                                    (double(raw) * 1000 - c.calA));
    case 2:
        return int64_t{c.calA} * raw + c.calOffset;
    case 3:
        if (c.calB == 0) return int64_t{c.calA} * raw + c.calOffset;
        return static_cast<int64_t>(double(c.calA) * raw * (1000.0 / c.calB)) + c.calOffset;
    case 5:
        return TableValue(StrokeTable(c.source), raw);
    default:
        return int64_t{raw} * 1000;
    }
}

std::vector<uint8_t> WriteFamily4Header(const SimRide& ride, const Family4Options& options,
                                        const GpsLine& line) {
    std::vector<uint8_t> h(kFamily4DataStart, 0);
    SetText(h, 0, 13, kMagic);
    h[kChannelCount] = static_cast<uint8_t>(kChannels.size());
    h[kCanBitRate1] = h[kCanBitRate2] = static_cast<uint8_t>(options.canBitRate);
    h[kLinkRatio] = 79; // 2.29
    h[kLapSource] = options.gpsLaps ? kLapSourceGps : kLapSourceMarker;
    h[kMarksPerLap] = static_cast<uint8_t>(options.gpsLaps ? 1 : ride.marksPerLap);
    WriteLine(line, h);
    WriteGearbox(ride.bike, h);
    std::string course = options.courseName.substr(0, options.courseName.find('.'));
    SetText(h, kCourseName, kCourseNameSize, course);
    std::string memo = options.memo.empty()
                           ? "QVTK simulated ride seed " + std::to_string(ride.seed)
                           : options.memo;
    SetText(h, kMemo, kMemoSize, memo);
    size_t at = kFamily4TableStart;
    for (const F4Channel& c : kChannels) {
        WriteDescriptor(c, h, at);
        at += DescriptorSize(c);
    }
    // The unused columns keep all-zero descriptors of 48 bytes: mode 0, not present.
    return h;
}

} // namespace qvtk::sim
