// The Graph Setting dialog driven through its widgets: typed ranges, switches and colours
// written at once, the only-File-1 colour gate, and the graph synchronisation on closing.
#include "viewer/graph_setting_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "logger/program.h"
#include "data/settings.h"
#include "tests/gui_app.h"
#include "viewer/graph_settings.h"
#include "viewer/view_state.h"

namespace qvtk {
namespace {

// Input as the window system delivers it (QtTest is not linked into the test program).
void KeyClick(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

void Type(QLineEdit* edit, const char* text) {
    edit->selectAll();
    for (const char* c = text; *c; ++c) KeyClick(edit, std::toupper(*c), QString(QChar(*c)));
}

// File 1 columns: 0 Ne, 1 TPS, 2 absent, 3 VB, 4 a second engine speed.
constexpr int kNe = 0, kTps = 1, kVb = 3, kNe2 = 4;

class GraphSetting : public ::testing::Test {
protected:
    void SetUp() override {
        test::GuiApp();
        ResetProgram();
        ResetViewState();
        ResetGraphSettings();
        const struct {
            const char* name;
            ChannelCode code;
        } columns[] = {{"Ne", kCodeNe},
                       {"TPS", kCodeTPS},
                       {"AUX1", kCodeAUX1},
                       {"VB", kCodeVB},
                       {"Ne2", kCodeNe}};
        for (int c = 0; c < 5; ++c) {
            std::strcpy(SlotOf(0).channels[c].name, columns[c].name);
            SlotOf(0).channels[c].code = columns[c].code;
            SlotOf(0).channels[c].kind = 1;
            SlotOf(0).channelFlags[c] = c == 2 ? 0 : kChannelPresent | kChannelShown;
        }
    }
    template <class W = QLineEdit> static W* Find(QWidget& dialog, int id) {
        W* w = dialog.findChild<W*>(QString::number(id));
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    // Types into an edit and leaves it; returns what the edit shows then.
    static std::string Enter(QWidget& dialog, int id, const char* text) {
        Type(Find(dialog, id), text);
        Q_EMIT Find(dialog, id)->editingFinished();
        return Find(dialog, id)->text().toStdString();
    }
    static void Click(QWidget& dialog, int id) {
        if (!dialog.isVisible()) dialog.show(); // laid out, so the click lands on the button
        QAbstractButton* b = Find<QAbstractButton>(dialog, id);
        QPointF at(std::min(b->width() / 2, 8), b->height() / 2); // on a check box's indicator
        QMouseEvent press(QEvent::MouseButtonPress, at, b->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, b->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(b, &press);
        QApplication::sendEvent(b, &release);
    }
};

TEST_F(GraphSetting, RangeEditsStoreThousandthsClampedAndMaxBelowMinWaitsForClose) {
    GraphCodeSettings& g = GraphOf(kCodeTPS);
    g.GraphMin = 12345;
    g.GraphStep = -500;
    GraphSettingDialog dialog(kTps);
    EXPECT_EQ(dialog.windowTitle(), "Graph Setting");
    EXPECT_EQ(Find(dialog, 1185)->text(), "12.35");
    EXPECT_EQ(Find(dialog, 1186)->text(), "100");
    EXPECT_EQ(Find(dialog, 1187)->text(), "-0.50");

    const struct {
        int id;
        const char* typed;
        const char* shown;
        int32_t GraphCodeSettings::*field;
        int32_t stored;
    } entries[] = {
        {1185, "12.5", "12.500", &GraphCodeSettings::GraphMin, 12500},
        {1185, " -7.25 bar", "-7.250", &GraphCodeSettings::GraphMin, -7250},
        {1185, "-250000", "-100000", &GraphCodeSettings::GraphMin, -100000000},
        {1186, "1e9", "100000", &GraphCodeSettings::GraphMax, 100000000},
        {1187, "0", "0.010", &GraphCodeSettings::GraphStep, 10},
        {1187, "250000", "100000", &GraphCodeSettings::GraphStep, 100000000},
        {1187, "rpm", "0.010", &GraphCodeSettings::GraphStep, 10},
        {1185, "12", "12", &GraphCodeSettings::GraphMin, 12000},
        {1186, "5", "5", &GraphCodeSettings::GraphMax, 5000},
    };
    for (const auto& e : entries) {
        EXPECT_EQ(Enter(dialog, e.id, e.typed), e.shown) << e.typed;
        EXPECT_EQ(g.*e.field, e.stored) << e.typed;
    }
    EXPECT_EQ(GraphOf(kCodeNe).GraphMin, 0); // only the column's own code
    Click(dialog, 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(g.GraphMax, 12100);
}

TEST_F(GraphSetting, ChecksRadiosAndSwatchesFollowTheSettings) {
    g_settings.colortype = 1;
    GraphCodeSettings& g = GraphOf(kCodeTPS);
    g.ColorFile2 = 4;
    g.GraphAuto = 0;
    GraphSettingDialog dialog(kTps);
    EXPECT_TRUE(Find<QRadioButton>(dialog, 1276 + 4)->isChecked());
    EXPECT_TRUE(Find<QCheckBox>(dialog, 1130)->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(dialog, 1132)->isChecked());

    for (int id : {1130, 1132, 40001, 40000, 1267 + 3, 1276 + 5, 1285 + 0, 1294 + 7})
        Click(dialog, id);
    std::vector<int32_t> written = {g.GridShown,  g.GraphAuto,  g.GraphClip,  g.PlotType,
                                    g.ColorFile1, g.ColorFile2, g.ColorFile3, g.ColorOnlyFile1};
    EXPECT_EQ(written, (std::vector<int32_t>{0, 1, 0, 1, 3, 5, 0, 7}));
    EXPECT_FALSE(Find<QRadioButton>(dialog, 1276 + 4)->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(dialog, 1267 + 3)->isChecked()); // groups are separate
    EXPECT_EQ(GraphOf(kCodeNe).ColorFile1, 0);

    // Light scheme: the palette colours on white.
    QPalette p = Find<QLabel>(dialog, 1350)->palette();
    EXPECT_EQ(p.color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(p.color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(Find<QLabel>(dialog, 1355)->palette().color(QPalette::WindowText),
              QColor(128, 128, 0));
}

TEST_F(GraphSetting, OnlyFile1ColourNeedsExpertModeAndFollowsItsCheck) {
    auto onlyF1Hidden = [](QWidget& d) {
        bool first = Find<QRadioButton>(d, 1294)->isHidden();
        EXPECT_EQ(Find<QRadioButton>(d, 1302)->isHidden(), first);
        return first;
    };
    g_settings.ExpertMode = 1;
    {
        GraphSettingDialog dialog(kTps);
        EXPECT_TRUE(Find<QCheckBox>(dialog, 1131)->isHidden());
        EXPECT_TRUE(onlyF1Hidden(dialog));
        EXPECT_EQ(g_settings.ExclusiveF1Color, 0);
    }
    g_settings.ExpertMode = 2;
    g_settings.ExclusiveF1Color = 1;
    g_graph.file1Exclusive = true;
    GraphSettingDialog dialog(kTps);
    EXPECT_FALSE(g_graph.file1Exclusive); // the normal File 1 colour is the one edited
    auto* check = Find<QCheckBox>(dialog, 1131);
    EXPECT_EQ(check->text(), "color of  only File1");
    EXPECT_FALSE(check->isHidden());
    EXPECT_TRUE(check->isChecked());
    EXPECT_FALSE(onlyF1Hidden(dialog));
    Click(dialog, 1131);
    EXPECT_EQ(g_settings.ExclusiveF1Color, 0);
    EXPECT_TRUE(onlyF1Hidden(dialog));
    Click(dialog, 1131);
    EXPECT_FALSE(onlyF1Hidden(dialog));
    Click(dialog, 1);
    EXPECT_TRUE(g_graph.file1Exclusive); // File 1 is alone
}

TEST_F(GraphSetting, CloseSynchronisesWithTheChosenChannelAndTheColumnItselfUndoesIt) {
    GraphCodeSettings& tps = GraphOf(kCodeTPS);
    GraphOf(kCodeVB).GraphZero = 250;
    GraphOf(kCodeVB).GraphScale = 2.5f;
    auto closeWith = [](int column, int entry) {
        GraphSettingDialog dialog(column);
        Find<QComboBox>(dialog, 40003)->setCurrentIndex(entry);
        Click(dialog, 1);
    };
    auto entries = [] {
        GraphSettingDialog dialog(kTps);
        auto* combo = Find<QComboBox>(dialog, 40003);
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        return texts.join('|') + " @" + QString::number(combo->currentIndex());
    };
    EXPECT_EQ(entries(), "Ne|- TPS -|VB|Ne2 @1");
    closeWith(kTps, 2);
    EXPECT_EQ(g_graph.GraphOrder[kTps], kVb);
    EXPECT_EQ(tps.GraphZero, 250);
    EXPECT_EQ(tps.GraphScale, 2.5f);
    EXPECT_EQ(tps.GridShown, 0);
    EXPECT_EQ(GraphOf(kCodeVB).GridShown, 1);
    EXPECT_EQ(entries(), "Ne|- TPS -|VB|Ne2 @2");
    closeWith(kTps, 1);
    EXPECT_EQ(g_graph.GraphOrder[kTps], kTps);

    // A channel of the same code already shares the band's settings: nothing is taken.
    closeWith(kNe, 3);
    EXPECT_EQ(g_graph.GraphOrder[kNe], kNe2);
    EXPECT_EQ(GraphOf(kCodeNe).GridShown, 1);
}

TEST_F(GraphSetting, ReleaseAllChAndTheCloseBox) {
    g_graph.GraphOrder[kTps] = kVb;
    g_graph.GraphOrder[40] = 7;
    GraphSettingDialog dialog(kTps);
    auto* combo = Find<QComboBox>(dialog, 40003);
    EXPECT_EQ(combo->currentText(), "VB");
    Click(dialog, 2274);
    for (int c = 0; c < kColumnCount; ++c) EXPECT_EQ(g_graph.GraphOrder[c], c);
    EXPECT_EQ(combo->currentText(), "- TPS -");

    // The close box ignores the combo box, takes a value still being typed, corrects the range.
    combo->setCurrentIndex(2);
    Type(Find(dialog, 1186), "-1");
    dialog.close();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(g_graph.GraphOrder[kTps], kTps);
    EXPECT_EQ(GraphOf(kCodeTPS).GraphZero, 400);
    EXPECT_EQ(GraphOf(kCodeTPS).GridShown, 1);
    EXPECT_EQ(GraphOf(kCodeTPS).GraphMax, 100);
}

TEST_F(GraphSetting, ModalDialogTakesATypedValueAndClosesOnReturn) {
    QTimer typist, guard; // the guard ends the run if Return did not close the dialog
    typist.setSingleShot(true);
    guard.setSingleShot(true);
    QObject::connect(&typist, &QTimer::timeout, [] {
        QWidget* d = QApplication::activeModalWidget();
        ASSERT_NE(d, nullptr);
        Type(Find(*d, 1187), "2.5");
        KeyClick(Find(*d, 1187), Qt::Key_Return);
    });
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* d = QApplication::activeModalWidget()) d->close();
    });
    typist.start(0);
    guard.start(5000);
    OpenGraphSettingDialog(kVb);
    EXPECT_TRUE(guard.isActive());
    EXPECT_EQ(GraphOf(kCodeVB).GraphStep, 2500);
}

} // namespace
} // namespace qvtk
