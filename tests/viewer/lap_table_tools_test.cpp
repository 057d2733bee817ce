// The lap table's tool buttons as a user clicks them: the final simulation and the percentage
// tool over the open table, the A/F map, the X-Y plot and the search alert after it closes;
// the search marks in the table's rows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "analysis/final_simulation_dialog.h"
#include "analysis/lap_table.h"
#include "analysis/percentage.h"
#include "analysis/percentage_dialog.h"
#include "tests/gui_app.h"
#include "tests/test_support.h"
#include "viewer/af_map_view.h"
#include "viewer/graph_layout.h"
#include "viewer/lap_table_dialog.h"
#include "viewer/search_alert_dialog.h"
#include "viewer/search_marks.h"
#include "viewer/view_state.h"

namespace qvtk::test {
namespace {

constexpr int kNe = 0, kTps = 1, kLaf = 6;

// Runs `act` on the modal dialog of type D once it shows, from inside its event loop.
template <class D> void WhenShown(std::function<void(D*)> act, int tries = 50) {
    QTimer::singleShot(10, [act, tries] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            act(d);
        } else if (tries > 0) {
            WhenShown<D>(act, tries - 1);
        } else {
            ADD_FAILURE() << "the dialog did not show";
        }
    });
}

template <class W = QPushButton> W* Find(QWidget* d, const char* name) {
    W* w = d->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class LapTableTools : public ProgramTest {
protected:
    void SetUp() override {
        GuiApp();
        ProgramTest::SetUp();
        ResetViewState();
        ResetGraphLayouts();
        ResetAfMapView();
        ResetSearchMarks();
        for (FileSlot slot = 0; slot < 2; ++slot) {
            Slot& s = MakeRecording(
                slot, 4000,
                {{kNe, kCodeNe, "Ne"}, {kTps, kCodeTPS, "TPS"}, {kLaf, kCodeLAF1, "LAF1"}});
            s.header.sprocketFront = 15;
            s.header.sprocketRear = 43;
            s.header.tireRear = 1950;
            Fill(slot, kNe, 10000000);
            LapMarkTable& t = s.laps;
            const int32_t marks[] = {0, 1000, 1900, 3000, 4000, 4000, 4000}; // lap 1 fastest
            t.count = 4;
            for (int k = 0; k < 7; ++k) t.marks[k] = marks[k];
        }
        SlotOf(0).samples[kTps][2500] = 80000; // only lap 2 of File 1 opens the throttle fully
    }
    static QString Cell(LapTableDialog& d, int row, int cell) {
        return Find<QLabel>(&d, QStringLiteral("cell0_%1_%2").arg(row).arg(cell).toLatin1())
            ->text();
    }
};

TEST_F(LapTableTools, TheSimulationRescalesTheEngineSpeedColumns) {
    LapTableDialog table;
    table.show();
    EXPECT_EQ(Cell(table, 1, 2).trimmed(), "10000"); // lap 1's Ne max
    WhenShown<FinalSimulationDialog>([](FinalSimulationDialog* d) {
        EXPECT_EQ(Find<QLabel>(d, "recordedRatio")->text(), "2.867");
        auto* rear = Find<QComboBox>(d, "rear");
        EXPECT_EQ(rear->currentText(), "43");
        rear->setCurrentIndex(rear->findText("44"));
        Find(d, "ok")->click();
    });
    Find(&table, "simulation")->click();
    EXPECT_TRUE(table.isVisible());
    EXPECT_EQ(Cell(table, 1, 2).trimmed(), "10233"); // 10000 x 44 / 43
}

TEST_F(LapTableTools, TheDistributionOpensOverTheTableAndRemembersEachChannel) {
    LapTableDialog table;
    table.show();
    WhenShown<PercentageDialog>([](PercentageDialog* d) {
        auto* channel = Find<QComboBox>(d, "channel");
        auto* min = Find<QLineEdit>(d, "min");
        EXPECT_EQ(min->text(), "6000");
        channel->setCurrentIndex(1); // Th
        min->setText("-40");
        Q_EMIT min->editingFinished();
        EXPECT_EQ(min->text(), "0");
        Find<QLineEdit>(d, "max")->setText("80");
        channel->setCurrentIndex(0);
        channel->setCurrentIndex(1);
        EXPECT_EQ(Find<QLineEdit>(d, "max")->text(), "80");
        Find(d, "analyze")->click();
        const Distribution expected = AnalyzeDistribution(1, {0, 80, 5}, false);
        EXPECT_EQ(d->BoxText(0), expected.text[0]);
        EXPECT_EQ(d->BoxText(1), expected.text[1]);
        EXPECT_TRUE(d->findChild<QWidget*>("box1")->isVisible());
        Find(d, "close")->click();
    });
    Find(&table, "distribution")->click();
    EXPECT_TRUE(table.isVisible());
}

TEST_F(LapTableTools, LafHistogramAtTheEasyLevelShowsAWorkingMap) {
    g_settings.ExpertMode = 0;
    WhenShown<LapTableDialog>([](LapTableDialog* d) { Find(d, "laf")->click(); });
    OpenAnalysisTools();
    EXPECT_TRUE(g_view.AfMapView);
    EXPECT_EQ(g_settings.AFmap_YCH, kTps);
    EXPECT_EQ(g_settings.AFmap_AFCH, kLaf);
    EXPECT_EQ(g_settings.AFmap_SWCH, 0);
}

TEST_F(LapTableTools, TheSearchAlertMarksLapsAndCancelTurnsItOff) {
    WhenShown<LapTableDialog>([](LapTableDialog* d) { Find(d, "search")->click(); });
    WhenShown<SearchAlertDialog>([](SearchAlertDialog* d) {
        auto* channel = Find<QComboBox>(d, "channel");
        EXPECT_EQ(channel->itemText(1), "1 - TPS");
        channel->setCurrentIndex(1);
        auto* min = Find<QLineEdit>(d, "min");
        min->setText("75.5");
        Q_EMIT min->editingFinished();
        EXPECT_EQ(min->text(), "75.500");
        Find(d, "ok")->click();
    });
    OpenAnalysisTools();
    EXPECT_TRUE(g_searchAlert.on);
    EXPECT_EQ(g_layoutExtras.SAxchn, kTps);
    EXPECT_EQ(g_layoutExtras.SAxmin, 75500);
    ASSERT_EQ(SearchSpansOf(0).size(), 1u);
    EXPECT_EQ(SearchSpansOf(0)[0].from, 2500);
    EXPECT_TRUE(SearchMarksLap(0, 2));
    EXPECT_FALSE(SearchMarksLap(0, 1));
    EXPECT_TRUE(SearchSpansOf(1).empty());
    {
        LapTableDialog table;
        table.show();
        auto background = [&](int row) {
            return Find<QLabel>(&table, QStringLiteral("cell0_%1_1").arg(row).toLatin1())
                ->palette()
                .color(QPalette::Window);
        };
        EXPECT_EQ(background(2), QColor(255, 225, 160));
        EXPECT_EQ(background(3), QColor(Qt::white));
    }
    WhenShown<SearchAlertDialog>([](SearchAlertDialog* d) { Find(d, "cancel")->click(); });
    ShowSearchAlert(nullptr);
    EXPECT_FALSE(g_searchAlert.on);
}

} // namespace
} // namespace qvtk::test
