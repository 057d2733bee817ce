#include "analysis/af_map_setting_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cstdio>

#include "analysis/channel_list.h"
#include "analysis/typed_values.h"
#include "data/settings.h"
#include "platform/dialog_units.h"

namespace qvtk {

namespace {

constexpr double kThresholdLimit = 100000;

QComboBox* List(QWidget* parent, const char* name, const char* label, int y) {
    auto* l = new QLabel(QString::fromLatin1(label), parent);
    l->setGeometry(DialogX(8), DialogY(y), DialogX(60), DialogY(10));
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(DialogX(8), DialogY(y + 11), DialogX(116), DialogY(14));
    return combo;
}

QString ThresholdText(float threshold) {
    char text[48];
    std::snprintf(text, sizeof text, "%0.2f", double(threshold));
    return QString::fromLatin1(text);
}

} // namespace

AfMapSettingDialog::AfMapSettingDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("afMapSetting"));
    setWindowTitle(QStringLiteral("A/F MAP VIEW Setting"));
    setFixedSize(DialogX(132), DialogY(158));
    y_ = List(this, "tpsChannel", "TPS CH", 6);
    af_ = List(this, "lafChannel", "LAF CH", 36);
    sw_ = List(this, "switchChannel", "MAP SW CH", 66);
    auto* l = new QLabel(QStringLiteral("Threshold"), this);
    l->setGeometry(DialogX(8), DialogY(98), DialogX(50), DialogY(10));
    threshold_ = new QLineEdit(this);
    threshold_->setObjectName(QStringLiteral("threshold"));
    threshold_->setGeometry(DialogX(60), DialogY(96), DialogX(64), DialogY(12));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setAutoDefault(false);
    ok->setGeometry(DialogX(36), DialogY(132), DialogX(60), DialogY(16));

    // List positions and stored columns meet through these tables, so every choice stores the
    // column it shows. Column 0 is not offered as the switch: a stored 0 means "no switch".
    columns_ = PresentColumns(0);
    const Slot& first = SlotOf(0);
    sw_->addItem(QStringLiteral("----"));
    for (int c : columns_) {
        const QString name = QString::fromLatin1(first.channels[c].name);
        y_->addItem(name);
        af_->addItem(name);
        if (c != 0) {
            switchColumns_.push_back(c);
            sw_->addItem(name);
        }
    }
    y_->setCurrentIndex(ListPositionOf(columns_, g_settings.AFmap_YCH));
    af_->setCurrentIndex(ListPositionOf(columns_, g_settings.AFmap_AFCH));
    const int sw = ListPositionOf(switchColumns_, g_settings.AFmap_SWCH);
    sw_->setCurrentIndex(g_settings.AFmap_SWCH == 0 ? 0 : (sw >= 0 ? sw + 1 : -1));
    threshold_->setText(ThresholdText(g_settings.AFmap_SWTHS));

    connect(y_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i < int(columns_.size())) g_settings.AFmap_YCH = columns_[size_t(i)];
    });
    connect(af_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i < int(columns_.size())) g_settings.AFmap_AFCH = columns_[size_t(i)];
    });
    connect(sw_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i == 0) g_settings.AFmap_SWCH = 0;
        if (i > 0 && i <= int(switchColumns_.size()))
            g_settings.AFmap_SWCH = switchColumns_[size_t(i - 1)];
    });
    connect(threshold_, &QLineEdit::editingFinished, this, &AfMapSettingDialog::LeaveThreshold);
    connect(ok, &QPushButton::clicked, this, [this] {
        LeaveThreshold();
        accept();
    });
}

void AfMapSettingDialog::LeaveThreshold() {
    const double typed = TypedDecimal(threshold_->text().toStdString(), g_settings.AFmap_SWTHS);
    g_settings.AFmap_SWTHS = float(std::clamp(typed, -kThresholdLimit, kThresholdLimit));
    threshold_->setText(ThresholdText(g_settings.AFmap_SWTHS));
}

void ShowAfMapSetting(QWidget* parent) {
    AfMapSettingDialog dialog(parent);
    dialog.exec();
}

} // namespace qvtk
