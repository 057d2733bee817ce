// The setup file, the clock-set file and the memo rewrite: bytes on disk from recordings
// built byte by byte, the Setup dialog's fields as typed, and failing writes.
#include "logger/setup_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "logger/setup_form.h"
#include "platform/wait.h"
#include "tests/data/family3_fixture.h"
#include "tests/logger/logger_fixture.h"

namespace qvtk {
namespace {

using test::Family3File;

std::vector<uint8_t> Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class SetupFileTest : public test::LoggerTest {
protected:
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    void LoadRecording(const Family3File& f, const std::string& name = "ride.qvd") {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(f.bytes().data()),
                   std::streamsize(f.bytes().size()));
        FileSlot slot = 0;
        ASSERT_TRUE(LoadFileIntoSlot(slot, Path(name)));
    }
    // A recording whose header sets every field of the setup block, with junk in the bytes
    // the setup file fixes.
    static Family3File FullHeader() {
        Family3File f(2);
        f.Text(1, "ZARazA9.01.10").Set(16, 2).Set(17, 20).Set16(18, 1940).Set(20, 1).Set(21, 4);
        f.Set16(22, 2000).Set(24, 29).Set(25, 16).Set(26, 41).Set(27, 2).Set(31, 79);
        f.Throttle(20, 220).Sensor(0, 1, 1001, 2000).Sensor(1, 0, 1010, -100).Set(47, 64);
        f.Fill(48, {1, 62}).Set16(50, 15000).Set16(52, 300).Fill(54, {1, 5, 16, 12});
        f.Fill(58, {150, 140, 130, 120, 110, 100});
        f.Fill(64, {76, 36, 33, 12, 32, 16, 30, 18, 26, 18, 30, 23, 29, 24});
        f.Fill(80, {1, 140, 160, 161, 162, 163, 164, 40, 36, 32, 31, 30, 2, 40, 28, 16});
        f.Fill(96, {36, 32, 30, 29, 28, 20, 18, 16, 15, 14});
        f.InputType(0, 3).InputTable(0, {0, 5, 128, 255}, {100, 200, 65535});
        f.InputType(1, 2).InputGainOffset(1, -150, 12).InputType(2, 1).InputType(3, 0);
        f.Text(320, "Hello");
        for (size_t junk : {29, 30, 34, 35, 38, 78, 79, 106, 107, 304, 319}) f.Set(junk, 0xAA);
        f.Set(208, 0xAA).Set(256, 0xAA); // conversion data of inputs that use none
        return f.Append({.vb = 200}, 4);
    }
    std::vector<uint8_t> Saved(const SetupForm* form = nullptr) {
        const std::string out = Path("SETUP.QVL");
        std::filesystem::remove(out);
        EXPECT_TRUE(SaveSetupFile(out, form ? FormPositionAdjust(*form) : PositionAdjust()));
        return Contents(out);
    }
};

TEST_F(SetupFileTest, AnUneditedRecordingGivesItsOwnSetupBack) {
    Family3File f = FullHeader();
    LoadRecording(f);
    const std::vector<uint8_t> file = Saved();
    ASSERT_EQ(file.size(), 512u);
    std::vector<uint8_t> expected(f.bytes().begin(), f.bytes().begin() + 512);
    const std::string fixed = "3QVLogger V0020";
    std::copy(fixed.begin(), fixed.end(), expected.begin());
    expected[15] = 2;
    for (size_t zero : {29, 30, 38, 78, 79, 106, 107, 208, 256, 304, 319}) expected[zero] = 0;
    expected[34] = 0x00;
    expected[35] = 0x32;
    expected[47] = 121; // the lap-marker threshold the logger takes
    expected[48] = 0;   // AWC only with the AWC or Debug setting
    for (size_t i = 0; i < 512; ++i) EXPECT_EQ(file[i], expected[i]) << "offset " << i;
    EXPECT_TRUE(test::SawMessage("Saved", "SetUp File is saved."));
    EXPECT_EQ(test::RecordedWaits(), std::vector<int>{500});

    g_settings.AWC = 1;
    EXPECT_EQ(Saved()[48], 1);
}

TEST_F(SetupFileTest, FieldsAsTypedIntoTheDialog) {
    const std::string longMemo(200, 'm');
    struct Case {
        std::vector<std::pair<const char*, const char*>> edits;
        std::vector<std::pair<size_t, int>> bytes;
    } cases[] = {
        {{{"engine_pulse_ne", "(5)"}}, {{16, 1}, {28, 5}}},
        {{{"engine_pulse_ne", "0.5"}}, {{16, 0}, {28, 0}}},
        {{{"link_ratio", "235"}}, {{31, 85}}},
        {{{"link_ratio", "1000"}}, {{31, (400 + 106) & 255}}},
        {{{"sus_front", "Linear"}, {"front_mm", "150"}}, {{36, 1}, {43, 0x05}, {44, 0xDC}}},
        {{{"sus_rear", "Linear"}, {"rear_mm", "99999"}}, {{37, 1}, {45, 0x7F}, {46, 0xF8}}},
        {{{"vfw_mm", "50"}, {"vrw_mm", "3001"}}, {{18, 0x01}, {19, 0xF4}, {22, 0x0B}, {23, 0xB8}}},
        {{{"rear_sensor", "Gearbox Sens."}, {"c_gear_pulse_rev", "35"}}, {{20, 1}, {24, 35}}},
        {{{"final_ratio_front", "13"}, {"final_ratio_rear", "70"}, {"lap_marker", "-"}},
         {{25, 13}, {26, 70}, {27, 0}}},
        {{{"memo", longMemo.c_str()}}, {{320, 'm'}, {507, 'm'}, {508, 0}}},
    };
    for (const Case& c : cases) {
        LoadRecording(FullHeader());
        SetupForm form;
        FillSetupForm(form);
        for (const auto& [name, text] : c.edits)
            ASSERT_TRUE(EditSetupField(form, FindSetupField(name), text)) << name;
        ReadSetupForm(form);
        const std::vector<uint8_t> file = Saved(&form);
        for (const auto& [offset, value] : c.bytes)
            EXPECT_EQ(file.at(offset), value) << c.edits[0].first << " @" << offset;
    }
}

TEST_F(SetupFileTest, ControlsFollowTheirRulesAndLevels) {
    LoadRecording(FullHeader()); // gearbox sensor, front linear sensor
    SetupForm form;
    FillSetupForm(form);
    EXPECT_EQ(std::tuple(SetupFieldEnabled(form, kSetVrwPulse),
                         SetupFieldEnabled(form, kSetGearPulse),
                         SetupFieldEnabled(form, kSetFrontMm), SetupFieldEnabled(form, kSetRearMm)),
              std::tuple(false, true, true, false));
    EXPECT_EQ(SetupFieldText(form, kSetFrontMm), "200");
    EXPECT_FALSE(EditSetupField(form, kSetVrwPulse, "5"));  // disabled
    EXPECT_FALSE(EditSetupField(form, kSetVfwPulse, "41")); // no such entry
    ASSERT_TRUE(EditSetupField(form, kSetRearSensor, "Wheel Sens."));
    EXPECT_TRUE(EditSetupField(form, kSetVrwPulse, "5"));
    EXPECT_EQ(SetupField(kSetLinkRatio).level, kLevelExpert);

    g_settings.smoothingNE = g_settings.smoothingVW = 1;
    g_settings.AutoOnOffLoad = 0;
    ChooseSetupLevel(kLevelEasy);
    EXPECT_EQ(std::tuple(g_settings.ExpertMode, g_settings.smoothingNE, g_settings.smoothingVW,
                         g_settings.AutoOnOffLoad),
              std::tuple(0, 0, 0, 1));

    CloseSlot(0);
    for (int id = 0; id < kSetupFieldCount; ++id) EXPECT_FALSE(SetupFieldEnabled(form, id)) << id;
    EXPECT_FALSE(SaveSetupFile(Path("SETUP.QVL"), {}));
    EXPECT_TRUE(test::SawMessage("Error !", "Not load base log file!"));
    EXPECT_FALSE(std::filesystem::exists(Path("SETUP.QVL")));
}

TEST_F(SetupFileTest, NormalisationPositionAdjustTablesAndTheLongBlock) {
    Family3File f = FullHeader();
    f.Throttle(128, 128).Set(17, 0);
    LoadRecording(f);
    std::vector<uint8_t> file = Saved();
    EXPECT_EQ(std::tuple(file[32], file[33], file[17]), std::tuple(0, 255, 1));
    EXPECT_EQ(std::tuple(g_setupValues.throttleClosed, g_setupValues.throttleOpen),
              std::tuple(0, 255));

    LogHeader& seen = SlotOf(0).header;
    SetupForm form;
    FillSetupForm(form);
    for (int id : {kSetAdjustTps, kSetAdjustFront, kSetAdjustRear}) form.value[id] = 1;
    struct Case {
        int lowest, highest, front, rear;
        std::vector<int> bytes; // 32, 33, 39, 40, 41, 42
    } cases[] = {{30, 220, 1001, 0, {30, 219, 250, 0, 0x40, 0}},
                 {120, 120, 3, 1023, {120, 120, 0, 255, 0xC0, 0xC0}}};
    for (const Case& c : cases) {
        seen.throttleRawMin = c.lowest;
        seen.throttleRawMax = c.highest;
        seen.strokeRawMaxFront = c.front;
        seen.strokeRawMaxRear = c.rear;
        file = Saved(&form);
        EXPECT_EQ(std::vector<int>({file[32], file[33], file[39], file[40], file[41], file[42]}),
                  c.bytes);
    }

    InputConversion& table = g_setupValues.inputs[3];
    table.type = 3;
    const int mv[3] = {0, 2500, 5000};
    for (int i = 0; i < 16; ++i) {
        table.tableMillivolts[i] = mv[std::min(i, 2)];
        table.tableValues[i] = -2 * i;
    }
    g_settings.CompressFile = 1;
    file = Saved();
    ASSERT_EQ(file.size(), 1024u);
    EXPECT_EQ(std::tuple(file[13], file[15], file[111], file[256], file[257], file[258]),
              std::tuple('3', 3, 3, 0, 128, 255));
    EXPECT_EQ(std::tuple(file[274], file[275]), std::tuple(0xFF, 0xFE));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 512, file.begin() + 519),
              std::vector<uint8_t>({0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(SetupFileTest, LaunchControlOfALongRecordingIsWrittenWhenInUse) {
    Family3File f(3);
    f.Fill(512, {1, 0x0F, 0xA0, 0x13, 0x88, 0x01, 0xF4}); // on, 4000, 5000, 500 rpm
    LoadRecording(f.Append({.vb = 200}, 4));
    EXPECT_EQ(g_settings.CompressFile, 1); // a recording of the compressed format sets it
    const std::vector<uint8_t> file = Saved();
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 512, file.begin() + 519),
              std::vector<uint8_t>(f.bytes().begin() + 512, f.bytes().begin() + 519));
}

TEST_F(SetupFileTest, ClockSetFileHoldsSevenBytes) {
    ASSERT_TRUE(SaveClockSetFile(Path("TIME.QVL"), {2021, 1, 2, 3, 4}));
    EXPECT_EQ(Contents(Path("TIME.QVL")), std::vector<uint8_t>({0x07, 0xE5, 1, 2, 3, 4, 0}));
    EXPECT_TRUE(test::SawMessage("Saved", "ClockSet file is Saved."));
    EXPECT_EQ(test::RecordedWaits(), std::vector<int>{1000});
}

TEST_F(SetupFileTest, AFailedWriteLeavesThePreviousFilesAsTheyWere) {
    LoadRecording(FullHeader());
    const std::vector<uint8_t> recording = Contents(Path("ride.qvd"));
    std::ofstream(Path("SETUP.QVL")) << "previous setup";
    std::ofstream(Path("TIME.QVL")) << "previous clock";
    {
        test::FileSizeLimit limit(4);
        EXPECT_FALSE(SaveSetupFile(Path("SETUP.QVL"), {}));
        EXPECT_FALSE(SaveClockSetFile(Path("TIME.QVL"), {2021, 1, 2, 3, 4}));
        EXPECT_FALSE(SaveMemoToLogFile("new memo"));
    }
    EXPECT_TRUE(test::SawMessage("Error !!", "SetUp failed to save !!"));
    EXPECT_TRUE(test::SawMessage("Error !!", "ClockSet file is Not Saved !!"));
    EXPECT_TRUE(test::SawMessage("Error !", "File write error. Not saved !"));
    EXPECT_FALSE(test::SawMessage("Saved", "SetUp File is saved."));
    const std::string previous[] = {"previous setup", "previous clock"};
    EXPECT_EQ(Contents(Path("SETUP.QVL")),
              std::vector<uint8_t>(previous[0].begin(), previous[0].end()));
    EXPECT_EQ(Contents(Path("TIME.QVL")),
              std::vector<uint8_t>(previous[1].begin(), previous[1].end()));
    EXPECT_EQ(Contents(Path("ride.qvd")), recording);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 3);
}

