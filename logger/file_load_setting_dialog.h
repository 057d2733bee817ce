#pragma once
// The "File Load Setting" dialog: what happens when a recording loads (graphs switched by the
// channels present, the front speed copied to the rear, the wheel that measures the laps) and
// the automatic renaming after the fastest lap with its prefix. Widgets carry their labels as
// object names.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace qvtk {

class FileLoadSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit FileLoadSettingDialog(QWidget* parent = nullptr);

private:
    void TakePrefix();

    QComboBox* speedSource_ = nullptr;
    QLineEdit* prefix_ = nullptr;
};

// The Setup dialog's "Extend" button and the CAN Logger Setting dialog's "File Open Setting".
void OpenFileLoadSetting(QWidget* parent);

} // namespace qvtk
