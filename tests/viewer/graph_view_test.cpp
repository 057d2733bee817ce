// The normal graph view as the main loop draws it, driven through the input queue and the
// main pass: clipping of narrow bands, File 1's own colour, the translucent background of a
// scaling drag, grid and baseline labels, the name column, search marks, the replay, the key
// instructions, the layout tab strip, and text kept readable over the values.
#include <QImage>
#include <algorithm>
#include <cstring>

#include "data/settings.h"
#include "render/rasterizer.h"
#include "tests/viewer/graph_fixture.h"
#include "viewer/frame.h"
#include "viewer/graph_labels.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_setting.h"
#include "viewer/graphs.h"
#include "viewer/input.h"
#include "viewer/lap_list.h"
#include "viewer/layout_tabs.h"
#include "viewer/search_marks.h"
#include "viewer/toolbar.h"

namespace qvtk::test {
namespace {

class GraphView : public Graphs {
protected:
    void SetUp() override {
        Graphs::SetUp();
        RenderReset(); // nothing queued from another test
        ASSERT_EQ(RenderOpenOffscreen(kWidth, kHeight), 0);
        g_settings.CourseLayout_on = 0;
        LoadResources(); // fonts and background pictures
        g_view.KeyHelpCounter = 0;
        g_view.SubViewOn = 0;
        g_view.ViewZoom = 1.0f;
    }
    // File 1 (and File 2): one shown column, code 3, its band on rows 100 .. 200 for 0 .. 10.
    void Band(const std::vector<int32_t>& samples, FileSlot slot = 0) {
        MakeFile(slot, samples);
        SlotOf(slot).cursorPos = int64_t(samples.size() / 2) * 100;
        GraphCodeSettings& g = GraphOf(3);
        g.GraphMin = 0, g.GraphMax = 10000, g.GraphStep = 2000;
        g.GraphTop = 100, g.GraphBottom = 200;
        DeriveScaleFromBand(g);
        RebuildGraphList();
    }
    void Pass(int x, int y, int buttons = 0) {
        RenderSetMouse(x, y, buttons);
        PollInput();
        if (g_view.RedrawCountdown >= 1) DrawFrame();
    }
    void Key(int c) {
        RenderPushChar(c);
        Pass(g_view.MouseX, g_view.MouseY);
    }
    static QRgb Pixel(int x, int y) { return RenderTargetImage(kBackBuffer)->pixel(x, y); }
    // Pixels of the rectangle that differ from `background`.
    static int Marked(int left, int top, int right, int bottom, QRgb background) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += Pixel(x, y) != background;
        return n;
    }
    // Pixels of the rectangle as bright as text on the dark background.
    static int Bright(int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += qGreen(Pixel(x, y)) > 100;
        return n;
    }
};

TEST_F(GraphView, ABandNarrowerThanAThousandUnitsIsNeverClipped) {
    Band(std::vector<int32_t>(4000, 700)); // 0.7: above a band of 0 .. 0.5
    GraphCodeSettings& g = GraphOf(3);
    g.GraphMax = 500; // set as a dialog or a drag may set it, clipping still on
    g.GraphClip = 1;
    DeriveScaleFromBand(g);
    DrawFrame();
    const int y = int(ValueY(MakeGraphFrame(), 3, 0.7));
    ASSERT_LT(y, g.GraphTop - 10);
    ASSERT_GT(y, 0);
    EXPECT_TRUE(Lit(kWidth - 20, y));
    // Closing the Graph Setting dialog stores the rule too.
    ApplyGraphMaxText(3, "0.4");
    CloseGraphSettingBox(0);
    EXPECT_EQ(g.GraphClip, 0);
}

TEST_F(GraphView, File1TakesItsOwnColourWhenLeftAloneByDimmingOrClosing) {
    g_settings.ExclusiveF1Color = 1;
    Band(std::vector<int32_t>(4000, 5000));
    Band(std::vector<int32_t>(4000, 5000), 1);
    SlotOf(1).file.fileName = "second.qvd";
    SlotOf(1).file.labelRect = {10, 31, 120, 46};
    ChooseFile1Colors();
    ASSERT_FALSE(g_graph.file1Exclusive);
    Pass(400, 300);
    Pass(50, 38, kMouseLeft); // File 2's label: dimmed
    Pass(50, 38);
    EXPECT_TRUE(g_view.FileDimmed[1]);
    EXPECT_TRUE(g_graph.file1Exclusive);
    Pass(50, 38, kMouseLeft);
    Pass(50, 38);
    EXPECT_FALSE(g_graph.file1Exclusive);
    CloseFileFromToolbar(1);
    EXPECT_TRUE(g_graph.file1Exclusive);
}

TEST_F(GraphView, TheScalingDragLetsThePictureBeforeShowThrough) {
    Band(std::vector<int32_t>(4000, 5000));
    Pass(400, 300);
    const QRgb plain = Pixel(kWidth - 5, kHeight - 40);
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(RenderColor(255, 255, 255));
    Pass(400, 300, kMouseRight);
    const QRgb veiled = Pixel(kWidth - 5, kHeight - 40);
    EXPECT_GT(qRed(veiled), qRed(plain) + 100); // three quarters of the white remain
    Pass(400, 300);
    RenderClearTarget(RenderColor(255, 255, 255));
    Pass(401, 300);
    EXPECT_EQ(Pixel(kWidth - 5, kHeight - 40), plain);
}

TEST_F(GraphView, GridValueLabelsAndInPositionModeTheBaselineLabels) {
    Band(std::vector<int32_t>(4000, 0));
    Pass(kWidth - 10, 380);
    const int fs = g_res.smallFontSize, left = GraphAreaLeft();
    // "6" above the grid line of 6.0 (row 140), at the left of the graph area.
    EXPECT_GT(Bright(left + 2, 140 - fs - 1, left + 20, 139), 5);
    GraphOf(3).GridShown = 0;
    Pass(kWidth - 11, 380);
    EXPECT_EQ(Bright(left + 2, 140 - fs - 1, left + 20, 139), 0);

    Key('c');
    const int bx = int(MakeGraphFrame().baseX);
    EXPECT_GT(Bright(bx + 4, 100, bx + 40, 100 + fs), 5);     // "10" at the top edge
    EXPECT_GT(Bright(bx + 4, 200 - fs - 1, bx + 40, 199), 5); // "0" at the bottom edge
}

TEST_F(GraphView, VShowsTheNameColumnAndRTheSearchMarks) {
    std::vector<int32_t> samples(4000, 0);
    std::fill(samples.begin() + 2000, samples.end(), 8000);
    Band(samples);
    std::strcpy(SlotOf(0).channels[0].name, "Ne");
    Pass(kWidth - 10, 380);
    float rows[kColumnCount];
    ValueRowTops(MakeGraphFrame(), rows);
    const int nameX = GraphAreaLeft() - 80, y = int(rows[0]);
    const QRgb panel = Pixel(nameX + 2, y - 8);
    EXPECT_EQ(Marked(nameX + 4, y, nameX + 76, y + g_res.smallFontSize, panel), 0); // off at start
    Key('v');
    EXPECT_GT(Marked(nameX + 4, y, nameX + 76, y + g_res.smallFontSize, panel), 5);

    // The search band 7 .. 9 holds the second half of the recording, right of the baseline.
    g_searchAlert.on = true;
    g_layoutExtras.SAxchn = 0;
    g_layoutExtras.SAxmin = 7000, g_layoutExtras.SAxmax = 9000;
    const int bx = int(MakeGraphFrame().baseX);
    const QRgb left = Pixel(bx - 40, 300), right = Pixel(bx + 40, 300);
    Key('r');
    EXPECT_EQ(Pixel(bx - 40, 300), left);
    EXPECT_NE(Pixel(bx + 40, 300), right);
    Key('r');
    EXPECT_EQ(Pixel(bx + 40, 300), right);
}

TEST_F(GraphView, ReplayAdvancesInRealTimeAndEndsWithAKeyOrWithFile1) {
    Band(std::vector<int32_t>(40000, 5000));
    Pass(400, 300);
    const int64_t from = SlotOf(0).cursorPos;
    const int64_t started = RenderNowMs();
    Key('a');
    ASSERT_TRUE(g_view.RealTimePlay);
    RenderWait(120);
    Pass(400, 300);
    const int64_t elapsed = RenderNowMs() - started;
    // 200 samples a second: 0.2 samples (20 hundredths) a millisecond.
    EXPECT_GE(SlotOf(0).cursorPos - from, 100 * 20);
    EXPECT_LE(SlotOf(0).cursorPos - from, elapsed * 20);
    EXPECT_EQ(g_view.RedrawCountdown, kRedrawFull); // frames while it runs
    Key('h');                                       // any key ends it
    EXPECT_FALSE(g_view.RealTimePlay);
    const int64_t stopped = SlotOf(0).cursorPos;
    RenderWait(30);
    Pass(400, 300);
    EXPECT_EQ(SlotOf(0).cursorPos, stopped);

    Key('A');
    g_view.RealTimePlayStart -= 1000000; // long enough to pass the end of File 1
    Pass(400, 300);
    EXPECT_FALSE(g_view.RealTimePlay);
    EXPECT_EQ(SlotOf(0).cursorPos, int64_t(39999) * 100);
}

TEST_F(GraphView, KeyInstructionsFadeAtTheLoopsPaceAndAnyKeyOrClickPutsThemAway) {
    g_view.KeyHelpCounter = kKeyHelpStart;
    int passes = 0;
    while (g_view.KeyHelpCounter > 0 && passes < 1000) {
        Pass(400, 300); // no input at all
        ++passes;
    }
    EXPECT_EQ(g_view.KeyHelpCounter, 0);
    EXPECT_LT(passes, kKeyHelpStart);
    g_view.KeyHelpCounter = kKeyHelpStart;
    Key('h');
    EXPECT_EQ(g_view.KeyHelpCounter, 0);
    g_view.KeyHelpCounter = kKeyHelpStart;
    Pass(400, 300, kMouseLeft);
    EXPECT_EQ(g_view.KeyHelpCounter, 0);
}

TEST_F(GraphView, EveryLayoutTabCanBeReachedWhenTheStripOutrunsTheWindow) {
    g_layoutList.count = kMaxLayoutTabs;
    for (int i = 0; i < kMaxLayoutTabs; ++i)
        g_layoutList.names[i] = "Layout " + std::to_string(i + 1);
    for (int i = 0; i < 20; ++i) Pass(kWidth - 10, 5); // the strip slides in
    const int arrowX = kWidth - kTabArrowWidth + 5;
    ASSERT_EQ(g_view.TabArrowUnderMouse, 1);
    for (int i = 0; i < 40 && g_view.TabArrowUnderMouse == 1; ++i) { // until the rest fits
        Pass(arrowX, 5, kMouseLeft);
        Pass(arrowX, 5);
    }
    EXPECT_GT(g_view.TabFirst, 20);
    bool last = false;
    for (int x = kTabStripLeft; x < kWidth && !last; x += 4) {
        Pass(x, 5);
        last = g_view.TabUnderMouse == kMaxLayoutTabs;
    }
    EXPECT_TRUE(last);
    // The wheel over the strip scrolls it back, and never zooms.
    const int first = g_view.TabFirst;
    RenderAddWheel(360, 0);
    Pass(kTabStripLeft + 200, 5);
    EXPECT_EQ(g_view.TabFirst, first - 3);
    EXPECT_EQ(g_view.ZoomSpan, kZoomSpanFirst);
}

TEST_F(GraphView, ValuesStayClearOfTheLabelsAndTheLapListFlowsAroundThem) {
    RenderClose();
    ASSERT_EQ(RenderOpenOffscreen(kWidth, 800), 0); // room for a list
    LoadResources();
    Band(std::vector<int32_t>(4000, 5000));
    GraphCodeSettings& g = GraphOf(3);
    g.GraphTop = 10, g.GraphBottom = 40; // its value row would lie under the file labels
    DeriveScaleFromBand(g);
    SlotOf(0).file.fileName = "first.qvd";
    SlotOf(0).file.labelRect = {10, 16, 110, 16 + g_res.mainFontSize};
    float rows[kColumnCount];
    const GraphFrame f = MakeGraphFrame();
    ValueRowTops(f, rows);
    EXPECT_GE(rows[0], 16 + g_res.mainFontSize);
    // A band whose value row crosses the lap list: the rows of the list go around it.
    g.GraphTop = 340, g.GraphBottom = 370;
    DeriveScaleFromBand(g);
    SlotOf(0).laps.count = 12;
    for (int k = 1; k < 12; ++k) SlotOf(0).laps.marks[k] = 300 * k;
    ValueRowTops(f, rows);
    const LapListColumn list = LapListColumnOf(f, 0);
    ASSERT_GT(list.lapRows, 3);
    for (int top : list.lineTop)
        EXPECT_TRUE(top + g_res.mainFontSize <= rows[0] || top >= rows[0] + ValueRowHeight())
            << top;
}

// The lap marks of all files are drawn as one list: where marks of two files fall on one pixel
// column, File 1's is blended first as it always was, even when File 2's lies left of it within
// the pixel.
TEST_F(GraphView, LapMarksSharingAColumnBlendInTheFilesOrder) {
    for (FileSlot s : {0, 1}) Band(std::vector<int32_t>(4000, 0), s);
    g_view.HorizontalCompression = 5.0f;    // a fifth of a pixel a sample
    g_view.MouseX = 40, g_view.MouseY = 50; // the pointer's lines far from the marks
    const GraphFrame f = MakeGraphFrame();
    SlotOf(0).laps.marks[1] = 2000 + 501;
    SlotOf(1).laps.marks[1] = 2000 + 499;
    const double x0 = SampleX(f, 0, 2501), x1 = SampleX(f, 1, 2499);
    const int column = int(std::lround(x0));
    ASSERT_EQ(column, int(std::lround(x1)));
    ASSERT_LT(x1, x0);
    const int row = 230;                             // below the band, clear of text and panels
    SlotOf(0).laps.count = SlotOf(1).laps.count = 1; // no marks
    DrawFrame();
    const uint32_t under = Pixel(column, row);
    SlotOf(0).laps.count = SlotOf(1).laps.count = 2;
    DrawFrame();
    RasterTarget blend;
    blend.mode = BlendMode::Alpha, blend.alpha = 160, blend.opaque = true;
    auto over = [&](uint32_t dst, FileSlot first, FileSlot second) {
        return RasterBlendPixel(blend, RasterBlendPixel(blend, dst, FileColor(first)),
                                FileColor(second));
    };
    ASSERT_NE(over(under, 0, 1), over(under, 1, 0));
    EXPECT_EQ(Pixel(column, row), over(under, 0, 1));
}

TEST_F(GraphView, SpanReadoutsNeverTouch) {
    for (int hd : {0, 1}) {
        g_settings.HD_Display = hd;
        ChooseFontMetrics();
        LoadResources();
        for (FileSlot s = 0; s < kSlotCount; ++s) {
            Band(std::vector<int32_t>(80000, 0), s);
            Slot& slot = SlotOf(s);
            for (int32_t i = 0; i < slot.sampleCount; ++i)
                slot.distance.front[i] = slot.distance.rear[i] = uint32_t(i) * 40000;
        }
        g_view.MouseX = 100; // a long span: wide numbers
        const SpanReadout r = SpanReadoutAt(MakeGraphFrame());
        ASSERT_EQ(r.count, 4);
        for (int i = 0; i < r.count; ++i)
            for (int j = i + 1; j < r.count; ++j) {
                const float wi = float(RenderTextWidth(g_res.smallFont, "%s", r.text[i].c_str()));
                const float wj = float(RenderTextWidth(g_res.smallFont, "%s", r.text[j].c_str()));
                EXPECT_TRUE(r.x[i] + wi <= r.x[j] || r.x[j] + wj <= r.x[i])
                    << r.text[i] << " and " << r.text[j] << " at HD " << hd;
            }
    }
}

} // namespace
} // namespace qvtk::test
