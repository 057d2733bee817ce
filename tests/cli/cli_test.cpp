// qvtk-cli as a user runs it: exit codes, usage, messages on stderr, and the values it prints
// (JSON members, CSV rows, text lines) against the same file opened in this process.
#include <stdlib.h>
#include <sys/wait.h>

#include <QImage>
#include <algorithm>
#include <climits>
#include <regex>
#include <sstream>

#include "analysis/lap_model.h"
#include "tests/cli/cli_run.h"
#include "tests/test_support.h"
#include "tools/sim/can_writer.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/hnd_writer.h"

namespace qvtk::test {
namespace {

namespace fs = std::filesystem;

// Runs qvtk-cli with the arguments from the folder `cwd`, capturing both streams.
CliRun Cli(const std::string& args, const std::string& cwd = ".") {
    const std::string errFile = WriteTempFile("stderr.txt", {});
    CliRun run = RunCli(args, errFile, cwd);
    fs::remove_all(fs::path(errFile).parent_path());
    return run;
}

// The text after `"key":` up to the end of its value (a number, string or array).
std::string JsonValue(const std::string& json, const std::string& key) {
    std::smatch m;
    const std::regex re("\"" + key + "\":(\\[[^\\]]*\\]|\"(?:[^\"\\\\]|\\\\.)*\"|[^,}\\]]+)");
    return std::regex_search(json, m, re) ? m[1].str() : "<no " + key + ">";
}

std::string JsonArray(const int32_t* v, int n) {
    std::string s = "[";
    for (int i = 0; i < n; ++i) s += (i ? "," : "") + std::to_string(v[i]);
    return s + "]";
}

class CliTest : public ProgramTest {
protected:
    static void SetUpTestSuite() {
        dir_ = MakeTempDir();
        const sim::SimRide& ride = SimulatedRide(5, 1);
        std::vector<uint8_t> v2 = sim::WriteFamily3(ride, 2);
        const char memo[] = "a\"b\\c\r\nd\xe9"; // every kind of byte a JSON string escapes
        std::copy(memo, memo + sizeof memo, v2.begin() + 320);
        Write("ride.qvd", v2);
        Write("ride3.qvd", sim::WriteFamily3(ride, 3));
        Write("ride.hnd", sim::WriteHnd(ride));
        Write("ride.CAN", sim::WriteCanFrames(ride));
        Write("vorela.crs", sim::WriteCourseLayout(sim::MakeCourse(5)));
        std::vector<uint8_t> bad(2048, 0);
        bad[0] = '3';
        bad[15] = 7; // no such version
        Write("bad.qvd", bad);
        for (const char* picture : {"Body.BMP", "TIRE.BMP", "METER.BMP", "Needle.BMP"})
            fs::copy_file(fs::path(QVTK_SOURCE_DIR) / "resources" / picture, dir_ / picture);
        // The same program directory without the pictures.
        fs::create_directory(dir_ / "nopics");
        fs::copy_file(dir_ / "vorela.crs", dir_ / "nopics" / "vorela.crs");
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    static void Write(const char* name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static std::string Path(const char* name) { return (dir_ / name).string(); }
    static std::string Dir() { return " --dir " + dir_.string(); }
    // The file opened in this process as the CLI opens it.
    static void OpenHere(const char* name) {
        g_session.programDirectory = dir_.string();
        FileSlot slot = 0;
        ASSERT_TRUE(LoadFileIntoSlot(slot, Path(name)));
    }
    static inline fs::path dir_;
};

TEST_F(CliTest, HelpAndUsage) {
    for (const char* args : {"--help", "inspect --help", "render -h"}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 0) << args;
        for (const char* command :
             {"usage:", "inspect FILE", "samples FILE", "laps FILE", "render FILE", "--names"})
            EXPECT_NE(run.out.find(command), std::string::npos) << args << " " << command;
    }
    for (const char* args : {"", "inspect", "frobnicate x.qvd", "inspect x.qvd --bogus"}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 1) << args;
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << args;
        EXPECT_EQ(run.out, "") << args;
    }
}

TEST_F(CliTest, InspectPrintsTheLoadedValues) {
    const CliRun run = Cli("inspect " + Path("ride.qvd") + Dir() + " --json");
    ASSERT_EQ(run.status, 0) << run.err;
    OpenHere("ride.qvd");
    const Slot& s = SlotOf(0);
    EXPECT_EQ(JsonValue(run.out, "sampleCount"),
              std::to_string((fs::file_size(Path("ride.qvd")) - 512) / 16 + 1));
    EXPECT_EQ(JsonValue(run.out, "lapMarkCount"), std::to_string(s.laps.count));
    EXPECT_EQ(JsonValue(run.out, "lapMarks"), JsonArray(s.laps.marks, s.laps.count + 3));
    EXPECT_EQ(JsonValue(run.out, "lapDistances"), JsonArray(s.laps.lapDistance, s.laps.count + 1));
    EXPECT_EQ(JsonValue(run.out, "memo"), R"("a\"b\\c\r\nd\u00e9")");
    // Hand-worked from the simulated gearbox: 76/36 primary, gears 33/12 .. 29/24.
    EXPECT_EQ(JsonValue(run.out, "gearThresholds"), "[2111,5500,2375,1833,1555,1374,1256]");
    EXPECT_NE(run.out.find("{\"column\":0,\"name\":\"Ne\",\"unit\":\"rpm\",\"code\":3,\"kind\":1,"
                           "\"decimals\":0,\"flags\":3,\"min\":" +
                           std::to_string(s.range.min[0]) +
                           ",\"max\":" + std::to_string(s.range.max[0])),
              std::string::npos);
    EXPECT_EQ(JsonValue(run.out, "messages"), "[]");

    // The text form counts the lap marks as the JSON does.
    const CliRun text = Cli("inspect " + Path("ride.qvd") + Dir());
    EXPECT_NE(text.out.find(", " + std::to_string(s.laps.count) + " lap marks (1 per lap)"),
              std::string::npos)
        << text.out;

    // hnd recordings carry gearbox teeth of 1.
    EXPECT_EQ(
        JsonValue(Cli("inspect " + Path("ride.hnd") + Dir() + " --json").out, "gearThresholds"),
        "[1000,2000,1000,1000,1000,1000,1000]");
}

TEST_F(CliTest, RejectedAndUnsupportedFilesSaySoAndExitWith2) {
    const CliRun rejected = Cli("inspect " + Path("bad.qvd") + Dir() + " --json");
    EXPECT_EQ(rejected.status, 2);
    EXPECT_EQ(JsonValue(rejected.out, "loaded"), "false");
    EXPECT_EQ(JsonValue(rejected.out, "messages"),
              R"([{"caption":"File Error!!","text":"File Error."}])");
    EXPECT_EQ(rejected.err, "File Error!!: File Error.\n");
    const CliRun unsupported = Cli("inspect " + Path("vorela.crs") + Dir());
    EXPECT_EQ(unsupported.status, 2);
    EXPECT_EQ(unsupported.err, "File Error: Not support File Type\n");
    EXPECT_EQ(Cli("inspect " + Path("ride.qvd") + " --slot 3").status, 1);
    EXPECT_EQ(Cli("inspect " + Path("ride.qvd") + " --set NoSuchKey=1").status, 1);
}

TEST_F(CliTest, SettingsFromTheCommandLineReachTheLoader) {
    // Debug mode adds the reduction ratio as column 14; "0x1" is read as the settings file
    // reads it.
    EXPECT_EQ(Cli("inspect " + Path("ride.qvd") + Dir() + " --json").out.find("ReducRat"),
              std::string::npos);
    for (const char* debug : {"1", "0x1"})
        EXPECT_NE(Cli("inspect " + Path("ride.qvd") + Dir() + " --json --set Debug=" + debug)
                      .out.find("\"column\":14,\"name\":\"ReducRat\""),
                  std::string::npos);
}

TEST_F(CliTest, SamplesPrintTheStoredValuesInTheColumnsAsked) {
    const CliRun r = Cli("samples " + Path("ride.qvd") + Dir() +
                         " --columns 3,0,2 --from 1000 --to 1002 --distance --gps --marks");
    ASSERT_EQ(r.status, 0);
    OpenHere("ride.qvd");
    const Slot& s = SlotOf(0);
    std::ostringstream expected;
    expected << "sample,c3,c0,c2,dsel,dfront,drear,gpsStatus,lon,lat,gpsExtra,mark\n";
    for (int32_t i = 1000; i <= 1002; ++i)
        expected << i << ',' << SampleAt(0, 3, i) << ',' << SampleAt(0, 0, i) << ','
                 << SampleAt(0, 2, i) << ',' << s.distance.selected[i] << ',' << s.distance.front[i]
                 << ',' << s.distance.rear[i] << ',' << int(s.gps.status[i]) << ',' << s.gps.lon[i]
                 << ',' << s.gps.lat[i] << ',' << s.gps.extra[i] << ',' << int(s.sampleMarks[i])
                 << '\n';
    EXPECT_EQ(r.out, expected.str());

    const CliRun named =
        Cli("samples " + Path("ride.qvd") + Dir() + " --columns 0,11 --to 0 --names");
    EXPECT_EQ(named.out, "sample,Ne,Slip%\n0,0,0\n");
    EXPECT_EQ(Cli("samples " + Path("ride.qvd") + " --columns 0,99").status, 1);
    EXPECT_EQ(Cli("samples " + Path("ride.qvd")).status, 1);
}

TEST_F(CliTest, FileTwoIsLoadedAfterItsBase) {
    const CliRun r = Cli("inspect " + Path("ride3.qvd") + " --slot 1 --base " + Path("ride.qvd") +
                         Dir() + " --json");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(JsonValue(r.out, "slot"), "1");
    EXPECT_EQ(JsonValue(r.out, "logVersion"), "3");
}

TEST_F(CliTest, LapsFollowTheCourseAndPrintTheTimes) {
    const CliRun r = Cli("laps " + Path("ride.qvd") + Dir() + " --json");
    ASSERT_EQ(r.status, 0);
    OpenHere("ride.qvd");
    ASSERT_EQ(SlotOf(0).laps.count, 3); // out-lap, one flying lap, in-lap
    EXPECT_EQ(JsonValue(r.out, "marksPerLap"), "1");
    EXPECT_EQ(JsonValue(r.out, "lapMarkCount"), "3");
    EXPECT_EQ(JsonValue(r.out, "bestLap"), "1");
    EXPECT_EQ(JsonValue(r.out, "secondBestLap"), "null");
    EXPECT_NE(r.out.find("\"laps\":[{\"k\":0,\"startSample\":0,\"endSample\":" +
                         std::to_string(SlotOf(0).laps.marks[1])),
              std::string::npos);
    EXPECT_EQ(JsonValue(r.out, "sectors"), "[0,250,500,750,5000,5000,5000,5000,5000]");
    // Without the course file the program says so, and still times the laps.
    const CliRun noCourse = Cli("laps " + Path("ride.qvd") + " --dir / --json");
    EXPECT_EQ(noCourse.status, 0);
    EXPECT_NE(noCourse.err.find("QVTK: Not Found Course Layout File !"), std::string::npos);
    EXPECT_EQ(Cli("laps " + Path("ride.qvd") + " --marks-per-lap 4").status, 1);
}

TEST_F(CliTest, LapStatsOfColumnsAgreeWithTheSamplesWithTheEngineRunning) {
    const CliRun r = Cli("laps " + Path("ride.qvd") + Dir() + " --columns 0,1,40 --json");
    ASSERT_EQ(r.status, 0);
    std::smatch m;
    const std::regex lap1(R"(\{"k":1,"startSample":(\d+),"endSample":(\d+),[^{]*"stats":\[)"
                          R"(\{"column":0,"min":([^,]+),"max":([^,]+),"avg":[^}]+\},)"
                          R"(\{"column":1,"min":([^,]+),"max":([^,]+),"avg":([^}]+)\},)"
                          R"(\{"column":40,"min":0,"max":0,"avg":0\}\])");
    ASSERT_TRUE(std::regex_search(r.out, m, lap1)) << r.out.substr(0, 600);
    // The same lap from the stored samples: only samples with column 0 above 9000 count.
    OpenHere("ride.qvd");
    long long n = 0, sum = 0, neMin = LLONG_MAX, neMax = LLONG_MIN, lo = LLONG_MAX, hi = LLONG_MIN;
    for (int32_t i = std::stoi(m[1]); i <= std::stoi(m[2]); ++i) {
        const long long ne = SampleAt(0, 0, i), v = SampleAt(0, 1, i);
        if (ne <= 9000) continue;
        neMin = std::min(neMin, ne), neMax = std::max(neMax, ne);
        lo = std::min(lo, v), hi = std::max(hi, v);
        sum += v, ++n;
    }
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::tuple(std::stod(m[3]), std::stod(m[4]), std::stod(m[5]), std::stod(m[6])),
              std::tuple(double(neMin), double(neMax), double(lo), double(hi)));
    EXPECT_NEAR(std::stod(m[7]), double(sum) / double(n), 1e-6);
    EXPECT_EQ(Cli("laps " + Path("ride.qvd") + Dir() + " --columns 1,64").status, 1);
}

TEST_F(CliTest, RenderDrawsTheViewWithThePicturesOfItsDirectory) {
    const std::string out = Path("view.png"), bare = Path("bare.png");
    // Run from a folder without the pictures: --dir says where they are.
    const std::string args = Path("ride.qvd") + " " + Path("ride3.qvd") +
                             " --width 400 --height 300 --compression 20 --out ";
    ASSERT_EQ(Cli("render " + args + out + Dir(), "/").status, 0);
    ASSERT_EQ(Cli("render " + args + bare + " --dir " + Path("nopics"), "/").status, 0);
    const QImage view(QString::fromStdString(out)), without(QString::fromStdString(bare));
    EXPECT_EQ(view.size(), QSize(400, 300));
    EXPECT_NE(view, without); // the sub view's body and meter pictures
    const CliRun timed = Cli("render " + args + out + Dir() + " --frames 3");
    EXPECT_NE(timed.err.find("frames 3 median-ms "), std::string::npos) << timed.err;
    EXPECT_NE(timed.err.find(" p99-ms "), std::string::npos) << timed.err;

    EXPECT_EQ(Cli("render " + Path("ride.qvd") + Dir()).status, 1); // no --out
    EXPECT_EQ(Cli("render " + Path("ride.qvd") + " --out x.png --compression 0").status, 1);
    EXPECT_EQ(Cli("render " + Path("bad.qvd") + Dir() + " --out " + out).status, 2);
}

// The sub view is drawn as the settings start the program: on by default, off with AnimeMode=0.
TEST_F(CliTest, RenderDrawsTheSubViewAsTheSettingsStartIt) {
    const std::string on = Path("on.png"), off = Path("off.png");
    const std::string args = "render " + Path("ride.qvd") + Dir() + " --width 800 --height 600";
    ASSERT_EQ(Cli(args + " --out " + on).status, 0);
    ASSERT_EQ(Cli(args + " --set AnimeMode=0 --out " + off).status, 0);
    const QImage shown(QString::fromStdString(on)), hidden(QString::fromStdString(off));
    ASSERT_FALSE(shown.isNull() || hidden.isNull());
    // The rev counter's gear read-out, right of the value and name columns at the bottom.
    int differing = 0;
    for (int y = 400; y < 600; ++y)
        for (int x = 300; x < 800; ++x) differing += shown.pixel(x, y) != hidden.pixel(x, y);
    EXPECT_GT(differing, 100);
}

TEST_F(CliTest, RenderMapWritesTheCourseMapPicture) {
    const std::string out = Path("map.png");
    const CliRun run = Cli("render " + Path("ride.qvd") + Dir() +
                           " --view map --lap 1 --color-channel 1 --out " + out);
    ASSERT_EQ(run.status, 0) << run.err;
    const QImage map(QString::fromStdString(out));
    ASSERT_EQ(map.size(), QSize(512, 512));
    int coloured = 0; // course points in palette colours, not the plain marker grey
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            const QRgb c = map.pixel(x, y);
            coloured += std::max({qRed(c), qGreen(c), qBlue(c)}) -
                            std::min({qRed(c), qGreen(c), qBlue(c)}) >
                        100;
        }
    EXPECT_GT(coloured, 1000);
    EXPECT_NE(Cli("render " + Path("ride.qvd") + Dir() + " --view map --lap 9 --out " + out)
                  .err.find("has no lap 9"),
              std::string::npos);
    // Without a course file and without GPS there is nothing to draw.
    const CliRun none = Cli("render " + Path("ride.qvd") + " --dir / --view map --out " + out);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no course layout and no GPS track"), std::string::npos);
}

