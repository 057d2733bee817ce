// The Analysis tools dialog driven through its widgets: the rows it shows, a clicked value
// that closes it and moves the viewer's cursor, "Select", the column comboboxes, the views,
// the scroll bars and the lower panel's file.
#include "viewer/lap_table_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "analysis/lap_compare.h"
#include "analysis/lap_table.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "viewer/graph_layout.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

constexpr int kNe = 0, kTps = 1, kVb = 2;

void Press(QWidget* w) {
    ASSERT_NE(w, nullptr);
    QPointF at(w->width() / 2, w->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

class LapTableDialogTest : public ProgramTest {
protected:
    void SetUp() override {
        GuiApp();
        ProgramTest::SetUp();
        ResetViewState();
        ResetGraphLayouts();
        for (FileSlot slot = 0; slot < 3; ++slot) {
            Slot& s = MakeRecording(
                slot, 4000, {{kNe, kCodeNe, "Ne"}, {kTps, kCodeTPS, "TPS"}, {kVb, kCodeVB, "VB"}});
            s.channels[kTps].decimals = 1;
            Fill(slot, kNe, 10000);
            Fill(slot, kTps, 1000);
            LapMarkTable& t = s.laps;
            const int32_t marks[] = {0, 500, 1000, 1400, 2000, 2500, 3000, 3500, 3700};
            t.count = 9;
            for (int k = 0; k < 9; ++k)
                t.marks[k] = marks[k] + (k ? slot : 0); // files differ a little
            t.marks[9] = t.marks[10] = t.marks[11] = 4000;
        }
        SlotOf(0).samples[kTps][1200] = 7000; // lap 2 holds File 1's highest TPS
    }
    template <class W = QLabel> static W* Find(QWidget& dialog, const QString& name) {
        return dialog.findChild<W*>(name);
    }
    static QString Cell(QWidget& d, int panel, int row, int cell) {
        return Find(d, QStringLiteral("cell%1_%2_%3").arg(panel).arg(row).arg(cell))->text();
    }
};

TEST_F(LapTableDialogTest, AClickedValueClosesTheDialogAndTheCursorGoesThere) {
    {
        LapTableDialog dialog;
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), "Analysis tools");
        EXPECT_EQ(Find(dialog, "title0")->text(), "File 1");
        EXPECT_EQ(Find(dialog, "title1")->text(), "File2");
        EXPECT_EQ(Cell(dialog, 0, 2, 0), "00'02.00"); // lap 2: 1000 .. 1400
        EXPECT_EQ(Cell(dialog, 0, 2, 4), "    7.0");
        QLabel* best = Find(dialog, "cell0_2_4");
        EXPECT_EQ(best->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        EXPECT_EQ(Find(dialog, "cell0_1_4")->palette().color(QPalette::WindowText),
                  QColor(Qt::black));
        // The best lap, lap 7, is highlighted.
        EXPECT_EQ(Find(dialog, "cell0_7_0")->palette().color(QPalette::Window),
                  QColor(200, 200, 255));
        Press(Find(dialog, "cell0_1_0")); // a lap time: only the highlight moves
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(Find(dialog, "cell0_1_0")->palette().color(QPalette::Window),
                  QColor(200, 200, 255));
    }

    g_view.AfMapView = 1;
    g_view.GraphPositionMode = 1;
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<LapTableDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        Press(dialog->findChild<QLabel*>("cell0_2_4"));
        EXPECT_FALSE(dialog->isVisible());
    });
    OpenAnalysisTools();
    EXPECT_EQ(g_view.ScrollTarget[0], 1200);
    EXPECT_EQ(g_view.ScrollTarget[1], -1);
    EXPECT_EQ(g_view.AfMapView, 0);
    EXPECT_EQ(g_view.GraphPositionMode, 0);

    // Closed without a value: the cursor stays.
    g_view.ScrollTarget[0] = -1;
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        Press(dialog->findChild<QLabel*>("cell0_3_0"));
        dialog->findChild<QPushButton*>("close")->click();
    });
    OpenAnalysisTools();
    EXPECT_EQ(g_view.ScrollTarget[0], -1);
}

TEST_F(LapTableDialogTest, TheReferenceButtonTakesFile1sHighlightedLap) {
    LapTableDialog dialog;
    dialog.show();
    auto* button = Find<QPushButton>(dialog, "reference");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Reference lap: 7"); // the fastest
    Press(Find(dialog, "cell1_1_0"));              // File 2's highlight is not File 1's lap
    Press(Find(dialog, "cell0_2_0"));
    button->click();
    EXPECT_EQ(ReferenceLap(), (LapRef{0, 2}));
    EXPECT_EQ(button->text(), "Reference lap: 2");
}

