#include "grid/CNetProGrid.h"

#include "grid/GridRow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <string_view>

// Resources of a static library need an explicit init from outside any namespace.
static void initGridResources() { Q_INIT_RESOURCE(grid); }

namespace vexadesk {
namespace {

constexpr int kButtonRowHeight = 20;
constexpr int kIndent = 14;  // per nesting level; button rows are indented by the tree itself
constexpr int kIconSize = 16;

// Masked ids show '*' per character; the second group may never be edited.
constexpr int kMaskedIds[] = {4, 6, 7};
constexpr int kLockedIds[] = {6, 7};

template <std::size_t N>
bool contains(const int (&ids)[N], int id) {
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

// A text-with-state row's state: the first word found wins, in this order.
struct StateWord {
    std::string_view word;
    int state;
};
constexpr StateWord kStateWords[] = {{"Close", 0}, {"Normal", 1}, {"Exceed", 2}};
constexpr int kDefaultTextState = 1;

int stateOfText(const std::string& text) {
    for (const auto& w : kStateWords)
        if (text.find(w.word) != std::string::npos) return w.state;
    return kDefaultTextState;
}

const char* const kTextStateIcons[] = {":/grid/text_close.png", ":/grid/text_normal.png",
                                       ":/grid/text_exceed.png"};

QColor platformColour(std::uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

GridRow::Kind kindOf(const CatalogNode& n) {
    if (n.isCategory()) return GridRow::Kind::Category;
    switch (n.editor) {
        case EditorKind::Button: return GridRow::Kind::Button;
        case EditorKind::StateButton: return GridRow::Kind::State;
        case EditorKind::SendData: return GridRow::Kind::SendData;
        case EditorKind::TextWithState: return GridRow::Kind::TextWithState;
        default: return n.isCheckRow() ? GridRow::Kind::Check : GridRow::Kind::Text;
    }
}

bool isButtonKind(GridRow::Kind k) {
    return k == GridRow::Kind::Button || k == GridRow::Kind::State || k == GridRow::Kind::SendData ||
           k == GridRow::Kind::TextWithState;
}

QWidget* hbox(QWidget* parent, std::initializer_list<QWidget*> parts) {
    auto* w = new QWidget(parent);
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(2, 0, 2, 0);
    l->setSpacing(4);
    for (QWidget* p : parts) l->addWidget(p);
    l->addStretch(1);
    return w;
}

}  // namespace

CNetProGrid::CNetProGrid(QWidget* parent) : QWidget(parent) {
    initGridResources();
    tree_ = new QTreeWidget(this);
    tree_->setColumnCount(2);
    tree_->setHeaderHidden(true);
    tree_->setIndentation(kIndent);
    tree_->setUniformRowHeights(false);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setAllColumnsShowFocus(true);
    tree_->header()->setStretchLastSection(true);
    tree_->header()->setSectionResizeMode(0, QHeaderView::Interactive);

    // The help panel: caption and description of the selected row.
    auto* help = new QWidget(this);
    help->setObjectName(QStringLiteral("gridHelp"));
    helpCaption_ = new QLabel(help);
    QFont bold = helpCaption_->font();
    bold.setBold(true);
    helpCaption_->setFont(bold);
    helpCaption_->setWordWrap(true);
    helpText_ = new QLabel(help);
    helpText_->setWordWrap(true);
    helpText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    helpText_->setMinimumHeight(helpText_->fontMetrics().lineSpacing() * 2);
    help->setMaximumHeight(helpText_->fontMetrics().lineSpacing() * 5);
    helpText_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* hl = new QVBoxLayout(help);
    hl->setContentsMargins(4, 4, 4, 4);
    hl->addWidget(helpCaption_);
    hl->addWidget(helpText_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(tree_, 1);
    layout->addWidget(help);

    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &CNetProGrid::updateHelp);
    connect(tree_, &QTreeWidget::itemExpanded, this, &CNetProGrid::fitColumns);
}

CNetProGrid::~CNetProGrid() {
    // Widgets die with the tree after the rows; nothing of theirs may reach a row by then.
    tree_->blockSignals(true);
    detachWidgets();
}

void CNetProGrid::detachWidgets() {
    // The tree deletes replaced item widgets later; until then they must not call back.
    for (auto it = byWidget_.cbegin(); it != byWidget_.cend(); ++it) {
        auto* w = const_cast<QObject*>(it.key());
        w->removeEventFilter(this);
        disconnect(w, nullptr, this, nullptr);
    }
}

void CNetProGrid::clearRows() {
    detachWidgets();
    activeButton_ = nullptr;
    byNode_.clear();
    byItem_.clear();
    byWidget_.clear();
    tree_->clear();  // deletes the items and their widgets
    rows_.clear();
    updateHelp();
}

void CNetProGrid::create(CatalogPage& page, CNetProGrid* pageBGrid) {
    clearRows();
    page_ = &page;
    if (pageBGrid) pageB_ = pageBGrid;
    toggle_ = false;

    QTreeWidgetItem* category = nullptr;
    for (auto& np : page.nodes) {
        if (!np) continue;
        GridRow* r = addRow(*np, category);
        if (r->kind == GridRow::Kind::Category) category = r->item;
    }
    expandCollapseAll(0);
    fitColumns();
}

GridRow* CNetProGrid::addRow(CatalogNode& node, QTreeWidgetItem* category) {
    auto row = std::make_unique<GridRow>();
    GridRow& r = *row;
    r.owner = this;
    r.node = &node;
    r.kind = kindOf(node);
    const QString name = QString::fromStdString(node.name);

    if (r.kind == GridRow::Kind::Category) {
        r.item = new QTreeWidgetItem(tree_);
        r.item->setText(0, name);
        QFont f = tree_->font();
        f.setBold(true);
        r.item->setFont(0, f);
        r.item->setBackground(0, tree_->palette().button());
        r.item->setFirstColumnSpanned(true);
    } else {
        r.item = category ? new QTreeWidgetItem(category) : new QTreeWidgetItem(tree_);
        if (r.kind != GridRow::Kind::Button) r.item->setText(0, name);
    }
    r.item->setToolTip(0, name);
    if (!node.comment.empty()) r.item->setStatusTip(0, QString::fromStdString(node.comment));
    byItem_.insert(r.item, &r);
    byNode_.insert(&node, &r);
    node.row = &r;
    rows_.push_back(std::move(row));
    if (r.kind == GridRow::Kind::Category) return &r;

    r.readOnly = node.readonly == 1 || contains(kLockedIds, node.id);
    r.masked = contains(kMaskedIds, node.id);
    buildValueCell(r);
    if (isButtonKind(r.kind)) {
        r.item->setSizeHint(0, QSize(-1, kButtonRowHeight));
        r.item->setSizeHint(1, QSize(-1, kButtonRowHeight));
    }
    // The default is only shown: nobody chose it, so no value-changed handling.
    if (!node.defaultval.empty()) showText(r, QString::fromStdString(node.defaultval));
    applyReadOnly(r, r.readOnly);
    if (r.kind == GridRow::Kind::State) setButtonEnabled(r, node.readonly != 1);
    if (node.colour != kNoColour) applyColour(r, node.colour);
    refreshIcon(r);
    return &r;
}

void CNetProGrid::buildValueCell(GridRow& r) {
    CatalogNode& node = *r.node;
    QWidget* cell = nullptr;
    switch (r.kind) {
        case GridRow::Kind::Text:
        case GridRow::Kind::Check: {
            QWidget* editor = nullptr;
            if (!node.options.empty()) {
                r.combo = new QComboBox;
                r.combo->setFrame(false);
                r.combo->setEditable(node.editor == EditorKind::ComboEdit);
                r.combo->setInsertPolicy(QComboBox::NoInsert);
                r.combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
                r.combo->setMinimumContentsLength(4);
                for (const auto& o : node.options) r.combo->addItem(QString::fromStdString(o.name));
                r.combo->setCurrentIndex(-1);
                if (!r.combo->isEditable()) {
                    // A value no option stands for is shown as the placeholder: in normal ink.
                    QPalette p = r.combo->palette();
                    p.setColor(QPalette::PlaceholderText, p.color(QPalette::Text));
                    r.combo->setPalette(p);
                }
                connect(r.combo, &QComboBox::activated, this, [this, &r](int) { userEdited(r); });
                if (QLineEdit* le = r.combo->lineEdit()) {
                    connect(le, &QLineEdit::textEdited, this, [&r] { r.edited = true; });
                    connect(le, &QLineEdit::editingFinished, this, [this, &r] {
                        if (r.edited) userEdited(r);
                    });
                    watchFocus(r, le);
                }
                editor = r.combo;
            } else {
                r.edit = new QLineEdit;
                r.edit->setFrame(false);
                connect(r.edit, &QLineEdit::textEdited, this, [&r] { r.edited = true; });
                connect(r.edit, &QLineEdit::editingFinished, this, [this, &r] {
                    if (r.edited) userEdited(r);
                });
                editor = r.edit;
            }
            if (r.masked) {
                QLineEdit* le = r.edit ? r.edit : r.combo->lineEdit();
                if (le) {
                    le->setEchoMode(QLineEdit::Password);
                    le->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
                }
            }
            watchFocus(r, editor);
            if (r.kind == GridRow::Kind::Check) {
                r.check = new QCheckBox;
                connect(r.check, &QCheckBox::clicked, this, [this, &r] { emit valueChanged(r.node); });
                watchFocus(r, r.check);
                cell = hbox(nullptr, {r.check, editor});
                static_cast<QHBoxLayout*>(cell->layout())->setStretchFactor(editor, 1);
            } else {
                cell = editor;
            }
            break;
        }
        case GridRow::Kind::Button: {
            r.push = new QPushButton(QString::fromStdString(node.name));
            r.push->setMaximumHeight(kButtonRowHeight);
            r.push->setToolTip(QString::fromStdString(node.name));
            connect(r.push, &QPushButton::clicked, this, [this, &r] { pressButtonRow(r); });
            r.item->setFirstColumnSpanned(true);
            tree_->setItemWidget(r.item, 0, r.push);
            byWidget_.insert(r.push, &r);
            return;
        }
        case GridRow::Kind::State:
        case GridRow::Kind::SendData: {
            r.button = new QToolButton;
            r.button->setAutoRaise(true);
            r.button->setIconSize(QSize(kIconSize, kIconSize));
            r.button->setFixedHeight(kButtonRowHeight);
            const bool state = r.kind == GridRow::Kind::State;
            connect(r.button, &QToolButton::clicked, this, [this, &r, state] {
                if (!r.enabled) return;  // disabled buttons post nothing
                if (state)
                    emit stateButtonClicked(r.node);
                else
                    emit sendDataClicked(r.node);
            });
            r.label = new QLabel;
            watchFocus(r, r.button);
            cell = hbox(nullptr, {r.button, r.label});
            break;
        }
        case GridRow::Kind::TextWithState:
            r.icon = new QLabel;
            r.icon->setFixedSize(kIconSize, kIconSize);
            r.label = new QLabel;
            cell = hbox(nullptr, {r.icon, r.label});
            break;
        case GridRow::Kind::Category:
            return;
    }
    if (isButtonKind(r.kind)) cell->setMaximumHeight(kButtonRowHeight);
    byWidget_.insert(cell, &r);
    tree_->setItemWidget(r.item, 1, cell);
}

void CNetProGrid::watchFocus(GridRow& r, QWidget* w) {
    byWidget_.insert(w, &r);
    w->installEventFilter(this);
}

bool CNetProGrid::eventFilter(QObject* watched, QEvent* event) {
    // Editing a value cell selects its row, so the help panel follows the editor.
    if (event->type() == QEvent::FocusIn) {
        if (GridRow* r = byWidget_.value(watched)) {
            if (tree_->currentItem() != r->item) tree_->setCurrentItem(r->item, 1);
            r->item->setSelected(true);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CNetProGrid::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitColumns();
}

void CNetProGrid::fitColumns() {
    // Captions get what they need, but never more than half the width, so values stay readable.
    const QFontMetrics fm(tree_->font());
    const int root = tree_->rootIsDecorated() ? 1 : 0;
    int need = 0;
    for (const auto& r : rows_) {
        if (r->kind == GridRow::Kind::Category || r->kind == GridRow::Kind::Button) continue;
        int depth = 0;
        for (auto* p = r->item->parent(); p; p = p->parent()) ++depth;
        const int w = fm.horizontalAdvance(r->item->text(0)) + kIndent * (depth + root) + 16;
        need = std::max(need, w);
    }
    const int half = std::max(80, tree_->viewport()->width() / 2);
    tree_->header()->resizeSection(0, std::clamp(need, 80, half));
}

void CNetProGrid::setPageBGrid(CNetProGrid* g) { pageB_ = g; }
CatalogPage* CNetProGrid::page() const { return page_; }

void CNetProGrid::expandCollapseAll(int arg) {
    if (arg == 0 && !toggle_)
        tree_->collapseAll();
    else
        tree_->expandAll();
    toggle_ = !toggle_;
}

bool CNetProGrid::toggleFlag() const { return toggle_; }

CatalogNode* CNetProGrid::nodeAt(int i) const {
    if (!page_ || i < 0 || i >= int(page_->nodes.size())) return nullptr;
    return page_->nodes[std::size_t(i)].get();
}

int CNetProGrid::indexOfNode(const CatalogNode* n) const {
    if (!page_ || !n) return -1;
    for (std::size_t i = 0; i < page_->nodes.size(); ++i)
        if (page_->nodes[i].get() == n) return int(i);
    return -1;
}

bool CNetProGrid::findItemById(int id, int& start, int& found) const {
    if (!page_ || start < 0) return false;
    for (std::size_t i = std::size_t(start); i < page_->nodes.size(); ++i) {
        const CatalogNode* n = page_->nodes[i].get();
        if (n && !n->isCategory() && n->id == id) {
            found = int(i);
            start = int(i) + 1;
            return true;
        }
    }
    return false;
}

GridRow* CNetProGrid::rowOf(const CatalogNode* n) const { return n ? byNode_.value(n) : nullptr; }

GridRow* CNetProGrid::firstRowWithId(int id) const {
    int start = 0, found = -1;
    return findItemById(id, start, found) ? rowOf(nodeAt(found)) : nullptr;
}

QString CNetProGrid::rowText(const GridRow& r) const {
    if (r.edit) return r.edit->text();
    if (r.combo) {
        if (r.combo->isEditable()) return r.combo->currentText();
        return r.combo->currentIndex() >= 0 ? r.combo->currentText() : r.combo->placeholderText();
    }
    return r.text;
}

void CNetProGrid::showText(GridRow& r, const QString& text) {
    r.edited = false;
    r.text = text;
    if (r.edit) {
        r.edit->setText(text);
        r.edit->setCursorPosition(0);
    } else if (r.combo) {
        r.combo->setCurrentIndex(-1);
        if (r.combo->isEditable())
            r.combo->setEditText(text);
        else
            r.combo->setPlaceholderText(text);
    } else if (r.label) {
        r.label->setText(text);
        r.label->setToolTip(text);
    }
}

void CNetProGrid::onValueSet(GridRow& r, const QString& text) {
    if (r.kind == GridRow::Kind::State) {
        r.on = text == QLatin1String("1");
    } else if (r.kind == GridRow::Kind::TextWithState) {
        r.textState = stateOfText(text.toStdString());
    }
    refreshIcon(r);
}

std::string CNetProGrid::getValue(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    if (!r || r->kind == GridRow::Kind::Category) return {};
    const int opt = currentOption(n);
    if (opt >= 0) return QString::fromStdString(n->options[std::size_t(opt)].value).trimmed().toStdString();
    return rowText(*r).trimmed().toStdString();
}

void CNetProGrid::setValue(CatalogNode* n, const std::string& raw) {
    GridRow* r = rowOf(n);
    if (!r || r->kind == GridRow::Kind::Category) return;
    showText(*r, QString::fromStdString(raw));
    if (!r->combo) {
        onValueSet(*r, r->text);
        return;
    }
    // A raw value no option stands for stays shown with no option current, so a later submit
    // writes what is on screen and never an option nobody chose.
    for (std::size_t i = 0; i < n->options.size(); ++i) {
        if (n->options[i].value == raw) {
            r->combo->setCurrentIndex(int(i));
            onValueSet(*r, QString::fromStdString(n->options[i].name));
            return;
        }
    }
}

void CNetProGrid::resetToDefaults() {
    if (!page_) return;
    for (auto& np : page_->nodes)
        if (np && !np->isCategory()) setValue(np.get(), np->defaultval);
}

int CNetProGrid::currentOption(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    if (!r || !r->combo) return -1;
    const int i = r->combo->currentIndex();
    if (i < 0 || i >= int(n->options.size())) return -1;
    // Typed text that differs from the entry means no entry is current.
    if (r->combo->isEditable() && r->combo->currentText() != r->combo->itemText(i)) return -1;
    return i;
}

bool CNetProGrid::getChecked(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    return r && r->check && r->check->isChecked();
}

void CNetProGrid::setChecked(CatalogNode* n, bool on) {
    if (GridRow* r = rowOf(n); r && r->check) r->check->setChecked(on);
}

void CNetProGrid::chooseOption(CatalogNode* n) {
    GridRow* r = rowOf(n);
    if (!r || !r->combo) return;
    n->selectedOption = currentOption(n);
    if (n->selectedOption < 0) return;
    const CatalogOption& o = n->options[std::size_t(n->selectedOption)];
    applyIds(o.disable, true);
    applyIds(o.enable, false);
}

void CNetProGrid::applyIds(const IdList& ids, bool ro) {
    for (std::uint16_t id : ids) {
        if (id == kIdListEnd) break;
        GridRow* target = nullptr;
        if (id > kPageBIdBase) {
            // A page-B grid that was never created has no rows: the id matches nothing.
            if (pageB_) target = pageB_->firstRowWithId(id - kPageBIdBase);
        } else {
            target = firstRowWithId(id);
        }
        if (target) target->owner->setReadOnly(target->node, ro);
    }
}

void CNetProGrid::setReadOnly(CatalogNode* n, bool ro) {
    GridRow* r = rowOf(n);
    if (!r) return;
    switch (r->kind) {
        case GridRow::Kind::State:
        case GridRow::Kind::SendData: setButtonEnabled(*r, !ro); break;
        case GridRow::Kind::TextWithState:
        case GridRow::Kind::Category: break;
        default: applyReadOnly(*r, ro); break;
    }
}

void CNetProGrid::applyReadOnly(GridRow& r, bool ro) {
    r.readOnly = ro;
    if (r.edit) r.edit->setReadOnly(ro);
    if (r.combo) r.combo->setEnabled(!ro);
    if (r.check) r.check->setEnabled(!ro);
    if (r.push) r.push->setEnabled(!ro);
}

bool CNetProGrid::isReadOnly(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    return r && r->readOnly;
}

void CNetProGrid::setButtonEnabled(GridRow& r, bool on) {
    r.enabled = on;
    if (r.button) r.button->setEnabled(on);
    refreshIcon(r);
}

void CNetProGrid::refreshIcon(GridRow& r) {
    switch (r.kind) {
        case GridRow::Kind::State:
            r.button->setIcon(QIcon(r.on ? QStringLiteral(":/grid/state_on.png")
                                         : QStringLiteral(":/grid/state_off.png")));
            break;
        case GridRow::Kind::SendData:
            r.button->setIcon(QIcon(r.enabled ? QStringLiteral(":/grid/send_enabled.png")
                                              : QStringLiteral(":/grid/send_disabled.png")));
            break;
        case GridRow::Kind::TextWithState:
            r.icon->setPixmap(QIcon(QString::fromLatin1(kTextStateIcons[r.textState]))
                                  .pixmap(kIconSize, kIconSize));
            break;
        default: break;
    }
}

bool CNetProGrid::stateOn(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    return r && r->kind == GridRow::Kind::State && r->on;
}

void CNetProGrid::setStateOn(CatalogNode* n, bool on) {
    GridRow* r = rowOf(n);
    if (!r || r->kind != GridRow::Kind::State) return;
    r->on = on;
    refreshIcon(*r);
}

int CNetProGrid::textState(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    return r && r->kind == GridRow::Kind::TextWithState ? r->textState : -1;
}

bool CNetProGrid::buttonEnabled(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    return r && r->button && r->enabled;
}

void CNetProGrid::applyColour(GridRow& r, std::uint32_t colour) {
    const bool standard = colour == kNoColour;
    const QBrush brush = standard ? QBrush() : QBrush(platformColour(colour));
    r.item->setForeground(0, brush);
    r.item->setForeground(1, brush);
    QWidget* cell = tree_->itemWidget(r.item, 1);
    if (!cell) cell = tree_->itemWidget(r.item, 0);
    if (!cell) return;
    QPalette p = tree_->palette();
    if (!standard)
        for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            p.setColor(role, platformColour(colour));
    p.setColor(QPalette::PlaceholderText, p.color(QPalette::Text));
    cell->setPalette(p);
}

void CNetProGrid::setColours(bool on, std::uint32_t slot1, std::uint32_t slot2) {
    for (auto& r : rows_) {
        const int slot = r->node->colourSlot;
        if (r->kind == GridRow::Kind::Category || (slot != 1 && slot != 2)) continue;
        applyColour(*r, on ? (slot == 1 ? slot1 : slot2) : kNoColour);
    }
}

void CNetProGrid::userEdited(GridRow& r) {
    r.edited = false;
    r.text = rowText(r);
    if (r.combo) chooseOption(r.node);
    emit valueChanged(r.node);
}

void CNetProGrid::pressButtonRow(GridRow& r) {
    tree_->clearSelection();
    activeButton_ = &r;
    updateHelp();
    tree_->viewport()->update();
}

CatalogNode* CNetProGrid::activeButtonNode() const { return activeButton_ ? activeButton_->node : nullptr; }

void CNetProGrid::updateHelp() {
    const auto sel = tree_->selectedItems();
    const GridRow* r = sel.isEmpty() ? activeButton_ : byItem_.value(sel.first());
    helpCaption_->setText(r ? QString::fromStdString(r->node->name) : QString());
    helpText_->setText(r ? QString::fromStdString(r->node->comment) : QString());
}

QString CNetProGrid::helpCaption() const { return helpCaption_->text(); }
QString CNetProGrid::helpText() const { return helpText_->text(); }
QTreeWidget* CNetProGrid::tree() const { return tree_; }

QTreeWidgetItem* CNetProGrid::itemOf(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    return r ? r->item : nullptr;
}

QString CNetProGrid::shownText(const CatalogNode* n) const {
    const GridRow* r = rowOf(n);
    if (!r) return {};
    if (r->edit) return r->edit->displayText();
    if (r->combo) {
        if (r->combo->isEditable()) return r->combo->lineEdit()->displayText();
        return r->combo->currentIndex() >= 0 ? r->combo->currentText() : r->combo->placeholderText();
    }
    if (r->push) return r->push->text();
    if (r->label) return r->label->text();
    return r->item->text(0);
}

}  // namespace vexadesk
