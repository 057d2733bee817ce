// QVTK2.ini read at start and written at exit, csvlabel.ini, and the batch profile write the
// save goes through.
#include "viewer/settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/lap_model.h"
#include "logger/program.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/private_profile.h"
#include "tests/test_support.h"

namespace qvtk {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dir_ = test::MakeTempDir(); }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    void SetUp() override {
        ResetProgram();
        g_session.programDirectory = dir_; // the standard layout is saved with the settings
        for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
    }
    void TearDown() override { ResetProgram(); }

    static std::string Put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << bytes;
        return dir_ + "/" + name;
    }
    static std::string Contents(const std::string& name) {
        return test::ReadWholeFile(dir_ + "/" + name);
    }
    static std::vector<std::string> Layouts() {
        return {g_layoutList.names, g_layoutList.names + g_layoutList.count};
    }

    static std::string dir_;
};
std::string SettingsFileTest::dir_;

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndTheLayFilesOfTheDirectory) {
    g_settings.x2 = 5;
    g_layoutList.count = 3;
    for (int i = 33; i >= 0; --i) Put("lay" + std::to_string(100 + i) + ".lay", "");
    fs::create_directory(dir_ + "/dir.lay");
    Put("Upper.LAY", "");
    Put("notes.txt", "");
    LoadSettings(dir_);

    EXPECT_EQ(std::tuple(g_settings.x2, g_settings.Curse_Z, g_settings.CourseFile_name),
              std::tuple(1024, 0.5f, "vorela.crs"));
    std::vector<std::string> want{"Upper"}; // sorted by name, the first 32 of 35
    for (int i = 0; i < 31; ++i) want.push_back("lay" + std::to_string(100 + i));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(Layouts(), want);
}

TEST_F(SettingsFileTest, ReadsNumbersMarksPerLapAndTheControlLineOfTheNamedCourse) {
    Put("QVTK2.ini", "[Window]\r\nx=010\r\ny=0x10\r\n[ModeSet]\r\nSusFilter_n=21\r\n"
                     "CourseFile_name=suzuka.crs\r\nLap_PG=3\r\nLap_PR=0\r\nLap_PW=9\r\n");
    Put("gps_p.ini", "[vorela.crs]\r\nCL_LAT_A=1.0\r\n[suzuka.crs]\r\nCL_LAT_A=34.5\r\n");
    LoadSettings(dir_);
    EXPECT_EQ(std::tuple(g_settings.x, g_settings.y, g_settings.SusFilter_n), std::tuple(8, 16, 0));
    EXPECT_EQ(std::tuple(MarksPerLap(0), MarksPerLap(1), MarksPerLap(2)), std::tuple(3, 1, 3));
    EXPECT_EQ(g_session.slots[2].controlLine.latA, 207000000); // 34.5 degrees x 6000000
    EXPECT_EQ(g_session.programDirectory, dir_);
}

TEST_F(SettingsFileTest, LayoutListRunsUntilAMissingOrEmptyKeyAndHoldsAtMost32) {
    std::string keys33;
    for (int i = 0; i < 33; ++i)
        keys33 += "LayFile" + std::to_string(i) + "=L" + std::to_string(i) + "\r\n";
    const std::pair<std::string, int> cases[] = {
        {"[LayoutSet]\r\n" + keys33, 32},
        {"[LayoutSet]\r\nLayFile0=a\r\nLayFile1=b\r\nLayFile3=d\r\n", 2},
        {"[LayoutSet]\r\nLayFile0=a\r\nLayFile1=\r\nLayFile2=c\r\n", 1},
        {"[LayoutSet]\r\nLayFile10=x\r\nLayFile1=b\r\nLayFile0=a\r\n", 2},
        {"[Window]\r\nx=1\r\n", 0}, // a settings file without layouts: the .lay files don't count
    };
    Put("extra.lay", "");
    for (const auto& [text, count] : cases) {
        for (std::string& name : g_layoutList.names) name = "stale";
        Put("QVTK2.ini", text);
        LoadSettings(dir_);
        EXPECT_EQ(g_layoutList.count, count) << text;
        EXPECT_EQ(g_layoutList.names[count < 32 ? count : 31], count < 32 ? "" : "L31") << text;
    }
}

