// The time graphs on an offscreen back buffer: the mappings, the exact column envelope, the
// alignment and the mouse on the graphs.
#include "viewer/graphs.h"

#include <cstring>
#include <random>

#include "data/sample_envelope.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "tests/viewer/graph_fixture.h"
#include "viewer/graph_position.h"
#include "viewer/graph_settings.h"
#include "viewer/input.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

TEST_F(Graphs, FilesOfDifferentRatesShareOneTimeScale) {
    MakeFile(0, std::vector<int32_t>(4000, 0), 1.0f); // 200 Hz
    MakeFile(1, std::vector<int32_t>(2000, 0), 0.5f); // 100 Hz
    MakeFile(2, std::vector<int32_t>(200, 0), 0.05f); // 10 Hz
    // Every cursor at 10 s.
    SlotOf(0).cursorPos = 2000 * 100;
    SlotOf(1).cursorPos = 1000 * 100;
    SlotOf(2).cursorPos = 100 * 100;
    for (float compression : {0.7f, 5.0f, 33.0f}) {
        g_view.HorizontalCompression = compression;
        GraphFrame f = MakeGraphFrame();
        for (double t : {9.0, 10.0, 12.5}) {
            double x0 = SampleX(f, 0, t * 200), x1 = SampleX(f, 1, t * 100),
                   x2 = SampleX(f, 2, t * 10);
            EXPECT_NEAR(x0, x1, 1e-3) << t; // a thousandth of a pixel
            EXPECT_NEAR(x0, x2, 1e-3) << t;
        }
        EXPECT_DOUBLE_EQ(SampleX(f, 1, 1000), f.baseX); // the cursor sample is on the baseline
    }
}

TEST_F(Graphs, ACurveOutsideTheViewEmitsNothing) {
    MakeFile(0, std::vector<int32_t>(1000, 5000));
    GraphFrame f = MakeGraphFrame();
    SlotOf(0).cursorPos = int64_t(1000 + 50000) * 100; // the recording ended long before
    EXPECT_EQ(DrawCurve(f, 0, 0), 0);
    SlotOf(0).cursorPos = -int64_t(50000) * 100; // it starts long after
    EXPECT_EQ(DrawCurve(f, 0, 0), 0);
    SlotOf(0).cursorPos = 500 * 100;
    EXPECT_GT(DrawCurve(f, 0, 0), 0);
    g_graph.GraphVisible[0][0] = 0; // hidden for this file
    EXPECT_EQ(DrawCurve(f, 0, 0), 0);
}

// At any compression a single-sample spike lights its row in the pixel column it falls in.
TEST_F(Graphs, SpikesAreNeverHiddenByTheColumnEnvelope) {
    std::mt19937 random(7);
    const int n = 200000;
    std::vector<int32_t> samples(n, 0);
    std::vector<int> spikes;
    for (int i = 0; i < 40; ++i) {
        int at = 2000 + int(random() % (n - 4000));
        samples[at] = (i % 2 ? 1 : -1) * 9000; // up and down spikes
        spikes.push_back(at);
    }
    MakeFile(0, samples);
    GraphCodeSettings& g = GraphOf(3);
    g.GraphMin = -10000, g.GraphMax = 10000, g.GraphTop = 100, g.GraphBottom = 300;
    DeriveScaleFromBand(g);
    for (float compression : {1.0f, 7.3f, 61.0f, 333.0f}) {
        g_view.HorizontalCompression = compression;
        for (int spike : spikes) {
            SlotOf(0).cursorPos = int64_t(spike) * 100 + int64_t(random() % 50000) - 25000;
            GraphFrame f = MakeGraphFrame();
            double x = SampleX(f, 0, spike);
            if (x < 1 || x > kWidth - 2) continue;
            RenderSetTarget(kBackBuffer);
            RenderClearTarget(0xFF000000u);
            DrawCurve(f, 0, 0);
            int y = int(ValueY(f, 3, samples[spike] * 0.001));
            bool seen = false; // within a pixel of where it lies
            for (int dx = -1; dx <= 1; ++dx)
                for (int dy = -1; dy <= 1; ++dy)
                    seen = seen || Lit(int(std::lround(x)) + dx, y + dy);
            EXPECT_TRUE(seen) << "spike at " << spike << " compression " << compression;
        }
    }
}

