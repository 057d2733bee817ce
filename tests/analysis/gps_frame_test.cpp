// Framing File 1's GPS track on the course map and projecting fixes.
#include "tests/analysis/lap_fixture.h"

namespace qvtk::test {
namespace {

class GpsFrameTest : public LapFixture {
protected:
    // Sample 0 holds no fix; the fixes follow with status 3.
    static void Fixes(std::initializer_list<GpsFix> fixes) {
        Slot& s = Recording(0, int32_t(fixes.size()) + 1);
        s.gps.lon[0] = 999999, s.gps.lat[0] = -999999;
        int i = 1;
        for (GpsFix f : fixes) s.gps.lon[i] = f.lon, s.gps.lat[i] = f.lat, s.gps.status[i++] = 3;
    }
    static std::vector<int32_t> Pixel(int32_t lon, int32_t lat) {
        MapPixel p = ProjectGpsFix(g_gpsFrame, lon, lat);
        return {p.x, p.y, p.inside};
    }
};

TEST_F(GpsFrameTest, TrackIsCentredNorthUp) {
    Fixes({{1000, 2000}, {3000, 2500}, {2000, 1000}});
    ASSERT_TRUE(PrepareGpsFrame());
    const GpsFrame& f = g_gpsFrame;
    EXPECT_EQ((std::vector<int32_t>{f.lonMin, f.nlatMin, f.nlatMax, f.halfX, f.halfY}),
              (std::vector<int32_t>{1000, -2500, -1000, 1000, 750}));
    EXPECT_FLOAT_EQ(f.scale, 497.0f / 2000.0f);
    EXPECT_EQ(Pixel(2000, 1000), (std::vector<int32_t>{256, 442, 1}));
    EXPECT_EQ(Pixel(3000, 2500), (std::vector<int32_t>{504, 70, 1}));
    EXPECT_EQ(Pixel(1000, 2000), (std::vector<int32_t>{8, 194, 1}));
    EXPECT_EQ(Pixel(9000, 2500)[2], 0);
    GpsFix back = GpsFixFromPixel(f, 256, 442);
    EXPECT_NEAR(back.lon, 2000, 4);
    EXPECT_NEAR(back.lat, 1000, 4);
}

TEST_F(GpsFrameTest, LongitudeShrinksWithTheLatitude) {
    const int32_t north60 = 360000000; // 60 degrees: cos = 0.5
    Fixes({{0, north60}, {4000, north60}, {2000, north60 + 2000}});
    ASSERT_TRUE(PrepareGpsFrame());
    EXPECT_EQ(Pixel(4000, north60), (std::vector<int32_t>{380, 380, 1}));
    EXPECT_EQ(Pixel(0, north60 + 2000), (std::vector<int32_t>{132, 132, 1}));
}

TEST_F(GpsFrameTest, FewFixesGiveAUsableFrame) {
    Fixes({});
    EXPECT_FALSE(PrepareGpsFrame());
    EXPECT_FLOAT_EQ(g_gpsFrame.scale, 497.0f);
    Fixes({{500, 500}});
    EXPECT_TRUE(PrepareGpsFrame());
    EXPECT_EQ(Pixel(500, 500), (std::vector<int32_t>{256, 256, 1}));
}

} // namespace
} // namespace qvtk::test
