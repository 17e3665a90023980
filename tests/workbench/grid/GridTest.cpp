// The property grid, driven offscreen through its public operations and its widgets.
#include "grid/CNetProGrid.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace vexadesk;

namespace {

// Pages are built by hand: the grid must not depend on the catalog loader.
struct PageBuilder {
    CatalogPage page;
    CatalogNode& category(const std::string& name, const std::string& comment = {}) {
        auto& n = add();
        n.kind = kNodeCategory;
        n.name = name;
        n.comment = comment;
        return n;
    }
    CatalogNode& item(int id, const std::string& name, EditorKind e = EditorKind::Plain,
                      const std::string& def = {}) {
        auto& n = add();
        n.id = id;
        n.name = name;
        n.editor = e;
        n.defaultval = def;
        return n;
    }
    CatalogNode& add() { return *page.nodes.emplace_back(std::make_unique<CatalogNode>()); }
};

CatalogOption option(const std::string& name, const std::string& value,
                     std::initializer_list<std::uint16_t> disable = {},
                     std::initializer_list<std::uint16_t> enable = {}) {
    CatalogOption o{name, value};
    std::copy(disable.begin(), disable.end(), o.disable.begin());
    std::copy(enable.begin(), enable.end(), o.enable.begin());
    return o;
}

QImage iconImage(const QIcon& i) { return i.pixmap(16, 16).toImage(); }

template <class W>
W* cellWidget(CNetProGrid& g, const CatalogNode& n, int column = 1) {
    QWidget* w = g.tree()->itemWidget(g.itemOf(&n), column);
    if (auto* direct = qobject_cast<W*>(w)) return direct;
    return w ? w->findChild<W*>() : nullptr;
}

void showGrid(CNetProGrid& g) {
    g.resize(720, 480);
    g.show();
    g.expandCollapseAll(1);
    QVERIFY(QTest::qWaitForWindowExposed(&g, 5000));
}

}  // namespace

class GridTest : public QObject {
    Q_OBJECT
private slots:
    void optionValues_data() {
        QTest::addColumn<int>("editor");
        QTest::newRow("pure drop-down") << int(EditorKind::Plain);
        QTest::newRow("editable drop-down") << int(EditorKind::ComboEdit);
    }
    void optionValues() {
        QFETCH(int, editor);
        PageBuilder b;
        b.category("Port");
        auto& baud = b.item(1, "Baud", EditorKind(editor), "19200 bps");
        baud.options = {option("9600", "0"), option("19200", "1")};
        CNetProGrid g;
        g.create(b.page);
        // The default is shown verbatim and is nobody's choice.
        QCOMPARE(g.shownText(&baud), QString("19200 bps"));
        QCOMPARE(g.currentOption(&baud), -1);
        QCOMPARE(g.getValue(&baud), std::string("19200 bps"));

        g.setValue(&baud, "1");
        QCOMPARE(g.shownText(&baud), QString("19200"));
        QCOMPARE(g.currentOption(&baud), 1);
        QCOMPARE(g.getValue(&baud), std::string("1"));

        // A raw value no option stands for is shown and leaves no option current.
        g.setValue(&baud, " 7 ");
        QCOMPARE(g.shownText(&baud), QString(" 7 "));
        QCOMPARE(g.currentOption(&baud), -1);
        QCOMPARE(g.getValue(&baud), std::string("7"));

        g.resetToDefaults();
        QCOMPARE(g.shownText(&baud), QString("19200 bps"));
        QCOMPARE(g.currentOption(&baud), -1);
    }

    void stateRowDefaultKeepsOffIcon() {
        PageBuilder b;
        b.category("Outputs");
        auto& s = b.item(3, "Relay", EditorKind::StateButton, "1");
        CNetProGrid g;
        g.create(b.page);
        auto* button = cellWidget<QToolButton>(g, s);
        const QImage off = iconImage(QIcon(":/grid/state_off.png"));
        const QImage on = iconImage(QIcon(":/grid/state_on.png"));
        QVERIFY(button && off != on);
        QCOMPARE(g.shownText(&s), QString("1"));
        QVERIFY(!g.stateOn(&s));
        QCOMPARE(iconImage(button->icon()), off);
        g.setValue(&s, "1");
        QVERIFY(g.stateOn(&s));
        QCOMPARE(iconImage(button->icon()), on);
        g.setValue(&s, "0");
        QCOMPARE(iconImage(button->icon()), off);
    }

