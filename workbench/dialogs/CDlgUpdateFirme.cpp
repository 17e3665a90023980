#include "dialogs/CDlgUpdateFirme.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <VexaSdk.h>

#include <chrono>
#include <thread>

#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"
#include "device/SubUpgrade.h"
#include "models/DeviceRecord.h"

namespace vexadesk {

namespace {

constexpr int kTickMs = 500;
constexpr int kTickStep = 30;
constexpr int kHeaderRead = 12;

// The dialog KO_HidUpdate's progress goes to. Set and read on the device thread only: the
// library calls back from inside the download.
QPointer<CDlgUpdateFirme> g_progressTarget;

void onProgress(unsigned int message, intptr_t, intptr_t percent) {
    if (message != KO_UPDATE_PROGRESS_MESSAGE) return;
    CDlgUpdateFirme* target = g_progressTarget.data();
    if (!target) return;
    const int value = static_cast<int>(percent) * CDlgUpdateFirme::kProgressRange / 100;
    target->post([target, value] { target->progressBar()->setValue(value); });
}

QString tr(const char* text) { return QCoreApplication::translate("vexadesk::CDlgUpdateFirme", text); }

}  // namespace

FupfImage readFupf(const QString& path) {
    FupfImage out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        out.error = tr("打开文件失败");
        return out;
    }
    const QByteArray head = f.read(kHeaderRead);
    const qint64 size = f.size();
    // A file without its whole header cannot carry an image.
    if (head.size() < kHeaderRead || size < CDlgUpdateFirme::kHeaderBytes) {
        out.error = tr("文件大小不对");
        return out;
    }
    const auto* h = reinterpret_cast<const unsigned char*>(head.constData());
    const std::uint32_t n = std::uint32_t(h[0]) | std::uint32_t(h[1]) << 8 | std::uint32_t(h[2]) << 16 |
                            std::uint32_t(h[3]) << 24;
    if (static_cast<quint64>(size) != quint64(n) + CDlgUpdateFirme::kHeaderBytes || n == 0) {
        out.error = tr("文件大小不对");
        return out;
    }
    if (n >= CDlgUpdateFirme::kFlashBytes) {
        out.error = tr("bin文件超过flash大小");
        return out;
    }
    if (!f.seek(CDlgUpdateFirme::kHeaderBytes)) {
        out.error = tr("打开文件失败");
        return out;
    }
    out.image = f.read(n);
    if (out.image.size() != static_cast<qsizetype>(n)) {
        out.image.clear();
        out.error = tr("文件大小不对");
    }
    return out;
}

CDlgUpdateFirme::CDlgUpdateFirme(CDeviceThread& thread, DeviceRecord& record, QWidget* parent)
    : QDialog(parent), thread_(thread), record_(record) {
    setWindowTitle(tr("通信模块升级"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("通信模块类型"), this), 0, 0);
    type_ = new QLabel(QStringLiteral("VEXA-%1").arg(record.type, 4, 16, QLatin1Char('0')), this);
    type_->setObjectName(QStringLiteral("text1048"));
    grid->addWidget(type_, 0, 1);
    grid->addWidget(new QLabel(tr("通信模块地址"), this), 1, 0);
    address_ = new QLabel(QStringLiteral("HID"), this);
    address_->setObjectName(QStringLiteral("text1047"));
    grid->addWidget(address_, 1, 1);
    grid->addWidget(new QLabel(tr("打开升级文件"), this), 2, 0);
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("edit1041"));
    path_->setReadOnly(true);
    grid->addWidget(path_, 2, 1);
    open_ = new QPushButton(tr("打开..."), this);
    open_->setObjectName(QStringLiteral("button1042"));
    grid->addWidget(open_, 2, 2);

    start_ = new QPushButton(tr("开始升级"), this);
    start_->setObjectName(QStringLiteral("button1066"));
    start_->setEnabled(false);
    start_->setAutoDefault(false);
    exit_ = new QPushButton(tr("退出"), this);
    exit_->setObjectName(QStringLiteral("button2"));
    exit_->setAutoDefault(false);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress1043"));
    progress_->setRange(0, kProgressRange);
    progress_->setValue(0);
    status_ = new QListWidget(this);
    status_->setObjectName(QStringLiteral("list1067"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(start_);
    buttons->addWidget(exit_);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addWidget(progress_);
    top->addWidget(status_);
    top->addLayout(buttons);

    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CDlgUpdateFirme::tick);
    connect(open_, &QPushButton::clicked, this, &CDlgUpdateFirme::chooseFile);
    connect(start_, &QPushButton::clicked, this, &CDlgUpdateFirme::startUpgrade);
    connect(exit_, &QPushButton::clicked, this, &CDlgUpdateFirme::reject);
}

