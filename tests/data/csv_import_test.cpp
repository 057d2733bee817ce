// CSV files through the open flow, OK pressed on the defaults of "csvlabel.ini": the time base,
// lap marks, values, the forms other loggers and lap timers write, and every failure message.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "data/csv_import.h"
#include "tests/test_support.h"

namespace qvtk::test {
namespace {

constexpr int kNe = 0, kTps = 1, kVfw = 2, kVrw = 3, kFrSus = 4, kLaf1 = 6, kAux1 = 9, kSlip = 11,
              kVFrSus = 12;

const char* const kLabels =
    "[Time]\n0=Time\n1=Time (ms)\n[Ne]\n0=RPM\n[TH]\n0=TPS\n[VFW]\n0=Speed\n"
    "[VRW]\n0=Rear\n[FRSUS]\n0=Fork\n[AUX1]\n0=AUX1\n"
    "[LAP]\n0=Lap\n1=LapDist\n";

// Lines "t,rpm" with the given time step from 0.
std::string TimedLines(int lines, double step, int skewAt = -1, double skew = 0) {
    std::string text = "Time,RPM\n";
    double t = 0;
    char line[64];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "%.3f,%d\n", t, 1000 + i);
        text += line;
        t += i == skewAt ? skew : step;
    }
    return text;
}

bool Logged(const std::string& line) {
    for (const std::string& l : g_csvImport.last.log)
        if (l == line) return true;
    return false;
}

class CsvImportTest : public TempProgramDirectory {
protected:
    void SetUp() override {
        TempProgramDirectory::SetUp();
        WriteFile("csvlabel.ini", kLabels);
        LoadCsvLabels(dir_);
        g_settings.SmoothingSample = -1; // no moving average: stored values as read
    }
    bool Open(const std::string& text, FileSlot slot = 0) {
        WriteFile("ride.csv", text);
        FileSlot filled = slot;
        return LoadFileIntoSlot(filled, dir_ + "/ride.csv");
    }
};

TEST_F(CsvImportTest, ATimeColumnGivesItsTimeBaseAtAnyLength) {
    struct Case {
        double step;
        float factor;
        const char* log;
    };
    // 400 lines: three-decimal times past 1 s must still step evenly.
    for (const Case& c : {Case{0.005, 1.0f, "Detected Timebase 5ms(200Hz)"},
                          Case{0.01, 0.5f, "Detected Timebase 10ms(100Hz)"},
                          Case{0.05, 0.1f, "Detected Timebase 50ms(20Hz)"}}) {
        SCOPED_TRACE(c.log);
        ASSERT_TRUE(Open(TimedLines(400, c.step)));
        EXPECT_FLOAT_EQ(SlotOf(0).sampleRateFactor, c.factor);
        EXPECT_TRUE(Logged(c.log));
        EXPECT_EQ(SlotOf(0).sampleCount, 401);
        EXPECT_EQ(At(kNe, 0), 0); // sample 0 stays empty, line 1 is sample 1
        EXPECT_EQ(At(kNe, 400), 1399000);
    }
}

TEST_F(CsvImportTest, AnIrregularStepIsResampledRefusedOrOverriddenByAFixedTimeBase) {
    const std::string text = TimedLines(30, 0.005, 8, 0.007);
    g_csvImport.request.noResample = true;
    EXPECT_FALSE(Open(text));
    EXPECT_TRUE(
        SawMessage("File Error!!",
                   "There was a problem with BaseTime data.\r\nManually setting the BaseTime."));
    ExpectClosed(0);

    g_csvImport.request.timebase = "10ms(100Hz)";
    ASSERT_TRUE(Open(text));
    EXPECT_FLOAT_EQ(SlotOf(0).sampleRateFactor, 0.5f);
    EXPECT_EQ(SlotOf(0).sampleCount, 31);

    g_csvImport.request = CsvRequest();
    ASSERT_TRUE(Open(text));
    EXPECT_TRUE(g_csvImport.last.resampled);
    EXPECT_TRUE(Logged("Resampled on the time column to 5ms(200Hz)"));
    EXPECT_EQ(SlotOf(0).sampleCount, 1 + 30); // instants 0 .. 145 ms every 5 ms
}

