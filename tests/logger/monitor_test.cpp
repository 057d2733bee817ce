// The real-time monitor's logic without a window, against simulated loggers: what a tick
// shows, how failures are counted, the calibrations and the clock, and every fault mode
// ending in its message.
#include "logger/monitor.h"

#include <regex>

#include "tests/logger/logger_fixture.h"

namespace qvtk {
namespace {

using test::RecordedWaits;
using test::SimLogger;

class MonitorTest : public test::LoggerTest {
protected:
    const std::string& Shown(int field) const { return g_monitor.shown.text[field]; }
    // Ticks until one ends the monitor; how many ran, or -1 when none did within `limit`.
    static int TicksUntilEnd(int limit) {
        for (int t = 1; t <= limit; ++t)
            if (MonitorTick() == MonitorStep::kEnded) return t;
        return -1;
    }
};

TEST_F(MonitorTest, OpeningWithoutALoggerSaysWhy) {
    struct Case {
        const char* fault;
        const char* message;
    } cases[] = {{"silent", "logger unit not found !!"},
                 {"short", "logger unit not found !!"},
                 {"slow:150", "logger unit not found !!"},
                 {"unsupported", "Logger Firmware version unsupported !!"}};
    for (const Case& c : cases) {
        SimLogger logger(dir_, "l", {"--fault", c.fault});
        UsePorts({&logger});
        ClearRecordedMessages();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(OpenMonitor()) << c.fault;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
        EXPECT_TRUE(test::SawMessage("Error", c.message)) << c.fault;
    }
}

TEST_F(MonitorTest, TicksShowTheLiveValuesInBothStylesAndTheLoggersSetup) {
    SimLogger logger(dir_, "l", {"--block", "1024"});
    UsePorts({&logger});
    ASSERT_TRUE(OpenMonitor());
    ASSERT_EQ(MonitorTick(), MonitorStep::kContinue);
    // The setup block is read at the end of the first tick, after 200 ms.
    EXPECT_EQ(std::tuple(Shown(kFieldFirmware), Shown(kFieldQvdVer), Shown(kFieldFinal),
                         Shown(kFieldLapMarker)),
              std::tuple("SimLog 3.00", "0x03", "16 - 41", "1"));
    EXPECT_EQ(logger.Count("33"), 1);
    EXPECT_EQ(RecordedWaits(), std::vector<int>{200});
    ASSERT_EQ(MonitorTick(), MonitorStep::kContinue);
    EXPECT_EQ(logger.Count("33"), 1); // once is enough

    const std::regex plain[] = {std::regex(R"(\d+rpm)"), std::regex(R"(\d+km/h)"),
                                std::regex(R"(-?\d+%)"), std::regex(R"( *-?\d+mm)"),
                                std::regex(R"( ?\d+\.\d\dV)")};
    EXPECT_TRUE(std::regex_match(Shown(kFieldNe), plain[0])) << Shown(kFieldNe);
    EXPECT_TRUE(std::regex_match(Shown(kFieldVfw), plain[1])) << Shown(kFieldVfw);
    EXPECT_TRUE(std::regex_match(Shown(kFieldTps), plain[2])) << Shown(kFieldTps);
    EXPECT_TRUE(std::regex_match(Shown(kFieldFrSus), plain[3])) << Shown(kFieldFrSus);
    EXPECT_TRUE(std::regex_match(Shown(kFieldTps + kVoltageFieldOffset), plain[4]));
    EXPECT_TRUE(std::regex_match(Shown(kFieldRtc), std::regex(R"(20\d\d/\d+/\d+ \d\d:\d\d:\d\d)")));
    EXPECT_FALSE(g_monitor.shown.written[kFieldGearPos]);
    EXPECT_EQ(Shown(kFieldAux1), "-"); // the simulated AUX inputs show their voltage only

    g_settings.Debug = 1;
    ASSERT_EQ(MonitorTick(), MonitorStep::kContinue);
    EXPECT_TRUE(std::regex_match(Shown(kFieldTps), std::regex(R"( *-?\d+\.\d%)")));
    EXPECT_TRUE(std::regex_match(Shown(kFieldVrw), std::regex(R"( *\d+\.\dkm/h)")));
    EXPECT_TRUE(
        std::regex_match(Shown(kFieldFrSus + kVoltageFieldOffset), std::regex(R"(\d\.\d\d\dV)")));
    EXPECT_TRUE(std::regex_match(Shown(kFieldPrompt), std::regex(R"(0\d 00 00)")));
    EXPECT_EQ(Shown(kFieldGearPos), Shown(kFieldPrompt).substr(1, 1));
    EXPECT_EQ(g_monitor.LinkFailureCount, 0);
}

TEST_F(MonitorTest, FailuresCountOverTheProgramsLifeAndTheFifthEndsTheMonitor) {
    // Every clock answer is out of range: one failure a tick.
    SimLogger logger(dir_, "l", {"--fault", "garbled"});
    UsePorts({&logger});
    ASSERT_TRUE(OpenMonitor());
    EXPECT_EQ(TicksUntilEnd(2), -1);
    CloseMonitor();
    ASSERT_TRUE(OpenMonitor());
    EXPECT_EQ(TicksUntilEnd(10), 3);
    EXPECT_EQ(g_monitor.LinkFailureCount, 4);
    EXPECT_TRUE(test::SawMessage("QVTK", "Communication error!! \n0x012"));
}

TEST_F(MonitorTest, AnUnpluggedLoggerEndsTheMonitorWithTheMessageOfItsExchange) {
    struct Case {
        const char* fault;
        const char* message;
        int ticks;
    } cases[] = {
        // Gone before the setup block: 20 tries, then the monitor ends.
        {"drop:3", "Communication error!! \n0x02", 1},
        // Gone after it: two failures a tick; the fifth ends the monitor.
        {"drop:4", "Communication error!! \n0x011", 4},
    };
    for (const Case& c : cases) {
        SimLogger logger(dir_, "l", {"--fault", c.fault});
        UsePorts({&logger});
        g_monitor.LinkFailureCount = 0;
        ClearRecordedMessages();
        ASSERT_TRUE(OpenMonitor());
        if (c.ticks > 1) {
            ASSERT_EQ(MonitorTick(), MonitorStep::kContinue);
            std::this_thread::sleep_for(std::chrono::milliseconds(400)); // unplugged
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(TicksUntilEnd(5) + (c.ticks > 1 ? 1 : 0), c.ticks) << c.fault;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_TRUE(test::SawMessage("QVTK", c.message)) << c.fault;
        CloseMonitor();
    }
}

TEST_F(MonitorTest, AMemoryCardErrorIsShownAndTheSetupBlockReadAgainWhenItClears) {
    SimLogger logger(dir_, "l", {"--fault", "memcard:2"});
    UsePorts({&logger});
    ASSERT_TRUE(OpenMonitor());
    // The display shows the previous tick's answer: the error from the second tick on.
    const char* status[] = {"", "memory card error !!", "memory card error !!", "", ""};
    const int blocks[] = {1, 1, 1, 1, 2};
    for (int t = 0; t < 5; ++t) {
        ASSERT_EQ(MonitorTick(), MonitorStep::kContinue);
        EXPECT_EQ(Shown(kFieldStatus), status[t]) << t;
        EXPECT_EQ(logger.Count("33"), blocks[t]) << t;
    }
}

TEST_F(MonitorTest, ALoggingLoggerRefusesTheCalibrationAndTheButtonsStayDisabled) {
    SimLogger logger(dir_, "l", {"--fault", "logging"});
    UsePorts({&logger});
    ASSERT_TRUE(OpenMonitor());
    MonitorTick();
    MonitorTick();
    EXPECT_EQ(Shown(kFieldStatus), "During Logging ... Setup can not");
    StartCalibration(kMonitorFrontZero);
    EXPECT_TRUE(test::SawMessage("Error", "During Logging !! \nSetup can not."));
    EXPECT_EQ(Shown(kFieldPrompt), "Bring the front suspension to 0 position.");
    EXPECT_EQ(std::tuple(g_monitor.MonitorMode, g_monitor.calibrationButtonsEnabled),
              std::tuple(int(kMonitorLive), false));
    MonitorTick();
    EXPECT_FALSE(g_monitor.calibrationButtonsEnabled);
}

TEST_F(MonitorTest, ACalibrationCountsDownSendsItsClosingCommandAndReadsTheSetupAgain) {
    SimLogger logger(dir_, "l");
    UsePorts({&logger});
    ASSERT_TRUE(OpenMonitor());
    MonitorTick();
    StartCalibration(kMonitorThrottle);
    EXPECT_EQ(std::tuple(g_monitor.MonitorMode, g_monitor.CalibrationCountdown,
                         g_monitor.PendingCloseCommand, Shown(kFieldPrompt)),
              std::tuple(int(kMonitorThrottle), 100, uint8_t('A'),
                         "Open and close the throttle several times."));
    StartCalibration(kMonitorFrontZero); // ignored while one runs
    EXPECT_EQ(std::tuple(logger.Count("40"), g_monitor.PendingCloseCommand),
              std::tuple(1, uint8_t('A')));

    const int livesBefore = logger.Count("31");
    RecordedWaits().clear();
    for (int t = 1; t <= 100; ++t) {
        ASSERT_EQ(MonitorTick(), MonitorStep::kContinue);
        EXPECT_EQ(g_monitor.progress, 100 - t + 10);
        EXPECT_EQ(g_monitor.calibrationButtonsEnabled, t == 100) << t;
    }
    EXPECT_EQ(logger.Count("31"), livesBefore); // no live values meanwhile
    EXPECT_EQ(logger.Count("41"), 0);
    ASSERT_EQ(MonitorTick(), MonitorStep::kContinue);
    EXPECT_EQ(logger.Count("41"), 1);
    EXPECT_EQ(RecordedWaits(), std::vector<int>{3000});
    EXPECT_EQ(logger.Commands().back(), "33");
    EXPECT_EQ(std::tuple(g_monitor.MonitorMode, g_monitor.progress, Shown(kFieldPrompt)),
              std::tuple(int(kMonitorLive), 0, ""));
}

TEST_F(MonitorTest, ALoggerGoneAfterTheClosingCommandEndsTheCalibrationWithItsMessage) {
    // Identify, live values, clock, setup block, 0x40 and "A" are answered; then unplugged.
    SimLogger logger(dir_, "l", {"--fault", "drop:6"});
    UsePorts({&logger});
    ASSERT_TRUE(OpenMonitor());
    MonitorTick();
    StartCalibration(kMonitorThrottle);
    g_monitor.CalibrationCountdown = 0;
    RecordedWaits().clear();
    EXPECT_EQ(MonitorTick(), MonitorStep::kEnded);
    EXPECT_TRUE(test::SawMessage("QVTK", "Communication error!! \n0x03"));
    std::vector<int> waits(20, 200);
    waits.front() = 3000; // then a pause after each of the first 19 tries
    EXPECT_EQ(RecordedWaits(), waits);
}

TEST_F(MonitorTest, ClockAdjustSetsTheLoggersClockWithoutSeconds) {
    SimLogger logger(dir_, "l");
    UsePorts({&logger});
    ASSERT_TRUE(OpenMonitor());
    AdjustLoggerClock({2021, 3, 4, 5, 6});
    EXPECT_EQ(logger.Commands().back(), "20 07 E5 03 04 05 06 00");
    MonitorTick();
    EXPECT_TRUE(std::regex_match(Shown(kFieldRtc), std::regex(R"(2021/3/4 05:06:0\d)")))
        << Shown(kFieldRtc);
}

} // namespace
} // namespace qvtk