TEST_F(Graphs, AlignTypeTwoGivesEveryBandTheSameRows) {
    MakeFile(0, {0, 1000, 2000, 3000});
    GraphCodeSettings& g = GraphOf(3);
    g.GraphMin = 2000, g.GraphMax = 2500; // narrower than 1000 is widened
    AlignGraphs(2, false, false);
    EXPECT_EQ(std::tuple(g.GraphTop, g.GraphBottom, g.GraphMax), std::tuple(16, 48, 3000));
    EXPECT_FLOAT_EQ(g.GraphScale, 1000.0f / (32 * 1000));
    // The band edges map back onto those rows at zoom 1.
    GraphFrame f = MakeGraphFrame();
    EXPECT_NEAR(ValueY(f, 3, g.GraphMin * 0.001), 48.5, 1.0);
    EXPECT_NEAR(ValueY(f, 3, g.GraphMax * 0.001), 16.5, 1.0);
    // Auto scale takes the data range first.
    SlotOf(0).range.min[0] = -500;
    SlotOf(0).range.max[0] = 7000;
    AlignGraphs(1, true, false);
    EXPECT_EQ(std::tuple(g.GraphMin, g.GraphMax, g.GraphStep), std::tuple(-500, 7000, 7500));
}

TEST_F(Graphs, LeftDragScrollsFilesAtTheirOwnRates) {
    MakeFile(0, std::vector<int32_t>(100000, 0), 1.0f);
    MakeFile(1, std::vector<int32_t>(50000, 0), 0.5f);
    SlotOf(0).cursorPos = 1000 * 100;
    SlotOf(1).cursorPos = 500 * 100;
    g_view.ScrollBarOn = 0;
    g_view.MouseX = kWidth / 2 + 100;
    g_view.MouseY = 200;
    g_view.MouseButtons = kMouseLeft;
    GraphMouse(MakeGraphFrame());
    // d = 100 px at compression 5: 25 samples of File 1, 12.5 of the half-rate File 2.
    EXPECT_EQ(SlotOf(1).cursorPos, 500 * 100 + 1250);
    EXPECT_EQ(SlotOf(0).cursorPos, 1000 * 100 + 2500);
    g_view.FileMoveFlag[1] = 0;
    GraphMouse(MakeGraphFrame());
    EXPECT_EQ(SlotOf(1).cursorPos, 500 * 100 + 1250);

    // Right drag scales time, within its limits.
    g_view.MouseButtons = kMouseRight;
    GraphMouse(MakeGraphFrame()); // the press sets the anchor
    g_view.MouseY = 300;
    for (int i = 0; i < 400; ++i) GraphMouse(MakeGraphFrame());
    EXPECT_GT(g_view.HorizontalCompression, 5.0f);
    EXPECT_LE(g_view.HorizontalCompression, 1000.0f);
}

TEST_F(Graphs, ValueColumnClicksSwitchGraphsAndGrids) {
    MakeFile(0, std::vector<int32_t>(100, 1000));
    GraphCodeSettings& g = GraphOf(3);
    g.GraphTop = 100, g.GraphBottom = 140;
    DeriveScaleFromBand(g);
    RebuildGraphList();
    ASSERT_EQ(g_graphList.count, 1);
    GraphFrame f = MakeGraphFrame();
    g_view.MouseY = int(ValueY(f, 3, (g.GraphMin + g.GraphMax) * 0.0005));
    g_view.MouseX = ValueColumnX(0) - 1; // just left of File 1's value column
    EXPECT_FALSE(ValueColumnClick(f, kMouseLeft));
    g_view.MouseX = ValueColumnX(0); // its first pixel
    EXPECT_TRUE(ValueColumnClick(f, kMouseLeft));
    EXPECT_EQ(g_graph.GraphVisible[0][0], 0);
    EXPECT_EQ(g_graphList.count, 1); // still listed, so it can be switched on again
    EXPECT_TRUE(ValueColumnClick(f, kMouseLeft));
    EXPECT_EQ(g_graph.GraphVisible[0][0], 1);
    EXPECT_TRUE(ValueColumnClick(f, kMouseRight));
    EXPECT_EQ(g.GridShown, 0);
    g_view.ShiftHeld = 1; // all grids follow the clicked one
    EXPECT_TRUE(ValueColumnClick(f, kMouseRight));
    EXPECT_EQ(GraphOf(200).GridShown, 1);
    GraphOf(200).GridShown = 0;
    EXPECT_TRUE(ValueColumnClick(f, kMouseRight));
    EXPECT_EQ(g.GridShown, 0);
    EXPECT_EQ(GraphOf(200).GridShown, 0);
    g_view.ShiftHeld = 0;
    g_view.CtrlHeld = 1; // display off
    EXPECT_TRUE(ValueColumnClick(f, kMouseLeft));
    EXPECT_FALSE(SlotOf(0).channelFlags[0] & kChannelShown);
    EXPECT_EQ(g_graphList.count, 0);
    g_view.MouseY = 399; // no row there
    EXPECT_FALSE(ValueColumnClick(f, kMouseLeft));
}