TEST_F(CsvImportTest, ResamplingHoldsTheLastValueAtOrBeforeEachInstant) {
    ASSERT_TRUE(Open("Time,RPM,Lap\n0.000,1000,1\n0.004,2000,1\n0.011,3000,2\n0.015,4000,2\n"
                     "0.021,5000,2\n"));
    const Slot& s = SlotOf(0);
    ASSERT_EQ(s.sampleCount, 6); // instants 0, 5, 10, 15, 20 ms
    const int32_t want[] = {0, 1000000, 2000000, 2000000, 4000000, 4000000};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(At(kNe, i), want[i]) << i;
    // The lap of the line at 11 ms begins at the first instant after it (15 ms).
    EXPECT_EQ(s.laps.count, 2);
    EXPECT_EQ(s.laps.marks[1], 4);

    // Empty time cells before the first time hold 0, as any empty cell before a first value.
    ASSERT_TRUE(Open("Time,RPM\n,1000\n,1001\n0.010,1002\n0.015,1003\n0.020,1004\n0.025,1005\n"));
    ASSERT_EQ(SlotOf(0).sampleCount, 7); // instants 0 .. 25 ms every 5 ms
    for (int i = 1; i < 7; ++i) EXPECT_EQ(At(kNe, i), (i < 3 ? 1001 : 1000 + i - 1) * 1000) << i;
}

TEST_F(CsvImportTest, LapMarksOfBothTypesFollowTheFirstEntryAtZero) {
    struct Case {
        const char* column;
        const char* values[5];
    };
    for (const Case& c : {Case{"Lap", {"1", "1", "2", "2", "3"}},
                          Case{"LapDist", {"10", "20", "0", "15.5", "0.4"}}}) {
        SCOPED_TRACE(c.column);
        std::string text = std::string("RPM,") + c.column + "\n";
        for (const char* v : c.values) text += std::string("9000,") + v + "\n";
        ASSERT_TRUE(Open(text));
        const LapMarkTable& t = SlotOf(0).laps;
        EXPECT_EQ(t.count, 3);
        const int32_t want[] = {0, 3, 5, 6, 6, 6};
        for (int k = 0; k < 6; ++k) EXPECT_EQ(t.marks[k], want[k]) << k;
    }
    // Without a lap column the recording is one lap, not none.
    ASSERT_TRUE(Open("RPM\n9000\n9001\n"));
    EXPECT_EQ(SlotOf(0).laps.count, 1);
    EXPECT_EQ(SlotOf(0).laps.marks[1], 3);
}

TEST_F(CsvImportTest, CellsKeepTheirColumnsAndValuesAreRoundedAndBounded) {
    const std::string note(3000, 'n'); // far past the old 2045-character line limit
    ASSERT_TRUE(Open("Time,RPM,TPS,AUX1,Note\n"
                     "0.000,1000,0.285,400.0,\"a, \"\"quoted\"\" note\"\n"
                     "0.005,,1.005,,\n"
                     "\n"
                     "# a marker the logger wrote\n"
                     ",,,\n"
                     "0.010,3000000,1e12,nan,x\n"
                     "0.015,-5,-inf,1," +
                     note + "\n0.020,22222222222222222222222222,-0.0004,-0.0005,\n"));
    EXPECT_EQ(SlotOf(0).sampleCount, 6);
    struct Expect {
        int column;
        int32_t values[5];
    };
    for (const Expect& e :
         {Expect{kNe, {1000000, 1000000, INT32_MAX, -5000, INT32_MAX}},
          Expect{kTps, {285, 1005, INT32_MAX, INT32_MIN, 0}},
          Expect{kAux1, {400000, 400000, 0, 1000, -1}}, Expect{kLaf1, {0, 0, 0, 0, 0}}})
        for (int i = 0; i < 5; ++i) EXPECT_EQ(At(e.column, i + 1), e.values[i]) << e.column;
    EXPECT_TRUE(Logged("Detected Timebase 5ms(200Hz)"));
}

