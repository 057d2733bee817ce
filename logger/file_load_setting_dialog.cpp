#include "logger/file_load_setting_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "analysis/file_open.h"
#include "data/settings.h"

namespace qvtk {

namespace {

QCheckBox* Check(const char* label, int& setting) {
    auto* box = new QCheckBox(label);
    box->setObjectName(label);
    box->setChecked(setting != 0);
    QObject::connect(box, &QCheckBox::toggled, box, [&setting](bool on) { setting = on ? 1 : 0; });
    return box;
}

} // namespace

FileLoadSettingDialog::FileLoadSettingDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("File Load Setting");
    auto* top = new QVBoxLayout(this);
    top->addWidget(Check("Auto Display Item", g_settings.AutoOnOffLoad));
    QCheckBox* copy = Check("VFW copy to VRW", g_settings.VFWCopyVRW);
    copy->setEnabled(false);
    top->addWidget(copy);

    speedSource_ = new QComboBox;
    speedSource_->setObjectName("speed_source");
    speedSource_->addItems({"VFW", "VRW"});
    speedSource_->setCurrentIndex(g_settings.CoursePosSource == 1 ? 1 : 0);
    speedSource_->setVisible(false);
    top->addWidget(speedSource_);

    top->addWidget(Check("Modify file name", g_settings.ModifyFileName));
    auto* prefixRow = new QHBoxLayout;
    prefixRow->addWidget(new QLabel("Prefix"));
    prefix_ = new QLineEdit(QString::fromStdString(g_fileOpen.renamePrefix));
    prefix_->setObjectName("Prefix");
    connect(prefix_, &QLineEdit::editingFinished, this, &FileLoadSettingDialog::TakePrefix);
    prefixRow->addWidget(prefix_);
    top->addLayout(prefixRow);
    top->addWidget(new QLabel("\"filename\"+\"Prefix\"[9'59'000(Fastest-Lap)]"));

    auto* close = new QPushButton("Close");
    close->setObjectName("Close");
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, [this] {
        g_settings.CoursePosSource = speedSource_->currentIndex();
        accept();
    });
    top->addWidget(close, 0, Qt::AlignRight);
}

// A refused prefix leaves the one before in the field; a long one shows as it was cut.
void FileLoadSettingDialog::TakePrefix() {
    SetRenamePrefix(prefix_->text().toStdString());
    const QString taken = QString::fromStdString(g_fileOpen.renamePrefix);
    if (prefix_->text() != taken) prefix_->setText(taken);
}

void OpenFileLoadSetting(QWidget* parent) {
    FileLoadSettingDialog dialog(parent);
    dialog.exec();
}

} // namespace qvtk