TEST_F(Graphs, PositionModeMovesAndScalesBandsAndTheBaseline) {
    MakeFile(0, std::vector<int32_t>(100, 1000));
    GraphCodeSettings& g = GraphOf(3);
    g.GraphMin = 0, g.GraphMax = 10000, g.GraphTop = 100, g.GraphBottom = 200;
    DeriveScaleFromBand(g);
    RebuildGraphList();
    g_view.GraphPositionMode = 1;
    auto drag = [&](int buttons, int fromY, int toY) {
        g_view.MouseX = 400, g_view.MouseY = fromY, g_view.MouseButtons = buttons;
        GraphPositionMouse(MakeGraphFrame(), buttons);
        g_view.MouseY = toY;
        GraphPositionMouse(MakeGraphFrame(), 0);
        g_view.MouseButtons = 0;
        GraphPositionMouse(MakeGraphFrame(), 0);
    };
    // With its grid: the rows move, the range stays.
    drag(kMouseLeft, 150, 170);
    EXPECT_EQ(std::tuple(g.GraphTop, g.GraphBottom, g.GraphMin, g.GraphMax),
              std::tuple(120, 220, 0, 10000));
    // On a fixed grid: the rows stay, the curve slides (the range follows).
    g_view.ShiftHeld = 1;
    drag(kMouseLeft, 150, 160);
    EXPECT_EQ(std::tuple(g.GraphTop, g.GraphBottom), std::tuple(120, 220));
    EXPECT_EQ(std::tuple(g.GraphMin, g.GraphMax), std::tuple(1000, 11000));
    g_view.ShiftHeld = 0;
    // Scaling with the grid keeps the range; the band grows when dragged down.
    drag(kMouseRight, 150, 170);
    EXPECT_EQ(std::tuple(g.GraphMin, g.GraphMax), std::tuple(1000, 11000));
    EXPECT_GT(g.GraphBottom - g.GraphTop, 100);
    // Scaled on a fixed grid: the rows stay and the range they show shrinks to 0.8 of itself.
    const GraphCodeSettings rows = g;
    g_view.ShiftHeld = 1;
    drag(kMouseRight, 150, 170);
    g_view.ShiftHeld = 0;
    EXPECT_EQ(std::tuple(g.GraphTop, g.GraphBottom), std::tuple(rows.GraphTop, rows.GraphBottom));
    EXPECT_NEAR(g.GraphMax - g.GraphMin, (rows.GraphMax - rows.GraphMin) * 0.8, 2);
    // Outside every band nothing moves; the middle button toggles clipping of a band.
    GraphCodeSettings before = g;
    drag(kMouseLeft, 390, 395);
    EXPECT_EQ(std::tuple(g.GraphTop, g.GraphZero), std::tuple(before.GraphTop, before.GraphZero));
    int clip = g.GraphClip;
    g_view.MouseY = (g.GraphTop + g.GraphBottom) / 2;
    GraphPositionMouse(MakeGraphFrame(), kMouseMiddle);
    EXPECT_EQ(g.GraphClip, !clip);
    // The baseline follows a left drag and a right click centres it.
    GraphFrame f = MakeGraphFrame();
    g_view.MouseX = int(f.baseX), g_view.MouseY = 50, g_view.MouseButtons = kMouseLeft;
    GraphPositionMouse(f, kMouseLeft);
    g_view.MouseX = int(f.baseX) + 60;
    GraphPositionMouse(f, 0);
    EXPECT_EQ(g_settings.BaseLinePos, 60);
    g_view.MouseButtons = kMouseRight;
    GraphPositionMouse(MakeGraphFrame(), 0); // releases the left drag first
    g_view.MouseButtons = 0;
    GraphPositionMouse(MakeGraphFrame(), 0);
    f = MakeGraphFrame();
    g_view.MouseX = int(f.baseX), g_view.MouseButtons = kMouseRight;
    GraphPositionMouse(f, kMouseRight);
    EXPECT_EQ(g_settings.BaseLinePos, 0);
}

