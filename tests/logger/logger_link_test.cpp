// The serial link over pseudo-terminals: which ports the scan opens in which order, which
// identify answers it accepts, the setup block's lengths and a transmit queue that never
// drains.
#include "logger/logger_link.h"

#include <pty.h>
#include <termios.h>

#include <chrono>
#include <memory>

#include "tests/logger/logger_fixture.h"

namespace qvtk {
namespace {

using test::SimLogger;

class LoggerLinkTest : public test::LoggerTest {};

TEST_F(LoggerLinkTest, IdentifyAnswersDecideWhetherAPortIsTaken) {
    struct Case {
        const char* ident;
        bool found, unsupported;
    } cases[] = {
        {"0QVLR001", true, false}, {"0QVLR000", true, false},   {"0QVLR999", true, false},
        {"xABCDEFG", true, false}, {"0QVLR002", false, true},   {"0QVLR123", false, true},
        {"0QVLR00", false, false}, {"0QVLR0011", false, false}, {"0QVLX901", false, true},
    };
    std::vector<std::unique_ptr<SimLogger>> loggers;
    for (size_t i = 0; i < std::size(cases); ++i)
        loggers.push_back(std::make_unique<SimLogger>(
            dir_, "l" + std::to_string(i), std::vector<std::string>{"--ident", cases[i].ident}));
    for (size_t i = 0; i < std::size(cases); ++i) {
        UsePorts({loggers[i].get()});
        g_loggerLink.UnsupportedLoggerSeen = false;
        EXPECT_EQ(OpenLoggerPort(), cases[i].found) << cases[i].ident;
        EXPECT_EQ(g_loggerLink.UnsupportedLoggerSeen, cases[i].unsupported) << cases[i].ident;
        EXPECT_EQ(g_settings.Lastcono, cases[i].found ? 1 : 0) << cases[i].ident;
        if (cases[i].found) {
            EXPECT_EQ(std::string(g_loggerLink.ident, g_loggerLink.ident + 8), cases[i].ident);
        }
        CloseLoggerPort();
    }
}

TEST_F(LoggerLinkTest, TheRememberedPortGoesFirstThenTheNumbersInOrder) {
    SimLogger silent(dir_, "silent", {"--fault", "silent"});
    SimLogger old(dir_, "old", {"--fault", "unsupported"});
    SimLogger second(dir_, "second");
    SimLogger fourth(dir_, "fourth");
    const std::vector<const SimLogger*> ports = {&silent, &old, &second, &fourth};

    UsePorts(ports, 4);
    ASSERT_TRUE(OpenLoggerPort());
    EXPECT_EQ(std::tuple(g_loggerLink.port, g_loggerLink.device, g_settings.Lastcono),
              std::tuple(4, fourth.link(), 4));
    CloseLoggerPort();
    for (const SimLogger* l : {&silent, &old, &second}) EXPECT_TRUE(l->Commands().empty());

    // Beyond the highest port number: no remembered port, the scan starts at 1; a port that
    // answered with an old firmware is passed over and leaves the flag set.
    UsePorts(ports, 40);
    g_loggerLink.UnsupportedLoggerSeen = false;
    ASSERT_TRUE(OpenLoggerPort());
    EXPECT_EQ(
        std::tuple(g_loggerLink.port, g_settings.Lastcono, g_loggerLink.UnsupportedLoggerSeen),
        std::tuple(3, 3, true));
    CloseLoggerPort();
    EXPECT_EQ(std::tuple(silent.Count("30"), old.Count("30"), second.Count("30")),
              std::tuple(1, 1, 1));

    // No port at all to try.
    UsePorts(ports, 2);
    g_settings.Maxcono = 0;
    EXPECT_FALSE(OpenLoggerPort());
    EXPECT_EQ(g_settings.Lastcono, 0);
    EXPECT_EQ(second.Count("30"), 1);
}

TEST_F(LoggerLinkTest, OnlyWholeSetupBlocksAreTaken) {
    const int lengths[] = {511, 512, 513, 1023, 1024};
    std::vector<std::unique_ptr<SimLogger>> loggers;
    for (int n : lengths)
        loggers.push_back(std::make_unique<SimLogger>(
            dir_, "b" + std::to_string(n), std::vector<std::string>{"--block", std::to_string(n)}));
    for (size_t i = 0; i < std::size(lengths); ++i) {
        UsePorts({loggers[i].get()});
        ASSERT_TRUE(OpenLoggerPort());
        uint8_t block[kSetupBlockMax];
        int got = 0;
        const bool whole = RequestSetupBlock(block, &got);
        EXPECT_EQ(got, lengths[i]);
        EXPECT_EQ(whole, lengths[i] == 512 || lengths[i] == 1024) << lengths[i];
        EXPECT_EQ(block[0], '3');
        CloseLoggerPort();
    }
}

TEST_F(LoggerLinkTest, ACommandTheLoggerLeavesUnansweredKeepsTheLastReply) {
    SimLogger logging(dir_, "logging", {"--fault", "logging"});
    UsePorts({&logging});
    ASSERT_TRUE(OpenLoggerPort());
    ASSERT_TRUE(SendCommandByte(0x40)); // refused while logging
    EXPECT_EQ(g_loggerLink.CommandReply, 0x01);
    EXPECT_TRUE(SendCommandByte('Z')); // no such command: nothing comes back
    EXPECT_EQ(g_loggerLink.CommandReply, 0x01);
}

TEST_F(LoggerLinkTest, AnUnpluggedLoggerFailsTheExchangesAtOnce) {
    SimLogger logger(dir_, "drop", {"--fault", "drop:1"});
    UsePorts({&logger});
    ASSERT_TRUE(OpenLoggerPort());
    std::this_thread::sleep_for(std::chrono::milliseconds(400)); // gone after its first answer
    const auto start = std::chrono::steady_clock::now();
    uint8_t answer[20];
    const uint8_t live = '1';
    EXPECT_LT(ExchangeWithLogger(&live, 1, answer, sizeof answer), 20);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1600));
}

// A line whose other end stops reading: the transmit queue never drains.
TEST_F(LoggerLinkTest, WaitingForTheTransmitQueueEndsAtTheWriteTimeout) {
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    SerialPort* port = OpenSerialPort(name);
    ASSERT_NE(port, nullptr);
    // Without the per-byte allowance, so that the flood's write gives up soon.
    SerialTimeouts t = kWorkingTimeouts;
    t.writeTotalPerByte = 0;
    SetSerialTimeouts(port, t);
    const std::vector<uint8_t> flood(256 * 1024, 0x55);
    EXPECT_FALSE(WriteSerial(port, flood.data(), flood.size()));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(WaitSerialTransmitIdle(port));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(kWorkingTimeouts.writeTotalConstant));
    EXPECT_LT(waited, std::chrono::milliseconds(kWorkingTimeouts.writeTotalConstant + 400));
    CloseSerialPort(port);
    close(slave);
    close(master);
}

} // namespace
} // namespace qvtk
