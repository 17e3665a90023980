#include "views/CDlgWorkSpace.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QDateTime>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QPointer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <VexaSdk.h>

#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"
#include "device/SubUpgrade.h"
#include "device/WriteOps.h"
#include "grid/CNetProGrid.h"
#include "views/CEqumentTree.h"
#include "views/CTrendView.h"

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
    // The live values as a grid and, while they refresh, as a trend over time.
    trend_ = new CTrendView;
    auto* tabs = new QTabWidget;
    tabs->setDocumentMode(true);
    tabs->addTab(stackB_, tr("数值"));
    tabs->addTab(trend_, tr("趋势"));
    dataLeft->addWidget(tabs, 1);
    auto* dataButtons = new QHBoxLayout;
    dataButtons->addWidget(periodic_);
    progress_ = new QProgressBar;
    progress_->setRange(0, kCommandPolls);
    progress_->setFormat(tr("等待模块 %v/%m"));
    progress_->setMinimumWidth(progress_->fontMetrics().horizontalAdvance(
                                   progress_->format().replace(QLatin1String("%v"), QLatin1String("10")).replace(
                                       QLatin1String("%m"), QLatin1String("10"))) + 40);
    progress_->setVisible(false);
    dataButtons->addWidget(progress_);
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

    connect(refreshConfig_, &QPushButton::clicked, this, &CDlgWorkSpace::refreshConfiguration);
    connect(refreshData_, &QPushButton::clicked, this, &CDlgWorkSpace::refreshData);
    connect(submit_, &QPushButton::clicked, this, &CDlgWorkSpace::submitConfiguration);
    connect(send_, &QPushButton::clicked, this, &CDlgWorkSpace::sendData);
    connect(rebootSub_, &QPushButton::clicked, this, &CDlgWorkSpace::rebootSubModule);
    connect(periodic_, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            timer_.start(kRefreshMs);
        else
            timer_.stop();
    });
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, [this] {
        // A read still under way is not piled up behind; a module being upgraded is not read.
        if (!pendingData_ && !subUpgradeRunning()) refreshData();
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
    // The rows post: the handlers run once the click has been processed.
    for (CNetProGrid* grid : {g.a, g.b}) {
        if (!grid) continue;
        connect(grid, &CNetProGrid::stateButtonClicked, this, &CDlgWorkSpace::toggleState, Qt::QueuedConnection);
        connect(grid, &CNetProGrid::sendDataClicked, this, &CDlgWorkSpace::runSendDataRow, Qt::QueuedConnection);
    }
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
    address_->setText(r->linkType == kLinkUsb ? QStringLiteral("Hid") : QString::fromStdString(couplerAddressText(*r)));
    if (subId > 0) {
        const SubSlot* s = r->slotWithId(subId);
        name_->setText(QString::fromStdString(subModuleName(s->type, s->version)));
        subId_->setText(QString::number(subId));
    } else {
        name_->setText(QStringLiteral("VEXA-%1").arg(shownType(r->type), 4, 16, QLatin1Char('0')));
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
        trend_->clear();
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
                // What was remembered no longer says what the module holds; the page keeps
                // what it showed.
                rows.clear();
                message(0xF01B, 2);
                updateButtons();
                emit configurationRead(out.rc == RC_OK ? RC_FAILED : out.rc);
                return;
            }
            for (std::size_t i = 0; i < nodes.size() && i < out.rows.size(); ++i) {
                if (out.rows[i].rc != RC_OK) continue;
                CatalogNode* n = nodes[i];
                if (n->readonly != 2 && gridA_) showValue(gridA_, n, out.rows[i].text);
                // A row that keeps its own value is remembered as shown, so an unchanged page
                // does not write it back.
                std::string shown = n->readonly == 2 && gridA_ ? gridA_->getValue(n) : out.rows[i].text;
                rememberRow(rows, n, n->cmd, shown);
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
            std::vector<CTrendView::Channel> samples;
            for (std::size_t i = 0; i < nodes.size() && i < out.rows.size(); ++i) {
                // Settings shown on the data page are no process values: they stay off the plot.
                if (out.rows[i].rc == RC_OK && nodes[i]->property != 1)
                    samples.push_back({nodes[i]->cmd, QString::fromStdString(nodes[i]->name), out.rows[i].text});
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
            // The trend samples what the periodic refresh reads anyway: no extra traffic.
            if (periodicRefresh()) trend_->addSample(QDateTime::currentMSecsSinceEpoch(), samples);
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
    bool idle = !commandRunning_;
    refreshConfig_->setEnabled(have && !pendingConfig_ && idle);
    submit_->setEnabled(have && idle);
    refreshData_->setEnabled(have && subId > 0 && !pendingData_ && idle);
    send_->setEnabled(have && subId > 0 && idle);
    rebootSub_->setEnabled(have && subId <= 0 && idle);
    periodic_->setEnabled(have && subId > 0);
}

// ---- writing ----

namespace {

std::string trimmed(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    std::size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// The grid and the memory are compared as they are written: trimmed, both of them.
bool unchanged(CNetProGrid* grid, const CatalogNode* n, const std::string& remembered) {
    return trimmed(grid->getValue(n)) == trimmed(remembered);
}

}  // namespace

bool CDlgWorkSpace::beginCommand() {
    if (commandRunning_) {
        if (auto* g = CKNetCom2Global::Instance())
            g->MessageBoxText(this, tr("上一个操作尚未完成，请稍候").toStdString(), 0, 0);
        return false;
    }
    commandRunning_ = true;
    updateButtons();
    return true;
}

void CDlgWorkSpace::endCommand(int rc, const QString& message) {
    commandRunning_ = false;
    progress_->setVisible(false);
    updateButtons();
    emit commandFinished(rc, message);
}

bool CDlgWorkSpace::loggedInOrSay(DeviceRecord* r) {
    if (r && r->loggedIn) return true;
    message(0xF014, 1);
    return false;
}

void CDlgWorkSpace::showPolls(int polls) {
    progress_->setVisible(true);
    progress_->setValue(polls);
}

void CDlgWorkSpace::submitConfiguration() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!currentDevice(r, subId)) {
        message(0xF009, 0);
        return;
    }
    auto* g = CKNetCom2Global::Instance();
    auto say = [g](int id) { return g ? QString::fromStdString(g->StringById(id)) : QString(); };
    if (subId <= 0) {
        if (!loggedInOrSay(r)) return;
        if (r->mainRows.empty() || !gridA_) {
            message(0xF00E, 0);
            return;
        }
        std::vector<RowWrite> rows;
        for (const auto& row : r->mainRows) {
            CatalogNode* n = row.node;
            if (row.key.empty() || n->readonly == 1 || unchanged(gridA_, n, row.text)) continue;
            rows.push_back({row.key, gridA_->getValue(n)});
        }
        if (rows.empty()) {
            message(0xF00F, 0);
            return;
        }
        if (!beginCommand()) return;
        std::string password = r->password;
        thread_.run<WriteOutcome>(
            this, [r, rows, password] { return submitMain(*r, rows, password); },
            [this, say](WriteOutcome out) {
                int id = out.rc == RC_OK ? 0xF023 : 0xF018;
                message(id, out.rc == RC_OK ? 0 : 2);
                endCommand(out.rc, say(id));
                refreshConfiguration();
            });
        return;
    }

    SubSlot* slot = r->slotWithId(subId);
    if (!loggedInOrSay(r)) return;
    if (!slot || slot->propertyRows.empty() || !gridA_) {
        message(0xF00E, 0);
        return;
    }
    std::vector<RowWrite> early, rest;
    for (auto& row : slot->propertyRows) {
        CatalogNode* n = row.node;
        if (n->readonly == 1) continue;
        if (n->modifyalway == 0 && unchanged(gridA_, n, row.text)) continue;
        std::string value = gridA_->getValue(n);
        (n->mdyearlier == 1 ? early : rest).push_back({row.key, value});
    }
    if (early.empty() && rest.empty()) {
        message(0xF00F, 0);
        return;
    }
    if (!beginCommand()) return;
    thread_.run<WriteOutcome>(
        this, [r, subId, early, rest] { return submitSub(*r, subId, early, rest); },
        [this, say](WriteOutcome out) {
            int id = out.rc == RC_OK ? 0xF023 : 0xF018;
            message(id, out.rc == RC_OK ? 0 : 2);
            endCommand(out.rc, say(id));
            refreshConfiguration();  // and the data after it
        });
}

void CDlgWorkSpace::sendData() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!currentDevice(r, subId) || subId <= 0) {
        message(0xF01D, 0);
        return;
    }
    if (!loggedInOrSay(r)) return;
    SubSlot* slot = r->slotWithId(subId);
    CatalogPage* page = gridB_ ? gridB_->page() : nullptr;
    bool anyItem = false;
    if (page)
        for (auto& n : page->nodes) anyItem = anyItem || !n->isCategory();
    if (!anyItem || !slot) {
        message(0xF00E, 0);
        return;
    }
    std::vector<RowWrite> properties, data;
    for (auto& up : page->nodes) {
        CatalogNode* n = up.get();
        if (n->isCategory() || n->editor != EditorKind::Plain || n->readonly == 1 || n->cmd.empty()) continue;
        RowMemory& memory = n->property == 1 ? slot->propertyRows : slot->dataRows;
        ShownRow* shown = findRow(memory, n->cmd);
        if (n->modifyalway == 0 && shown && unchanged(gridB_, n, shown->text)) continue;
        std::string value = gridB_->getValue(n);
        if (value.empty()) continue;
        (n->property == 1 ? properties : data).push_back({n->cmd, value});
    }
    if (properties.empty() && data.empty()) {
        message(0xF00F, 0);
        return;
    }
    if (!beginCommand()) return;
    thread_.run<WriteOutcome>(
        this, [r, subId, properties, data] { return sendSub(*r, subId, properties, data); },
        [this](WriteOutcome out) {
            auto* g = CKNetCom2Global::Instance();
            QString text;
            if (out.rc != RC_OK) {
                message(0xF018, 2);
                if (g) text = QString::fromStdString(g->StringById(0xF018));
            }
            endCommand(out.rc, text);
            refreshConfiguration();
        });
}

