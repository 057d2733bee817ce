#pragma once
// The "A/F MAP VIEW Setting" dialog: the Y ("TPS CH"), A/F ("LAF CH") and switch ("MAP SW CH")
// channels of the A/F map among File 1's present columns, and the switch threshold. Each
// choice is stored at once. Widgets carry object names for tests.
#include <QDialog>
#include <vector>

class QComboBox;
class QLineEdit;

namespace qvtk {

class AfMapSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit AfMapSettingDialog(QWidget* parent = nullptr);

private:
    void LeaveThreshold();

    QComboBox* y_ = nullptr;
    QComboBox* af_ = nullptr;
    QComboBox* sw_ = nullptr;
    QLineEdit* threshold_ = nullptr;
    std::vector<int> columns_;       // list position -> column of the Y and A/F lists
    std::vector<int> switchColumns_; // the same for the switch list after its "----"
};

// Runs the dialog modally over `parent`.
void ShowAfMapSetting(QWidget* parent);

} // namespace qvtk
