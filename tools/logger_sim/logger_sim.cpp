#include "tools/logger_sim/logger_sim.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "tools/sim/course.h"

namespace qvtk::sim {

namespace {

constexpr double kSamplesPerSecond = 200;
// The live values start out on the track, not in the pit box.
constexpr double kRideStart = 40;

// A short ride is enough: the live values go round it.
SimRide LiveRide(uint32_t seed) {
    RideOptions o;
    o.seed = seed;
    o.laps = 1;
    return SimulateRide(MakeCourse(seed), o);
}

size_t RideIndex(const LoggerSim& sim, double elapsed) {
    const size_t n = RideSamples(sim.ride);
    return n == 0 ? 0 : size_t(std::max(0.0, elapsed + kRideStart) * kSamplesPerSecond) % n;
}

uint8_t NextNoise(LoggerSim& sim) {
    sim.noise = sim.noise * 1103515245u + 12345u;
    return uint8_t(sim.noise >> 16);
}

std::vector<uint8_t> Noise(LoggerSim& sim, size_t n) {
    std::vector<uint8_t> out(n);
    for (uint8_t& b : out) b = NextNoise(sim);
    return out;
}

uint16_t Stroke(const LoggerSim& sim, size_t i, int side) {
    const float mm = side == 0 ? sim.ride.frontStroke[i] : sim.ride.rearStroke[i];
    return EncodeRaw(sim.codecs.stroke[side], std::llround(double(mm) * 100));
}

std::vector<uint8_t> ClockAnswer(const LoggerSim& sim, double now) {
    const std::time_t t = std::time_t(now + sim.clockOffset);
    std::tm local{};
    localtime_r(&t, &local);
    const int year = local.tm_year + 1900;
    return {uint8_t(year >> 8),     uint8_t(year),          uint8_t(local.tm_mon + 1),
            uint8_t(local.tm_mday), uint8_t(local.tm_hour), uint8_t(local.tm_min),
            uint8_t(local.tm_sec)};
}

void SetClock(LoggerSim& sim, const uint8_t* c, double now) {
    std::tm local{};
    local.tm_year = (c[1] << 8 | c[2]) - 1900;
    local.tm_mon = c[3] - 1;
    local.tm_mday = c[4];
    local.tm_hour = c[5];
    local.tm_min = c[6];
    local.tm_sec = 0;
    local.tm_isdst = -1;
    const std::time_t target = std::mktime(&local);
    if (target != std::time_t(-1)) sim.clockOffset = double(target) - now;
}

// The closing commands of the calibrations store what the sensors read.
void FinishCalibration(LoggerSim& sim, uint8_t command, double elapsed) {
    std::vector<uint8_t>& b = sim.setupBlock;
    if (b.size() < 43) return;
    const size_t now = RideIndex(sim, elapsed);
    if (command == 'A') {
        const double from = sim.calibrationStart >= 0 ? sim.calibrationStart : elapsed - 5;
        int lowest = 255, highest = 0;
        for (double t = from; t <= elapsed; t += 1.0 / kSamplesPerSecond) {
            const size_t i = RideIndex(sim, t);
            const int raw = EncodeRaw(sim.codecs.throttle, std::llround(sim.ride.throttle[i] * 10));
            lowest = std::min(lowest, raw);
            highest = std::max(highest, raw);
        }
        if (lowest <= highest) {
            b[32] = uint8_t(lowest);
            b[33] = uint8_t(highest);
        }
    } else {
        const int side = command == 'B' ? 0 : 1;
        const uint16_t zero = Stroke(sim, now, side);
        b[39 + side] = uint8_t(zero >> 2);
        b[41 + side] = uint8_t((zero & 3) << 6);
    }
    sim.calibrationStart = -1;
}

std::vector<uint8_t> IdentifyAnswer(const LoggerSim& sim) {
    std::string ident = sim.options.ident;
    if (ident.empty())
        ident = sim.options.fault == LoggerFault::kUnsupported ? "0QVLR002" : "0QVLR001";
    return std::vector<uint8_t>(ident.begin(), ident.end());
}

std::vector<uint8_t> Answer(LoggerSim& sim, const uint8_t* c, size_t n, double now,
                            double elapsed) {
    const bool garbled = sim.options.fault == LoggerFault::kGarbled;
    switch (c[0]) {
    case '0':
        return IdentifyAnswer(sim);
    case '1':
        ++sim.liveAnswers;
        return garbled ? Noise(sim, 20) : LiveSampleAt(sim, elapsed);
    case '2':
        if (garbled) {
            std::vector<uint8_t> a = Noise(sim, 7);
            a[2] = uint8_t(13 + a[2] % 200); // no such month
            return a;
        }
        return ClockAnswer(sim, now);
    case '3':
        return garbled ? Noise(sim, sim.setupBlock.size()) : sim.setupBlock;
    case 0x40:
        if (sim.options.fault == LoggerFault::kLogging) return {0x01};
        sim.calibrationStart = elapsed;
        return {garbled ? NextNoise(sim) : uint8_t(0)};
    case 'A':
    case 'B':
    case 'C':
        if (!garbled) FinishCalibration(sim, c[0], elapsed);
        return {0x00};
    case 0x20:
        if (n == 8 && !garbled) SetClock(sim, c, now);
        return {0x00};
    default:
        return {};
    }
}

} // namespace

bool ParseLoggerFault(const std::string& text, LoggerSimOptions& o) {
    static const std::pair<const char*, LoggerFault> kModes[] = {
        {"none", LoggerFault::kNone},
        {"silent", LoggerFault::kSilent},
        {"short", LoggerFault::kShort},
        {"garbled", LoggerFault::kGarbled},
        {"unsupported", LoggerFault::kUnsupported},
        {"logging", LoggerFault::kLogging},
        {"memcard", LoggerFault::kMemoryCard},
        {"drop", LoggerFault::kDrop},
        {"slow", LoggerFault::kSlow}};
    const size_t colon = text.find(':');
    const std::string mode = text.substr(0, colon);
    for (const auto& [name, fault] : kModes) {
        if (mode != name) continue;
        o.fault = fault;
        if (colon != std::string::npos) {
            char* end = nullptr;
            const long count = std::strtol(text.c_str() + colon + 1, &end, 10);
            if (!end || *end || count < 0) return false;
            o.faultCount = int(count);
        }
        return true;
    }
    return false;
}

void InitLoggerSim(LoggerSim& sim, const LoggerSimOptions& options) {
    sim = LoggerSim();
    sim.options = options;
    sim.noise = options.seed;
    sim.ride = LiveRide(options.seed);
    const int version = options.blockBytes > 512 ? 3 : 2;
    Family3Options file;
    sim.setup = MakeFamily3Setup(version, file);
    sim.codecs = MakeFamily3Codecs(sim.setup);
    sim.setupBlock = WriteFamily3Header(sim.ride, sim.setup, file);
    sim.setupBlock.resize(size_t(std::clamp(options.blockBytes, 1, 4096)), 0);
}

size_t LoggerCommandLength(uint8_t first) {
    return first == 0x20 ? 8 : 1;
}

std::vector<uint8_t> LiveSampleAt(const LoggerSim& sim, double elapsed) {
    const SimRide& r = sim.ride;
    const Family3Codecs& c = sim.codecs;
    std::vector<uint8_t> s(20, 0);
    if (RideSamples(r) == 0) return s;
    const size_t i = RideIndex(sim, elapsed);
    auto hundredths = [](float v) { return std::llround(double(v) * 100); };
    const uint16_t ne = uint16_t(std::clamp<long>(std::lround(r.rpm[i]), 0, 65535));
    const uint16_t front = uint16_t(std::clamp<long>(std::lround(r.frontSpeed[i] * 10), 0, 4095));
    const uint16_t rear = uint16_t(std::clamp<long>(std::lround(r.rearSpeed[i] * 10), 0, 4095));
    const uint16_t strokeFront = Stroke(sim, i, 0), strokeRear = Stroke(sim, i, 1);
    s[0] = uint8_t(ne >> 8);
    s[1] = uint8_t(ne);
    s[2] = uint8_t(front >> 8);
    s[3] = uint8_t(front);
    s[4] = uint8_t((strokeFront & 3) << 6 | (strokeRear & 3) << 4 | rear >> 8);
    s[5] = uint8_t(rear);
    s[6] = uint8_t(EncodeRaw(c.throttle, std::llround(double(r.throttle[i]) * 10)));
    s[7] = uint8_t(strokeFront >> 2);
    s[8] = uint8_t(strokeRear >> 2);
    s[9] = uint8_t(EncodeRaw(c.airFuel[0], hundredths(r.laf1[i])));
    s[10] = uint8_t(EncodeRaw(c.airFuel[1], hundredths(r.laf2[i])));
    s[11] = uint8_t(EncodeRaw(c.aux[0], hundredths(r.aux1[i])));
    s[12] = uint8_t(EncodeRaw(c.aux[1], hundredths(r.aux2[i])));
    s[13] = uint8_t(EncodeRaw(c.vb, hundredths(r.vb[i])));
    const auto& starts = r.lapPulseStarts;
    s[14] = uint8_t(std::upper_bound(starts.begin(), starts.end(), uint32_t(i)) - starts.begin());
    s[17] = uint8_t(r.gear[i] & 0x0F);
    const LoggerFault fault = sim.options.fault;
    if (fault == LoggerFault::kLogging) s[19] |= 0x01;
    const int n = sim.options.faultCount;
    if (fault == LoggerFault::kMemoryCard && (n < 0 || sim.liveAnswers <= n)) s[19] |= 0x10;
    return s;
}

std::vector<uint8_t> AnswerLoggerCommand(LoggerSim& sim, const uint8_t* command, size_t n,
                                         double now, double elapsed) {
    if (n == 0 || sim.options.fault == LoggerFault::kSilent) return {};
    std::vector<uint8_t> a = Answer(sim, command, n, now, elapsed);
    if (sim.options.fault == LoggerFault::kShort && !a.empty()) a.pop_back();
    if (!a.empty()) ++sim.answers;
    return a;
}

} // namespace qvtk::sim
