// qvtk-cli logger, setup-file, clock-file and memo as scripts run them: exit status, the JSON
// lines, the messages on stderr and the bytes written, against simulated loggers.
#include <regex>

#include "tests/cli/cli_run.h"
#include "tests/data/family3_fixture.h"
#include "tests/logger/logger_fixture.h"

namespace qvtk {
namespace {

using test::SimLogger;

class LoggerCliTest : public test::TempProgramDirectory {
protected:
    test::CliRun Cli(const std::string& args) {
        return test::RunCli(args + " --dir " + dir_, dir_ + "/stderr.txt");
    }
    test::CliRun FileCli(const std::string& args) {
        return test::RunCli(args, dir_ + "/stderr.txt");
    }
    // The loggers as the ports in front and nothing else scanned.
    static std::string Ports(const std::vector<const SimLogger*>& loggers) {
        std::string s;
        for (const SimLogger* l : loggers) s += " --port " + l->link();
        return s + " --set Lastcono=0 --set Maxcono=" + std::to_string(loggers.size());
    }
    std::string Recording() const {
        test::Family3File f(2);
        f.Set(17, 20).Set16(18, 1940).Set(21, 4).Set16(22, 2000).Set(25, 15).Set(26, 43);
        f.Throttle(20, 220).Append({.vb = 200}, 4);
        const std::string path = dir_ + "/ride.qvd";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(f.bytes().data()),
                   std::streamsize(f.bytes().size()));
        return path;
    }
    static std::vector<uint8_t> Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

TEST_F(LoggerCliTest, ProbeFindsTheLoggerOrSaysWhyNot) {
    SimLogger silent(dir_, "silent", {"--fault", "silent"});
    SimLogger logger(dir_, "logger");
    SimLogger old(dir_, "old", {"--fault", "unsupported"});
    test::CliRun found = Cli("logger probe --json" + Ports({&silent, &logger}));
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out, "{\"found\":true,\"port\":2,\"device\":\"" + logger.link() +
                             "\",\"unsupported\":false,\"ident\":\"3051564C52303031\"}\n");

    test::CliRun unsupported = Cli("logger probe --json" + Ports({&silent, &old}));
    EXPECT_EQ(std::tuple(unsupported.status, unsupported.out, unsupported.err),
              std::tuple(2, "{\"found\":false,\"unsupported\":true}\n",
                         "Error: Logger Firmware version unsupported !!\n"));
    test::CliRun none = Cli("logger probe --json" + Ports({&silent}));
    EXPECT_EQ(std::tuple(none.status, none.out, none.err),
              std::tuple(2, "{\"found\":false,\"unsupported\":false}\n",
                         "Error: logger unit not found !!\n"));
    EXPECT_EQ(Cli("logger probe --ticks 3").status, 1);
}

TEST_F(LoggerCliTest, MonitorPrintsATickALineAndEndsOnTheMonitorsMessage) {
    SimLogger logger(dir_, "logger");
    SimLogger garbled(dir_, "garbled", {"--fault", "garbled"});
    test::CliRun plain = Cli("logger monitor --ticks 3 --json" + Ports({&logger}));
    ASSERT_EQ(plain.status, 0) << plain.err;
    const std::vector<std::string> lines = Lines(plain.out);
    ASSERT_EQ(lines.size(), 3u);
    const std::regex tick(R"(\{"NE":"\d+rpm","VFW":"\d+km/h",.*"TPS V":" ?\d\.\d\dV",.*)"
                          R"("status":"","RTC":"\d{4}/\d+/\d+ \d\d:\d\d:\d\d",)"
                          R"("Firmware Ver.":"SimLog 2.00","QVD Ver.":"0x02","Final":"16 - 41",)"
                          R"("LapMarker":"1"\})");
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, tick)) << line;
    EXPECT_EQ(plain.out.find("GearPos."), std::string::npos);

    test::CliRun detailed = Cli("logger monitor --ticks 1 --json --set Debug=1" + Ports({&logger}));
    EXPECT_TRUE(
        std::regex_search(detailed.out, std::regex(R"("GearPos.":"\d","prompt":"0\d 00 00")")))
        << detailed.out;

    test::CliRun ended = Cli("logger monitor --ticks 20 --json" + Ports({&garbled}));
    EXPECT_EQ(ended.status, 2);
    EXPECT_EQ(Lines(ended.out).size(), 4u); // four failed clock answers are forgiven
    EXPECT_EQ(ended.err, "QVTK: Communication error!! \n0x012\n");
}

