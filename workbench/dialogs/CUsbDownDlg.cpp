#include "dialogs/CUsbDownDlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdlib>
#include <cstring>
#include <platform/AppDir.h>

#include "core/CKNetCom2Global.h"
#include "core/EdsExport.h"
#include "core/MappingFile.h"
#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"
#include "models/DeviceRecord.h"

namespace vexadesk {

namespace {

enum Role { KindRole = Qt::UserRole, SideRole, PdoRole, ItemRole };
constexpr int kChannelRole = Qt::UserRole;

MapReadBack readBack(void* h) {
    MapReadBack m;
    int io = 0, sdo = 0, tpdo = 0, rpdo = 0;
    m.rc = KO_HidGetMapInfo(h, &io, &sdo, &tpdo, &rpdo);
    if (m.rc != RC_OK) return m;
    // Only what the library says it holds is fetched, into buffers of exactly that size.
    if (io > 0) {
        m.io.resize(static_cast<size_t>(io));
        KO_HidGetIOMap(h, m.io.data(), io);
    }
    if (sdo > 0) {
        m.sdo.resize(static_cast<size_t>(sdo));
        KO_HidGetSDOMap(h, reinterpret_cast<unsigned char*>(m.sdo.data()), sdo);
    }
    for (bool rpdoSide : {false, true}) {
        const int n = rpdoSide ? rpdo : tpdo;
        if (n <= 0) continue;
        std::vector<unsigned char> buf(static_cast<size_t>(n) * 6);
        if (rpdoSide)
            KO_HidGetRPDOMap(h, buf.data(), n);
        else
            KO_HidGetTPDOMap(h, buf.data(), n);
        auto& list = rpdoSide ? m.rpdo : m.tpdo;
        for (int i = 0; i < n; ++i) {
            PdoMapEntry e{};
            std::memcpy(e.setting, buf.data() + 6 * i, 6);
            e.side = rpdoSide ? 1 : 0;
            e.channel = PdoLayout::kUnplaced;
            list.push_back(e);
        }
    }
    return m;
}

int downloadPdo(void* h, const std::vector<PdoMapEntry>& entries) {
    KO_HidClearPDOSet(h);
    for (const PdoMapEntry& e : entries) KO_HidAddPDOSet(h, &e, sizeof e);
    return KO_HidDownloadSPDO(h);
}

QString msgText(PdoMsg m) { return QCoreApplication::translate("vexadesk::CUsbDownDlg", pdoMessageText(m)); }

}  // namespace

int downloadIo(DeviceRecord& record) {
    if (int rc = openDevice(record); rc != RC_OK) return rc;
    return KO_HidDownloadIO(record.handle.load());
}

CUsbDownDlg::CUsbDownDlg(DeviceRecord& record, CDeviceThread& thread, QWidget* parent)
    : QDialog(parent), record_(record), thread_(thread) {
    setWindowTitle(tr("从站配置下载"));
    edsTemplate_ = QString::fromStdString(vexa::appPath("config/VEXA_9020tmp.eds"));
    buildUi();
    refresh();

    struct Opened {
        int rc = 0;
        std::vector<IoMapRecord> channels;
        int nodeAddress = 0;
        MapReadBack map;
    };
    callStarted();
    DeviceRecord* r = &record_;
    thread_.run<Opened>(
        this,
        [r] {
            Opened o;
            o.rc = openDevice(*r);
            if (o.rc != RC_OK) return o;
            void* h = r->handle.load();
            int count = 0;
            KO_HidGetIOChl(h, nullptr, 0, &count);
            if (count > 0) {
                o.channels.resize(static_cast<size_t>(count));
                int got = 0;
                KO_HidGetIOChl(h, o.channels.data(), count, &got);
                o.channels.resize(static_cast<size_t>(std::clamp(got, 0, count)));
            }
            ReadOutcome addr = readMainProperties(*r, {{"MAIN_CANOPEN_ADDR", true}});
            if (addr.rc == RC_OK && !addr.rows.empty() && addr.rows[0].rc == RC_OK)
                o.nodeAddress = std::atoi(addr.rows[0].text.c_str());
            o.map = readBack(h);
            return o;
        },
        [this](Opened o) {
            callEnded();
            if (o.rc != RC_OK) {
                warn(tr("获取信息出错"), 2);
                return;
            }
            onOpened(std::move(o.channels), o.nodeAddress, std::move(o.map));
        });
}

CUsbDownDlg::~CUsbDownDlg() {
    if (pending_ > 0 && QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void CUsbDownDlg::buildUi() {
    auto* top = new QVBoxLayout(this);
    nodeLabel_ = new QLabel(this);
    top->addWidget(nodeLabel_);

    auto* editor = new QHBoxLayout;
    top->addLayout(editor, 1);
    auto sideBox = [this](const QString& title, QListWidget*& channels, QListWidget*& offsets, QPushButton*& add,
                          const QString& addText) {
        auto* box = new QGroupBox(title, this);
        auto* g = new QGridLayout(box);
        channels = new QListWidget(box);
        offsets = new QListWidget(box);
        offsets->setMaximumWidth(60);
        channels->setMinimumWidth(channels->fontMetrics().horizontalAdvance(QStringLiteral("VEXA-0000(ID:8) DATA_OUTSHOW_00 [U16]")) + 24);
        add = new QPushButton(addText, box);
        g->addWidget(channels, 0, 0);
        g->addWidget(offsets, 0, 1);
        g->addWidget(add, 1, 0, 1, 2);
        connect(channels, &QListWidget::itemSelectionChanged, this, &CUsbDownDlg::updateButtons);
        connect(offsets, &QListWidget::itemSelectionChanged, this, &CUsbDownDlg::updateButtons);
        return box;
    };
    auto* sides = new QVBoxLayout;
    sides->addWidget(sideBox(tr("输入通道"), inChannels_, inOffsets_, addIn_, tr("添加输入 >>")));
    sides->addWidget(sideBox(tr("输出通道"), outChannels_, outOffsets_, addOut_, tr("添加输出 >>")));
    editor->addLayout(sides, 3);
    for (int w = 0; w < PdoLayout::kInputWords; ++w) inOffsets_->addItem(QString::number(w));
    for (int w = 0; w < PdoLayout::kOutputWords; ++w) outOffsets_->addItem(QString::number(w));
    connect(addIn_, &QPushButton::clicked, this, &CUsbDownDlg::addInput);
    connect(addOut_, &QPushButton::clicked, this, &CUsbDownDlg::addOutput);

    tree_ = new QTreeWidget(this);
    tree_->setHeaderHidden(true);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &CUsbDownDlg::updateButtons);
    connect(tree_, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(tr("删除"), this, &CUsbDownDlg::deleteSelected);
        menu.exec(tree_->viewport()->mapToGlobal(at));
    });
    editor->addWidget(tree_, 2);

    auto* reads = new QHBoxLayout;
    const QString titles[3] = {tr("SDO映射"), tr("TPDO映射"), tr("RPDO映射")};
    for (int i = 0; i < 3; ++i) {
        auto* box = new QGroupBox(titles[i], this);
        auto* l = new QVBoxLayout(box);
        readLists_[i] = new QTreeWidget(box);
        readLists_[i]->setRootIsDecorated(false);
        readLists_[i]->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        readLists_[i]->setHeaderLabels(i == 0 ? QStringList{tr("对象"), tr("说明")}
                                              : QStringList{tr("偏移"), tr("PDO"), tr("ID"), tr("寄存器"), tr("长度")});
        l->addWidget(readLists_[i]);
        reads->addWidget(box);
    }
    top->addLayout(reads, 1);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& text, void (CUsbDownDlg::*slot)()) {
        auto* b = new QPushButton(text, this);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    };
    button(tr("删除"), &CUsbDownDlg::deleteSelected);
    button(tr("清空"), &CUsbDownDlg::clearMapping);
    button(tr("下载SDOPDO"), &CUsbDownDlg::downloadSdoPdo);
    button(tr("下载IO配置"), &CUsbDownDlg::downloadIoConfig);
    button(tr("读取映射"), &CUsbDownDlg::readMapping);
    button(tr("下载映射"), &CUsbDownDlg::downloadAll);
    auto* exportButton = new QPushButton(tr("导出"), this);
    auto* importButton = new QPushButton(tr("导入"), this);
    auto* edsButton = new QPushButton(tr("生成EDS…"), this);
    for (auto* b : {exportButton, importButton, edsButton}) buttons->addWidget(b);
    connect(exportButton, &QPushButton::clicked, this, [this] {
        QString f = QFileDialog::getSaveFileName(this, tr("保存PDO映射文件"), {}, tr("XML Files(*.xml)"));
        if (f.isEmpty()) return;
        if (!f.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)) f += QLatin1String(".xml");
        saveMappingTo(f);
    });
    connect(importButton, &QPushButton::clicked, this, [this] {
        QString f = QFileDialog::getOpenFileName(this, tr("加载PDO映射文件"), {}, tr("XML Files(*.xml)"));
        if (!f.isEmpty()) loadMappingFrom(f);
    });
    connect(edsButton, &QPushButton::clicked, this, [this] {
        QString f = QFileDialog::getSaveFileName(this, tr("保存EDS文件"), {}, tr("EDS Files(*.eds)"));
        if (f.isEmpty()) return;
        if (!f.endsWith(QLatin1String(".eds"), Qt::CaseInsensitive)) f += QLatin1String(".eds");
        exportEdsTo(f);
    });
    top->addLayout(buttons);
    resize(1000, 700);
}

