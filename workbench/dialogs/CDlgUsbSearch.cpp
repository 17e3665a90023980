#include "dialogs/CDlgUsbSearch.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"

namespace vexadesk {

CDlgUsbSearch::CDlgUsbSearch(CDeviceThread& thread, QWidget* parent, const SearchRequest& request)
    : QDialog(parent), thread_(thread), progress_(new QProgressBar), list_(new QTreeWidget), stop_(new QPushButton) {
    worker_.setRequest(request);
    switch (request.kind) {
        case kLinkEthernet: setWindowTitle(tr("搜索以太网模块")); break;
        case kLinkSerial: setWindowTitle(tr("搜索RS-485模块")); break;
        default: setWindowTitle(tr("搜索USB模块")); break;
    }
    progress_->setRange(0, kTicks);
    progress_->setTextVisible(false);
    list_->setColumnCount(2);
    list_->setHeaderLabels({tr("序号"), tr("名称路径")});
    list_->setRootIsDecorated(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->resizeSection(0, 50);
    list_->header()->resizeSection(1, 350);
    list_->header()->setStretchLastSection(true);
    stop_->setText(tr("停止"));
    stop_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progress_);
    layout->addWidget(list_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stop_);
    layout->addLayout(buttons);
    resize(480, 320);

    connect(stop_, &QPushButton::clicked, this, &CDlgUsbSearch::accept);
    timer_.setInterval(kTickMs);
    connect(&timer_, &QTimer::timeout, this, &CDlgUsbSearch::tick);
    connect(&worker_, &CSearchWorker::recordFound, this,
            [this](DeviceRecord* r) { results_.emplace_back(r); });
    connect(&worker_, &CSearchWorker::rowAdded, this, &CDlgUsbSearch::addRow);
    connect(&worker_, &CSearchWorker::openFailed, this, [this](const QString&) {
        if (auto* g = CKNetCom2Global::Instance())
            g->MessageBoxText(this, tr("USB 连接错误,不能搜索子模块").toStdString(), 2, 0);
    });
    connect(&worker_, &CSearchWorker::progress, this, &CDlgUsbSearch::showProgress);
    connect(&worker_, &CSearchWorker::finished, this, &CDlgUsbSearch::workerFinished);
}

CDlgUsbSearch::~CDlgUsbSearch() {
    // The worker's job refers to this dialog: never leave it running behind us.
    if (worker_.running()) {
        worker_.stop();
        thread_.waitIdle();
    }
}

void CDlgUsbSearch::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (started_) return;
    started_ = true;
    timer_.start();
    worker_.start(thread_);
    if (autoStopMs_ > 0) QTimer::singleShot(autoStopMs_, this, &CDlgUsbSearch::accept);
}

void CDlgUsbSearch::showProgress(int done, int total) {
    counted_ = true;
    progress_->setRange(0, total);
    progress_->setValue(done);
}

void CDlgUsbSearch::tick() {
    if (!counted_) progress_->setValue(std::min(ticks_, progress_->maximum()));
    if (++ticks_ >= tickLimit_) accept();
}

void CDlgUsbSearch::addRow(const QString& number, const QString& text) {
    auto* item = new QTreeWidgetItem(list_, {number, text});
    list_->scrollToItem(item);
}

void CDlgUsbSearch::accept() {
    timer_.stop();
    if (!started_ || workerDone_) {
        QDialog::accept();
        return;
    }
    // Close once the search has ended its current library call.
    stopping_ = true;
    stop_->setEnabled(false);
    worker_.stop();
}

void CDlgUsbSearch::reject() { accept(); }

void CDlgUsbSearch::workerFinished() {
    workerDone_ = true;
    timer_.stop();
    // Ended by "停止", or by itself: nothing more will come.
    QDialog::accept();
}

std::vector<std::unique_ptr<DeviceRecord>> CDlgUsbSearch::takeResults() { return std::move(results_); }

}  // namespace vexadesk
