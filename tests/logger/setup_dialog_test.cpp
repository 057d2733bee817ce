// The Setup dialog as a user works it: typed values clamped on leaving, radios enabling their
// fields, the mode list's levels, the saves through the save dialog, sections of other parts
// of the program, and the keys that open it and the monitor.
#include "logger/setup_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <fstream>
#include <iterator>

#include "logger/setup_files.h"
#include "tests/data/family3_fixture.h"
#include "tests/logger/logger_fixture.h"
#include "viewer/key_commands.h"

namespace qvtk {
namespace {

std::vector<SavePathRequest> g_asked;
std::string g_answer;
std::string AnswerSavePath(QWidget*, const SavePathRequest& r) {
    g_asked.push_back(r);
    return g_answer;
}

class SetupDialogTest : public test::LoggerTest {
protected:
    void SetUp() override {
        LoggerTest::SetUp();
        g_asked.clear();
        g_answer = dir_ + "/OUT.QVL";
        SetSavePathAskerForTesting(AnswerSavePath);
    }
    void TearDown() override {
        SetSavePathAskerForTesting(nullptr);
        ClearSetupSectionsForTesting();
        LoggerTest::TearDown();
    }
    void LoadRecording() {
        test::Family3File f(2);
        f.Set(17, 20).Set16(18, 1940).Set(21, 4).Set16(22, 2000).Set(25, 15).Set(26, 43);
        f.Throttle(20, 220).Text(320, "old").Append({.vb = 200}, 4);
        const std::string path = dir_ + "/ride.qvd";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(f.bytes().data()),
                   std::streamsize(f.bytes().size()));
        FileSlot slot = 0;
        ASSERT_TRUE(LoadFileIntoSlot(slot, path));
    }
    template <typename W> static W* Find(QDialog& d, const char* name) {
        W* w = d.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Typed into the field, then Enter: the field is left as the dialog sees it.
    static void Type(QDialog& d, const char* name, const QString& text) {
        QLineEdit* e = Find<QLineEdit>(d, name);
        e->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(e, &enter);
    }
    static std::vector<uint8_t> Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(SetupDialogTest, TypedValuesAreClampedAndRadiosEnableTheirFields) {
    LoadRecording();
    SetupDialog d;
    Type(d, "vfw_mm", "5000");
    EXPECT_EQ(Find<QLineEdit>(d, "vfw_mm")->text(), "3000");
    Type(d, "link_ratio", "12");
    EXPECT_EQ(Find<QLineEdit>(d, "link_ratio")->text(), "150");
    EXPECT_FALSE(Find<QLineEdit>(d, "front_mm")->isEnabled());
    Find<QRadioButton>(d, "sus_front_1")->click();
    EXPECT_TRUE(Find<QLineEdit>(d, "front_mm")->isEnabled());
    EXPECT_FALSE(Find<QComboBox>(d, "c_gear_pulse_rev")->isEnabled());
    Find<QRadioButton>(d, "rear_sensor_1")->click();
    EXPECT_TRUE(Find<QComboBox>(d, "c_gear_pulse_rev")->isEnabled());
    EXPECT_FALSE(Find<QComboBox>(d, "vrw_pulse")->isEnabled());
    EXPECT_EQ(d.Form().value[kSetRearSensor], 1);
}

TEST_F(SetupDialogTest, TheModeListShowsMoreAtEachLevel) {
    LoadRecording();
    SetupDialog d;
    d.show();
    QComboBox* mode = Find<QComboBox>(d, "mode");
    EXPECT_EQ(mode->itemText(2), "Expert ");
    const char* names[] = {"link_ratio", "firmware",    "memo_save", "LAF 1",     "GearBox",
                           "front_mm",   "sus_front_1", "vfw_mm",    "setup_save"};
    const bool shown[3][9] = {{false, false, false, false, false, false, false, true, true},
                              {false, false, false, true, true, true, true, true, true},
                              {true, true, true, true, true, true, true, true, true}};
    for (int level : {0, 1, 2}) {
        mode->setCurrentIndex(level);
        EXPECT_EQ(g_settings.ExpertMode, level);
        for (size_t i = 0; i < std::size(names); ++i)
            EXPECT_EQ(d.findChild<QWidget*>(names[i])->isVisible(), shown[level][i])
                << names[i] << " at level " << level;
    }
}

TEST_F(SetupDialogTest, WithoutABinaryRecordingOnlyTheSavesWork) {
    SetupDialog d;
    for (const char* name : {"vfw_mm", "engine_pulse_ne", "position_adjust_tps", "memo",
                             "memo_save", "LAF 1", "GearBox"})
        EXPECT_FALSE(d.findChild<QWidget*>(name)->isEnabled()) << name;
    EXPECT_TRUE(Find<QPushButton>(d, "setup_save")->isEnabled());
    Find<QPushButton>(d, "setup_save")->click();
    EXPECT_TRUE(test::SawMessage("Error !", "Not load base log file!"));
    EXPECT_TRUE(g_asked.empty());
}

TEST_F(SetupDialogTest, SavesGoWhereTheSaveDialogSays) {
    LoadRecording();
    SetupDialog d;
    Find<QCheckBox>(d, "position_adjust_tps")->click();
    Find<QLineEdit>(d, "vrw_mm")->setText("2222"); // still being typed when Save is pressed
    SlotOf(0).header.throttleRawMin = 33;
    Find<QPushButton>(d, "setup_save")->click();
    ASSERT_EQ(g_asked.size(), 1u);
    EXPECT_EQ(std::tuple(std::string(g_asked[0].initialName), g_asked[0].overwritePrompt),
              std::tuple("SETUP.QVL", true));
    const std::vector<uint8_t> setup = Contents(g_answer);
    ASSERT_EQ(setup.size(), 512u);
    EXPECT_EQ(std::tuple(setup[22], setup[23], setup[32]), std::tuple(0x08, 0xAE, 33));
    EXPECT_TRUE(Find<QCheckBox>(d, "position_adjust_tps")->isChecked());

    const char* lists[] = {"Year", "Month", "day", "Hour", "Minute"};
    const int entries[] = {9, 11, 30, 23, 59}; // 2021-12-31 23:59
    for (int i = 0; i < 5; ++i) Find<QComboBox>(d, lists[i])->setCurrentIndex(entries[i]);
    Find<QPushButton>(d, "clock_save")->click();
    EXPECT_EQ(std::tuple(std::string(g_asked[1].initialName), g_asked[1].overwritePrompt),
              std::tuple("TIME.QVL", false));
    EXPECT_EQ(Contents(g_answer), std::vector<uint8_t>({0x07, 0xE5, 12, 31, 23, 59, 0}));

    g_answer.clear(); // cancelled: nothing written, nothing said
    ClearRecordedMessages();
    Find<QPushButton>(d, "clock_save")->click();
    EXPECT_TRUE(RecordedMessages().empty());
}

TEST_F(SetupDialogTest, MemoSaveWritesTheTextAsTheLoggerStoresIt) {
    LoadRecording();
    SetupDialog d;
    EXPECT_EQ(Find<QLineEdit>(d, "memo")->text(), "old");
    Type(d, "memo", QString::fromUtf8("テスト run"));
    Find<QPushButton>(d, "memo_save")->click();
    EXPECT_TRUE(test::SawMessage("Save", "File saved !"));
    const std::vector<uint8_t> file = Contents(dir_ + "/ride.qvd");
    const std::vector<uint8_t> memo = {0x83, 0x65, 0x83, 0x58, 0x83, 0x67, ' ', 'r', 'u', 'n', 0};
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 320, file.begin() + 331), memo);
}

int g_sectionsClosed = 0;

TEST_F(SetupDialogTest, SectionsAndHooksOfOtherPartsJoinTheDialog) {
    AddSetupSection({"Display Setting",
                     [](SetupDialog& d, QGroupBox& g) {
                         auto* c = new QCheckBox("CourseMAP", &g);
                         c->setObjectName("course_map");
                         d.AddLevelled(c, kLevelExpert);
                     },
                     [](SetupDialog&) { ++g_sectionsClosed; }});
    g_settings.RTM = 1;
    LoadRecording();
    SetupDialog d;
    d.show();
    EXPECT_TRUE(Find<QCheckBox>(d, "course_map")->isVisible());
    EXPECT_TRUE(Find<QPushButton>(d, "realtime_monitor")->isVisible());
    EXPECT_FALSE(Find<QPushButton>(d, "ruvu")->isVisible());
    EXPECT_FALSE(Find<QPushButton>(d, "LAF 1")->isEnabled()); // no calculation dialog yet
    Find<QComboBox>(d, "mode")->setCurrentIndex(kLevelStandard);
    EXPECT_FALSE(Find<QCheckBox>(d, "course_map")->isVisible());
    Find<QPushButton>(d, "close")->click();
    EXPECT_EQ(g_sectionsClosed, 1);
}

// Closes whatever modal window comes up and says what it was.
std::string g_modalSeen;
void CloseTheModalWindowSoon() {
    QTimer::singleShot(0, [] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            g_modalSeen = w->windowTitle().toStdString();
            w->close();
        }
    });
}

TEST_F(SetupDialogTest, KeyFOpensTheSetupAndKeyPTheMonitorInDebugMode) {
    g_modalSeen.clear();
    CloseTheModalWindowSoon();
    ExecuteKey('F');
    EXPECT_EQ(g_modalSeen, "Setup");

    ExecuteKey('p');
    EXPECT_TRUE(RecordedMessages().empty());
    g_settings.Debug = 1;
    ExecuteKey('p'); // no port to scan
    EXPECT_TRUE(test::SawMessage("Error", "logger unit not found !!"));
}

} // namespace
} // namespace qvtk
