// GearBox Setting, Extend Control and the analog input calculation as typed: every field's
// rule, what opening the dialogs forces, the shared clipboard, and "Overwrite File" into a
// recording built byte by byte.
#include <filesystem>

#include "logger/gearbox_setting.h"
#include "logger/input_calculation.h"
#include "tests/data/family3_fixture.h"
#include "tests/logger/logger_fixture.h"

namespace qvtk {
namespace {

class GearboxTest : public test::LoggerTest {};

TEST_F(GearboxTest, TypedValuesFollowTheirRulesInOrder) {
    g_settings.Debug = 1;
    const std::pair<const char*, const char*> steps[][2] = {
        {{"rpm_indicator_1", "15050"}, {"rpm_indicator_1", "15000"}},
        {{"rpm_indicator_2", "30000"}, {"rpm_indicator_2", "25500"}},
        {{"rpm_indicator_n", "30001"}, {"rpm_indicator_n", "30000"}},
        {{"teeth_gear1_counter", "5"}, {"teeth_gear1_counter", "10"}},
        {{"hysteresis", "999"}, {"hysteresis", "996"}},
        {{"trigger_mv_1", "2500"}, {"trigger_mv_1", "2510"}},
        {{"reset_mv", "-20"}, {"reset_mv", "0"}},
        {{"cut_pulses_2_3", "101"}, {"cut_pulses_2_3", "100"}},
        // rows 10000 > 7000 > 4000 to begin with
        {{"cut_rpm_1", "400"}, {"cut_rpm_1", "7250"}},
        {{"cut_rpm_1", "12100"}, {"cut_rpm_1", "12000"}},
        {{"cut_rpm_2", "3900"}, {"cut_rpm_2", "4250"}},
        {{"cut_rpm_2", "13000"}, {"cut_rpm_2", "11750"}},
        {{"cut_rpm_3", "-300"}, {"cut_rpm_3", "0"}}, // not the top of the range
        {{"cut_rpm_3", "20000"}, {"cut_rpm_3", "11500"}},
        {{"lc_lock_rpm", "4000"}, {"lc_lock_rpm", "4000"}},
        {{"lc_release_rpm", "5000"}, {"lc_release_rpm", "5000"}},
        {{"lc_lock_rpm", "9000"}, {"lc_lock_rpm", "5000"}},
        {{"lc_release_rpm", "100"}, {"lc_release_rpm", "5000"}},
        {{"lc_lock_rpm", "500"}, {"lc_lock_rpm", "1000"}},
        {{"lc_tolerance_rpm", "100"}, {"lc_tolerance_rpm", "500"}},
        {{"slip_threshold", "4000"}, {"slip_threshold", "3000"}},
        {{"direction", "Down"}, {"direction", "Down"}},
        {{"as_setting", "AS 2"}, {"as_setting", "AS 2"}},
        {{"newtype_logfile", "1"}, {"newtype_logfile", "1"}},
    };
    for (const auto& s : steps) {
        ASSERT_TRUE(EditGearboxField(FindGearboxField(s[0].first), s[0].second)) << s[0].first;
        EXPECT_EQ(GearboxFieldText(FindGearboxField(s[1].first)), s[1].second) << s[0].second;
    }
    const SetupValues& v = g_setupValues;
    EXPECT_EQ(std::tuple(v.hysteresis, v.shiftTriggerLevel[0], v.shiftDirection, v.asSetting,
                         g_settings.CompressFile),
              std::tuple(249, 128, 1, 2, 1));
    EXPECT_FALSE(EditGearboxField(FindGearboxField("direction"), "Sideways"));
    EXPECT_EQ(v.shiftDirection, 1);
}

TEST_F(GearboxTest, SettingsDecideWhatIsShownAndWhatOpeningForces) {
    SetupValues& v = g_setupValues;
    EXPECT_FALSE(EditGearboxField(kGbCutRpm, "9000")); // no shifter
    EXPECT_EQ(v.cutRowRpm[0], 10000);
    EXPECT_FALSE(GearBoxExtendShown());
    g_settings.LC = 1;
    EXPECT_TRUE(GearBoxExtendShown());

    g_settings.Shifter = 1;
    g_settings.AWC = 1;
    v.awcOnPulse = v.awcOffPulse = v.continuousPulse = v.cutModeRepeatPulse = 50;
    v.awcOn = 1;
    v.shiftDirection = 7;
    OpenGearBoxValues();
    OpenExtendControlValues();
    EXPECT_EQ(std::tuple(v.awcOnPulse, v.awcOffPulse, v.continuousPulse, v.cutModeRepeatPulse,
                         v.awcOn, v.shiftDirection),
              std::tuple(5, 1, 16, 12, 1, 0));
    EXPECT_FALSE(EditGearboxField(kExOnPulse, "30")); // pulses shown from AWC 2 up
    EXPECT_TRUE(EditGearboxField(kExSlip, "30"));

    g_settings.AWC = 0;
    OpenGearBoxValues();
    EXPECT_EQ(std::tuple(v.awcOn, v.awcOffPulse), std::tuple(0, 0));
    EXPECT_FALSE(EditGearboxField(kExAwc, "1"));
}

TEST_F(GearboxTest, TheCanSetupFileCarriesTheGearboxAtItsOwnOffsets) {
    SetupValues v;
    v.gearRpm[5] = 12300;
    v.hysteresis = 62;
    v.shiftTriggerLevel[4] = 200;
    v.shiftDirection = 1;
    v.cutRowRpm[2] = 4000;
    std::vector<uint8_t> b(169, 0xEE);
    WriteGearboxToCanSetup(b.data(), v);
    // 64 neutral, 76 gear 6 (full rpm), 78 hysteresis / 4, 80 teeth, 140 trigger 5, 144
    // direction, 150 cut row 3, 152 / 158 / 164 the cut pulse rows; 142 is kept
    EXPECT_EQ(std::vector<int>({b[64], b[65], b[76], b[77], b[78], b[79], b[80], b[93], b[140],
                                b[141], b[142], b[144], b[150], b[151], b[152], b[158], b[168]}),
              std::vector<int>({0x3A, 0x98, 0x30, 0x0C, 0, 62, 76, 24, 0, 200, 0xEE, 1, 0x0F, 0xA0,
                                40, 36, 16}));
}

class InputCalculationTest : public test::LoggerTest {
protected:
    static void Edit(int input, const char* name, const char* text) {
        ASSERT_TRUE(EditInputField(input, FindInputField(name), text)) << name << " " << text;
    }
    static std::string Text(int input, const char* name) {
        return InputFieldText(input, FindInputField(name), InputTextFor::kEdited);
    }
};

TEST_F(InputCalculationTest, FieldsTakeTheirRulesAndTheTypeEnablesThem) {
    EXPECT_FALSE(EditInputField(0, FindInputField("a"), "2")); // PTX LAF: no a, b or table
    Edit(0, "type", "ax+b");
    const std::pair<const char*, const char*> gain[][2] = {
        {{"a", "0"}, {"a", "0.01"}},       {{"a", "-0.005"}, {"a", "-0.01"}},
        {{"a", "500"}, {"a", "327.67"}},   {{"a", "0.29"}, {"a", "0.29"}},
        {{"b", "-400"}, {"b", "-327.67"}}, {{"b", "1.15"}, {"b", "1.15"}},
    };
    for (const auto& g : gain) {
        Edit(0, g[0].first, g[0].second);
        EXPECT_EQ(Text(0, g[1].first), g[1].second) << g[0].second;
    }
    EXPECT_EQ(std::tuple(g_setupValues.inputs[0].gain, g_setupValues.inputs[0].offset),
              std::tuple(29, 115));
    EXPECT_FALSE(EditInputField(0, FindInputField("value_1"), "1"));

    Edit(2, "type", "Table");
    const InputConversion& in = g_setupValues.inputs[2];
    Edit(2, "voltage_1", "-1"); // not wrapped to the top of the byte
    EXPECT_EQ(in.tableMillivolts[0], 0);
    Edit(2, "voltage_2", "2.5");
    EXPECT_EQ(std::tuple(in.tableMillivolts[1], Text(2, "voltage_2")), std::tuple(2510, "2.51"));
    Edit(2, "voltage_4", "6");
    Edit(2, "voltage_5", "1");
    EXPECT_EQ(std::tuple(in.tableMillivolts[3], in.tableMillivolts[4], in.tableMillivolts[15]),
              std::tuple(5000, 5000, 5000));
    Edit(2, "value_1", "400");
    Edit(2, "value_2", "-0.29");
    EXPECT_EQ(std::tuple(in.tableValues[0], in.tableValues[1], Text(2, "value_1")),
              std::tuple(30000, -29, "  300"));

    CopyInputTable(2);
    Edit(3, "type", "Voltage");
    PasteInputTable(3);
    const InputConversion& pasted = g_setupValues.inputs[3];
    EXPECT_TRUE(std::equal(std::begin(in.tableMillivolts), std::end(in.tableMillivolts),
                           pasted.tableMillivolts));
    EXPECT_TRUE(
        std::equal(std::begin(in.tableValues), std::end(in.tableValues), pasted.tableValues));
    EXPECT_EQ(InputFieldText(3, FindInputField("voltage_2"), InputTextFor::kPasted), "2.510");
}

class OverwriteInputTest : public InputCalculationTest {
protected:
    std::string Path() const { return dir_ + "/ride.qvd"; }
    std::string Open() {
        test::Family3File f(2);
        f.Set16(18, 1940).InputType(1, 1).Text(320, "memo").Append({.vb = 200}, 700);
        WriteFile("ride.qvd", f.bytes());
        FileSlot slot = 0;
        EXPECT_TRUE(LoadFileIntoSlot(slot, Path()));
        return test::ReadWholeFile(Path());
    }
    static bool Reload(const std::string& path) {
        FileSlot slot = 0;
        return LoadFileIntoSlot(slot, path);
    }
};

TEST_F(OverwriteInputTest, OnlyTheInputsBytesChangeAndOtherEditsSurviveTheReload) {
    const std::string before = Open();
    Edit(1, "type", "Table");
    for (int i = 0; i < 16; ++i) g_setupValues.inputs[1].tableMillivolts[i] = 300 * i;
    Edit(1, "voltage_16", "2.5");
    Edit(1, "value_3", "-300");
    g_setupValues.tireFront = 1234; // edited in the Setup dialog, not saved
    g_setupValues.inputs[0].gain = 77;
    ASSERT_TRUE(OverwriteInputFile(1, Reload));
    EXPECT_TRUE(test::SawMessage("Save", "File saved !"));

    std::string expected = before;
    expected[109] = 3;
    const int counts[16] = {0,   15,  31,  46,  61,  77,  92,  107,
                            122, 138, 153, 168, 184, 199, 214, 214}; // row 16 raised to row 15
    for (int i = 0; i < 16; ++i) expected[160 + size_t(i)] = char(counts[i]);
    expected[176 + 4] = char(0x8A); // -30000, signed
    expected[176 + 5] = char(0xD0);
    EXPECT_EQ(test::ReadWholeFile(Path()), expected);
    EXPECT_EQ(SlotOf(0).header.inputs[1].tableOut[2], -30000); // the reload decodes it
    EXPECT_EQ(std::tuple(g_setupValues.tireFront, g_setupValues.inputs[0].gain,
                         g_setupValues.inputs[1].tableValues[2]),
              std::tuple(1234, 77, -30000));
}

TEST_F(OverwriteInputTest, FailuresLeaveTheRecordingAsItWas) {
    const std::string before = Open();
    Edit(1, "type", "Voltage");
    {
        test::FileSizeLimit limit(600);
        EXPECT_FALSE(OverwriteInputFile(1, Reload));
    }
    EXPECT_TRUE(test::SawMessage("Error !", "File write error. Not saved !"));
    EXPECT_EQ(test::ReadWholeFile(Path()), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);

    std::filesystem::resize_file(Path(), 300);
    EXPECT_FALSE(OverwriteInputFile(1, Reload));
    EXPECT_TRUE(test::SawMessage("Error !", "File type error. Not saved !"));
    std::filesystem::remove(Path());
    EXPECT_FALSE(OverwriteInputFile(1, Reload));
    EXPECT_TRUE(test::SawMessage("Error !", "File read error. Not saved !"));
}

} // namespace
} // namespace qvtk