TEST_F(LapTableDialogTest, SelectCyclesAllOffAllOnAndARowCheckResetsIt) {
    LapTableDialog dialog;
    dialog.show();
    QLabel* select = Find(dialog, "select0");
    EXPECT_EQ(select->text(), "Select");
    auto checked = [&](int row) {
        return Find<QCheckBox>(dialog, QString("check0_%1").arg(row))->isChecked();
    };
    EXPECT_EQ(std::vector<bool>({checked(0), checked(1), checked(7)}),
              std::vector<bool>({false, true, true}));
    Press(select);
    EXPECT_EQ(select->text(), "ALL off");
    EXPECT_FALSE(checked(1));
    EXPECT_EQ(Find(dialog, "cell0_2_4")->palette().color(QPalette::WindowText), QColor(Qt::black));
    Press(select);
    EXPECT_EQ(select->text(), "ALL on");
    EXPECT_TRUE(checked(0) && checked(7));
    Press(select);
    EXPECT_EQ(select->text(), "ALL off");
    Find<QCheckBox>(dialog, "check0_2")->click();
    EXPECT_EQ(select->text(), "Select");
    EXPECT_TRUE(LapStateOf(0).lapChecked[2]);
    EXPECT_EQ(Find(dialog, "cell0_2_4")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(Find(dialog, "select1")->text(), "Select"); // File 2 untouched
}

TEST_F(LapTableDialogTest, ColumnComboboxesAndPagesChooseTheChannels) {
    LapTableDialog dialog;
    dialog.show();
    auto* combo = Find<QComboBox>(dialog, "combo0_1");
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->currentText(), "TPS");
    EXPECT_EQ(Find<QComboBox>(dialog, "combo0_3")->currentText(), "Ne"); // column 3 is absent
    combo->setCurrentIndex(combo->findText("VB"));
    EXPECT_EQ(g_layoutExtras.An_CH[0][1], kVb);
    EXPECT_EQ(g_layoutExtras.An_CH[1][1], kTps);
    EXPECT_EQ(Cell(dialog, 0, 2, 4), "      0");
    Find<QComboBox>(dialog, "combo1_0")->setCurrentIndex(1);
    EXPECT_EQ(g_layoutExtras.An_CH[1][0], kTps);

    auto* page = Find<QPushButton>(dialog, "page");
    page->click();
    EXPECT_EQ(page->text(), "Page 2");
    combo->setCurrentIndex(combo->findText("TPS")); // column 7 of File 1
    EXPECT_EQ(g_layoutExtras.An_CH[0][7], kTps);
    EXPECT_EQ(g_layoutExtras.An_CH[0][1], kVb);
    page->click();
    EXPECT_EQ(combo->currentText(), "VB");

    Find<QPushButton>(dialog, "sector")->click();
    EXPECT_EQ(Find(dialog, "heading0_1")->text(), "Sec1");
    EXPECT_EQ(Find(dialog, "heading1_11")->text(), "Ideal time");
    Find<QPushButton>(dialog, "average")->click();
    EXPECT_FALSE(Find<QPushButton>(dialog, "sector")->isChecked());
    EXPECT_EQ(Find(dialog, "heading0_1")->text() + Find(dialog, "heading0_2")->text(), "avr");
}

TEST_F(LapTableDialogTest, ScrollBarsWheelAndTheLowerFile) {
    LapTableDialog dialog;
    dialog.show();
    auto* bar = Find<QScrollBar>(dialog, "scroll0");
    EXPECT_EQ(bar->maximum(), 3); // 9 marks: at most mark 3 on the first row
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(g_lapTable.panels[0].scroll, 1);
    EXPECT_EQ(Cell(dialog, 0, 0, 0), "00'02.50");
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar->value(), 3);
    EXPECT_EQ(Cell(dialog, 0, 6, 0), "Avr.");
    EXPECT_FALSE(Find<QCheckBox>(dialog, "check0_6")->isEnabled());

    QPointF lower(dialog.width() / 2, dialog.height() * 3 / 4);
    QWheelEvent wheel(lower, dialog.mapToGlobal(lower), {}, {0, -240}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&dialog, &wheel);
    EXPECT_EQ(g_lapTable.panels[1].scroll, 2);
    EXPECT_EQ(g_lapTable.panels[0].scroll, 3);

    Press(Find(dialog, "title1"));
    EXPECT_EQ(Find(dialog, "title1")->text(), "File3");
    EXPECT_EQ(Cell(dialog, 1, 0, 0), "00'02.51"); // File 3's first lap
    g_settings.ExpertMode = 1; // below the expert level the title is not a button
    Press(Find(dialog, "title1"));
    EXPECT_EQ(Find(dialog, "title1")->text(), "File3");
    LapTableDialog easy;
    EXPECT_FALSE(Find<QPushButton>(easy, "page")->isVisibleTo(&easy));
    EXPECT_TRUE(Find<QPushButton>(easy, "simulation")->isVisibleTo(&easy));
}

TEST_F(LapTableDialogTest, OpensAtTheFirstLapAndTheWheelOverAChannelBoxScrollsThePanel) {
    SlotOf(1).cursorPos = 1200 * 100; // the viewer stands in File 2's third lap
    LapTableDialog dialog;
    dialog.show();
    EXPECT_EQ(Cell(dialog, 1, 0, 0), "00'02.50"); // File 2's first lap, 0 .. 501
    auto* combo = Find<QComboBox>(dialog, "combo1_1");
    const QString channel = combo->currentText();
    const int32_t assigned = g_layoutExtras.An_CH[1][1];
    QPointF at(combo->width() / 2, combo->height() / 2);
    QWheelEvent wheel(at, combo->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(combo, &wheel);
    EXPECT_EQ(g_lapTable.panels[1].scroll, 1);
    EXPECT_EQ(combo->currentText(), channel);
    EXPECT_EQ(g_layoutExtras.An_CH[1][1], assigned);
}

TEST_F(LapTableDialogTest, EveryHeadingFitsItsText) {
    LapTableDialog dialog;
    dialog.show();
    Find<QPushButton>(dialog, "sector")->click();
    for (int panel = 0; panel < 2; ++panel) {
        for (int c = 0; c < 13; ++c) {
            QLabel* h = Find(dialog, QStringLiteral("heading%1_%2").arg(panel).arg(c));
            EXPECT_LE(h->fontMetrics().horizontalAdvance(h->text()), h->width())
                << h->text().toStdString();
        }
    }
    EXPECT_EQ(Find(dialog, "heading0_11")->text(), "Ideal time");
    EXPECT_EQ(Find(dialog, "heading0_12")->text(), "Lap  Avr. ");
}

} // namespace
} // namespace qvtk::test
