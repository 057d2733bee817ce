#pragma once
// The logger tests talk to qvtk-logger-sim over pseudo-terminals: each simulated logger is its
// own process with a link in the test's directory, ended when the test ends.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "data/settings.h"
#include "logger/logger_link.h"
#include "platform/wait.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"

extern char** environ;

namespace qvtk::test {

class SimLogger {
public:
    // Starts a logger linked at dir/name with the simulator's options (e.g. "--fault",
    // "garbled"); waits until the link is there.
    SimLogger(const std::string& dir, const std::string& name, std::vector<std::string> args = {})
        : link_(dir + "/" + name), log_(dir + "/" + name + ".log") {
        std::vector<std::string> argv = {QVTK_LOGGER_SIM_PATH, "--link", link_, "--log", log_,
                                         "--seconds",          "120"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        EXPECT_EQ(posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 300 && !std::filesystem::is_symlink(link_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(std::filesystem::is_symlink(link_)) << link_;
    }
    ~SimLogger() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    SimLogger(const SimLogger&) = delete;
    SimLogger& operator=(const SimLogger&) = delete;

    const std::string& link() const { return link_; }
    // The commands the logger received, one hex line each ("30", "20 07 E5 ...").
    std::vector<std::string> Commands() const {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    int Count(const std::string& command) const {
        int n = 0;
        for (const std::string& c : Commands()) n += c == command;
        return n;
    }

private:
    std::string link_, log_;
    pid_t pid_ = -1;
};

// The waits of the logger code are recorded instead of slept, so that a test runs through
// the pauses of the monitor at once.
inline std::vector<int>& RecordedWaits() {
    static std::vector<int> waits;
    return waits;
}
inline void RecordWait(int ms) {
    RecordedWaits().push_back(ms);
}

class LoggerTest : public TempProgramDirectory {
protected:
    void SetUp() override {
        TempProgramDirectory::SetUp();
        GuiApp(); // the serial port's notifications need the application
        RecordedWaits().clear();
        SetWaitHook(RecordWait);
        g_settings.Lastcono = 0;
        g_settings.Maxcono = 0;
    }
    void TearDown() override {
        SetWaitHook(nullptr);
        TempProgramDirectory::TearDown();
    }
    // The loggers as ports 1, 2, ... and nothing else scanned.
    void UsePorts(const std::vector<const SimLogger*>& loggers, int remembered = 0) {
        g_loggerPortsInFront.clear();
        for (const SimLogger* l : loggers) g_loggerPortsInFront.push_back(l->link());
        g_settings.Maxcono = int(loggers.size());
        g_settings.Lastcono = remembered;
    }
};

} // namespace qvtk::test
