#include "viewer/export_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "analysis/csv_export.h"
#include "render/render_qt.h"
#include "viewer/course_map_window.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

// Dialog units to pixels, as the other dialogs take them.
int Dx(int units) {
    return units * 7 / 4;
}
int Dy(int units) {
    return units * 13 / 8;
}

// The save dialog; an empty path when the user cancels.
std::string AskExportPath(QWidget* parent) {
    QFileDialog dialog(parent, QString(), QString(), QStringLiteral("CSV(*.CSV) (*.CSV)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("CSV"));
    dialog.selectFile(QStringLiteral(".csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

class ExportDialog : public QDialog {
public:
    explicit ExportDialog(QWidget* parent) : QDialog(parent) {
        setObjectName(QStringLiteral("exportSelection"));
        setWindowTitle(QStringLiteral("The selection of items and range"));
        setFixedSize(Dx(136), Dy(126));
        rate_ = new QComboBox(this);
        rate_->setObjectName(QStringLiteral("rate"));
        rate_->setGeometry(Dx(8), Dy(8), Dx(120), Dy(12));
        for (const char* text : kExportRateText) rate_->addItem(QString::fromLatin1(text));
        const char* const texts[4] = {"Selected Lap", "Range Select", "ALL Data", "Cancel"};
        const char* const names[4] = {"selectedLap", "rangeSelect", "allData", "cancel"};
        for (int i = 0; i < 4; ++i) {
            buttons_[i] = new QPushButton(QString::fromLatin1(texts[i]), this);
            buttons_[i]->setObjectName(QString::fromLatin1(names[i]));
            buttons_[i]->setGeometry(Dx(8 + 64 * (i % 2)), Dy(28 + 22 * (i / 2)), Dx(56), Dy(18));
            buttons_[i]->setAutoDefault(false);
        }
        progress_ = new QProgressBar(this);
        progress_->setObjectName(QStringLiteral("progress"));
        progress_->setGeometry(Dx(8), Dy(100), Dx(120), Dy(10));
        connect(buttons_[0], &QPushButton::clicked, this, [this] { Export(kExportSelectedLaps); });
        connect(buttons_[1], &QPushButton::clicked, this, [this] {
            g_view.rangePending = 1;
            g_view.RangeRate = rate_->currentIndex();
            accept();
        });
        connect(buttons_[2], &QPushButton::clicked, this, [this] { Export(kExportAll); });
        connect(buttons_[3], &QPushButton::clicked, this, [this] { reject(); });
        if (g_view.rangePending) {
            // Back from the graphs with a marked range: it is written at the rate chosen
            // before the marking.
            rate_->setCurrentIndex(std::clamp(g_view.RangeRate, 0, kExportRates - 1));
            for (QPushButton* b : buttons_) b->setEnabled(false);
            QTimer::singleShot(0, this, [this] { Export(kExportRange); });
        } else {
            rate_->setCurrentIndex(kExportDefaultRate);
        }
    }

protected:
    void reject() override {
        if (busy_) return;
        g_view.rangePending = 0; // the marking ends with the dialog
        QDialog::reject();
    }
    void closeEvent(QCloseEvent* event) override {
        if (busy_) {
            event->ignore();
            return;
        }
        QDialog::closeEvent(event);
    }

private:
    void Export(ExportMode mode) {
        busy_ = true;
        g_view.rangePending = 0;
        for (QPushButton* b : buttons_) b->setEnabled(false);
        rate_->setEnabled(false);
        ExportRequest request;
        request.mode = mode;
        request.rate = rate_->currentIndex();
        request.rangeA = g_view.RangeEnds[0];
        request.rangeB = g_view.RangeEnds[1];
        ExportProgress progress;
        progress.span = [this](int32_t first, int32_t last) {
            progress_->setRange(first, std::max(first, last));
        };
        progress.position = [this](int32_t sample) { progress_->setValue(sample); };
        progress.pumpMessages = [] { QCoreApplication::processEvents(); };
        ExportCsv(AskExportPath(this), request, progress);
        busy_ = false;
        accept();
    }

    QComboBox* rate_ = nullptr;
    QPushButton* buttons_[4] = {};
    QProgressBar* progress_ = nullptr;
    bool busy_ = false;
};

} // namespace

void ShowExportDialog() {
    ExportDialog dialog(RenderMainWindow());
    dialog.exec();
    RequestRedraw(kRedrawFull);
}

void ConnectCsvOutputButton(QDialog& lapTable, QPushButton& button) {
    QObject::connect(&button, &QPushButton::clicked, &lapTable, [&lapTable] {
        g_view.CsvOutputRequested = 1;
        lapTable.reject();
    });
}

void RunRequestedCsvOutput() {
    if (!g_view.CsvOutputRequested) return;
    g_view.CsvOutputRequested = 0;
    ShowExportDialog();
}

bool RangeMarkClick(const GraphFrame& frame, int pressed) {
    if (!g_view.rangePending || !(pressed & kMouseLeft) || !NormalGraphView()) return false;
    if (g_view.MouseX < GraphAreaLeft() || CourseMapHoldsMouse()) return false;
    g_view.RangeEnds[0] = CursorSample(0);
    g_view.RangeEnds[1] =
        int32_t(std::clamp<int64_t>(SampleAtX(frame, 0, g_view.MouseX), INT32_MIN, INT32_MAX));
    g_view.MouseButtons &= ~kMouseLeft; // the click does not scroll the graphs as well
    ShowExportDialog();
    return true;
}

} // namespace qvtk