TEST_F(Graphs, ScrollTargetsAreReachedByGliding) {
    MakeFile(0, std::vector<int32_t>(100000, 0));
    g_view.ScrollTarget[0] = 40000;
    FollowScrollTargets();
    EXPECT_EQ(CursorSample(0), 10000); // a quarter of the way
    int passes = 1;
    while (g_view.ScrollTarget[0] >= 0 && passes < 100) FollowScrollTargets(), ++passes;
    EXPECT_EQ(CursorSample(0), 40000);
    EXPECT_LT(passes, 60);
    g_view.ScrollTarget[0] = 500000; // beyond the end: the last sample
    while (g_view.ScrollTarget[0] >= 0) FollowScrollTargets();
    EXPECT_EQ(CursorSample(0), 99999);
}

TEST_F(Graphs, CursorValueTextsFollowDecimalsUnitsAndSensorTypes) {
    MakeFile(0, {0, 0});
    Slot& s = SlotOf(0);
    s.file.fileKind = kFileFamily3;
    std::strcpy(s.channels[1].unit, "km/h");
    s.channels[1].code = 6;
    const std::tuple<int, double, const char*> decimals[] = {{0, 12345.4, "  12345km/h"},
                                                             {1, 123.45, "  123.5km/h"},
                                                             {2, 1.5, "   1.50km/h"},
                                                             {3, -0.25, " -0.250km/h"}};
    for (auto [d, v, want] : decimals) {
        s.channels[1].decimals = uint8_t(d);
        EXPECT_EQ(CursorValueText(0, 1, v, false), want);
    }
    EXPECT_EQ(CursorValueText(0, 1, -2.5, true), "  -2.50km/h");
    s.channels[2].code = 11; // LAF1: the unit comes from the sensor type
    s.channels[3].code = 12;
    s.header.inputTypes[0] = 0;
    s.header.inputTypes[1] = 1;
    EXPECT_EQ(CursorValueText(0, 2, 14.7, false), "  14.70A/F");
    EXPECT_EQ(CursorValueText(0, 3, 2.5, false), "   2.50V");
    EXPECT_EQ(CursorValueText(0, 2, 0.3, true), "  +0.30A/F");
    s.header.inputTypes[0] = 3;
    EXPECT_EQ(CursorValueText(0, 2, 14.7, false), "  14.70");
}

TEST_F(Graphs, AirFuelInputsAreReadLaterByTheLafDelay) {
    MakeFile(0, std::vector<int32_t>(1000, 0));
    Slot& s = SlotOf(0);
    s.file.fileKind = kFileFamily3;
    g_view.LafDelayOffset = 20;
    g_view.GpsOffset = -3;
    s.header.inputTypes[0] = 0; // LAF1: a standard air-fuel sensor
    s.header.inputTypes[2] = 1; // AUX1: a voltage
    s.channels[6].code = 11, s.channels[9].code = 17, s.channels[20].code = 66;
    EXPECT_EQ(CurveSampleOffset(0, 6), 20);
    EXPECT_EQ(CurveSampleOffset(0, 9), 0);
    EXPECT_EQ(CurveSampleOffset(0, 20), -3);
    g_settings.ExpertMode = 1;
    EXPECT_EQ(CurveSampleOffset(0, 6), 0);
    EXPECT_EQ(CurveSampleOffset(0, 20), 0);
    s.file.fileKind = kFileFamily4; // the CAN logger's air-fuel codes at any level
    s.channels[7].code = 13;
    EXPECT_EQ(CurveSampleOffset(0, 7), 20);
}

