// The dialogs that hang off the Setup dialog, as a user works them on the offscreen platform:
// GearBox Setting, the analog input calculation, File Load Setting, the Display Setting group
// and the corrective tools window that key G opens.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "analysis/file_open.h"
#include "analysis/lap_model.h"
#include "logger/file_load_setting_dialog.h"
#include "logger/gearbox_setting_dialog.h"
#include "logger/input_calculation_dialog.h"
#include "logger/setup_dialog.h"
#include "tests/data/family3_fixture.h"
#include "tests/logger/logger_fixture.h"
#include "viewer/corrective_tools_dialog.h"
#include "viewer/display_setting_section.h"
#include "viewer/graph_settings.h"
#include "viewer/key_commands.h"

namespace qvtk {
namespace {

class SetupPartsTest : public test::LoggerTest {
protected:
    void TearDown() override {
        ClearSetupSectionsForTesting();
        for (QWidget* w : QApplication::topLevelWidgets()) w->close();
        LoggerTest::TearDown();
    }
    // 3000 records with marks at 1000 and 2000.
    void LoadRecording() {
        test::Family3File f(2);
        f.Throttle(10, 240).Append({}, 999).Append({.marker = true}).Append({}, 999);
        WriteFile("ride.qvd", f.Append({.marker = true}).Append({}, 1000).bytes());
        FileSlot slot = 0;
        ASSERT_TRUE(LoadFileIntoSlot(slot, dir_ + "/ride.qvd"));
    }
    template <typename W> static W* Find(QWidget& d, const char* name) {
        W* w = d.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Typed into the field, then Enter: the field is left as the dialog sees it.
    static QString Type(QWidget& d, const char* name, const QString& text) {
        QLineEdit* e = Find<QLineEdit>(d, name);
        e->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(e, &enter);
        return e->text();
    }
    static QWidget* OpenWindow(const QString& title) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle() == title) return w;
        return nullptr;
    }
};

TEST_F(SetupPartsTest, GearBoxShowsWhatTheSettingsAllowAndTakesFieldsWhenLeft) {
    g_settings.Debug = 1;
    GearBoxSettingDialog d;
    EXPECT_EQ(Type(d, "cut_rpm_3", "-300"), "0");
    EXPECT_EQ(Type(d, "trigger_mv_1", "2500"), "2510");
    EXPECT_EQ(Type(d, "rpm_indicator_3", "99999"), "25500");
    Find<QRadioButton>(d, "Down")->click();
    EXPECT_EQ(g_setupValues.shiftDirection, 1);
    EXPECT_TRUE(Find<QPushButton>(d, "debug_off")->isVisibleTo(&d));
    EXPECT_TRUE(Find<QPushButton>(d, "extend")->isVisibleTo(&d));
    Find<QPushButton>(d, "debug_off")->click();
    EXPECT_EQ(g_settings.Debug, 0);
    EXPECT_FALSE(Find<QLineEdit>(d, "cut_rpm_3")->isVisibleTo(&d));
    EXPECT_FALSE(Find<QPushButton>(d, "extend")->isVisibleTo(&d));
}

TEST_F(SetupPartsTest, InputCalculationEnablesByTypeAndOverwritesOnlyForExperts) {
    g_settings.ExpertMode = kLevelStandard;
    InputCalculationDialog standard(0);
    EXPECT_FALSE(Find<QPushButton>(standard, "Overwrite File")->isVisibleTo(&standard));
    g_settings.ExpertMode = kLevelExpert;
    InputCalculationDialog d(1);
    EXPECT_TRUE(Find<QPushButton>(d, "Overwrite File")->isVisibleTo(&d));
    EXPECT_FALSE(Find<QLineEdit>(d, "a")->isEnabled());
    Find<QRadioButton>(d, "ax+b")->click();
    EXPECT_TRUE(Find<QLineEdit>(d, "a")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>(d, "voltage_1")->isEnabled());
    EXPECT_EQ(Type(d, "a", "0.29"), "0.29");
    EXPECT_EQ(g_setupValues.inputs[1].gain, 29);
    Find<QRadioButton>(d, "Table")->click();
    EXPECT_EQ(Type(d, "voltage_1", "-1"), "0.00");
    EXPECT_EQ(Type(d, "value_1", "400"), "  300");
}

TEST_F(SetupPartsTest, ThePrefixKeepsTheRenamedFileInItsFolder) {
    FileLoadSettingDialog d;
    const struct {
        const char* typed;
        const char* kept;
        bool refused;
    } cases[] = {
        {"lap_", "lap_", false},
        {"/../x", "lap_", true},
        {"\\..\\x", "lap_", true},
        {"a\tb", "lap_", true},
        {"best.", "lap_", true},
        {"best ", "lap_", true},
        {"abcdefghijkl", "abcdefghi", false},
        {"\xC3\xA4"
         "bcdefghijkl",
         "\xC3\xA4"
         "bcdefghi",
         false},
    };
    for (const auto& c : cases) {
        ClearRecordedMessages();
        EXPECT_EQ(Type(d, "Prefix", QString::fromUtf8(c.typed)).toStdString(), c.kept) << c.typed;
        EXPECT_EQ(g_fileOpen.renamePrefix, c.kept);
        EXPECT_EQ(RecordedMessages().size(), c.refused ? 1u : 0u) << c.typed;
    }
}

TEST_F(SetupPartsTest, DisplaySettingTakesEffectAtOnceAndTheCourseOnClose) {
    LoadRecording();
    WriteFile("a.crs", std::string("not a course"));
    WriteFile("b.crs", std::string("not a course"));
    g_settings.CourseFile_name = "a.crs";
    g_settings.CourseLayout_on = 1;
    g_settings.smoothingNE = 1;
    AddSetupSection(DisplaySettingSection());
    {
        SetupDialog d;
        ASSERT_EQ(LapDuration(0, 0), 1000);
        Find<QRadioButton>(d, "f1_3 mark/lap")->click();
        EXPECT_EQ(MarksPerLap(0), 3);
        EXPECT_EQ(LapDuration(0, 0), 3001);
        Find<QCheckBox>(d, "f1_VB")->click();
        EXPECT_EQ(g_graph.GraphVisible[0][8], 0);
        Find<QComboBox>(d, "mode")->setCurrentIndex(kLevelEasy);
        EXPECT_FALSE(Find<QCheckBox>(d, "Ne Smoothing")->isChecked());
        EXPECT_FALSE(Find<QCheckBox>(d, "f1_SlipRatio")->isVisibleTo(&d));
        QComboBox* courses = Find<QComboBox>(d, "course_list");
        ASSERT_EQ(courses->count(), 2);
        EXPECT_EQ(courses->currentText(), "a.crs");
        courses->setCurrentIndex(1);
        EXPECT_EQ(g_settings.CourseFile_name, "a.crs"); // taken on close only
        std::filesystem::remove(dir_ + "/b.crs");
        Find<QPushButton>(d, "close")->click();
    }
    EXPECT_EQ(g_settings.CourseFile_name, "b.crs");
    EXPECT_EQ(g_settings.CourseLayout_on, 0); // the course did not load
    {
        SetupDialog d;
        Find<QComboBox>(d, "course_list")->setCurrentIndex(-1);
        Find<QPushButton>(d, "close")->click();
    }
    EXPECT_EQ(g_settings.CourseFile_name, "b.crs");
}

TEST_F(SetupPartsTest, KeyGOpensOneCorrectiveToolsWindowThatMarksAtTheCursor) {
    LoadRecording();
    ExecuteKey('g');
    ExecuteKey('G');
    int windows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        windows += w->isVisible() && w->windowTitle() == "corrective tools";
    ASSERT_EQ(windows, 1);
    QWidget* tools = OpenWindow("corrective tools");
    EXPECT_FALSE(Find<QPushButton>(*tools, "Adj")->isVisible()); // neither RUVU nor Debug
    SlotOf(0).cursorPos = 1100 * 100;
    Find<QPushButton>(*tools, "LapMark")->click();
    EXPECT_EQ(SlotOf(0).laps.count, 2); // the mark at 1000 is gone
    tools->close();
    QApplication::processEvents();

    g_settings.RUVU = 1;
    CorrectiveToolsDialog* open = OpenCorrectiveTools();
    EXPECT_TRUE(Find<QPushButton>(*open, "Adj")->isVisible());
    Find<QLineEdit>(*open, "value")->setText("5000");
    Find<QPushButton>(*open, "Adj")->click();
    EXPECT_EQ(Find<QLineEdit>(*open, "value")->text(), "1000");
}

} // namespace
} // namespace qvtk
