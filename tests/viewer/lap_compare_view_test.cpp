// Comparing laps in the viewer as a user does it: key U, the cursors following by distance, the
// time-slip channel with its cursor value, a click on a zone of the panel, keys T and Shift+T,
// the course map coloured by where the compared lap loses, File 3 compared as File 2 is, and
// the slip channel kept out of exports, layouts and the channel order.
#include <QImage>
#include <QToolButton>
#include <QTreeWidget>
#include <cmath>

#include "analysis/course_layout.h"
#include "analysis/csv_export.h"
#include "analysis/lap_compare.h"
#include "render/render_qt.h"
#include "tests/analysis/compare_rides.h"
#include "tests/viewer/app_fixture.h"
#include "tools/sim/course_writer.h"
#include "viewer/app.h"
#include "viewer/channel_order_dialog.h"
#include "viewer/course_map_picture.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/input.h"
#include "viewer/lap_compare_view.h"
#include "viewer/open_file.h"
#include "viewer/resources.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

class LapCompareView : public ViewerApp {
protected:
    // The best ride in File 1 and the ride slower in two corners in File 2, on the course of
    // "vorela.crs"; no sub view over the graphs.
    void OpenRides() {
        WriteFile("QVTK2.ini", "[ModeSet]\r\nModifyFileName=0\r\nAnimeMode=0\r\n");
        WriteFile("vorela.crs", sim::WriteCourseLayout(Course()));
        WriteFile("best.qvd", sim::WriteFamily3(Ride(kBest), 2));
        WriteFile("slow.qvd", sim::WriteFamily3(Ride(kSlowCorners), 2));
        Start();
        ASSERT_TRUE(OpenFileIntoSlot(0, dir_ + "/best.qvd"));
        ASSERT_TRUE(OpenFileIntoSlot(1, dir_ + "/slow.qvd"));
        ref_ = FastestLapOf(0);
        cmp_ = FastestLapOf(1);
        ASSERT_TRUE(ref_.Valid() && cmp_.Valid());
    }
    void Key(int c, bool shift = false) {
        RenderSetKeyHeld(RenderKey::Shift, shift);
        RenderPushChar(c);
        PollInput();
        RenderSetKeyHeld(RenderKey::Shift, false);
        PollInput();
    }
    void ClickAt(int x, int y) {
        RenderSetMouse(x, y, kMouseLeft);
        PollInput();
        RenderSetMouse(x, y, 0);
        PollInput();
    }
    double Metres(const LapRef& lap) const {
        return AlignedDistance(lap, CursorSample(lap.slot), LapLengthMetres(ref_));
    }
    double SlipAtCursor(FileSlot slot) const {
        return SampleAt(slot, g_lapCompare.slipColumn, CursorSample(slot)) * 0.001;
    }
    LapRef ref_, cmp_;
};

