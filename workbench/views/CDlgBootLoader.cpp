#include "views/CDlgBootLoader.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vexadesk {

CDlgBootLoader::CDlgBootLoader(QWidget* parent) : QWidget(parent), text_(new QLabel) {
    QFont f = text_->font();
    f.setPointSizeF(f.pointSizeF() * 1.4);
    f.setBold(true);
    text_->setFont(f);
    text_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(text_);
    layout->addStretch();
}

void CDlgBootLoader::setModuleWord(unsigned word) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "VEXA-%04x Boot Loader.....", word & 0xFFFFu);
    text_->setText(QString::fromLatin1(buf));
}

QString CDlgBootLoader::text() const { return text_->text(); }

}  // namespace vexadesk
