#include "dialogs/CDlgRackConfig.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <CouplerKeys.h>
#include <RackCompare.h>
#include <RackFile.h>

#include <memory>

#include "core/CKNetCom2Global.h"
#include "models/DeviceRecord.h"
#include "device/CDeviceThread.h"
#include "device/RackOps.h"

namespace vexadesk {

namespace rc = vexa::rackconfig;

namespace {

enum Column { kName, kState, kFile, kLive };
constexpr int kSlotRole = Qt::UserRole + 1;
constexpr int kKeyRole = CDlgRackConfig::kKeyRole;

QString slotName(int slot, const std::string& type) {
    return slot == 0 ? QCoreApplication::translate("vexadesk::CDlgRackConfig", "通信模块 %1").arg(QString::fromStdString(type))
                     : QCoreApplication::translate("vexadesk::CDlgRackConfig", "槽 %1: %2").arg(slot).arg(QString::fromStdString(type));
}

}  // namespace

const CatalogNode* CDlgRackConfig::rowOf(int slot, const std::string& key) const {
    auto* g = CKNetCom2Global::Instance();
    if (!g) return nullptr;
    DevTypeEntry* e = nullptr;
    if (slot == 0) {
        e = g->Lookup(record_.type, 0);
    } else if (const SubSlot* s = record_.slotWithId(slot)) {
        e = g->Lookup(s->type, s->version);
    }
    if (!e) return nullptr;
    for (const auto& n : e->pageA.nodes)
        if (!n->isCategory() && n->cmd == key) return n.get();
    return nullptr;
}

QString CDlgRackConfig::caption(int slot, const std::string& key) const {
    // The page's caption where the catalog has the row; the library key stays in the tooltip.
    const CatalogNode* n = rowOf(slot, key);
    return n && !n->name.empty() ? QString::fromStdString(n->name) : QString::fromStdString(key);
}

QString CDlgRackConfig::shown(int slot, const std::string& key, const std::string& text) const {
    // A drop-down's value as the page names it: "2" reads "±2.5 V (2)".
    if (const CatalogNode* n = rowOf(slot, key))
        for (const auto& o : n->options)
            if (o.value == text) return QStringLiteral("%1 (%2)").arg(QString::fromStdString(o.name), QString::fromStdString(text));
    return QString::fromStdString(text);
}

CDlgRackConfig::CDlgRackConfig(DeviceRecord& record, CDeviceThread& thread, QWidget* parent)
    : QDialog(parent),
      record_(record),
      thread_(thread),
      file_(new QLabel),
      summary_(new QLabel),
      tree_(new QTreeWidget),
      backup_(new QPushButton(tr("备份到文件…"))),
      open_(new QPushButton(tr("打开备份比较…"))),
      restore_(new QPushButton(tr("恢复到设备"))) {
    setWindowTitle(tr("配置备份与恢复 - %1").arg(QString::fromStdString(couplerNodeText(record))));
    tree_->setColumnCount(4);
    tree_->setHeaderLabels({tr("模块 / 设置"), tr("比较结果"), tr("备份文件"), tr("设备")});
    tree_->header()->resizeSection(kName, 260);
    tree_->header()->resizeSection(kState, 150);
    tree_->header()->resizeSection(kFile, 170);
    tree_->setAlternatingRowColors(true);
    file_->setText(tr("未打开备份文件"));
    summary_->setWordWrap(true);
    restore_->setEnabled(false);
    auto* close = new QPushButton(tr("关闭"));

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {backup_, open_, restore_}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file_);
    layout->addWidget(tree_, 1);
    layout->addWidget(summary_);
    layout->addLayout(buttons);
    resize(820, 560);

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(backup_, &QPushButton::clicked, this, [this] {
        const QString name = QStringLiteral("rack-%1.json").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm")));
        QString path = QFileDialog::getSaveFileName(this, tr("备份到文件"), QDir::home().filePath(name), tr("机架配置 (*.json)"));
        if (!path.isEmpty()) backupTo(path);
    });
    connect(open_, &QPushButton::clicked, this, [this] {
        QString path = QFileDialog::getOpenFileName(this, tr("打开备份"), QDir::homePath(), tr("机架配置 (*.json)"));
        if (!path.isEmpty()) openBackup(path);
    });
    connect(restore_, &QPushButton::clicked, this, &CDlgRackConfig::restore);
}

