#include "platform/serial_port.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <QElapsedTimer>
#include <QSerialPort>
#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>
#include <thread>

namespace qvtk {

struct SerialPort {
    QSerialPort port;
    SerialTimeouts timeouts;
};

namespace {

bool PortFailed(const QSerialPort& p) {
    const auto e = p.error();
    return e != QSerialPort::NoError && e != QSerialPort::TimeoutError;
}

// Bytes the driver still holds for transmission (0 where the platform cannot tell).
int DriverOutputQueue(const QSerialPort& p) {
    int queued = 0;
    if (p.handle() < 0 || ioctl(p.handle(), TIOCOUTQ, &queued) != 0) return 0;
    return queued;
}

} // namespace

SerialPort* OpenSerialPort(const std::string& device) {
    auto* s = new SerialPort;
    s->port.setPortName(QString::fromStdString(device));
    if (!s->port.open(QIODevice::ReadWrite)) {
        delete s;
        return nullptr;
    }
    return s;
}

void CloseSerialPort(SerialPort* s) {
    if (!s) return;
    s->port.close();
    delete s;
}

bool SetSerialQueues(SerialPort* s, int inputBytes, int /*outputBytes*/) {
    // Only the input side has a size to set here; the output is written through.
    s->port.setReadBufferSize(inputBytes);
    return true;
}

bool PurgeSerialPort(SerialPort* s) {
    return s->port.clear(QSerialPort::AllDirections);
}

bool SetSerialLine(SerialPort* s, int baud) {
    QSerialPort& p = s->port;
    return p.setBaudRate(baud) && p.setDataBits(QSerialPort::Data8) &&
           p.setStopBits(QSerialPort::OneStop) && p.setFlowControl(QSerialPort::NoFlowControl);
}

void SetSerialTimeouts(SerialPort* s, const SerialTimeouts& t) {
    s->timeouts = t;
}

bool WaitSerialTransmitIdle(SerialPort* s) {
    QSerialPort& p = s->port;
    QElapsedTimer since;
    since.start();
    const int bound = std::max(s->timeouts.writeTotalConstant, 1);
    for (;;) {
        p.clearError(); // line errors are not reported, only cleared
        if (p.bytesToWrite() > 0) p.waitForBytesWritten(1);
        if (PortFailed(p)) return false;
        if (p.bytesToWrite() == 0 && DriverOutputQueue(p) == 0) return true;
        if (since.elapsed() >= bound) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool WriteSerial(SerialPort* s, const uint8_t* bytes, size_t count) {
    QSerialPort& p = s->port;
    p.clearError();
    if (p.write(reinterpret_cast<const char*>(bytes), qint64(count)) != qint64(count)) return false;
    QElapsedTimer since;
    since.start();
    const qint64 total =
        s->timeouts.writeTotalConstant + qint64(s->timeouts.writeTotalPerByte) * qint64(count);
    while (p.bytesToWrite() > 0) {
        const qint64 left = total - since.elapsed();
        if (left <= 0) return false;
        if (!p.waitForBytesWritten(int(left)) && PortFailed(p)) return false;
    }
    return !PortFailed(p);
}

int ReadSerial(SerialPort* s, uint8_t* out, size_t want) {
    QSerialPort& p = s->port;
    const SerialTimeouts& t = s->timeouts;
    p.clearError();
    QElapsedTimer since;
    since.start();
    const qint64 total = t.readTotalConstant + qint64(t.readTotalPerByte) * qint64(want);
    size_t got = 0;
    qint64 lastByte = 0;
    while (got < want) {
        if (p.bytesAvailable() > 0) {
            const qint64 n = p.read(reinterpret_cast<char*>(out + got), qint64(want - got));
            if (n < 0) return -1;
            got += size_t(n);
            lastByte = since.elapsed();
            continue;
        }
        qint64 left = total > 0 ? total - since.elapsed() : qint64(INT_MAX);
        if (got > 0 && t.readInterval > 0)
            left = std::min(left, t.readInterval - (since.elapsed() - lastByte));
        if (left <= 0) break;
        if (!p.waitForReadyRead(int(left)) && PortFailed(p)) return got > 0 ? int(got) : -1;
    }
    return int(got);
}

std::vector<std::string> SystemSerialDevices() {
    namespace fs = std::filesystem;
    const char* const groups[] = {"ttyUSB", "ttyACM", "ttyS"};
    std::vector<std::string> devices;
    std::error_code ec;
    for (const char* prefix : groups) {
        std::vector<std::pair<long, std::string>> found;
        const std::string_view p(prefix);
        for (const fs::directory_entry& e : fs::directory_iterator("/dev", ec)) {
            const std::string name = e.path().filename().string();
            if (name.size() <= p.size() || name.compare(0, p.size(), p) != 0) continue;
            const std::string digits = name.substr(p.size());
            if (!std::all_of(digits.begin(), digits.end(), ::isdigit) || digits.size() > 6)
                continue;
            found.emplace_back(std::stol(digits), e.path().string());
        }
        std::sort(found.begin(), found.end());
        for (auto& f : found) devices.push_back(f.second);
    }
    return devices;
}

} // namespace qvtk
