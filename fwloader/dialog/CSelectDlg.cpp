#include "CSelectDlg.h"

#include <QCoreApplication>
#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CSelectDlg::CSelectDlg(int current, QWidget* parent) : QDialog(parent) {
    setObjectName("CSelectDlg");
    setWindowTitle(QCoreApplication::translate("CSelectDlg", "选择 VEXA 主站模式"));
    static constexpr const char* kTexts[] = {"以太网", "串口", "HID"};
    auto* layout = new QVBoxLayout(this);
    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        buttons_[i] = new QRadioButton(QString::fromUtf8(kTexts[i]), this);
        buttons_[i]->setObjectName(QStringLiteral("transport%1").arg(i));
        group->addButton(buttons_[i], i);
        layout->addWidget(buttons_[i]);
    }
    buttons_[current >= 0 && current <= 2 ? current : 0]->setChecked(true);
    auto* ok = new QPushButton(QCoreApplication::translate("CSelectDlg", "确定"), this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

int CSelectDlg::selection() const {
    for (int i = 0; i < 3; ++i)
        if (buttons_[i]->isChecked()) return i;
    return 0;
}
