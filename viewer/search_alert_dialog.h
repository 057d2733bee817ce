#pragma once
// The "Sarch Alert" dialog: the channel (File 1's present columns, "%d - %s") and the band
// whose samples the viewer marks. OK turns the marks on, Cancel off. Widgets carry object
// names for tests.
#include <QDialog>
#include <vector>

class QComboBox;
class QLineEdit;

namespace qvtk {

class SearchAlertDialog : public QDialog {
    Q_OBJECT
public:
    explicit SearchAlertDialog(QWidget* parent = nullptr);

private:
    void LeaveEdit(QLineEdit* edit, int32_t& value);

    QComboBox* channel_ = nullptr;
    QLineEdit* min_ = nullptr;
    QLineEdit* max_ = nullptr;
    std::vector<int> columns_;
};

// Runs the dialog modally over `parent`.
void ShowSearchAlert(QWidget* parent);

} // namespace qvtk
