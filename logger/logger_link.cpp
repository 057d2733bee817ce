#include "logger/logger_link.h"

#include <algorithm>

#include "data/settings.h"

namespace qvtk {

LoggerLink g_loggerLink;
std::vector<std::string> g_loggerPortsInFront;

namespace {

void SplitPorts(const std::string& text, std::vector<std::string>& out) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string item = text.substr(start, end - start);
        const size_t a = item.find_first_not_of(" \t");
        const size_t b = item.find_last_not_of(" \t");
        if (a != std::string::npos) out.push_back(item.substr(a, b - a + 1));
        start = end + 1;
    }
}

// Opens and configures port n, then asks it who it is.
IdentifyVerdict TryPort(int n, const std::vector<std::string>& devices) {
    if (n < 1 || size_t(n) > devices.size()) return IdentifyVerdict::kRejected;
    SerialPort* p = OpenSerialPort(devices[size_t(n) - 1]);
    if (!p) return IdentifyVerdict::kRejected;
    g_loggerLink.LoggerPort = p;
    if (!SetSerialQueues(p, kLoggerQueueBytes, kLoggerQueueBytes) || !PurgeSerialPort(p) ||
        !SetSerialLine(p, kLoggerBaud)) {
        CloseLoggerPort();
        return IdentifyVerdict::kRejected;
    }
    SetSerialTimeouts(p, kProbeTimeouts);
    uint8_t answer[kIdentifyAnswer + 1] = {};
    const uint8_t command = kCmdIdentify;
    const int got = ExchangeWithLogger(&command, 1, answer, sizeof answer);
    const IdentifyVerdict verdict =
        got < 0 ? IdentifyVerdict::kRejected : JudgeIdentifyAnswer(answer, size_t(got));
    if (verdict != IdentifyVerdict::kAccepted) {
        CloseLoggerPort();
        return verdict;
    }
    g_loggerLink.port = n;
    g_loggerLink.device = devices[size_t(n) - 1];
    std::copy(answer, answer + kIdentifyAnswer, g_loggerLink.ident);
    return verdict;
}

} // namespace

void ResetLoggerLink() {
    CloseLoggerPort();
    g_loggerLink = LoggerLink();
    g_loggerPortsInFront.clear();
}

std::vector<std::string> LoggerPortDevices() {
    std::vector<std::string> devices = g_loggerPortsInFront;
    SplitPorts(g_settings.LoggerPorts, devices);
    for (std::string& d : SystemSerialDevices()) devices.push_back(std::move(d));
    return devices;
}

bool OpenLoggerPort() {
    CloseLoggerPort();
    const std::vector<std::string> devices = LoggerPortDevices();
    const int maxPort = g_settings.Maxcono;
    const int remembered = g_settings.Lastcono;
    for (int i = 0; i <= maxPort; ++i) {
        int n = i;
        if (i == 0) {
            if (remembered < 1 || remembered > maxPort) continue;
            n = remembered;
        }
        const IdentifyVerdict v = TryPort(n, devices);
        if (v == IdentifyVerdict::kUnsupported) g_loggerLink.UnsupportedLoggerSeen = true;
        if (v == IdentifyVerdict::kAccepted) {
            g_settings.Lastcono = n;
            SetSerialTimeouts(g_loggerLink.LoggerPort, kWorkingTimeouts);
            return true;
        }
    }
    g_settings.Lastcono = 0;
    return false;
}

void CloseLoggerPort() {
    if (!g_loggerLink.LoggerPort) return;
    CloseSerialPort(g_loggerLink.LoggerPort);
    g_loggerLink.LoggerPort = nullptr;
    g_loggerLink.port = 0;
    g_loggerLink.device.clear();
}

bool WaitTransmitIdle() {
    return g_loggerLink.LoggerPort && WaitSerialTransmitIdle(g_loggerLink.LoggerPort);
}

int ExchangeWithLogger(const uint8_t* command, size_t n, uint8_t* answer, size_t want) {
    SerialPort* p = g_loggerLink.LoggerPort;
    if (!p || !WaitTransmitIdle() || !WriteSerial(p, command, n)) return -1;
    return ReadSerial(p, answer, want);
}

bool SendCommandByte(uint8_t b) {
    uint8_t reply = g_loggerLink.CommandReply;
    if (ExchangeWithLogger(&b, 1, &reply, 1) < 0) return false;
    // A silent logger leaves the byte of the previous command.
    g_loggerLink.CommandReply = reply;
    return true;
}

bool RequestSetupBlock(uint8_t (&block)[kSetupBlockMax], int* length) {
    const uint8_t command = kCmdSetupBlock;
    const int got = ExchangeWithLogger(&command, 1, block, kSetupBlockMax);
    if (length) *length = got;
    return got == 512 || got == 1024;
}

} // namespace qvtk
