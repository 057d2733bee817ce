#include "viewer/toolbar.h"

#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QToolButton>
#include <algorithm>
#include <map>

#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/info_panels.h"
#include "viewer/key_commands.h"
#include "viewer/lap_compare_view.h"
#include "viewer/lap_table_dialog.h"
#include "viewer/open_file.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

// The toolbar window; closing it asks the program to quit.
class ToolbarDialog : public QDialog {
public:
    using QDialog::QDialog;

protected:
    void closeEvent(QCloseEvent* event) override {
        g_view.ExitRequest = 1;
        event->ignore();
    }
};

struct ButtonSpec {
    int id;
    const char* label;
    int icon;
    bool checkable;
    const char* tip; // what the button does, for its tooltip
};

// Two columns, in this order.
const ButtonSpec kButtons[] = {
    {kBtnCheck1, "Check1", 1019, true, "File 1 follows moves and scrolling (Z)"},
    {kBtnCheck2, "Check2", 1020, true,
     "File 2 follows moves and scrolling (X); with Shift: File 3"},
    {kBtnOpen1, "Open1", 1021, false, "Open a file into File 1, closing File 2 and File 3"},
    {kBtnOpen2, "Open2", 1022, false, "Open a file into File 2 (2); with Shift: File 3"},
    {kBtnGreset, "Greset", 1023, false, "Align the graphs (Q)"},
    {kBtnClose2, "Close2", 1024, false, "Close File 2 and File 3; with Shift: File 3 only"},
    {kBtnGPM, "GPM", 1025, true, "Graph position mode: move and scale the graphs (C)"},
    {kBtnMoveM, "MoveM", 1026, true, "Normal graph view (Esc)"},
    {kBtnANM, "ANM", 1027, true, "Sub view on/off: machine, rev counter, histograms (E)"},
    {kBtnPlay, "Play", 1028, true, "Replay in real time from the cursor (A)"},
    {kBtnAFM, "AFM", 1029, true, "Analysis tools (D); while the A/F map is shown: leave it"},
    {kBtnSetup, "Setup", 1030, false, "Logger setup (F)"},
    {kBtnDistance, "Dist", 1031, true,
     "Compare laps by distance: curves aligned on File 1's, time slip, where time was lost (U)"},
};

struct Toolbar {
    ToolbarDialog* dialog = nullptr;
    std::map<int, QToolButton*> buttons;
    int shownIconOf1116 = 0;
};
Toolbar g_toolbar;

// Our icons: a small glyph on a coloured tile.
QIcon MakeIcon(int icon) {
    struct Glyph {
        const char* text;
        QColor tile;
    };
    static const std::map<int, Glyph> glyphs = {
        {1019, {"1", QColor(150, 130, 30)}}, {1020, {"2", QColor(30, 110, 150)}},
        {1032, {"3", QColor(150, 50, 110)}}, {1021, {"O1", QColor(70, 90, 60)}},
        {1022, {"O2", QColor(60, 80, 110)}}, {1033, {"O3", QColor(110, 60, 90)}},
        {1023, {"AL", QColor(80, 80, 80)}},  {1024, {"X", QColor(120, 50, 40)}},
        {1025, {"GP", QColor(90, 70, 120)}}, {1026, {"MV", QColor(50, 100, 80)}},
        {1027, {"AN", QColor(100, 90, 50)}}, {1028, {">", QColor(40, 110, 40)}},
        {1029, {"AF", QColor(120, 80, 30)}}, {1030, {"SU", QColor(70, 70, 100)}},
        {1031, {"D", QColor(40, 120, 110)}},
    };
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    auto it = glyphs.find(icon);
    Glyph g = it != glyphs.end() ? it->second : Glyph{"?", QColor(60, 60, 60)};
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(g.tile);
    p.setPen(g.tile.lighter(150));
    p.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 4, 4);
    QFont font("DejaVu Sans");
    font.setPixelSize(strlen(g.text) > 1 ? 10 : 13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, g.text);
    return QIcon(pixmap);
}

void SetIcon(int id, int icon) {
    auto it = g_toolbar.buttons.find(id);
    if (it != g_toolbar.buttons.end()) it->second->setIcon(MakeIcon(icon));
}

void FocusMainWindow() {
    if (QWidget* w = RenderMainWindow()) {
        w->activateWindow();
        w->setFocus();
    }
}

bool ShiftForFile3() {
    return g_view.ShiftHeld && g_settings.ExpertMode >= 2;
}

void OpenFromToolbar(int id) {
    if (id == kBtnOpen1) {
        OpenFileIntoSlot(0, kOpenWithDialog);
        CloseFileFromToolbar(1);
        CloseFileFromToolbar(2);
    } else {
        OpenFileIntoSlot(ShiftForFile3() ? 2 : 1, kOpenWithDialog);
    }
}

} // namespace

void CloseFileFromToolbar(int slot) {
    CloseSlot(slot);
    ResetLapChecks(slot);
    ComputeLapStatistics();
    RefreshSummary();
    ChooseFile1Colors(); // File 1 may be left alone
    RebuildGraphList();
    RequestRedraw(kRedrawFull);
}

