#include "data/csv_selection_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <map>

#include "data/csv_import.h"

namespace qvtk {

namespace {

constexpr int kRowHeight = 26, kLabelWidth = 100, kListWidth = 220, kLeft = 10, kTop = 10;
constexpr int kFinishWaitMs = 500; // the full progress bar stays a moment before closing

QString Text(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

class CsvSelectionDialog : public QDialog {
public:
    CsvSelectionDialog(FileSlot slot, Bytes bytes, const CsvLayout& layout)
        : QDialog(QApplication::activeWindow()), slot_(slot), bytes_(bytes), layout_(layout) {
        setObjectName(QStringLiteral("csvSelection"));
        setWindowTitle(QStringLiteral("[CSV] Load data selection"));
        Build();
        Fill(DefaultCsvChoice(layout_));
    }
    ReadOutcome Outcome() const { return outcome_; }

protected:
    void reject() override {
        if (!reading_) QDialog::reject(); // the reader finishes first
    }
    void closeEvent(QCloseEvent* event) override {
        if (reading_)
            event->ignore();
        else
            QDialog::closeEvent(event);
    }

private:
    void Build();
    void Fill(const CsvChoice& choice);
    void ShowLapType();
    void TimeBaseChosen(int index);
    void Ok();

    FileSlot slot_;
    Bytes bytes_;
    const CsvLayout& layout_;
    QComboBox* rows_[kCsvRows] = {};
    QPushButton* lapButton_ = nullptr;
    QCheckBox* resample_ = nullptr;
    QPlainTextEdit* log_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::map<int, CsvTimeCheck> checks_; // time columns looked at, by column
    bool reading_ = false;
    ReadOutcome outcome_{.cancelled = true};
};

void CsvSelectionDialog::Build() {
    const int columns = int(layout_.names.size());
    auto entry = [&](int j) {
        const std::string& unit = layout_.units[size_t(j)];
        return Text(layout_.names[size_t(j)] + (unit.empty() ? "" : "  [" + unit + "]"));
    };
    for (int r = 0; r < kCsvRows; ++r) {
        const int y = kTop + kRowHeight * r;
        auto* label = new QLabel(QString::fromLatin1(kCsvRowLabels[r]), this);
        label->setGeometry(kLeft, y, kLabelWidth, kRowHeight - 4);
        auto* list = new QComboBox(this);
        list->setObjectName(QStringLiteral("row%1").arg(r));
        list->setGeometry(kLeft + kLabelWidth, y, kListWidth, kRowHeight - 4);
        if (r == 0)
            for (const char* choice : kCsvTimeChoiceText)
                list->addItem(QString::fromLatin1(choice));
        for (int j = 0; j < columns; ++j) list->addItem(entry(j));
        if (r > 0) list->addItem(QString::fromLatin1(kCsvNoData));
        // The rows after LAP are not read.
        label->setVisible(r < kCsvShownRows);
        list->setVisible(r < kCsvShownRows);
        rows_[r] = list;
    }
    const int right = kLeft + kLabelWidth + kListWidth + 12;
    lapButton_ = new QPushButton(this);
    lapButton_->setObjectName(QStringLiteral("lapType"));
    lapButton_->setCheckable(true);
    lapButton_->setGeometry(right, kTop + kRowHeight * kCsvLapRow, 160, kRowHeight - 4);
    connect(lapButton_, &QPushButton::clicked, this, [this] { ShowLapType(); });
    resample_ = new QCheckBox(QStringLiteral("Resample on the time column"), this);
    resample_->setObjectName(QStringLiteral("resample"));
    resample_->setGeometry(right, kTop, 260, kRowHeight - 4);
    resample_->setVisible(false);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("log"));
    log_->setReadOnly(true);
    log_->setGeometry(right, kTop + kRowHeight * 2, 260, kRowHeight * 8);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 300);
    progress_->setValue(0);
    progress_->setGeometry(right, kTop + kRowHeight * 10, 260, kRowHeight - 6);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setGeometry(right, kTop + kRowHeight * 11, 120, kRowHeight);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setGeometry(right + 140, kTop + kRowHeight * 11, 120, kRowHeight);
    connect(ok_, &QPushButton::clicked, this, [this] { Ok(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    connect(rows_[0], &QComboBox::currentIndexChanged, this,
            [this](int index) { TimeBaseChosen(index); });
    setFixedSize(right + 270, kTop + kRowHeight * kCsvShownRows + 10);
}

void CsvSelectionDialog::Fill(const CsvChoice& choice) {
    for (int r = 0; r < kCsvRows; ++r) rows_[r]->setCurrentIndex(choice.rows[r]);
    lapButton_->setChecked(choice.lapNumberType);
    ShowLapType();
    TimeBaseChosen(rows_[0]->currentIndex());
}

void CsvSelectionDialog::ShowLapType() {
    lapButton_->setText(lapButton_->isChecked() ? QStringLiteral("LAP Number Type")
                                                : QStringLiteral("LAP Distance Type"));
}

// A time column that steps irregularly is offered for resampling, checked.
void CsvSelectionDialog::TimeBaseChosen(int index) {
    ok_->setEnabled(index >= 0);
    const int column = index - kCsvTimeChoices;
    bool irregular = false;
    if (column >= 0) {
        auto it = checks_.find(column);
        if (it == checks_.end())
            it = checks_.emplace(column, CheckCsvTimeColumn(bytes_, layout_, column)).first;
        irregular = it->second.irregular;
    }
    resample_->setVisible(irregular);
    resample_->setChecked(irregular);
}

void CsvSelectionDialog::Ok() {
    if (rows_[0]->currentIndex() < 0 || reading_) return;
    reading_ = true;
    ok_->setEnabled(false);
    cancel_->setEnabled(false);
    lapButton_->setEnabled(false);
    for (QComboBox* list : rows_) list->setEnabled(false);
    CsvChoice choice;
    for (int r = 0; r < kCsvRows; ++r) choice.rows[r] = rows_[r]->currentIndex();
    choice.lapNumberType = lapButton_->isChecked();
    choice.resample = !resample_->isVisible() || resample_->isChecked();
    RememberCsvChoice(choice, int(layout_.names.size()));
    CsvProgress progress;
    progress.position = [this](int v) { progress_->setValue(v); };
    progress.log = [this](const std::string& line) {
        log_->appendPlainText(Text(line.substr(0, line.find('\r'))));
    };
    progress.pumpMessages = [] { QCoreApplication::processEvents(); };
    outcome_ = ReadCsvFile(slot_, bytes_, layout_, choice, progress);
    if (outcome_.decoded) {
        progress_->setValue(300);
        QEventLoop wait;
        QTimer::singleShot(kFinishWaitMs, &wait, &QEventLoop::quit);
        wait.exec();
    }
    reading_ = false;
    accept();
}

ReadOutcome RunCsvSelection(FileSlot slot, Bytes bytes, const CsvLayout& layout) {
    CsvSelectionDialog dialog(slot, bytes, layout);
    dialog.exec();
    return dialog.Outcome();
}

} // namespace

void InstallCsvSelectionDialog() {
    SetCsvSelection(RunCsvSelection);
}

} // namespace qvtk
