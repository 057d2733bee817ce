// qvtk-cli logger probe | monitor | calibrate | set-clock: the logger link and the real-time
// monitor's logic without a window, at the monitor's own pace.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/commands.h"
#include "cli/json_writer.h"
#include "data/settings.h"
#include "logger/logger_link.h"
#include "logger/monitor.h"
#include "platform/message_box.h"
#include "platform/wait.h"

namespace qvtk::cli {

namespace {

struct LoggerOptions {
    std::string action;
    std::vector<std::string> ports;
    std::vector<std::pair<std::string, std::string>> settings;
    std::string dir;
    int ticks = 20;
    bool json = false;
    int calibration = 0;
    bool at = false;
    ClockSetTime time;
};

int Usage(const std::string& why) {
    return PrintUsage(why,
                      "  qvtk-cli logger probe [--port PATH]... [--json]\n"
                      "  qvtk-cli logger monitor [--port PATH]... [--ticks N] [--set KEY=VALUE]... "
                      "[--json]\n"
                      "  qvtk-cli logger calibrate throttle|front|rear [--port PATH]...\n"
                      "  qvtk-cli logger set-clock [--port PATH]... [--at \"YYYY-MM-DD HH:MM\"]\n"
                      "  (each also takes --dir DIR and --set KEY=VALUE)\n");
}

bool Parse(int argc, char** argv, LoggerOptions& o, std::string& why) {
    if (argc < 3) return why = "logger needs probe, monitor, calibrate or set-clock", false;
    o.action = argv[2];
    int i = 3;
    if (o.action == "calibrate") {
        const std::string which = i < argc ? argv[i++] : "";
        o.calibration = which == "throttle" ? 1 : which == "front" ? 2 : which == "rear" ? 3 : 0;
        if (!o.calibration) return why = "calibrate needs throttle, front or rear", false;
    } else if (o.action != "probe" && o.action != "monitor" && o.action != "set-clock") {
        return why = "unknown logger action " + o.action, false;
    }
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json") {
            o.json = true;
            continue;
        }
        if (i + 1 >= argc) return why = a + " needs a value", false;
        const std::string v = argv[++i];
        if (a == "--port") {
            o.ports.push_back(v);
        } else if (a == "--dir") {
            o.dir = v;
        } else if (a == "--set") {
            if (!ParseSetting(v, o.settings)) return why = "--set needs KEY=VALUE of a key", false;
        } else if (a == "--ticks" && o.action == "monitor") {
            o.ticks = std::atoi(v.c_str());
            if (o.ticks < 1 || o.ticks > 1000000) return why = "--ticks needs a count", false;
        } else if (a == "--at" && o.action == "set-clock") {
            if (!ParseClockTime(v, o.time)) return why = "--at needs \"YYYY-MM-DD HH:MM\"", false;
            o.at = true;
        } else {
            return why = "unknown option " + a, false;
        }
    }
    return true;
}

std::string Hex(const uint8_t* b, size_t n) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", b[i]);
        s += buf;
    }
    return s;
}

int Probe(const LoggerOptions& o) {
    g_loggerLink.UnsupportedLoggerSeen = false;
    const bool found = OpenLoggerPort();
    const LoggerLink& l = g_loggerLink;
    JsonWriter j;
    j.BeginObject();
    j.Key("found");
    j.Value(found);
    if (found) {
        j.Key("port");
        j.Value(int64_t(l.port));
        j.Key("device");
        j.Value(l.device);
    }
    j.Key("unsupported");
    j.Value(l.UnsupportedLoggerSeen);
    if (found) {
        j.Key("ident");
        j.Value(Hex(l.ident, kIdentifyAnswer));
    }
    j.EndObject();
    if (o.json)
        std::cout << j.Text() << "\n";
    else if (found)
        std::cout << "logger on port " << l.port << " (" << l.device << ")\n";
    if (!found)
        ShowMessage(l.UnsupportedLoggerSeen ? "Logger Firmware version unsupported !!"
                                            : "logger unit not found !!",
                    "Error");
    CloseLoggerPort();
    return found ? kExitLoaded : kExitRejected;
}

void PrintTick(const LoggerOptions& o, int tick) {
    const MonitorTexts& shown = g_monitor.shown;
    if (!o.json) std::cout << "tick " << tick << "\n";
    JsonWriter j;
    j.BeginObject();
    for (int f = 0; f < kMonitorFieldCount; ++f) {
        if (!shown.written[f]) continue;
        if (o.json) {
            j.Key(MonitorFieldName(f));
            j.Value(shown.text[f]);
        } else {
            std::cout << "  " << MonitorFieldName(f) << ": " << shown.text[f] << "\n";
        }
    }
    j.EndObject();
    if (o.json) std::cout << j.Text() << "\n";
    std::cout.flush();
}

int Monitor(const LoggerOptions& o) {
    if (!OpenMonitor()) return kExitRejected;
    WaitWhileProcessing(kMonitorFirstTick);
    for (int t = 0; t < o.ticks; ++t) {
        if (t) WaitWhileProcessing(kMonitorTickGap);
        if (MonitorTick() == MonitorStep::kEnded) {
            CloseMonitor();
            return kExitRejected;
        }
        PrintTick(o, t + 1);
    }
    CloseMonitor();
    return kExitLoaded;
}

int Calibrate(const LoggerOptions& o) {
    if (!OpenMonitor()) return kExitRejected;
    // The first tick reads the setup block; then the button.
    WaitWhileProcessing(kMonitorFirstTick);
    MonitorStep step = MonitorTick();
    if (step == MonitorStep::kContinue) StartCalibration(o.calibration);
    const bool started = g_monitor.MonitorMode != kMonitorLive;
    if (step == MonitorStep::kContinue && !started && RecordedMessages().empty())
        std::cerr << "qvtk-cli: the logger did not take the calibration command\n";
    while (step == MonitorStep::kContinue && g_monitor.MonitorMode != kMonitorLive) {
        WaitWhileProcessing(kMonitorTickGap);
        step = MonitorTick();
    }
    CloseMonitor();
    return started && step == MonitorStep::kContinue ? kExitLoaded : kExitRejected;
}

int SetClock(const LoggerOptions& o) {
    if (!OpenMonitor()) return kExitRejected;
    AdjustLoggerClock(o.at ? o.time : LocalClockSetTime());
    CloseMonitor();
    return kExitLoaded;
}

} // namespace

bool ParseClockTime(const std::string& text, ClockSetTime& t) {
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d%c", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                    &tail) != 5)
        return false;
    return t.year >= 1 && t.year <= 65535 && t.month >= 1 && t.month <= 12 && t.day >= 1 &&
           t.day <= 31 && t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59;
}

int RunLoggerCommand(int argc, char** argv) {
    LoggerOptions o;
    std::string why;
    if (!Parse(argc, argv, o, why)) return Usage(why);
    // The serial port's notifications need an application object.
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    StartProgram(o.dir, o.settings, argv[0]);
    g_loggerPortsInFront = o.ports;
    if (o.action == "probe") return Probe(o);
    if (o.action == "monitor") return Monitor(o);
    if (o.action == "calibrate") return Calibrate(o);
    return SetClock(o);
}

} // namespace qvtk::cli
