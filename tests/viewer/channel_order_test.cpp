// The channel order dialog: a move takes the channel's data, description, flags, range and
// automatic display along, rebuilds File 1's index by code, and never moves column 0.
#include "viewer/channel_order_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "analysis/channel_order.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "viewer/frame.h"
#include "viewer/graph_settings.h"
#include "viewer/key_commands.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

class ChannelOrderTest : public ProgramTest {
protected:
    void SetUp() override {
        GuiApp();
        ProgramTest::SetUp();
        ResetViewState();
        ResetGraphSettings();
        Slot& s = MakeRecording(0, 10,
                                {{0, kCodeNe, "Ne"}, {2, kCodeTPS, "TPS"}, {5, kCodeLAF1, "LAF1"}});
        Fill(0, 2, 222);
        Fill(0, 5, 555);
        s.range.max[2] = 2000, s.range.max[5] = 5000;
        s.autoDisplay[2] = 1, s.autoDisplay[5] = 0;
        BuildChannelIndexByCode();
        g_graph.GraphVisible[0][5] = 0;
    }
    static QStringList Rows(QTreeWidget* list, int column) {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(column);
        return out;
    }
};

TEST_F(ChannelOrderTest, AMoveTakesTheChannelAlongAndKeepsColumnZero) {
    ChannelOrderDialog d;
    auto* list = d.findChild<QTreeWidget*>("list");
    EXPECT_EQ(d.findChild<QComboBox*>("file")->currentText(), "File1"); // the highest loaded
    EXPECT_EQ(Rows(list, 0), (QStringList{"[ Ne ]", "[ TPS ]", "[ LAF1 ]"}));
    list->setCurrentItem(list->topLevelItem(1));
    d.findChild<QPushButton*>("up")->click(); // the first movable row: nothing moves
    list->setCurrentItem(list->topLevelItem(0));
    d.findChild<QPushButton*>("down")->click();
    EXPECT_EQ(Rows(list, 1), (QStringList{"[00][ Ne ]", "[02][ TPS ]", "[05][ LAF1 ]"}));
    list->setCurrentItem(list->topLevelItem(2));
    d.findChild<QPushButton*>("up")->click();
    EXPECT_EQ(Rows(list, 1), (QStringList{"[00][ Ne ]", "[02][ LAF1 ]", "[05][ TPS ]"}));
    EXPECT_EQ(list->indexOfTopLevelItem(list->currentItem()), 1); // the moved row stays chosen
    const Slot& s = SlotOf(0);
    EXPECT_EQ(s.samples[2][3], 555);
    EXPECT_EQ(s.channels[2].code, kCodeLAF1);
    EXPECT_EQ(s.range.max[2], 5000);
    EXPECT_EQ(s.autoDisplay[5], 1);
    EXPECT_EQ(g_session.channelIndexByCode[kCodeTPS], 5);
    EXPECT_EQ(g_graph.GraphVisible[0][2], 0); // the viewer's choice follows the channel
    d.findChild<QPushButton*>("down")->click();
    d.findChild<QPushButton*>("down")->click(); // already last
    EXPECT_EQ(Rows(list, 0), (QStringList{"[ Ne ]", "[ TPS ]", "[ LAF1 ]"}));
}

TEST_F(ChannelOrderTest, KeyJOpensItAndTheKeyInstructionsSaySo) {
    bool shown = false;
    QTimer::singleShot(10, [&] {
        auto* d = qobject_cast<ChannelOrderDialog*>(QApplication::activeModalWidget());
        shown = d != nullptr;
        if (d) d->reject();
    });
    ExecuteKey('j');
    EXPECT_TRUE(shown);
    int listed = 0;
    for (int i = 0; i < kKeyHelpLineCount; ++i)
        listed += std::string(kKeyHelpLines[i].text) == "[J]             - Channel Order";
    EXPECT_EQ(listed, 1);
}

} // namespace
} // namespace qvtk::test
