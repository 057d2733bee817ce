#include "logger/monitor.h"

#include <cstring>

#include "data/settings.h"
#include "logger/logger_link.h"
#include "platform/message_box.h"
#include "platform/wait.h"

namespace qvtk {

Monitor g_monitor;

namespace {

constexpr int kSetupBlockTries = 20;
constexpr int kSetupBlockPause = 200; // ms after a setup-block request
constexpr int kCalibrationSettle = 3000;

const char* const kCaptionQvtk = "QVTK";

const char* const kCalibrationPrompts[4] = {"", "Open and close the throttle several times.",
                                            "Bring the front suspension to 0 position.",
                                            "Bring the rear suspension to 0 position."};

MonitorStep EndWith(const char* text) {
    ShowMessage(text, kCaptionQvtk);
    return MonitorStep::kEnded;
}

// A failed live or clock exchange: four are forgiven in the life of the program.
bool FailureEnds() {
    if (g_monitor.LinkFailureCount > 3) return true;
    ++g_monitor.LinkFailureCount;
    return false;
}

// Step 3: counting down, then the closing command and a fresh setup block.
MonitorStep CalibrationTick() {
    Monitor& m = g_monitor;
    if (m.CalibrationCountdown != 0) {
        --m.CalibrationCountdown;
        m.progress = m.CalibrationCountdown + 10;
        if (m.CalibrationCountdown == 0) m.calibrationButtonsEnabled = true;
        return MonitorStep::kContinue;
    }
    m.shown.Set(kFieldPrompt, "");
    const uint8_t close = m.PendingCloseCommand;
    if (close == 'A' || close == 'B' || close == 'C') SendCommandByte(close);
    m.PendingCloseCommand = 0;
    WaitWhileProcessing(kCalibrationSettle);
    if (m.closeRequested) return MonitorStep::kEnded;
    for (int attempt = 0;; ++attempt) {
        if (RequestSetupBlock(m.setupBlock)) break;
        if (attempt + 1 == kSetupBlockTries) return EndWith("Communication error!! \n0x03");
        WaitWhileProcessing(kSetupBlockPause);
        if (m.closeRequested) return MonitorStep::kEnded;
    }
    FormatSetupInformation(m.setupBlock, m.shown);
    m.MonitorMode = kMonitorLive;
    m.progress = 0;
    return MonitorStep::kContinue;
}

// Step 5: the setup block, when due.
MonitorStep RefreshSetupBlock() {
    Monitor& m = g_monitor;
    if (m.InfoRefreshState != 2) return MonitorStep::kContinue;
    m.InfoRefreshState = 0;
    bool read = false;
    for (int pass = 0; pass < kSetupBlockTries; ++pass) {
        if (read) continue;
        read = RequestSetupBlock(m.setupBlock);
        WaitWhileProcessing(kSetupBlockPause);
        if (m.closeRequested) return MonitorStep::kEnded;
    }
    if (!read) return EndWith("Communication error!! \n0x02");
    FormatSetupInformation(m.setupBlock, m.shown);
    return MonitorStep::kContinue;
}

// Step 6: what the logger says of itself.
void ShowLoggerStatus() {
    Monitor& m = g_monitor;
    const uint8_t status = m.history[kHistDisplay][19];
    if (status & 0xF0) {
        m.shown.Set(kFieldStatus, "memory card error !!");
        m.InfoRefreshState = 1;
        return;
    }
    m.InfoRefreshState = m.InfoRefreshState != 0 ? 2 : 0;
    m.shown.Set(kFieldStatus, (status & 0x0F) ? "During Logging ... Setup can not" : "");
}

MonitorStep LiveTick() {
    Monitor& m = g_monitor;
    const uint8_t live = kCmdLiveValues;
    const int got = ExchangeWithLogger(&live, 1, m.history[kHistNewest], kLiveSampleBytes);
    if (got != int(kLiveSampleBytes) && FailureEnds())
        return EndWith("Communication error!! \n0x011");

    const uint8_t clock = kCmdClock;
    const bool answered =
        ExchangeWithLogger(&clock, 1, m.clockAnswer, kClockAnswer) == int(kClockAnswer);
    const LoggerClock c = DecodeClockAnswer(m.clockAnswer);
    if ((!answered || !ClockAnswerInRange(c)) && FailureEnds())
        return EndWith("Communication error!! \n0x012");
    m.shown.Set(kFieldRtc, ClockText(c));

    FormatLiveValues(m.history[kHistDisplay], m.setupBlock, DebugMode(), m.shown);
    if (RefreshSetupBlock() == MonitorStep::kEnded) return MonitorStep::kEnded;
    ShowLoggerStatus();
    return MonitorStep::kContinue;
}

} // namespace

void ResetMonitor() {
    CloseLoggerPort();
    g_monitor = Monitor();
}

bool OpenMonitor() {
    Monitor& m = g_monitor;
    std::memset(m.setupBlock, 0, sizeof m.setupBlock);
    m.MonitorMode = kMonitorLive;
    m.CalibrationCountdown = 50;
    m.PendingCloseCommand = 0;
    m.shown = MonitorTexts();
    m.progress = 0;
    m.calibrationButtonsEnabled = true;
    m.closeRequested = false;
    g_loggerLink.UnsupportedLoggerSeen = false;
    if (!OpenLoggerPort()) {
        ShowMessage(g_loggerLink.UnsupportedLoggerSeen ? "Logger Firmware version unsupported !!"
                                                       : "logger unit not found !!",
                    "Error");
        return false;
    }
    m.InfoRefreshState = 2;
    return true;
}

MonitorStep MonitorTick() {
    Monitor& m = g_monitor;
    ShiftSampleHistory(m.history);
    if (m.MonitorMode != kMonitorLive) return CalibrationTick();
    return LiveTick();
}

void StartCalibration(int mode) {
    Monitor& m = g_monitor;
    if (m.MonitorMode != kMonitorLive || mode < 1 || mode > 3) return;
    m.calibrationButtonsEnabled = false;
    if (!SendCommandByte(kCmdBeginCalibration)) return;
    m.shown.Set(kFieldPrompt, kCalibrationPrompts[mode]);
    if (g_loggerLink.CommandReply != 0x00) {
        ShowMessage("During Logging !! \nSetup can not.", "Error");
        return;
    }
    m.MonitorMode = mode;
    m.PendingCloseCommand = uint8_t('A' + mode - 1);
    m.CalibrationCountdown = kCalibrationTicks;
}

void AdjustLoggerClock(const ClockSetTime& t) {
    uint8_t command[8];
    BuildClockSetCommand(t, command);
    uint8_t reply = 0;
    ExchangeWithLogger(command, sizeof command, &reply, 1); // the answer is not examined
}

void CloseMonitor() {
    CloseLoggerPort();
}

} // namespace qvtk