TEST_F(LapCompareView, KeyUFollowsByDistanceAndAZoneClickGoesToIt) {
    OpenRides();
    // File 2 stands somewhere else in its lap; U brings it to File 1's place.
    SlotOf(0).cursorPos = int64_t(LapStart(ref_) + 3000) * 100;
    SlotOf(1).cursorPos = int64_t(LapStart(cmp_) + 100) * 100;
    Key('u');
    ASSERT_TRUE(LapComparisonOn());
    EXPECT_TRUE(ToolbarWidget()->findChild<QToolButton*>("Dist")->isChecked());
    EXPECT_NEAR(Metres(cmp_), Metres(ref_), 0.5);
    const double length = LapLengthMetres(ref_); // measured once the comparison is on
    // Past both slowed corners the slow rider is later at the same place: by distance, not time.
    const double past = std::max(SlowedCorners()[0], SlowedCorners()[1]) + 150;
    SlotOf(0).cursorPos =
        std::llround(SampleAtAlignedDistance(ref_, past * length / Course().length, length) * 100);
    PollInput();
    EXPECT_NEAR(Metres(cmp_), Metres(ref_), 0.5);
    const int32_t behind = (CursorSample(1) - LapStart(cmp_)) - (CursorSample(0) - LapStart(ref_));
    EXPECT_GT(behind, 30) << "samples File 2 is later at the same place";
    // Its slip channel says how much later, as "+0.123 s"; File 1's lap is the reference.
    ASSERT_GE(g_lapCompare.slipColumn, 0);
    EXPECT_NEAR(SlipAtCursor(1), behind * 0.005, 0.006);
    EXPECT_EQ(SlipAtCursor(0), 0.0);
    char text[16];
    std::snprintf(text, sizeof text, "%+.3f s", SlipAtCursor(1));
    EXPECT_EQ(CursorValueText(1, g_lapCompare.slipColumn, SlipAtCursor(1), false), text);
    EXPECT_EQ(text[0], '+');
    // At the end of the lap it is the lap time difference, within a sample.
    const double total = (LapDuration(1, cmp_.lap) - LapDuration(0, ref_.lap)) * 0.005;
    EXPECT_NEAR(SampleAt(1, g_lapCompare.slipColumn, LapEnd(cmp_) - 1) * 0.001, total, 0.0051);

    // The panel lists the zones, the largest loss first; a click on the first goes there.
    ASSERT_TRUE(RunMainPass());
    ASSERT_GE(g_compareView.rows, 2);
    const SlipZone zone = g_compareView.rowZone[0];
    EXPECT_GT(zone.timeLost, 0.08);
    const float compression = g_view.HorizontalCompression;
    ClickAt(int(g_compareView.panelLeft) + 20,
            int((g_compareView.rowTop[0] + g_compareView.rowBottom[0]) / 2));
    EXPECT_NEAR(Metres(ref_), zone.from, 1.0);
    EXPECT_NEAR(Metres(cmp_), zone.from, 1.0);
    EXPECT_NE(g_view.HorizontalCompression, compression);
    // Zoomed onto the zone: its end lies on the graphs right of the baseline.
    const GraphFrame frame = MakeGraphFrame();
    const double endX = SampleX(frame, 0, SampleAtAlignedDistance(ref_, zone.to, length));
    EXPECT_GT(endX, frame.baseX + 50);
    EXPECT_LT(endX, frame.clientWidth);
    // A click on the panel that hits no zone does not scroll the graphs under it.
    const int64_t at = SlotOf(0).cursorPos;
    RenderSetMouse(int(g_compareView.panelLeft) + 20, int(g_compareView.panelTop) + 2, kMouseLeft);
    for (int i = 0; i < 10; ++i) PollInput();
    RenderSetMouse(0, 0, 0);
    PollInput();
    EXPECT_EQ(SlotOf(0).cursorPos, at);

    // A file moved on its own keeps the lap it went to and follows File 1 there.
    const LapRef own{1, LapAtOrdinal(1, LapOrdinal(1, cmp_.lap) == 1 ? 2 : 1)};
    SlotOf(1).cursorPos = int64_t(LapStart(own) + 2000) * 100;
    PollInput();
    SlotOf(0).cursorPos += 1000 * 100;
    PollInput();
    EXPECT_EQ(LapOfSample(1, CursorSample(1)), own.lap);
    EXPECT_NEAR(Metres(own), Metres(ref_), 0.5);

    // T: the lap at File 1's cursor becomes the reference; Shift+T the fastest again.
    const LapRef other{0, LapAtOrdinal(0, LapOrdinal(0, ref_.lap) == 1 ? 2 : 1)};
    SlotOf(0).cursorPos = int64_t(LapStart(other) + 500) * 100;
    Key('t');
    EXPECT_EQ(ReferenceLap(), other);
    Key('t', true);
    EXPECT_EQ(ReferenceLap(), ref_);
    // U again: back to time, the slip channel gone from the files.
    Key('u');
    EXPECT_FALSE(LapComparisonOn());
    EXPECT_EQ(g_lapCompare.slipColumn, -1);
    for (int c = 0; c < kColumnCount; ++c) EXPECT_NE(SlotOf(1).channels[c].code, kCodeTimeSlip);
}

