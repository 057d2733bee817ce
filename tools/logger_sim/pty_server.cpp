// The simulated logger's serial line: a pseudo-terminal linked at a path the program opens
// as its serial port.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "tools/logger_sim/logger_sim.h"

namespace qvtk::sim {

namespace {

volatile sig_atomic_t g_stop = 0;

void Stop(int) {
    g_stop = 1;
}

double WallSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

void LogCommand(const std::string& path, const uint8_t* c, size_t n) {
    if (path.empty()) return;
    if (std::FILE* f = std::fopen(path.c_str(), "a")) {
        for (size_t i = 0; i < n; ++i) std::fprintf(f, i ? " %02X" : "%02X", c[i]);
        std::fprintf(f, "\n");
        std::fclose(f);
    }
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

void SendAnswer(int master, const std::vector<uint8_t>& a, const LoggerSimOptions& o) {
    if (o.fault != LoggerFault::kSlow) {
        WriteAll(master, a.data(), a.size());
        return;
    }
    const int gap = o.faultCount < 0 ? 600 : o.faultCount;
    for (size_t i = 0; i < a.size() && !g_stop; ++i) {
        if (i) std::this_thread::sleep_for(std::chrono::milliseconds(gap));
        WriteAll(master, &a[i], 1);
    }
}

} // namespace

int RunLoggerSim(const LoggerSimOptions& options) {
    LoggerSim sim;
    InitLoggerSim(sim, options);
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("qvtk-logger-sim: openpty");
        return 1;
    }
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    // The slave stays open here too, so that the line lives between the program's openings.
    std::error_code ec;
    std::filesystem::remove(options.link, ec);
    std::filesystem::create_symlink(name, options.link, ec);
    if (ec) {
        std::fprintf(stderr, "qvtk-logger-sim: cannot link %s: %s\n", options.link.c_str(),
                     ec.message().c_str());
        return 1;
    }
    signal(SIGTERM, Stop);
    signal(SIGINT, Stop);
    std::printf("logger on %s (%s)\n", options.link.c_str(), name);
    std::fflush(stdout);

    const double start = WallSeconds();
    const int dropAfter = options.faultCount < 0 ? 3 : options.faultCount;
    std::vector<uint8_t> pending;
    double pendingSince = 0;
    while (!g_stop) {
        const double now = WallSeconds();
        if (options.seconds > 0 && now - start >= options.seconds) break;
        if (options.fault == LoggerFault::kDrop && sim.answers >= dropAfter) break;
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            uint8_t buf[256];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) {
                if (pending.empty()) pendingSince = now;
                pending.insert(pending.end(), buf, buf + n);
            }
        }
        while (!pending.empty()) {
            const size_t need = LoggerCommandLength(pending[0]);
            if (pending.size() < need) {
                // The rest of a clock-set command that never comes: forget it.
                if (WallSeconds() - pendingSince > 0.5) pending.clear();
                break;
            }
            LogCommand(options.log, pending.data(), need);
            const double at = WallSeconds();
            const std::vector<uint8_t> a =
                AnswerLoggerCommand(sim, pending.data(), need, at, at - start);
            pending.erase(pending.begin(), pending.begin() + long(need));
            pendingSince = WallSeconds();
            SendAnswer(master, a, options);
            if (options.fault == LoggerFault::kDrop && sim.answers >= dropAfter) break;
        }
    }
    // Unplugged: the line goes away with its name, once the last answer could be read.
    if (options.fault == LoggerFault::kDrop)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::filesystem::remove(options.link, ec);
    close(slave);
    close(master);
    return 0;
}

} // namespace qvtk::sim
