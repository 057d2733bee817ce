#pragma once
// A serial port as the logger link needs it: opened exclusively by device path, set to a
// baud rate with 8 data bits, one stop bit and no flow control, written and read with
// explicit timeouts. Reads never block longer than their timeouts and a failed port is a
// failed call, never a hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvtk {

// Milliseconds. A read returns when the bytes asked for arrived, when the gap after a byte
// exceeds the read interval, or when the read total (constant + per byte x bytes asked)
// expires. A write fails when it has not left within its total.
struct SerialTimeouts {
    int readInterval = 0;
    int readTotalPerByte = 0;
    int readTotalConstant = 0;
    int writeTotalPerByte = 0;
    int writeTotalConstant = 0;
};

struct SerialPort; // the open device

// Opens the device for reading and writing, no other program sharing it. nullptr on failure.
SerialPort* OpenSerialPort(const std::string& device);
void CloseSerialPort(SerialPort* port);

// Limits the driver's buffers where the platform has them, then discards whatever is queued
// in both directions.
bool SetSerialQueues(SerialPort* port, int inputBytes, int outputBytes);
bool PurgeSerialPort(SerialPort* port);
// The baud rate with 8 data bits, one stop bit, raw bytes, no hardware flow control.
bool SetSerialLine(SerialPort* port, int baud);
void SetSerialTimeouts(SerialPort* port, const SerialTimeouts& timeouts);

// Polls, clearing line errors as it goes, until no byte waits for transmission. False when
// the queue did not drain within the write total constant or the port failed.
bool WaitSerialTransmitIdle(SerialPort* port);
bool WriteSerial(SerialPort* port, const uint8_t* bytes, size_t count);
// Bytes read (0 to `want`) within the read timeouts; -1 when the port failed.
int ReadSerial(SerialPort* port, uint8_t* out, size_t want);

// The serial devices of this system in a stable order: /dev/ttyUSB*, /dev/ttyACM*, then
// /dev/ttyS*, each group by its number.
std::vector<std::string> SystemSerialDevices();

} // namespace qvtk
