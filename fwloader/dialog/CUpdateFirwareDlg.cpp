#include "CUpdateFirwareDlg.h"

#include <QCoreApplication>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <chrono>
#include <cstdio>

#include "FwLoader.h"
#include "FwLoaderTexts.h"

namespace {

// A text of the upgrade library in the user's language: the host program's default locale (the
// workbench sets it to the language chosen there; elsewhere it follows the environment).
QString libraryText(const char* text) {
    const bool chinese = QLocale().language() == QLocale::Chinese;
    return QString::fromStdString(vexa::fwtext::localized(text, chinese));
}

constexpr int kProgressMax = 10000;
constexpr int kProgressTickMs = 5;
constexpr int kAttemptPauseMs = 500;
constexpr int kStartAttempts = 3;
constexpr int kNameBuffer = KB_NAME_SIZE;

// The dialog's one message to itself, with the event as `what` and its argument as `value`.
class DlgEvent : public QEvent {
public:
    static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 100);
    DlgEvent(int w, long v, std::vector<CUpdateFirwareDlg::Row> r)
        : QEvent(kType), what(w), value(v), rows(std::move(r)) {}
    int what;
    long value;
    std::vector<CUpdateFirwareDlg::Row> rows;
};

struct Column {
    const char* title;
    int width;
};
constexpr Column kColumns[] = {{"索引", 45},     {"设备系列", 85}, {"设备型号", 110},
                               {"序列号", 75},   {"硬件版本", 70}, {"固件版本", 70}};

QString hex(const char* fmt, unsigned a, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, a, b, c, d);
    return QString::fromLatin1(buf);
}

QString seriesText(std::uint32_t v) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((v >> shift) & 0xFF);
        s += QChar::fromLatin1(c >= 0x20 && c < 0x7F ? c : '?');
    }
    return s;
}

QString versionText(std::uint16_t v) { return hex("%x.%02x", v >> 8, v & 0xFF); }

CUpdateFirwareDlg::Row deviceRow(int index, const BootDeviceInfo& info) {
    return {index,
            {QString::number(index), seriesText(info.series), hex("0x%08x", info.model),
             hex("%02x%02x%02x%02x", info.serial[0], info.serial[1], info.serial[2], info.serial[3]),
             versionText(info.hardwareVersion), versionText(info.firmwareVersion)}};
}

}  // namespace

