// The A/F map's points: the window classes, the switch filter both ways, the delayed A/F read,
// the Shift and Ctrl filters, checked laps only, and stored channels a file does not have.
// The settings dialog stores the column each list position shows.
#include "analysis/af_map.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "analysis/af_map_setting_dialog.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"

namespace qvtk::test {
namespace {

constexpr int kNe = 0, kTps = 1, kLaf = 6, kSw = 9;

class AfMapTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        Slot& s = MakeRecording(0, 12,
                                {{kNe, kCodeNe, "Ne"},
                                 {kTps, kCodeTPS, "TPS"},
                                 {kLaf, kCodeLAF1, "LAF1"},
                                 {kSw, kCodeAUX1, "AUX1"}});
        s.laps.count = 2;
        s.laps.marks[1] = 10; // lap 0: samples 0 .. 9; the rest is lap 1
        s.laps.marks[2] = s.laps.marks[3] = s.laps.marks[4] = 12;
        LapStateOf(0).lapChecked[0] = true;
        for (int32_t i = 0; i < 12; ++i) s.samples[kNe][i] = 10000000;
        o_.yColumn = kTps;
        o_.afColumn = kLaf;
    }
    // The samples of the points in order, and their classes.
    AfMapCounts Walk(std::vector<int32_t>* samples = nullptr, std::vector<int>* classes = nullptr) {
        return WalkAfMap(0, o_, [&](int32_t i, int32_t, int32_t, AfClass c) {
            if (samples) samples->push_back(i);
            if (classes) classes->push_back(c);
        });
    }
    static void Column(int c, std::vector<int32_t> v) {
        for (size_t i = 0; i < v.size(); ++i) SlotOf(0).samples[c][i] = v[i];
    }
    AfMapOptions o_;
};

TEST_F(AfMapTest, PointsAreUnderInsideOrOverTheWindow) {
    Column(kLaf, {12490, 12500, 13000, 13010, 13009, 20000, 0, 12999, 12500, 12500, 9, 9});
    o_.windowLow = 1250;
    o_.windowWidth = 50;
    std::vector<int> classes;
    const AfMapCounts n = Walk(nullptr, &classes);
    EXPECT_EQ(classes, (std::vector<int>{kAfUnder, kAfInside, kAfInside, kAfOver, kAfInside,
                                         kAfOver, kAfUnder, kAfInside, kAfInside, kAfInside}));
    EXPECT_EQ(n.count[kAfInside], 6); // lap 1 is not checked
    LapStateOf(0).lapChecked[0] = false;
    EXPECT_EQ(Walk().Total(), 0);
}

TEST_F(AfMapTest, TheSwitchKeepsOneSideOfItsThreshold) {
    Column(kSw, {2490, 2500, 2509, 3000, 0, 0, 0, 0, 0, 0});
    o_.switchColumn = kSw;
    o_.threshold = 2.5f;
    std::vector<int32_t> at;
    Walk(&at);
    EXPECT_EQ(at, (std::vector<int32_t>{1, 2, 3})); // 2.509 compares as 2.50
    at.clear();
    o_.reversed = true;
    Walk(&at);
    EXPECT_EQ(at, (std::vector<int32_t>{0, 1, 2, 4, 5, 6, 7, 8, 9}));
}

TEST_F(AfMapTest, TheDelayedReadStaysInsideTheFile) {
    SlotOf(0).laps.count = 1; // one lap over all 12 samples
    SlotOf(0).laps.marks[1] = 12;
    Column(kLaf, {0, 0, 0, 0, 0, 0, 0, 0, 0, 12700, 0, 20000});
    o_.lafDelay = 2;
    std::vector<int> classes;
    Walk(nullptr, &classes);
    EXPECT_EQ(classes[7], kAfInside); // reads sample 9
    EXPECT_EQ(classes[9], kAfOver);   // reads sample 11
    EXPECT_EQ(classes[10], kAfUnder); // 12 is outside: its own value
    EXPECT_EQ(classes[11], kAfOver);
}

TEST_F(AfMapTest, ShiftDropsDeceleratingAndCtrlAcceleratingSamples) {
    // The throttle opens at sample 4; near the end of the file fewer samples follow.
    Column(kTps, {0, 0, 0, 0, 50000, 50000, 50000, 50000, 50000, 50000, 50000, 50000});
    o_.dropAccelerating = true;
    std::vector<int32_t> at;
    Walk(&at);
    EXPECT_EQ(at, (std::vector<int32_t>{8, 9}));
    o_.dropAccelerating = false;
    o_.dropDecelerating = true;
    at.clear();
    Walk(&at);
    EXPECT_EQ(at, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(AfMapTest, StoredChannelsTheFileDoesNotHaveDrawNothing) {
    for (int bad : {-1, 3, 64, 70}) {
        o_.yColumn = bad;
        EXPECT_FALSE(ResolveAfMapColumns(0, o_).drawable) << bad;
        EXPECT_EQ(Walk().Total(), 0) << bad;
    }
    o_.yColumn = kTps;
    o_.switchColumn = 12;
    EXPECT_EQ(Walk().Total(), 0);
    EXPECT_EQ(ClampAfWindowLow(100), kAfWindowLowMin);
    EXPECT_EQ(ClampAfWindowWidth(500), kAfWindowWidthMax);
}

TEST_F(AfMapTest, EasyModeMapsThrottleAndLaf1WithoutSwitch) {
    g_settings.AFmap_SWCH = kSw;
    SetAfMapEasyDefaults();
    EXPECT_EQ(g_settings.AFmap_YCH, kTps);
    EXPECT_EQ(g_settings.AFmap_AFCH, kLaf);
    EXPECT_EQ(g_settings.AFmap_SWCH, 0);
    EXPECT_EQ(g_settings.AFmap_SWTHS, 2.5f);
}

TEST_F(AfMapTest, TheSettingsDialogStoresTheColumnOfTheChosenEntry) {
    GuiApp();
    g_settings.AFmap_YCH = kTps;
    g_settings.AFmap_AFCH = kLaf;
    g_settings.AFmap_SWCH = kSw;
    AfMapSettingDialog d;
    auto* y = d.findChild<QComboBox*>("tpsChannel");
    auto* sw = d.findChild<QComboBox*>("switchChannel");
    EXPECT_EQ(y->currentText(), "TPS");
    EXPECT_EQ(sw->currentText(), "AUX1");
    EXPECT_EQ(sw->itemText(0), "----");
    sw->setCurrentIndex(sw->findText("LAF1"));
    EXPECT_EQ(g_settings.AFmap_SWCH, kLaf);
    sw->setCurrentIndex(0);
    EXPECT_EQ(g_settings.AFmap_SWCH, 0);
    y->setCurrentIndex(y->findText("AUX1"));
    EXPECT_EQ(g_settings.AFmap_YCH, kSw);
    auto* threshold = d.findChild<QLineEdit*>("threshold");
    EXPECT_EQ(threshold->text(), "2.50");
    for (auto [typed, shown] :
         {std::pair{"3.126", "3.13"}, {"nan", "3.13"}, {"1e9", "100000.00"}}) {
        threshold->setText(typed);
        Q_EMIT threshold->editingFinished();
        EXPECT_EQ(threshold->text(), shown) << typed;
    }
}

} // namespace
} // namespace qvtk::test
