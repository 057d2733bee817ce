// Laps compared where they happen: simulated riders with known differences (slower in chosen
// corners, or uniformly slower) against the same rider at his best, the distance base by
// GPS and by the running distance, and laps that measure different lengths.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <map>

#include "analysis/course_layout.h"
#include "analysis/lap_compare.h"
#include "analysis/lap_statistics.h"
#include "tests/analysis/compare_rides.h"
#include "tests/analysis/lap_fixture.h"
#include "tests/cli/cli_run.h"
#include "tools/sim/course_ini.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/family4_writer.h"
#include "tools/sim/gps_track.h"

namespace qvtk::test {
namespace {

// The slip a ride truly lost against the best one over a stretch of the reference lap.
double TrueLoss(const LapComparison& c, const sim::SimRide& slow, double from, double to) {
    const double k = Course().length / c.length;
    auto lost = [&](const sim::SimRide& r, const LapRef& lap, double d) {
        return TrueTime(r, LapStart(lap), LapEnd(lap), d * k);
    };
    const sim::SimRide& best = Ride(kBest);
    return (lost(slow, c.compared, to) - lost(slow, c.compared, from)) -
           (lost(best, c.reference, to) - lost(best, c.reference, from));
}

class LapCompare : public LapFixture {
protected:
    LapComparison LoadPair(Variant v, bool gps = false) {
        auto bytes = [&](const sim::SimRide& r) {
            sim::Family4Options o;
            o.gpsLaps = true;
            return gps ? sim::WriteFamily4(r, o) : sim::WriteFamily3(r, 2);
        };
        if (gps) {
            WriteFile("gps_p.ini", sim::WriteGpsLineIni(
                                       "vorela", sim::StartFinishLine(sim::GeoOrigin{}, Course())));
            LoadControlLine();
        }
        Load(0, "best.qvd", bytes(Ride(kBest)));
        Load(1, "other.qvd", bytes(Ride(v)));
        for (FileSlot s = 0; s < kSlotCount; ++s) ResetLapChecks(s);
        ComputeLapStatistics();
        const LapRef ref = FastestLapOf(0);
        UpdateLapDistances(ref);
        return CompareLaps(ref, FastestLapOf(1), 0.05);
    }
};

// By the running distance and by GPS fixes (whose scatter must not make zones of its own).
TEST_F(LapCompare, SlowCornersAreTheZonesWithTheTimeTheyLost) {
    for (bool gps : {false, true}) {
        SCOPED_TRACE(gps ? "gps" : "running");
        const LapComparison c = LoadPair(kSlowCorners, gps);
        ASSERT_EQ(c.comparedBase, gps ? DistanceBase::kGps : DistanceBase::kRunning);
        ASSERT_GE(c.zones.size(), 2u);
        EXPECT_NEAR(c.slip.back(), c.comparedSeconds - c.referenceSeconds, 1e-9);
        const double k = c.length / Course().length;
        for (double corner : SlowedCorners()) {
            SCOPED_TRACE(corner);
            const auto zone =
                std::find_if(c.zones.begin(), c.zones.begin() + 2, [&](const SlipZone& z) {
                    return z.from <= corner * k && corner * k <= z.to;
                });
            ASSERT_NE(zone, c.zones.begin() + 2) << "no zone of the two largest holds the corner";
            EXPECT_NEAR(zone->timeLost, TrueLoss(c, Ride(kSlowCorners), zone->from, zone->to),
                        0.020);
            EXPECT_GT(zone->timeLost, 0.08);
            // What differed: through the apex slower, on the brakes later.
            ASSERT_TRUE(zone->lowestSpeed.known);
            EXPECT_LT(zone->lowestSpeed.compared, zone->lowestSpeed.reference * 0.92);
            ASSERT_TRUE(zone->brakingPoint.known);
            EXPECT_GT(zone->brakingPoint.compared, zone->brakingPoint.reference + 5);
            EXPECT_TRUE(zone->apexGear.known && zone->exitEngineSpeed.known);
        }
        // Braking later gains a little on the approach; nowhere else do the rides differ.
        for (size_t z = 2; z < c.zones.size(); ++z)
            EXPECT_TRUE(std::any_of(SlowedCorners().begin(), SlowedCorners().end(),
                                    [&](double at) {
                                        return c.zones[z].from >= at * k - 250 &&
                                               c.zones[z].to <= at * k && c.zones[z].timeLost < 0;
                                    }))
                << "a zone where the rides do not differ: " << c.zones[z].from << " - "
                << c.zones[z].to << " m, " << c.zones[z].timeLost << " s";
    }
}

TEST_F(LapCompare, UniformlySlowerRiderLosesSteadilyWithNoZoneStandingOut) {
    const LapComparison c = LoadPair(kUniform);
    // Speed scaled by the root of the pace everywhere: the slip is a fixed share of the time.
    const double share = 1 / std::sqrt(kUniformPace) - 1;
    EXPECT_NEAR(c.slip.back(), c.comparedSeconds - c.referenceSeconds, 1e-9);
    EXPECT_NEAR(c.slip.back(), c.referenceSeconds * share, 0.05);
    std::vector<double> times(c.slip.size()), grid(c.slip.size());
    for (size_t g = 0; g < grid.size(); ++g) grid[g] = std::min(g * kSlipGridStep, c.length);
    TimesAtDistances(MakeLapTrace(c.reference, c.length), grid.data(), int(grid.size()),
                     times.data());
    for (size_t g = 0; g < grid.size(); g += 10) {
        ASSERT_NEAR(c.slip[g], times[g] * share, 0.03) << grid[g] << " m";
        if (g >= 10) ASSERT_GE(c.slip[g], c.slip[g - 10] - 0.005) << grid[g] << " m";
    }
    // Every corner loses its share of its time, none more.
    ASSERT_GE(c.zones.size(), 3u);
    for (const SlipZone& z : c.zones) {
        const double took = times[size_t(std::lround(z.to / kSlipGridStep))] -
                            times[size_t(std::lround(z.from / kSlipGridStep))];
        EXPECT_NEAR(z.timeLost / took, share, share * 0.3) << z.from << " - " << z.to << " m";
    }
}

TEST_F(LapCompare, GpsFixesMeasureTheLapAlongTheReferenceLapsPath) {
    const LapComparison c = LoadPair(kUniform, true);
    EXPECT_EQ(c.referenceBase, DistanceBase::kGps);
    EXPECT_EQ(c.comparedBase, DistanceBase::kGps);
    EXPECT_NEAR(c.length, Course().length, Course().length * 0.005);
    // Where the compared rider truly was, against the distance the fixes gave.
    const sim::SimRide& ride = Ride(kUniform);
    const int32_t from = LapStart(c.compared), to = LapEnd(c.compared);
    for (int32_t i = from + 200; i < to - 200; i += 997) {
        const double measured = AlignedDistance(c.compared, i, c.length);
        EXPECT_NEAR(measured * Course().length / c.length, ride.distance[size_t(i)], 3.0) << i;
    }
    EXPECT_NEAR(c.slip.back(), c.referenceSeconds * (1 / std::sqrt(kUniformPace) - 1), 0.05);
    // Without a line that places the fixes, each lap measures itself by its running distance.
    g_session.courseKnown = false;
    for (Slot& s : g_session.slots) s.controlLine = ControlLine();
    UpdateLapDistances(c.reference);
    EXPECT_EQ(LapDistanceBase(c.reference), DistanceBase::kRunning);
    EXPECT_NEAR(LapLengthMetres(c.reference), SegmentDistance(0, c.reference.lap + 1) / 7200.0,
                0.01);
}

TEST_F(LapCompare, CompareCommandGivesTheSlipAndTheZonesOfTheSlowCorners) {
    const LapComparison c = LoadPair(kSlowCorners);
    WriteFile("best.qvd", sim::WriteFamily3(Ride(kBest), 2));
    WriteFile("slow.qvd", sim::WriteFamily3(Ride(kSlowCorners), 2));
    auto run = [&](const std::string& args) {
        return RunCli("compare " + args + " --dir " + dir_, dir_ + "/err.txt", dir_);
    };
    const CliRun json = run("best.qvd slow.qvd --step 50 --json");
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json.out)).object();
    const QJsonObject ref = o["reference"].toObject(), cmp = o["compared"].toObject();
    EXPECT_EQ(ref["lap"].toInt(), c.reference.lap);
    EXPECT_EQ(cmp["lap"].toInt(), c.compared.lap);
    EXPECT_EQ(cmp["file"].toString(), "slow.qvd");
    EXPECT_NEAR(o["finalSlip"].toDouble(), cmp["seconds"].toDouble() - ref["seconds"].toDouble(),
                0.0015);
    const QJsonArray slip = o["slip"].toArray();
    ASSERT_EQ(slip.size(), qsizetype(std::ceil(c.length / 50)));
    for (qsizetype i = 0; i < slip.size(); ++i) {
        const QJsonObject at = slip[i].toObject();
        ASSERT_EQ(at["distance"].toDouble(), 50.0 * double(i));
        ASSERT_NEAR(at["slip"].toDouble(), c.slip[size_t(50 * i)], 0.0006) << 50 * i << " m";
    }
    // The two largest zones are the slowed corners, with what the rider truly lost there.
    const QJsonArray zones = o["zones"].toArray();
    ASSERT_GE(zones.size(), 2);
    const double k = c.length / Course().length;
    for (qsizetype z = 0; z < 2; ++z) {
        const QJsonObject zone = zones[z].toObject();
        const double from = zone["from"].toDouble(), to = zone["to"].toDouble();
        EXPECT_TRUE(std::any_of(SlowedCorners().begin(), SlowedCorners().end(),
                                [&](double at) { return from <= at * k && at * k <= to; }))
            << from << " - " << to;
        EXPECT_NEAR(zone["timeLost"].toDouble(), TrueLoss(c, Ride(kSlowCorners), from, to), 0.020);
        EXPECT_LT(zone["lowestSpeed"].toObject()["compared"].toDouble(),
                  zone["lowestSpeed"].toObject()["reference"].toDouble());
    }
    // The text gives the same final slip; with one file its two fastest laps are compared.
    const CliRun text = run("best.qvd slow.qvd");
    char line[48];
    std::snprintf(line, sizeof line, "final slip %+.3f s\n", o["finalSlip"].toDouble());
    EXPECT_NE(text.out.find(line), std::string::npos) << text.out;
    const CliRun one = run("best.qvd --json");
    const QJsonObject alone = QJsonDocument::fromJson(QByteArray::fromStdString(one.out)).object();
    EXPECT_EQ(alone["reference"].toObject()["lap"].toInt(), FastestLapOf(0).lap);
    EXPECT_EQ(alone["compared"].toObject()["lap"].toInt(), SecondFastestLapOf(0).lap);
    EXPECT_EQ(alone["compared"].toObject()["file"].toString(), "best.qvd");
    const CliRun bad = run("best.qvd slow.qvd --lap 99");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("File 2 has no lap 99"), std::string::npos) << bad.err;
}