CUpdateFirwareDlg::CUpdateFirwareDlg(const char* commName, const char* path, void* openParams, QWidget* parent)
    : QDialog(parent), openParams_(openParams), filePath_(path ? QString::fromUtf8(path) : QString()) {
    setObjectName("CUpdateFirwareDlg");
    setWindowTitle(QCoreApplication::translate("CUpdateFirwareDlg", "固件升级"));

    plugins_ = new QComboBox(this);
    plugins_->setObjectName("plugins");
    config_ = new QPushButton(QCoreApplication::translate("CUpdateFirwareDlg", "配置"), this);
    config_->setObjectName("config");
    search_ = new QPushButton(QCoreApplication::translate("CUpdateFirwareDlg", "搜索"), this);
    search_->setObjectName("search");
    exit_ = new QPushButton(QCoreApplication::translate("CUpdateFirwareDlg", "退出"), this);
    exit_->setObjectName("exit");
    exit_->setAutoDefault(false);

    auto* deviceBox = new QGroupBox(QCoreApplication::translate("CUpdateFirwareDlg", "设备信息"), this);
    devices_ = new QTreeWidget(deviceBox);
    devices_->setObjectName("devices");
    devices_->setRootIsDecorated(false);
    devices_->setSelectionMode(QAbstractItemView::SingleSelection);
    devices_->setColumnCount(static_cast<int>(std::size(kColumns)));
    QStringList titles;
    for (const Column& c : kColumns) titles << QCoreApplication::translate("CUpdateFirwareDlg", c.title);
    devices_->setHeaderLabels(titles);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) devices_->setColumnWidth(i, kColumns[i].width);
    (new QVBoxLayout(deviceBox))->addWidget(devices_);

    auto* fileBox = new QGroupBox(QCoreApplication::translate("CUpdateFirwareDlg", "选择升级文件"), this);
    path_ = new QLineEdit(filePath_, fileBox);
    path_->setObjectName("path");
    path_->setReadOnly(true);
    browse_ = new QPushButton(QStringLiteral(">>"), fileBox);
    browse_->setObjectName("browse");
    upgrade_ = new QPushButton(QCoreApplication::translate("CUpdateFirwareDlg", "升级"), fileBox);
    upgrade_->setObjectName("upgrade");
    upgrade_->setEnabled(false);
    auto* fileRow = new QHBoxLayout(fileBox);
    fileRow->addWidget(path_, 1);
    fileRow->addWidget(browse_);
    fileRow->addWidget(upgrade_);

    progress_ = new QProgressBar(this);
    progress_->setObjectName("progress");
    progress_->setRange(0, kProgressMax);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(kProgressTickMs);

    auto* top = new QHBoxLayout;
    top->addWidget(plugins_, 1);
    top->addWidget(config_);
    top->addWidget(search_);
    top->addWidget(exit_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(deviceBox, 1);
    layout->addWidget(fileBox);
    layout->addWidget(progress_);
    resize(560, 300);

    connect(config_, &QPushButton::clicked, this, [this] { onConfig(); });
    connect(search_, &QPushButton::clicked, this, [this] { post(kOpenAndSearch, 1); });
    connect(exit_, &QPushButton::clicked, this, [this] { reject(); });
    connect(browse_, &QPushButton::clicked, this, [this] { onBrowse(); });
    connect(upgrade_, &QPushButton::clicked, this, [this] { onUpgrade(); });
    connect(devices_, &QTreeWidget::itemSelectionChanged, this, [this] { updateControls(); });
    connect(progressTimer_, &QTimer::timeout, this,
            [this] { progress_->setValue(KB_GetUpdateFirwareProgress(upgradeDevice_)); });

    // Every plug-in with a name; the preset one fixes the choice.
    const int count = KB_GetCommDeviceList(nullptr, 0);
    const QString preset = commName ? QString::fromUtf8(commName) : QString();
    for (int i = 0; i < count; ++i) {
        char name[kNameBuffer] = {};
        if (KB_GetCommDeviceList(name, i) != 1) continue;
        plugins_->addItem(QString::fromUtf8(name), i);
    }
    const int found = preset.isEmpty() ? -1 : plugins_->findText(preset);
    if (found >= 0) {
        plugins_->setCurrentIndex(found);
        plugins_->setEnabled(false);
        setSearchButtonsVisible(false);
    }
    updateControls();
    post(kOpenAndSearch, kStartAttempts);
}

CUpdateFirwareDlg::~CUpdateFirwareDlg() {
    stopping_ = true;
    if (worker_.joinable()) worker_.join();
}

void CUpdateFirwareDlg::reject() {
    if (mode_ != kIdle) return;
    KB_ResetDevice(selectedDevice());
    KB_CloseCommDevice(selectedPlugin());
    QDialog::reject();
}

void CUpdateFirwareDlg::post(int what, long value, std::vector<Row> rows) {
    QCoreApplication::postEvent(this, new DlgEvent(what, value, std::move(rows)));
}

bool CUpdateFirwareDlg::event(QEvent* e) {
    if (e->type() != DlgEvent::kType) return QDialog::event(e);
    auto* d = static_cast<DlgEvent*>(e);
    onEvent(d->what, d->value, d->rows);
    return true;
}

void CUpdateFirwareDlg::onEvent(int what, long value, std::vector<Row>& rows) {
    switch (what) {
    case kOpenAndSearch:
        openAndSearch(static_cast<int>(value));
        break;
    case kSearchFinished:
        showList(rows);
        if (value == 0 || selectedDevice() < 0) setSearchButtonsVisible(true);
        break;
    case kUpgradeStarted:
        progress_->setRange(0, kProgressMax);
        progress_->setValue(0);
        progressTimer_->start();
        break;
    case kUpgradeFinished:
        progressTimer_->stop();
        progress_->setValue(kProgressMax);
        updateControls();
        if (value == 1) {
            KB_CloseCommDevice(upgradePlugin_);
            post(kOpenAndSearch, kStartAttempts);
            message(libraryText(vexa::fwtext::kDone.chinese));
        } else {
            char text[KB_ERR_TEXT_SIZE] = {};
            KB_GetErrInfo(upgradeDevice_, text);
            message(libraryText(text));
        }
        break;
    default:
        break;
    }
    updateControls();
}

void CUpdateFirwareDlg::openAndSearch(int attempts) {
    // The plug-in is not reopened under a search or an upgrade that uses it.
    if (mode_ != kIdle) return;
    const int plugin = selectedPlugin();
    if (KB_OpenCommDevice(plugin, openParams_) == 0) {
        setSearchButtonsVisible(true);
        message(QCoreApplication::translate("CUpdateFirwareDlg", "打开设备失败"));
        return;
    }
    mode_ = kSearching;
    startWorker(std::thread([this, plugin, attempts] { searchWorker(plugin, attempts); }));
    updateControls();
}

