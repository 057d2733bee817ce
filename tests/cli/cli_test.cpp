// qvtk-cli as a user runs it: exit codes, messages on stderr, the JSON members and the CSV rows.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <QImage>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "tools/sim/course.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"

namespace {

namespace fs = std::filesystem;
namespace sim = qvtk::sim;

struct CliRun {
    int status = -1;
    std::string out, err;
};

fs::path g_dir; // this test process's own folder: ctest runs tests in parallel processes

// Runs qvtk-cli with the arguments, capturing both streams.
CliRun Cli(const std::string& args) {
    const fs::path errFile = g_dir / "stderr.txt";
    const std::string command = std::string(QVTK_CLI_PATH) + " " + args + " 2>" + errFile.string();
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class CliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char name[] = "/tmp/qvtk_cli_test_XXXXXX";
        g_dir = dir_ = mkdtemp(name);
        sim::RideOptions options;
        options.seed = 5;
        options.laps = 1;
        const sim::SimCourse course = sim::MakeCourse(options.seed);
        const sim::SimRide ride = sim::SimulateRide(course, options);
        WriteFile(dir_ / "ride.qvd", sim::WriteFamily3(ride, 2));
        WriteFile(dir_ / "ride3.qvd", sim::WriteFamily3(ride, 3));
        WriteFile(dir_ / "vorela.crs", sim::WriteCourseLayout(course));
        std::vector<uint8_t> bad(2048, 0);
        bad[0] = '3';
        bad[15] = 7; // no such version
        WriteFile(dir_ / "bad.qvd", bad);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    static std::string Path(const char* name) { return (dir_ / name).string(); }
    static std::string Dir() { return " --dir " + dir_.string(); }
    static inline fs::path dir_;
};

TEST_F(CliTest, InspectReportsTheLoadAsJsonAndTheExitCode) {
    CliRun ok = Cli("inspect " + Path("ride.qvd") + Dir() + " --json");
    EXPECT_EQ(ok.status, 0);
    for (const char* member :
         {"\"path\":",
          "\"slot\":0",
          "\"loaded\":true",
          "\"kind\":1",
          "\"logVersion\":2",
          "\"sampleCount\":",
          "\"sampleRateFactor\":1",
          "\"lapDivisor\":1",
          "\"lapMarkCount\":",
          "\"lapMarks\":[0,",
          "\"lapDistances\":[",
          "\"firmware\":",
          "\"memo\":",
          "\"header\":{",
          "\"neDivisor\":2",
          "\"inputTypes\":[0,0,1,1]",
          "\"gearThresholds\":[",
          "\"lapThreshold\":",
          "\"channels\":[{\"column\":0,\"name\":\"Ne\",\"unit\":\"rpm\",\"code\":3,\"kind\":1",
          "\"channelIndexByCode\":{\"1\":8,\"3\":0,",
          "\"messages\":[]"})
        EXPECT_NE(ok.out.find(member), std::string::npos) << member;

    CliRun rejected = Cli("inspect " + Path("bad.qvd") + Dir() + " --json");
    EXPECT_EQ(rejected.status, 2);
    EXPECT_NE(rejected.out.find("\"loaded\":false"), std::string::npos);
    EXPECT_NE(rejected.out.find("{\"caption\":\"File Error!!\",\"text\":\"File Error.\"}"),
              std::string::npos);
    EXPECT_EQ(rejected.err, "File Error!!: File Error.\n");

    CliRun unsupported = Cli("inspect " + Path("vorela.crs") + Dir());
    EXPECT_EQ(unsupported.status, 2);
    EXPECT_EQ(unsupported.err, "File Error: Not support File Type\n");

    EXPECT_EQ(Cli("inspect").status, 1);
    EXPECT_EQ(Cli("inspect " + Path("ride.qvd") + " --slot 3").status, 1);
    EXPECT_EQ(Cli("inspect " + Path("ride.qvd") + " --set NoSuchKey=1").status, 1);
}

TEST_F(CliTest, SettingsFromTheCommandLineReachTheLoader) {
    // Debug mode adds the reduction ratio as column 14.
    CliRun normal = Cli("inspect " + Path("ride.qvd") + Dir() + " --json");
    CliRun debug = Cli("inspect " + Path("ride.qvd") + Dir() + " --json --set Debug=1");
    EXPECT_EQ(normal.out.find("\"name\":\"ReducRat\""), std::string::npos);
    EXPECT_NE(debug.out.find("\"column\":14,\"name\":\"ReducRat\""), std::string::npos);
    // A value is read as the settings file reads it: "0x1" is 1.
    CliRun hex = Cli("inspect " + Path("ride.qvd") + Dir() + " --json --set Debug=0x1");
    EXPECT_NE(hex.out.find("\"name\":\"ReducRat\""), std::string::npos);
}

TEST_F(CliTest, SamplesPrintsTheStoredIntegersOfTheAskedRange) {
    CliRun r = Cli("samples " + Path("ride.qvd") + Dir() +
                   " --columns 0,2-3 --from 1000 --to 1002 --distance --gps --marks");
    ASSERT_EQ(r.status, 0);
    std::istringstream lines(r.out);
    std::string header, line;
    std::getline(lines, header);
    EXPECT_EQ(header, "sample,c0,c2,c3,dsel,dfront,drear,gpsStatus,lon,lat,gpsExtra,mark");
    int rows = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line.rfind(std::to_string(1000 + rows) + ",", 0), 0u) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 11) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(Cli("samples " + Path("ride.qvd") + " --columns 0,99").status, 1);
    EXPECT_EQ(Cli("samples " + Path("ride.qvd")).status, 1);
}