void CDlgRackConfig::say(const QString& text, int kind) {
    if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxText(this, text.toStdString(), kind, 0);
}

void CDlgRackConfig::setBusy(bool busy) {
    backup_->setEnabled(!busy);
    open_->setEnabled(!busy);
    restore_->setEnabled(!busy && backupFile_.has_value());
    if (busy) summary_->setText(tr("正在与设备通信…"));
}

void CDlgRackConfig::backupTo(const QString& path) {
    setBusy(true);
    DeviceRecord* r = &record_;
    ModuleKeyTable keys = moduleKeysOf(record_);
    const std::string file = path.toStdString();
    thread_.run<RackRead>(
        this, [r, keys] { return readRack(*r, keys); },
        [this, file, path](RackRead read) {
            setBusy(false);
            if (read.rc != 0) {
                summary_->setText(tr("读取设备出错 err=%1，未保存").arg(read.rc));
                say(summary_->text(), 2);
                emit finished(read.rc);
                return;
            }
            std::string error;
            if (!rc::RackFile::save(file, read.config, error)) {
                summary_->setText(tr("无法保存 %1：%2").arg(path, QString::fromStdString(error)));
                say(summary_->text(), 2);
                emit finished(-1);
                return;
            }
            summary_->setText(tr("已保存 %1 个模块的 %2 项设置到 %3")
                                  .arg(read.config.modules.size() + 1)
                                  .arg(read.config.settingCount())
                                  .arg(path));
            emit finished(0);
        });
}

void CDlgRackConfig::openBackup(const QString& path) {
    rc::RackConfig config;
    rc::LoadResult loaded = rc::RackFile::load(path.toStdString(), config);
    if (!loaded.ok) {
        QString text = tr("备份文件不能使用：%1").arg(QString::fromStdString(loaded.error));
        for (const auto& p : loaded.problems) text += QStringLiteral("\n") + QString::fromStdString(p);
        say(text, 2);
        emit finished(-1);
        return;
    }
    const std::string kind = rc::kindName(record_.linkType);
    if (config.couplerKind != kind) {
        say(tr("备份文件来自另一类通信模块（%1），此处为 %2").arg(QString::fromStdString(config.couplerKind),
                                                       QString::fromStdString(kind)),
            2);
        emit finished(-1);
        return;
    }
    backupFile_ = std::move(config);
    report_.reset();
    file_->setText(tr("备份文件：%1（%2，%3）")
                       .arg(path, QString::fromStdString(backupFile_->date), QString::fromStdString(backupFile_->tool)));
    compareWithLive();
}

void CDlgRackConfig::compareWithLive() {
    setBusy(true);
    DeviceRecord* r = &record_;
    ModuleKeyTable keys = moduleKeysOf(record_);
    thread_.run<RackRead>(
        this, [r, keys] { return readRack(*r, keys); },
        [this](RackRead read) {
            setBusy(false);
            if (read.rc != 0) {
                summary_->setText(tr("读取设备出错 err=%1").arg(read.rc));
                emit finished(read.rc);
                return;
            }
            showComparison(read.config);
            emit finished(0);
        });
}

