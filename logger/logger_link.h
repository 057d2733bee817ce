#pragma once
// The link to the logger unit: finding the port on which a logger answers, identifying it and
// the fixed-length exchanges of its protocol. One connection at a time, program-wide.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "logger/logger_answers.h"
#include "platform/serial_port.h"

namespace qvtk {

struct LoggerLink {
    SerialPort* LoggerPort = nullptr;    // the open port, or nullptr
    bool UnsupportedLoggerSeen = false;  // a logger of a firmware level we do not accept answered
    uint8_t CommandReply = 0;            // the answer byte of the last SendCommandByte
    int port = 0;                        // number of the open port
    std::string device;                  // its device
    uint8_t ident[kIdentifyAnswer] = {}; // its identify answer
};

extern LoggerLink g_loggerLink;

// Devices given on the command line (--port): ports 1, 2, ... before the settings' and the
// system's.
extern std::vector<std::string> g_loggerPortsInFront;

constexpr SerialTimeouts kProbeTimeouts{100, 0, 100, 50, 100};
constexpr SerialTimeouts kWorkingTimeouts{500, 0, 1500, 50, 500};
constexpr int kLoggerBaud = 115200;
constexpr int kLoggerQueueBytes = 2048;

// Closes the port and forgets the devices in front.
void ResetLoggerLink();

// Port n (from 1) is the n-th of: the devices in front, the settings key `LoggerPorts`
// (separated by ';'), the system's serial devices. Empty beyond the end.
std::vector<std::string> LoggerPortDevices();

// Tries the remembered port `Lastcono`, then ports 1 to `Maxcono`; true with the port open
// in working timeouts. Rewrites `Lastcono` (0 when nothing was found).
bool OpenLoggerPort();
void CloseLoggerPort();

// Waits until the port's transmit queue is empty; false when it does not drain within the
// write timeout (an adapter pulled out), which fails the exchange.
bool WaitTransmitIdle();
// Writes one byte and reads one; true when both went through, however many bytes arrived.
bool SendCommandByte(uint8_t b);
// Command "3": true only when exactly 512 or 1024 bytes arrived. `length` gets the count.
bool RequestSetupBlock(uint8_t (&block)[kSetupBlockMax], int* length = nullptr);
// One exchange: wait idle, write the command, read up to `want` bytes. The bytes read, or -1
// when the wait, the write or the read failed.
int ExchangeWithLogger(const uint8_t* command, size_t n, uint8_t* answer, size_t want);

} // namespace qvtk
