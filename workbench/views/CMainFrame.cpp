#include "views/CMainFrame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"
#include "dialogs/CDlgLogin.h"
#include "dialogs/CDlgRackConfig.h"
#include "dialogs/CDlgSearchKind.h"
#include "dialogs/CDlgSetColor.h"
#include "dialogs/CDlgUsbSearch.h"
#include "dialogs/CUsbDownDlg.h"
#include "device/SubUpgrade.h"
#include "views/CDlgWorkSpace.h"
#include "views/CEqumentTree.h"
#include "views/CVexaDeskView.h"

namespace vexadesk {

namespace {
constexpr int kPaneWidth = 240;
constexpr const char* kLayoutSection = "CommandBars";
}

CMainFrame::CMainFrame(CDeviceThread& thread, QWidget* parent)
    : QMainWindow(parent), thread_(thread), tree_(new CEqumentTree), dock_(new QDockWidget(QStringLiteral("Searched dev"))) {
    setWindowTitle(QStringLiteral("VexaDesk"));
    setMinimumSize(720, 560);
    view_ = new CVexaDeskView(thread_, *tree_);
    setCentralWidget(view_);

    dock_->setObjectName(QStringLiteral("SearchedDev"));
    dock_->setWidget(tree_);
    dock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::LeftDockWidgetArea, dock_);
    resizeDocks({dock_}, {kPaneWidth}, Qt::Horizontal);

    for (int i = 0; i < 4; ++i) {
        panes_[i] = new QLabel;
        panes_[i]->setMinimumWidth(i == 0 ? 160 : 80);
        if (i == 0)
            statusBar()->addWidget(panes_[i], 1);
        else
            statusBar()->addPermanentWidget(panes_[i]);
    }
    panes_[0]->setText(tr("就绪"));
    panes_[2]->setText(tr("空闲"));

    buildCommands();

    tree_->setLoginGate([this](DeviceRecord& r) {
        CDlgLogin dlg(r, thread_, this);
        return dlg.exec() == QDialog::Accepted;
    });
    // The tree posts: the view and the workspace act once the selection change is processed.
    connect(tree_, &CEqumentTree::showPage, view_, &CVexaDeskView::onShowPage, Qt::QueuedConnection);
    connect(tree_, &CEqumentTree::loadDevice, view_->workspace(), [this] { view_->workspace()->loadSelected(); },
            Qt::QueuedConnection);
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this] { updateCommands(); });
    connect(&thread_, &CDeviceThread::busyChanged, this, [this](bool busy) {
        panes_[2]->setText(busy ? tr("通信中…") : tr("空闲"));
        updateCommands();
    });

    restoreLayout();
    applyStoredColours();
    updateCommands();
}

CMainFrame::~CMainFrame() {
    // The tree's records go with this window: no device job may still be using them.
    thread_.waitIdle();
}

QAction* CMainFrame::command(int id) const {
    auto it = commands_.find(id);
    return it == commands_.end() ? nullptr : it->second;
}

QAction* CMainFrame::addCommand(QMenu* menu, int id, const QString& text, const QIcon& icon) {
    auto* a = menu->addAction(icon, text);
    a->setData(id);
    a->setObjectName(QStringLiteral("cmd_%1").arg(id, 4, 16));
    commands_[id] = a;
    return a;
}