TEST_F(LapCompareView, File3FollowsByDistanceWithItsOwnSlip) {
    OpenRides();
    WriteFile("uniform.qvd", sim::WriteFamily3(Ride(kUniform), 2));
    ASSERT_TRUE(OpenFileIntoSlot(2, dir_ + "/uniform.qvd"));
    const LapRef third = FastestLapOf(2);
    ASSERT_TRUE(third.Valid());
    SlotOf(0).cursorPos = int64_t(LapStart(ref_) + 3000) * 100;
    SlotOf(1).cursorPos = int64_t(LapStart(cmp_) + 50) * 100;
    SlotOf(2).cursorPos = int64_t(LapStart(third) + 50) * 100;
    Key('u');
    const double length = LapLengthMetres(ref_);
    SlotOf(0).cursorPos = std::llround(SampleAtAlignedDistance(ref_, 0.8 * length, length) * 100);
    PollInput();
    EXPECT_NEAR(Metres(third), Metres(ref_), 0.5);
    EXPECT_NEAR(Metres(cmp_), Metres(ref_), 0.5);
    // The uniformly slower rider is later at the same place, and its slip says by how much.
    const int32_t behind = (CursorSample(2) - LapStart(third)) - (CursorSample(0) - LapStart(ref_));
    EXPECT_GT(behind, 30);
    EXPECT_NEAR(SlipAtCursor(2), behind * 0.005, 0.006);
    const double total = (LapDuration(2, third.lap) - LapDuration(0, ref_.lap)) * 0.005;
    EXPECT_NEAR(SampleAt(2, g_lapCompare.slipColumn, LapEnd(third) - 1) * 0.001, total, 0.0051);
    // With File 3 current the panel and the map show its lap.
    g_view.CurrentFile = 2;
    FileSlot shown = 0;
    const LapComparison* c = ShownComparison(&shown);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(c->compared, third);
}

TEST_F(LapCompareView, TheSlipChannelIsNeverExportedSavedOrMoved) {
    OpenRides();
    ASSERT_TRUE(SaveLayoutFile(dir_ + "/before.lay"));
    Key('u');
    const int slip = g_lapCompare.slipColumn;
    ASSERT_GE(slip, 0);
    // The lap table may show its values: a box of File 2 set to it.
    g_layoutExtras.An_CH[1][3] = slip;
    ASSERT_TRUE(ExportCsv(dir_ + "/cmp.csv", ExportRequest{}, {}));
    const std::string csv = ReadWholeFile(dir_ + "/cmp.csv");
    const std::string header = csv.substr(0, csv.find('\n'));
    EXPECT_EQ(header.find("TimeSlip"), std::string::npos) << header;
    EXPECT_NE(header.find(SlotOf(0).channels[0].name), std::string::npos) << header;
    // A layout saved while comparing is the layout saved without it.
    ASSERT_TRUE(SaveLayoutFile(dir_ + "/while.lay"));
    EXPECT_EQ(ReadWholeFile(dir_ + "/while.lay"), ReadWholeFile(dir_ + "/before.lay"));
    {
        ChannelOrderDialog d;
        auto* list = d.findChild<QTreeWidget*>("list");
        int present = 0;
        for (int c = 0; c < kColumnCount; ++c) present += IsPresent(SlotOf(1), c);
        ASSERT_EQ(list->topLevelItemCount(), present - 1);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            EXPECT_EQ(list->topLevelItem(i)->text(0).indexOf("TimeSlip"), -1);
    }
    // Once it is gone, no box of the lap table keeps its column.
    Key('u');
    EXPECT_EQ(g_layoutExtras.An_CH[1][3], 3);
    ASSERT_TRUE(SaveLayoutFile(dir_ + "/after.lay"));
    EXPECT_EQ(ReadWholeFile(dir_ + "/after.lay"), ReadWholeFile(dir_ + "/before.lay"));
}

