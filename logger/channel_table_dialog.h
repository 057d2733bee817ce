#pragma once
// The "Logging Channell Setting" dialog: the 64 channels of the working copy as a table, 16
// rows at a time under a scroll bar; "..." opens CH Setup for a row's channel. Widgets carry
// object names (the row's field and the row number on screen) for tests.
#include <QDialog>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace qvtk {

constexpr int kChannelRowsShown = 16;

class ChannelTableDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChannelTableDialog(QWidget* parent = nullptr);
    int FirstShown() const { return first_; }

private:
    struct Row {
        QLabel* number;
        QComboBox* mode;
        QLineEdit* name;
        QComboBox* function;
        QLineEdit* unit;
        QComboBox* sampleTime;
        QComboBox* port;
        QLineEdit* canId;
        QLineEdit* bitShift; // hidden
        QLineEdit* mask;
        QComboBox* depth;
        QPushButton* property;
    };
    void BuildRow(int r, QGridLayout* grid);
    void Fill();
    void Overwrite();

    Row rows_[kChannelRowsShown] = {};
    QScrollBar* scroll_ = nullptr;
    int first_ = 0;
    bool filling_ = false;
};

// Opens the dialog over `parent` with a fresh working copy of File 1's table.
void OpenLoggingChannelSetting(QWidget* parent);

} // namespace qvtk
