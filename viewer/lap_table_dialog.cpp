#include "viewer/lap_table_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <string>

#include "analysis/final_simulation_dialog.h"
#include "analysis/lap_table.h"
#include "analysis/percentage_dialog.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "viewer/export_dialog.h"
#include "viewer/graph_layout.h"
#include "viewer/lap_compare_view.h"
#include "viewer/search_marks.h"
#include "viewer/tool_launch.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

// Dialog units of the layout to pixels (the dialog font's average character is 7 x 13).
int Dx(int units) {
    return units * 7 / 4;
}
int Dy(int units) {
    return units * 13 / 8;
}

constexpr int kLapTimeWidth = 33, kValueWidth = 28, kRowHeight = 10, kLeft = 4;
constexpr int kCellsTop = 24; // rows below the comboboxes and headings of a panel

const QColor kHighlight(200, 200, 255);
const QColor kBestText(255, 0, 0);
const QColor kSearchRow(255, 225, 160); // a lap that holds a search mark

bool SearchRow(FileSlot slot, const LapTableRow& row) {
    return SearchMarksShown() && row.lap >= 0 && !row.average && SearchMarksLap(slot, row.lap);
}

bool ExpertLevel() {
    return g_settings.ExpertMode >= 2;
}

QString Latin(const std::string& s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

int CellX(int cell) {
    return cell == 0 ? kLeft : kLeft + kLapTimeWidth + kValueWidth * (cell - 1);
}

const TableColumns& Columns() {
    return g_layoutExtras.An_CH;
}

} // namespace

LapTableDialog::LapTableDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("1005"));
    setWindowTitle(QStringLiteral("Analysis tools"));
    setFixedSize(Dx(434), Dy(335));
    OpenLapTable(Columns());
    Build();
    for (int panel = 0; panel < kPanelCount; ++panel) FillCombos(panel);
    Refill();
}

void LapTableDialog::Clickable(QLabel* label, Target target) {
    targets_[label] = target;
    label->installEventFilter(this);
}

void LapTableDialog::BuildPanel(int panel, int top) {
    PanelWidgets& w = panels_[panel];
    const QString p = QString::number(panel);
    w.title = new QLabel(panel == 0 ? QStringLiteral("File 1") : QStringLiteral("File2"), this);
    w.title->setObjectName("title" + p);
    w.title->setGeometry(Dx(kLeft), Dy(top), Dx(kLapTimeWidth), Dy(12));
    if (panel == 1) Clickable(w.title, {Target::LowerTitle, panel, 0, 0});
    for (int j = 0; j < kPageColumns; ++j) {
        auto* combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("combo%1_%2").arg(panel).arg(j));
        combo->setGeometry(Dx(CellX(1 + 2 * j)), Dy(top), Dx(2 * kValueWidth), Dy(12));
        connect(combo, &QComboBox::currentIndexChanged, this,
                [this, panel, j](int index) { ComboChosen(panel, j, index); });
        combo->installEventFilter(this); // its wheel scrolls the panel, as over the rows
        w.combos[j] = combo;
    }
    const int headingTop = top + 13;
    for (int c = 0; c < kRowCells; ++c) {
        auto* h = new QLabel(this);
        h->setObjectName(QStringLiteral("heading%1_%2").arg(panel).arg(c));
        h->setAlignment(Qt::AlignCenter);
        h->setGeometry(Dx(CellX(c)), Dy(headingTop), Dx(c ? kValueWidth : kLapTimeWidth),
                       Dy(kRowHeight));
        Clickable(h, {Target::Heading, panel, 0, c});
        w.headings[c] = h;
    }
    const int selectX = CellX(kRowCells) + 2;
    w.select = new QLabel(this);
    w.select->setObjectName("select" + p);
    w.select->setAlignment(Qt::AlignCenter);
    w.select->setGeometry(Dx(selectX), Dy(headingTop), Dx(26), Dy(kRowHeight));
    Clickable(w.select, {Target::Select, panel, 0, 0});
    for (int r = 0; r < kTableRows; ++r) {
        const int y = top + kCellsTop + kRowHeight * r;
        for (int c = 0; c < kRowCells; ++c) {
            auto* cell = new QLabel(this);
            cell->setObjectName(QStringLiteral("cell%1_%2_%3").arg(panel).arg(r).arg(c));
            cell->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            cell->setAutoFillBackground(true);
            // One pixel short of the pitch: the dialog's background between cells is the grid.
            cell->setGeometry(Dx(CellX(c)), Dy(y), Dx(c ? kValueWidth : kLapTimeWidth) - 1,
                              Dy(kRowHeight) - 1);
            Clickable(cell, {Target::Cell, panel, r, c});
            w.cells[r][c] = cell;
        }
        auto* check = new QCheckBox(this);
        check->setObjectName(QStringLiteral("check%1_%2").arg(panel).arg(r));
        check->setGeometry(Dx(selectX + 9), Dy(y), Dx(12), Dy(kRowHeight));
        connect(check, &QCheckBox::clicked, this, [this, panel, r] {
            ToggleRowCheck(panel, r);
            RefillPanel(panel);
        });
        w.checks[r] = check;
    }
    w.bar = new QScrollBar(Qt::Vertical, this);
    w.bar->setObjectName("scroll" + p);
    w.bar->setGeometry(Dx(selectX + 28), Dy(top + kCellsTop), Dx(10), Dy(kRowHeight * 8));
    w.bar->setPageStep(1);
    w.bar->installEventFilter(this);
    connect(w.bar, &QScrollBar::actionTriggered, this, [this, panel](int action) {
        QScrollBar* bar = panels_[panel].bar;
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            ScrollPanel(panel, TableScroll::LineUp);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            ScrollPanel(panel, TableScroll::LineDown);
            break;
        case QAbstractSlider::SliderPageStepSub:
            ScrollPanel(panel, TableScroll::PageUp);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            ScrollPanel(panel, TableScroll::PageDown);
            break;
        case QAbstractSlider::SliderToMinimum:
            ScrollPanel(panel, TableScroll::Top);
            break;
        case QAbstractSlider::SliderToMaximum:
            ScrollPanel(panel, TableScroll::Bottom);
            break;
        case QAbstractSlider::SliderMove:
            ScrollPanel(panel, TableScroll::Thumb, bar->sliderPosition());
            break;
        default:
            return;
        }
        bar->setSliderPosition(g_lapTable.panels[panel].scroll); // our step, not the bar's
        RefillPanel(panel);
    });
}

