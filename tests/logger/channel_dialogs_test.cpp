// The "Logging Channell Setting" and "CH Setup" dialogs as a user works them on a simulated
// CAN logger ride: rows edited and written into the recording, the CAN fields of a locked
// channel, the bit grid and "Set", the lock's question, the checks of OK and the correction.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "logger/ch_setup_dialog.h"
#include "logger/channel_edit.h"
#include "logger/channel_functions.h"
#include "logger/channel_table_dialog.h"
#include "tests/logger/can_fixture.h"

namespace qvtk {
namespace {

class ChannelDialogsTest : public test::CanLoggerTest {
protected:
    void SetUp() override {
        CanLoggerTest::SetUp();
        path_ = OpenSimulatedRide();
        FillChannelFunctionTable();
        BeginChannelEditing();
    }
    void TearDown() override {
        SetLockQuestionForTesting(nullptr);
        CanLoggerTest::TearDown();
    }
    template <typename W> static W* Find(QDialog& d, const QString& name) {
        W* w = d.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    static void Type(QDialog& d, const QString& name, const QString& text) {
        QLineEdit* e = Find<QLineEdit>(d, name);
        e->setText(text);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(e, &enter);
    }
    static void Choose(QDialog& d, const QString& name, const QString& entry) {
        QComboBox* c = Find<QComboBox>(d, name);
        const int i = c->findText(entry);
        ASSERT_GE(i, 0) << entry.toStdString();
        c->setCurrentIndex(i);
        Q_EMIT c->activated(i);
    }
    std::string path_;
};

TEST_F(ChannelDialogsTest, TheTableEditsRowsAndOverwritesTheRecording) {
    ChannelTableDialog d;
    Choose(d, "mode_2", "Disable");
    Type(d, "name_4", "REARWHEEL");
    EXPECT_EQ(Find<QLineEdit>(d, "name_4")->text(), "REARWHE");
    Choose(d, "function_3", "Sys V"); // refused: stays on VFW
    EXPECT_EQ(Find<QComboBox>(d, "function_3")->currentText(), "VFW");
    Type(d, "can_id_9", "3FFFFFFF");
    EXPECT_EQ(Find<QLineEdit>(d, "can_id_9")->text(), "1FFFFFFF");
    Find<QScrollBar>(d, "scroll")->setValue(16); // rows 16-31: the locked coolant channel
    EXPECT_EQ(Find<QLineEdit>(d, "can_id_2")->text(), "----");
    EXPECT_FALSE(Find<QLineEdit>(d, "mask_2")->isEnabled());
    EXPECT_EQ(g_channelSettings.slots[0][2].mode, kModeCan); // nothing committed yet

    Find<QPushButton>(d, "overwrite")->click();
    EXPECT_TRUE(test::SawMessage("Save", "File saved !"));
    EXPECT_EQ(SlotOf(0).file.filePath, path_); // loaded again from the rewritten file
    EXPECT_FALSE(IsPresent(SlotOf(0), 2));
    EXPECT_EQ(std::string(SlotOf(0).channels[4].name), "REARWHE");
    EXPECT_EQ(SlotOf(0).channels[9].canId, 0x1FFFFFFFu);
    EXPECT_GT(SlotOf(0).sampleCount, 1000);
}

TEST_F(ChannelDialogsTest, ChSetupPlacesTheValueInTheFrameAndLocksOnlyOnOk) {
    g_workingChannels[9].bitDepth = 2; // BRAKE in 16(HL)
    ChSetupDialog d(9);
    Find<QPushButton>(d, "grid_1_3")->click();
    EXPECT_EQ(Find<QLineEdit>(d, "bit_shift")->text(), "51");
    Type(d, "start_byte", "9");
    Type(d, "end_byte", "-2");
    Find<QPushButton>(d, "set")->click();
    EXPECT_EQ(std::tuple(Find<QLineEdit>(d, "start_byte")->text(),
                         Find<QLineEdit>(d, "end_byte")->text(), d.Record().dataMask),
              std::tuple(QString("7"), QString("0"), uint16_t(0)));

    SetLockQuestionForTesting([](QWidget*) { return false; });
    Find<QCheckBox>(d, "lock")->click();
    EXPECT_FALSE(Find<QCheckBox>(d, "lock")->isChecked());
    EXPECT_EQ(Find<QLineEdit>(d, "can_id")->text(), "0x130");
    SetLockQuestionForTesting([](QWidget*) { return true; });
    Find<QCheckBox>(d, "lock")->click();
    EXPECT_EQ(std::tuple(Find<QLineEdit>(d, "can_id")->text(), Find<QLineEdit>(d, "mask")->text(),
                         Find<QCheckBox>(d, "lock")->isEnabled(),
                         Find<QPushButton>(d, "set")->isEnabled()),
              std::tuple(QString("----"), QString("----"), false, false));

    // GPS mode needs a GPS function: refused, the dialog stays, the copy unchanged.
    Choose(d, "mode", "GPS");
    Find<QPushButton>(d, "ok")->click();
    EXPECT_TRUE(test::SawMessage("info", "Only GPS function can be set in GPS mode"));
    EXPECT_EQ(d.result(), 0);
    EXPECT_EQ(g_workingChannels[9].lock, 0);
    Choose(d, "mode", "CAN");
    Find<QPushButton>(d, "ok")->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(std::tuple(g_workingChannels[9].lock, g_workingChannels[9].bitShift),
              std::tuple(1, 56));
}

TEST_F(ChannelDialogsTest, ZeroOffsetAndTheCorrectionWrittenIntoTheRecording) {
    SlotOf(0).cursorPos = 100 * 3000;
    const int32_t reading = SampleAt(0, 6, 3000); // RrSUS
    ChSetupDialog d(6);
    QPushButton* zero = Find<QPushButton>(d, "zero_offset");
    EXPECT_FALSE(zero->isEnabled()); // a table: b means nothing there
    Choose(d, "conversion", "Y=a1*X+b");
    Type(d, "a1", "1");
    ASSERT_TRUE(zero->isEnabled());
    zero->click();
    EXPECT_FALSE(zero->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(d, "b")->text().toStdString(), ConstantText(-reading));
    Find<QPushButton>(d, "overwrite_correction")->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(test::SawMessage("Save", "File saved !"));
    // The recording now converts RrSUS as raw x 1 - the reading.
    EXPECT_EQ(std::tuple(SlotOf(0).channels[6].conversion, SlotOf(0).channels[6].calOffset),
              std::tuple(2, -reading));

    ClearRecordedMessages();
    ChSetupDialog gps(7);
    Find<QPushButton>(gps, "overwrite_correction")->click();
    EXPECT_TRUE(test::SawMessage("info", "GPS channel can not be changed"));
    EXPECT_EQ(gps.result(), 0);
}

} // namespace
} // namespace qvtk
