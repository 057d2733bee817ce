// The X-Y plot: its settings dialog (typed values, channels File 1 lacks, the GPS box, OK) and
// the view (where a sample lands, automatic axes, the wheel zoom at the pointer).
#include "viewer/xy_plot_view.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "analysis/xy_plot.h"
#include "data/settings.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/graph_layout.h"
#include "viewer/xy_plot_setting_dialog.h"

namespace qvtk::test {
namespace {

constexpr int kWidth = 900, kHeight = 600;

class XyPlotTest : public ViewerFixture {
protected:
    void SetUp() override {
        ViewerFixture::SetUp();
        OpenViewer(kWidth, kHeight);
        ResetGraphLayouts();
        ResetXyPlotView();
        Slot& s =
            MakeRecording(0, 100, {{0, kCodeNe, "Ne"}, {1, kCodeTPS, "TPS"}, {3, kCodeVRW, "VRW"}});
        for (int32_t i = 0; i < 100; ++i) {
            s.samples[1][i] = i * 1000;          // 0 .. 99 %
            s.samples[3][i] = 200000 - i * 1000; // 200 .. 101 km/h
        }
        s.range.min[1] = 0, s.range.max[1] = 99000;
        s.range.min[3] = 101000, s.range.max[3] = 200000;
        s.laps.count = 1;
        s.laps.marks[1] = s.laps.marks[2] = s.laps.marks[3] = 100;
        LapStateOf(0).lapChecked[0] = true;
        g_settings.XYPlot_Xch = 1;
        g_settings.XYPlot_Ych = 3;
    }
    template <class W> static W* Find(QWidget& d, const char* name) {
        return d.findChild<W*>(QString::fromLatin1(name));
    }
};

TEST_F(XyPlotTest, TypedRangesAreRoundedToThousandthsAndLimited) {
    XyPlotSettingDialog d;
    auto* e = Find<QLineEdit>(d, "xmax");
    EXPECT_EQ(e->text(), "0.10"); // the layout's start values
    struct Case {
        const char* typed;
        int32_t stored;
        const char* shown;
    } cases[] = {{"12.5", 12500, "12.500"}, {"12", 12000, "12"},  {"0.0126", 13, "0.013"},
                 {"junk", 13, "0.013"},     {"inf", 13, "0.013"}, {"-1e12", -100000000, "-100000"}};
    for (const Case& c : cases) {
        e->setText(QString::fromLatin1(c.typed));
        Q_EMIT e->editingFinished();
        EXPECT_EQ(g_layoutExtras.Gxmax, c.stored) << c.typed;
        EXPECT_EQ(e->text(), QString::fromLatin1(c.shown)) << c.typed;
    }
}

TEST_F(XyPlotTest, AChannelFile1LacksGivesWayToItsFirstWithThatChannelsRange) {
    g_settings.XYPlot_Zch = 40;
    SlotOf(0).range.minByCode[kCodeNe] = 2000000;
    SlotOf(0).range.maxByCode[kCodeNe] = 13000000;
    XyPlotSettingDialog d;
    EXPECT_EQ(g_settings.XYPlot_Zch, 0);
    EXPECT_EQ(Find<QComboBox>(d, "zChannel")->currentText(), "Ne");
    EXPECT_EQ(g_layoutExtras.Gzmin, 2000000);
    EXPECT_EQ(Find<QLineEdit>(d, "zmax")->text(), "13000.00");
    EXPECT_FALSE(Find<QCheckBox>(d, "gpsMap")->isEnabled()); // no GPS track on the map
    Find<QCheckBox>(d, "connectedLine")->setChecked(true);
    EXPECT_FALSE(Find<QComboBox>(d, "size")->isEnabled());
    g_view.FileMoveFlag[1] = 0;
    Find<QPushButton>(d, "ok")->click();
    EXPECT_TRUE(g_view.XyPlotView);
    EXPECT_TRUE(g_view.FileMoveFlag[1]);
    EXPECT_TRUE(g_xyPlot.connectedLine);
}

TEST_F(XyPlotTest, SamplesLandOnTheirValuesAndAZeroStepScalesToTheData) {
    const XyPlotBox b = XyPlotBoxFor(kWidth, kHeight);
    g_layoutExtras.Gxmin = 0, g_layoutExtras.Gxmax = 100000, g_layoutExtras.Gxstp = 10000;
    g_layoutExtras.Gymin = 100000, g_layoutExtras.Gymax = 200000, g_layoutExtras.Gystp = 0;
    double x = 0, y = 0;
    ASSERT_TRUE(XyPlotPixel(0, 25, kWidth, kHeight, x, y)); // 25 %, 175 km/h
    EXPECT_NEAR(x, b.left + 0.25 * (b.right - b.left), 1e-6);
    // The Y step is 0: its range is the data's, 101 .. 200 km/h.
    EXPECT_NEAR(y, b.bottom - (175.0 - 101.0) / 99.0 * (b.bottom - b.top), 1e-6);
    g_settings.XYPlot_Xch = 2; // absent: nothing to place
    EXPECT_FALSE(XyPlotPixel(0, 25, kWidth, kHeight, x, y));
}

TEST_F(XyPlotTest, AStoredRangeThatShowsNothingOfTheChannelGivesWayToItsData) {
    const XyPlotBox b = XyPlotBoxFor(kWidth, kHeight);
    // Sample 25: 25 % throttle; the data spans 0 .. 99 %.
    const struct {
        int32_t min, max, step;
        double expectedShare; // of the box width from its left edge
    } cases[] = {
        {0, 100, 10, 25.0 / 99},            // the layout's start range, 0 .. 0.1
        {150000, 300000, 10000, 25.0 / 99}, // wholly beside the data
        {20000, 30000, 1000, 0.5},          // a tenth of the data: kept
        {0, 980, 100, 25.0 / 99},           // under a hundredth of it
        {0, 1000, 100, 25.0},               // a hundredth: kept, the sample far to the right
    };
    for (const auto& c : cases) {
        g_layoutExtras.Gxmin = c.min, g_layoutExtras.Gxmax = c.max, g_layoutExtras.Gxstp = c.step;
        double x = 0, y = 0;
        ASSERT_TRUE(XyPlotPixel(0, 25, kWidth, kHeight, x, y));
        EXPECT_NEAR(x, b.left + c.expectedShare * (b.right - b.left), 1e-6)
            << c.min << ".." << c.max;
        // What the layout keeps is left alone.
        EXPECT_EQ(g_layoutExtras.Gxmin, c.min);
        EXPECT_EQ(g_layoutExtras.Gxmax, c.max);
    }
}

TEST_F(XyPlotTest, TheWheelZoomsAtThePointer) {
    g_layoutExtras.Gxstp = 0, g_layoutExtras.Gystp = 0;
    double x0 = 0, y0 = 0, x = 0, y = 0, xo = 0, yo = 0;
    ASSERT_TRUE(XyPlotPixel(0, 30, kWidth, kHeight, x0, y0));
    ASSERT_TRUE(XyPlotPixel(0, 60, kWidth, kHeight, xo, yo));
    XyPlotWheel(3, int(x0), int(y0));
    XyPlotPixel(0, 30, kWidth, kHeight, x, y);
    EXPECT_NEAR(x, x0, 1.0); // the sample under the pointer stays there
    EXPECT_NEAR(y, y0, 1.0);
    XyPlotPixel(0, 60, kWidth, kHeight, x, y);
    EXPECT_GT(std::abs(x - x0), 1.9 * std::abs(xo - x0)); // and the rest spreads out
    XyPlotWheel(-10, int(x0), int(y0));
    XyPlotPixel(0, 60, kWidth, kHeight, x, y);
    EXPECT_NEAR(x, xo, 1e-6); // zoomed out as far as it goes: the whole range again
}

} // namespace
} // namespace qvtk::test