// 3000 samples, laps from 1000 and 2000; the speed varies along the lap.
uint32_t Step(int32_t i) {
    return uint32_t(100 * std::lround(20 + 12 * std::sin((i % 1000) * 0.0125)));
}

TEST_F(LapCompare, LapsOfDifferentMeasuredLengthMeetAtTheLineAndAStopStandsOut) {
    Recording(0, 3000, Step);
    SetMarks(0, {1000, 2000});
    // The same ride on a tyre that reads 3 % long, with a stop of 100 samples at 30 % of the
    // lap (the wheel stands, the clock runs on).
    Slot& two = Recording(1, 3100, [](int32_t i) {
        const int32_t at = i < 1300 ? i : i < 1400 ? -1 : i - 100;
        return at < 0 ? 0u : Step(at) / 100 * 103;
    });
    two.active = true;
    SetMarks(1, {1000, 2100});
    ComputeSegments(0);
    ComputeSegments(1);
    g_courseLayout.pointCount = 100;
    LapStateOf(0).sectors.sec[1] = 25;
    const LapRef ref{0, 1}, cmp{1, 1};
    UpdateLapDistances(ref);
    EXPECT_NEAR(LapLengthMetres(cmp) / LapLengthMetres(ref), 1.03, 1e-6);
    const LapComparison c = CompareLaps(ref, cmp, 0.05);
    ASSERT_EQ(c.zones.size(), 1u);
    const SlipZone& z = c.zones[0];
    EXPECT_NEAR(z.timeLost, 0.5, 0.006);
    EXPECT_NEAR(z.from, AlignedDistance(ref, 1300, c.length), 2.0);
    EXPECT_EQ(z.sector, 2);
    // Before the stop the laps are level, after it the stop is all that lies between them.
    std::vector<double> perSample;
    SlipPerSample(MakeLapTrace(ref, c.length), MakeLapTrace(cmp, c.length), perSample);
    for (int32_t j : {0, 150, 290, 420, 700, 999})
        EXPECT_NEAR(perSample[size_t(j + (j > 300 ? 100 : 0))], j > 300 ? 0.5 : 0.0, 0.006) << j;
    EXPECT_NEAR(perSample.back(), 0.5, 1e-9);
}

