#include "viewer/graph_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "platform/ini_text.h"
#include "tests/test_support.h"
#include "viewer/graph_settings.h"
#include "viewer/view_state.h"

namespace qvtk {
namespace {

using test::MakeRecording;
using test::SawMessage;
using test::TestChannel;

const std::string kCaution = "Layファイル内履歴記憶数の上限に達しました";

class GraphLayoutTest : public test::TempProgramDirectory {
protected:
    void SetUp() override {
        TempProgramDirectory::SetUp();
        ResetGraphSettings();
        ResetGraphLayouts();
        ResetViewState();
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    std::string Text(const std::string& name) const { return *ReadTextFile(Path(name)); }
    // File 1 with exactly these channels; the settings start over as in a new program.
    void File1(const std::vector<TestChannel>& channels) {
        MakeRecording(0, 400, channels);
        ResetGraphSettings();
        ResetGraphLayouts();
    }
};

// A band and range every field of which differs from the defaults.
void SetDistinct(GraphCodeSettings& g, int seed) {
    g.GraphBottom = 200 + seed, g.GraphTop = 100 + seed, g.GraphMin = -1000 * seed;
    g.GraphMax = 15000000 + seed, g.GraphStep = 1000000 + seed, g.GraphAuto = 0;
    g.GridShown = 0, g.GraphClip = 0, g.PlotType = 1, g.ColorFile1 = 1 + seed % 3;
    g.ColorOnlyFile1 = 3, g.ColorFile2 = 4, g.ColorFile3 = 5;
    DeriveScaleFromBand(g);
}

auto Fields(const GraphCodeSettings& g) {
    return std::tuple(g.GraphBottom, g.GraphTop, g.GraphZero, g.GraphScale, g.GraphMin, g.GraphMax,
                      g.GraphStep, g.GraphAuto, g.GridShown, g.GraphClip, g.PlotType, g.ColorFile1,
                      g.ColorOnlyFile1, g.ColorFile2, g.ColorFile3);
}

TEST_F(GraphLayoutTest, RoundTripRestoresPresentChannelsAndExtras) {
    File1({{0, 3, "Ne"}, {1, 4, "TPS"}, {2, 256, "Oil"}, {5, 0, "Temp"}});
    for (ChannelCode code : {3, 4, 256, 0}) SetDistinct(GraphOf(code), code % 7);
    SlotOf(0).channelFlags[1] = kChannelPresent; // TPS not drawn
    g_graph.GraphVisible[0][2] = 0;
    g_layoutExtras.An_CH[1][3] = 2; // by name
    g_layoutExtras.An_CH[2][0] = 1; // by code
    g_layoutExtras.Gystp = 0;
    g_layoutExtras.SAxchn = 5;
    const GraphSettings saved = g_graph;
    const LayoutExtras extras = g_layoutExtras;
    ASSERT_TRUE(SaveLayoutFile(Path("a.lay")));

    ResetGraphSettings();
    ResetGraphLayouts();
    SlotOf(0).channelFlags[1] |= kChannelShown;
    ASSERT_TRUE(LoadLayoutFile(Path("a.lay")));
    for (ChannelCode code : {3, 4, 256, 0})
        EXPECT_EQ(Fields(GraphOf(code)), Fields(saved.code[code])) << code;
    EXPECT_EQ(SlotOf(0).channelFlags[1], kChannelPresent);
    EXPECT_EQ(SlotOf(0).channelFlags[0], kChannelPresent | kChannelShown);
    for (int f = 0; f < kSlotCount; ++f) EXPECT_EQ(g_graph.GraphVisible[f][2], 0);
    EXPECT_EQ(g_graph.GraphVisible[0][0], 1);
    for (int s = 0; s < kAnalysisSets; ++s)
        for (int i = 0; i < kAnalysisItems; ++i)
            EXPECT_EQ(g_layoutExtras.An_CH[s][i], extras.An_CH[s][i]);
    EXPECT_EQ(g_layoutExtras.Gystp, 0);
    EXPECT_EQ(g_layoutExtras.SAxchn, 5);
}

TEST_F(GraphLayoutTest, SavedTextHasTheKeysInOrderWithLineFeeds) {
    File1({{0, 3, "Ne"}, {1, 256, "Oil"}});
    GraphCodeSettings& ne = GraphOf(3);
    ne.GraphBottom = 200, ne.GraphTop = 100, ne.GraphMin = -1000, ne.GraphMax = 15000000;
    ne.GraphStep = 1000000, ne.GraphAuto = 0, ne.GraphClip = 0, ne.PlotType = 1;
    ne.ColorFile1 = 1, ne.ColorOnlyFile1 = 3, ne.ColorFile2 = 4, ne.ColorFile3 = 5;
    g_graph.GraphOrder[1] = 0; // Oil drawn on Ne's band
    for (auto& set : g_layoutExtras.An_CH)
        for (int32_t& item : set) item = 0;
    g_layoutExtras.An_CH[0][1] = 1;
    g_layoutExtras.SAxmax = 2500;
    ASSERT_TRUE(SaveLayoutFile(Path("small.lay")));

    std::string expected = "[LAYver]\nVer=3\n[Anlyze]\n";
    for (int s = 0; s < 3; ++s)
        for (int i = 0; i < 12; ++i)
            expected += "An_CH" + std::to_string(s) + "_" + std::to_string(i) +
                        (s == 0 && i == 1 ? "=Oil\n" : "=3\n");
    expected += "[XYP]\nGxmin=0\nGxmax=100\nGxstp=10\nGymin=0\nGymax=100\nGystp=10\n"
                "Gzmin=0\nGzmax=100\nGzstp=10\n"
                "[SrcAlert]\nSAxmin=0\nSAxmax=2500\nSAxchn=0\n"
                "[GraphSet]\n"
                "Gnam3=Ne\nGE3=1\nVG3=1\nGol3=3\nPmin3=200\nPmax3=100\nGmin3=-1000\n"
                "Gmax3=15000000\nGstp3=1000000\nGaut3=0\nGdsp3=1\nGclp3=0\nPtyp3=1\nCG3=1\n"
                "CGo3=3\nCR3=4\nCW3=5\n"
                "Gnam256=Oil\nGE256=1\nVG256=1\nPmin256=200\nPmax256=100\nGmin256=0\n"
                "Gmax256=100000\nGstp256=100000\nGaut256=1\nGdsp256=1\nGclp256=1\nPtyp256=0\n"
                "CG256=0\nCGo256=0\nCR256=2\nCW256=8\nGol256=3\n"
                "[Histry]\n"
                "Gnam0=Ne\nGE0=1\nPmin0=200\nPmax0=100\nGmin0=-1000\nGmax0=15000000\n"
                "Gstp0=1000000\nGaut0=0\nGdsp0=1\nGclp0=0\nPtyp0=1\nCG0=1\nCGo0=3\nCR0=4\nCW0=5\n"
                "Gol0=3\n"
                "Gnam1=Oil\nGE1=1\nPmin1=200\nPmax1=100\nGmin1=0\nGmax1=100000\nGstp1=100000\n"
                "Gaut1=1\nGdsp1=1\nGclp1=1\nPtyp1=0\nCG1=0\nCGo1=0\nCR1=2\nCW1=8\nGol1=3\n";
    EXPECT_EQ(Text("small.lay"), expected);
}

TEST_F(GraphLayoutTest, HistoryKeepsAnAbsentChannelUntilItReturns) {
    File1({{0, 3, "Ne"}, {4, 256, "Oil"}});
    SetDistinct(GraphOf(256), 2);
    const GraphCodeSettings oil = GraphOf(256);
    ASSERT_TRUE(SaveLayoutFile(Path("h.lay")));

    File1({{0, 3, "Ne"}}); // Oil absent: loaded and saved again without it
    LoadLayoutFile(Path("h.lay"));
    ASSERT_TRUE(SaveLayoutFile(Path("h.lay")));
    const std::string kept = Text("h.lay");
    EXPECT_EQ(kept.find("Gnam256="), std::string::npos);
    EXPECT_NE(kept.find("Gnam1=Oil\n"), std::string::npos);
    EXPECT_NE(kept.find("CW1=" + std::to_string(oil.ColorFile3) + "\nGoln1=Oil\n"),
              std::string::npos);

    File1({{0, 3, "Ne"}, {7, 300, "Oil"}}); // back, at another column and code
    LoadLayoutFile(Path("h.lay"));
    EXPECT_EQ(Fields(GraphOf(300)), Fields(oil));
}

// Either line end: layouts edited on another system still load.
TEST_F(GraphLayoutTest, ChannelsAreFoundByNameWhereverTheirEntryLies) {
    struct Case {
        ChannelCode code;
        const char* section;
        int entry;
    };
    for (const char* eol : {"\n", "\r\n"}) {
        for (const Case& k : {Case{300, "GraphSet", 77}, Case{0, "GraphSet", 290},
                              Case{5, "GraphSet", 40}, Case{260, "Histry", 1000}}) {
            SCOPED_TRACE(k.entry);
            File1({{0, 3, "Ne"}, {9, k.code, "Oil"}});
            std::string text = "[LAYver]|Ver=3|[Anlyze]|An_CH0_0=Oil|An_CH0_1=Nope|[" +
                               std::string(k.section) +
                               "]|Gnam1=Ne|CW1=1|Gnam#=Oil|Gmin#=-5000|CW#=6|";
            std::string file;
            for (char ch : text)
                file += ch == '|'   ? std::string(eol)
                        : ch == '#' ? std::to_string(k.entry)
                                    : std::string(1, ch);
            WriteFile("n.lay", file);
            LoadLayoutFile(Path("n.lay"));
            EXPECT_EQ(GraphOf(k.code).GraphMin, -5000);
            EXPECT_EQ(GraphOf(k.code).ColorFile3, 6);
            EXPECT_EQ(g_layoutExtras.An_CH[0][0], 9);
            EXPECT_EQ(g_layoutExtras.An_CH[0][1], 1);
        }
    }
}

TEST_F(GraphLayoutTest, VersionTwoIsReadByCodeFromZeroAndScale) {
    File1({{0, 3, "Ne"}, {1, 256, "Oil"}});
    WriteFile("v2.lay", "[LAYver]\nVer=2\n[GraphSet]\nGnam1=Oil\nGmin1=5000\n"
                        "Gnam3=Whatever\npos3=300\nzom3=50000\nGmin3=0\nGmax3=10000000\n");
    LoadLayoutFile(Path("v2.lay"));
    EXPECT_EQ(GraphOf(3).GraphZero, 300);
    EXPECT_FLOAT_EQ(GraphOf(3).GraphScale, 50.0f);
    EXPECT_EQ(GraphOf(3).GraphBottom, 300);
    EXPECT_EQ(GraphOf(3).GraphTop, 100);
    EXPECT_EQ(GraphOf(256).GraphMin, 0); // no name matching
}

TEST_F(GraphLayoutTest, SmallStepsAndNarrowBandsAreCorrected) {
    struct Case {
        int step, max, clip;
        int wantStep, wantClip;
    };
    for (const Case& k : {Case{0, 999, 1, 1000, 0}, Case{1, 1000, 1, 1000, 1},
                          Case{2, 5000, 1, 10, 1}, Case{-7, 500, 0, 1000, 0}}) {
        File1({{0, 3, "Ne"}});
        WriteFile("s.lay", "[LAYver]\nVer=3\n[GraphSet]\nGnam3=Ne\nGmin3=0\nGmax3=" +
                               std::to_string(k.max) + "\nGstp3=" + std::to_string(k.step) +
                               "\nGclp3=" + std::to_string(k.clip) + "\n");
        LoadLayoutFile(Path("s.lay"));
        EXPECT_EQ(GraphOf(3).GraphStep, k.wantStep) << k.step;
        EXPECT_EQ(GraphOf(3).GraphClip, k.wantClip) << k.max;
    }
}

TEST_F(GraphLayoutTest, ExtremeValuesAreLimitedToWhatTheDialogAllows) {
    File1({{0, 3, "Ne"}, {1, 4, "TPS"}});
    // Band edges at both ends of 32 bits once overflowed their difference.
    WriteFile("x.lay", "[LAYver]\nVer=3\n[GraphSet]\n"
                       "Gnam3=Ne\nPmin3=2147483647\nPmax3=-2147483648\nGmin3=-2147483648\n"
                       "Gmax3=2147483647\nGstp3=2147483647\nCG3=99\nCR3=-1\nGclp3=7\nPtyp3=-3\n"
                       "Gnam4=TPS\nPmin4=-2147483648\nPmax4=2147483647\nGmin4=5\nGmax4=2\n");
    LoadLayoutFile(Path("x.lay"));
    const GraphCodeSettings& ne = GraphOf(3);
    EXPECT_EQ(std::tuple(ne.GraphMin, ne.GraphMax, ne.GraphStep, ne.GraphBottom, ne.GraphTop),
              std::tuple(-100000000, 100000000, 100000000, 100000, -100000));
    EXPECT_EQ(std::tuple(ne.ColorFile1, ne.ColorFile2, ne.GraphClip, ne.PlotType),
              std::tuple(8, 8, 1, 1));
    EXPECT_FLOAT_EQ(ne.GraphScale, 200000000.0f / (200000 * 1000.0f));
    const GraphCodeSettings& tps = GraphOf(4); // an upside-down band is made 10 rows high
    EXPECT_EQ(std::tuple(tps.GraphTop, tps.GraphBottom), std::tuple(100000, 100010));
    ASSERT_TRUE(SaveLayoutFile(Path("y.lay")));
    EXPECT_NE(Text("y.lay").find("\nPmin3=100000\nPmax3=-100000\nGmin3=-100000000\n"),
              std::string::npos);
}

TEST_F(GraphLayoutTest, FullHistoryCautionsAndStillWrites) {
    for (int old : {1023, 1024}) {
        File1({{0, 3, "New"}});
        std::string text = "[LAYver]\nVer=3\n[Histry]\n";
        for (int n = 0; n < old; ++n)
            text += "Gnam" + std::to_string(n) + "=H" + std::to_string(n) + "\n";
        WriteFile("full.lay", text);
        ClearRecordedMessages();
        ASSERT_TRUE(SaveLayoutFile(Path("full.lay")));
        const std::string saved = Text("full.lay");
        EXPECT_EQ(SawMessage("caution", kCaution), old == 1024);
        EXPECT_NE(saved.find("Gnam3=New\n"), std::string::npos);
        EXPECT_LE(saved.size(), kLayoutTextMax);
        EXPECT_EQ(saved.back(), '\n');
        EXPECT_EQ(saved.find("Gnam1024="), std::string::npos);
    }
}

TEST_F(GraphLayoutTest, OlderLayoutsNumberRangesByCodeAndTheRestByColumn) {
    File1({{0, 3, "Ne"}, {1, 4, "TPS"}});
    WriteFile("old.lay", "[GraphSet]\npos3=250\nzom3=20000\nGmax3=2000000\nGstp3=0\nCG3=5\n"
                         "pos0=999\nCG0=7\nGol1=0\nVG1=0\nGE1=0\nCG1=6\n");
    LoadLayoutFile(Path("old.lay"));
    const GraphCodeSettings& ne = GraphOf(3);
    EXPECT_EQ(ne.GraphZero, 250);
    EXPECT_FLOAT_EQ(ne.GraphScale, 20.0f);
    EXPECT_EQ(ne.GraphTop, 150);
    EXPECT_EQ(ne.GraphStep, 1000);
    EXPECT_EQ(ne.ColorFile1, 7);
    EXPECT_EQ(GraphOf(4).ColorFile1, 6);
    EXPECT_EQ(GraphOf(4).ColorFile2, 2);
    EXPECT_EQ(g_graph.GraphOrder[1], 0);
    EXPECT_EQ(g_graph.GraphVisible[2][1], 0);
    EXPECT_EQ(SlotOf(0).channelFlags[1], kChannelPresent);
    EXPECT_EQ(GraphOf(4).GraphZero, 250); // synchronised onto Ne
}

TEST_F(GraphLayoutTest, SynchronisedGraphTakesTheTargetsZeroAndScale) {
    File1({{0, 3, "Ne"}, {1, 4, "TPS"}});
    WriteFile("sync.lay", "[LAYver]\nVer=3\n[GraphSet]\n"
                          "Gnam3=Ne\nPmin3=200\nPmax3=100\nGmin3=0\nGmax3=10000000\n"
                          "Gnam4=TPS\nGol4=3\nPmin4=200\nPmax4=100\nGmin4=5000\nGmax4=5000\n");
    LoadLayoutFile(Path("sync.lay"));
    const GraphCodeSettings &ne = GraphOf(3), &tps = GraphOf(4);
    EXPECT_EQ(g_graph.GraphOrder[1], 0);
    EXPECT_EQ(tps.GridShown, 0);
    EXPECT_EQ(ne.GridShown, 1);
    EXPECT_EQ(tps.GraphZero, ne.GraphZero);
    EXPECT_FLOAT_EQ(tps.GraphScale, ne.GraphScale);
    EXPECT_FLOAT_EQ(ne.GraphScale, 100.0f);
    EXPECT_EQ(tps.GraphMax, 5100);
    EXPECT_EQ(tps.GraphClip, 0);
}

TEST_F(GraphLayoutTest, MissingFileLoadsDefaults) {
    File1({{0, 3, "Ne"}, {1, 256, "Oil"}});
    SetDistinct(GraphOf(3), 1);
    g_graph.GraphOrder[0] = 1;
    g_graph.GraphVisible[1][0] = 0;
    SlotOf(0).channelFlags[0] = kChannelPresent;
    g_layoutExtras.An_CH[2][5] = 0;
    g_layoutExtras.Gzmax = 7;
    EXPECT_FALSE(LoadLayoutFile(Path("none.lay")));
    // No entry for any channel: they are stacked, one under another, as a first run does.
    EXPECT_EQ(GraphOf(3).GraphTop, 20);
    EXPECT_GT(GraphOf(256).GraphTop, GraphOf(3).GraphBottom);
    EXPECT_EQ(GraphOf(3).ColorFile2, 2);
    EXPECT_EQ(g_graph.GraphOrder[0], 0);
    EXPECT_EQ(g_graph.GraphVisible[1][0], 1);
    EXPECT_EQ(SlotOf(0).channelFlags[0], kChannelPresent | kChannelShown);
    EXPECT_EQ(g_layoutExtras.An_CH[2][5], 5);
    EXPECT_EQ(g_layoutExtras.Gzmax, 100);
}

// A CAN logger recording after a family-3 session: the layout knows engine speed only. The
// channels it does not know get bands of their own in the rows left free; Ne keeps its place.
TEST_F(GraphLayoutTest, ChannelsTheLayoutDoesNotKnowAreStackedIntoFreeRows) {
    File1({{0, 3, "Ne"}, {1, 256, "Oil"}, {2, 257, "Boost"}, {3, 258, "Lean"}, {4, 259, "Gear"}});
    for (int c = 1; c <= 4; ++c) SlotOf(0).range.max[c] = 5000 * c;
    WriteFile("can.lay", "[LAYver]\nVer=3\n[GraphSet]\nGnam3=Ne\nPmax3=100\nPmin3=300\n"
                         "Gmin3=0\nGmax3=15000000\n");
    ASSERT_TRUE(LoadLayoutFile(Path("can.lay")));
    EXPECT_EQ(GraphOf(3).GraphTop, 100);
    EXPECT_EQ(GraphOf(3).GraphBottom, 300);
    std::vector<std::pair<int, int>> rows = {{100, 300}};
    for (ChannelCode code : {256, 257, 258, 259}) {
        const GraphCodeSettings& g = GraphOf(code);
        EXPECT_GE(g.GraphBottom - g.GraphTop, 20) << code;
        EXPECT_GE(g.GraphTop, 20) << code;
        EXPECT_LE(g.GraphBottom, 768) << code;
        EXPECT_EQ(g.GraphMax, 5000 * (code - 255)) << code; // scaled to its data
        for (const auto& [top, bottom] : rows)
            EXPECT_TRUE(g.GraphBottom < top || g.GraphTop > bottom)
                << code << " overlaps " << top << ".." << bottom;
        rows.push_back({g.GraphTop, g.GraphBottom});
    }
}

TEST_F(GraphLayoutTest, StandardLayoutAndTabsLieInTheProgramDirectory) {
    File1({{0, 3, "Ne"}});
    GraphOf(3).GraphMin = -3000;
    ASSERT_TRUE(SaveLayout(0));
    EXPECT_NE(Text("stdgp.ini").find("Gmin3=-3000\n"), std::string::npos);
    WriteFile("Track A.lay", "[LAYver]\nVer=3\n[GraphSet]\nGnam3=Ne\nGmin3=-7000\n");
    ASSERT_TRUE(LoadLayout(2, "Track A"));
    EXPECT_EQ(GraphOf(3).GraphMin, -7000);
    ASSERT_TRUE(LoadLayout(0));
    EXPECT_EQ(GraphOf(3).GraphMin, -3000);
}

} // namespace
} // namespace qvtk