TEST_F(SetupFileTest, TheMemoIsWrittenIntoTheRecordingsHeaderAndNothingElse) {
    Family3File f = FullHeader();
    f.Text(320, std::string(189, 'o')).Set(511, 0x5A);
    LoadRecording(f);
    const std::vector<uint8_t> before = Contents(Path("ride.qvd"));
    ASSERT_TRUE(SaveMemoToLogFile("New memo"));
    EXPECT_TRUE(test::SawMessage("Save", "File saved !"));
    std::vector<uint8_t> expected = before;
    const std::string memo = "New memo";
    std::copy(memo.begin(), memo.end(), expected.begin() + 320);
    expected[328] = 0; // the old memo's tail stays behind the end
    EXPECT_EQ(Contents(Path("ride.qvd")), expected);
    EXPECT_EQ(std::string(SlotOf(0).header.memo), "New memo");

    // The recording went away, or was cut short, after it was loaded.
    struct Case {
        void (*spoil)(const std::string& path);
        const char* message;
    } cases[] = {
        {[](const std::string& p) { std::filesystem::remove(p); }, "File read error. Not saved !"},
        {[](const std::string& p) { std::filesystem::resize_file(p, 300); },
         "File type error. Not saved !"},
    };
    for (const Case& c : cases) {
        LoadRecording(f);
        c.spoil(Path("ride.qvd"));
        ClearRecordedMessages();
        EXPECT_FALSE(SaveMemoToLogFile("x"));
        EXPECT_TRUE(test::SawMessage("Error !", c.message)) << c.message;
    }
}

} // namespace
} // namespace qvtk
