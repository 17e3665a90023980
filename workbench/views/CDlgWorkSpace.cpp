#include "views/CDlgWorkSpace.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <VexaSdk.h>

#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"
#include "grid/CNetProGrid.h"
#include "views/CEqumentTree.h"

namespace vexadesk {

namespace {

QLabel* headerLabel(const QString& text) {
    auto* l = new QLabel(text);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QWidget* emptyPage() {
    auto* l = new QLabel;
    l->setAlignment(Qt::AlignCenter);
    l->setEnabled(false);
    return l;
}

// The rows of a page that are read from the device, in page order.
std::vector<CatalogNode*> deviceRows(CatalogPage* page, bool skipHidden) {
    std::vector<CatalogNode*> out;
    if (!page) return out;
    for (auto& n : page->nodes)
        if (!n->isCategory() && !n->cmd.empty() && !(skipHidden && n->readonly == 2)) out.push_back(n.get());
    return out;
}

}  // namespace

CDlgWorkSpace::CDlgWorkSpace(CDeviceThread& thread, CEqumentTree& tree, QWidget* parent)
    : QWidget(parent), thread_(thread), tree_(tree), name_(headerLabel(QStringLiteral("NULL"))),
      address_(headerLabel(QString())), login_(headerLabel(tr("未登录"))), subId_(headerLabel(QString())),
      stackA_(new QStackedWidget), stackB_(new QStackedWidget), refreshConfig_(new QPushButton(tr("刷新"))),
      submit_(new QPushButton(tr("提交"))), refreshData_(new QPushButton(tr("刷新"))),
      send_(new QPushButton(tr("发送"))), rebootSub_(new QPushButton(tr("重启采集模块"))),
      periodic_(new QCheckBox(tr("动态刷新"))), subList_(new QTreeWidget) {
    // Header: what is shown and whether its coupler is logged in.
    auto* header = new QHBoxLayout;
    auto addPair = [header](const QString& caption, QLabel* value) {
        auto* c = new QLabel(caption + QLatin1Char(':'));
        header->addWidget(c);
        value->setMinimumWidth(40);
        QFont f = value->font();
        f.setBold(true);
        value->setFont(f);
        header->addWidget(value);
        header->addSpacing(12);
    };
    addPair(tr("模块"), name_);
    addPair(tr("地址"), address_);
    addPair(tr("状态"), login_);
    addPair(tr("采集模块ID"), subId_);
    header->addStretch();

    stackA_->addWidget(emptyPage());
    stackB_->addWidget(emptyPage());

    auto* config = new QGroupBox(tr("配置信息区"));
    auto* configLayout = new QVBoxLayout(config);
    configLayout->setContentsMargins(4, 4, 4, 4);
    configLayout->addWidget(stackA_, 1);
    auto* configButtons = new QHBoxLayout;
    configButtons->addStretch();
    configButtons->addWidget(refreshConfig_);
    configButtons->addWidget(submit_);
    configLayout->addLayout(configButtons);

    auto* data = new QGroupBox(tr("数据采集区"));
    auto* dataLayout = new QHBoxLayout(data);
    dataLayout->setContentsMargins(4, 4, 4, 4);
    auto* dataLeft = new QVBoxLayout;
    dataLeft->addWidget(stackB_, 1);
    auto* dataButtons = new QHBoxLayout;
    dataButtons->addWidget(periodic_);
    dataButtons->addStretch();
    dataButtons->addWidget(refreshData_);
    dataButtons->addWidget(send_);
    dataLeft->addLayout(dataButtons);
    dataLayout->addLayout(dataLeft, 1);
    auto* subs = new QVBoxLayout;
    subList_->setHeaderLabels({tr("采集模块ID")});
    subList_->setRootIsDecorated(false);
    subList_->setMaximumWidth(150);
    subList_->header()->setStretchLastSection(true);
    subs->addWidget(subList_, 1);
    subs->addWidget(rebootSub_);
    dataLayout->addLayout(subs);

    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(config);
    split->addWidget(data);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setChildrenCollapsible(false);

    auto* note = new QLabel(tr("注意：要使配置生效在配置完成后需要提交"));
    note->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(header);
    layout->addWidget(split, 1);
    layout->addWidget(note);

    // Writing to a module comes with the editing commands; until then these stay off.
    submit_->setEnabled(false);
    send_->setEnabled(false);
    rebootSub_->setEnabled(false);

    connect(refreshConfig_, &QPushButton::clicked, this, &CDlgWorkSpace::refreshConfiguration);
    connect(refreshData_, &QPushButton::clicked, this, &CDlgWorkSpace::refreshData);
    connect(periodic_, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            timer_.start(kRefreshMs);
        else
            timer_.stop();
    });
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        // A read still under way is not piled up behind.
        if (!pendingData_) refreshData();
    });

    if (auto* g = CKNetCom2Global::Instance()) showPage(g->DefaultDeviceType(), 0);
    updateButtons();
}

