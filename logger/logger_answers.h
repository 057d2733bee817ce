#pragma once
// The logger's fixed-length answers judged and decoded: plain functions over the bytes that
// arrived, whatever their number, so that a short, long or garbled answer is only a verdict.
#include <cstddef>
#include <cstdint>
#include <string>

namespace qvtk {

// The wire commands of the logger.
constexpr uint8_t kCmdIdentify = '0';
constexpr uint8_t kCmdLiveValues = '1';
constexpr uint8_t kCmdClock = '2';
constexpr uint8_t kCmdSetupBlock = '3';
constexpr uint8_t kCmdBeginCalibration = 0x40;
constexpr uint8_t kCmdClockSet = 0x20;

constexpr size_t kIdentifyAnswer = 8;
constexpr size_t kLiveSampleBytes = 20;
constexpr size_t kClockAnswer = 7;
constexpr size_t kSetupBlockMax = 1024;

enum class IdentifyVerdict { kRejected, kAccepted, kUnsupported };

// The identify answer must be exactly 8 bytes. A logger that names its firmware level with
// "QVLR" and digits is accepted only at level 001; an answer without such digits is accepted
// as it is (early loggers).
IdentifyVerdict JudgeIdentifyAnswer(const uint8_t* answer, size_t length);

struct LoggerClock {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

LoggerClock DecodeClockAnswer(const uint8_t (&answer)[kClockAnswer]);
// Month and day are not tested from below: loggers report 0 before their clock is set.
bool ClockAnswerInRange(const LoggerClock& c);
// "%d/%d/%d %02d:%02d:%02d"
std::string ClockText(const LoggerClock& c);

// A time for the clock-set command (the PC's local time, or one given).
struct ClockSetTime {
    int year = 2012, month = 1, day = 1, hour = 0, minute = 0;
};
ClockSetTime LocalClockSetTime();
// The 8 bytes of the clock-set command; the seconds go as 0.
void BuildClockSetCommand(const ClockSetTime& t, uint8_t (&out)[8]);

} // namespace qvtk