TEST_F(SettingsFileTest, SaveKeepsHandEditedTextAndReadsBackTheSameValues) {
    Put("QVTK2.ini", "; my settings\r\n[Other]\r\nkeep=me\r\n\r\n"
                     "[ZUDEriraz]\r\nDebug=0x1\r\nVSync = 0\r\nMemo_view=0x0\r\n\r\n"
                     "[ModeSet]\r\nHD_Display=1   \r\nSmoothingSample= 010\r\nLap_PG=3\r\n\r\n"
                     "[LayoutSet]\r\nLayFile0=old0\r\nLayFile1=old1\r\nLayFile2=old2\r\n");
    LoadSettings(dir_);
    ASSERT_EQ(std::tuple(g_settings.Debug, g_settings.VSync, g_settings.HD_Display,
                         g_settings.SmoothingSample, MarksPerLap(0)),
              std::tuple(1, 0, 1, 8, 3));
    g_settings.Data = "/logs/2024 runs";
    g_settings.Curse_Z = 0.6669f; // truncated, not rounded
    g_settings.Meter_Z = -1.2345f;
    g_settings.AFmap_SWTHS = 2.5f;
    g_settings.CursolValueMode = 5;
    SetMarksPerLap(1, 2);
    g_layoutList = {{"road", "track"}, 2};
    ASSERT_TRUE(SaveSettings(dir_, {-30, 40, 800, 600, true}));

    // Read-only lines stay byte for byte; written keys are replaced in place or follow the
    // section's last line.
    const std::string file = Contents("QVTK2.ini");
    for (const char* part :
         {"; my settings\r\n[Other]\r\nkeep=me\r\n\r\n",
          "[ZUDEriraz]\r\nDebug=0x1\r\nVSync = 0\r\nMemo_view=0\r\nLastcono=16\r\n",
          "[ModeSet]\r\nHD_Display=1   \r\nSmoothingSample= "
          "010\r\nLap_PG=3\r\nCursolValueMode=5\r\n",
          "\r\nLapPG=3\r\nLapPR=2\r\nLapPW=1\r\n", "\r\nCurse_Z=666\r\n", "\r\nMeter_Z=-1234\r\n",
          "\r\nAFmap_SWTHS=250\r\n", "[LayoutSet]\r\nLayFile0=road\r\nLayFile1=track\r\n"})
        EXPECT_NE(file.find(part), std::string::npos) << part;
    EXPECT_EQ(file.find("old"), std::string::npos);

    const std::vector<SettingText> saved = WrittenSettings();
    ResetProgram();
    LoadSettings(dir_);
    const std::vector<SettingText> read = WrittenSettings();
    ASSERT_EQ(read.size(), saved.size());
    for (size_t i = 0; i < saved.size(); ++i) {
        if (std::string_view(saved[i].key).starts_with("LapP")) continue; // written, never read
        EXPECT_EQ(read[i].value, saved[i].value) << saved[i].key;
    }
    EXPECT_EQ(std::tuple(g_settings.x, g_settings.x2, g_settings.zoomed, MarksPerLap(1)),
              std::tuple(-30, 800, 1, 1)); // Lap_PR is not in the file: back to 1
    EXPECT_EQ(Layouts(), (std::vector<std::string>{"road", "track"}));
}

TEST_F(SettingsFileTest, FreshFileHasTheWrittenKeysOnlyInOrderWithCrLf) {
    g_layoutList.count = 1;
    g_layoutList.names[0] = "std";
    ASSERT_TRUE(SaveSettings(dir_, {}));
    const std::string file = Contents("QVTK2.ini");
    EXPECT_TRUE(file.starts_with("[Path]\r\nData=\r\nBMP=\r\n\r\n[Logger]\r\nModel=1\r\n\r\n"
                                 "[Window]\r\nx=0\r\ny=0\r\nx2=1024\r\ny2=768\r\nzoomed=0\r\n"));
    EXPECT_TRUE(file.ends_with("\r\nLastcono=16\r\n\r\n[LayoutSet]\r\nLayFile0=std\r\n"));
    // 0.65 x 1000 is 649.99... in double precision; the float product truncates to 650.
    EXPECT_NE(file.find("\r\nMeter_Z=650\r\n"), std::string::npos);
    for (const char* readOnly : {"Lap_PG", "SusFilter_n", "SmoothingSample", "Debug=", "VSync"})
        EXPECT_EQ(file.find(readOnly), std::string::npos) << readOnly;
    for (size_t i = 0; i < file.size(); ++i)
        if (file[i] == '\n') {
            ASSERT_TRUE(i > 0 && file[i - 1] == '\r') << i;
        }
}