void CDlgWorkSpace::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

void CDlgWorkSpace::message(int id, int kind) {
    if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxById(this, id, kind, 0);
}

CDlgWorkSpace::Grids& CDlgWorkSpace::gridsFor(DevTypeEntry* entry) {
    Grids& g = grids_[entry];
    if (g.a) return g;
    // Page B first: page A's options may address its rows.
    if (!entry->pageB.nodes.empty()) {
        g.b = new CNetProGrid;
        g.b->create(entry->pageB, g.b);
        stackB_->addWidget(g.b);
    }
    g.a = new CNetProGrid;
    g.a->create(entry->pageA, g.b);
    stackA_->addWidget(g.a);
    if (coloursSet_) {
        g.a->setColours(colourOn_, colour1_, colour2_);
        if (g.b) g.b->setColours(colourOn_, colour1_, colour2_);
    }
    return g;
}

void CDlgWorkSpace::showPage(std::uint16_t type, std::uint16_t hardVer) {
    auto* g = CKNetCom2Global::Instance();
    DevTypeEntry* entry = (type != 0 && g) ? g->Lookup(type, hardVer) : nullptr;
    showPagesOf(entry);
}

void CDlgWorkSpace::showPagesOf(DevTypeEntry* entry) {
    entry_ = entry;
    if (!entry) {
        gridA_ = gridB_ = nullptr;
        stackA_->setCurrentIndex(0);
        stackB_->setCurrentIndex(0);
        return;
    }
    Grids& g = gridsFor(entry);
    gridA_ = g.a;
    gridB_ = g.b;
    stackA_->setCurrentWidget(g.a);
    if (g.b)
        stackB_->setCurrentWidget(g.b);
    else
        stackB_->setCurrentIndex(0);
}

void CDlgWorkSpace::showValue(CNetProGrid* grid, CatalogNode* n, const std::string& text) {
    grid->setValue(n, text);
    // The option the module holds decides which other rows can be edited, as a choice would.
    if (!n->options.empty() && grid->currentOption(n) >= 0) grid->chooseOption(n);
}

bool CDlgWorkSpace::currentDevice(DeviceRecord*& r, int& subId) const {
    if (!tree_.selectedDevice(r, subId)) return false;
    if (subId > 0 && !r->slotWithId(subId)) return false;
    return true;
}

void CDlgWorkSpace::updateHeader() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!currentDevice(r, subId)) {
        name_->setText(QStringLiteral("NULL"));
        address_->clear();
        login_->setText(QString::fromStdString(CKNetCom2Global::Instance() ? CKNetCom2Global::Instance()->StringById(0xF016)
                                                                           : std::string()));
        subId_->clear();
        return;
    }
    auto* g = CKNetCom2Global::Instance();
    login_->setText(g ? QString::fromStdString(g->StringById(r->loggedIn ? 0xF015 : 0xF016)) : QString());
    address_->setText(QStringLiteral("Hid"));
    if (subId > 0) {
        const SubSlot* s = r->slotWithId(subId);
        name_->setText(QString::fromStdString(subModuleName(s->type, s->version)));
        subId_->setText(QString::number(subId));
    } else {
        name_->setText(QStringLiteral("VEXA-%1").arg(r->type, 4, 16, QLatin1Char('0')));
        subId_->clear();
    }
}

QString CDlgWorkSpace::headerText(int id) const {
    switch (id) {
        case 1035: return name_->text();
        case 1036: return login_->text();
        case 1037: return subId_->text();
        case 1038: return address_->text();
        default: return {};
    }
}

void CDlgWorkSpace::fillSubList() {
    subList_->clear();
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!currentDevice(r, subId)) return;
    for (const auto& s : r->subSlots)
        if (s.id != 0) new QTreeWidgetItem(subList_, {QString::number(s.id)});
}

void CDlgWorkSpace::loadSelected() {
    ++generation_;
    pendingConfig_ = pendingData_ = false;
    DeviceRecord* r = nullptr;
    int subId = -1;
    bool have = currentDevice(r, subId);
    // One page serves every module of a type: a page must never show another module's values.
    if (!have || r != shownRecord_ || subId != shownSub_) {
        if (gridA_) gridA_->resetToDefaults();
        if (gridB_) gridB_->resetToDefaults();
        failedReads_ = 0;
    }
    shownRecord_ = have ? r : nullptr;
    shownSub_ = have ? subId : -1;
    updateHeader();
    fillSubList();
    updateButtons();
    if (!have) return;
    refreshConfiguration();
}