void CDlgWorkSpace::toggleState(CatalogNode* node) {
    DeviceRecord* r = nullptr;
    int subId = -1;
    CNetProGrid* grid = node && node->row ? (gridB_ && gridB_->indexOfNode(node) >= 0 ? gridB_ : gridA_) : nullptr;
    if (!grid || !currentDevice(r, subId) || subId <= 0) return;
    if (!loggedInOrSay(r)) return;
    SubSlot* slot = r->slotWithId(subId);
    if (!slot || slot->dataRows.empty()) {
        message(0xF00E, 0);
        return;
    }
    bool on = grid->stateOn(node);
    std::string key = node->cmd, text = on ? "0" : "1";
    if (!beginCommand()) return;
    thread_.run<WriteOutcome>(
        this, [r, subId, key, text] { return writeSubData(*r, subId, key, text); },
        [this, grid, node, on](WriteOutcome out) {
            if (out.rc == RC_OK && grid->indexOfNode(node) >= 0) grid->setStateOn(node, !on);
            endCommand(out.rc, QString());
            refreshData();
        });
}

void CDlgWorkSpace::runSendDataRow(CatalogNode* node) {
    DeviceRecord* r = nullptr;
    int subId = -1;
    CNetProGrid* grid = node ? (gridB_ && gridB_->indexOfNode(node) >= 0 ? gridB_ : gridA_) : nullptr;
    if (!grid || grid->indexOfNode(node) < 0 || !currentDevice(r, subId) || subId <= 0) return;
    if (!loggedInOrSay(r)) return;
    CommandKind kind = commandFor(node->cmd);
    std::string key = node->cmd, text = grid->getValue(node);
    QDate today = QDate::currentDate();
    std::string date = QStringLiteral("%1-%2-%3")
                           .arg(today.year() % 100, 2, 10, QLatin1Char('0'))
                           .arg(today.month(), 2, 10, QLatin1Char('0'))
                           .arg(today.day(), 2, 10, QLatin1Char('0'))
                           .toStdString();
    if (!beginCommand()) return;
    QPointer<CDlgWorkSpace> self(this);
    CDeviceThread* thread = &thread_;
    auto progress = [self, thread](int polls) {
        thread->deliver([self, polls] { if (self) self->showPolls(polls); });
    };
    thread_.run<CommandOutcome>(
        this, [r, subId, kind, key, text, date, progress] { return runCommand(*r, subId, kind, key, text, date, progress); },
        [this, kind](CommandOutcome out) {
            QString text;
            if (out.polled) {
                if (!out.succeeded)
                    text = tr("校准失败");
                else if (kind == CommandKind::CalibrateRanges)
                    text = calibrationReport(out.report);
                else
                    text = tr("校准成功");
                if (auto* g = CKNetCom2Global::Instance())
                    g->MessageBoxText(this, text.toStdString(), out.succeeded ? 0 : 2, 0);
            } else if (out.rc != RC_OK) {
                message(0xF018, 2);
                if (auto* g = CKNetCom2Global::Instance()) text = QString::fromStdString(g->StringById(0xF018));
            }
            endCommand(out.rc, text);
            refreshData();
        });
}