TEST_F(CliTest, ImportCsvLoadsWithTheAssignmentsAndReportsTheTable) {
    std::ofstream(dir_ / "timer.csv") << "Venue,Jerez\n\nTime,RPM,RPM\ns,rpm,rpm\n0.00,1000,"
                                         "2000\n0.01,1100,2100\n0.02,1200,2200\n";
    const std::string csv = "import-csv " + Path("timer.csv") + Dir();
    const std::string choice = " --timebase Time --map 'Ne=RPM (2)' --map 2=2";
    CliRun r = Cli(csv + choice + " --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"kind\":3,"), std::string::npos);
    EXPECT_NE(r.out.find("\"csv\":{\"headerLine\":3,\"columns\":[\"Time\",\"RPM\",\"RPM (2)\"],"
                         "\"units\":[\"s\",\"rpm\",\"rpm\"],\"timebase\":\"Time\","
                         "\"resampled\":false,\"log\":[\"Detected Timebase 10ms(100Hz)\"]}"),
              std::string::npos)
        << r.out;
    CliRun rows = Cli("samples " + Path("timer.csv") + Dir() + choice + " --columns 0,1 --to 1");
    EXPECT_EQ(rows.out, "sample,c0,c1\n0,0,0\n1,2000000,1000000\n");

    CliRun row = Cli(csv + " --map Gear=RPM");
    EXPECT_EQ(row.status, 1);
    EXPECT_EQ(row.err, "qvtk-cli: no row Gear\n");
    EXPECT_NE(Cli(csv + " --map Ne=Speed").err.find("qvtk-cli: no column Speed"),
              std::string::npos);
    std::ofstream(dir_ / "empty.csv") << "";
    CliRun empty = Cli("import-csv " + Path("empty.csv") + Dir());
    EXPECT_EQ(empty.status, 2);
    EXPECT_EQ(empty.err, "File Error!!: File Error.\n");
}

