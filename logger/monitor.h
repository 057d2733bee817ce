#pragma once
// The real-time monitor without its window: the monitor record, the opening, one tick of the
// 50 ms timer, the calibrations and the clock setting, all over the logger link. The dialog
// and the batch command show what the record holds after each call.
#include <cstdint>

#include "logger/logger_answers.h"
#include "logger/monitor_values.h"

namespace qvtk {

constexpr int kMonitorFirstTick = 100; // ms from the opening to the first tick
constexpr int kMonitorTickGap = 50;    // ms from the end of one tick's work to the next
constexpr int kCalibrationTicks = 100;

enum MonitorMode : int {
    kMonitorLive = 0,
    kMonitorThrottle = 1,
    kMonitorFrontZero = 2,
    kMonitorRearZero = 3,
};

struct Monitor {
    int MonitorMode = kMonitorLive;
    int CalibrationCountdown = 50;
    uint8_t PendingCloseCommand = 0; // 'A', 'B', 'C' or 0
    int InfoRefreshState = 0;        // 2 setup block due, 1 memory-card error shown, 0 none
    int LinkFailureCount = 0;        // failed live and clock exchanges, for the program's life
    uint8_t setupBlock[kSetupBlockMax] = {};
    HistoryRecord history[kHistoryEntries] = {};
    uint8_t clockAnswer[kClockAnswer] = {};
    // What the dialog shows.
    MonitorTexts shown;
    int progress = 0; // the progress bar, 0-100
    bool calibrationButtonsEnabled = true;
    // The window asked to close while a tick waited: the tick stops there.
    bool closeRequested = false;
};

extern Monitor g_monitor;

// The monitor as at program start (the failure count included).
void ResetMonitor();

enum class MonitorStep { kContinue, kEnded };

// Opens the link and prepares the first tick. False, after "logger unit not found !!" or
// "Logger Firmware version unsupported !!", when no logger was found.
bool OpenMonitor();
// One tick. kEnded after one of the communication errors (the message was shown) or when a
// close was requested during a wait; the caller then closes the monitor.
MonitorStep MonitorTick();
// The Throttle (1), FrSUS (2) and RrSUS (3) buttons.
void StartCalibration(int mode);
// The ClockADJ button, with the PC's local time or a given one.
void AdjustLoggerClock(const ClockSetTime& t);
// Closes the link (the dialog was destroyed).
void CloseMonitor();

} // namespace qvtk
