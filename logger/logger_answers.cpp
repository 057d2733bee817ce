#include "logger/logger_answers.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace qvtk {

namespace {
bool LevelDigit(uint8_t c) {
    return c >= '1' && c <= '8';
}
} // namespace

IdentifyVerdict JudgeIdentifyAnswer(const uint8_t* a, size_t length) {
    if (length != kIdentifyAnswer) return IdentifyVerdict::kRejected;
    const bool named = std::memcmp(a + 1, "QVLR", 4) == 0 && LevelDigit(a[5]);
    if (!named && !LevelDigit(a[6]) && !LevelDigit(a[7])) return IdentifyVerdict::kAccepted;
    if (a[5] == '0' && a[6] == '0' && a[7] == '1') return IdentifyVerdict::kAccepted;
    return IdentifyVerdict::kUnsupported;
}

LoggerClock DecodeClockAnswer(const uint8_t (&a)[kClockAnswer]) {
    return {a[0] << 8 | a[1], a[2], a[3], a[4], a[5], a[6]};
}

bool ClockAnswerInRange(const LoggerClock& c) {
    return c.year != 0 && c.month <= 12 && c.day <= 31 && c.hour <= 23 && c.minute <= 59 &&
           c.second <= 59;
}

std::string ClockText(const LoggerClock& c) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
    return buf;
}

ClockSetTime LocalClockSetTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

void BuildClockSetCommand(const ClockSetTime& t, uint8_t (&out)[8]) {
    out[0] = kCmdClockSet;
    out[1] = uint8_t(t.year >> 8);
    out[2] = uint8_t(t.year);
    out[3] = uint8_t(t.month);
    out[4] = uint8_t(t.day);
    out[5] = uint8_t(t.hour);
    out[6] = uint8_t(t.minute);
    out[7] = 0;
}

} // namespace qvtk