TEST_F(CliTest, ExportWritesFileOneAsTheExportDialogDoes) {
    const std::string out = (dir_ / "ride.csv").string(), ride = Path("ride.qvd");
    auto lines = [&] {
        std::ifstream in(out, std::ios::binary);
        std::vector<std::string> all;
        for (std::string line; std::getline(in, line);) all.push_back(line);
        return all;
    };
    CliRun all = Cli("export " + ride + Dir() + " --out " + out + " --rate 5");
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.err.substr(all.err.size() - 13), "Saved: Done.\n");
    std::vector<std::string> text = lines();
    ASSERT_GT(text.size(), 3u);
    EXPECT_EQ(text[0], "Time,Lap,Ne,TPS,VFW,VRW,FrSUS,RrSUS,LAF1,LAF2,VB,AUX1,AUX2,Slip%,VFrSUS,"
                       "VRrSUS\r");
    EXPECT_EQ(text[2].rfind("1.000,0,", 0), 0u);

    ASSERT_EQ(
        Cli("export " + ride + Dir() + " --out " + out + " --mode range --from 1 --to 2").status,
        0);
    EXPECT_EQ(lines().size(), 1u + 201u); // samples 200 to 400 at 200 Hz
    ASSERT_EQ(Cli("export " + ride + Dir() + " --out " + out + " --mode laps --laps 1").status, 0);
    const std::string last = lines().back(); // the flying lap ends on its mark
    EXPECT_EQ(last.substr(last.find(','), 3), ",1,") << last;
    EXPECT_EQ(Cli("export " + ride + Dir() + " --out " + out + " --mode laps --laps 9").status, 1);
    // At two marks per lap, mark 1 ends a half lap: no lap starts there.
    const std::string hnd = Path("ride.hnd") + Dir() + " --set Lap_PG=2 --out " + out;
    EXPECT_EQ(Cli("export " + hnd + " --mode laps --laps 1").status, 1);
    EXPECT_EQ(Cli("export " + hnd + " --mode laps --laps 0").status, 0);
    CliRun refused = Cli("export " + ride + Dir() + " --out " + (dir_ / "no/such.csv").string());
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("Error !!: Not Saved !!"), std::string::npos);
    CliRun fuel = Cli("fuel " + ride + " " + ride + Dir()); // no "F_TMFLCN": nothing
    EXPECT_EQ(fuel.status, 0);
    EXPECT_EQ(fuel.out, "");
}