void CDlgWorkSpace::refreshConfiguration() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!currentDevice(r, subId)) {
        message(0xF009, 0);
        return;
    }
    if (!r->loggedIn) {
        message(0xF014, 1);
        return;
    }
    std::vector<CatalogNode*> nodes = deviceRows(gridA_ ? gridA_->page() : nullptr, false);
    std::vector<RowRequest> requests;
    for (auto* n : nodes) requests.push_back({n->cmd, false});
    unsigned gen = generation_;
    pendingConfig_ = true;
    updateButtons();
    bool sub = subId > 0;
    thread_.run<ReadOutcome>(
        this,
        [r, subId, sub, requests] { return sub ? readSubProperties(*r, subId, requests) : readMainProperties(*r, requests); },
        [this, r, subId, sub, nodes, gen](ReadOutcome out) {
            if (gen != generation_) return;
            pendingConfig_ = false;
            updateHeader();
            RowMemory& rows = sub ? r->slotWithId(subId)->propertyRows : r->mainRows;
            if (out.rc != RC_OK) {
                // What was remembered no longer says what the module holds.
                rows.clear();
                if (gridA_) gridA_->resetToDefaults();
                message(0xF01B, 2);
                updateButtons();
                emit configurationRead(out.rc == RC_OK ? RC_FAILED : out.rc);
                return;
            }
            for (std::size_t i = 0; i < nodes.size() && i < out.rows.size(); ++i) {
                if (out.rows[i].rc != RC_OK) continue;
                CatalogNode* n = nodes[i];
                if (n->readonly != 2 && gridA_) showValue(gridA_, n, out.rows[i].text);
                rememberRow(rows, n, n->cmd, out.rows[i].text);
            }
            updateButtons();
            emit configurationRead(RC_OK);
            if (sub) refreshData();
        });
}

void CDlgWorkSpace::refreshData() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!currentDevice(r, subId) || subId <= 0) return;
    if (failedReads_ >= kMaxFailedReads) {
        failedReads_ = 0;
        setPeriodicRefresh(false);
        return;
    }
    std::vector<CatalogNode*> nodes = deviceRows(gridB_ ? gridB_->page() : nullptr, true);
    std::vector<RowRequest> requests;
    for (auto* n : nodes) requests.push_back({n->cmd, n->property == 1});
    unsigned gen = generation_;
    pendingData_ = true;
    updateButtons();
    thread_.run<ReadOutcome>(
        this, [r, subId, requests] { return readSubData(*r, subId, requests); },
        [this, r, subId, nodes, gen](ReadOutcome out) {
            if (gen != generation_) return;
            pendingData_ = false;
            updateButtons();
            if (out.noSub) {
                message(0xF01B, 2);
                emit dataRead(RC_FAILED);
                return;
            }
            if (out.rc != RC_OK) {
                ++failedReads_;
                emit dataRead(out.rc);
                return;
            }
            SubSlot* slot = r->slotWithId(subId);
            for (std::size_t i = 0; i < nodes.size() && i < out.rows.size(); ++i) {
                CatalogNode* n = nodes[i];
                std::string text;
                if (out.rows[i].rc == RC_OK)
                    text = out.rows[i].text;
                else if (!n->defaultval.empty())
                    text = n->defaultval;
                else
                    continue;  // nothing to show: keep what the row shows
                if (gridB_) showValue(gridB_, n, text);
                if (slot) rememberRow(slot->dataRows, n, n->cmd, text);
            }
            failedReads_ = 0;
            emit dataRead(RC_OK);
        });
}

void CDlgWorkSpace::setPeriodicRefresh(bool on) { periodic_->setChecked(on); }

bool CDlgWorkSpace::periodicRefresh() const { return periodic_->isChecked(); }

void CDlgWorkSpace::forgetDevices() {
    setPeriodicRefresh(false);
    ++generation_;
    pendingConfig_ = pendingData_ = false;
    shownRecord_ = nullptr;
    shownSub_ = -1;
    failedReads_ = 0;
    if (gridA_) gridA_->resetToDefaults();
    if (gridB_) gridB_->resetToDefaults();
    subList_->clear();
    updateHeader();
    updateButtons();
}

void CDlgWorkSpace::setColours(bool on, std::uint32_t slot1, std::uint32_t slot2) {
    coloursSet_ = true;
    colourOn_ = on;
    colour1_ = slot1;
    colour2_ = slot2;
    for (auto& [entry, g] : grids_) {
        if (g.a) g.a->setColours(on, slot1, slot2);
        if (g.b) g.b->setColours(on, slot1, slot2);
    }
}

void CDlgWorkSpace::updateButtons() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    bool have = currentDevice(r, subId);
    refreshConfig_->setEnabled(have && !pendingConfig_);
    refreshData_->setEnabled(have && subId > 0 && !pendingData_);
    periodic_->setEnabled(have && subId > 0);
}

}  // namespace vexadesk