TEST(SlipZones, BrakingPointsAndStretchesWithTheirHysteresis) {
    //   speed: up to 200, down to 80, a wobble of 5, up to 150, down to 60
    std::vector<double> speed;
    for (int i = 0; i <= 100; ++i) speed.push_back(100 + i);
    for (int i = 0; i < 120; ++i) speed.push_back(200 - i);
    for (int i = 0; i < 5; ++i) speed.push_back(80 + i);
    for (int i = 0; i < 5; ++i) speed.push_back(85 - i);
    for (int i = 0; i < 70; ++i) speed.push_back(80 + i);
    for (int i = 0; i < 90; ++i) speed.push_back(150 - i);
    EXPECT_EQ(BrakingPoints(speed, 10), (std::vector<int32_t>{100, 301}));
    struct Case {
        std::vector<double> slip;
        double hysteresis;
        std::vector<std::pair<int32_t, int32_t>> legs;
    } cases[] = {
        {{0, 0.02, 0.05, 0.04, 0.08, 0.08}, 0.02, {{0, 4}}},            // a dip within the noise
        {{0, 0.05, 0.10, 0.06, 0.02, 0.03}, 0.02, {{0, 2}, {2, 4}}},    // up, then down
        {{0, -0.01, -0.06, -0.02, 0.05, 0.05}, 0.02, {{0, 2}, {2, 4}}}, // down first
    };
    for (const Case& t : cases) {
        std::vector<std::pair<int32_t, int32_t>> got;
        for (const SlipLeg& leg : SlipLegs(t.slip, {0, int32_t(t.slip.size()) - 1}, t.hysteresis))
            got.push_back({leg.from, leg.to});
        EXPECT_EQ(got, t.legs);
    }
}

} // namespace
} // namespace qvtk::test