TEST_F(SettingsFileTest, CsvLabelsFromTheFileAndNoDataWhereItNamesNone) {
    const std::string long62(62, 'x'), long63(63, 'y');
    Put("csvlabel.ini", "[Time]\r\n0=Zeit\r\n1=time s\r\n[LAP]\r\n15=LapDist\r\n[VB]\r\n0=" +
                            long62 + "\r\n1=" + long63 + "\r\n");
    g_csvLabels.labels[1][0] = "stale";
    LoadSettings(dir_);
    const auto& l = g_csvLabels.labels;
    EXPECT_EQ(std::tuple(l[0][0], l[0][1], l[0][2], l[12][15], l[9][0], l[9][1], l[1][0]),
              std::tuple("Zeit", "time s", "No data", "LapDist", long62, "No data", "No data"));
}

// The save relies on the batch doing exactly what the single-key functions do in turn.
TEST_F(SettingsFileTest, BatchEditsGiveTheSameFileAsTheSingleKeyFunctions) {
    const std::vector<ProfileEdit> edits = {
        {ProfileEdit::kWriteString, "main", "SPEED", "42"}, // replaced where it stands
        {ProfileEdit::kWriteString, "Main", "other", "2"},  // unchanged
        {ProfileEdit::kWriteString, "Main", "new", "n"},    // before the trailing blank line
        {ProfileEdit::kDeleteKey, "Dup", "k", ""},          // every copy
        {ProfileEdit::kDeleteSection, "Gone", "", ""},      // both occurrences
        {ProfileEdit::kWriteString, "Gone", "back", "1"},   // a new section at the end
        {ProfileEdit::kWriteString, "Main", "a=b", "x"},    // refused, the rest goes on
        {ProfileEdit::kWriteString, "Fresh", "k", ""},
        {ProfileEdit::kDeleteKey, "Missing", "k", ""},
    };
    const std::string starts[] = {
        "; c\r\n[Main]\r\n  speed = 1 \r\nother=2\r\n\r\n[Gone]\r\nx=1\r\n[Dup]\r\nk=1\r\nK=2\r\n"
        "[gone]\r\ny=2\r\n",
        "\xEF\xBB\xBF[Dup]\nk=1\n[Main]\nother=3", // BOM, LF only, no final line end
        "",
    };
    for (const std::string& start : starts) {
        Put("single.ini", start);
        Put("batch.ini", start);
        bool singleOk = true;
        for (const ProfileEdit& e : edits) {
            const std::string path = dir_ + "/single.ini";
            bool ok = e.kind == ProfileEdit::kWriteString
                          ? ProfileWriteString(e.section, e.key, e.value, path)
                      : e.kind == ProfileEdit::kDeleteKey ? ProfileDeleteKey(e.section, e.key, path)
                                                          : ProfileDeleteSection(e.section, path);
            singleOk = singleOk && ok;
        }
        EXPECT_EQ(ProfileWriteBatch(dir_ + "/batch.ini", edits), singleOk);
        EXPECT_FALSE(singleOk);
        EXPECT_EQ(Contents("batch.ini"), Contents("single.ini")) << start;
    }
}

TEST_F(SettingsFileTest, BatchWithoutChangesLeavesTheFileAlone) {
    const std::string path = Put("same.ini", "[S]\r\nk=v\r\n");
    struct stat before = {}, after = {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    EXPECT_TRUE(ProfileWriteBatch(path, {{ProfileEdit::kWriteString, "s", "k", "v"},
                                         {ProfileEdit::kDeleteKey, "S", "other", ""},
                                         {ProfileEdit::kDeleteSection, "T", "", ""}}));
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // a rewrite would rename a new file over it

    const std::string missing = dir_ + "/missing.ini";
    EXPECT_TRUE(ProfileWriteBatch(missing, {{ProfileEdit::kDeleteKey, "S", "k", ""}}));
    EXPECT_FALSE(fs::exists(missing));
}

} // namespace
} // namespace qvtk
