// QVTK2.ini: defaults, reading hand-edited text, and setting single keys.
#include <string>

#include "tests/test_support.h"

namespace qvtk::test {
namespace {

class SettingsTest : public ProgramTest {};

TEST_F(SettingsTest, DefaultsOfTheKeysTheLoadersRead) {
    EXPECT_EQ(g_settings.smoothingNE, 0);
    EXPECT_EQ(g_settings.smoothingVW, 0);
    EXPECT_EQ(g_settings.SmoothingSample, 4);
    EXPECT_EQ(g_settings.SmoothingSTD, 2);
    EXPECT_EQ(g_settings.SusVSampleNum, 3);
    EXPECT_EQ(g_settings.VFWCopyVRW, 0);
    EXPECT_EQ(g_settings.AutoOnOffLoad, 1);
    EXPECT_EQ(g_settings.CoursePosSource, 0);
    EXPECT_EQ(g_settings.Debug, 0);
    EXPECT_EQ(g_settings.Shifter, 0);
    EXPECT_EQ(g_settings.VBerrexp, 0);
    EXPECT_EQ(g_settings.SusFilter_n, 7);
    EXPECT_EQ(g_settings.LinkRatio, 235);
    EXPECT_EQ(g_settings.CourseFile_name, "vorela.crs");
    EXPECT_FLOAT_EQ(g_settings.Curse_Z, 0.5f);
    EXPECT_FLOAT_EQ(g_settings.Meter_Z, 0.65f);
    EXPECT_FLOAT_EQ(g_settings.AFmap_SWTHS, 2.5f);

    ApplySettingsText(""); // no file: every key keeps its default
    EXPECT_EQ(g_settings.SmoothingSample, 4);
    EXPECT_EQ(g_settings.CourseFile_name, "vorela.crs");
    EXPECT_FLOAT_EQ(g_settings.Meter_Z, 0.65f);
    EXPECT_EQ(g_settings.Lastcono, 16);
}

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
    EXPECT_EQ(g_settings.Data, "C:\\Logs\\2024 Runs");
    EXPECT_EQ(g_settings.x, 10);
    EXPECT_EQ(g_settings.y, -20);
    EXPECT_FLOAT_EQ(g_settings.Curse_Z, 0.75f);     // 750 / 1000
    EXPECT_FLOAT_EQ(g_settings.AFmap_SWTHS, 1.25f); // 125 / 100
    EXPECT_FLOAT_EQ(g_settings.MC_Z, 0.5f);
    EXPECT_EQ(g_settings.Debug, 1);
    EXPECT_EQ(g_settings.SusVSampleNum, 5);
    EXPECT_EQ(g_settings.Shifter, 1);
    EXPECT_EQ(g_settings.smoothingNE, 1);
    EXPECT_EQ(g_settings.smoothingVW, 0);
    EXPECT_EQ(g_settings.SmoothingSample, 8);
    EXPECT_EQ(g_settings.CourseFile_name, "suzuka.crs");
    EXPECT_EQ(g_settings.AutoOnOffLoad, 0);
    EXPECT_EQ(g_settings.SusFilter_n, 0); // outside 0..20
    EXPECT_EQ(g_settings.VSync, 1);       // belongs to [ZUDEriraz], not [ModeSet]
    // Marks per lap always start at 1: the exit values are stored under other keys.
    EXPECT_EQ(g_settings.Lap_PG, 1);
    EXPECT_EQ(g_settings.LapPG, 1);

    ApplySettingsText("[ModeSet]\r\nSusFilter_n=-1\r\n");
    EXPECT_EQ(g_settings.SusFilter_n, 0);
    ApplySettingsText("[ModeSet]\r\nSusFilter_n=20\r\n");
    EXPECT_EQ(g_settings.SusFilter_n, 20);
}

TEST_F(SettingsTest, TextValuesMustFitTheirBuffers) {
    // A value fits when it is shorter than its buffer minus one: the paths have 260.
    ApplySettingsText("[Path]\r\nData=" + std::string(258, 'd') +
                      "\r\nBMP=" + std::string(259, 'b') + "\r\n");
    EXPECT_EQ(g_settings.Data, std::string(258, 'd'));
    EXPECT_EQ(g_settings.BMP, "");
}

TEST_F(SettingsTest, CourseFileNameHasABufferOf256) {
    ApplySettingsText("[ModeSet]\r\nCourseFile_name=" + std::string(255, 'c') + "\r\n");
    EXPECT_EQ(g_settings.CourseFile_name, "vorela.crs"); // 255 characters are too many
}

TEST_F(SettingsTest, SetSettingByKey) {
    EXPECT_TRUE(SetSettingByKey("SmoothingSample", "6"));
    EXPECT_EQ(g_settings.SmoothingSample, 6);
    EXPECT_TRUE(SetSettingByKey("Meter_Z", "250"));
    EXPECT_FLOAT_EQ(g_settings.Meter_Z, 0.25f);
    EXPECT_TRUE(SetSettingByKey("SusFilter_n", "21"));
    EXPECT_EQ(g_settings.SusFilter_n, 0);
    EXPECT_TRUE(SetSettingByKey("CourseFile_name", "mugi.crs"));
    EXPECT_EQ(g_settings.CourseFile_name, "mugi.crs");

    EXPECT_FALSE(SetSettingByKey("NoSuchKey", "1"));
    EXPECT_FALSE(SetSettingByKey("smoothingne", "1")); // keys are case-sensitive
    EXPECT_EQ(g_settings.smoothingNE, 0);
    EXPECT_EQ(g_settings.SmoothingSample, 6);
}

} // namespace
} // namespace qvtk::test