void CUsbDownDlg::warn(const QString& text, int kind) {
    if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxText(this, text.toStdString(), kind, 0);
}

void CUsbDownDlg::callStarted() { ++pending_; }
void CUsbDownDlg::callEnded() {
    if (pending_ > 0) --pending_;
    emit deviceCallDone();
}

QString CUsbDownDlg::channelText(const IoMapRecord& c) const {
    std::string name;
    if (auto* g = CKNetCom2Global::Instance()) name = g->IoMsgs().name(c.type, c.reg);
    if (name.empty()) name.assign(c.key, strnlen(c.key, sizeof c.key));
    return QString::asprintf("VEXA-%04X(ID:%d) ", c.type, c.subAddress) + QString::fromStdString(name) +
           (c.lengthRegs == 2 ? QStringLiteral(" [U32]") : QStringLiteral(" [U16]"));
}

void CUsbDownDlg::onOpened(std::vector<IoMapRecord> channels, int nodeAddress, MapReadBack map) {
    // A channel the catalog has no I/O name for is named by its key, so that the PDO entries
    // say what they carry.
    if (auto* g = CKNetCom2Global::Instance())
        for (const auto& c : channels)
            if (g->IoMsgs().name(c.type, c.reg).empty() && c.key[0]) {
                IoMsgRecord r;
                r.addr = c.reg;
                r.name.assign(c.key, strnlen(c.key, sizeof c.key));
                g->IoMsgs().add(c.type, r);
            }
    layout_.setChannels(channels);
    layout_.setNodeAddress(nodeAddress);
    nodeLabel_->setText(tr("CANopen节点地址: %1").arg(static_cast<unsigned>(nodeAddress)));
    if (map.rc != RC_OK) {
        refresh();
        warn(tr("获取信息出错"), 2);
        return;
    }
    showReadBack(map);
    placeEntries(map.rpdo, map.tpdo, {});
}

