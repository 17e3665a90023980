#pragma once
// The property grid: one catalog page on screen, a bold collapsible row per category and one row
// per item with the editor its catalog item asks for, plus a help panel under the tree.
//
// Contract:
// - UI thread only. The page passed to create() must outlive the grid (the catalog lives for the
//   whole program); CatalogNode::row points at this grid's row only while the grid lives.
// - Every operation taking a node accepts null or a node this grid has no row for and then does
//   nothing (getters return "", -1 or false).
// - setValue()/resetToDefaults() never emit valueChanged; only user edits do.
// - The three signals are meant to be connected with Qt::QueuedConnection, so the receiver runs
//   after the click or edit has been fully processed (and may itself call back into the grid).
#include "core/Catalog.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexadesk {

class GridRow;

class CNetProGrid : public QWidget {
    Q_OBJECT
public:
    explicit CNetProGrid(QWidget* parent = nullptr);
    ~CNetProGrid() override;

    // Builds the rows of `page` (nodes stay owned by the page; the grid links node->row) and
    // shows the categories collapsed. `pageBGrid`, when given, is the grid that ids above 1000
    // address. Calling it again rebuilds the rows.
    void create(CatalogPage& page, CNetProGrid* pageBGrid = nullptr);
    void setPageBGrid(CNetProGrid* g);
    CatalogPage* page() const;

    // Argument 0 with the toggle flag false collapses every category, anything else expands;
    // the flag is inverted either way.
    void expandCollapseAll(int arg);
    bool toggleFlag() const;

    CatalogNode* nodeAt(int i) const;
    int indexOfNode(const CatalogNode* n) const;
    // Scans from `start` for an item with `id`; on success `found` is its index and `start` moves
    // just past it, so repeated calls visit every row with that id.
    bool findItemById(int id, int& start, int& found) const;

    // The row's text, or the current option's raw value; trimmed.
    std::string getValue(const CatalogNode* n) const;
    // Shows `raw`. With options: the first option whose value equals `raw` becomes current and
    // its name is shown; no match shows `raw` and leaves no option current.
    void setValue(CatalogNode* n, const std::string& raw);
    void resetToDefaults();
    int currentOption(const CatalogNode* n) const;

    bool getChecked(const CatalogNode* n) const;
    void setChecked(CatalogNode* n, bool on);

    // Stores the current option in the node, then applies its disable list (read-only on) and its
    // enable list (read-only off). Ids above 1000 address the page-B grid.
    void chooseOption(CatalogNode* n);
    // State and send-data rows: button enabled = !ro; text-with-state rows: untouched;
    // other rows: read-only = ro.
    void setReadOnly(CatalogNode* n, bool ro);
    bool isReadOnly(const CatalogNode* n) const;

    bool stateOn(const CatalogNode* n) const;
    void setStateOn(CatalogNode* n, bool on);
    int textState(const CatalogNode* n) const;  // 0 Close, 1 Normal, 2 Exceed; -1 other rows
    bool buttonEnabled(const CatalogNode* n) const;

    // Colours in platform order 0x00BBGGRR. Rows whose node has a colour slot take slot1/slot2
    // when `on`, the standard colour otherwise.
    void setColours(bool on, std::uint32_t slot1, std::uint32_t slot2);

    CatalogNode* activeButtonNode() const;
    QString helpCaption() const;
    QString helpText() const;

    QTreeWidget* tree() const;
    QTreeWidgetItem* itemOf(const CatalogNode* n) const;
    // What the value cell displays (masked rows as '*'); for button rows the button's label.
    QString shownText(const CatalogNode* n) const;

signals:
    void valueChanged(vexadesk::CatalogNode* node);        // after chooseOption for option rows
    void stateButtonClicked(vexadesk::CatalogNode* node);  // enabled state button clicked
    void sendDataClicked(vexadesk::CatalogNode* node);     // enabled send-data button clicked

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void clearRows();
    void detachWidgets();
    GridRow* addRow(CatalogNode& node, QTreeWidgetItem* category);
    void buildValueCell(GridRow& r);
    void watchFocus(GridRow& r, QWidget* w);
    GridRow* rowOf(const CatalogNode* n) const;
    GridRow* firstRowWithId(int id) const;
    void applyIds(const IdList& ids, bool ro);
    void showText(GridRow& r, const QString& text);  // no value-changed handling
    QString rowText(const GridRow& r) const;
    void onValueSet(GridRow& r, const QString& text);  // the row kinds' own reaction
    void applyReadOnly(GridRow& r, bool ro);
    void setButtonEnabled(GridRow& r, bool on);
    void refreshIcon(GridRow& r);
    void applyColour(GridRow& r, std::uint32_t colour);
    void userEdited(GridRow& r);
    void pressButtonRow(GridRow& r);
    void updateHelp();
    void fitColumns();

    QTreeWidget* tree_ = nullptr;
    QLabel* helpCaption_ = nullptr;
    QLabel* helpText_ = nullptr;
    CatalogPage* page_ = nullptr;
    QPointer<CNetProGrid> pageB_;
    std::vector<std::unique_ptr<GridRow>> rows_;
    QHash<const CatalogNode*, GridRow*> byNode_;
    QHash<const QTreeWidgetItem*, GridRow*> byItem_;
    QHash<const QObject*, GridRow*> byWidget_;
    bool toggle_ = false;
    GridRow* activeButton_ = nullptr;
};

}  // namespace vexadesk