TEST_F(CliTest, RenderImagesSavesTheFiveColouredCourseMaps) {
    const fs::path base = dir_ / "course.bmp";
    CliRun run =
        Cli("render " + Path("ride.qvd") + Dir() + " --view map --lap 1 --images " + base.string());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Saved: Course Map is saved.\n"), std::string::npos);
    std::vector<std::string> pictures;
    for (const char* suffix : {"_ne", "_th", "_vfw", "_fsus", "_rsus"}) {
        std::ifstream in(dir_ / ("course" + std::string(suffix) + ".bmp"), std::ios::binary);
        pictures.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        EXPECT_EQ(pictures.back().substr(0, 2), "BM") << suffix;
    }
    for (size_t a = 0; a < pictures.size(); ++a)
        for (size_t b = a + 1; b < pictures.size(); ++b)
            EXPECT_NE(pictures[a], pictures[b]) << a << " " << b; // each its own colouring

    // A recording with none of the five channels writes nothing and must not say it saved.
    const fs::path none = dir_ / "frames.bmp";
    run = Cli("render " + Path("ride.CAN") + Dir() + " --view map --images " + none.string());
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err.find("Course Map is saved."), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Error !!: No course map picture was saved."), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "frames_ne.bmp"));
}

} // namespace
} // namespace qvtk::test
