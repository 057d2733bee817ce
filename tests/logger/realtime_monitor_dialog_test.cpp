// The Real Time Monitor window over a simulated logger: it fills its fields from the ticks,
// carries out a button pressed during a tick's pause after the tick, and closes at once when
// asked to during the long wait after a calibration.
#include "logger/realtime_monitor_dialog.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "logger/monitor.h"
#include "tests/logger/logger_fixture.h"

namespace qvtk {
namespace {

using test::SimLogger;

class MonitorDialogTest : public test::LoggerTest {
protected:
    static QString Field(QDialog& d, const char* name) {
        auto* e = d.findChild<QLineEdit*>(name);
        return e ? e->text() : "missing";
    }
};

QPushButton* g_pressDuringWait = nullptr;
void PressDuringWait(int) {
    if (QPushButton* b = std::exchange(g_pressDuringWait, nullptr)) b->click();
}

TEST_F(MonitorDialogTest, FieldsFollowTheTicksAndAButtonWaitsForTheTickToEnd) {
    SimLogger logger(dir_, "l");
    UsePorts({&logger});
    RealTimeMonitorDialog dialog;
    ASSERT_TRUE(dialog.Start());
    // ClockADJ pressed while the first tick waits after its setup-block request.
    g_pressDuringWait = dialog.findChild<QPushButton*>("ClockADJ");
    SetWaitHook(PressDuringWait);
    QTimer::singleShot(600, &dialog, [&] { dialog.findChild<QPushButton*>("Close")->click(); });
    dialog.exec();
    EXPECT_EQ(Field(dialog, "Firmware Ver."), "SimLog 2.00");
    EXPECT_EQ(Field(dialog, "Final"), "16 - 41");
    EXPECT_TRUE(Field(dialog, "NE").endsWith("rpm")) << Field(dialog, "NE").toStdString();
    EXPECT_TRUE(Field(dialog, "LAF 1 V").endsWith("V"));
    EXPECT_EQ(Field(dialog, "QVL Ver."), "");
    const std::vector<std::string> commands = logger.Commands();
    const auto block = std::find(commands.begin(), commands.end(), "33");
    ASSERT_NE(block, commands.end());
    ASSERT_NE(block + 1, commands.end());
    EXPECT_EQ((block + 1)->substr(0, 2), "20");  // after the tick's request, not inside it
    EXPECT_EQ(g_loggerLink.LoggerPort, nullptr); // closed with the window
}

TEST_F(MonitorDialogTest, CloseDuringTheWaitAfterACalibrationEndsTheWindowAtOnce) {
    SetWaitHook(nullptr); // the real waits, with the window's events going on
    SimLogger logger(dir_, "l");
    UsePorts({&logger});
    RealTimeMonitorDialog dialog;
    ASSERT_TRUE(dialog.Start());
    QElapsedTimer waitStarted;
    QTimer::singleShot(400, &dialog, [&] { dialog.findChild<QPushButton*>("FrSUS")->click(); });
    QTimer poll;
    poll.callOnTimeout([&] {
        if (g_monitor.MonitorMode == kMonitorFrontZero && g_monitor.CalibrationCountdown > 1)
            g_monitor.CalibrationCountdown = 1; // the rider was quick
        if (logger.Count("42") == 1 && !waitStarted.isValid()) {
            waitStarted.start();
            QTimer::singleShot(300, &dialog,
                               [&] { dialog.findChild<QPushButton*>("Close")->click(); });
        }
    });
    poll.start(20);
    dialog.exec();
    ASSERT_TRUE(waitStarted.isValid());
    EXPECT_LT(waitStarted.elapsed(), 1500); // not the 3 s of the wait
    EXPECT_EQ(logger.Count("42"), 1);
    EXPECT_TRUE(RecordedMessages().empty());
    EXPECT_EQ(g_loggerLink.LoggerPort, nullptr);
}

} // namespace
} // namespace qvtk