QString CDlgWorkSpace::calibrationReport(unsigned word) const {
    auto result = [this, word](unsigned bit) { return (word & bit) ? tr("成功") : tr("不成功"); };
    QString text = tr("校准完成\n");
    text += tr("10V量程校准    %1\n").arg(result(0x200));
    text += tr("5V量程校准     %1\n").arg(result(0x100));
    for (int i = 0; i < 8; ++i) text += tr("采样电阻%1校准  %2\n").arg(i + 1).arg(result(1u << i));
    return text;
}

void CDlgWorkSpace::rebootSubModule() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!currentDevice(r, subId) || subId > 0) {
        message(0xF01C, 0);
        return;
    }
    QTreeWidgetItem* row = subList_->currentItem();
    if (!row) {
        message(0xF009, 0);  // nothing chosen in the list: nothing is sent
        return;
    }
    int id = row->text(0).toInt();
    if (!beginCommand()) return;
    thread_.run<int>(
        this, [r, id] { return rebootSub(*r, id); },
        [this](int rc) {
            if (rc != RC_OK) message(0xF018, 2);
            endCommand(rc, QString());
        });
}

void CDlgWorkSpace::rebootCoupler() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!currentDevice(r, subId) || subId > 0) {
        message(0xF01C, 0);
        return;
    }
    if (!loggedInOrSay(r)) return;
    if (!beginCommand()) return;
    thread_.run<int>(
        this, [r] { return rebootMain(*r); },
        [this](int rc) {
            if (rc != RC_OK) message(0xF018, 2);
            endCommand(rc, QString());
        });
}

}  // namespace vexadesk