    // One option names one row ("Target", id 5) in its enable or disable list.
    void applyOption_data() {
        QTest::addColumn<int>("editor");
        QTest::addColumn<int>("readonly");  // the target's catalog readonly
        QTest::addColumn<int>("pageB");     // where the target is: 0 page A, 1 page B, 2 page B unlinked
        QTest::addColumn<bool>("enable");   // which list names it
        QTest::addColumn<bool>("readOnlyAfter");
        QTest::addColumn<bool>("buttonAfter");
        const int plain = int(EditorKind::Plain), state = int(EditorKind::StateButton);
        const int send = int(EditorKind::SendData), tws = int(EditorKind::TextWithState);
        QTest::newRow("disable plain") << plain << 0 << 0 << false << true << false;
        QTest::newRow("enable 1005 on page B") << plain << 1 << 1 << true << false << false;
        QTest::newRow("1005 without a page-B grid") << plain << 1 << 2 << true << true << false;
        QTest::newRow("disable state button") << state << 0 << 0 << false << false << false;
        QTest::newRow("enable page-B state button") << state << 1 << 1 << true << true << true;
        QTest::newRow("disable send-data") << send << 0 << 0 << false << false << false;
        QTest::newRow("disable text-with-state") << tws << 0 << 0 << false << false << false;
        QTest::newRow("disable page-B text-with-state") << tws << 0 << 1 << false << false << false;
        QTest::newRow("disable button row") << int(EditorKind::Button) << 0 << 0 << false << true << false;
    }
    void applyOption() {
        QFETCH(int, editor);
        QFETCH(int, readonly);
        QFETCH(int, pageB);
        QFETCH(bool, enable);
        QFETCH(bool, readOnlyAfter);
        QFETCH(bool, buttonAfter);
        PageBuilder a, bPage;
        a.category("Mode");
        auto& mode = a.item(1, "Mode");
        bPage.category("Extra");
        auto& target = (pageB ? bPage : a).item(5, "Target", EditorKind(editor), "Normal");
        target.readonly = readonly;
        const std::uint16_t id = pageB ? 1005 : 5;
        mode.options = {option("keep", "0"), enable ? option("on", "1", {}, {id}) : option("off", "1", {id})};

        CNetProGrid gb, ga, never;  // `never` is never created: it has no rows
        gb.create(bPage.page);
        ga.create(a.page, pageB == 2 ? &never : &gb);
        CNetProGrid& owner = pageB ? gb : ga;
        const int stateBefore = owner.textState(&target);

        // The user picks the second entry: the option is applied, then the change is reported.
        showGrid(ga);
        QSignalSpy changed(&ga, &CNetProGrid::valueChanged);
        auto* combo = cellWidget<QComboBox>(ga, mode);
        QVERIFY(combo);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.last().at(0).value<CatalogNode*>(), &mode);
        QCOMPARE(mode.selectedOption, 1);
        QCOMPARE(owner.isReadOnly(&target), readOnlyAfter);
        QCOMPARE(owner.buttonEnabled(&target), buttonAfter);
        QCOMPARE(owner.textState(&target), stateBefore);
        if (auto* push = cellWidget<QPushButton>(owner, target, 0)) QCOMPARE(push->isEnabled(), !readOnlyAfter);
    }

    void maskedIds_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("id 4 masked") << 4 << "****" << false;
        QTest::newRow("id 6 masked, read-only") << 6 << "****" << true;
        QTest::newRow("id 7 masked, read-only") << 7 << "****" << true;
        QTest::newRow("id 5 plain") << 5 << "abcd" << false;
    }
    void maskedIds() {
        QFETCH(int, id);
        QFETCH(QString, shown);
        QFETCH(bool, readOnly);
        PageBuilder b;
        b.category("Login");
        auto& n = b.item(id, "Password", EditorKind::Plain, "abcd");
        CNetProGrid g;
        g.create(b.page);
        QCOMPARE(g.shownText(&n), shown);
        QCOMPARE(g.getValue(&n), std::string("abcd"));
        QCOMPARE(g.isReadOnly(&n), readOnly);
        QCOMPARE(cellWidget<QLineEdit>(g, n)->isReadOnly(), readOnly);
    }

    void collapseExpandToggle() {
        PageBuilder b;
        auto& c1 = b.category("One");
        b.item(1, "a");
        auto& c2 = b.category("Two");
        b.item(2, "b");
        CNetProGrid g;
        g.create(b.page);
        auto expanded = [&](bool e) {
            return g.itemOf(&c1)->isExpanded() == e && g.itemOf(&c2)->isExpanded() == e;
        };
        QVERIFY(expanded(false) && g.toggleFlag());  // a new page starts collapsed
        g.expandCollapseAll(0);
        QVERIFY(expanded(true) && !g.toggleFlag());
        g.expandCollapseAll(0);
        QVERIFY(expanded(false) && g.toggleFlag());
        g.expandCollapseAll(7);  // any other argument expands
        QVERIFY(expanded(true) && !g.toggleFlag());
    }

    void textState_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("state");
        QTest::newRow("close") << "Close" << 0;
        QTest::newRow("normal") << "5.000 Normal" << 1;
        QTest::newRow("exceed") << "Exceed" << 2;
        QTest::newRow("normal before exceed") << "Exceed or Normal" << 1;
        QTest::newRow("close first of all") << "Exceed Normal Close" << 0;
        QTest::newRow("none") << "12.5" << 1;
        QTest::newRow("empty") << "" << 1;
    }
    void textState() {
        QFETCH(QString, text);
        QFETCH(int, state);
        PageBuilder b;
        b.category("Inputs");
        auto& n = b.item(9, "AI0", EditorKind::TextWithState, "Close");
        CNetProGrid g;
        g.create(b.page);
        QCOMPARE(g.textState(&n), 1);  // the default is shown, not handled
        g.setValue(&n, text.toStdString());
        QCOMPARE(g.textState(&n), state);
        QCOMPARE(g.shownText(&n), text);
    }

    void buttonClicks_data() {
        QTest::addColumn<int>("editor");
        QTest::addColumn<int>("readonly");
        QTest::addColumn<int>("stateClicks");
        QTest::addColumn<int>("sendClicks");
        QTest::newRow("state enabled") << int(EditorKind::StateButton) << 0 << 1 << 0;
        QTest::newRow("state read-only") << int(EditorKind::StateButton) << 1 << 0 << 0;
        QTest::newRow("send enabled") << int(EditorKind::SendData) << 0 << 0 << 1;
    }
    void buttonClicks() {
        QFETCH(int, editor);
        QFETCH(int, readonly);
        QFETCH(int, stateClicks);
        QFETCH(int, sendClicks);
        PageBuilder b;
        b.category("Commands");
        auto& n = b.item(2, "Go", EditorKind(editor));
        n.readonly = readonly;
        CNetProGrid g;
        g.create(b.page);
        showGrid(g);
        QSignalSpy state(&g, &CNetProGrid::stateButtonClicked), send(&g, &CNetProGrid::sendDataClicked);
        auto* button = cellWidget<QToolButton>(g, n);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(state.count(), stateClicks);
        QCOMPARE(send.count(), sendClicks);
        // Disabled as an option list does it: clicks post nothing any more.
        g.setReadOnly(&n, true);
        QVERIFY(!g.buttonEnabled(&n));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(state.count() + send.count(), stateClicks + sendClicks);
        if (editor == int(EditorKind::SendData))
            QCOMPARE(iconImage(button->icon()), iconImage(QIcon(":/grid/send_disabled.png")));
    }

    void buttonRowAndHelp() {
        PageBuilder b;
        b.category("Tools", "Maintenance");
        auto& plain = b.item(1, "Name", EditorKind::Plain, "x");
        plain.comment = "The module's name";
        auto& btn = b.item(2, "Calibrate", EditorKind::Button);
        btn.comment = "Runs a calibration";
        CNetProGrid g;
        g.create(b.page);
        showGrid(g);
        g.tree()->setCurrentItem(g.itemOf(&plain));
        QCOMPARE(g.helpCaption() + "|" + g.helpText(), QString("Name|The module's name"));

        auto* push = cellWidget<QPushButton>(g, btn, 0);
        QVERIFY(push && g.itemOf(&btn)->text(0).isEmpty());
        QCOMPARE(push->text(), QString("Calibrate"));
        QTest::mouseClick(push, Qt::LeftButton);
        QVERIFY(g.tree()->selectedItems().isEmpty());
        QCOMPARE(g.activeButtonNode(), &btn);
        QCOMPARE(g.helpCaption() + "|" + g.helpText(), QString("Calibrate|Runs a calibration"));
        QCOMPARE(g.tree()->visualItemRect(g.itemOf(&btn)).height(), 20);
        // The button spans the row, indented one level.
        QVERIFY(push->width() > g.tree()->columnWidth(0));
        QVERIFY(push->geometry().left() >= 14);
    }

    void userEdits() {
        PageBuilder b;
        b.category("Net");
        auto& ip = b.item(1, "Address", EditorKind::Plain, "10.0.0.1");
        auto& check = b.item(2, "Filter", EditorKind::Plain, "3");
        check.unuseval = "0";
        CNetProGrid g;
        g.create(b.page);
        showGrid(g);
        QSignalSpy changed(&g, &CNetProGrid::valueChanged);
        auto* edit = cellWidget<QLineEdit>(g, ip);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "10.0.0.9 ");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(g.getValue(&ip), std::string("10.0.0.9"));
        QCOMPARE(g.helpCaption(), QString("Address"));  // editing selects the row
        g.setValue(&ip, "1.2.3.4");  // the program's own writes are not reported
        QCOMPARE(changed.count(), 1);

        g.setChecked(&check, true);
        QVERIFY(g.getChecked(&check));
        g.setChecked(&ip, true);  // no check box: ignored
        QVERIFY(!g.getChecked(&ip));
    }

    void coloursAndLookups() {
        PageBuilder b;
        b.category("C");
        auto& red = b.item(1, "Red");
        red.colour = 0x000000FF;
        red.colourSlot = 1;
        auto& twin = b.item(1, "Twin");
        auto& none = b.item(3, "None");
        CNetProGrid g;
        g.create(b.page);
        auto fg = [&](const CatalogNode& n) { return g.itemOf(&n)->foreground(0); };
        QCOMPARE(fg(red).color(), QColor(255, 0, 0));
        QCOMPARE(g.itemOf(&red)->foreground(1).color(), QColor(255, 0, 0));
        g.setColours(true, 0x00FF0000, 0x0000FF00);
        QCOMPARE(fg(red).color(), QColor(0, 0, 255));
        QCOMPARE(fg(none).style(), Qt::NoBrush);
        g.setColours(false, 0, 0);
        QCOMPARE(fg(red).style(), Qt::NoBrush);

        // Repeated look-ups visit every row with an id.
        int start = 0, found = -1;
        QVERIFY(g.findItemById(1, start, found) && g.nodeAt(found) == &red);
        QVERIFY(g.findItemById(1, start, found) && g.nodeAt(found) == &twin);
        QVERIFY(!g.findItemById(1, start, found));
        QCOMPARE(g.indexOfNode(&none), 3);
    }

    void captionsFitAt720() {
        PageBuilder b;
        b.category("通讯参数 / Communication parameters", "串口与以太网 / serial and Ethernet");
        for (const char* c : {"波特率", "Ethernet gateway address", "模拟量输入滤波时间常数",
                              "Analog input filter time constant"})
            b.item(1, c, EditorKind::Plain, "192.168.100.100");
        CNetProGrid g;
        g.create(b.page);
        showGrid(g);
        const QFontMetrics fm(g.tree()->font());
        QVERIFY(g.tree()->columnWidth(1) >= fm.horizontalAdvance("192.168.100.100"));
        for (int i = 1; i <= 4; ++i) {
            const QString caption = g.itemOf(g.nodeAt(i))->text(0);
            QVERIFY2(fm.horizontalAdvance(caption) + 2 * 14 <= g.tree()->columnWidth(0), qPrintable(caption));
        }
    }

    void badInputs() {
        CNetProGrid empty;  // never created
        CatalogNode stray;
        int start = -3, found = -1;
        QVERIFY(!empty.findItemById(1, start, found));
        QCOMPARE(empty.nodeAt(0), nullptr);
        empty.setValue(&stray, "1");
        empty.resetToDefaults();
        empty.expandCollapseAll(0);

        PageBuilder b;
        auto& cat = b.category("C");
        b.item(1, "a");
        CNetProGrid g;
        g.create(b.page);
        for (CatalogNode* n : {static_cast<CatalogNode*>(nullptr), &stray, &cat}) {
            g.setValue(n, "x");
            g.setChecked(n, true);
            g.chooseOption(n);
            g.setReadOnly(n, true);
            g.setStateOn(n, true);
            QCOMPARE(g.getValue(n), std::string());
            QCOMPARE(g.currentOption(n), -1);
            QVERIFY(!g.getChecked(n) && !g.stateOn(n) && !g.buttonEnabled(n));
            QCOMPARE(g.textState(n), -1);
        }
        QCOMPARE(g.nodeAt(-1), nullptr);
        QCOMPARE(g.nodeAt(2), nullptr);
        QCOMPARE(g.indexOfNode(&stray), -1);
        start = 99;
        QVERIFY(!g.findItemById(1, start, found));
        g.create(b.page);  // rebuilding replaces the rows
        QCOMPARE(g.tree()->topLevelItemCount(), 1);
    }
};

QTEST_MAIN(GridTest)
#include "GridTest.moc"
