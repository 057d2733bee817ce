// The fuel report: injector pulse edges per file and lap, each file read through its own
// "F_TMFLCN" column.
#include "analysis/fuel_used.h"

#include "tests/test_support.h"

namespace qvtk::test {
namespace {

class FuelUsedTest : public ProgramTest {
protected:
    // Pulses of one sample at the given samples, in column `column`.
    static void Recording(FileSlot slot, int column, int32_t count, std::vector<int32_t> marks,
                          std::vector<int32_t> pulses) {
        Slot& s = MakeRecording(slot, count, {{0, kCodeNe, "Ne"}, {column, 300, "F_TMFLCN"}});
        for (int32_t at : pulses) s.samples[column][at] = 1;
        s.laps.count = int32_t(marks.size()) + 1;
        for (size_t k = 0; k < marks.size(); ++k) s.laps.marks[k + 1] = marks[k];
        for (int k = s.laps.count; k <= s.laps.count + 2; ++k) s.laps.marks[k] = count;
    }
};

TEST_F(FuelUsedTest, EachFileCountsItsOwnColumnPerLap) {
    Recording(0, 5, 100, {40}, {10, 20, 50});
    Recording(1, 7, 100, {30, 60}, {5, 70});     // its channel sits in another column
    SlotOf(1).channelFlags[5] = kChannelPresent; // and File 1's column means nothing here
    SlotOf(1).samples[5][3] = 9;
    EXPECT_EQ(FuelUsedText(), "              File1     :    File2\n\n"
                              "total -    30 cc  :     20 cc\n\n"
                              "lap 0  -    20 cc  :    10 cc\n"
                              "lap 1  -    10 cc  :     0 cc\n"
                              "lap 2  -     0 cc  :    10 cc\n");
    ShowFuelUsed();
    EXPECT_TRUE(SawMessage("Fuel used", FuelUsedText()));
}

TEST_F(FuelUsedTest, AtMostThirtyLapsAndNothingWithoutTheChannel) {
    std::vector<int32_t> marks;
    for (int32_t m = 10; m < 400; m += 10) marks.push_back(m);
    Recording(0, 5, 400, marks, {});
    const std::string text = FuelUsedText();
    EXPECT_NE(text.find("lap 29  -"), std::string::npos);
    EXPECT_EQ(text.find("lap 30"), std::string::npos);
    // File 2 missing: zeros. File 1 without the channel: no report at all.
    EXPECT_NE(text.find("total -     0 cc  :      0 cc"), std::string::npos);
    MakeRecording(0, 100, {{0, kCodeNe, "Ne"}});
    ClearRecordedMessages();
    ShowFuelUsed();
    EXPECT_EQ(FuelUsedText(), "");
    EXPECT_TRUE(RecordedMessages().empty());
}

} // namespace
} // namespace qvtk::test
