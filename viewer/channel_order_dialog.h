#pragma once
// The channel order dialog ("Dialog"): the present channels of a file in column order, moved up
// ("↑") or down ("↓") one place at a time. Widgets carry object names for tests.
#include <QDialog>
#include <vector>

class QComboBox;
class QTreeWidget;

namespace qvtk {

class ChannelOrderDialog : public QDialog {
    Q_OBJECT
public:
    explicit ChannelOrderDialog(QWidget* parent = nullptr);

private:
    void Fill(int selectRow);
    void Move(int direction);

    QComboBox* file_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::vector<int> rows_; // row -> column
};

// Key J: runs the dialog modally over the main window, then redraws the graphs.
void ShowChannelOrder();

} // namespace qvtk
