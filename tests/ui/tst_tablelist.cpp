// The table lists of the table manager: sorting, selection, current item, and the two list
// operations the transfers use, on the window's list and on the widget-free list alike.
#include "support/MemoryTableList.h"
#include "ui/TableList.h"
#include "ui/qt/QtTableList.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using fq::test::MemoryTableList;
using fq::ui::TableList;
using fq::ui::qt::QtTableList;

namespace {

QStringList entries(const TableList& list) {
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

std::unique_ptr<TableList> makeList(bool widget) {
    if (widget)
        return std::make_unique<QtTableList>();
    return std::make_unique<MemoryTableList>();
}

void fill(TableList& list, const QStringList& items) {
    for (const QString& s : items)
        list.AddItem(s);
}

} // namespace

class TableListTest : public QObject {
    Q_OBJECT

private slots:
    void sortedWithoutRegardToCase_data();
    void sortedWithoutRegardToCase();
    void listContains_data();
    void listContains();
    void listRemoveMatches_data();
    void listRemoveMatches();
    void currentItemFollowsItsEntry_data();
    void currentItemFollowsItsEntry();
    void clickAndSpaceToggleSelection();
    void currentItemIsSeparateFromSelection();
};

void TableListTest::sortedWithoutRegardToCase_data() {
    QTest::addColumn<bool>("widget");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("shown");
    for (const bool widget : {true, false}) {
        const char* kind = widget ? "window list" : "memory list";
        QTest::addRow("%s: c, B, a", kind)
            << widget << QStringList{"c", "B", "a"} << QStringList{"a", "B", "c"};
        QTest::addRow("%s: B, c, a", kind)
            << widget << QStringList{"B", "c", "a"} << QStringList{"a", "B", "c"};
        QTest::addRow("%s: equal but for case keep their order", kind)
            << widget << QStringList{"orders", "Orders", "ORDERS"}
            << QStringList{"orders", "Orders", "ORDERS"};
        QTest::addRow("%s: names with blanks and punctuation as given", kind)
            << widget << QStringList{"my table", " lead", "a-b", "a_b"}
            << QStringList{" lead", "a-b", "a_b", "my table"};
        QTest::addRow("%s: duplicates kept", kind)
            << widget << QStringList{"b", "a", "b"} << QStringList{"a", "b", "b"};
    }
}

void TableListTest::sortedWithoutRegardToCase() {
    QFETCH(bool, widget);
    QFETCH(QStringList, added);
    QFETCH(QStringList, shown);
    auto list = makeList(widget);
    fill(*list, added);
    QCOMPARE(entries(*list), shown);
    for (int i = 0; i < list->ListCount(); ++i)
        QVERIFY2(!list->Selected(i), "an added entry is not selected");
    QCOMPARE(list->ListIndex(), -1);
}

void TableListTest::listContains_data() {
    QTest::addColumn<bool>("widget");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");
    for (const bool widget : {true, false}) {
        const char* kind = widget ? "window list" : "memory list";
        QTest::addRow("%s: Orders vs orders", kind)
            << widget << QStringList{"orders"} << "Orders" << false;
        QTest::addRow("%s: orders vs orders", kind)
            << widget << QStringList{"orders"} << "orders" << true;
        QTest::addRow("%s: empty list", kind) << widget << QStringList{} << "a" << false;
        QTest::addRow("%s: trailing blank differs", kind)
            << widget << QStringList{"a "} << "a" << false;
        QTest::addRow("%s: last entry", kind)
            << widget << QStringList{"a", "b", "c"} << "c" << true;
    }
}

void TableListTest::listContains() {
    QFETCH(bool, widget);
    QFETCH(QStringList, items);
    QFETCH(QString, name);
    QFETCH(bool, found);
    auto list = makeList(widget);
    fill(*list, items);
    QCOMPARE(fq::ui::ListContains(name, *list), found);
    QCOMPARE(entries(*list), items);
}

void TableListTest::listRemoveMatches_data() {
    QTest::addColumn<bool>("widget");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("left");
    for (const bool widget : {true, false}) {
        const char* kind = widget ? "window list" : "memory list";
        QTest::addRow("%s: a, a, b minus a", kind)
            << widget << QStringList{"a", "a", "b"} << "a" << QStringList{"a", "b"};
        QTest::addRow("%s: a, b minus c", kind)
            << widget << QStringList{"a", "b"} << "c" << QStringList{"a", "b"};
        QTest::addRow("%s: case must match", kind) << widget << QStringList{"Orders", "sales"}
                                                   << "orders" << QStringList{"Orders", "sales"};
        QTest::addRow("%s: only entry", kind) << widget << QStringList{"a"} << "a" << QStringList{};
        QTest::addRow("%s: last entry", kind)
            << widget << QStringList{"a", "b", "c"} << "c" << QStringList{"a", "b"};
        QTest::addRow("%s: empty list", kind) << widget << QStringList{} << "a" << QStringList{};
    }
}

void TableListTest::listRemoveMatches() {
    QFETCH(bool, widget);
    QFETCH(QStringList, items);
    QFETCH(QString, name);
    QFETCH(QStringList, left);
    auto list = makeList(widget);
    fill(*list, items);
    fq::ui::ListRemoveMatches(*list, name);
    QCOMPARE(entries(*list), left);
}

void TableListTest::currentItemFollowsItsEntry_data() {
    QTest::addColumn<bool>("widget");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("current");
    for (const bool widget : {true, false}) {
        const char* kind = widget ? "window list" : "memory list";
        // The list holds b, d, f with d (1) current.
        QTest::addRow("%s: add before it", kind) << widget << "add a" << 2;
        QTest::addRow("%s: add after it", kind) << widget << "add e" << 1;
        QTest::addRow("%s: remove above it", kind) << widget << "remove 0" << 0;
        QTest::addRow("%s: remove below it", kind) << widget << "remove 2" << 1;
        QTest::addRow("%s: remove it", kind) << widget << "remove 1" << -1;
        QTest::addRow("%s: clear", kind) << widget << "clear" << -1;
        QTest::addRow("%s: set past the end", kind) << widget << "set 3" << -1;
        QTest::addRow("%s: set -1", kind) << widget << "set -1" << -1;
    }
}

void TableListTest::currentItemFollowsItsEntry() {
    QFETCH(bool, widget);
    QFETCH(QString, action);
    QFETCH(int, current);
    auto list = makeList(widget);
    fill(*list, {"b", "d", "f"});
    list->SetListIndex(1);
    QCOMPARE(list->ListIndex(), 1);
    const QStringList words = action.split(u' ');
    if (words[0] == u"add")
        list->AddItem(words[1]);
    else if (words[0] == u"remove")
        list->RemoveItem(words[1].toInt());
    else if (words[0] == u"set")
        list->SetListIndex(words[1].toInt());
    else
        list->Clear();
    QCOMPARE(list->ListIndex(), current);
    if (current >= 0)
        QCOMPARE(list->List(current), QStringLiteral("d"));
}

void TableListTest::clickAndSpaceToggleSelection() {
    QtTableList list;
    fill(list, {"c", "a", "B"});
    list.resize(200, 150);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    const auto click = [&list](int row) {
        const QRect r = list.visualItemRect(list.item(row));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
    };
    click(1); // B
    QVERIFY(list.Selected(1));
    click(2); // c: a second entry joins the selection
    QVERIFY(list.Selected(1));
    QVERIFY(list.Selected(2));
    click(1); // B again: deselected, c stays
    QVERIFY(!list.Selected(1));
    QVERIFY(list.Selected(2));
    QCOMPARE(list.ListIndex(), 1); // the clicked entry has the focus mark

    // The space bar toggles the focused entry.
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Space);
    QVERIFY(list.Selected(1));
    QTest::keyClick(&list, Qt::Key_Space);
    QVERIFY(!list.Selected(1));
    QVERIFY2(!list.Selected(0), "entries that were not touched stay unselected");
    QVERIFY(list.Selected(2));
}

void TableListTest::currentItemIsSeparateFromSelection() {
    QtTableList list;
    QCOMPARE(list.ListIndex(), -1);
    fill(list, {"a", "b", "c"});
    QCOMPARE(list.ListIndex(), -1);
    list.SetListIndex(0);
    QCOMPARE(list.ListIndex(), 0);
    QVERIFY2(!list.Selected(0), "making an entry current does not select it");
    list.SetSelected(2, true);
    QCOMPARE(list.ListIndex(), 0);
    QVERIFY(list.Selected(2));
    list.SetSelected(2, false);
    QVERIFY(!list.Selected(2));
    QCOMPARE(list.ListIndex(), 0);
}

QTEST_MAIN(TableListTest)
#include "tst_tablelist.moc"
