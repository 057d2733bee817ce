#include "viewer/corrective_tools_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "data/settings.h"
#include "logger/corrective_tools.h"
#include "platform/dialog_button_widget.h"
#include "render/render_qt.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

QPointer<CorrectiveToolsDialog> g_window;

QPushButton* Button(const char* text) {
    return DialogButton(text);
}

} // namespace

CorrectiveToolsDialog::CorrectiveToolsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("corrective tools");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* grid = new QGridLayout(this);
    auto* lapMark = Button("LapMark");
    connect(lapMark, &QPushButton::clicked, this, &CorrectiveToolsDialog::LapMark);
    grid->addWidget(lapMark, 0, 0, 1, 2);

    value_ = new QLineEdit("0");
    value_->setObjectName("value");
    channel_ = new QComboBox;
    channel_->setObjectName("channel");
    channel_->addItems({"TPS", "FSUS", "RSUS"});
    channel_->setCurrentIndex(1);
    auto* adj = Button("Adj");
    connect(adj, &QPushButton::clicked, this, &CorrectiveToolsDialog::Adjust);
    auto* save = Button("Save");
    connect(save, &QPushButton::clicked, this, [] { SaveCorrectedLogFile(); });
    grid->addWidget(value_, 1, 0);
    grid->addWidget(channel_, 1, 1);
    grid->addWidget(adj, 2, 0);
    grid->addWidget(save, 2, 1);
    // Changing the data is for the people who look after the loggers.
    const bool expert = g_settings.RUVU != 0 || DebugMode();
    for (QWidget* w : std::initializer_list<QWidget*>{value_, channel_, adj, save}) {
        w->setVisible(expert);
        w->setEnabled(expert);
    }
    auto* close = Button("Close");
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    grid->addWidget(close, 3, 0, 1, 2);

    if (QWidget* main = RenderMainWindow()) {
        const QRect frame = main->frameGeometry();
        move(frame.right() + 1 + 10, frame.top());
    }
}

void CorrectiveToolsDialog::LapMark() {
    LapMarkAt(CursorSample(0));
    if (QWidget* main = RenderMainWindow()) {
        main->raise();
        main->activateWindow();
    }
    RequestRedraw(kRedrawFull);
}

void CorrectiveToolsDialog::Adjust() {
    const AdjChannel channel = channel_->currentIndex() == 1   ? AdjChannel::kFrontSus
                               : channel_->currentIndex() == 2 ? AdjChannel::kRearSus
                                                               : AdjChannel::kTps;
    const double mm = AdjustStrokes(channel, value_->text().toStdString());
    value_->setText(QString::number(mm));
    RequestRedraw(kRedrawFull);
}

CorrectiveToolsDialog* OpenCorrectiveTools() {
    if (!g_window) {
        g_window = new CorrectiveToolsDialog(RenderMainWindow());
        g_window->show();
    }
    return g_window;
}

} // namespace qvtk