// The second pass reads the file in pieces of many thousand lines on two threads: blank and
// comment lines, and a quoted cell, deep inside a later piece are read as they are in the first.
TEST_F(CsvImportTest, LinesThatAreNotPlainDataAreReadAsSuchInEveryPiece) {
    auto lines = [](int at, const std::string& extra, int quoteAt) {
        std::string text = "Time,RPM\n";
        char line[64];
        for (int i = 0; i < 70000; ++i) {
            if (i == at) text += extra;
            std::snprintf(line, sizeof line, i == quoteAt ? "%.3f,\"%d\"\n" : "%.3f,%d\n",
                          i * 0.005, 1000 + i);
            text += line;
        }
        return text;
    };
    struct Case {
        int at;
        std::string extra;
        int quoteAt;
    };
    for (const Case& c :
         {Case{45000, "\n# a comment\n,\n", -1}, Case{300, "\n", -1}, Case{-1, "", 52345}}) {
        SCOPED_TRACE(c.extra + std::to_string(c.quoteAt));
        ASSERT_TRUE(Open(lines(c.at, c.extra, c.quoteAt)));
        ASSERT_EQ(SlotOf(0).sampleCount, 70001);
        for (int i : {1, 299, 300, 301, 44999, 45000, 45001, 52345, 52346, 70000})
            ASSERT_EQ(At(kNe, i), (999 + i) * 1000) << "sample " << i;
    }
}

// A long file is counted in two halves on two cores. Around its middle, a run of empty time
// cells (holding the time above, so the steps stay regular) and a quoted cell holding many line
// ends (which the cut must not split) read as they do anywhere else.
TEST_F(CsvImportTest, ALongFileCountedInTwoHalvesReadsAsOne) {
    constexpr int kLines = 150000, kRun = 3000;
    auto file = [](bool quoted) {
        std::string text = "Time,RPM,Note\r\n", middle;
        const size_t head = text.size();
        char line[64];
        for (int i = 0; i < kLines; ++i) {
            std::snprintf(line, sizeof line, "%.3f,%d,\r\n", i * 0.005, 1000 + i);
            text += line;
        }
        // Where the middle of the data is: the run goes in there, and the cut then falls in it.
        const size_t at = text.find('\n', head + (text.size() - head) / 2) + 1;
        const int before =
            int(std::count(text.begin() + ptrdiff_t(head), text.begin() + ptrdiff_t(at), '\n'));
        if (quoted) {
            middle = ",7,\""; // its time is the one above
            for (int k = 0; k < kRun; ++k) middle += "note\r\n";
            middle += "\"\r\n";
        } else {
            for (int k = 0; k < kRun; ++k) middle += ",7,\r\n";
        }
        text.insert(at, middle);
        return std::pair(text, before);
    };
    g_csvImport.request.noResample = true; // a time that is not regular would be refused
    for (bool quoted : {false, true}) {
        SCOPED_TRACE(quoted ? "quoted line ends" : "empty times");
        const auto [text, before] = file(quoted);
        ASSERT_GT(text.size(), 2u << 20);
        ASSERT_TRUE(Open(text));
        EXPECT_TRUE(Logged("Detected Timebase 5ms(200Hz)"));
        const int extra = quoted ? 1 : kRun;
        ASSERT_EQ(SlotOf(0).sampleCount, 1 + kLines + extra);
        for (int i = 0; i < kLines + extra; ++i) {
            const int rpm = i < before ? 1000 + i : (i < before + extra ? 7 : 1000 + i - extra);
            ASSERT_EQ(At(kNe, i + 1), rpm * 1000) << "line " << i;
        }
    }
    g_csvImport.request = CsvRequest();
}

// The same with times that step 4 ms and 6 ms by turns and a last line a second later:
// resampled every 5 ms, instant k holds line k (the last line at or before it) through both
// halves, and the last regular line until the last line.
TEST_F(CsvImportTest, ALongIrregularFileCountedInTwoHalvesResamplesAsOne) {
    constexpr int kLines = 200000, kLast = kLines - 2 + 200; // the last line's instant
    std::string text = "Time,RPM\n";
    char line[64];
    for (int i = 0; i < kLines; ++i) {
        std::snprintf(line, sizeof line, "%d.%03d,%d\n", i / 200, (i / 2 % 100) * 10 + i % 2 * 4,
                      1000 + i);
        text += line;
    }
    std::snprintf(line, sizeof line, "%d.%03d,7\n", kLast / 200, kLast % 200 * 5);
    text += line;
    ASSERT_GT(text.size(), 2u << 20);
    ASSERT_TRUE(Open(text));
    EXPECT_TRUE(Logged("Resampled on the time column to 5ms(200Hz)"));
    ASSERT_EQ(SlotOf(0).sampleCount, 1 + kLast + 1);
    for (int k = 0; k <= kLast; ++k) {
        const int rpm = k < kLines ? 1000 + k : (k < kLast ? 1000 + kLines - 1 : 7);
        ASSERT_EQ(At(kNe, k + 1), rpm * 1000) << k;
    }
}

