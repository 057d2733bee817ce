// The "CAN Logger Setting" dialog as a user reaches and works it with a CAN logger recording as
// File 1: the toolbar's Setup, key F and the Setup dialog's "CAN Logger Mode"; typed values
// clamped on leaving, the memo's length, the clock group with the PC's time zone, the saves,
// and the display rows.
#include "viewer/can_logger_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <ctime>

#include "logger/setup_dialog.h"
#include "platform/wait.h"
#include "tests/viewer/app_fixture.h"
#include "tools/sim/family4_writer.h"
#include "viewer/graph_settings.h"
#include "viewer/key_commands.h"
#include "viewer/open_file.h"

namespace qvtk {
namespace {

std::string g_savePath;
std::string AnswerSavePath(QWidget*, const SavePathRequest&) {
    return g_savePath;
}

// The titles of the modal dialogs that open, each closed again ("CAN Logger Mode" pressed in
// the Setup dialog when asked).
std::vector<std::string> g_modals;
void WatchModals(bool pressCanLoggerMode, int ticks = 100) {
    QTimer::singleShot(5, [=] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            if (ticks > 0) WatchModals(pressCanLoggerMode, ticks - 1);
            return;
        }
        g_modals.push_back(w->windowTitle().toStdString());
        if (pressCanLoggerMode && w->windowTitle() == "Setup") {
            WatchModals(false, ticks - 1); // the dialog it opens runs inside the click
            w->findChild<QPushButton*>("can_logger_mode")->click();
            return;
        }
        w->close();
    });
}

class CanLoggerSettingTest : public test::ViewerApp {
protected:
    void SetUp() override {
        ViewerApp::SetUp();
        SetWaitHook([](int) {});
        SetSavePathAskerForTesting(AnswerSavePath);
        g_savePath = dir_ + "/SETUP.QVL";
        g_modals.clear();
    }
    void TearDown() override {
        SetSavePathAskerForTesting(nullptr);
        SetWaitHook(nullptr);
        ViewerApp::TearDown();
    }
    std::string OpenRide() {
        const std::string path = dir_ + "/ride.qvd";
        const std::vector<uint8_t> bytes = sim::WriteFamily4(test::SimulatedRide(5, 1));
        WriteFile("ride.qvd", bytes);
        EXPECT_TRUE(OpenFileIntoSlot(0, path));
        return SlotOf(0).file.filePath; // the open flow may have renamed it
    }
    template <typename W> static W* Find(QDialog& d, const char* name) {
        W* w = d.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static QString Typed(QDialog& d, const char* name, const QString& text) {
        QLineEdit* e = Find<QLineEdit>(d, name);
        e->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(e, &enter);
        return e->text();
    }
    static std::vector<uint8_t> Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

TEST_F(CanLoggerSettingTest, ToolbarKeyFAndTheSetupDialogReachIt) {
    Start();
    OpenRide();
    WatchModals(false);
    Click("Setup");
    WatchModals(false);
    ExecuteKey('f');
    EXPECT_EQ(g_modals, std::vector<std::string>({"CAN Logger Setting", "CAN Logger Setting"}));

    g_modals.clear();
    g_settings.Model = 0; // the standard logger: the Setup dialog, and from it the CAN logger's
    WatchModals(true);
    ExecuteKey('f');
    EXPECT_EQ(g_modals, std::vector<std::string>({"Setup", "CAN Logger Setting"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(CanLoggerSettingTest, FieldsAreClampedAndTheSavesWriteWhatTheyShow) {
    Start();
    const std::string ride = OpenRide();
    CanLoggerSettingDialog d;
    EXPECT_EQ(Typed(d, "vfw_tire", "99999"), "3000");
    EXPECT_EQ(Typed(d, "vrw_tire", "12"), "500");
    EXPECT_EQ(Typed(d, "start_value", "70000"), "65535");
    EXPECT_EQ(Typed(d, "start_value", "-4"), "0");
    EXPECT_EQ(Typed(d, "memo", QString(300, 'm')).size(), 254);

    Typed(d, "memo", "wet track");
    Find<QPushButton>(d, "overwrite_memo")->click();
    EXPECT_TRUE(test::SawMessage("Save", "File saved !"));
    const std::vector<uint8_t> recording = Contents(ride);
    EXPECT_EQ(std::string(recording.begin() + 256, recording.begin() + 266),
              std::string("wet track\0", 10));

    Typed(d, "start_value", "1234");
    Find<QPushButton>(d, "create_setup_file")->click();
    EXPECT_TRUE(test::SawMessage("Saved", "SetUp File is saved."));
    const std::vector<uint8_t> f = Contents(g_savePath);
    ASSERT_EQ(f.size(), 8192u);
    EXPECT_EQ(std::vector<int>({f[22], f[23], f[96], f[97], f[98], f[99], f[256], f[265]}),
              std::vector<int>({0x04, 0xD2, 0x0B, 0xB8, 0x01, 0xF4, 'w', 0}));
}

TEST_F(CanLoggerSettingTest, GpsClockTakesThePcsTimeZone) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    struct Zone {
        const char* tz;
        const char* hour;
        const char* minute;
    };
    for (const Zone& z :
         {Zone{"JST-9", "+9", "0"}, Zone{"IST-5:30", "+5", "30"}, Zone{"EST5", "-5", "0"}}) {
        setenv("TZ", z.tz, 1);
        tzset();
        CanLoggerSettingDialog d;
        QCheckBox* gps = Find<QCheckBox>(d, "gps_clock");
        if (gps->isChecked()) gps->click();
        EXPECT_TRUE(Find<QPushButton>(d, "clock_save")->isEnabled());
        gps->click();
        EXPECT_EQ(std::tuple(Find<QComboBox>(d, "timezone_hour")->currentText().toStdString(),
                             Find<QComboBox>(d, "timezone_minute")->currentText().toStdString()),
                  std::tuple(std::string(z.hour), std::string(z.minute)))
            << z.tz;
        EXPECT_TRUE(Find<QComboBox>(d, "timezone_hour")->isEnabled());
        EXPECT_FALSE(Find<QComboBox>(d, "year")->isEnabled());
        EXPECT_FALSE(Find<QPushButton>(d, "clock_save")->isEnabled());
    }
    before ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}

TEST_F(CanLoggerSettingTest, DisplayRowsSwitchRecordedChannels) {
    Start();
    OpenRide();
    CanLoggerSettingDialog d;
    QCheckBox* tps = Find<QCheckBox>(d, "on_2");
    ASSERT_TRUE(tps->isChecked());
    tps->click();
    EXPECT_FALSE(SlotOf(0).channelFlags[2] & kChannelShown);
    Find<QScrollBar>(d, "display_scroll")->setValue(16);
    EXPECT_TRUE(Find<QCheckBox>(d, "on_2")->isEnabled());  // column 18, the coolant
    EXPECT_FALSE(Find<QCheckBox>(d, "on_3")->isEnabled()); // column 19: not recorded
    Find<QPushButton>(d, "all_f2")->click(); // the whole column one way, then the other
    const int first = g_graph.GraphVisible[1][0];
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(g_graph.GraphVisible[1][c], first) << c;
    Find<QPushButton>(d, "all_f2")->click();
    EXPECT_NE(g_graph.GraphVisible[1][0], first);
}

} // namespace
} // namespace qvtk
