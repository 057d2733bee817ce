// qvtk-cli percentage, simulate, afmap and the tool views of render, run as a user runs them,
// against the same analysis done in this process on the same recordings.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/af_map.h"
#include "analysis/final_simulation.h"
#include "analysis/lap_model.h"
#include "analysis/load_pipeline.h"
#include "analysis/percentage.h"
#include "logger/program.h"
#include "data/settings.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"

namespace qvtk::test {
namespace {

namespace fs = std::filesystem;

struct CliOut {
    int status = -1;
    std::string out;
};

class ToolsCli : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char name[] = "/tmp/qvtk_tools_cli_XXXXXX";
        dir_ = mkdtemp(name);
        for (uint32_t seed : {5u, 6u}) {
            sim::RideOptions options;
            options.seed = seed;
            options.laps = 2;
            const sim::SimRide ride = sim::SimulateRide(sim::MakeCourse(5), options);
            const std::vector<uint8_t> bytes = sim::WriteFamily3(ride, 2);
            std::ofstream(dir_ / ("ride" + std::to_string(seed) + ".qvd"), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        }
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    void SetUp() override { ResetProgram(); }
    void TearDown() override { ResetSession(); }

    static std::string Ride(int seed) {
        return (dir_ / ("ride" + std::to_string(seed) + ".qvd")).string();
    }
    static CliOut Cli(const std::string& args) {
        const std::string command =
            std::string(QVTK_CLI_PATH) + " " + args + " --dir " + dir_.string() + " 2>/dev/null";
        CliOut run;
        FILE* pipe = popen(command.c_str(), "r");
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    // Both rides loaded here as the command loads them, with the lap table's opening checks.
    static void LoadBoth() {
        for (FileSlot slot = 0; slot < 2; ++slot) {
            FileSlot s = slot;
            ASSERT_TRUE(LoadFileIntoSlot(s, Ride(5 + slot)));
        }
        for (FileSlot slot = 0; slot < kSlotCount; ++slot) ResetLapChecks(slot);
    }
    static inline fs::path dir_;
};

TEST_F(ToolsCli, PercentagePrintsBothBoxesByteForByte) {
    LoadBoth();
    const Distribution all = AnalyzeDistribution(2, {0, 120, 10}, false);
    const CliOut run = Cli("percentage " + Ride(5) + " --file2 " + Ride(6) +
                           " --channel FrSUS --min -5 --max 120 --step 10");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, all.text[0] + all.text[1]);
    // Only lap 1 of each file; with the engine speed of a longer rear sprocket.
    for (bool& c : LapStateOf(0).lapChecked) c = false;
    for (bool& c : LapStateOf(1).lapChecked) c = false;
    LapStateOf(0).lapChecked[1] = LapStateOf(1).lapChecked[1] = true;
    OpenFinalSimulation(); // as the dialog would set it
    ChooseSimulatedFront(16 - kSimFrontFirst);
    ChooseSimulatedRear(45 - kSimRearFirst);
    SetSimulatedTyre(3000);
    ASSERT_NE(SlotOf(0).engineSpeedScale, 1.0f);
    const Distribution lap1 = AnalyzeDistribution(0, g_percentage.bands[0], true);
    const CliOut checked = Cli("percentage " + Ride(5) + " --file2 " + Ride(6) +
                               " --channel Ne --scope checked --checked 1 --simulate 16,45,3000");
    EXPECT_NE(lap1.text[0], AnalyzeDistribution(0, g_percentage.bands[0], false).text[0]);
    EXPECT_EQ(checked.out.substr(0, lap1.text[0].size()), lap1.text[0]);
    EXPECT_EQ(Cli("percentage " + Ride(5) + " --channel Speed").status, 1);
}

TEST_F(ToolsCli, SimulateShowsRatiosTheLimitedTyreAndTheScale) {
    const CliOut run = Cli("simulate " + Ride(5) + " --front 15 --rear 45 --tyre 5 --json");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"tyre\":10,"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"simulatedRatio\":\"3.000\""), std::string::npos) << run.out;
    const CliOut text = Cli("simulate " + Ride(5) + " --front 15 --rear 45 --tyre 4000");
    EXPECT_NE(text.out.find("simulated 15/45 ratio 3.000 tyre 3000 mm"), std::string::npos)
        << text.out;
    EXPECT_EQ(Cli("simulate " + Ride(5) + " --front 12 --rear 45 --tyre 1900").status, 1);
    // The lap table's engine speed follows the same simulation.
    auto firstMax = [](const std::string& json) {
        const size_t at = json.find("\"max\":");
        return at == std::string::npos ? 0.0 : std::stod(json.substr(at + 6));
    };
    const double plain = firstMax(Cli("laps " + Ride(5) + " --columns 0 --json").out);
    const double simulated =
        firstMax(Cli("laps " + Ride(5) + " --columns 0 --json --simulate 16,45,2000").out);
    ASSERT_GT(plain, 0);
    EXPECT_NEAR(simulated / plain, 45.0 / 41.0, 1e-4); // recorded 16/41, tyre 2000 mm
}

TEST_F(ToolsCli, AfMapCountsWhatTheViewDraws) {
    LoadBoth();
    g_settings.AFmap_YCH = 1;
    g_settings.AFmap_AFCH = 6;
    g_settings.AFmap_SWCH = 1;
    g_settings.AFmap_SWTHS = 20.0f;
    AfMapOptions o = AfMapOptionsFromSettings();
    o.reversed = true;
    o.windowLow = 1300;
    o.windowWidth = 40;
    const std::string settings =
        " --set AFmap_YCH=1 --set AFmap_AFCH=6 --set AFmap_SWCH=1 --set AFmap_SWTHS=2000";
    const CliOut run = Cli("afmap " + Ride(5) + " " + Ride(6) + settings +
                           " --reverse --window-low 1300 --window-width 40 --json");
    ASSERT_EQ(run.status, 0);
    for (FileSlot slot = 0; slot < 2; ++slot) {
        const AfMapCounts n = WalkAfMap(slot, o, [](int32_t, int32_t, int32_t, AfClass) {});
        ASSERT_GT(n.Total(), 100);
        const std::string panel =
            "\"slot\":" + std::to_string(slot) +
            ",\"loaded\":true,\"drawable\":true,\"under\":" + std::to_string(n.count[kAfUnder]) +
            ",\"inside\":" + std::to_string(n.count[kAfInside]) +
            ",\"over\":" + std::to_string(n.count[kAfOver]);
        EXPECT_NE(run.out.find(panel), std::string::npos) << run.out;
    }
}

TEST_F(ToolsCli, RenderDrawsBothToolViews) {
    for (const char* view : {"afmap", "xy"}) {
        const std::string png = (dir_ / (std::string(view) + ".png")).string();
        const CliOut run = Cli("render " + Ride(5) + " " + Ride(6) + " --view " + view + " --out " +
                               png + " --width 800 --height 600 --set AFmap_YCH=1 --set " +
                               "AFmap_AFCH=6 --set XYPlot_Xch=1 --set XYPlot_Ych=3");
        ASSERT_EQ(run.status, 0) << view;
        const QImage image(QString::fromStdString(png));
        ASSERT_EQ(image.size(), QSize(800, 600)) << view;
        int colored = 0; // the points: saturated colours the background never has
        for (int y = 0; y < 600; y += 2)
            for (int x = 0; x < 800; x += 2) {
                const QColor c = image.pixelColor(x, y);
                colored += c.saturation() > 150 && c.value() > 150;
            }
        EXPECT_GT(colored, 500) << view;
    }
}

} // namespace
} // namespace qvtk::test
