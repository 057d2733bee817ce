#pragma once
// The Analysis tools dialog (1005): the lap table of File 1 above and of File 2 or File 3
// below. The rows, texts and colours come from analysis/lap_table; this file builds the
// widgets and hands the clicks back. Widgets carry descriptive object names for the tests.
#include <QDialog>
#include <map>
#include <string>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace qvtk {

class LapTableDialog : public QDialog {
    Q_OBJECT
public:
    explicit LapTableDialog(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Target {
        enum Kind { Cell, Heading, Select, LowerTitle } kind;
        int panel, row, cell;
    };
    struct PanelWidgets {
        QLabel* title = nullptr;
        QLabel* headings[13] = {};
        QLabel* select = nullptr;
        QComboBox* combos[6] = {};
        QLabel* cells[8][13] = {};
        QCheckBox* checks[8] = {};
        QScrollBar* bar = nullptr;
        std::vector<int> comboColumns; // the channel column of each combobox entry
    };

    void Build();
    void BuildPanel(int panel, int top);
    void Clickable(QLabel* label, Target target);
    void ConnectToolButton(const std::string& name, QPushButton* button);
    void FillCombos(int panel);
    void ComboChosen(int panel, int j, int index);
    void Refill();
    void RefillPanel(int panel);
    void FitHeadings(int panel);
    void Recompute();
    void Click(const Target& t);
    void Wheel(int panel, int notches);
    void ShowReference();

    PanelWidgets panels_[2];
    std::map<QObject*, Target> targets_;
    QPushButton* sectorButton_ = nullptr;
    QPushButton* averageButton_ = nullptr;
    QPushButton* pageButton_ = nullptr;
    QPushButton* referenceButton_ = nullptr;
    bool filling_ = false; // comboboxes being filled: not a user's choice
};

// Key D and the toolbar's AFM button: runs the dialog modally over the main window and then
// moves the cursor to a clicked value.
void OpenAnalysisTools();

} // namespace qvtk