void CUsbDownDlg::showReadBack(const MapReadBack& map) {
    sdo_ = map.sdo;
    for (auto* l : readLists_) l->clear();
    for (const SdoMapRecord& r : map.sdo) {
        auto* item = new QTreeWidgetItem(readLists_[0]);
        item->setText(0, QString::asprintf("(0x%04X.%02X)", r.index, r.subIndex));
        item->setText(1, QString::fromStdString(sdoDescription(r)));
    }
    for (int side = 0; side < 2; ++side) {
        for (const PdoMapEntry& e : side ? map.rpdo : map.tpdo) {
            auto* item = new QTreeWidgetItem(readLists_[1 + side]);
            item->setText(0, QString::number(e.setting[0]));
            item->setText(1, QString::asprintf("%d.%d", (e.setting[1] & 0x0F) + 1, e.setting[1] >> 4));
            item->setText(2, QString::number(e.setting[2]));
            item->setText(3, QString::asprintf("0x%02X", e.setting[3]));
            item->setText(4, QString::number(e.setting[4]));
        }
    }
}

void CUsbDownDlg::placeEntries(const std::vector<PdoMapEntry>& rpdo, const std::vector<PdoMapEntry>& tpdo,
                               const QStringList& fileDrops) {
    layout_.clear();
    const auto dropped = layout_.placeAll(rpdo, tpdo);
    refresh();
    QStringList lines = fileDrops;
    for (const DroppedEntry& d : dropped)
        lines << tr("%1 第%2条 (ID:%3 Reg:0x%4 偏移:%5 长度:%6): %7")
                     .arg(d.rpdo ? QStringLiteral("RPDO") : QStringLiteral("TPDO"))
                     .arg(d.position + 1)
                     .arg(d.entry.setting[2])
                     .arg(d.entry.setting[3], 2, 16, QLatin1Char('0'))
                     .arg(d.entry.setting[0])
                     .arg(d.entry.setting[4])
                     .arg(msgText(d.why));
    if (!lines.isEmpty()) warn(tr("以下映射条目无效,已丢弃:") + QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
}

void CUsbDownDlg::refreshChannels() {
    for (bool output : {false, true}) {
        QListWidget* list = channelList(output);
        int selected = -1;
        if (auto* cur = list->currentItem(); cur && cur->isSelected()) selected = cur->data(kChannelRole).toInt();
        list->clear();
        const auto& channels = layout_.channels(output);
        for (size_t i = 0; i < channels.size(); ++i) {
            if (!layout_.channelFree(output, static_cast<int>(i))) continue;
            auto* item = new QListWidgetItem(channelText(channels[i]), list);
            item->setData(kChannelRole, static_cast<int>(i));
            if (static_cast<int>(i) == selected) list->setCurrentItem(item);
        }
    }
}

void CUsbDownDlg::refresh() {
    // Keeps the selected PDO node selected across the rebuild.
    PdoTarget keep = selectedTarget();
    tree_->clear();
    IoMsgTable* names = CKNetCom2Global::Instance() ? &CKNetCom2Global::Instance()->IoMsgs() : nullptr;
    for (bool rpdo : {false, true}) {
        auto* root = new QTreeWidgetItem(tree_, {rpdo ? tr("RPDO(输出资源配置)") : tr("TPDO(输入资源配置)")});
        root->setData(0, KindRole, PdoTarget::Root);
        root->setData(0, SideRole, rpdo);
        for (int p = 0; p < layout_.pdoCount(rpdo); ++p) {
            const PdoNode& n = layout_.pdo(rpdo, p);
            auto* node = new QTreeWidgetItem(root, {QString::fromStdString(PdoLayout::pdoText(n))});
            node->setData(0, KindRole, PdoTarget::Pdo);
            node->setData(0, SideRole, rpdo);
            node->setData(0, PdoRole, p);
            for (size_t k = 0; k < n.items.size(); ++k) {
                auto* e = new QTreeWidgetItem(node, {QString::fromStdString(PdoLayout::itemText(n.items[k], names))});
                e->setData(0, KindRole, PdoTarget::Entry);
                e->setData(0, SideRole, rpdo);
                e->setData(0, PdoRole, p);
                e->setData(0, ItemRole, static_cast<int>(k));
            }
            if (keep.kind == PdoTarget::Pdo && keep.rpdo == rpdo && keep.pdo == p) tree_->setCurrentItem(node);
        }
    }
    tree_->expandAll();
    refreshChannels();
    updateButtons();
}

PdoTarget CUsbDownDlg::selectedTarget() const {
    PdoTarget t;
    QTreeWidgetItem* item = tree_ ? tree_->currentItem() : nullptr;
    if (!item || !item->isSelected()) return t;
    t.kind = static_cast<PdoTarget::Kind>(item->data(0, KindRole).toInt());
    t.rpdo = item->data(0, SideRole).toBool();
    t.pdo = item->data(0, PdoRole).isValid() ? item->data(0, PdoRole).toInt() : -1;
    t.item = item->data(0, ItemRole).isValid() ? item->data(0, ItemRole).toInt() : -1;
    return t;
}

void CUsbDownDlg::updateButtons() {
    const PdoTarget t = selectedTarget();
    for (bool output : {false, true}) {
        auto selected = [](QListWidget* l) { return l->currentItem() && l->currentItem()->isSelected(); };
        const bool ok = t.kind == PdoTarget::Pdo && t.rpdo == output && selected(channelList(output)) &&
                        selected(offsetList(output));
        addButton(output)->setEnabled(ok);
    }
}

bool CUsbDownDlg::selectNode(bool rpdo, int pdo, int item) {
    QTreeWidgetItem* root = tree_->topLevelItem(rpdo ? 1 : 0);
    if (!root) return false;
    QTreeWidgetItem* target = root;
    if (pdo >= 0) {
        target = root->child(pdo);
        if (target && item >= 0) target = target->child(item);
    }
    if (!target) return false;
    tree_->setCurrentItem(target);
    return true;
}

bool CUsbDownDlg::selectChannel(bool output, int channel, int offset) {
    QListWidget* list = channelList(output);
    bool found = false;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(kChannelRole).toInt() == channel) {
            list->setCurrentRow(i);
            found = true;
        }
    if (!found) list->setCurrentRow(-1);
    QListWidget* offsets = offsetList(output);
    if (offset < 0 || offset >= offsets->count()) {
        offsets->setCurrentRow(-1);
        return false;
    }
    offsets->setCurrentRow(offset);
    return found;
}