void CMainFrame::buildCommands() {
    QStyle* s = style();
    menuBar()->setObjectName(QStringLiteral("MenuBar"));
    QMenu* module = menuBar()->addMenu(tr("模块(&M)"));
    connect(addCommand(module, ID_SEARCH, tr("搜索模块(&F)"), s->standardIcon(QStyle::SP_BrowserReload)),
            &QAction::triggered, this, &CMainFrame::onSearch);
    addCommand(module, ID_SEARCH_TARGETED, tr("定向搜索(&T)"))->setEnabled(false);
    connect(addCommand(module, ID_GET_INFO, tr("获取信息(&I)"), s->standardIcon(QStyle::SP_FileDialogInfoView)),
            &QAction::triggered, this, &CMainFrame::onGetInfo);
    connect(addCommand(module, ID_CLEAR_LIST, tr("清除模块列表(&C)"), s->standardIcon(QStyle::SP_DialogResetButton)),
            &QAction::triggered, this, &CMainFrame::onClearList);
    connect(addCommand(module, ID_LOGIN, tr("登录模块(&L)"), s->standardIcon(QStyle::SP_DialogApplyButton)),
            &QAction::triggered, this, &CMainFrame::onLogin);
    module->addSeparator();
    addCommand(module, ID_REBOOT, tr("重启模块(&R)"));
    module->addSeparator();
    connect(module->addAction(tr("退出(&X)")), &QAction::triggered, this, &QWidget::close);

    QMenu* config = menuBar()->addMenu(tr("配置(&C)"));
    addCommand(config, ID_DOWNLOAD_CONFIG, tr("下载配置(&D)"));
    addCommand(config, ID_DOWNLOAD_IO, tr("USB主站下载IO配置(&O)"));
    config->addSeparator();
    connect(addCommand(config, ID_RACK_CONFIG, tr("备份与恢复(&B)")), &QAction::triggered, this, &CMainFrame::onRackConfig);

    QMenu* upgrade = menuBar()->addMenu(tr("升级(&U)"));
    addCommand(upgrade, ID_UPGRADE_MAIN, tr("通信模块固件升级(&U)"));
    addCommand(upgrade, ID_UPGRADE_SUB, tr("采集模块固件升级(&S)"));

    QMenu* viewMenu = menuBar()->addMenu(tr("视图(&V)"));
    QAction* pane = dock_->toggleViewAction();
    pane->setText(tr("设备栏(&P)"));
    pane->setData(ID_SHOW_PANE);
    commands_[ID_SHOW_PANE] = pane;
    viewMenu->addAction(pane);
    connect(addCommand(viewMenu, ID_COLOURS, tr("颜色设置(&O)")), &QAction::triggered, this, &CMainFrame::onColours);
    QMenu* language = viewMenu->addMenu(tr("语言(&L)"));
    if (auto* g = CKNetCom2Global::Instance()) {
        auto* group = new QActionGroup(language);
        const auto& langs = g->Languages();
        for (std::size_t i = 0; i < langs.size(); ++i) {
            QAction* a = language->addAction(QString::fromStdString(langs[i].displayName));
            a->setCheckable(true);
            a->setChecked(static_cast<int>(i) == g->Selected());
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, i] {
                auto* gl = CKNetCom2Global::Instance();
                if (!gl || static_cast<int>(i) == gl->Selected()) return;
                gl->setSelected(static_cast<int>(i));
                gl->MessageBoxText(this, tr("语言将在下次启动时生效").toStdString(), 0, 0);
            });
        }
    }

    QMenu* help = menuBar()->addMenu(tr("帮助(&H)"));
    connect(help->addAction(tr("关于(&A)")), &QAction::triggered, this, &CMainFrame::onAbout);

    QToolBar* bar = addToolBar(tr("工具栏"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (int id : {ID_SEARCH, ID_GET_INFO, ID_LOGIN, ID_CLEAR_LIST}) bar->addAction(command(id));

    connect(command(ID_REBOOT), &QAction::triggered, this, [this] { view_->workspace()->rebootCoupler(); });
    // Commands with modal screens of their own: the periodic refresh stops first, so it never
    // runs underneath them (connected first, so it runs before the command's own handler).
    for (int id : {ID_UPGRADE_MAIN, ID_UPGRADE_SUB, ID_DOWNLOAD_CONFIG, ID_DOWNLOAD_IO, ID_RACK_CONFIG})
        connect(command(id), &QAction::triggered, this, [this] { view_->workspace()->setPeriodicRefresh(false); });
    connect(command(ID_UPGRADE_MAIN), &QAction::triggered, this, &CMainFrame::onUpgradeCoupler);
    connect(command(ID_UPGRADE_SUB), &QAction::triggered, this, &CMainFrame::onUpgradeSubModule);
    connect(command(ID_DOWNLOAD_CONFIG), &QAction::triggered, this, &CMainFrame::onDownloadConfig);
    connect(command(ID_DOWNLOAD_IO), &QAction::triggered, this, &CMainFrame::onDownloadIo);
}

void CMainFrame::updateCommands() {
    bool idle = !listChanging_;
    command(ID_SEARCH)->setEnabled(idle);
    command(ID_CLEAR_LIST)->setEnabled(idle);
    DeviceRecord* r = nullptr;
    int subId = -1;
    bool selected = tree_->selectedDevice(r, subId);
    command(ID_GET_INFO)->setEnabled(idle);
    command(ID_LOGIN)->setEnabled(idle);
    command(ID_REBOOT)->setEnabled(idle && selected && subId <= 0);
    // The coupler image download and the mapping commands are the USB coupler's.
    // (The RS-485 coupler's own image goes through the upgrade library's Modbus plug-in.)
    const bool noImage = selected && r->linkType == kLinkEthernet;
    command(ID_UPGRADE_MAIN)->setEnabled(idle && !noImage);
    command(ID_UPGRADE_SUB)->setEnabled(idle && !subUpgradeRunning());
    bool coupler = selected && subId <= 0 && r->type == kUsbCouplerType;
    command(ID_DOWNLOAD_CONFIG)->setEnabled(idle && coupler);
    command(ID_DOWNLOAD_IO)->setEnabled(idle && coupler);
    command(ID_RACK_CONFIG)->setEnabled(idle && selected);
    if (selected) {
        QString text = QString::fromStdString(subId > 0 ? subNodeText(*r->slotWithId(subId)) : couplerNodeText(*r));
        panes_[1]->setText(text);
    } else {
        panes_[1]->setText(tr("未选择模块"));
    }
}

void CMainFrame::setSourceNote(const QString& text) {
    panes_[3]->setText(text);
    panes_[0]->setText(text);
}

QString CMainFrame::statusPane(int i) const { return i >= 0 && i < 4 ? panes_[i]->text() : QString(); }

void CMainFrame::onSearch() {
    CDlgSearchKind kind(this);
    if (kind.exec() != QDialog::Accepted) return;
    runSearch(kind.request(), 0);
}

void CMainFrame::onSearchQuick(const SearchRequest& request) {
    runSearch(request, request.kind == kLinkUsb ? 1500 : 0);
}

void CMainFrame::runSearch(const SearchRequest& request, int autoStopMs) {
    CDlgWorkSpace* ws = view_->workspace();
    ws->setPeriodicRefresh(false);
    // What this search finds replaces what an earlier one found there; other kinds stay.
    dropRecords([&request](const DeviceRecord& r) { return covers(request, r); });
    CDlgUsbSearch dlg(thread_, this, request);
    dlg.setAutoStop(autoStopMs);
    dlg.exec();
    tree_->addRecords(dlg.takeResults());
    panes_[0]->setText(tr("找到 %1 个通信模块").arg(tree_->records().size()));
    updateCommands();
}

void CMainFrame::adoptRecords(std::vector<std::unique_ptr<DeviceRecord>> records) {
    int couplers = static_cast<int>(records.size());
    tree_->setRecords(std::move(records));
    panes_[0]->setText(tr("找到 %1 个通信模块").arg(couplers));
    updateCommands();
}

void CMainFrame::dropRecords(const std::function<bool(const DeviceRecord&)>& drop) {
    listChanging_ = true;
    updateCommands();
    std::vector<DeviceRecord*> open;
    for (const auto& r : tree_->records())
        if (drop(*r)) open.push_back(r.get());
    DeviceRecord* shown = nullptr;
    int subId = -1;
    const bool selectedGoes = tree_->selectedDevice(shown, subId) && drop(*shown);
    if (!open.empty()) {
        if (selectedGoes) view_->workspace()->forgetDevices();
        thread_.post([open] {
            for (DeviceRecord* r : open) closeDevice(*r);
        });
        // The records go away below: nothing on the device thread may still use them.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        thread_.waitIdle();
        QApplication::restoreOverrideCursor();
        tree_->removeRecords(drop);
    }
    if (selectedGoes) {
        auto* g = CKNetCom2Global::Instance();
        view_->onShowPage(g ? g->DefaultDeviceType() : 0, 0);
    }
    listChanging_ = false;
    updateCommands();
}

void CMainFrame::onClearList() {
    view_->workspace()->forgetDevices();
    dropRecords([](const DeviceRecord&) { return true; });
    tree_->clearRecords();
    auto* g = CKNetCom2Global::Instance();
    view_->onShowPage(g ? g->DefaultDeviceType() : 0, 0);
    updateCommands();
}

void CMainFrame::onGetInfo() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!tree_->selectedDevice(r, subId)) {
        if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxById(this, 0xF009, 0, 0);
        return;
    }
    tree_->reselect();
}