TEST_F(LoggerCliTest, ClockAndCalibrationReachTheLogger) {
    SimLogger logger(dir_, "logger");
    SimLogger logging(dir_, "logging", {"--fault", "logging"});
    EXPECT_EQ(Cli("logger set-clock --at \"2021-03-04 05:06\"" + Ports({&logger})).status, 0);
    EXPECT_EQ(logger.Commands().back(), "20 07 E5 03 04 05 06 00");
    EXPECT_EQ(Cli("logger set-clock --at 2021-03-04" + Ports({&logger})).status, 1);

    test::CliRun refused = Cli("logger calibrate rear" + Ports({&logging}));
    EXPECT_EQ(std::tuple(refused.status, refused.err),
              std::tuple(2, "Error: During Logging !! \nSetup can not.\n"));
    EXPECT_EQ(logging.Count("43"), 0);

    // The rider's five seconds, the closing command, the logger's three seconds.
    test::CliRun done = Cli("logger calibrate throttle" + Ports({&logger}));
    EXPECT_EQ(done.status, 0) << done.err;
    std::vector<std::string> c = logger.Commands();
    ASSERT_GE(c.size(), 3u);
    const auto begin = std::find(c.begin(), c.end(), "40");
    ASSERT_NE(begin, c.end());
    EXPECT_EQ(std::vector<std::string>(begin, c.end()),
              std::vector<std::string>({"40", "41", "33"}));
}

TEST_F(LoggerCliTest, SetupFileAppliesTheFieldsAsTyped) {
    const std::string ride = Recording(), out = dir_ + "/SETUP.QVL";
    test::CliRun r = FileCli("setup-file --from " + ride + " --out " + out +
                             " --edit vfw_mm=5000 --edit 'engine_pulse_ne=(5)'"
                             " --position-adjust tps --settings-dir " +
                             dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.ends_with("Saved: SetUp File is saved.\n")) << r.err;
    std::vector<uint8_t> file = Contents(out);
    ASSERT_EQ(file.size(), 512u);
    // Nothing observed in four samples: the starting readings 120 and 128 less one.
    EXPECT_EQ(std::vector<int>({file[16], file[18], file[19], file[28], file[32], file[33]}),
              std::vector<int>({1, 0x0B, 0xB8, 5, 120, 127}));

    std::ofstream(dir_ + "/QVTK2.ini") << "[ZUDEriraz]\r\nCompressFile=1\r\n";
    EXPECT_EQ(
        FileCli("setup-file --from " + ride + " --out " + out + " --settings-dir " + dir_).status,
        0);
    EXPECT_EQ(Contents(out).size(), 1024u);

    EXPECT_NE(FileCli("setup-file --list").out.find("vfw_mm\tVFW mm\tfield 500..3000\n"),
              std::string::npos);
    EXPECT_EQ(FileCli("setup-file --from " + ride + " --out " + out + " --edit nothing=1").status,
              1);
    test::CliRun disabled =
        FileCli("setup-file --from " + ride + " --out " + out + " --edit front_mm=100");
    EXPECT_EQ(disabled.status, 1);
    EXPECT_NE(disabled.err.find("disabled"), std::string::npos);
    test::CliRun none = FileCli("setup-file --from " + dir_ + "/none.qvd --out " + out);
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("Error !: Not load base log file!\n"), std::string::npos);
}

TEST_F(LoggerCliTest, ClockFileAndMemo) {
    const std::string time = dir_ + "/TIME.QVL";
    test::CliRun clock = FileCli("clock-file --out " + time + " --at '2029-12-31 23:59'");
    EXPECT_EQ(std::tuple(clock.status, clock.err),
              std::tuple(0, "Saved: ClockSet file is Saved.\n"));
    EXPECT_EQ(Contents(time), std::vector<uint8_t>({0x07, 0xED, 12, 31, 23, 59, 0}));
    EXPECT_EQ(FileCli("clock-file --out " + time + " --at '2030-01-01 00:00'").status, 1);

    const std::string ride = Recording();
    test::CliRun memo = FileCli("memo " + ride + " --text 'track day'");
    EXPECT_EQ(memo.status, 0);
    EXPECT_TRUE(memo.err.ends_with("Save: File saved !\n")) << memo.err;
    const std::vector<uint8_t> file = Contents(ride);
    EXPECT_EQ(std::string(file.begin() + 320, file.begin() + 330), std::string("track day\0", 10));
}

} // namespace
} // namespace qvtk
