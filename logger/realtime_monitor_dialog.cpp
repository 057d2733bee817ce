#include "logger/realtime_monitor_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "logger/monitor.h"
#include "platform/wait.h"

namespace qvtk {

namespace {

QLineEdit* ReadOnlyField(const char* name, int width) {
    auto* e = new QLineEdit;
    e->setObjectName(name);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setMinimumWidth(width);
    return e;
}

// One "Value"/"Voltage" column pair with six rows.
QGroupBox* ValuePairs(QLineEdit** fields, int first) {
    auto* box = new QGroupBox;
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel("Value"), 0, 1);
    grid->addWidget(new QLabel("Voltage"), 0, 2);
    for (int row = 0; row < 6; ++row) {
        const int f = first + row;
        grid->addWidget(new QLabel(MonitorFieldName(f)), row + 1, 0);
        fields[f] = ReadOnlyField(MonitorFieldName(f), 90);
        fields[f + kVoltageFieldOffset] =
            ReadOnlyField(MonitorFieldName(f + kVoltageFieldOffset), 70);
        grid->addWidget(fields[f], row + 1, 1);
        grid->addWidget(fields[f + kVoltageFieldOffset], row + 1, 2);
    }
    return box;
}

QGridLayout* Labelled(QGridLayout* grid, QLineEdit** fields, std::initializer_list<int> list) {
    int row = grid->rowCount();
    for (int f : list) {
        grid->addWidget(new QLabel(MonitorFieldName(f)), row, 0);
        fields[f] = ReadOnlyField(MonitorFieldName(f), 140);
        grid->addWidget(fields[f], row++, 1);
    }
    return grid;
}

} // namespace

RealTimeMonitorDialog::RealTimeMonitorDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Real Time Monitor");
    Build();
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &RealTimeMonitorDialog::Tick);
}

RealTimeMonitorDialog::~RealTimeMonitorDialog() {
    CloseMonitor();
}

void RealTimeMonitorDialog::Build() {
    auto* top = new QVBoxLayout(this);
    auto* values = new QHBoxLayout;
    values->addWidget(ValuePairs(fields_, kFieldNe));
    values->addWidget(ValuePairs(fields_, kFieldLaf1));
    top->addLayout(values);

    auto* logger = new QGridLayout;
    Labelled(logger, fields_, {kFieldGearPos, kFieldFinal, kFieldLapMarker});
    top->addLayout(logger);

    auto* info = new QGroupBox("Information");
    auto* infoGrid =
        Labelled(new QGridLayout(info), fields_, {kFieldRtc, kFieldFirmware, kFieldQvdVer});
    // The firmware's own version field exists but is never written.
    auto* qvl = new QLabel("QVL Ver.");
    auto* qvlField = ReadOnlyField("QVL Ver.", 140);
    qvl->hide();
    qvlField->hide();
    infoGrid->addWidget(qvl, infoGrid->rowCount(), 0);
    infoGrid->addWidget(qvlField, infoGrid->rowCount() - 1, 1);
    top->addWidget(info);

    fields_[kFieldStatus] = ReadOnlyField(MonitorFieldName(kFieldStatus), 300);
    top->addWidget(fields_[kFieldStatus]);

    auto* init = new QGroupBox("Initialization");
    auto* initLayout = new QVBoxLayout(init);
    auto* buttons = new QHBoxLayout;
    const char* names[3] = {"Throttle", "FrSUS", "RrSUS"};
    for (int i = 0; i < 3; ++i) {
        calibration_[i] = new QPushButton(names[i]);
        calibration_[i]->setObjectName(names[i]);
        calibration_[i]->setAutoDefault(false);
        buttons->addWidget(calibration_[i]);
        connect(calibration_[i], &QPushButton::clicked, this,
                [this, i] { Press(Button(kThrottle + i)); });
    }
    initLayout->addLayout(buttons);
    progress_ = new QProgressBar;
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    initLayout->addWidget(progress_);
    fields_[kFieldPrompt] = ReadOnlyField(MonitorFieldName(kFieldPrompt), 300);
    initLayout->addWidget(fields_[kFieldPrompt]);
    top->addWidget(init);

    auto* bottom = new QHBoxLayout;
    auto* clock = new QPushButton("ClockADJ");
    clock->setObjectName("ClockADJ");
    clock->setAutoDefault(false);
    connect(clock, &QPushButton::clicked, this, [this] { Press(kClock); });
    auto* close = new QPushButton("Close");
    close->setObjectName("Close");
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    bottom->addWidget(clock);
    bottom->addStretch();
    bottom->addWidget(close);
    top->addLayout(bottom);
}

bool RealTimeMonitorDialog::Start() {
    if (!OpenMonitor()) return false;
    progress_->setRange(0, 100);
    ShowState();
    timer_->start(kMonitorFirstTick);
    return true;
}

void RealTimeMonitorDialog::done(int result) {
    if (ending_) return;
    ending_ = true;
    // A tick waiting in its pauses stops at the next one.
    g_monitor.closeRequested = true;
    EndWaits();
    timer_->stop();
    CloseMonitor();
    QDialog::done(result);
}

void RealTimeMonitorDialog::Tick() {
    if (ending_) return;
    inTick_ = true;
    const MonitorStep step = MonitorTick();
    inTick_ = false;
    if (ending_) return;
    ShowState();
    if (step == MonitorStep::kEnded) {
        done(0);
        return;
    }
    const Button carried = pending_;
    pending_ = kNone;
    if (carried != kNone) Carry(carried);
    if (!ending_) timer_->start(kMonitorTickGap);
}

void RealTimeMonitorDialog::Press(Button b) {
    if (inTick_) {
        pending_ = b; // exchanges stay one at a time
        return;
    }
    Carry(b);
}

void RealTimeMonitorDialog::Carry(Button b) {
    if (b == kClock)
        AdjustLoggerClock(LocalClockSetTime());
    else
        StartCalibration(int(b - kThrottle) + 1);
    ShowState();
}

void RealTimeMonitorDialog::ShowState() {
    const MonitorTexts& shown = g_monitor.shown;
    for (int f = 0; f < kMonitorFieldCount; ++f) {
        if (!fields_[f]) continue;
        const QString text = QString::fromLatin1(shown.text[f].c_str());
        if (fields_[f]->text() != text) fields_[f]->setText(text);
    }
    progress_->setValue(g_monitor.progress);
    for (QPushButton* b : calibration_) b->setEnabled(g_monitor.calibrationButtonsEnabled);
}

void OpenRealTimeMonitor(QWidget* parent) {
    RealTimeMonitorDialog dialog(parent);
    if (dialog.Start()) dialog.exec();
}

} // namespace qvtk
