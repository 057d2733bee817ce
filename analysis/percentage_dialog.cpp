#include "analysis/percentage_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <string>

#include "analysis/percentage.h"
#include "analysis/typed_values.h"
#include "platform/dialog_units.h"

namespace qvtk {

namespace {

QString BoxShown(const std::string& text) {
    QString s = QString::fromLatin1(text.data(), qsizetype(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

BandSettings& Remembered(int channel) {
    return g_percentage.bands[channel];
}

} // namespace

PercentageDialog::PercentageDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("percentage"));
    setWindowTitle(QStringLiteral("percentage"));
    setFixedSize(DialogX(253), DialogY(201));
    for (int f = 0; f < 2; ++f) {
        auto* box = new QPlainTextEdit(this);
        box->setObjectName(QStringLiteral("box%1").arg(f + 1));
        box->setReadOnly(true);
        box->setLineWrapMode(QPlainTextEdit::NoWrap);
        box->setTabStopDistance(64);
        box->setGeometry(DialogX(6 + 82 * f), DialogY(6), DialogX(78), DialogY(188));
        boxes_[f] = box;
    }
    const int x = 172;
    channel_ = new QComboBox(this);
    channel_->setObjectName(QStringLiteral("channel"));
    for (int c = 0; c < kPercentageChannels; ++c)
        channel_->addItem(QString::fromLatin1(PercentageChannelName(c)));
    channel_->setGeometry(DialogX(x), DialogY(6), DialogX(74), DialogY(14));
    auto edit = [&](const char* name, const char* label, int y) {
        auto* l = new QLabel(QString::fromLatin1(label), this);
        l->setGeometry(DialogX(x), DialogY(y), DialogX(24), DialogY(12));
        auto* e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(DialogX(x + 26), DialogY(y), DialogX(48), DialogY(12));
        return e;
    };
    min_ = edit("min", "Min", 26);
    max_ = edit("max", "Max", 42);
    step_ = edit("step", "Step", 58);
    scope_ = new QComboBox(this);
    scope_->setObjectName(QStringLiteral("scope"));
    scope_->addItem(QStringLiteral("All Lap"));
    scope_->addItem(QStringLiteral("Checked Lap Only"));
    scope_->setGeometry(DialogX(x), DialogY(76), DialogX(74), DialogY(14));
    auto* analyze = new QPushButton(QStringLiteral("Analyze"), this);
    analyze->setObjectName(QStringLiteral("analyze"));
    analyze->setAutoDefault(false);
    analyze->setGeometry(DialogX(x), DialogY(150), DialogX(74), DialogY(16));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    close->setGeometry(DialogX(x), DialogY(172), DialogX(74), DialogY(16));

    // Opening: the first channel with its remembered values, all laps.
    g_percentage.channel = shownChannel_ = 0;
    g_percentage.checkedOnly = false;
    ClampBands(0, Remembered(0));
    ShowBands();
    connect(min_, &QLineEdit::editingFinished, this, &PercentageDialog::LeaveMin);
    connect(max_, &QLineEdit::editingFinished, this, &PercentageDialog::LeaveMax);
    connect(step_, &QLineEdit::editingFinished, this, &PercentageDialog::LeaveStep);
    connect(channel_, &QComboBox::currentIndexChanged, this, &PercentageDialog::ChannelChosen);
    connect(scope_, &QComboBox::currentIndexChanged, this,
            [](int index) { g_percentage.checkedOnly = index == 1; });
    connect(analyze, &QPushButton::clicked, this, &PercentageDialog::Analyze);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void PercentageDialog::ShowBands() {
    const BandSettings& b = Remembered(shownChannel_);
    min_->setText(QString::number(b.min));
    max_->setText(QString::number(b.max));
    step_->setText(QString::number(b.step));
}

void PercentageDialog::LeaveMin() {
    BandSettings& b = Remembered(shownChannel_);
    b.min = TypedInteger(min_->text().toStdString(), b.min);
    ClampBands(shownChannel_, b);
    ShowBands();
}

void PercentageDialog::LeaveMax() {
    BandSettings& b = Remembered(shownChannel_);
    b.max = std::max({TypedInteger(max_->text().toStdString(), b.max), b.min, 0});
    ClampBands(shownChannel_, b);
    ShowBands();
}

void PercentageDialog::LeaveStep() {
    BandSettings& b = Remembered(shownChannel_);
    b.step = TypedInteger(step_->text().toStdString(), b.step);
    ClampBands(shownChannel_, b);
    ShowBands();
}

void PercentageDialog::ReadEdits() {
    BandSettings& b = Remembered(shownChannel_);
    b.min = TypedInteger(min_->text().toStdString(), b.min);
    b.max = std::max({TypedInteger(max_->text().toStdString(), b.max), b.min, 0});
    b.step = TypedInteger(step_->text().toStdString(), b.step);
    ClampBands(shownChannel_, b);
}

void PercentageDialog::ChannelChosen(int index) {
    if (index < 0 || index >= kPercentageChannels) return;
    ReadEdits(); // what is typed now belongs to the channel being left
    g_percentage.channel = shownChannel_ = index;
    ClampBands(index, Remembered(index));
    ShowBands();
}

void PercentageDialog::Analyze() {
    ReadEdits();
    ShowBands();
    g_percentage.checkedOnly = scope_->currentIndex() == 1;
    const Distribution d =
        AnalyzeDistribution(shownChannel_, Remembered(shownChannel_), g_percentage.checkedOnly);
    for (int f = 0; f < 2; ++f) {
        texts_[f] = d.text[f];
        boxes_[f]->setPlainText(BoxShown(d.text[f]));
    }
}

void ShowPercentage(QWidget* parent) {
    PercentageDialog dialog(parent);
    dialog.exec();
}

} // namespace qvtk
