// Course points against samples, picking a point on the map, and editing sector boundaries.
#include "analysis/course_points.h"
#include "tests/analysis/lap_fixture.h"

namespace qvtk::test {
namespace {

using V = std::vector<int32_t>;
constexpr int32_t U = kSectorUnset;

class CoursePointsTest : public LapFixture {
protected:
    static bool Click(int point, const CourseMapView& view = {}) {
        // 2500 points on a 50 x 50 grid, 10 map units (9.6 pixels) apart.
        CourseLayout& c = g_courseLayout;
        c.pointCount = 2500;
        for (int i = 0; i <= 2500; ++i) {
            c.pointX[i] = float(i % 2500 % 50 * 10 - 250);
            c.pointY[i] = float(i % 2500 / 50 * 10 - 250);
        }
        return EditSectorBoundary(c.pointX[point] * 0.96f + 256, c.pointY[point] * 0.96f + 256,
                                  view);
    }
    static V Sec(FileSlot slot) { return Row(LapStateOf(slot).sectors.sec, 8); }
    static void SetSec(V v) { std::copy(v.begin(), v.end(), LapStateOf(0).sectors.sec); }
};

TEST_F(CoursePointsTest, CoursePointIsReachedAtItsShareOfTheLap) {
    Recording(0, 100);
    SetMarks(0, {40, 80}); // laps of 400 distance units
    ComputeSegments(0);
    g_courseLayout.pointCount = 10;
    EXPECT_EQ(CoursePointToSample(5, 0, 2, {}), 60);
    EXPECT_EQ(CoursePointToSample(0, 0, 2, {}), 40);
    EXPECT_EQ(CoursePointToSample(10, 0, 2, {}), 10);   // never reached: p itself
    EXPECT_EQ(CoursePointToSample(150, 0, 0, {}), 100); // no lap selected
    EXPECT_EQ(CoursePointToSample(-3, 0, 0, {}), 0);
    EXPECT_EQ(CoursePointToSample(12345, 0, 2, {1.0f, 0, 0, true}), 12345);
    SetMarks(0, {20, 40, 60, 80});
    SetMarksPerLap(0, 2); // segment 4 is the second half of the lap 40 .. 80
    ComputeSegments(0);
    EXPECT_EQ(CoursePointToSample(5, 0, 4, {}), 60);
    EXPECT_EQ(CoursePointToSample(3, 0, 3, {}), 52);
}

// The coloured map asks for every point at once: the same samples as one by one, for laps of
// one and of two marks, uneven distances and points the lap never reaches.
TEST_F(CoursePointsTest, AllPointsAtOnceMatchThePointsOneByOne) {
    Recording(0, 300, [](int32_t i) { return uint32_t(i % 7 == 0 ? 0 : i % 5 + 1); });
    for (int m : {1, 2}) {
        SetMarks(0, {40, 90, 150, 230});
        SetMarksPerLap(0, m);
        ComputeSegments(0);
        for (int32_t pointCount : {7, 40, 400}) {
            g_courseLayout.pointCount = pointCount;
            for (int32_t lap : {0, 1, 2, 3, 4, 5}) {
                std::vector<int32_t> all(size_t(pointCount + 30));
                CoursePointsToSamples(0, lap, int32_t(all.size()), all.data());
                for (int32_t p = 0; p < int32_t(all.size()); ++p)
                    ASSERT_EQ(all[size_t(p)], CoursePointToSample(p, 0, lap, {}))
                        << "marks/lap " << m << " points " << pointCount << " lap " << lap
                        << " point " << p;
            }
        }
    }
}

// A click on the map stays inside the lap shown: the closing point and points past a short
// lap give its last sample, never a sample of another lap.
TEST_F(CoursePointsTest, AClickedPointStaysInTheSelectedLap) {
    Recording(0, 100);
    SetMarks(0, {40, 80});
    ComputeSegments(0);
    g_courseLayout.pointCount = 10;
    EXPECT_EQ(CoursePointToLapSample(5, 0, 2), 60);
    EXPECT_EQ(CoursePointToLapSample(10, 0, 2), 79); // the closing point: the lap's end
    EXPECT_EQ(CoursePointToLapSample(0, 0, 2), 40);
    EXPECT_EQ(CoursePointToLapSample(10, 0, 3), 99); // the in lap ends with the recording
}

TEST_F(CoursePointsTest, NearestPointWithinThePickRadius) {
    CourseLayout& c = g_courseLayout;
    c.pointCount = 3;
    c.pointX[1] = c.pointY[2] = 100; // pixels (352, 256) and (256, 352); 0 and 3 at (256, 256)
    EXPECT_EQ(NearestCoursePoint(350, 258, {}), 1);
    EXPECT_EQ(NearestCoursePoint(256.5f, 256, {}), 3); // point 0 is found as its copy
    EXPECT_EQ(NearestCoursePoint(300, 300, {}), -1);
    EXPECT_EQ(NearestCoursePoint(734, 532, {2.0f, 10.0f, 20.0f, false}), 1);  // 20 < 30
    EXPECT_EQ(NearestCoursePoint(382, 276, {1.0f, 10.0f, 20.0f, false}), -1); // 20 > 15
}

TEST_F(CoursePointsTest, ClicksInsertAndRemoveBoundaries) {
    EXPECT_FALSE(Click(40)); // too close to the start
    EXPECT_TRUE(Click(500) && Click(1000) && Click(300));
    EXPECT_EQ(Sec(0), (V{0, 300, 500, 1000, U, U, U, U}));
    EXPECT_TRUE(Click(560)); // 60 points away: a new boundary
    EXPECT_TRUE(Click(559)); // within 60 of 560 (searched from the top): removed
    EXPECT_TRUE(Click(530));
    EXPECT_EQ(Sec(0), (V{0, 300, 1000, U, U, U, U, U}));
    EXPECT_EQ(Sec(1), Sec(0));
    EXPECT_EQ(Sec(2)[1], U); // File 3 keeps its own
    SetSec({0, 100, 200, 300, 400, 500, 600, U});
    EXPECT_TRUE(Click(1000)); // at most six boundaries: 600 drops out
    EXPECT_EQ(Sec(0), (V{0, 100, 200, 300, 400, 500, 1000, U}));

    SetSec({0, 55, U, U, U, U, U, U});
    EXPECT_FALSE(EditSectorBoundary(0, 0, {})); // off the course
    EXPECT_FALSE(Click(700, {1.0f, 0, 0, true}));
    SetMarksPerLap(0, 2);
    const V marks = Sec(0);
    EXPECT_FALSE(Click(700));
    EXPECT_EQ(Sec(0), marks);
}

} // namespace
} // namespace qvtk::test