void CDlgRackConfig::showComparison(const rc::RackConfig& live) {
    tree_->clear();
    const rc::Comparison cmp = rc::RackCompare::compare(*backupFile_, live);
    const QString states[] = {tr("相同"), tr("不同"), tr("仅在备份中"), tr("仅在设备上")};
    const QString moduleStates[] = {tr("相同"), tr("仅在备份中"), tr("仅在设备上"), tr("类型不同"), tr("硬件版本不同")};
    for (const auto& m : cmp.modules) {
        const std::string& type = m.fileType.empty() ? m.liveType : m.fileType;
        auto* node = new QTreeWidgetItem(tree_, {slotName(m.slot, type), moduleStates[static_cast<int>(m.state)],
                                                 QString::fromStdString(m.fileType + " " + m.fileHardware),
                                                 QString::fromStdString(m.liveType + " " + m.liveHardware)});
        node->setData(0, kSlotRole, m.slot);
        if (m.state == rc::ModuleState::TypeMismatch || m.state == rc::ModuleState::HardwareMismatch) {
            node->setCheckState(kName, Qt::Unchecked);
            node->setToolTip(kName, tr("勾选后恢复时写入此模块"));
        }
        int differing = 0;
        for (const auto& k : m.keys) {
            if (k.state == rc::KeyState::Equal) continue;
            ++differing;
            auto* row = new QTreeWidgetItem(node, {caption(m.slot, k.key), states[static_cast<int>(k.state)],
                                                   shown(m.slot, k.key, k.fileText), shown(m.slot, k.key, k.liveText)});
            row->setToolTip(kName, QString::fromStdString(k.key));
            row->setData(0, kSlotRole, m.slot);
            row->setData(0, kKeyRole, QString::fromStdString(k.key));
            if (k.state == rc::KeyState::Different) row->setForeground(kState, QBrush(Qt::darkRed));
            if (rc::isIdentityKey(k.key)) {
                row->setCheckState(kName, Qt::Unchecked);
                row->setToolTip(kName, QString::fromStdString(k.key) + QStringLiteral("\n") + tr("身份设置：勾选后恢复时才写入"));
            }
        }
        node->setExpanded(differing > 0 || m.state != rc::ModuleState::Same);
    }
    const int different = cmp.count(rc::KeyState::Different);
    const int missing = cmp.count(rc::KeyState::OnlyInFile) + cmp.count(rc::KeyState::OnlyLive);
    summary_->setText(cmp.equal() ? tr("设备与备份一致（%1 项设置相同）").arg(cmp.count(rc::KeyState::Equal))
                                  : tr("%1 项设置不同，%2 项仅在一侧，%3 项相同")
                                        .arg(different)
                                        .arg(missing)
                                        .arg(cmp.count(rc::KeyState::Equal)));
}

bool CDlgRackConfig::tick(int slot, const QString& key) {
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = tree_->topLevelItem(i);
        if (node->data(0, kSlotRole).toInt() != slot) continue;
        if (key.isEmpty()) {
            if (node->data(kName, Qt::CheckStateRole).isNull()) return false;
            node->setCheckState(kName, Qt::Checked);
            return true;
        }
        for (int k = 0; k < node->childCount(); ++k)
            if (node->child(k)->data(0, kKeyRole).toString() == key && !node->child(k)->data(kName, Qt::CheckStateRole).isNull()) {
                node->child(k)->setCheckState(kName, Qt::Checked);
                return true;
            }
    }
    return false;
}

rc::RestoreOptions CDlgRackConfig::options() const {
    rc::RestoreOptions o;
    o.password = record_.password;
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* node = tree_->topLevelItem(i);
        const int slot = node->data(0, kSlotRole).toInt();
        if (node->checkState(kName) == Qt::Checked) o.confirmedSlots.insert(slot);
        for (int k = 0; k < node->childCount(); ++k)
            if (node->child(k)->checkState(kName) == Qt::Checked)
                o.identityKeys.insert(node->child(k)->data(0, kKeyRole).toString().toStdString());
    }
    return o;
}

