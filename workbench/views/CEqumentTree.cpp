#include "views/CEqumentTree.h"

#include <QApplication>
#include <QStyle>

namespace vexadesk {

namespace {
enum ItemRole { kRecordRole = Qt::UserRole + 1, kSubIdRole };
}

CEqumentTree::CEqumentTree(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    makeRoot();
    connect(this, &QTreeWidget::currentItemChanged, this, &CEqumentTree::onSelectionChanged);
}

void CEqumentTree::makeRoot() {
    root_ = new QTreeWidgetItem(this, {QStringLiteral("USB : Host")});
    root_->setIcon(0, style()->standardIcon(QStyle::SP_ComputerIcon));
    root_->setData(0, kRecordRole, QVariant::fromValue<void*>(nullptr));
    sortItems(0, Qt::AscendingOrder);
}

void CEqumentTree::updateRecord(DeviceRecord* r) {
    QTreeWidgetItem* node = itemFor(r, -1);
    if (!node) return;
    QSignalBlocker block(this);
    bool wasCurrent = currentItem() && currentItem()->parent() == node;
    qDeleteAll(node->takeChildren());
    for (const auto& s : r->subSlots) {
        if (s.id == 0) continue;
        auto* sub = new QTreeWidgetItem(node, {QString::fromStdString(subNodeText(s))});
        sub->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
        sub->setData(0, kRecordRole, QVariant::fromValue<void*>(r));
        sub->setData(0, kSubIdRole, static_cast<int>(s.id));
    }
    node->setExpanded(true);
    if (wasCurrent) setCurrentItem(node);
}

void CEqumentTree::setRecords(std::vector<std::unique_ptr<DeviceRecord>> records) {
    clearRecords();
    QSignalBlocker block(this);
    for (auto& r : records) {
        auto* node = new QTreeWidgetItem(root_, {QString::fromStdString(couplerNodeText(*r))});
        node->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
        node->setData(0, kRecordRole, QVariant::fromValue<void*>(r.get()));
        node->setData(0, kSubIdRole, -1);
        for (const auto& s : r->subSlots) {
            if (s.id == 0) continue;
            auto* sub = new QTreeWidgetItem(node, {QString::fromStdString(subNodeText(s))});
            sub->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
            sub->setData(0, kRecordRole, QVariant::fromValue<void*>(r.get()));
            sub->setData(0, kSubIdRole, static_cast<int>(s.id));
        }
        records_.push_back(std::move(r));
    }
    expandAll();
}

void CEqumentTree::clearRecords() {
    {
        QSignalBlocker block(this);
        clear();
        records_.clear();
        makeRoot();
        setCurrentItem(root_);
    }
    mode_ = kRootSelected;
}

bool CEqumentTree::selectedDevice(DeviceRecord*& record, int& subId) const {
    record = nullptr;
    subId = -1;
    QTreeWidgetItem* item = currentItem();
    if (!item || item == root_) return false;
    record = static_cast<DeviceRecord*>(item->data(0, kRecordRole).value<void*>());
    subId = item->data(0, kSubIdRole).toInt();
    return record != nullptr;
}

QTreeWidgetItem* CEqumentTree::itemFor(const DeviceRecord* r, int subId) const {
    for (int i = 0; i < root_->childCount(); ++i) {
        QTreeWidgetItem* node = root_->child(i);
        if (node->data(0, kRecordRole).value<void*>() != r) continue;
        if (subId < 0) return node;
        for (int k = 0; k < node->childCount(); ++k)
            if (node->child(k)->data(0, kSubIdRole).toInt() == subId) return node->child(k);
    }
    return nullptr;
}

void CEqumentTree::reselect() { onSelectionChanged(currentItem(), nullptr); }

void CEqumentTree::onSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (restoring_ || !current) return;
    if (current == root_) {
        mode_ = kRootSelected;
        emit showPage(0, 0);
        emit loadDevice(nullptr, 0);
        return;
    }
    auto* r = static_cast<DeviceRecord*>(current->data(0, kRecordRole).value<void*>());
    int subId = current->data(0, kSubIdRole).toInt();
    if (!r) return;
    if (!r->loggedIn && gate_ && !gate_(*r)) {
        // A cancelled login keeps the page that was shown, and the node that goes with it.
        restoring_ = true;
        setCurrentItem(previous ? previous : root_);
        restoring_ = false;
        if (!previous) {
            mode_ = kRootSelected;
            emit showPage(0, 0);
            emit loadDevice(nullptr, 0);
        }
        return;
    }
    if (subId < 0) {
        mode_ = kModuleSelected;
        emit showPage(r->type, 0);
        emit loadDevice(r, 0);
        return;
    }
    mode_ = kSubSelected;
    const SubSlot* s = r->slotWithId(subId);
    if (!s) return;
    emit showPage((static_cast<quint32>(s->version) << 16) | s->type, s->extra);
    emit loadDevice(r, subId);
}

}  // namespace vexadesk
