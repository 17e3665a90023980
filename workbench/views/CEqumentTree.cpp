#include "views/CEqumentTree.h"

#include <QApplication>
#include <QStyle>

#include <functional>

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

QTreeWidgetItem* CEqumentTree::rootFor(const DeviceRecord& r) {
    const QString text = QString::fromStdString(rootText(r));
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (topLevelItem(i)->text(0) == text) return topLevelItem(i);
    // Roots in name order; the couplers and sub modules under them stay in the order found.
    int at = 0;
    while (at < topLevelItemCount() && topLevelItem(at)->text(0) < text) ++at;
    auto* root = new QTreeWidgetItem({text});
    insertTopLevelItem(at, root);
    root->setIcon(0, style()->standardIcon(r.linkType == kLinkEthernet ? QStyle::SP_DriveNetIcon : QStyle::SP_ComputerIcon));
    root->setData(0, kRecordRole, QVariant::fromValue<void*>(nullptr));
    return root;
}

void CEqumentTree::addSubNodes(QTreeWidgetItem* node, DeviceRecord* r) {
    for (const auto& s : r->subSlots) {
        if (s.id == 0) continue;
        auto* sub = new QTreeWidgetItem(node, {QString::fromStdString(subNodeText(s))});
        sub->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
        sub->setData(0, kRecordRole, QVariant::fromValue<void*>(r));
        sub->setData(0, kSubIdRole, static_cast<int>(s.id));
    }
}

void CEqumentTree::updateRecord(DeviceRecord* r) {
    QTreeWidgetItem* node = itemFor(r, -1);
    if (!node) return;
    QSignalBlocker block(this);
    bool wasCurrent = currentItem() && currentItem()->parent() == node;
    qDeleteAll(node->takeChildren());
    addSubNodes(node, r);
    node->setExpanded(true);
    if (wasCurrent) setCurrentItem(node);
}

void CEqumentTree::setRecords(std::vector<std::unique_ptr<DeviceRecord>> records) {
    clearRecords();
    addRecords(std::move(records));
}

void CEqumentTree::addRecords(std::vector<std::unique_ptr<DeviceRecord>> records) {
    QSignalBlocker block(this);
    for (auto& r : records) {
        auto* node = new QTreeWidgetItem(rootFor(*r), {QString::fromStdString(couplerNodeText(*r))});
        node->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
        node->setData(0, kRecordRole, QVariant::fromValue<void*>(r.get()));
        node->setData(0, kSubIdRole, -1);
        addSubNodes(node, r.get());
        records_.push_back(std::move(r));
    }
    expandAll();
}

void CEqumentTree::removeRecords(const std::function<bool(const DeviceRecord&)>& drop) {
    {
        QSignalBlocker block(this);
        QTreeWidgetItem* current = currentItem();
        for (auto it = records_.begin(); it != records_.end();) {
            if (!drop(**it)) {
                ++it;
                continue;
            }
            QTreeWidgetItem* node = itemFor(it->get(), -1);
            QTreeWidgetItem* root = node ? node->parent() : nullptr;
            if (node && current && (current == node || current->parent() == node)) current = root;
            delete node;
            if (root && root != root_ && root->childCount() == 0) {
                if (current == root) current = root_;
                delete root;
            }
            it = records_.erase(it);
        }
        setCurrentItem(current ? current : root_);
    }
    if (currentItem() == root_) mode_ = kRootSelected;
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
    if (!item || !item->parent()) return false;
    record = static_cast<DeviceRecord*>(item->data(0, kRecordRole).value<void*>());
    subId = item->data(0, kSubIdRole).toInt();
    return record != nullptr;
}

QTreeWidgetItem* CEqumentTree::itemFor(const DeviceRecord* r, int subId) const {
    for (int t = 0; t < topLevelItemCount(); ++t) {
        QTreeWidgetItem* root = topLevelItem(t);
        for (int i = 0; i < root->childCount(); ++i) {
            QTreeWidgetItem* node = root->child(i);
            if (node->data(0, kRecordRole).value<void*>() != r) continue;
            if (subId < 0) return node;
            for (int k = 0; k < node->childCount(); ++k)
                if (node->child(k)->data(0, kSubIdRole).toInt() == subId) return node->child(k);
        }
    }
    return nullptr;
}

void CEqumentTree::reselect() { onSelectionChanged(currentItem(), nullptr); }

void CEqumentTree::onSelectionChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    if (restoring_ || !current) return;
    if (!current->parent()) {
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
