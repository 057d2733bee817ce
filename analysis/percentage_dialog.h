#pragma once
// The "percentage" dialog of the percentage tool: channel, band edits, lap scope, "Analyze"
// and the two text boxes (File 1 left, File 2 right). Widgets carry object names for tests.
#include <QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace qvtk {

class PercentageDialog : public QDialog {
    Q_OBJECT
public:
    explicit PercentageDialog(QWidget* parent = nullptr);

    // The text of a box as the analysis made it (CR LF line ends).
    const std::string& BoxText(int file) const { return texts_[file]; }

private:
    void ShowBands();
    void ReadEdits();
    void LeaveMin();
    void LeaveMax();
    void LeaveStep();
    void ChannelChosen(int index);
    void Analyze();

    QComboBox* channel_ = nullptr;
    QComboBox* scope_ = nullptr;
    QLineEdit* min_ = nullptr;
    QLineEdit* max_ = nullptr;
    QLineEdit* step_ = nullptr;
    QPlainTextEdit* boxes_[2] = {};
    std::string texts_[2];
    int shownChannel_ = 0;
};

// Runs the dialog modally over `parent`.
void ShowPercentage(QWidget* parent);

} // namespace qvtk
