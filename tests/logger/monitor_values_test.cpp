// The monitor's conversions on hand-built live samples and setup blocks; the expected texts
// are worked out by hand from the logger's units.
#include "logger/monitor_values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/test_support.h"

namespace qvtk {
namespace {

using test::PutU16;

// Throttle 20-220, both sensors of the fixed-stroke type with zero at 1000, LAF1 as LAF
// sensor, LAF2 gain -1.50 and offset 12, AUX1 a table of 10..160 counts to 0..150, AUX2 volts.
std::vector<uint8_t> SetupBlock() {
    std::vector<uint8_t> b(kSetupBlockMax, 0);
    b[32] = 20;
    b[33] = 220;
    b[39] = b[40] = 1000 >> 2;
    b[108] = 0;
    b[109] = 2;
    b[110] = 3;
    b[111] = 1;
    PutU16(b, 160, uint16_t(-150));
    PutU16(b, 176, 12);
    for (int i = 0; i < 16; ++i) {
        b[208 + size_t(i)] = uint8_t(10 * (i + 1));
        PutU16(b, 224 + 2 * size_t(i), unsigned(1000 * i));
    }
    return b;
}

struct Sample {
    HistoryRecord d = {0x12, 0x34, 0xF4, 0xD2, 0x00, 0x64, 120, 125,  125, 128,
                       200,  25,   0,    255,  7,    0,    0,   0x13, 0,   0x80};
};

TEST(MonitorValues, BothStylesOfEveryField) {
    const std::vector<uint8_t> setup = SetupBlock();
    struct Case {
        int field;
        const char* plain;
        const char* detailed;
    } cases[] = {
        {kFieldNe, "4660rpm", "4660rpm"},
        {kFieldVfw, "123km/h", "123.4km/h"}, // the top bits of byte 2 are not the speed
        {kFieldVrw, "10km/h", " 10.0km/h"},
        {kFieldTps, "50%", " 50.0%"},
        {kFieldTps + kVoltageFieldOffset, " 2.34V", "2.344V"},
        {kFieldFrSus, "  91mm", "91.7mm"},
        {kFieldRrSus, "  61mm", "61.1mm"},
        {kFieldFrSus + kVoltageFieldOffset, " 2.44V", "2.444V"},
        {kFieldLaf1, "13.49", "13.49"},
        {kFieldLaf2, "-5", "-5"},
        {kFieldAux1, "15", "15"},
        {kFieldAux2, "-", "-"},
        {kFieldLaf2 + kVoltageFieldOffset, " 3.92V", " 3.92V"},
        {kFieldLap, "7", "7"},
        {kFieldVb, "20.0V", "20.0V"},
    };
    MonitorTexts plain, detailed;
    const Sample s;
    FormatLiveValues(s.d, setup.data(), false, plain);
    FormatLiveValues(s.d, setup.data(), true, detailed);
    for (const Case& c : cases) {
        EXPECT_EQ(plain.text[c.field], c.plain) << MonitorFieldName(c.field);
        EXPECT_EQ(detailed.text[c.field], c.detailed) << MonitorFieldName(c.field);
    }
    EXPECT_FALSE(plain.written[kFieldGearPos] || plain.written[kFieldPrompt]);
    EXPECT_EQ(std::tuple(detailed.text[kFieldGearPos], detailed.text[kFieldPrompt]),
              std::tuple("3", "13 00 80"));
}

TEST(MonitorValues, TableOutputsBelowZero) {
    std::vector<uint8_t> setup = SetupBlock(); // AUX1 read at 25 counts, half way to row 3
    for (int i = 0; i < 16; ++i) PutU16(setup, 224 + 2 * size_t(i), uint16_t(-1000 * i));
    MonitorTexts texts;
    FormatLiveValues(Sample().d, setup.data(), false, texts);
    EXPECT_EQ(texts.text[kFieldAux1], "-15");
}

TEST(MonitorValues, ThrottleWithoutSpanAndStrokesOfEachSensorType) {
    std::vector<uint8_t> setup(kSetupBlockMax, 0);
    setup[32] = setup[33] = 128;
    HistoryRecord d = {};
    d[6] = 129;
    MonitorTexts t;
    FormatLiveValues(d, setup.data(), false, t);
    EXPECT_EQ(t.text[kFieldTps], "100%");

    struct Case {
        bool front;
        int reading, zero, type, stroke, expected;
    } cases[] = {
        {true, 1000, 1000, 0, 0, 0},      {true, 500, 1000, 0, 0, 9174},
        {false, 500, 1000, 0, 0, 6110},   {true, 700, 512, 1, 1500, -2756},
        {false, 0, 1023, 1, 1500, 15000}, {true, 500, 1000, 2, 1500, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SuspensionStroke(c.front, c.reading, c.zero, c.type, c.stroke), c.expected)
            << c.reading << " " << c.type;
}

TEST(MonitorValues, InputConversionsAtTheirEnds) {
    std::vector<uint8_t> setup = SetupBlock();
    struct Case {
        int input, v;
        const char* text;
    } cases[] = {
        {0, 0, " 9.00"}, {0, 255, "17.94"}, // the LAF sensor's range
        {2, 5, "0"},     {2, 10, "0"},      {2, 25, "15"}, {2, 159, "149"},
        {2, 160, "150"}, {2, 255, "150"}, // at and beyond the last breakpoint: its value
    };
    for (const Case& c : cases) {
        std::string text;
        ASSERT_TRUE(InputConversionText(setup.data(), c.input, c.v, text));
        EXPECT_EQ(text, c.text) << c.input << " " << c.v;
    }
    setup[108] = 7; // no such conversion: the field keeps its text
    std::string text = "kept";
    EXPECT_FALSE(InputConversionText(setup.data(), 0, 100, text));
    EXPECT_EQ(text, "kept");
}

TEST(MonitorValues, TheDisplayShowsThePreviousAnswerSmoothedTwoToOne) {
    HistoryRecord h[kHistoryEntries] = {};
    std::memset(h[kHistNewest], 200, kHistoryRecordBytes);
    std::memset(h[kHistPrevious], 200, kHistoryRecordBytes);
    ShiftSampleHistory(h);
    EXPECT_EQ(h[kHistDisplay][6], 200); // no overflow at full scale
    h[kHistNewest][6] = 90;
    h[kHistNewest][12] = 90;
    h[kHistNewest][13] = 50;
    h[kHistNewest][5] = 50;
    std::memset(h[kHistPrevious], 30, kHistoryRecordBytes);
    ShiftSampleHistory(h);
    EXPECT_EQ(std::tuple(h[kHistDisplay][6], h[kHistDisplay][12], h[kHistDisplay][13],
                         h[kHistDisplay][5], h[kHistOlder][6], h[kHistPrevious][6]),
              std::tuple(70, 70, 50, 50, 30, 90));
}

} // namespace
} // namespace qvtk