void CDlgRackConfig::restore() {
    if (!backupFile_) return;
    setBusy(true);
    DeviceRecord* r = &record_;
    auto file = std::make_shared<rc::RackConfig>(*backupFile_);
    const rc::RestoreOptions opts = options();
    // The plan first: the user sees what will be written before anything is.
    thread_.run<RackRestoreResult>(
        this, [r, file, opts] { return restoreRack(*r, *file, opts, false); },
        [this, r, file, opts](RackRestoreResult plan) {
            if (plan.rc != 0 || plan.report.rc != 0) {
                setBusy(false);
                summary_->setText(tr("读取设备出错 err=%1，未写入").arg(plan.rc ? plan.rc : plan.report.rc));
                say(summary_->text(), 2);
                emit finished(plan.rc ? plan.rc : plan.report.rc);
                return;
            }
            const int writes = plan.report.count(rc::Outcome::Planned);
            const int skipped = plan.report.count(rc::Outcome::Skipped);
            if (writes == 0) {
                setBusy(false);
                summary_->setText(tr("没有需要写入的设置（%1 项跳过）").arg(skipped));
                say(summary_->text(), 0);
                emit finished(0);
                return;
            }
            auto* g = CKNetCom2Global::Instance();
            int answer = g ? g->MessageBoxText(this, tr("将写入 %1 项设置，跳过 %2 项（身份设置和未确认的模块）。\n继续？")
                                                         .arg(writes)
                                                         .arg(skipped)
                                                         .toStdString(),
                                               1, 1)
                           : 0;
            if (answer != QMessageBox::Yes) {
                setBusy(false);
                showReport(plan.report);
                summary_->setText(tr("未写入任何设置"));
                emit finished(0);
                return;
            }
            thread_.run<RackRestoreResult>(
                this, [r, file, opts] { return restoreRack(*r, *file, opts, true); },
                [this](RackRestoreResult done) {
                    setBusy(false);
                    showReport(done.report);
                    report_ = done.report;
                    const auto& rep = done.report;
                    QString text = tr("已写入 %1 项，跳过 %2 项，被拒绝 %3 项，失败 %4 项")
                                       .arg(rep.count(rc::Outcome::Written))
                                       .arg(rep.count(rc::Outcome::Skipped))
                                       .arg(rep.count(rc::Outcome::Refused))
                                       .arg(rep.count(rc::Outcome::Failed));
                    summary_->setText(text);
                    say(text, rep.ok() ? 0 : 2);
                    emit finished(done.rc ? done.rc : (rep.ok() ? 0 : -1));
                });
        });
}

void CDlgRackConfig::showReport(const rc::RestoreReport& report) {
    tree_->clear();
    const QString outcomes[] = {tr("将写入"), tr("已写入"), tr("未变"), tr("跳过"), tr("被拒绝"), tr("失败")};
    const QString reasons[] = {QString(), tr("身份设置"), tr("类型不同"), tr("硬件版本不同"), tr("无此模块")};
    QTreeWidgetItem* node = nullptr;
    int slot = -1;
    for (const auto& k : report.keys) {
        if (k.outcome == rc::Outcome::Unchanged) continue;
        if (!node || k.slot != slot) {
            slot = k.slot;
            node = new QTreeWidgetItem(tree_, {slotName(slot, std::string())});
            node->setData(0, kSlotRole, slot);
            node->setExpanded(true);
        }
        QString state = outcomes[static_cast<int>(k.outcome)];
        if (k.reason != rc::SkipReason::None) state += QStringLiteral("：") + reasons[static_cast<int>(k.reason)];
        auto* row = new QTreeWidgetItem(node, {caption(k.slot, k.key), state, shown(k.slot, k.key, k.fileText),
                                               shown(k.slot, k.key, k.readBack.empty() ? k.liveText : k.readBack)});
        row->setToolTip(kName, QString::fromStdString(k.key));
        row->setData(0, kKeyRole, QString::fromStdString(k.key));
    }
}

}  // namespace vexadesk