void CUsbDownDlg::add(bool output) {
    QListWidget* channels = channelList(output);
    QListWidget* offsets = offsetList(output);
    const int channel =
        channels->currentItem() && channels->currentItem()->isSelected() ? channels->currentItem()->data(kChannelRole).toInt() : -1;
    const int offset = offsets->currentItem() && offsets->currentItem()->isSelected() ? offsets->currentRow() : -1;
    if (channel < 0) {
        warn(msgText(PdoMsg::NoChannel));
        return;
    }
    if (offset < 0) {
        warn(msgText(PdoMsg::OutOfImage));
        return;
    }
    if (PdoMsg m = layout_.add(output, channel, offset, selectedTarget()); m != PdoMsg::Ok) {
        warn(msgText(m));
        return;
    }
    refresh();
}

void CUsbDownDlg::addInput() { add(false); }
void CUsbDownDlg::addOutput() { add(true); }

void CUsbDownDlg::deleteSelected() {
    if (PdoMsg m = layout_.remove(selectedTarget()); m != PdoMsg::Ok) {
        warn(msgText(m));
        return;
    }
    refresh();
}

void CUsbDownDlg::clearMapping() {
    layout_.clear();
    refresh();
}

void CUsbDownDlg::downloadSdoPdo() {
    std::vector<PdoMapEntry> entries = layout_.entries(true);
    const auto t = layout_.entries(false);
    entries.insert(entries.end(), t.begin(), t.end());
    callStarted();
    DeviceRecord* r = &record_;
    thread_.run<int>(
        this,
        [r, entries] {
            if (int rc = openDevice(*r); rc != RC_OK) return rc;
            return downloadPdo(r->handle.load(), entries);
        },
        [this](int rc) {
            callEnded();
            if (rc != RC_OK) warn(tr("下载SDO出错 err=%1").arg(rc), 2);
        });
}

