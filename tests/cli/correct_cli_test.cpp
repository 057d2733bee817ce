// qvtk-cli correct, overwrite-input and the gearbox, extend and analog fields of setup-file
// as scripts run them: the JSON lines, the messages, the exit status and the bytes on disk.
#include "tests/cli/cli_run.h"
#include "tests/data/family3_fixture.h"

namespace qvtk {
namespace {

class CorrectCliTest : public test::TempProgramDirectory {
protected:
    test::CliRun Cli(const std::string& args) { return test::RunCli(args, dir_ + "/stderr.txt"); }
    // 3000 fixed records with one lap mark at record 1000.
    std::string Recording() const {
        test::Family3File f(2);
        f.Throttle(10, 240).Append({}, 999).Append({.marker = true}).Append({}, 2000);
        WriteFile("ride.qvd", f.bytes());
        return dir_ + "/ride.qvd";
    }
    std::vector<uint8_t> Contents(const std::string& name) const {
        const std::string s = test::ReadWholeFile(dir_ + "/" + name);
        return {s.begin(), s.end()};
    }
    static std::vector<int> MarkedRecords(const std::vector<uint8_t>& file) {
        std::vector<int> marked;
        for (size_t at = 512; at + 16 <= file.size(); at += 16)
            if (file[at + 2] & 0x80) marked.push_back(int((at - 512) / 16 + 1));
        return marked;
    }
};

TEST_F(CorrectCliTest, CorrectWorksTheStepsInOrderAndSaves) {
    const std::string ride = Recording();
    test::CliRun r = Cli("correct " + ride + " --lapmark 1100 --lapmark 1500 --lapmark 1700" +
                         " --adj front=2 --save --json --dir " + dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"step\":\"load\",\"lapMarkCount\":2,\"lapMarks\":[0,1000,3001,3001,3001]}\n"
              "{\"step\":\"lapmark\",\"sample\":1100,\"result\":\"deleted\",\"lapMarkCount\":1,"
              "\"lapMarks\":[0,3001,3001,3001]}\n"
              "{\"step\":\"lapmark\",\"sample\":1500,\"result\":\"inserted\",\"lapMarkCount\":2,"
              "\"lapMarks\":[0,1500,3001,3001,3001]}\n"
              "{\"step\":\"lapmark\",\"sample\":1700,\"result\":\"refused-too-close\","
              "\"lapMarkCount\":2,\"lapMarks\":[0,1500,3001,3001,3001]}\n"
              "{\"step\":\"adj\",\"channel\":\"front\",\"mm\":2,\"lapMarkCount\":2,"
              "\"lapMarks\":[0,1500,3001,3001,3001]}\n"
              "{\"step\":\"save\",\"saved\":true,\"lapMarkCount\":2,"
              "\"lapMarks\":[0,1500,3001,3001,3001]}\n");
    EXPECT_NE(r.err.find("Warning!: LapMark is not set: a lap mark 600 samples"),
              std::string::npos);
    EXPECT_TRUE(r.err.ends_with("Saved: File Is Saved.\n")) << r.err;
    EXPECT_EQ(MarkedRecords(Contents("ride.qvd")), std::vector<int>{1500});

    EXPECT_EQ(Cli("correct " + ride + " --lapmark 1400 --dir " + dir_).status, 0);
    EXPECT_EQ(MarkedRecords(Contents("ride.qvd")), std::vector<int>{1500}); // no --save

    test::CliRun missing = Cli("correct " + dir_ + "/none.qvd --save --dir " + dir_);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(Cli("correct " + ride + " --lapmark x").status, 1);
    EXPECT_EQ(Cli("correct " + ride + " --adj middle=3").status, 1);
}

TEST_F(CorrectCliTest, OverwriteInputWritesOneInputIntoTheHeader) {
    const std::string ride = Recording();
    const std::vector<uint8_t> before = Contents("ride.qvd");
    test::CliRun r = Cli("overwrite-input " + ride + " --input aux1 --edit type=Table" +
                         " --edit value_1=-300 --edit voltage_1=-1 --dir " + dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Save: File saved !\n"), std::string::npos) << r.err;
    std::vector<uint8_t> expected = before;
    expected[110] = 3;
    expected[224] = 0x8A; // -30000
    expected[225] = 0xD0;
    EXPECT_EQ(Contents("ride.qvd"), expected);

    test::CliRun disabled = Cli("overwrite-input " + ride + " --input LAF1 --edit a=2");
    EXPECT_EQ(disabled.status, 1);
    EXPECT_NE(disabled.err.find("disabled"), std::string::npos);
    EXPECT_EQ(Cli("overwrite-input " + ride + " --input AUX3 --edit a=2").status, 1);
    EXPECT_EQ(Contents("ride.qvd"), expected);
}

TEST_F(CorrectCliTest, SetupFileTakesGearboxExtendAndInputFields) {
    const std::string ride = Recording(), out = dir_ + "/SETUP.QVL";
    const std::string edits =
        " --edit cut_rpm_1=10000 --edit cut_rpm_2=7000 --edit cut_rpm_3=-300"
        " --edit trigger_mv_1=2500 --edit hysteresis=1000"
        " --edit rpm_indicator_1=15050 --edit cut_rpm_1=400 --edit lc=1 --edit lc_lock_rpm=4000"
        " --edit lc_release_rpm=3000 --edit lc_tolerance_rpm=100 --edit laf1_type=ax+b"
        " --edit laf1_a=0.29 --edit awc=1 --edit slip_threshold=4000";
    test::CliRun r = Cli("setup-file --from " + ride + " --out " + out + edits +
                         " --set Debug=1 --set CompressFile=1 --settings-dir " + dir_);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> f = Contents("SETUP.QVL");
    ASSERT_EQ(f.size(), 1024u);
    // 48 AWC, 49 hysteresis / 4, 52-53 slip, 58 gear 1 rpm / 100, 82 trigger counts, 93-95
    // cut rows / 250 (row 1 above the 7000 of row 2), 108 and 112-113 LAF1
    EXPECT_EQ(std::vector<int>({f[48], f[49], f[52], f[53], f[58], f[82], f[93], f[94], f[95],
                                f[108], f[112], f[113]}),
              std::vector<int>({1, 250, 0x0B, 0xB8, 150, 128, 29, 28, 0, 2, 0, 29}));
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 512, f.begin() + 519),
              std::vector<uint8_t>({1, 0x0F, 0xA0, 0x0F, 0xA0, 0x01, 0xF4}));

    test::CliRun hidden = Cli("setup-file --from " + ride + " --out " + out +
                              " --edit cut_rpm_1=9000 --settings-dir " + dir_);
    EXPECT_EQ(hidden.status, 1);
    EXPECT_NE(hidden.err.find("not shown"), std::string::npos);
    const std::string list = Cli("setup-file --list").out;
    for (const char* line : {"cut_rpm_2\tRPM 2\t", "lc_lock_rpm\tLC Lock rpm\t", "aux2_value_16\t"})
        EXPECT_NE(list.find(line), std::string::npos) << line;
}

} // namespace
} // namespace qvtk