void ToolbarProc(int id, bool checked) {
    switch (id) {
    case kBtnCheck1:
        g_view.FileMoveFlag[0] = checked;
        break;
    case kBtnCheck2:
        g_view.FileMoveFlag[ShiftForFile3() ? 2 : 1] = checked;
        break;
    case kBtnOpen1:
    case kBtnOpen2:
        OpenFromToolbar(id);
        break;
    case kBtnGreset:
        ExecuteKey('q');
        break;
    case kBtnClose2:
        if (!g_view.ShiftHeld) CloseFileFromToolbar(1);
        CloseFileFromToolbar(2);
        break;
    case kBtnGPM:
        SetGraphPositionMode(true);
        break;
    case kBtnMoveM:
        ShowGraphView();
        break;
    case kBtnANM:
        SetSubView(checked);
        break;
    case kBtnPlay:
        SetRealTimePlay(checked);
        break;
    case kBtnAFM:
        if (g_view.AfMapView) {
            g_view.AfMapView = 0;
        } else {
            g_view.RealTimePlay = 0;
            OpenAnalysisTools();
        }
        break;
    case kBtnSetup:
        OpenLoggerSetup();
        break;
    case kBtnDistance:
        SetLapComparison(checked);
        break;
    default:
        return;
    }
    RequestRedraw(kRedrawCommand);
    SyncToolbar();
    FocusMainWindow();
}

void SyncToolbar() {
    if (!g_toolbar.dialog) return;
    int file3 = g_view.ToolbarShowsFile3;
    const std::pair<int, bool> checks[] = {
        {kBtnCheck1, g_view.FileMoveFlag[0] != 0},
        {kBtnCheck2, g_view.FileMoveFlag[file3 ? 2 : 1] != 0},
        {kBtnGPM, g_view.GraphPositionMode != 0},
        {kBtnMoveM, !g_view.GraphPositionMode && !g_view.AfMapView},
        {kBtnANM, g_view.SubViewOn != 0},
        {kBtnPlay, g_view.RealTimePlay != 0},
        {kBtnAFM, g_view.AfMapView != 0},
        {kBtnDistance, LapComparisonOn()},
    };
    for (auto [id, on] : checks) {
        QToolButton* b = g_toolbar.buttons[id];
        if (b && b->isChecked() != on) {
            QSignalBlocker block(b);
            b->setChecked(on);
        }
    }
    int icon = file3 ? 1032 : 1020;
    if (icon != g_toolbar.shownIconOf1116) {
        SetIcon(kBtnCheck2, icon);
        SetIcon(kBtnOpen2, file3 ? 1033 : 1022);
        g_toolbar.shownIconOf1116 = icon;
    }
}

bool ToolbarChecked(int id) {
    auto it = g_toolbar.buttons.find(id);
    return it != g_toolbar.buttons.end() && it->second->isChecked();
}

void CreateToolbar(QWidget* owner) {
    DestroyToolbar();
    auto* dialog =
        new ToolbarDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    dialog->setObjectName("toolbar1000");
    dialog->setWindowTitle("QVTK");
    auto* grid = new QGridLayout(dialog);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(1);
    int i = 0;
    for (const ButtonSpec& spec : kButtons) {
        auto* b = new QToolButton(dialog);
        b->setObjectName(spec.label);
        b->setToolTip(spec.tip);
        b->setIcon(MakeIcon(spec.icon));
        b->setIconSize(QSize(24, 24));
        b->setCheckable(spec.checkable);
        b->setFocusPolicy(Qt::NoFocus);
        int id = spec.id;
        QObject::connect(b, &QToolButton::clicked, dialog,
                         [id](bool checked) { ToolbarProc(id, checked); });
        grid->addWidget(b, i / 2, i % 2);
        g_toolbar.buttons[id] = b;
        ++i;
    }
    g_toolbar.dialog = dialog;
    g_toolbar.shownIconOf1116 = 1020;
    SyncToolbar();
    dialog->show();
}

void DestroyToolbar() {
    delete g_toolbar.dialog;
    g_toolbar = Toolbar();
}

QWidget* ToolbarWidget() {
    return g_toolbar.dialog;
}

void RestoreToolbarPlacement(bool besideWindow) {
    QWidget* main = RenderMainWindow();
    QWidget* bar = g_toolbar.dialog;
    if (!bar) return;
    if (main) main->show();
    QScreen* screen = QGuiApplication::screenAt(bar->frameGeometry().center());
    if (!screen && main) screen = main->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect monitor = screen->geometry();
    QRect frame = bar->frameGeometry();
    QPoint topLeft = frame.topLeft();
    if (besideWindow && main) {
        QRect edges = main->isMaximized() ? monitor : main->normalGeometry();
        // Near the lower left, but clear of the value and name columns of three files.
        topLeft =
            QPoint(edges.left() + std::max(256, ValueColumnsRight() + 8), edges.bottom() + 1 - 288);
    }
    QRect placed(topLeft, frame.size());
    if (placed.right() > monitor.right())
        placed.moveLeft(placed.left() - (placed.right() - monitor.right()));
    if (placed.left() < monitor.left()) placed.moveLeft(monitor.left());
    if (placed.bottom() > monitor.bottom())
        placed.moveTop(placed.top() - (placed.bottom() - monitor.bottom()));
    if (placed.top() < monitor.top()) placed.moveTop(monitor.top());
    bar->move(placed.topLeft());
    bar->show();
}

} // namespace qvtk
