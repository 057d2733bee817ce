// QVTK2.ini: defaults, reading hand-edited text, and setting single keys.
#include <string>
#include <tuple>

#include "tests/test_support.h"

namespace qvtk::test {
namespace {

using SettingsTest = ProgramTest;

TEST_F(SettingsTest, ReadsHandEditedText) {
    g_settings.smoothingVW = 1; // not in the text: back to its default
    const std::string text = "[Path]\r\nData=  C:\\Logs\\2024 Runs\r\n"
                             "[Window]\r\nx=10\r\ny=-20\r\nCurse_Z=750\r\n"
                             "[ZUDEriraz]\r\nDebug 1\r\nSusVSampleNum=   5\r\nShifter=0x1\r\n"
                             "[ViewSet]\r\nAFmap_SWTHS=125\r\n"
                             "[ModeSet]\r\nsmoothingNE=1   \r\nSmoothingSample=010\r\n"
                             "LapPG=3\r\nSusFilter_n=21\r\nCourseFile_name=suzuka.crs\r\n"
                             "AutoOnOffLoad=0\r\nVSync=0\r\n";
    ApplySettingsText(text);
    const Settings& s = g_settings;
    EXPECT_EQ(std::tuple(s.Data, s.x, s.y, s.CourseFile_name),
              std::tuple("C:\\Logs\\2024 Runs", 10, -20, "suzuka.crs"));
    // 750 / 1000 and 125 / 100.
    EXPECT_EQ(std::tuple(s.Curse_Z, s.AFmap_SWTHS, s.MC_Z), std::tuple(0.75f, 1.25f, 0.5f));
    // Octal 010; SusFilter_n outside 0..20 reads 0; VSync belongs to [ZUDEriraz].
    EXPECT_EQ(std::tuple(s.Debug, s.SusVSampleNum, s.Shifter, s.smoothingNE, s.smoothingVW,
                         s.SmoothingSample, s.AutoOnOffLoad, s.SusFilter_n, s.VSync),
              std::tuple(1, 5, 1, 1, 0, 8, 0, 0, 1));
    // Marks per lap always start at 1: the exit values are stored under other keys.
    EXPECT_EQ(std::tuple(s.Lap_PG, s.LapPG), std::tuple(1, 1));
    for (auto [value, expected] : {std::pair(-1, 0), std::pair(20, 20)}) {
        ApplySettingsText("[ModeSet]\r\nSusFilter_n=" + std::to_string(value) + "\r\n");
        EXPECT_EQ(s.SusFilter_n, expected) << value;
    }
}

TEST_F(SettingsTest, TextValuesMustFitTheirBuffers) {
    // A value fits when it is shorter than its buffer minus one: the paths have 260, the
    // course file name 256.
    ApplySettingsText("[Path]\r\nData=" + std::string(258, 'd') +
                      "\r\nBMP=" + std::string(259, 'b') +
                      "\r\n[ModeSet]\r\nCourseFile_name=" + std::string(255, 'c') + "\r\n");
    EXPECT_EQ(std::tuple(g_settings.Data, g_settings.BMP, g_settings.CourseFile_name),
              std::tuple(std::string(258, 'd'), "", "vorela.crs"));
}

TEST_F(SettingsTest, SetSettingByKey) {
    const std::pair<const char*, const char*> keys[] = {{"SmoothingSample", "6"},
                                                        {"Meter_Z", "250"},
                                                        {"SusFilter_n", "21"},
                                                        {"CourseFile_name", "mugi.crs"}};
    for (auto [key, value] : keys) EXPECT_TRUE(SetSettingByKey(key, value)) << key;
    const Settings& s = g_settings;
    EXPECT_EQ(std::tuple(s.SmoothingSample, s.Meter_Z, s.SusFilter_n, s.CourseFile_name),
              std::tuple(6, 0.25f, 0, "mugi.crs"));
    EXPECT_FALSE(SetSettingByKey("NoSuchKey", "1"));
    EXPECT_FALSE(SetSettingByKey("smoothingne", "1")); // keys are case-sensitive
    EXPECT_EQ(g_settings.smoothingNE, 0);
}

} // namespace
} // namespace qvtk::test
