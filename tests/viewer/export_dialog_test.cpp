// "The selection of items and range" as a user drives it: the whole recording through the save
// dialog, a cancelled save, a range marked in the graphs with a click, and the lap table's
// "   CSV     Output" button.
#include "viewer/export_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "data/settings.h"
#include "render/render_qt.h"
#include "tests/gui_modal.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/input.h"
#include "viewer/lap_table_dialog.h"

namespace qvtk::test {
namespace {

class ExportDialogTest : public ViewerFixture {
protected:
    void SetUp() override {
        LapFixture::SetUp();
        OpenViewer(800, 600);
        g_settings.CourseLayout_on = 0;
        LoadResources();
        Slot& s = MakeRecording(0, 4000, {{0, kCodeNe, "Ne"}});
        for (int32_t i = 0; i < 4000; ++i) s.samples[0][i] = i * 1000;
        SetMarks(0, {1000, 3000});
        s.cursorPos = 1000 * 100;
    }
    std::string Out() const { return dir_ + "/out.csv"; }
    std::string Written() const {
        std::ifstream in(Out(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The next export dialog: choose the rate and press a button; `save` answers the save
    // dialog with the output file (or cancels it).
    void Answer(int rate, const char* button, bool save = true) {
        WhenModal<QDialog>("exportSelection", [=, this](QDialog* d) {
            EXPECT_EQ(d->windowTitle(), "The selection of items and range");
            QComboBox* rates = d->findChild<QComboBox*>("rate");
            EXPECT_EQ(rates->currentIndex(), 1);
            EXPECT_EQ(rates->itemText(0), "1000Hz(1ms)");
            rates->setCurrentIndex(rate);
            AnswerSave(save);
            d->findChild<QPushButton*>(button)->click();
        });
    }
    void AnswerSave(bool save) {
        WhenModal<QFileDialog>("", [=, this](QFileDialog* f) {
            if (!save) return f->reject();
            f->selectFile(QString::fromStdString(Out()));
            static_cast<QDialog*>(f)->accept(); // as the Save button does
        });
    }
    static size_t Lines(const std::string& text) {
        return size_t(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(ExportDialogTest, AllDataIsWrittenAtTheChosenRate) {
    Answer(4, "allData"); // 10 Hz
    ShowExportDialog();
    const std::string text = Written();
    EXPECT_EQ(Lines(text), 1u + 200u); // 4000 samples of 5 ms, a line every 100 ms
    EXPECT_TRUE(text.starts_with("Time,Lap,Ne\r\n0.000,0,0\r\n0.100,0,20\r\n"))
        << text.substr(0, 40);
    EXPECT_TRUE(SawMessage("Saved", "Done."));

    Answer(1, "selectedLap", false);
    ShowExportDialog();
    EXPECT_TRUE(SawMessage("Error !!", "Not Saved !!"));
}

TEST_F(ExportDialogTest, ARangeMarkedInTheGraphsIsWrittenWhenTheClickReopensTheDialog) {
    Answer(2, "rangeSelect"); // 100 Hz, then mark the range
    ShowExportDialog();
    ASSERT_EQ(g_view.rangePending, 1);
    EXPECT_FALSE(std::filesystem::exists(Out()));

    RenderSetMouse(500, 300, 0);
    PollInput();
    const int64_t end = SampleAtX(MakeGraphFrame(), 0, 500);
    ASSERT_GT(end, 1010);
    AnswerSave(true);
    RenderSetMouse(500, 300, kMouseLeft); // the click ends the marking
    PollInput();
    EXPECT_EQ(g_view.rangePending, 0);
    EXPECT_EQ(CursorSample(0), 1000); // the click did not scroll the graphs
    const std::string text = Written();
    // From the baseline's sample (a lap mark: the lap count is 1 at once) to the click's.
    EXPECT_TRUE(text.starts_with("Time,Lap,Ne\r\n0.000,1,1000\r\n0.010,1,1002\r\n"))
        << text.substr(0, 40);
    EXPECT_EQ(Lines(text), 1 + size_t(5 * (end - 1000) / 10 + 1));
}

TEST_F(ExportDialogTest, TheLapTablesCsvOutputOpensTheDialogAfterItCloses) {
    bool tableClosed = false, exportShown = false;
    WhenModal<QDialog>("1005", [&](QDialog* table) {
        QObject::connect(table, &QDialog::finished, [&] { tableClosed = true; });
        WhenModal<QDialog>("exportSelection", [&](QDialog* d) {
            exportShown = tableClosed;
            d->findChild<QPushButton*>("cancel")->click();
        });
        table->findChild<QPushButton*>("csv")->click();
    });
    OpenAnalysisTools();
    EXPECT_TRUE(exportShown);
}

// ---- The 50 Hz rate, and the progress bar while a long export runs.

TEST_F(ExportDialogTest, FiftyHertzWritesEveryFourthSampleTwentyMillisecondsApart) {
    Answer(3, "allData");
    ShowExportDialog();
    const std::string text = Written();
    EXPECT_EQ(Lines(text), 1u + 1000u); // 20 000 steps of 1 ms, the last sample never
    EXPECT_TRUE(text.starts_with("Time,Lap,Ne\r\n0.000,0,0\r\n0.020,0,4\r\n0.040,0,8\r\n"))
        << text.substr(0, 60);
    EXPECT_TRUE(text.ends_with("\r\n19.980,2,3996\r\n")) << text.substr(text.size() - 40);
}

TEST_F(ExportDialogTest, TheProgressBarMovesWhileALongExportRuns) {
    constexpr int32_t kSamples = 2000000; // 10 million lines at 1 ms: many looks at the clock
    Slot& s = MakeRecording(0, kSamples, {{0, kCodeNe, "Ne"}});
    for (int32_t i = 0; i < kSamples; ++i) s.samples[0][i] = i % 10000 * 1000;
    SetMarks(0, {});
    std::vector<int> seen;
    WhenModal<QDialog>("exportSelection", [&](QDialog* d) {
        QProgressBar* bar = d->findChild<QProgressBar*>("progress");
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) { seen.push_back(v); });
        d->findChild<QComboBox*>("rate")->setCurrentIndex(0);
        AnswerSave(true);
        d->findChild<QPushButton*>("allData")->click();
    });
    ShowExportDialog();
    ASSERT_TRUE(SawMessage("Saved", "Done."));
    ASSERT_GE(seen.size(), 3u); // the start, at least one step between, the end
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), kSamples);
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](int v) { return v > 0 && v < kSamples; }));
}

} // namespace
} // namespace qvtk::test