void CUsbDownDlg::downloadIoConfig() {
    callStarted();
    DeviceRecord* r = &record_;
    thread_.run<int>(this, [r] { return downloadIo(*r); },
                     [this](int rc) {
                         callEnded();
                         if (rc != RC_OK) warn(tr("下载IO出错 err=%1").arg(rc), 2);
                     });
}

void CUsbDownDlg::readMapping() {
    callStarted();
    DeviceRecord* r = &record_;
    thread_.run<MapReadBack>(
        this,
        [r] {
            MapReadBack m;
            m.rc = openDevice(*r);
            if (m.rc == RC_OK) m = readBack(r->handle.load());
            return m;
        },
        [this](MapReadBack m) {
            callEnded();
            if (m.rc != RC_OK) {
                warn(tr("获取信息出错"), 2);
                return;
            }
            showReadBack(m);
        });
}

void CUsbDownDlg::downloadAll() {
    struct All {
        int ioRc = 0, pdoRc = 0;
        MapReadBack map;
    };
    std::vector<PdoMapEntry> entries = layout_.entries(true);
    const auto t = layout_.entries(false);
    entries.insert(entries.end(), t.begin(), t.end());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    callStarted();
    DeviceRecord* r = &record_;
    thread_.run<All>(
        this,
        [r, entries] {
            All a;
            a.ioRc = downloadIo(*r);
            if (a.ioRc != RC_OK) return a;
            a.pdoRc = downloadPdo(r->handle.load(), entries);
            if (a.pdoRc != RC_OK) return a;
            a.map = readBack(r->handle.load());
            return a;
        },
        [this](All a) {
            QApplication::restoreOverrideCursor();
            callEnded();
            if (a.ioRc != RC_OK) return warn(tr("下载IO出错 err=%1").arg(a.ioRc), 2);
            if (a.pdoRc != RC_OK) return warn(tr("下载SDO出错 err=%1").arg(a.pdoRc), 2);
            if (a.map.rc != RC_OK) return warn(tr("获取信息出错"), 2);
            showReadBack(a.map);
            placeEntries(a.map.rpdo, a.map.tpdo, {});
        });
}

