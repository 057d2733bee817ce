// The lap lists beside the graphs and the lap header: their lines, and the clicks that move the
// view to a lap or zoom onto it.
#include "viewer/lap_list.h"

#include "data/settings.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

constexpr int kWidth = 800;

class LapListTest : public ViewerFixture {
protected:
    void SetUp() override {
        LapFixture::SetUp();
        OpenViewer(kWidth, 600);
        // Laps of 5, 10, 15 and 20 s at 200 samples a second (the last one the in lap).
        Recording(0, 10000).active = true;
        SetMarks(0, {1000, 3000, 6000});
    }
    static GraphFrame FrameOfHeight(int height) {
        GraphFrame f = MakeGraphFrame();
        f.clientHeight = height;
        return f;
    }
    // Presses at the middle of a lap row of File 1.
    static bool Click(const GraphFrame& f, int row, int button) {
        const LapListColumn c = LapListColumnOf(f, 0);
        g_view.MouseX = (c.left + c.right) / 2;
        g_view.MouseY = c.top + row * g_res.mainFontSize + 2;
        return LapListClick(f, button);
    }
};

TEST_F(LapListTest, RowsShowLapTimesThenTheEndOrTheCutMark) {
    const GraphFrame tall = FrameOfHeight(600);
    EXPECT_EQ(LapListLines(tall, 0), (std::vector<std::string>{"00'05.00", "00'10.00", "00'15.00",
                                                               "00'20.00", "- - - -"}));
    // Room for three rows under the value rows: two laps and the mark that more follow.
    const GraphFrame low = FrameOfHeight(20 * g_res.mainFontSize + 48 + 3 * g_res.mainFontSize);
    EXPECT_EQ(LapListLines(low, 0),
              (std::vector<std::string>{"00'05.00", "00'10.00", "   \u25BD   "}));
    FileSlot slot = 1;
    int row = -1;
    const LapListColumn c = LapListColumnOf(low, 0);
    EXPECT_TRUE(LapListRowAt(low, c.left + 1, c.top + g_res.mainFontSize, slot, row));
    EXPECT_EQ(std::pair(slot, row), std::pair(0, 1));
    EXPECT_FALSE(LapListRowAt(low, c.left + 1, c.top + 2 * g_res.mainFontSize, slot, row));
    g_settings.CursolValueMode = 2; // lists hidden
    EXPECT_FALSE(LapListRowAt(low, c.left + 1, c.top, slot, row));
}

TEST_F(LapListTest, LeftClickGoesToTheLapStartRightClickShowsTheWholeLap) {
    const GraphFrame f = FrameOfHeight(600);
    ASSERT_TRUE(Click(f, 2, kMouseLeft));
    EXPECT_EQ(g_view.ScrollTarget[0], 3000);

    ASSERT_TRUE(Click(f, 1, kMouseRight)); // 1000 .. 3000
    const GraphFrame zoomed = MakeGraphFrame();
    EXPECT_NEAR(SampleX(zoomed, 0, 1000), GraphAreaLeft() + 5, 2.0);
    EXPECT_NEAR(SampleX(zoomed, 0, 3000), kWidth - 5, 2.0);
    EXPECT_EQ(g_view.ScrollTarget[0], -1);

    g_view.MouseX = kWidth / 2; // over the graphs: not a lap row
    EXPECT_FALSE(LapListClick(f, kMouseLeft));
}

TEST_F(LapListTest, HeaderTimesCountFromTheLapAndFromTheFileStart) {
    SlotOf(0).cursorPos = 3200 * 100;
    EXPECT_EQ(CursorLapTime(0), "00'01.00");
    EXPECT_EQ(CursorFileTime(0), "00'16.00");
    SetMarksPerLap(0, 2); // laps start at marks 0 and 2
    EXPECT_EQ(CursorLapTime(0), "00'01.00");
    SlotOf(0).cursorPos = 2000 * 100;
    EXPECT_EQ(CursorLapTime(0), "00'10.00");
}

} // namespace
} // namespace qvtk::test