CDlgUpdateFirme::~CDlgUpdateFirme() = default;

void CDlgUpdateFirme::chooseFile() {
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), QStringLiteral("fupf (*.fupf)"));
    if (path.isEmpty()) return;
    loadImage(path);
}

bool CDlgUpdateFirme::loadImage(const QString& path) {
    if (running_) return false;
    path_->setText(path);
    FupfImage f = readFupf(path);
    if (!f.error.isEmpty()) {
        image_.clear();
        start_->setEnabled(false);
        if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxText(this, f.error.toStdString(), 1, 0);
        return false;
    }
    image_ = std::move(f.image);
    start_->setEnabled(true);
    return true;
}

void CDlgUpdateFirme::addStatus(const QString& text) {
    status_->addItem(text);
    status_->scrollToBottom();
}

void CDlgUpdateFirme::tick() {
    progressValue_ += kTickStep;
    if (progressValue_ >= kProgressRange) progressValue_ = 0;
    progress_->setValue(progressValue_);
}

void CDlgUpdateFirme::setRunning(bool on) {
    running_ = on;
    exit_->setEnabled(!on);
    open_->setEnabled(!on);
    start_->setEnabled(!on && !image_.isEmpty());
    // The close box goes with "退出"; changing the flags hides a shown window, so show it again.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowCloseButtonHint, !on);
    if (shown && !isVisible()) show();
}

void CDlgUpdateFirme::post(std::function<void()> fn) {
    QPointer<CDlgUpdateFirme> guard(this);
    thread_.deliver([guard, fn = std::move(fn)] {
        if (guard) fn();
    });
}

void CDlgUpdateFirme::startUpgrade() {
    if (running_ || image_.isEmpty()) return;
    addStatus(tr("设置模块进入升级模式....."));
    setRunning(true);
    progressValue_ = 0;
    timer_.start();
    QByteArray image = image_;
    thread_.post([this, image] { download(image); });
}

// Device thread. Talks to the dialog only through post(): the window thread owns its widgets.
void CDlgUpdateFirme::download(QByteArray image) {
    QPointer<CDlgUpdateFirme> self(this);
    DeviceRecord& r = record_;
    const int waitMs = reloginWaitMs_.load();
    auto status = [this](const QString& text) { post([this, text] { addStatus(text); }); };

    reopenDevice(r);
    for (int k = 1;; ++k) {
        KO_HANDLE h = r.handle.load();
        const int rc = h ? KO_HidUpdateBegin(h) : RC_OPEN_FAILED;
        if (rc == RC_OK) {
            status(tr("模块进入升级模式重新登录"));
            // The coupler restarts into its loader before it takes the image.
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            if (!reopenDevice(r)) {
                status(tr("模块登录出错，无法下载数据"));
                break;
            }
            status(tr("模块进入升级模式开始下载数据"));
            post([this] {
                timer_.stop();
                progress_->setValue(0);
            });
            g_progressTarget = self;
            const int result = KO_HidUpdate(r.handle.load(), image.constData(), static_cast<int>(image.size()), onProgress);
            g_progressTarget = nullptr;
            status(result == RC_OK ? tr("升级成功") : tr("升级失败"));
            break;
        }
        status(tr("模块进入升级模式出错 重试 %1 次").arg(k));
        if (!reopenDevice(r)) {
            status(tr("模块无法登录"));
            break;
        }
        if (k >= kBeginAttempts) break;
    }
    post([this] {
        forgetSubRows(record_);
        timer_.stop();
        setRunning(false);
        emit upgradeFinished();
    });
}

void CDlgUpdateFirme::reject() {
    if (running_) return;
    QDialog::reject();
}

void CDlgUpdateFirme::closeEvent(QCloseEvent* e) {
    if (running_) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void CDlgUpdateFirme::keyPressEvent(QKeyEvent* e) {
    if (running_ && e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace vexadesk