void CMainFrame::onLogin() {
    DeviceRecord* r = nullptr;
    int subId = -1;
    if (!tree_->selectedDevice(r, subId)) {
        if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxById(this, 0xF009, 0, 0);
        return;
    }
    bool wasLoggedIn = r->loggedIn;
    CDlgLogin dlg(*r, thread_, this);
    if (dlg.exec() == QDialog::Accepted && !wasLoggedIn) tree_->reselect();
}

DeviceRecord* CMainFrame::selectedForCommand(Selection need) {
    auto say = [this](int id, int kind) {
        if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxById(this, id, kind, 0);
    };
    DeviceRecord* r = nullptr;
    int subId = -1;
    bool selected = tree_->selectedDevice(r, subId);
    switch (need) {
        case Selection::Coupler:
            if (!selected) return say(0xF009, 0), nullptr;
            if (subId > 0) return say(0xF01C, 0), nullptr;
            break;
        case Selection::UsbCoupler:
            if (!selected || subId > 0 || r->type != kUsbCouplerType) return say(0xF01C, 0), nullptr;
            break;
        case Selection::SubModule:
            if (!selected || subId <= 0) return say(0xF01D, 0), nullptr;
            break;
        case Selection::Rack:  // a coupler or one of its sub modules
            if (!selected) return say(0xF009, 0), nullptr;
            break;
    }
    if (!r->loggedIn) return say(0xF014, 1), nullptr;
    return r;
}