// A quote opening a cell that never closes takes the rest of the file into that line: read
// once, not again at every line end in it (which took minutes for a file of a few MB).
TEST_F(CsvImportTest, AQuoteThatNeverClosesTakesTheRestOfTheFileOnce) {
    std::string text = TimedLines(1000, 0.005) + "5.000,\"7\n";
    for (int i = 0; i < 200000; ++i) text += "5.005,1\n";
    ASSERT_TRUE(Open(text));
    ASSERT_EQ(SlotOf(0).sampleCount, 1 + 1000 + 1);
    EXPECT_EQ(At(kNe, 1000), 1999000);
    EXPECT_EQ(At(kNe, 1001), 0); // text, not a number
}

TEST_F(CsvImportTest, TheFormsOtherLoggersWriteFindTheirNamesUnitsAndData) {
    struct Form {
        const char* what;
        std::string text;
        int headerLine;
        std::vector<std::string> names, units;
        int32_t firstNe;
        float factor;
    };
    const std::vector<Form> forms = {
        {"first line, no final newline",
         "Time,RPM\n0.00,1200\n0.01,1300",
         1,
         {"Time", "RPM"},
         {},
         1200000,
         0.5f},
        {"BOM, CR LF, quoted names",
         "\xEF\xBB\xBF\"Time\",\"RPM\",\"Gear, engaged\"\r\n0.000,1500,1\r\n0.005,1600,1\r\n",
         1,
         {"Time", "RPM", "Gear, engaged"},
         {},
         1500000,
         1.0f},
        {"lap timer: session lines, units",
         "Format,Lap Timer Export\nVenue,Jerez\nDate,2024-05-01\n\nTime,Speed,RPM,Lat\n"
         "s,km/h,rpm,deg\n0.00,10.5,2000,36.70\n0.05,11.0,2100,36.71\n",
         5,
         {"Time", "Speed", "RPM", "Lat"},
         {"s", "km/h", "rpm", "deg"},
         2000000,
         0.1f},
        {"logger: padded keys, units, source, comments",
         "Session,Race 1,,\nVehicle,R6,,\nTime,RPM,Speed,Speed\ns,rpm,km/h,km/h\n"
         "Logger,ECU,GPS,Wheel\n\n0.000,3000,1,2\n# pit out\n0.010,3100,1,2\n",
         3,
         {"Time", "RPM", "Speed", "Speed (2)"},
         {"s", "rpm", "km/h", "km/h"},
         3000000,
         0.5f},
        {"milliseconds, a blank name",
         "Time (ms),RPM,\n0,4000,\n20,4100,\n",
         1,
         {"Time (ms)", "RPM", "column 3"},
         {},
         4000000,
         0.25f},
        {"no names at all", "0.1,5000\n0.2,5100\n", 0, {"column 1", "column 2"}, {}, 0, 1.0f},
        {"CR line ends", "Time,RPM\r0.00,6000\r0.01,6100\r", 1, {"Time", "RPM"}, {}, 6000000, 0.5f},
    };
    for (const Form& f : forms) {
        SCOPED_TRACE(f.what);
        ResetCsvImport(); // no choice remembered from the form before
        ASSERT_TRUE(Open(f.text));
        const CsvImportReport& r = g_csvImport.last;
        EXPECT_EQ(r.headerLine, f.headerLine);
        EXPECT_EQ(r.columns, f.names);
        EXPECT_EQ(r.units, f.units);
        EXPECT_EQ(SlotOf(0).sampleCount, 3);
        EXPECT_EQ(At(kNe, 1), f.firstNe);
        EXPECT_FLOAT_EQ(SlotOf(0).sampleRateFactor, f.factor);
    }
}

