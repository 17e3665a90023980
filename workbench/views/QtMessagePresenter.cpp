#include "views/QtMessagePresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace vexadesk {

int QtMessagePresenter::present(void* owner, const std::string& caption, const std::string& text, int kind,
                                int style) {
    QMessageBox::Icon icon = kind == 0 ? QMessageBox::Information : kind == 1 ? QMessageBox::Question : QMessageBox::Critical;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    // A style asks for a choice: yes/no.
    if (style != 0) buttons = QMessageBox::Yes | QMessageBox::No;
    auto* parent = static_cast<QWidget*>(owner);
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), buttons,
                    parent ? parent->window() : QApplication::activeWindow());
    return box.exec();
}

}  // namespace vexadesk