TEST_F(Graphs, ASmallVertexPoolIsFlushedNotOverrun) {
    std::vector<int32_t> zigzag(20000);
    for (size_t i = 0; i < zigzag.size(); ++i) zigzag[i] = i % 2 ? 9000 : -9000;
    MakeFile(0, zigzag);
    g_res.screenWidth = 0; // the smallest pool: 51 vertices for a 640-pixel curve
    ASSERT_TRUE(AllocateVertexPools());
    SlotOf(0).cursorPos = 10000 * 100;
    for (float compression : {0.5f, 3.0f}) {
        g_view.HorizontalCompression = compression;
        GraphOf(3).PlotType = compression > 1;             // lines and filled
        EXPECT_GT(DrawCurve(MakeGraphFrame(), 0, 0), 300); // several pools full
    }
}

// The scroll bar grows while the pointer is near the bottom edge and shrinks after; its thumb
// sits at File 1's place in its recording.
TEST_F(Graphs, ScrollBarGrowsNearTheBottomAndShowsFileOnesPlace) {
    MakeFile(0, std::vector<int32_t>(8000, 0));
    SlotOf(0).cursorPos = 2000 * 100; // a quarter of the way
    g_view.MouseX = kWidth / 2, g_view.MouseY = kHeight - 5;
    const GraphFrame f = MakeGraphFrame();
    for (int pass = 0; pass < 20; ++pass) DrawScrollBar(f);
    EXPECT_EQ(g_view.ScrollSlide, 32);
    const QImage* image = RenderTargetImage(kBackBuffer);
    const int y = kHeight - 6;
    EXPECT_NE(image->pixel(kWidth / 4, y), image->pixel(kWidth - 10, y)); // thumb, bar
    g_view.MouseY = kHeight / 2;
    for (int pass = 0; pass < 10; ++pass) DrawScrollBar(f);
    EXPECT_EQ(g_view.ScrollSlide, 22);
}

// A frame's curves are prepared together and their extremes read on two threads; the picture
// is the one the curves give drawn one by one, File 3 first.
TEST_F(Graphs, AFrameOfCurvesMatchesTheCurvesDrawnOneByOne) {
    std::mt19937 random(3);
    for (FileSlot slot : {0, 1, 2}) {
        std::vector<int32_t> samples(30000);
        for (int32_t& v : samples) v = int32_t(random() % 20000) - 10000;
        Slot& s = SlotOf(slot);
        for (int c = 1; c < 4; ++c) s.channelFlags[c] = kChannelPresent | kChannelShown;
        MakeFile(slot, samples, slot == 2 ? 0.5f : 1.0f); // full buffers for the present columns
        for (int c = 1; c < 4; ++c) { // more columns, one of them read with the LAF delay
            s.channels[c] = s.channels[0];
            s.channels[c].code = ChannelCode(c == 3 ? 11 : 3 + c);
            std::copy(samples.rbegin(), samples.rend(), s.samples[c]);
        }
        s.file.fileKind = kFileFamily4;
        BuildSlotEnvelope(slot);
        s.cursorPos = 15000 * 100;
    }
    int top = 10;
    for (ChannelCode code : {3, 4, 5, 11}) { // one band each, stacked
        GraphCodeSettings& g = GraphOf(code);
        g.GraphMin = -10000, g.GraphMax = 10000, g.GraphTop = top, g.GraphBottom = top + 80;
        DeriveScaleFromBand(g);
        top += 95;
    }
    g_view.LafDelayOffset = 40;
    g_view.HorizontalCompression = 30.0f;
    const GraphFrame f = MakeGraphFrame();
    RenderSetTarget(kBackBuffer);
    RenderClearTarget(0xFF000000u);
    const int64_t together = DrawCurves(f);
    const QImage frame = RenderTargetImage(kBackBuffer)->copy();
    RenderClearTarget(0xFF000000u);
    int64_t alone = 0;
    for (FileSlot slot : {2, 1, 0})
        for (int c = 0; c < kColumnCount; ++c) alone += DrawCurve(f, slot, c);
    EXPECT_GT(together, 0);
    EXPECT_EQ(together, alone);
    EXPECT_TRUE(frame == *RenderTargetImage(kBackBuffer));
}