void CUpdateFirwareDlg::searchWorker(int plugin, int attempts) {
    post(kSearchStarted, 0);
    std::vector<Row> rows;
    for (int attempt = 0; attempt < std::max(attempts, 1) && !stopping_; ++attempt) {
        if (attempt > 0) {
            // Short slices, so that closing the dialog does not wait for the whole pause.
            for (int waited = 0; waited < kAttemptPauseMs && !stopping_; waited += 20)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        rows.clear();
        const int count = KB_SearchDevice(plugin);
        for (int i = 0; i < count && !stopping_; ++i) {
            BootDeviceInfo info{};
            if (KB_GetDeviceInfo(i, &info) == 1) rows.push_back(deviceRow(i, info));
        }
        if (!rows.empty()) break;
    }
    if (rows.empty()) rows.push_back({-1, {QCoreApplication::translate("CUpdateFirwareDlg", "未找到"), QCoreApplication::translate("CUpdateFirwareDlg", "需升级设备")}});
    const long found = rows.front().device < 0 ? 0 : static_cast<long>(rows.size());
    mode_ = kIdle;
    post(kSearchFinished, found, std::move(rows));
}

void CUpdateFirwareDlg::onUpgrade() {
    filePath_ = path_->text();
    const int device = selectedDevice();
    if (filePath_.isEmpty() || mode_ != kIdle || devices_->topLevelItemCount() == 0 || device < 0) return;
    // A file that is no upgrade file never reaches a device.
    const QByteArray path = filePath_.toUtf8();
    char text[KB_ERR_TEXT_SIZE] = {};
    if (KB_CheckUpgradeFile(path.constData(), text) != KB_FW_OK) {
        message(libraryText(text));
        return;
    }
    upgradeDevice_ = device;
    upgradePlugin_ = selectedPlugin();
    mode_ = kUpgrading;
    updateControls();
    startWorker(std::thread([this, device, path] {
        post(kUpgradeStarted, 0);
        const int r = KB_UpdateFirware(device, path.constData());
        mode_ = kIdle;
        post(kUpgradeFinished, r);
    }));
}

void CUpdateFirwareDlg::onBrowse() {
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), filePath_,
                                                        QStringLiteral("Upf Files (*.upf);;All Files (*)"));
    if (chosen.isEmpty()) return;
    filePath_ = chosen;
    path_->setText(chosen);
    updateControls();
}

void CUpdateFirwareDlg::onConfig() {
    if (mode_ != kIdle) return;
    KB_ConfigCommDevice(selectedPlugin(), nullptr);
}

void CUpdateFirwareDlg::showList(const std::vector<Row>& rows) {
    devices_->clear();
    for (const Row& r : rows) {
        auto* item = new QTreeWidgetItem(devices_, r.texts);
        item->setData(0, Qt::UserRole, r.device);
    }
}

void CUpdateFirwareDlg::updateControls() {
    const bool idle = mode_ == kIdle;
    const bool device = selectedDevice() >= 0;
    upgrade_->setEnabled(idle && device && !path_->text().isEmpty());
    browse_->setEnabled(idle && device);
    exit_->setEnabled(idle);
    search_->setEnabled(idle);
    config_->setEnabled(idle);
}

void CUpdateFirwareDlg::setSearchButtonsVisible(bool visible) {
    config_->setVisible(visible);
    search_->setVisible(visible);
}

void CUpdateFirwareDlg::message(const QString& text) {
    QMessageBox::information(this, windowTitle(), text);
}

int CUpdateFirwareDlg::selectedPlugin() const {
    const QVariant v = plugins_->currentData();
    return v.isValid() ? v.toInt() : -1;
}

int CUpdateFirwareDlg::selectedDevice() const {
    if (devices_->topLevelItemCount() == 0) return -1;
    const QList<QTreeWidgetItem*> selected = devices_->selectedItems();
    const QTreeWidgetItem* item = selected.isEmpty() ? devices_->topLevelItem(0) : selected.back();
    return item->data(0, Qt::UserRole).toInt();
}

void CUpdateFirwareDlg::startWorker(std::thread t) {
    // The previous worker has set the mode back to idle; only its last instructions remain.
    if (worker_.joinable()) worker_.join();
    worker_ = std::move(t);
}