TEST_F(LapCompareView, WithNoFreeRowsTheBandsMakeRoomForTheSlipBand) {
    OpenRides();
    auto rows = [] {
        std::vector<std::pair<ChannelCode, std::pair<int, int>>> out;
        for (int i = 0; i < g_graphList.count; ++i) {
            const int c = g_graphList.column[i];
            if (c == g_lapCompare.slipColumn || g_graph.GraphOrder[c] != c) continue;
            const ChannelCode code = SlotOf(0).channels[c].code;
            out.push_back({code, {GraphOf(code).GraphTop, GraphOf(code).GraphBottom}});
        }
        return out;
    };
    const auto before = rows();
    ASSERT_GE(before.size(), 3u);
    ASSERT_TRUE(SaveLayoutFile(dir_ + "/own.lay"));
    Key('u');
    // Also after a layout is loaded while comparing.
    for (bool load : {false, true}) {
        if (load) {
            ASSERT_TRUE(LoadLayoutFile(dir_ + "/own.lay"));
        }
        ASSERT_FALSE(g_compareView.squeezed.empty()) << "the layout left rows free";
        const GraphCodeSettings& slip = GraphOf(kCodeTimeSlip);
        const auto squeezed = rows();
        ASSERT_EQ(squeezed.size(), before.size());
        for (size_t i = 0; i < squeezed.size(); ++i) {
            EXPECT_LT(std::max(squeezed[i].second.first, squeezed[i].second.second), slip.GraphTop)
                << squeezed[i].first;
            // Stacked in the order they had.
            if (i > 0 && before[i].second.first > before[i - 1].second.first) {
                EXPECT_GT(squeezed[i].second.first, squeezed[i - 1].second.first);
            }
        }
    }
    // A band moved while comparing stays where the user put it; the others get their rows back.
    GraphOf(before[0].first).GraphTop += 3;
    const int moved = GraphOf(before[0].first).GraphTop;
    Key('u');
    const auto after = rows();
    EXPECT_EQ(after[0].second.first, moved);
    for (size_t i = 1; i < after.size(); ++i) EXPECT_EQ(after[i], before[i]) << after[i].first;
}

// Red and green as the map paints them: one channel well above the other.
bool Reddish(QRgb c) {
    return qRed(c) > qGreen(c) + 60;
}
bool Greenish(QRgb c) {
    return qGreen(c) > qRed(c) + 60;
}
bool Greyish(QRgb c) {
    return std::abs(qRed(c) - qGreen(c)) < 30 && std::abs(qGreen(c) - qBlue(c)) < 30;
}

TEST_F(LapCompareView, TheMapShowsWhereTheComparedLapLoses) {
    OpenRides();
    for (const LapRef& lap : {ref_, cmp_}) SlotOf(lap.slot).cursorPos = LapStart(lap) * 100LL;
    Key('u');
    ASSERT_TRUE(RunMainPass());
    const QImage* map = RenderTargetImage(g_res.courseMap);
    ASSERT_NE(map, nullptr);
    const int32_t n = g_courseLayout.pointCount;
    ASSERT_GT(n, 100);
    auto pixelAt = [&](double courseMetres) {
        float x = 0, y = 0;
        CoursePointPixel(int32_t(std::lround(courseMetres / Course().length * n)) % n, x, y);
        return map->pixel(int(x), int(y));
    };
    // The slowed corners lose; before the first both ride alike.
    for (double corner : SlowedCorners()) EXPECT_TRUE(Reddish(pixelAt(corner))) << corner;
    EXPECT_TRUE(Greyish(pixelAt(SlowedCorners()[0] / 2)));
    // The colour bar in the corner: losing at its top, gaining at its bottom.
    EXPECT_TRUE(Reddish(map->pixel(496, 42)));
    EXPECT_TRUE(Greenish(map->pixel(496, 198)));
    EXPECT_EQ(g_mapPicture.label, "Time slip: File 2 lap " + std::to_string(cmp_.lap));
    // Without the comparison the usual course picture comes back, the bar gone.
    Key('u');
    ASSERT_TRUE(RunMainPass());
    EXPECT_EQ(g_mapPicture.label.find("Time slip"), std::string::npos);
    EXPECT_FALSE(Reddish(map->pixel(496, 42)));
}

} // namespace
} // namespace qvtk::test
