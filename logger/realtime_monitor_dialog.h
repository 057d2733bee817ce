#pragma once
// The "Real Time Monitor" dialog: shows what the monitor's logic (logger/monitor) holds after
// each tick and hands it the buttons. The 50 ms timer is re-armed after each tick's work; a
// button pressed while a tick waits is carried out when the tick is over, and Close during a
// wait stops the tick there. Widgets carry the fields' labels as object names.
#include <QDialog>

#include "logger/monitor_values.h"

class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace qvtk {

class RealTimeMonitorDialog : public QDialog {
    Q_OBJECT
public:
    explicit RealTimeMonitorDialog(QWidget* parent = nullptr);
    ~RealTimeMonitorDialog() override;
    // Opens the link; false (after the message) when no logger was found.
    bool Start();
    void done(int result) override;

private:
    enum Button { kNone, kThrottle, kFrontZero, kRearZero, kClock };
    void Build();
    void Tick();
    void Press(Button b);
    void Carry(Button b);
    void ShowState();

    QLineEdit* fields_[kMonitorFieldCount] = {};
    QPushButton* calibration_[3] = {};
    QProgressBar* progress_ = nullptr;
    QTimer* timer_ = nullptr;
    bool inTick_ = false;
    bool ending_ = false;
    Button pending_ = kNone;
};

// Key P in debug mode and the Setup dialog's "RealTime Monitor" button.
void OpenRealTimeMonitor(QWidget* parent);

} // namespace qvtk
