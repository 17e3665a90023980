#include "dialogs/CDlgLogin.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/CKNetCom2Global.h"
#include "device/CDeviceThread.h"
#include "device/DeviceOps.h"
#include "models/DeviceRecord.h"

namespace vexadesk {

CDlgLogin::CDlgLogin(DeviceRecord& record, CDeviceThread& thread, QWidget* parent)
    : QDialog(parent), record_(record), thread_(thread), hint_(new QLabel), password_(new QLineEdit) {
    setWindowTitle(tr("登录通信模块"));
    char name[16];
    std::snprintf(name, sizeof name, "VEXA-%04x", shownType(record.type));
    auto* form = new QFormLayout;
    form->addRow(tr("模块名称"), new QLabel(QString::fromLatin1(name)));
    form->addRow(tr("模块地址"), new QLabel(QString::fromStdString(couplerAddressText(record))));
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(tr("密码"), password_);
    hint_->setText(tr("默认") + QString::fromLatin1(kDefaultPassword));
    hint_->setVisible(false);
    form->addRow(QString(), hint_);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok_ = box->button(QDialogButtonBox::Ok);
    box->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    box->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(box, &QDialogButtonBox::accepted, this, &CDlgLogin::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CDlgLogin::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(box);

    if (auto* g = CKNetCom2Global::Instance()) {
        std::string test;
        g->Settings().GetString("ver", "test", test, 31);
        serviceMode_ = test == kServiceWord;
    }
    hint_->setVisible(serviceMode_);
    password_->setFocus();
    setMinimumWidth(300);
}

int CDlgLogin::exec() {
    if (record_.loggedIn) {
        if (auto* g = CKNetCom2Global::Instance()) g->MessageBoxById(this, 0xF015, 0, 0);
        setResult(QDialog::Accepted);
        return QDialog::Accepted;
    }
    return QDialog::exec();
}

void CDlgLogin::accept() {
    if (opening_) return;
    std::string password = password_->text().toStdString();
    if (serviceMode_ && password.empty()) password = kDefaultPassword;
    opening_ = true;
    ok_->setEnabled(false);
    DeviceRecord* r = &record_;
    thread_.run<int>(
        this, [r, password] { return loginDevice(*r, password); },
        [this, password](int rc) {
            opening_ = false;
            ok_->setEnabled(true);
            auto* g = CKNetCom2Global::Instance();
            if (rc == kLoginRefused) {
                // The coupler checked the password: nothing is written with a wrong one.
                if (g) g->MessageBoxText(this, tr("密码错误").toStdString(), 2, 0);
                password_->selectAll();
                password_->setFocus();
                return;
            }
            if (rc != 0) {
                if (g)
                    g->MessageBoxText(this, record_.linkType == kLinkUsb ? "Set hid Operator dev error...."
                                                                          : "Set Operator dev error....",
                                      2, 0);
                return;
            }
            record_.loggedIn = true;
            record_.password = password;
            QDialog::accept();
        });
}

}  // namespace vexadesk
