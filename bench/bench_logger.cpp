// The real-time monitor: the work of one tick besides the wire, a whole tick against the
// simulated logger on a pseudo-terminal, and how long a scan over 32 silent ports takes to
// say "logger unit not found !!".
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "logger/program.h"
#include "bench/gui_bench_main.h"
#include "data/settings.h"
#include "logger/logger_link.h"
#include "logger/monitor.h"
#include "platform/message_box.h"
#include "platform/wait.h"
#include "tools/logger_sim/logger_sim.h"

extern char** environ;

namespace {

using namespace qvtk;

// Converting a live sample into the texts of the dialog, in the detailed style with its
// extra fields, with the history shift and the clock text.
void TickWork(benchmark::State& state) {
    sim::LoggerSimOptions options;
    sim::LoggerSim logger;
    sim::InitLoggerSim(logger, options);
    std::vector<uint8_t> block = logger.setupBlock;
    block.resize(kSetupBlockMax);
    HistoryRecord history[kHistoryEntries] = {};
    const uint8_t clock[kClockAnswer] = {0x07, 0xE5, 3, 4, 5, 6, 7};
    // Answers of a few seconds of riding, made beforehand: the simulator's work is not timed.
    std::vector<std::vector<uint8_t>> answers;
    for (int i = 0; i < 256; ++i) answers.push_back(sim::LiveSampleAt(logger, i * 0.05));
    MonitorTexts texts;
    size_t n = 0;
    for (auto _ : state) {
        const std::vector<uint8_t>& live = answers[n++ & 255];
        std::copy(live.begin(), live.end(), history[kHistNewest]);
        ShiftSampleHistory(history);
        texts.Set(kFieldRtc, ClockText(DecodeClockAnswer(clock)));
        FormatLiveValues(history[kHistDisplay], block.data(), true, texts);
        benchmark::DoNotOptimize(texts.text[kFieldNe].data());
    }
}
BENCHMARK(TickWork)->Unit(benchmark::kMicrosecond);

// A whole live tick against qvtk-logger-sim: two exchanges and the conversions.
void TickWithTheWire(benchmark::State& state) {
    const std::string link = "/tmp/qvtk_bench_logger_" + std::to_string(getpid());
    // The simulator beside this program, as its own process.
    const std::string simulator =
        std::filesystem::canonical("/proc/self/exe").parent_path() / "qvtk-logger-sim";
    std::vector<std::string> args = {simulator, "--link", link, "--seconds", "120"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        state.SkipWithError("no qvtk-logger-sim beside the benchmark");
        return;
    }
    while (!std::filesystem::is_symlink(link))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ResetProgram();
    SetWaitHook([](int) {});
    g_loggerPortsInFront = {link};
    g_settings.Maxcono = 1;
    g_settings.Lastcono = 0;
    if (!OpenMonitor()) state.SkipWithError("no logger");
    MonitorTick(); // the setup block
    for (auto _ : state) MonitorTick();
    CloseMonitor();
    SetWaitHook(nullptr);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
}
BENCHMARK(TickWithTheWire)->Unit(benchmark::kMillisecond);

// 32 ports that open and never answer: the scan's time to give up.
void ScanOfSilentPorts(benchmark::State& state) {
    std::vector<int> fds;
    std::vector<std::string> names;
    for (int i = 0; i < 32; ++i) {
        int master = -1, slave = -1;
        char name[256] = {};
        openpty(&master, &slave, name, nullptr, nullptr);
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        fds.push_back(master);
        fds.push_back(slave);
        names.push_back(name);
    }
    for (auto _ : state) {
        ResetProgram();
        g_loggerPortsInFront = names;
        g_settings.Maxcono = 32;
        g_settings.Lastcono = 16; // remembered, tried first and again in its turn
        if (OpenMonitor() || RecordedMessages().back().text != "logger unit not found !!")
            state.SkipWithError("a silent port answered");
    }
    for (int fd : fds) close(fd);
}
BENCHMARK(ScanOfSilentPorts)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

QVTK_GUI_BENCHMARK_MAIN();