TEST_F(CliTest, FileTwoIsLoadedAfterItsBase) {
    CliRun r = Cli("inspect " + Path("ride3.qvd") + " --slot 1 --base " + Path("ride.qvd") + Dir() +
                   " --json");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\"slot\":1"), std::string::npos);
    EXPECT_NE(r.out.find("\"logVersion\":3"), std::string::npos);
}

TEST_F(CliTest, LapsFollowTheCourseAndPrintTheTimes) {
    CliRun r = Cli("laps " + Path("ride.qvd") + Dir() + " --json");
    ASSERT_EQ(r.status, 0);
    for (const char* member :
         {"\"marksPerLap\":1", "\"lapMarkCount\":3", "\"laps\":[{\"k\":0,\"startSample\":0,",
          "\"checked\":false", "\"checked\":true", "\"sectorSamples\":[", "\"sectorTimes\":[",
          "\"bestLap\":1", "\"secondBestLap\":null", "\"bestSectorLap\":[", "\"idealTime\":",
          "\"averageLapTime\":", "\"runDistanceKm\":", "\"sectors\":[0,", "\"messages\":[]"})
        EXPECT_NE(r.out.find(member), std::string::npos) << member;
    // Without the course file the program says so, and still times the laps.
    CliRun noCourse = Cli("laps " + Path("ride.qvd") + " --dir / --json");
    EXPECT_EQ(noCourse.status, 0);
    EXPECT_NE(noCourse.err.find("QVTK: Not Found Course Layout File !"), std::string::npos);
    EXPECT_EQ(Cli("laps " + Path("ride.qvd") + " --marks-per-lap 4").status, 1);
}

