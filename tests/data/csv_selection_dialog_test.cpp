// The "[CSV] Load data selection" dialog in the open flow: its defaults, the lap type toggle,
// the resampling offer, OK with the progress and log box, and closing without OK.
#include "data/csv_selection_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "analysis/file_open.h"
#include "data/csv_import.h"
#include "tests/gui_app.h"
#include "tests/gui_modal.h"
#include "tests/test_support.h"

namespace qvtk::test {
namespace {

class CsvSelectionDialogTest : public TempProgramDirectory {
protected:
    void SetUp() override {
        GuiApp();
        TempProgramDirectory::SetUp();
        WriteFile("csvlabel.ini", "[Time]\n0=Time\n[Ne]\n0=RPM\n[LAP]\n3=Lap\n2=Lap Number\n");
        LoadCsvLabels(dir_);
        InstallCsvSelectionDialog();
    }
    void TearDown() override {
        SetCsvSelection(nullptr);
        TempProgramDirectory::TearDown();
    }
    FileOpenResult Open(const std::string& text) {
        WriteFile("ride.csv", text);
        return LoadRequestedFile(0, dir_ + "/ride.csv", 15, [](const std::string&) { return 40; });
    }
    template <class W = QComboBox> static W* Find(QDialog* d, const char* name) {
        return d->findChild<W*>(QString::fromLatin1(name));
    }
};

TEST_F(CsvSelectionDialogTest, DefaultsComeFromTheAliasesAndOkLoadsWithProgressAndLog) {
    QString rows[3], lapText, log;
    int progress = 0;
    bool resampleShown = true;
    WhenModal<QDialog>("csvSelection", [&](QDialog* d) {
        EXPECT_EQ(d->windowTitle(), "[CSV] Load data selection");
        rows[0] = Find(d, "row0")->currentText();
        rows[1] = Find(d, "row1")->currentText();
        rows[2] = Find(d, "row2")->currentText();
        resampleShown = Find<QCheckBox>(d, "resample")->isVisible();
        QPushButton* lap = Find<QPushButton>(d, "lapType");
        lapText = lap->text(); // the lower alias 2 names a lap number column
        lap->click();
        EXPECT_EQ(lap->text(), "LAP Distance Type");
        lap->click();
        QTimer::singleShot(100, [&, d] { // while the full bar stays a moment
            log = Find<QPlainTextEdit>(d, "log")->toPlainText();
            progress = Find<QProgressBar>(d, "progress")->value();
        });
        Find<QPushButton>(d, "ok")->click();
    });
    ASSERT_EQ(Open("Time,RPM,Lap,Lap Number\n0.00,1000,5,1\n0.01,1100,5,1\n0.02,1200,0,2\n"),
              kOpenLoaded);
    EXPECT_EQ(rows[0], "Time");
    EXPECT_EQ(rows[1], "RPM");
    EXPECT_EQ(rows[2], " - No data -");
    EXPECT_FALSE(resampleShown);
    EXPECT_EQ(lapText, "LAP Number Type");
    EXPECT_EQ(log, "Detected Timebase 10ms(100Hz)");
    EXPECT_EQ(progress, 300);
    EXPECT_EQ(SlotOf(0).file.fileName, "ride.csv");
    EXPECT_EQ(SlotOf(0).laps.marks[1], 3); // the number column counted 1, 1, 2
}

TEST_F(CsvSelectionDialogTest, AnIrregularTimeColumnIsOfferedForResampling) {
    bool offered = false, checked = false, afterFixed = true;
    WhenModal<QDialog>("csvSelection", [&](QDialog* d) {
        QCheckBox* resample = Find<QCheckBox>(d, "resample");
        offered = resample->isVisible();
        checked = resample->isChecked();
        QComboBox* time = Find(d, "row0");
        const int column = time->currentIndex();
        time->setCurrentIndex(0); // "5ms(200Hz)"
        afterFixed = resample->isVisible();
        time->setCurrentIndex(column);
        resample->setChecked(false); // the column as it is: refused
        Find<QPushButton>(d, "ok")->click();
    });
    // One step of 7 ms among steps of 5 ms, late enough for the time base to refuse it.
    EXPECT_EQ(Open("Time,RPM\n0.000,1\n0.005,1\n0.010,1\n0.015,1\n0.020,1\n0.025,1\n0.030,1\n"
                   "0.037,1\n0.042,1\n0.047,1\n"),
              kOpenRejected);
    EXPECT_TRUE(offered);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(afterFixed);
    EXPECT_TRUE(
        SawMessage("File Error!!",
                   "There was a problem with BaseTime data.\r\nManually setting the BaseTime."));
}

TEST_F(CsvSelectionDialogTest, ClosingWithoutOkLeavesTheSlotAsItWas) {
    Slot& s = MakeRecording(0, 500, {{0, kCodeNe, "Ne"}});
    s.file.fileName = "ride.qvd";
    s.file.labelRect.right = 77;
    bool okWithoutTimeBase = true;
    WhenModal<QDialog>("csvSelection", [&](QDialog* d) {
        Find(d, "row0")->setCurrentIndex(-1);
        okWithoutTimeBase = Find<QPushButton>(d, "ok")->isEnabled();
        Find<QPushButton>(d, "cancel")->click();
    });
    EXPECT_EQ(Open("Time,RPM\n0.000,1\n0.005,2\n"), kOpenCancelled);
    EXPECT_FALSE(okWithoutTimeBase);
    EXPECT_EQ(SlotOf(0).file.fileName, "ride.qvd");
    EXPECT_EQ(SlotOf(0).file.labelRect.right, 77);
    EXPECT_EQ(SlotOf(0).sampleCount, 500);
    EXPECT_EQ(SlotOf(0).file.fileKind, kFileFamily3);
}

// ---- A remembered time column the next file does not have.

TEST_F(CsvSelectionDialogTest, ARememberedTimeColumnBeyondTheNextFileFallsBackToFiveMs) {
    QString row0;
    bool ok = false;
    auto answer = [&] {
        WhenModal<QDialog>("csvSelection", [&](QDialog* d) {
            row0 = Find(d, "row0")->currentText();
            ok = Find<QPushButton>(d, "ok")->isEnabled();
            Find<QPushButton>(d, ok ? "ok" : "cancel")->click();
        });
    };
    // The fifth column is the time column, remembered with OK.
    answer();
    ASSERT_EQ(Open("a,b,c,RPM,Time\n1,2,3,1000,0.00\n1,2,3,1100,0.01\n1,2,3,1200,0.02\n"),
              kOpenLoaded);
    EXPECT_EQ(row0, "Time");
    answer();
    EXPECT_EQ(Open("p,RPM\n1,1000\n2,1100\n3,1200\n"), kOpenLoaded);
    EXPECT_EQ(row0, "5ms(200Hz)");
    EXPECT_TRUE(ok);
}

// ---- Units under the column names.

TEST_F(CsvSelectionDialogTest, AUnitsLineShowsEachUnitBesideItsColumnsName) {
    QString time, rpm;
    WhenModal<QDialog>("csvSelection", [&](QDialog* d) {
        time = Find(d, "row0")->currentText();
        rpm = Find(d, "row1")->currentText();
        Find<QPushButton>(d, "ok")->click();
    });
    ASSERT_EQ(Open("Time,RPM,Note\ns,rpm,\n0.00,1000,1\n0.01,1100,1\n0.02,1200,1\n"), kOpenLoaded);
    EXPECT_EQ(time, "Time  [s]");
    EXPECT_EQ(rpm, "RPM  [rpm]");
    EXPECT_EQ(At(0, 2), 1100000); // the units line is no sample
}

} // namespace
} // namespace qvtk::test