bool CUsbDownDlg::saveMappingTo(const QString& path) {
    if (saveMappingFile(path.toStdString(), layout_.entries(true), layout_.entries(false)) != MappingFileResult::Ok) {
        warn(tr("保存文件失败"), 2);
        return false;
    }
    return true;
}

bool CUsbDownDlg::loadMappingFrom(const QString& path) {
    MappingFileContent content;
    switch (loadMappingFile(path.toStdString(), content)) {
        case MappingFileResult::Ok: break;
        case MappingFileResult::NoSides: warn(tr("无效的配置文件"), 2); return false;
        default: warn(tr("读取文件失败"), 2); return false;
    }
    QStringList drops;
    for (const MappingFileDrop& d : content.dropped)
        drops << tr("%1 PDOMap 第%2个: %3")
                     .arg(d.rpdo ? QStringLiteral("RPDO") : QStringLiteral("TPDO"))
                     .arg(d.position + 1)
                     .arg(QString::fromStdString(d.reason));
    placeEntries(content.rpdo, content.tpdo, drops);
    return true;
}

bool CUsbDownDlg::exportEdsTo(const QString& path) {
    EdsInput in;
    in.layout = &layout_;
    in.sdo = sdo_;
    in.names = CKNetCom2Global::Instance() ? &CKNetCom2Global::Instance()->IoMsgs() : nullptr;
    // The record's module type comes from the channels of that module.
    in.describe = [this](const SdoMapRecord& r) {
        std::string text = sdoDescription(r);
        for (bool output : {false, true})
            for (const IoMapRecord& c : layout_.channels(output))
                if (c.subAddress == r.subAddress) {
                    std::string name;
                    if (auto* g = CKNetCom2Global::Instance()) name = g->IoMsgs().name(c.type, r.reg);
                    return name.empty() ? text : text + " " + name;
                }
        return text;
    };
    switch (exportEds(edsTemplate_.toStdString(), path.toStdString(), in)) {
        case EdsResult::Ok: return true;
        case EdsResult::NoTemplate: warn(tr("找不到EDS模板文件: %1").arg(edsTemplate_), 2); return false;
        case EdsResult::CopyFailed: warn(tr("复制EDS模板失败: %1").arg(path), 2); return false;
        case EdsResult::WriteFailed: warn(tr("写入EDS文件失败: %1").arg(path), 2); return false;
    }
    return false;
}

}  // namespace vexadesk