void CMainFrame::onUpgradeCoupler() {
    DeviceRecord* r = selectedForCommand(Selection::Coupler);
    if (!r) return;
    runCouplerUpgrade(this, thread_, *r);
    view_->workspace()->loadSelected();
}

void CMainFrame::onUpgradeSubModule() {
    DeviceRecord* r = selectedForCommand(Selection::SubModule);
    if (!r) return;
    int subId = -1;
    tree_->selectedDevice(r, subId);
    updateCommands();
    runSubUpgrade(this, thread_, *r, subId, [this, r](int) {
        // What the sub modules report may have changed (a module left its boot loader).
        thread_.run<int>(
            this, [r] { return listSubModules(*r); },
            [this, r](int) {
                tree_->updateRecord(r);
                updateCommands();
                view_->workspace()->loadSelected();
            });
    });
}

void CMainFrame::onDownloadConfig() {
    DeviceRecord* r = selectedForCommand(Selection::UsbCoupler);
    if (!r) return;
    CUsbDownDlg dlg(*r, thread_, this);
    dlg.exec();
}

void CMainFrame::onDownloadIo() {
    DeviceRecord* r = selectedForCommand(Selection::UsbCoupler);
    if (!r) return;
    thread_.run<int>(
        this, [r] { return downloadIo(*r); },
        [this](int rc) {
            auto* g = CKNetCom2Global::Instance();
            if (!g) return;
            if (rc != 0)
                g->MessageBoxText(this, tr("下载IO出错 err=%1").arg(rc).toStdString(), 2, 0);
            else
                g->MessageBoxText(this, tr("下载IO配置成功").toStdString(), 0, 0);
        });
}

void CMainFrame::onRackConfig() {
    DeviceRecord* r = selectedForCommand(Selection::Rack);
    if (!r) return;
    CDlgRackConfig dlg(*r, thread_, this);
    dlg.exec();
    // A restore may have changed what the pages show.
    view_->workspace()->loadSelected();
}

void CMainFrame::applyStoredColours() {
    auto* g = CKNetCom2Global::Instance();
    if (!g) return;
    int show = 0, c0 = 0, c1 = 0;
    g->Settings().GetInt("SHOW_COL", "show_col", show, false, 0);
    g->Settings().GetInt("SHOW_COL", "col_0", c0, true, 0);
    g->Settings().GetInt("SHOW_COL", "col_1", c1, true, 0);
    view_->workspace()->setColours(show != 0, CDlgSetColor::toPlatform(static_cast<std::uint32_t>(c0)),
                                   CDlgSetColor::toPlatform(static_cast<std::uint32_t>(c1)));
}

void CMainFrame::onColours() {
    CDlgSetColor dlg(this);
    dlg.exec();
    // OK stored the new choice; Cancel leaves the stored one: either way the pages follow it.
    applyStoredColours();
}

void CMainFrame::onAbout() {
    std::string text;
    if (auto* g = CKNetCom2Global::Instance()) g->Settings().GetString("ver", "ver", text, 259);
    if (text.empty()) text = "VexaDesk";
    QMessageBox::about(this, tr("关于"), QString::fromStdString(text));
}

void CMainFrame::restoreLayout() {
    auto* g = CKNetCom2Global::Instance();
    if (!g) return;
    std::string state;
    if (g->Settings().GetString(kLayoutSection, "State", state, 4096) )
        restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state)));
    std::string geometry;
    if (!g->Settings().GetString(kLayoutSection, "Geometry", geometry, 4096) ||
        !restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(geometry))))
        resize(1100, 720);
}

void CMainFrame::saveLayout() {
    auto* g = CKNetCom2Global::Instance();
    if (!g) return;
    g->Settings().WriteString(kLayoutSection, "State", saveState().toBase64().toStdString());
    g->Settings().WriteString(kLayoutSection, "Geometry", saveGeometry().toBase64().toStdString());
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    saveLayout();
    view_->workspace()->forgetDevices();
    std::vector<DeviceRecord*> open;
    for (const auto& r : tree_->records()) open.push_back(r.get());
    thread_.post([open] {
        for (DeviceRecord* r : open) closeDevice(*r);
    });
    thread_.waitIdle();
    QMainWindow::closeEvent(e);
}

}  // namespace vexadesk