void LapTableDialog::Build() {
    BuildPanel(0, 4);
    BuildPanel(1, 116);
    struct ButtonSpec {
        const char* name;
        const char* text;
        bool checkable, expertOnly;
    };
    const ButtonSpec specs[] = {
        {"laf", " LAF  Histogram", false, false},
        {"sector", "Estimation SectorTime", true, false},
        {"simulation", "Simulation", false, false},
        {"distribution", "Distribution analysis", false, true},
        {"csv", "   CSV     Output", false, true},
        {"xy", "X-Y Plot", false, false},
        {"search", "  Search    Value", false, false},
        {"average", "    Min Max     / Avr.", true, false},
        {"page", "Page 1", false, true},
        {"close", "CLOSE", false, false},
        {"reference", "", false, false},
    };
    int i = 0;
    for (const ButtonSpec& b : specs) {
        auto* button = new QPushButton(QString::fromLatin1(b.text), this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setCheckable(b.checkable);
        button->setAutoDefault(false);
        button->setGeometry(Dx(kLeft + 86 * (i % 5)), Dy(232 + 30 * (i / 5)), Dx(84), Dy(26));
        button->setVisible(!b.expertOnly || ExpertLevel());
        ++i;
        const std::string name = b.name;
        if (name == "sector") sectorButton_ = button;
        if (name == "average") averageButton_ = button;
        if (name == "page") pageButton_ = button;
        if (name == "reference") referenceButton_ = button;
        if (name == "close") connect(button, &QPushButton::clicked, this, &QDialog::reject);
        ConnectToolButton(name, button);
        if (name == "csv") ConnectCsvOutputButton(*this, *button);
    }
    auto* keep = new QCheckBox(QStringLiteral("Keep"), this);
    keep->setObjectName(QStringLiteral("keep"));
    keep->setGeometry(Dx(CellX(kRowCells) + 4), Dy(4), Dx(40), Dy(12));
    keep->setChecked(g_lapTable.keepChecks);
    connect(keep, &QCheckBox::clicked, this, [](bool on) { g_lapTable.keepChecks = on; });

    ShowReference();
    sectorButton_->setChecked(false);
    averageButton_->setChecked(g_lapTable.averageView);
    connect(sectorButton_, &QPushButton::clicked, this, [this] {
        sectorButton_->setChecked(true); // it stays down until another view is chosen
        g_lapTable.sectorView = 1;
        Refill();
    });
    connect(averageButton_, &QPushButton::clicked, this, [this](bool on) {
        g_lapTable.sectorView = 0;
        sectorButton_->setChecked(false);
        g_lapTable.averageView = on;
        Recompute();
    });
    connect(pageButton_, &QPushButton::clicked, this, [this] {
        g_lapTable.sectorView = 0;
        sectorButton_->setChecked(false);
        g_lapTable.page ^= 1;
        pageButton_->setText(QStringLiteral("Page %1").arg(g_lapTable.page + 1));
        for (int panel = 0; panel < kPanelCount; ++panel) FillCombos(panel);
        Recompute();
    });
}

void LapTableDialog::ConnectToolButton(const std::string& name, QPushButton* button) {
    if (name == "laf")
        connect(button, &QPushButton::clicked, this,
                [this] { RequestToolAndClose(this, ToolRequest::AfMap); });
    if (name == "xy")
        connect(button, &QPushButton::clicked, this,
                [this] { RequestToolAndClose(this, ToolRequest::XyPlot); });
    if (name == "search")
        connect(button, &QPushButton::clicked, this,
                [this] { RequestToolAndClose(this, ToolRequest::SearchAlert); });
    if (name == "simulation")
        connect(button, &QPushButton::clicked, this, [this] {
            ShowFinalSimulation(this);
            Recompute(); // the engine speed columns follow the new scale
        });
    if (name == "distribution")
        connect(button, &QPushButton::clicked, this, [this] { ShowPercentage(this); });
    if (name == "reference") {
        button->setToolTip(QStringLiteral("The lap compared against (T): File 1's highlighted lap, "
                                          "else the lap at its cursor"));
        connect(button, &QPushButton::clicked, this, [this] {
            const int32_t highlighted = g_lapTable.panels[0].highlightLap;
            if (highlighted != kNoLap && PanelSlot(0) == 0)
                PickReference(highlighted);
            else
                PickReferenceAtCursor(false);
            ShowReference();
        });
    }
}

void LapTableDialog::ShowReference() {
    referenceButton_->setText(QStringLiteral("Reference lap: %1").arg(ReferenceLap().lap));
}

void LapTableDialog::FillCombos(int panel) {
    PanelWidgets& w = panels_[panel];
    const FileSlot slot = PanelSlot(panel);
    const Slot& s = SlotOf(slot);
    filling_ = true;
    w.comboColumns.clear();
    for (int c = 0; c < kColumnCount; ++c)
        if (IsPresent(s, c)) w.comboColumns.push_back(c);
    for (int j = 0; j < kPageColumns; ++j) {
        QComboBox* combo = w.combos[j];
        combo->clear();
        int chosen = -1, first = -1;
        const int32_t assigned = Columns()[slot][g_lapTable.page * kPageColumns + j];
        for (int i = 0; i < int(w.comboColumns.size()); ++i) {
            const int c = w.comboColumns[i];
            combo->addItem(QString::fromLatin1(s.channels[c].name));
            if (c == assigned) chosen = i;
            if (c == 0) first = i;
        }
        combo->setCurrentIndex(chosen >= 0 ? chosen : first);
    }
    filling_ = false;
}

void LapTableDialog::ComboChosen(int panel, int j, int index) {
    const std::vector<int>& columns = panels_[panel].comboColumns;
    if (filling_ || index < 0 || index >= int(columns.size())) return;
    g_layoutExtras.An_CH[PanelSlot(panel)][g_lapTable.page * kPageColumns + j] = columns[index];
    Recompute();
}

void LapTableDialog::Recompute() {
    ComputeLapChannelStats(Columns());
    Refill();
}

void LapTableDialog::Refill() {
    for (int panel = 0; panel < kPanelCount; ++panel) RefillPanel(panel);
}

void LapTableDialog::RefillPanel(int panel) {
    PanelWidgets& w = panels_[panel];
    const FileSlot slot = PanelSlot(panel);
    if (panel == 1) w.title->setText(slot == 2 ? QStringLiteral("File3") : QStringLiteral("File2"));
    std::string headings[kRowCells];
    TableHeadings(headings);
    for (int c = 0; c < kRowCells; ++c) w.headings[c]->setText(Latin(headings[c]));
    FitHeadings(panel);
    w.select->setText(QString::fromLatin1(SelectHeading(panel)));
    const LapTablePanelView view = FillPanel(panel);
    for (int r = 0; r < kTableRows; ++r) {
        const LapTableRow& row = view.rows[r];
        for (int c = 0; c < kRowCells; ++c) {
            QLabel* cell = w.cells[r][c];
            QPalette pal = cell->palette();
            pal.setColor(QPalette::Window, row.highlighted        ? kHighlight
                                           : SearchRow(slot, row) ? kSearchRow
                                                                  : QColor(Qt::white));
            pal.setColor(QPalette::WindowText, row.cells[c].red ? kBestText : QColor(Qt::black));
            cell->setPalette(pal);
            cell->setText(Latin(row.cells[c].text));
        }
        QSignalBlocker block(w.checks[r]);
        w.checks[r]->setChecked(row.checked);
        w.checks[r]->setEnabled(row.checkable);
    }
    QSignalBlocker block(w.bar);
    w.bar->setRange(0, ScrollLimit(slot));
    w.bar->setSingleStep(MarksPerLap(slot));
    w.bar->setValue(g_lapTable.panels[panel].scroll);
}

// A heading wider than its cell ("Ideal time", "Lap  Avr.") takes the room of the empty
// headings beside it, and where that is not enough its font shrinks until the text fits.
void LapTableDialog::FitHeadings(int panel) {
    QLabel* const* h = panels_[panel].headings;
    for (int c = 0; c < kRowCells; ++c) {
        QLabel* label = h[c];
        QRect cell(Dx(CellX(c)), label->y(), Dx(c ? kValueWidth : kLapTimeWidth), label->height());
        label->setFont(font());
        const int need = label->fontMetrics().horizontalAdvance(label->text()) + 2;
        for (int left = c - 1; need > cell.width() && left >= 1 && h[left]->text().isEmpty();
             --left)
            cell.setLeft(Dx(CellX(left)));
        for (int right = c + 1;
             need > cell.width() && right < kRowCells && h[right]->text().isEmpty(); ++right)
            cell.setRight(Dx(CellX(right)) + Dx(kValueWidth) - 1);
        label->setGeometry(cell);
        QFont f = font();
        const bool pixels = f.pointSizeF() <= 0;
        while (label->fontMetrics().horizontalAdvance(label->text()) + 2 > cell.width()) {
            if (pixels ? f.pixelSize() <= 6 : f.pointSizeF() <= 5) break;
            if (pixels)
                f.setPixelSize(f.pixelSize() - 1);
            else
                f.setPointSizeF(f.pointSizeF() - 0.5);
            label->setFont(f);
        }
        if (!label->text().isEmpty()) label->raise();
    }
}

void LapTableDialog::Click(const Target& t) {
    switch (t.kind) {
    case Target::Cell:
        switch (ClickCell(t.panel, t.row, t.cell)) {
        case CellClick::Jump:
            accept();
            return;
        case CellClick::Highlight:
            RefillPanel(t.panel);
            return;
        case CellClick::Nothing:
            return;
        }
        return;
    case Target::Heading:
        ClickHeading(t.panel, t.cell, Columns());
        Refill();
        return;
    case Target::Select:
        ClickSelect(t.panel);
        RefillPanel(t.panel);
        return;
    case Target::LowerTitle:
        if (!ExpertLevel()) return;
        SwitchLowerSlot(Columns());
        FillCombos(1);
        Refill();
        return;
    }
}

void LapTableDialog::Wheel(int panel, int notches) {
    for (int i = 0; i < std::abs(notches); ++i)
        ScrollPanel(panel, notches > 0 ? TableScroll::LineUp : TableScroll::LineDown);
    RefillPanel(panel);
}

bool LapTableDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto it = targets_.find(watched);
        if (it != targets_.end() && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            Click(it->second);
            return true;
        }
    } else if (event->type() == QEvent::Wheel) {
        // The scroll bars move by laps as the rest of the panel does, and the wheel over a
        // column's channel box scrolls the panel too: it never changes the channel.
        for (int panel = 0; panel < kPanelCount; ++panel) {
            const PanelWidgets& w = panels_[panel];
            const bool combo =
                std::find(std::begin(w.combos), std::end(w.combos), watched) != std::end(w.combos);
            if (watched != w.bar && !combo) continue;
            const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
            Wheel(panel, delta / 120 ? delta / 120 : (delta > 0) - (delta < 0));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LapTableDialog::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    const int panel = event->position().y() > height() / 2 ? 1 : 0;
    Wheel(panel, delta / 120 ? delta / 120 : (delta > 0) - (delta < 0));
    event->accept();
}

void OpenAnalysisTools() {
    g_view.AfMapView = 0;
    {
        LapTableDialog dialog(RenderMainWindow());
        dialog.exec();
    }
    if (g_lapTable.jumpRequest) {
        g_lapTable.jumpRequest = false;
        g_view.ScrollTarget[g_lapTable.jumpSlot] = g_lapTable.jumpTarget[g_lapTable.jumpSlot];
    }
    EndGraphPositionMode(); // back in the normal view: "MoveM"
    RequestRedraw(kRedrawFull);
    SyncToolbar();
    RunRequestedTool();
    RunRequestedCsvOutput();
}

} // namespace qvtk
