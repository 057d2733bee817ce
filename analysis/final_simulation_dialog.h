#pragma once
// The "Final Simulation" dialog: File 1's recorded sprockets and tyre beside simulated ones;
// choosing them sets File 1's engine speed scale. Widgets carry object names for tests.
#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qvtk {

class FinalSimulationDialog : public QDialog {
    Q_OBJECT
public:
    explicit FinalSimulationDialog(QWidget* parent = nullptr);

private:
    void ShowValues();
    void LeaveTyre();
    void Ok();

    QLabel* recordedFront_ = nullptr;
    QLabel* recordedRear_ = nullptr;
    QLabel* recordedRatio_ = nullptr;
    QLabel* simulatedRatio_ = nullptr;
    QLabel* recordedTyre_ = nullptr;
    QComboBox* front_ = nullptr;
    QComboBox* rear_ = nullptr;
    QLineEdit* tyre_ = nullptr;
    QComboBox* output_ = nullptr;
    QComboBox* map_ = nullptr;
    bool filling_ = false;
};

// Runs the dialog modally over `parent`; true when it was closed with OK.
bool ShowFinalSimulation(QWidget* parent);

} // namespace qvtk
