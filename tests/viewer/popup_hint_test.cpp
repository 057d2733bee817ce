// The popup hints: the region under the pointer picks the lines, which fade in beside it and
// fade out over a region without a hint.
#include "viewer/popup_hint.h"

#include <string>

#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/graph_settings.h"
#include "viewer/lap_list.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

class PopupHintTest : public ViewerFixture {
protected:
    void SetUp() override {
        LapFixture::SetUp();
        OpenViewer(800, 600);
        Slot& s = Recording(0, 4000);
        s.active = true;
        s.channelFlags[0] = kChannelPresent | kChannelShown;
        s.channels[0].kind = 1;
        s.channels[0].code = 3;
        SetMarks(0, {1000, 3000});
        GraphCodeSettings& g = GraphOf(3);
        g.GraphMin = 0, g.GraphMax = 10000, g.GraphTop = 40, g.GraphBottom = 120;
        DeriveScaleFromBand(g);
        RebuildGraphList();
    }
    static bool BoxShownAt(int x, int y) { // the hint box's left edge, beside the pointer
        RenderSetTarget(kBackBuffer);
        RenderClearTarget(0xFF000000u);
        DrawPopupHint(MakeGraphFrame());
        return (RenderTargetImage(kBackBuffer)->pixel(x + 98, y) & 0xFFFFFF) != 0;
    }
};

TEST_F(PopupHintTest, RegionsPickTheirLines) {
    const GraphFrame f = MakeGraphFrame();
    const LapListColumn list = LapListColumnOf(f, 0);
    EXPECT_EQ(HintRegionAt(f, list.left + 2, list.top + 2), HintRegion::kLapList);
    EXPECT_EQ(std::string(HintLines(HintRegion::kLapList)[2]),
              "        [Right] - Full display of one lap");
    const int valueY = int(ValueY(f, 3, 5.0));
    EXPECT_EQ(HintRegionAt(f, ValueColumnX(0) + 20, valueY), HintRegion::kValueColumn);
    EXPECT_EQ(HintRegionAt(f, 700, 300), HintRegion::kNone);

    g_view.GraphPositionMode = 1;
    EXPECT_EQ(HintRegionAt(f, ValueColumnX(0) + 20, valueY), HintRegion::kPositionValueColumn);
    EXPECT_EQ(HintRegionAt(f, int(f.baseX) + 3, 300), HintRegion::kPositionBaseline);
    EXPECT_EQ(HintRegionAt(f, int(f.baseX) + 60, 80), HintRegion::kPositionBand);
    EXPECT_EQ(HintRegionAt(f, int(f.baseX) + 60, 300), HintRegion::kNone);
    EXPECT_EQ(HintRegionAt(f, int(f.baseX) + 60, 300, true), HintRegion::kFinishLine);
    EXPECT_EQ(HintLines(HintRegion::kFinishLine).size(), 4u);
    EXPECT_EQ(HintLines(HintRegion::kPositionBand).size(), 9u);
}

TEST_F(PopupHintTest, FadesInOverARegionAndOutOverNone) {
    const LapListColumn list = LapListColumnOf(MakeGraphFrame(), 0);
    g_view.MouseX = list.left + 2, g_view.MouseY = list.top + 2;
    EXPECT_FALSE(BoxShownAt(g_view.MouseX, g_view.MouseY)); // off until H
    g_view.PopupHintOn = 1;
    for (int pass = 0; pass < 20; ++pass) BoxShownAt(g_view.MouseX, g_view.MouseY);
    EXPECT_TRUE(BoxShownAt(g_view.MouseX, g_view.MouseY));
    g_view.MouseX = 700, g_view.MouseY = 300;              // nothing here has a hint
    EXPECT_TRUE(BoxShownAt(g_view.MouseX, g_view.MouseY)); // still fading out
    for (int pass = 0; pass < 20; ++pass) BoxShownAt(g_view.MouseX, g_view.MouseY);
    EXPECT_FALSE(BoxShownAt(g_view.MouseX, g_view.MouseY));
}

} // namespace
} // namespace qvtk::test