TEST_F(CsvImportTest, EveryFailureSaysWhatWentWrongAndClosesTheSlot) {
    struct Failure {
        std::string text;
        const char* caption;
        const char* message;
        size_t memory = 0; // bytes the buffers may take, 0: any
    };
    const std::string ok = "Time,RPM\n0,1\n0.005,1\n";
    for (const Failure& f :
         {Failure{"", "File Error!!", "File Error."},
          Failure{"\n\n  \n", "File Error!!", "File Error."},
          Failure{"Time,RPM\n0,1\n2,2\n4,3\n", "File Error!!",
                  "The BaseTime that is not compatible."},
          Failure{"Time,RPM\n0,1\n", "File Error!!",
                  "There was a problem with BaseTime data.\r\nManually setting the BaseTime."},
          Failure{ok + "0.010,1\n30000,1\n", "File Error!!", "Data file is corrupted. 6000001"},
          Failure{ok, "Memory Error!!", "Memory Ensure Error.(Data Main buffers)", 200}}) {
        SCOPED_TRACE(f.message);
        ClearRecordedMessages();
        MakeRecording(0, 100, {{kNe, kCodeNe, "Ne"}}); // something to lose
        FailAllocationsAfterBytesForTesting(f.memory);
        EXPECT_FALSE(Open(f.text));
        FailAllocationsAfterBytesForTesting(0);
        EXPECT_TRUE(SawMessage(f.caption, f.message));
        ExpectClosed(0);
    }
}

TEST_F(CsvImportTest, FinishingComputesSlipAndSuspensionSpeedsAndComparesAuxRanges) {
    std::string text = "Time,Speed,Rear,Fork,AUX1\n";
    char line[80];
    for (int i = 0; i < 300; ++i) {
        std::snprintf(line, sizeof line, "%.3f,30.0,33.0,%.1f,400.0\n", i * 0.005, 50.0 + i * 0.1);
        text += line;
    }
    ASSERT_TRUE(Open(text));
    EXPECT_EQ(At(kSlip, 10), 10000); // (33 - 30) / 30
    EXPECT_GT(At(kVFrSus, 150), 0);  // the fork compresses steadily
    EXPECT_EQ(g_csvImport.auxDivisor[0][0], 10);
    // File 2 with AUX1 in another range: the log box says so.
    ASSERT_TRUE(Open("Time,AUX1\n0.000,1.5\n0.005,2.5\n", 1));
    EXPECT_TRUE(Logged("AUX1 Range miss mach..."));
}

// Numbers are read eight characters at a time where the text goes on; that must give what
// reading them one by one gives, at every length and scale.
TEST(CsvNumbers, ReadingAheadAgreesWithReadingOneByOne) {
    std::string text;
    std::vector<size_t> starts;
    uint64_t seed = 12345;
    for (int whole = 0; whole <= 20; ++whole)
        for (int fraction = -1; fraction <= 9; ++fraction) {
            starts.push_back(text.size());
            if (whole % 3 == 1) text += '-';
            for (int d = 0; d < whole; ++d)
                text += char('0' + (seed = seed * 6364136223846793005u + 1) % 10);
            if (fraction >= 0) text += '.';
            for (int d = 0; d < fraction; ++d)
                text += char('0' + (seed = seed * 6364136223846793005u + 1) % 10);
            text += whole == 7 ? "x," : ",";
        }
    const char* end = text.data() + text.size();
    for (size_t start : starts)
        for (CsvScale scale : {CsvScale{0, true}, CsvScale{3, false}, CsvScale{5, false}}) {
            const char* p = text.data() + start;
            const char* fieldEnd = p + text.substr(start).find(',') + 1; // with its comma
            int64_t ahead = -1, single = -1;
            const char *stopAhead = nullptr, *stopSingle = nullptr;
            const bool a = ReadPlainCsvNumber(p, end, scale, ahead, stopAhead, end);
            // No bytes to read ahead: one character at a time.
            const bool b = ReadPlainCsvNumber(p, fieldEnd, scale, single, stopSingle, p);
            ASSERT_EQ(a, b) << text.substr(start, 30);
            if (!a) continue;
            EXPECT_EQ(ahead, single) << text.substr(start, 30);
            EXPECT_EQ(stopAhead, stopSingle);
        }
}

// ---- Engine speed keeps whole revolutions.

TEST_F(CsvImportTest, EngineSpeedDropsItsFractionWhereOtherValuesKeepThousandths) {
    ASSERT_TRUE(Open("Time,RPM,TPS\n0.000,1000.7,1000.7\n0.005,1999.99,1999.9996\n0.010,5,5\n"));
    EXPECT_EQ(std::vector<int32_t>({At(kNe, 1), At(kNe, 2), At(kTps, 1), At(kTps, 2)}),
              std::vector<int32_t>({1000000, 1999000, 1000700, 2000000}));
}

} // namespace
} // namespace qvtk::test
