// qvtk-cli can-setup-file, channels and can-memo as scripts run them: the bytes of the setup
// file taken from a CAN logger recording built byte by byte, the channel table rewritten in a
// recording and read back, the refusals with the file untouched.
#include "tests/cli/cli_run.h"
#include "tests/data/family3_fixture.h"
#include "tests/data/family4_fixture.h"

namespace qvtk {
namespace {

class CanCliTest : public test::TempProgramDirectory {
protected:
    test::CliRun Cli(const std::string& args) {
        return test::RunCli(args + " --dir " + dir_, dir_ + "/stderr.txt");
    }
    std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteFile(name, bytes);
        return dir_ + "/" + name;
    }
    std::vector<uint8_t> Contents(const std::string& name) const {
        std::ifstream in(dir_ + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // A CAN logger recording of the course "track" whose header carries a value in every byte
    // the setup file takes from it; channel 1 is disabled between two recorded ones.
    static test::Family4File Recording() {
        test::Family4File f;
        for (size_t at = 64; at < 169; ++at) f.Set(at, uint8_t(at * 7));
        const std::pair<size_t, uint8_t> bytes[] = {
            {18, 3},    {19, 3},    {20, 4},    {21, 2},    {22, 0x12}, {23, 0x34}, {24, 2},
            {25, 0xA5}, {26, 0},    {27, 21},   {28, 30},   {32, 1},    {33, 1},    {34, 2},
            {35, 0xFF}, {36, 0xFF}, {37, 0xFF}, {38, 0x81}, {39, 0x82}, {40, 0xFF}, {41, 0xFF},
            {42, 0x83}, {43, 0x84}, {94, 15},   {95, 45}};
        for (const auto& [at, v] : bytes) f.Set(at, v);
        f.Line(243000000, -19500000, 241500000, -21000000).Text(112, "track.crs").Text(256, "old");
        f.Channel(0, {.code = 3, .name = "Ne"}).Channel(1, {.mode = 0, .code = 6});
        f.Channel(2, {.code = 4, .conversion = 5, .in = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}});
        f.Channel(3, {.mode = 3, .code = 64}).Channel(4, {.code = 9, .conversion = 2, .calA = 7});
        return f.Group({test::Value(0, 9000), test::Value(2, 5)}).Repeat(3);
    }
    void WriteCourses() const {
        WriteFile("gps_p.ini", "[track.crs]\r\nCL_LAT_A=40.500000\r\nCL_LON_A=-3.250000\r\n"
                               "CL_LAT_B=40.250000\r\nCL_LON_B=-3.500000\r\n"
                               "[other.crs]\r\nCL_LAT_A=1.000000\r\nCL_LON_A=2.000000\r\n"
                               "CL_LAT_B=3.000000\r\nCL_LON_B=4.000000\r\n");
        WriteFile("track.crs", "");
        WriteFile("other.crs", "");
    }
};

std::vector<uint8_t> Range(const std::vector<uint8_t>& b, size_t from, size_t to) {
    return {b.begin() + ptrdiff_t(from), b.begin() + ptrdiff_t(to)};
}

TEST_F(CanCliTest, SetupFileCarriesTheRecordingsSettingsAndTheEditsAsTyped) {
    WriteCourses();
    const std::vector<uint8_t> ride = Recording().bytes();
    const std::string path = Put("ride.qvd", ride);
    test::CliRun r = Cli("can-setup-file --from " + path + " --out " + dir_ +
                         "/SETUP.QVL --set CourseFile_name=track.crs --edit start_value=70000"
                         " --edit vrw_tire=100 --edit memo=" +
                         std::string(300, 'm') + " --channel 0.NAME=ENGINE --channel 4.MODE=0");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.ends_with("Saved: SetUp File is saved.\n")) << r.err;
    const std::vector<uint8_t> f = Contents("SETUP.QVL");
    ASSERT_EQ(f.size(), 8192u);
    const std::vector<uint8_t> head = {
        '4', 'K', 'Z', 'L', ' ', 'V', '0',  '0',  '0', '0',  ' ',  ' ',  ' ',  ' ',  ' ',  0,
        0,   63,  3,   3,   4,   2,   0xFF, 0xFF, 2,   0xA5, 0,    21,   30,   0,    0,    0,
        1,   1,   2,   1,   3,   63,  0x81, 0x82, 3,   63,   0x83, 0x84, 0x08, 0x3E, 0x07, 0xB6};
    EXPECT_EQ(Range(f, 0, 48), head);
    EXPECT_EQ(Range(f, 48, 64), Range(ride, 48, 64)); // File 1's own line for its course
    // The gearbox, sprockets and tyres as recorded (the rear tyre typed as 100: 500), the cut
    // rows' speeds in full rpm, the kept bytes, and nothing in the gaps between the rows.
    std::vector<uint8_t> gearbox = Range(ride, 64, 100);
    gearbox[34] = 0x01, gearbox[35] = 0xF4;
    EXPECT_EQ(Range(f, 64, 100), gearbox);
    std::vector<uint8_t> shift = Range(ride, 130, 169);
    shift[157 - 130] = shift[163 - 130] = 0;
    EXPECT_EQ(Range(f, 130, 169), shift);
    EXPECT_EQ(std::string(f.begin() + 112, f.begin() + 128),
              std::string("track\0\0\0\0\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(std::count(f.begin() + 256, f.begin() + 512, 'm'), 254);
    // Packed: Ne (named ENGINE), the table channel, the GPS one; disabled channels left out.
    EXPECT_EQ(std::vector<int>({f[512], f[513], f[560], f[561], f[575], f[672], f[673], f[720]}),
              std::vector<int>({1, 3, 1, 4, 5, 3, 64, 0}));
    EXPECT_EQ(std::string(f.begin() + 528, f.begin() + 536), std::string("ENGINE\0\0", 8));
    EXPECT_EQ(std::count(f.begin() + 720, f.end(), 0), 8192 - 720);

    // Another course: its name and its line from gps_p.ini; a memo typed in Japanese is kept
    // as the logger keeps it, in Shift-JIS.
    ASSERT_EQ(Cli("can-setup-file --from " + path + " --out " + dir_ +
                  "/other.QVL --edit course_map=other.crs --edit memo=ラップ")
                  .status,
              0);
    const std::vector<uint8_t> other = Contents("other.QVL");
    EXPECT_EQ(std::vector<int>({other[48], other[49], other[112], other[117]}),
              std::vector<int>({0, 0x5B, 'o', 0})); // 1 degree: 6000000 = 0x005B8D80
    EXPECT_EQ(Range(other, 256, 263),
              std::vector<uint8_t>({0x83, 0x89, 0x83, 0x62, 0x83, 0x76, 0}));

    // From another recording the kept bytes mean other things: they are 0.
    test::Family3File f3(2);
    f3.Set(25, 15).Set(26, 43).Append({.vb = 200}, 4);
    ASSERT_EQ(
        Cli("can-setup-file --from " + Put("f3.qvd", f3.bytes()) + " --out " + dir_ + "/f3.QVL")
            .status,
        0);
    const std::vector<uint8_t> kept = Contents("f3.QVL");
    for (size_t at : {25, 35, 36, 37, 38, 39, 40, 41, 42, 43, 142, 143, 145})
        EXPECT_EQ(kept[at], 0) << at;

    // The dialog's GearBox fields, as GearBox Setting takes them: indicator 1 in steps of 100;
    // the cut rows only with the shifter.
    ASSERT_EQ(Cli("can-setup-file --from " + path + " --out " + dir_ +
                  "/gear.QVL --edit rpm_indicator_1=12345")
                  .status,
              0);
    EXPECT_EQ(Range(Contents("gear.QVL"), 66, 68), std::vector<uint8_t>({0x30, 0x0C}));
    EXPECT_EQ(Cli("can-setup-file --out " + dir_ + "/x.QVL --edit cut_rpm_1=9000").status, 1);
    EXPECT_EQ(Cli("can-setup-file --out " + dir_ + "/x.QVL --edit nothing=1").status, 1);
    EXPECT_EQ(Cli("can-setup-file --out " + dir_ + "/x.QVL --channel 64.NAME=A").status, 1);
    EXPECT_EQ(Cli("can-setup-file --out " + dir_ + "/no/x.QVL").err,
              "Error !!: SetUp failed to save !!\n");
}

TEST_F(CanCliTest, ChannelsAreRewrittenInTheRecordingAndReadBack) {
    const std::string path = Put("ride.qvd", Recording().bytes());
    const std::vector<uint8_t> before = Contents("ride.qvd");
    test::CliRun r = Cli("channels " + path +
                         " --overwrite --channel 2.MODE=Disable --channel 0.UNIT=rpm"
                         " --channel 4.CONV=3 --channel 4.A2=2.5");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.ends_with("Save: File saved !\n")) << r.err;
    test::CliRun json = Cli("channels " + path + " --json");
    ASSERT_EQ(json.status, 0) << json.err;
    for (const char* expected :
         {"\"channel\":2,\"mode\":\"Disable\",\"function\":4", "\"unit\":\"rpm\"",
          "\"conversion\":\"Y=a1*X/a2+b\",\"a1\":7,\"a2\":2500", "\"mode\":\"GPS\""})
        EXPECT_NE(json.out.find(expected), std::string::npos) << expected << "\n" << json.out;
    const std::vector<uint8_t> after = Contents("ride.qvd");
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(Range(after, 8192, after.size()), Range(before, 8192, before.size()));

    // Into a GPS position function: the items would change length. Refused, file untouched.
    test::CliRun refused = Cli("channels " + path + " --overwrite --channel 0.FUNCTION=64");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("Error !: CH0 GPS function can not be changed"), std::string::npos)
        << refused.err;
    EXPECT_EQ(Contents("ride.qvd"), after);

    test::CliRun memo = Cli("can-memo " + path + " --text 'wet track'");
    EXPECT_EQ(memo.status, 0);
    const std::vector<uint8_t> memoed = Contents("ride.qvd");
    EXPECT_EQ(std::string(memoed.begin() + 256, memoed.begin() + 266),
              std::string("wet track\0", 10));

    test::Family3File f3(2);
    f3.Append({.vb = 200}, 4);
    const std::string other = Put("f3.qvd", f3.bytes());
    for (const std::string& args :
         {"channels " + other + " --overwrite", "can-memo " + other + " --text x"}) {
        test::CliRun no = Cli(args);
        EXPECT_EQ(no.status, 2) << args;
        EXPECT_TRUE(no.err.ends_with("Error !: File type error. Not saved !\n")) << no.err;
    }
    EXPECT_EQ(Contents("f3.qvd"), f3.bytes());
    EXPECT_EQ(Cli("channels " + other + " --json").status, 2);
    EXPECT_EQ(Cli("channels " + path + " --overwrite --channel 1.CANID=xyz").status, 1);
}

} // namespace
} // namespace qvtk