TEST_F(CliTest, LapStatsOfColumnsAgreeWithTheSamplesWithTheEngineRunning) {
    CliRun r = Cli("laps " + Path("ride.qvd") + Dir() + " --columns 0,1,40 --json");
    ASSERT_EQ(r.status, 0);
    std::smatch m;
    const std::regex lap1(R"(\{"k":1,"startSample":(\d+),"endSample":(\d+),[^{]*"stats":\[)"
                          R"(\{"column":0,"min":([^,]+),"max":([^,]+),"avg":[^}]+\},)"
                          R"(\{"column":1,"min":([^,]+),"max":([^,]+),"avg":([^}]+)\},)"
                          R"(\{"column":40,"min":0,"max":0,"avg":0\}\])");
    ASSERT_TRUE(std::regex_search(r.out, m, lap1)) << r.out.substr(0, 600);
    const long long from = std::stoll(m[1]), to = std::stoll(m[2]);

    // The same lap from the stored samples: only samples with column 0 above 9000 count.
    CliRun rows = Cli("samples " + Path("ride.qvd") + Dir() + " --columns 0,1 --from " +
                      std::to_string(from) + " --to " + std::to_string(to));
    ASSERT_EQ(rows.status, 0);
    std::istringstream lines(rows.out);
    std::string line;
    std::getline(lines, line);
    long long ne, v, n = 0, sum = 0, neMin = LLONG_MAX, neMax = LLONG_MIN, lo = LLONG_MAX,
                     hi = LLONG_MIN;
    char comma;
    while (std::getline(lines, line)) {
        long long sample;
        std::istringstream(line) >> sample >> comma >> ne >> comma >> v;
        if (ne <= 9000) continue;
        neMin = std::min(neMin, ne), neMax = std::max(neMax, ne);
        lo = std::min(lo, v), hi = std::max(hi, v);
        sum += v, ++n;
    }
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::stod(m[3]), double(neMin));
    EXPECT_EQ(std::stod(m[4]), double(neMax));
    EXPECT_EQ(std::stod(m[5]), double(lo));
    EXPECT_EQ(std::stod(m[6]), double(hi));
    EXPECT_NEAR(std::stod(m[7]), double(sum) / double(n), 1e-6);

    CliRun text = Cli("laps " + Path("ride.qvd") + Dir() + " --columns 1");
    EXPECT_NE(text.out.find("       c1  min "), std::string::npos);
    EXPECT_EQ(Cli("laps " + Path("ride.qvd") + Dir() + " --columns 1,64").status, 1);
}

TEST_F(CliTest, RenderWritesTheGraphViewAsAPicture) {
    const std::string out = (dir_ / "view.png").string();
    CliRun run = Cli("render " + Path("ride.qvd") + " " + Path("ride3.qvd") + Dir() + " --out " +
                     out + " --width 400 --height 300 --compression 20 --frames 3");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("frames 3 median-ms "), std::string::npos) << run.err;
    std::ifstream png(out, std::ios::binary);
    std::string head(24, '\0');
    png.read(head.data(), 24);
    ASSERT_EQ(head.substr(1, 3), "PNG");
    auto be32 = [&](size_t at) {
        return (uint8_t(head[at]) << 24) | (uint8_t(head[at + 1]) << 16) |
               (uint8_t(head[at + 2]) << 8) | uint8_t(head[at + 3]);
    };
    EXPECT_EQ(be32(16), 400); // width and height of the header chunk
    EXPECT_EQ(be32(20), 300);

    EXPECT_EQ(Cli("render " + Path("ride.qvd") + Dir()).status, 1); // no --out
    EXPECT_EQ(Cli("render " + Path("ride.qvd") + " --out x.png --compression 0").status, 1);
    EXPECT_EQ(Cli("render " + Path("bad.qvd") + Dir() + " --out " + out).status, 2);
}

TEST_F(CliTest, RenderMapWritesTheCourseMapPicture) {
    const std::string out = (dir_ / "map.png").string();
    CliRun run = Cli("render " + Path("ride.qvd") + Dir() +
                     " --view map --lap 1 --color-channel 1" + " --out " + out);
    ASSERT_EQ(run.status, 0) << run.err;
    QImage map(QString::fromStdString(out));
    ASSERT_EQ(map.size(), QSize(512, 512));
    int coloured = 0; // course points in palette colours, not the plain marker grey
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            QRgb c = map.pixel(x, y);
            coloured += std::max({qRed(c), qGreen(c), qBlue(c)}) -
                            std::min({qRed(c), qGreen(c), qBlue(c)}) >
                        100;
        }
    EXPECT_GT(coloured, 1000);
    EXPECT_NE(Cli("render " + Path("ride.qvd") + Dir() + " --view map --lap 9 --out " + out)
                  .err.find("has no lap 9"),
              std::string::npos);
    EXPECT_EQ(
        Cli("render " + Path("ride.qvd") + " --view map --color-channel 64 --out " + out).status,
        1);
    // Without a course file and without GPS there is nothing to draw.
    CliRun none = Cli("render " + Path("ride.qvd") + " --dir / --view map --out " + out);
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
}

} // namespace
