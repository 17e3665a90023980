#include "dialogs/CDlgSetColor.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/CKNetCom2Global.h"

namespace vexadesk {

CDlgSetColor::CDlgSetColor(QWidget* parent)
    : QDialog(parent), b1_(new QPushButton), b2_(new QPushButton), on_(new QRadioButton(tr("启用"))),
      off_(new QRadioButton(tr("不启用"))) {
    setWindowTitle(tr("颜色"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("色彩1")), 0, 0);
    grid->addWidget(b1_, 0, 1);
    grid->addWidget(new QLabel(tr("色彩2")), 1, 0);
    grid->addWidget(b2_, 1, 1);
    grid->addWidget(on_, 2, 0);
    grid->addWidget(off_, 2, 1);
    auto* note = new QLabel(tr("属性页对应两种颜色，此两种颜色交叉显示"));
    note->setWordWrap(true);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    box->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    box->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(box, &QDialogButtonBox::accepted, this, &CDlgSetColor::accept);
    connect(box, &QDialogButtonBox::rejected, this, &CDlgSetColor::reject);
    connect(b1_, &QPushButton::clicked, this, [this] { pick(1); });
    connect(b2_, &QPushButton::clicked, this, [this] { pick(2); });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note);
    layout->addWidget(box);

    int show = 0, col0 = 0, col1 = 0;
    if (auto* g = CKNetCom2Global::Instance()) {
        g->Settings().GetInt("SHOW_COL", "show_col", show, false, 0);
        g->Settings().GetInt("SHOW_COL", "col_0", col0, true, 0);
        g->Settings().GetInt("SHOW_COL", "col_1", col1, true, 0);
    }
    setEnabledChoice(show != 0);
    setColour(1, fromRgb(static_cast<std::uint32_t>(col0)));
    setColour(2, fromRgb(static_cast<std::uint32_t>(col1)));
}

void CDlgSetColor::setColour(int slot, const QColor& c) {
    (slot == 1 ? c1_ : c2_) = c;
    paintButton(slot == 1 ? b1_ : b2_, c);
}

bool CDlgSetColor::enabled() const { return on_->isChecked(); }

void CDlgSetColor::setEnabledChoice(bool on) { (on ? on_ : off_)->setChecked(true); }

void CDlgSetColor::paintButton(QPushButton* b, const QColor& c) {
    b->setText(c.name(QColor::HexRgb).toUpper());
    b->setStyleSheet(QStringLiteral("background-color: %1; color: %2;")
                         .arg(c.name(), c.lightness() < 128 ? QStringLiteral("white") : QStringLiteral("black")));
}

void CDlgSetColor::pick(int slot) {
    QColor c = QColorDialog::getColor(colour(slot), this, slot == 1 ? tr("色彩1") : tr("色彩2"));
    if (c.isValid()) setColour(slot, c);
}

void CDlgSetColor::accept() {
    if (auto* g = CKNetCom2Global::Instance()) {
        auto rgb = [](const QColor& c) { return static_cast<int>(c.rgb() & 0xFFFFFF); };
        bool ok = g->Settings().WriteInt("SHOW_COL", "col_0", rgb(c1_), true);
        ok = g->Settings().WriteInt("SHOW_COL", "col_1", rgb(c2_), true) && ok;
        ok = g->Settings().WriteInt("SHOW_COL", "show_col", enabled() ? 1 : 0, false) && ok;
        if (!ok) g->MessageBoxText(this, tr("颜色设置无法保存").toStdString(), 2, 0);
    }
    QDialog::accept();
}

}  // namespace vexadesk
