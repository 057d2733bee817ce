#include "viewer/search_alert_dialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "analysis/channel_list.h"
#include "analysis/search_alert.h"
#include "analysis/typed_values.h"
#include "platform/dialog_units.h"
#include "viewer/graph_layout.h"
#include "viewer/search_marks.h"
#include "viewer/view_state.h"

namespace qvtk {

SearchAlertDialog::SearchAlertDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("searchAlert"));
    setWindowTitle(QStringLiteral("Sarch Alert"));
    setFixedSize(DialogX(117), DialogY(151));
    LayoutExtras& e = g_layoutExtras;
    channel_ = new QComboBox(this);
    channel_->setObjectName(QStringLiteral("channel"));
    channel_->setGeometry(DialogX(8), DialogY(8), DialogX(100), DialogY(14));
    columns_ = PresentColumns(0);
    for (int c : columns_)
        channel_->addItem(
            QStringLiteral("%1 - %2").arg(c).arg(QString::fromLatin1(SlotOf(0).channels[c].name)));
    channel_->setCurrentIndex(ListPositionOf(columns_, e.SAxchn));
    auto edit = [this](const char* name, const char* label, int y, int32_t value) {
        auto* l = new QLabel(QString::fromLatin1(label), this);
        l->setGeometry(DialogX(8), DialogY(y), DialogX(30), DialogY(12));
        auto* ed = new QLineEdit(QString::fromStdString(ThousandthsText(value)), this);
        ed->setObjectName(QString::fromLatin1(name));
        ed->setGeometry(DialogX(40), DialogY(y), DialogX(68), DialogY(12));
        return ed;
    };
    min_ = edit("min", "Min", 40, e.SAxmin);
    max_ = edit("max", "Max", 60, e.SAxmax);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setAutoDefault(false);
    ok->setGeometry(DialogX(8), DialogY(128), DialogX(48), DialogY(16));
    auto* cancel = new QPushButton(QString::fromUtf8("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    cancel->setGeometry(DialogX(60), DialogY(128), DialogX(48), DialogY(16));

    connect(channel_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i >= 0 && i < int(columns_.size())) g_layoutExtras.SAxchn = columns_[size_t(i)];
    });
    connect(min_, &QLineEdit::editingFinished, this,
            [this] { LeaveEdit(min_, g_layoutExtras.SAxmin); });
    connect(max_, &QLineEdit::editingFinished, this,
            [this] { LeaveEdit(max_, g_layoutExtras.SAxmax); });
    connect(ok, &QPushButton::clicked, this, [this] {
        LeaveEdit(min_, g_layoutExtras.SAxmin);
        LeaveEdit(max_, g_layoutExtras.SAxmax);
        g_searchAlert.on = true;
        g_view.SearchValueOn = 1; // the marks show; R hides them again
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        g_searchAlert.on = false;
        reject();
    });
}

void SearchAlertDialog::LeaveEdit(QLineEdit* edit, int32_t& value) {
    value = TypedThousandths(edit->text().toStdString(), value, kSearchValueLimit);
    edit->setText(QString::fromStdString(ThousandthsText(value)));
}

void ShowSearchAlert(QWidget* parent) {
    SearchAlertDialog dialog(parent);
    dialog.exec();
    RequestRedraw(kRedrawFull);
}

} // namespace qvtk