// A dense curve of a signal that swings over its whole band in every pixel column lights the
// band's middle row in every column of the window, clipped to its band or not, and in a band
// turned upside down (the frame's dense curves are drawn a strip of columns at a time: no
// column between two strips is lost).
TEST_F(Graphs, ADenseCurveLightsEveryColumnOfTheWindow) {
    std::vector<int32_t> zigzag(100000);
    for (size_t i = 0; i < zigzag.size(); ++i) zigzag[i] = i % 2 ? 9000 : -9000;
    MakeFile(0, zigzag);
    GraphCodeSettings& g = GraphOf(3);
    g.GraphMin = -10000, g.GraphMax = 10000, g.GraphTop = 100, g.GraphBottom = 300;
    DeriveScaleFromBand(g);
    g_view.HorizontalCompression = 30.0f;
    SlotOf(0).cursorPos = 50000 * 100;
    for (int clip : {0, 1, -1}) {
        g.GraphClip = clip > 0;
        if (clip < 0) g.GraphScale = -g.GraphScale; // an inverted band is never clipped here
        RenderSetTarget(kBackBuffer);
        RenderClearTarget(0xFF000000u);
        const GraphFrame f = MakeGraphFrame();
        DrawCurves(f);
        const int y = int(ValueY(f, 3, 0.0));
        for (int x = 0; x < kWidth; ++x) ASSERT_TRUE(Lit(x, y)) << "column " << x;
    }
}

// A CAN logger channel measured every 20 ms joins one point per measurement; the simulated
// final drive scales engine speed; marked samples of File 1 light up in debug mode.
TEST_F(Graphs, MeasurementStepsEngineSpeedScaleAndMarkedSamples) {
    std::vector<int32_t> ramp(2000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int32_t(i / 4) * 40;
    MakeFile(0, ramp);
    Slot& s = SlotOf(0);
    s.file.fileKind = kFileFamily4;
    s.cursorPos = 1000 * 100;
    g_view.HorizontalCompression = 0.25f; // four pixels per sample
    const int64_t everySample = DrawCurve(MakeGraphFrame(), 0, 0);
    s.channels[0].sampleTimeIndex = 2; // 20 ms: four samples per measurement
    const int64_t perMeasurement = DrawCurve(MakeGraphFrame(), 0, 0);
    EXPECT_GT(perMeasurement, 0);
    EXPECT_LE(perMeasurement * 2, everySample);

    MakeFile(0, std::vector<int32_t>(2000, 3000));
    s.channels[0].sampleTimeIndex = 0;
    s.cursorPos = 1000 * 100;
    g_view.HorizontalCompression = 5.0f;
    GraphCodeSettings& g = GraphOf(3);
    g.GraphMin = 0, g.GraphMax = 10000, g.GraphTop = 100, g.GraphBottom = 300;
    DeriveScaleFromBand(g);
    GraphFrame f = MakeGraphFrame();
    const int x = int(f.baseX);
    auto row = [&](double v) { return int(ValueY(f, 3, v) + 0.5); }; // the pixel a value lights
    auto drawn = [&] {
        RenderSetTarget(kBackBuffer);
        RenderClearTarget(0xFF000000u);
        DrawCurve(f, 0, 0);
    };
    s.engineSpeedScale = 2.0f;
    drawn();
    EXPECT_TRUE(Lit(x, row(6.0)));
    EXPECT_FALSE(Lit(x, row(3.0)));

    s.engineSpeedScale = 1.0f;
    s.sampleMarks[1000] = 1;
    const int y = row(3.0);
    auto colorAt = [&](int px) { return RenderTargetImage(kBackBuffer)->pixel(px, y) & 0xFFFFFF; };
    drawn();
    EXPECT_EQ(colorAt(x), colorAt(x - 40)); // the highlight is off outside debug mode
    g_settings.Debug = 1;
    drawn();
    // The marked sample's pixel column: the columns lie on a grid anchored to the recording,
    // within a pixel of the cursor's.
    const uint32_t lit = MarkHighlightColor() & 0xFFFFFF;
    EXPECT_TRUE(colorAt(x - 1) == lit || colorAt(x) == lit || colorAt(x + 1) == lit);
    EXPECT_NE(colorAt(x - 40), lit);
}

} // namespace
} // namespace qvtk::test
