#include "viewer/channel_order_dialog.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "analysis/channel_order.h"
#include "platform/dialog_units.h"
#include "render/render_qt.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

FileSlot ChosenSlot(const QComboBox* file) {
    return std::clamp(file->currentIndex(), 0, kSlotCount - 1);
}

// The viewer's own per-column choices of a file follow its channels.
void FollowInViewer(FileSlot slot, int a, int b) {
    std::swap(g_graph.GraphVisible[slot][a], g_graph.GraphVisible[slot][b]);
    int& colour = g_view.CourseColorChannel[slot];
    if (colour == a)
        colour = b;
    else if (colour == b)
        colour = a;
}

} // namespace

ChannelOrderDialog::ChannelOrderDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("channelOrder"));
    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize(DialogX(239), DialogY(217));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("list"));
    list_->setRootIsDecorated(false);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("File1"), QStringLiteral("File2")});
    list_->header()->resizeSection(0, 150);
    list_->header()->resizeSection(1, 90);
    list_->setGeometry(DialogX(6), DialogY(6), DialogX(170), DialogY(204));
    file_ = new QComboBox(this);
    file_->setObjectName(QStringLiteral("file"));
    for (int s = 0; s < kSlotCount; ++s) file_->addItem(QStringLiteral("File%1").arg(s + 1));
    file_->setGeometry(DialogX(182), DialogY(6), DialogX(50), DialogY(14));
    auto* up = new QPushButton(QString::fromUtf8("↑"), this);
    up->setObjectName(QStringLiteral("up"));
    up->setAutoDefault(false);
    up->setGeometry(DialogX(182), DialogY(40), DialogX(50), DialogY(16));
    auto* down = new QPushButton(QString::fromUtf8("↓"), this);
    down->setObjectName(QStringLiteral("down"));
    down->setAutoDefault(false);
    down->setGeometry(DialogX(182), DialogY(60), DialogX(50), DialogY(16));
    // The highest file loaded.
    int highest = 0;
    for (int s = 0; s < kSlotCount; ++s)
        if (SlotOf(s).file.fileKind != kFileNone) highest = s;
    file_->setCurrentIndex(highest);
    Fill(0);
    connect(file_, &QComboBox::currentIndexChanged, this, [this] { Fill(0); });
    connect(up, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(down, &QPushButton::clicked, this, [this] { Move(+1); });
}

void ChannelOrderDialog::Fill(int selectRow) {
    const FileSlot slot = ChosenSlot(file_);
    rows_ = ChannelOrderRows(slot);
    list_->clear();
    for (int c : rows_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(ChannelOrderName(slot, c)));
        item->setText(1, QString::fromStdString(ChannelOrderNumbered(slot, c)));
    }
    if (selectRow >= 0 && selectRow < int(rows_.size())) {
        QTreeWidgetItem* item = list_->topLevelItem(selectRow);
        list_->setCurrentItem(item);
        list_->scrollToItem(item);
    }
}

void ChannelOrderDialog::Move(int direction) {
    QTreeWidgetItem* current = list_->currentItem();
    if (!current) return;
    const FileSlot slot = ChosenSlot(file_);
    const int row = list_->indexOfTopLevelItem(current);
    const int moved = MoveChannelRow(slot, row, direction);
    if (moved != row) FollowInViewer(slot, rows_[size_t(row)], rows_[size_t(moved)]);
    Fill(moved);
}

void ShowChannelOrder() {
    {
        ChannelOrderDialog dialog(RenderMainWindow());
        dialog.exec();
    }
    RebuildGraphList();
    RequestRedraw(kRedrawFull);
}

} // namespace qvtk
