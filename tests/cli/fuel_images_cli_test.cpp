// qvtk-cli fuel on recordings that log the injector channel, and the course-map pictures of
// render --images: each coloured by its own channel, and a save that fails.
#include <QImage>
#include <fstream>
#include <iterator>

#include "tests/cli/cli_run.h"
#include "tests/data/family4_fixture.h"
#include "tools/sim/course_writer.h"
#include "tools/sim/family3_writer.h"

namespace qvtk::test {
namespace {

namespace fs = std::filesystem;

class FuelImagesCliTest : public ::testing::Test {
protected:
    void SetUp() override { dir_ = MakeTempDir(); }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        const fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path.string();
    }
    CliRun Cli(const std::string& args) const {
        return RunCli(args + " --dir " + dir_.string(), dir_ / "stderr.txt");
    }
    std::string Picture(const std::string& base, const char* suffix) const {
        return ReadWholeFile((dir_ / (base + suffix + ".bmp")).string());
    }
    fs::path dir_;
};

// VFW, the lap marker (a mark at 601) when `laps`, and "F_TMFLCN" in `column` pulsing high for
// one sample at each of `pulses`; the recording ends at sample 1300.
Family4File WithInjector(int column, const std::vector<int>& pulses, bool laps) {
    Family4File f;
    f.Channel(0, {.code = 6, .name = "VFW"}).Set(34, 1);
    if (laps) f.Channel(1, {.code = 1, .conversion = 2, .calA = 7});
    f.Channel(column, {.code = 200, .name = "F_TMFLCN"});
    f.Group({Value(0, 36), Value(1, 0x1236), Value(column, 0)});
    bool marked = !laps;
    for (int p : pulses) {
        if (!marked && p > 601) {
            f.RepeatTo(601).Group({Value(1, 1)});
            marked = true;
        }
        f.RepeatTo(p).Group({Value(column, 1)}).Group({Value(column, 0)});
    }
    return f.RepeatTo(1300);
}

TEST_F(FuelImagesCliTest, FuelCountsEachFilesInjectorPulsesPerLap) {
    // Pulses before the lap-marker mark are lap 0; File 2 has no lap marks.
    const std::string one = Write("one.qvd", WithInjector(2, {100, 200, 700}, true).bytes());
    const std::string two = Write("two.qvd", WithInjector(4, {300}, false).bytes());
    const CliRun run = Cli("fuel " + one + " " + two);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "              File1     :    File2\n\n"
                       "total -    30 cc  :     10 cc\n\n"
                       "lap 0  -    20 cc  :    10 cc\n"
                       "lap 1  -    10 cc  :     0 cc\n");
}

TEST_F(FuelImagesCliTest, EachCourseMapPictureFollowsItsOwnChannel) {
    Write("vorela.crs", sim::WriteCourseLayout(sim::MakeCourse(5)));
    sim::SimRide ride = SimulatedRide(5, 1);
    const std::string plain = Write("a/ride.qvd", sim::WriteFamily3(ride, 2));
    for (size_t i = 0; i < ride.rpm.size(); ++i)
        if (i / 400 % 2) ride.rpm[i] = 3000; // only the engine speed differs
    Write("b/ride.qvd", sim::WriteFamily3(ride, 2));
    for (const char* folder : {"a", "b"}) {
        const std::string file = (dir_ / folder / "ride.qvd").string();
        const CliRun run = Cli("render " + file + " --view map --lap 1 --images " +
                               (dir_ / folder / "course.bmp").string());
        ASSERT_EQ(run.status, 0) << run.err;
    }
    EXPECT_NE(Picture("a/course", "_ne"), Picture("b/course", "_ne"));
    for (const char* suffix : {"_th", "_vfw", "_fsus", "_rsus"}) {
        EXPECT_EQ(Picture("a/course", suffix).substr(0, 2), "BM") << suffix;
        EXPECT_EQ(Picture("a/course", suffix), Picture("b/course", suffix)) << suffix;
    }

    // The name of the pictures is their title, drawn in the top right corner and only there.
    ASSERT_EQ(
        Cli("render " + plain + " --view map --lap 1 --images " + (dir_ / "a/renamed.bmp").string())
            .status,
        0);
    const QImage before((dir_ / "a/course_ne.bmp").c_str()),
        after((dir_ / "a/renamed_ne.bmp").c_str());
    ASSERT_EQ(before.size(), after.size());
    QRect changed;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            if (before.pixel(x, y) != after.pixel(x, y)) changed |= QRect(x, y, 1, 1);
    EXPECT_FALSE(changed.isEmpty());
    EXPECT_GE(changed.left(), before.width() / 2);
    EXPECT_LT(changed.bottom(), 40);

    // A folder that does not exist: the first picture fails, and so does the command.
    const CliRun failed =
        Cli("render " + plain + " --view map --images " + (dir_ / "no/such/c.bmp").string());
    EXPECT_EQ(failed.status, 3);
    EXPECT_NE(failed.err.find("Error !!: failed to save !!"), std::string::npos) << failed.err;
    EXPECT_EQ(failed.err.find("Course Map is saved."), std::string::npos) << failed.err;
}

} // namespace
} // namespace qvtk::test
