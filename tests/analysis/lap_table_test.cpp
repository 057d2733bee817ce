// The lap table without its dialog: per-lap channel values behind the engine gate, bests and
// means, the row order of every heading, the rows of both views and where a click jumps.
#include "analysis/lap_table.h"

#include "analysis/lap_statistics.h"
#include "tests/analysis/lap_fixture.h"

namespace qvtk::test {
namespace {

using V = std::vector<int32_t>;

constexpr int kNe = 0, kTps = 1, kVb = 2, kAbsent = 3;

class LapTableTest : public LapFixture {
protected:
    void SetUp() override {
        LapFixture::SetUp();
        for (auto& set : columns_)
            for (int i = 0; i < kTableColumns; ++i) set[i] = i < 4 ? i : kTps;
    }
    // File 1 with Ne, TPS (one decimal) and VB (two decimals); the engine runs throughout.
    Slot& Ride(int32_t n, std::initializer_list<int32_t> marks, int m = 1) {
        Slot& s = MakeRecording(
            0, n, {{kNe, kCodeNe, "Ne"}, {kTps, kCodeTPS, "TPS"}, {kVb, kCodeVB, "VB"}});
        s.channels[kTps].decimals = 1;
        s.channels[kVb].decimals = 2;
        Fill(0, kNe, 10000);
        Fill(0, kTps, 1000);
        for (int32_t i = 0; i < n; ++i) s.distance.front[i] = 10 * uint32_t(i);
        SetMarks(0, marks);
        SetMarksPerLap(0, m);
        return s;
    }
    void Open() { OpenLapTable(columns_); }
    void Sort(int heading) { ClickHeading(0, heading, columns_); }
    static const LapColumnValues& Values(int c, int k) { return g_lapChannelStats[0].laps[c][k]; }
    static V Laps() {
        V laps;
        for (const LapTableRow& r : FillPanel(0).rows) laps.push_back(r.lap);
        return laps;
    }
    static std::vector<std::string> Cells(int row, std::initializer_list<int> cells) {
        const LapTablePanelView view = FillPanel(0);
        std::vector<std::string> out;
        for (int c : cells) out.push_back(view.rows[row].cells[c].text);
        return out;
    }
    static std::vector<bool> Reds(int row) {
        const LapTablePanelView view = FillPanel(0);
        std::vector<bool> out;
        for (const LapTableCell& c : view.rows[row].cells) out.push_back(c.red);
        return out;
    }
    TableColumns columns_;
};

TEST_F(LapTableTest, ValuesCountOnlySamplesWithTheEngineRunning) {
    Slot& s = Ride(1000, {300, 600, 800});
    s.samples[kTps][0] = 90000; // sample 0 is never counted
    s.samples[kTps][1] = 80000; // the first counted sample of lap 0 is its highest
    for (int i = 400; i < 410; ++i) s.samples[kNe][i] = 9000; // not above the gate
    s.samples[kTps][405] = 99000;
    s.samples[kTps][450] = s.samples[kTps][460] = 50000;
    s.samples[kTps][500] = -2000;
    s.samples[kTps][600] = 70000; // the last sample of lap 1 and the first of lap 2
    s.samples[kNe][700] = 12000;
    for (int i = 800; i < 1000; ++i) s.samples[kNe][i] = 9000; // lap 3: engine off
    s.engineSpeedScale = 1.5f;
    Open();

    EXPECT_EQ(Values(kTps, 0).lapMax, 80000);
    EXPECT_EQ(Values(kTps, 0).lapMaxAt, 1);
    EXPECT_EQ(Values(kTps, 0).lapMinAt, 2);
    const LapColumnValues& lap1 = Values(kTps, 1);
    EXPECT_EQ(V({int32_t(lap1.lapMin), lap1.lapMinAt, int32_t(lap1.lapMax), lap1.lapMaxAt}),
              V({-2000, 500, 70000, 600}));
    EXPECT_DOUBLE_EQ(lap1.lapAvg, (1000.0 * 287 + 50000 * 2 - 2000 + 70000) / 291);
    EXPECT_EQ(Values(kTps, 2).lapMax, 70000);
    EXPECT_EQ(Values(kNe, 2).lapMax, 18000); // engine speed times the scale
    EXPECT_EQ(Values(kNe, 2).lapMaxAt, 700);
    EXPECT_DOUBLE_EQ(Values(kNe, 1).lapAvg, 15000);
    EXPECT_FALSE(Values(kTps, 3).counted);
    EXPECT_TRUE(Values(kAbsent, 1).counted);
    EXPECT_EQ(Values(kAbsent, 1).lapMax, 0);

    // The lap without a counted sample shows empty cells and is no best, even checked.
    LapStateOf(0).lapChecked[3] = true;
    UpdateLapTableBests();
    EXPECT_EQ(Laps(), (V{0, 1, 2, 3, 4, -1, -1, -1}));
    EXPECT_EQ(Cells(3, {0, 1, 2, 3, 4}), (std::vector<std::string>{"00'01.00", "", "", "", ""}));
    EXPECT_EQ(Cells(1, {1, 2, 3, 4, 5, 6, 7}),
              (std::vector<std::string>{"     15", "     15", "   -2.0", "   70.0", "   0.00",
                                        "   0.00", "      0"}));
    EXPECT_EQ(g_lapChannelStats[0].bestMinLap[kTps], 1);
    EXPECT_EQ(g_lapChannelStats[0].bestMaxLap[kNe], 2);
    EXPECT_DOUBLE_EQ(g_lapChannelStats[0].meanMax[kTps], 70000); // laps 1, 2; not lap 3
}

TEST_F(LapTableTest, BestsKeepTheEarlierOfEqualValuesAndNeedCheckedLaps) {
    Slot& s = Ride(2000, {400, 800, 1200, 1600});
    s.samples[kTps][500] = s.samples[kTps][900] = 200; // equal minima in laps 1 and 2
    s.samples[kTps][1300] = 5000;
    Open();
    const LapChannelStats& st = g_lapChannelStats[0];
    EXPECT_EQ(V({st.bestMinLap[kTps], st.bestMaxLap[kTps]}), V({1, 3}));
    EXPECT_EQ(Reds(1)[3], true);
    EXPECT_EQ(Reds(2)[3], true); // equal to the best: red as well
    EXPECT_EQ(Reds(0)[3], false);
    EXPECT_EQ(st.bestMinLap[kAbsent], kNoLap); // an absent channel's zeros are never red
    EXPECT_EQ(g_lapTable.panels[0].highlightLap, LapStateOf(0).bestLap);

    ClickSelect(0); // ALL off
    EXPECT_EQ(V({st.bestMinLap[kTps], st.bestMaxLap[kTps]}), V({kNoLap, kNoLap}));
    EXPECT_EQ(st.meanMin[kTps], 0);
    for (int r = 0; r < 5; ++r)
        for (bool red : Reds(r)) EXPECT_FALSE(red) << r;
    EXPECT_EQ(Cells(5, {0, 3, 4}), (std::vector<std::string>{"Avr.", "    0.0", "    0.0"}));
    g_lapTable.sectorView = 1;
    EXPECT_EQ(Cells(0, {11, 12}), (std::vector<std::string>{" 0'00.00", " 0'00.00"}));
}

TEST_F(LapTableTest, EveryHeadingSortsAndEqualLapsKeepTheirOrder) {
    Slot& s = Ride(3000, {500, 1100, 1500, 2200});
    // Lap durations 500, 600, 400, 700, 800: fastest first is 2, 0, 1, 3, 4.
    s.samples[kTps][600] = 3000;  // lap 1 max
    s.samples[kTps][1200] = 3000; // lap 2 max, equal: lap 1 stays first
    s.samples[kTps][2500] = 500;  // lap 4 min: every other lap's minimum is 1000
    s.engineSpeedScale = 0.5f;
    s.samples[kNe][1700] = 10001; // 5000.5 truncates to 5000: no better than the others
    Open();
    Sort(0);
    EXPECT_EQ(Laps(), (V{2, 0, 1, 3, 4, 5, -1, -1}));
    Sort(4); // TPS max
    EXPECT_EQ(Laps(), (V{1, 2, 0, 3, 4, 5, -1, -1}));
    Sort(0);
    g_lapTable.page = 1; // a heading sorts by the column it heads on the page shown: TPS here
    Sort(2);
    EXPECT_EQ(Laps(), (V{1, 2, 0, 3, 4, 5, -1, -1}));
    g_lapTable.page = 0;
    Sort(3); // TPS min: all 1000 but lap 4's
    EXPECT_EQ(Laps(), (V{0, 1, 2, 3, 4, 5, -1, -1}));
    for (int i = 1500; i <= 2200; ++i) s.samples[kTps][i] = 2000;
    Sort(3); // the highest minimum first
    EXPECT_EQ(Laps(), (V{3, 0, 1, 2, 4, 5, -1, -1}));
    Sort(2); // Ne max: the truncated 5000.5 ties
    EXPECT_EQ(Laps(), (V{0, 1, 2, 3, 4, 5, -1, -1}));
    for (int i = 2200; i < 3000; ++i) s.samples[kNe][i] = 0; // lap 4 not counted
    s.samples[kNe][2100] = 30000;
    Sort(1); // Ne min: the lap without a value goes last
    EXPECT_EQ(Laps(), (V{0, 1, 2, 3, 4, 5, -1, -1}));
    Sort(2); // Ne max
    EXPECT_EQ(Laps(), (V{3, 0, 1, 2, 4, 5, -1, -1}));
    g_lapTable.sectorView = 1;
    Sort(0);
    EXPECT_EQ(Laps(), (V{2, 0, 1, 3, 4, 5, -1, -1}));
    Sort(12); // no sector behind "Ideal time": the file order
    EXPECT_EQ(Laps(), (V{0, 1, 2, 3, 4, 5, -1, -1}));
    g_lapTable.sectorView = 0;
    g_lapTable.averageView = true; // headings do nothing in the average view
    Sort(0);
    EXPECT_EQ(Laps(), (V{0, 1, 2, 3, 4, 5, -1, -1}));
}

TEST_F(LapTableTest, TwoMarksPerLapListLapStartsAndTheirSectors) {
    Ride(3000, {300, 700, 1000, 1500, 1700, 2300}, 2); // laps 0, 2, 4; mark 6 ends nothing
    Open();
    EXPECT_EQ(Laps(), (V{0, 2, 4, 6, 8, -1, -1, -1}));
    EXPECT_EQ(FillPanel(0).rows[3].checkable, true);
    EXPECT_EQ(Cells(4, {0}), (std::vector<std::string>{"Avr."}));
    EXPECT_FALSE(FillPanel(0).rows[4].checkable);
    g_lapTable.panels[0].scroll = 1; // an odd first row puts marks that start no lap on screen
    EXPECT_EQ(Cells(0, {0}), (std::vector<std::string>{"- -"}));
    ScrollPanel(0, TableScroll::Thumb, 3);
    EXPECT_EQ(g_lapTable.panels[0].scroll, 0); // limit: 2 x (7 div 2) - 12 is below 0

    g_lapTable.sectorView = 1;
    EXPECT_EQ(Cells(0, {0, 1, 2, 3}), (std::vector<std::string>{"00'03.50", " 1.50", " 2.00", ""}));
    EXPECT_EQ(Cells(2, {1, 2}), (std::vector<std::string>{" 1.00", " 3.00"}));
    EXPECT_EQ(Reds(2)[1], true);  // lap 4 has the best first sector
    EXPECT_EQ(Reds(1)[2], true);  // lap 2 the best second one
    EXPECT_EQ(Reds(0)[1], false); // lap 0 is not checked
    EXPECT_EQ(Cells(0, {11, 12}), (std::vector<std::string>{" 0'03.50", " 0'04.00"}));
    EXPECT_EQ(Cells(1, {11, 12}), (std::vector<std::string>{"", ""}));
    std::string headings[kRowCells];
    TableHeadings(headings);
    EXPECT_EQ(headings[1] + headings[7] + headings[8] + headings[11] + headings[12],
              "Sec1Sec7Ideal timeLap  Avr. ");
}

TEST_F(LapTableTest, ClicksSetTheJumpTarget) {
    Slot& s = Ride(2000, {500, 1000});
    s.samples[kTps][1700] = 4000;
    s.samples[kTps][1200] = 300;
    Open();
    EXPECT_EQ(ClickCell(0, 0, 0), CellClick::Highlight); // lap time: remembered, no jump
    EXPECT_EQ(g_lapTable.jumpTarget[0], 0);
    EXPECT_FALSE(g_lapTable.jumpRequest);
    EXPECT_EQ(g_lapTable.panels[0].highlightLap, 0);
    EXPECT_EQ(ClickCell(0, 2, 4), CellClick::Jump); // TPS max of lap 2
    EXPECT_EQ(g_lapTable.jumpTarget[0], 1700);
    EXPECT_EQ(ClickCell(0, 2, 3), CellClick::Jump);
    EXPECT_EQ(g_lapTable.jumpTarget[0], 1200);
    EXPECT_TRUE(g_lapTable.jumpRequest);
    EXPECT_EQ(ClickCell(0, 3, 1), CellClick::Nothing); // the "Avr." row
    EXPECT_EQ(ClickCell(0, 5, 0), CellClick::Nothing); // an empty row
    g_lapTable.averageView = true;
    EXPECT_EQ(ClickCell(0, 1, 3), CellClick::Nothing);

    // Sector view: the start of the clicked sector, -1 past the end of the data.
    ComputeSegments(0);
    g_courseLayout.pointCount = 100;
    LapStateOf(0).sectors.sec[1] = 30;
    LapStateOf(0).sectors.sec[2] = 150; // never reached
    g_lapTable.sectorView = 1;
    UpdateLapTableBests();
    const int32_t* t = LapStateOf(0).sectorTime[1];
    ASSERT_EQ(t[1], kNoTime);
    EXPECT_EQ(ClickCell(0, 1, 0), CellClick::Jump);
    EXPECT_EQ(g_lapTable.jumpTarget[0], 500);
    EXPECT_EQ(ClickCell(0, 1, 2), CellClick::Jump);
    EXPECT_EQ(g_lapTable.jumpTarget[0], 500 + t[0]);
    EXPECT_EQ(ClickCell(0, 1, 3), CellClick::Jump);
    EXPECT_EQ(g_lapTable.jumpTarget[0], -1);
    EXPECT_EQ(ClickCell(0, 1, 9), CellClick::Nothing);
}

TEST_F(LapTableTest, ChecksOnOpeningSelectCyclingAndRowChecks) {
    Ride(3000, {500, 1000, 1500});
    LapState& st = LapStateOf(0);
    Open();
    EXPECT_EQ(Row(st.lapChecked, 5), (std::vector<bool>{false, true, true, false, false}));
    EXPECT_EQ(std::string(SelectHeading(0)), "Select");
    ClickSelect(0);
    EXPECT_EQ(std::string(SelectHeading(0)), "ALL off");
    EXPECT_EQ(st.bestLap, kNoLap);
    ClickSelect(0);
    EXPECT_EQ(std::string(SelectHeading(0)), "ALL on");
    EXPECT_EQ(Row(st.lapChecked, 5), (std::vector<bool>{true, true, true, true, false}));
    ClickSelect(0);
    EXPECT_EQ(std::string(SelectHeading(0)), "ALL off");
    EXPECT_TRUE(ToggleRowCheck(0, 2));
    EXPECT_EQ(std::string(SelectHeading(0)), "Select");
    EXPECT_EQ(st.bestLap, 2);
    EXPECT_FALSE(ToggleRowCheck(0, 4)); // the "Avr." row
    g_lapTable.keepChecks = true;
    Open();
    EXPECT_EQ(Row(st.lapChecked, 4), (std::vector<bool>{false, false, true, false}));
    g_lapTable.keepChecks = false;

    SetMarks(0, {}); // no marks: the whole recording is one checked lap
    Open();
    EXPECT_EQ(Laps(), (V{0, 1, -1, -1, -1, -1, -1, -1}));
    EXPECT_TRUE(st.lapChecked[0]);
    EXPECT_EQ(FillPanel(1).rows[0].lap, -1); // File 2 is empty
}

TEST_F(LapTableTest, OpensAtTheFirstLapAndScrollsWithinItsLimits) {
    std::initializer_list<int32_t> marks = {100, 200, 300, 400, 500, 600, 700, 800, 900};
    Ride(1000, marks);               // count 10: the first row goes at most to mark 4
    SlotOf(0).cursorPos = 550 * 100; // the viewer stands in lap 5
    Open();
    EXPECT_EQ(g_lapTable.panels[0].scroll, 0);
    EXPECT_EQ(Laps()[0], 0);
    ScrollPanel(0, TableScroll::Bottom);
    const struct {
        TableScroll action;
        int32_t thumb, expected;
    } steps[] = {{TableScroll::LineUp, 0, 3},   {TableScroll::PageUp, 0, 0},
                 {TableScroll::LineDown, 0, 1}, {TableScroll::PageDown, 0, 4},
                 {TableScroll::Top, 0, 0},      {TableScroll::Bottom, 0, 4},
                 {TableScroll::Thumb, 2, 2},    {TableScroll::Thumb, 99, 4}};
    for (const auto& step : steps) {
        ScrollPanel(0, step.action, step.thumb);
        EXPECT_EQ(g_lapTable.panels[0].scroll, step.expected) << int(step.action);
    }
    EXPECT_EQ(Laps(), (V{4, 5, 6, 7, 8, 9, 10, -1}));
}

} // namespace
} // namespace qvtk::test
