#pragma once
// One on-screen row of a CNetProGrid: the tree item, the in-place widgets of its value cell and
// the state word the button kinds keep. Rows are made and owned by the grid; the catalog node
// points back at its row (CatalogNode::row) while the grid lives.
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidgetItem;

namespace vexadesk {

class CNetProGrid;
struct CatalogNode;

class GridRow {
public:
    enum class Kind { Category, Text, Check, Button, State, SendData, TextWithState };

    CNetProGrid* owner = nullptr;
    CatalogNode* node = nullptr;
    QTreeWidgetItem* item = nullptr;
    Kind kind = Kind::Text;

    // Value-cell widgets; which ones exist depends on the kind (all owned by the tree).
    QLineEdit* edit = nullptr;      // Text and Check rows without options
    QComboBox* combo = nullptr;     // Text and Check rows with options
    QCheckBox* check = nullptr;     // Check rows
    QPushButton* push = nullptr;    // Button rows, spanning both columns
    QToolButton* button = nullptr;  // State and SendData rows
    QLabel* icon = nullptr;         // TextWithState rows
    QLabel* label = nullptr;        // value text of the three button kinds

    QString text;           // value text of rows without an editor (Button rows)
    bool readOnly = false;
    bool masked = false;
    bool on = false;        // State rows
    bool enabled = true;    // State and SendData rows: the button reacts to clicks
    int textState = 1;      // TextWithState rows: 0 Close, 1 Normal, 2 Exceed
    bool edited = false;    // the user typed since the text was last set or reported
};

}  // namespace vexadesk
