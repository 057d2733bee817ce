// The sub view: the gear read from engine and wheel speed, the elements kept on the screen and
// moved and scaled by the mouse.
#include "viewer/sub_view.h"

#include "data/channel_codes.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "tests/golden_support.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "tools/sim/course.h"
#include "tools/sim/family3_writer.h"
#include "tools/sim/ride.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

class SubViewTest : public ProgramTest {
protected:
    void SetUp() override {
        GuiApp();
        ProgramTest::SetUp();
        ResetViewState();
        ResetViewerResources();
        ASSERT_EQ(RenderOpenOffscreen(800, 600), 0);
    }
    void TearDown() override {
        RenderClose();
        ProgramTest::TearDown();
    }
    // File 1 with engine speed and rear wheel speed at sample 0, and the default gearbox.
    static void Riding(double rpm, double kmh) {
        Slot& s = SlotOf(0);
        s.channelFlags[0] = s.channelFlags[1] = kChannelPresent | kChannelShown;
        ASSERT_TRUE(AllocateSlotBuffers(0, 10));
        s.active = true;
        s.sampleCount = 10;
        s.channels[0].kind = s.channels[1].kind = 1;
        s.channels[0].code = kCodeNe;
        s.channels[1].code = kCodeVRW;
        s.samples[0][0] = int32_t(rpm * 1000);
        s.samples[1][0] = int32_t(kmh * 1000);
        LogHeader& h = s.header;
        h.tireRear = 2000, h.sprocketFront = 16, h.sprocketRear = 41;
        // Primary 76/36; gears 33/12, 32/16, 30/18, 26/18, 30/23, 29/24 (ratios x 1000).
        const int thresholds[7] = {2111, 5500, 2375, 1833, 1555, 1374, 1256};
        std::copy(thresholds, thresholds + 7, h.gearThresholds);
    }
};

TEST_F(SubViewTest, GearFollowsTheGearboxRatioAtTheCursor) {
    // At 100 km/h the rear wheel turns 833.3 times a minute; through 2.111 and 41/16 the
    // engine turns 4507.8 times per unit of gearbox ratio.
    const double perRatio = 100e6 / 60.0 / 2000.0 * 2.1111 * 41.0 / 16.0;
    const double ratios[6] = {2.75, 2.0, 1.6667, 1.4444, 1.3043, 1.2083};
    for (int gear = 1; gear <= 6; ++gear) {
        Riding(perRatio * ratios[gear - 1], 100.0);
        EXPECT_EQ(GearAt(0, 0), gear);
    }
    Riding(perRatio * 6.0, 100.0); // beyond twice first gear's ratio: the clutch slips
    EXPECT_EQ(GearAt(0, 0), 0);
    Riding(3000, 2.0); // standing
    EXPECT_EQ(GearAt(0, 0), 0);
    Riding(perRatio * 2.0, 100.0);
    SlotOf(0).header.gearThresholds[0] = 0; // a recording without a gearbox
    EXPECT_EQ(GearAt(0, 0), 0);
}

TEST_F(SubViewTest, ElementsStayOnScreenAndFollowTheMouse) {
    Riding(5000, 60);
    g_settings.MC_X = 2560, g_settings.MC_Y = 360, g_settings.MC_Z = 0.5f; // off a small window
    g_settings.Susgram_X = 100; // the histograms elsewhere
    g_settings.Meter_X = 20;    // over the value columns: kept right of them
    EXPECT_FLOAT_EQ(SubElementBox(SubElement::kMeter, 800, 600).cx - 128 * g_settings.Meter_Z,
                    float(GraphAreaLeft()));
    const SubBox body = SubElementBox(SubElement::kBody, 800, 600);
    EXPECT_FLOAT_EQ(body.cx, 800 - 128);
    EXPECT_FLOAT_EQ(body.cy, 360);
    EXPECT_EQ(SubElementAt(800 - 128, 360, 800, 600), SubElement::kBody);
    g_settings.BodyDisplay = 0;
    EXPECT_EQ(SubElementAt(800 - 128, 360, 800, 600), SubElement::kNone);
    g_settings.BodyDisplay = 1;

    // Left drag: the element goes with the mouse from where it was shown.
    GraphFrame f = MakeGraphFrame();
    f.clientWidth = 800, f.clientHeight = 600;
    g_view.MouseX = 700, g_view.MouseY = 350, g_view.MouseButtons = kMouseLeft;
    EXPECT_TRUE(SubViewMouse(f, kMouseLeft));
    g_view.MouseX = 600, g_view.MouseY = 300;
    EXPECT_TRUE(SubViewMouse(f, 0));
    EXPECT_EQ(std::pair(g_settings.MC_X, g_settings.MC_Y), std::pair(572, 310));
    g_view.MouseButtons = 0;
    EXPECT_FALSE(SubViewMouse(f, 0));

    // Right drag upward grows it, never beyond its largest scale.
    g_view.MouseX = 572, g_view.MouseY = 310, g_view.MouseButtons = kMouseRight;
    SubViewMouse(f, kMouseRight);
    g_view.MouseY = -2000;
    for (int pass = 0; pass < 200; ++pass) SubViewMouse(f, 0);
    EXPECT_FLOAT_EQ(g_settings.MC_Z, 1.5f);
    g_view.MouseButtons = 0;
    SubViewMouse(f, 0);
    g_view.MouseX = 10, g_view.MouseY = 10, g_view.MouseButtons = kMouseLeft; // nothing there
    EXPECT_FALSE(SubViewMouse(f, kMouseLeft));
}

// The sub view of a simulated ride a little into its second lap, against a stored picture.
TEST_F(SubViewTest, PictureOfASimulatedRide) {
    Load(0, "golden.qvd", sim::WriteFamily3(SimulatedRide(9, 2), 2));
    ASSERT_TRUE(SlotOf(0).active);
    LoadResources();
    const std::string pictures = std::string(QVTK_SOURCE_DIR) + "/resources/";
    g_res.body = RenderLoadImage(pictures + "Body.BMP");
    g_res.tire = RenderLoadImage(pictures + "TIRE.BMP");
    g_res.meter = RenderLoadImage(pictures + "METER.BMP");
    g_res.needle = RenderLoadImage(pictures + "Needle.BMP");
    ASSERT_GT(g_res.needle, 0);
    // Right of the value and name columns, which the elements leave free.
    g_settings.MC_X = 430, g_settings.MC_Y = 300, g_settings.MC_Z = 0.5f;
    g_settings.Meter_X = 680, g_settings.Meter_Y = 460, g_settings.Meter_Z = 0.9f;
    g_settings.Susgram_X = 680, g_settings.Susgram_Y = 140, g_settings.Susgram_Z = 0.9f;
    g_settings.ExpertMode = 1;
    const Slot& s = SlotOf(0);
    SlotOf(0).cursorPos = int64_t(s.laps.marks[1] + 700) * 100;
    RenderSetTarget(kBackBuffer);
    RenderClearTarget(0xFF000000u);
    DrawSubView(MakeGraphFrame());
    ExpectGolden(*RenderTargetImage(kBackBuffer), "sub_view.png", 20000);
}

} // namespace
} // namespace qvtk::test
