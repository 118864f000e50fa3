// The table lists' whole-list operations as the commands use them: adding several entries,
// removing several, reading the entries and the selection, selecting or deselecting all, and
// ListContains / ListRemoveMatches over them. Each case runs on the list without a widget and on
// the window's list reached from a worker thread through the hand-over, as a command reaches it;
// what the operation left is read on the window's thread, one entry at a time.
#include "support/OnWorker.h"
#include "support/Servers.h"
#include "ui/MemoryTableList.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/UiThread.h"

#include <QApplication>
#include <QTest>

#include <functional>

using namespace fq::ui;
using namespace fq::ui::qt;
using fq::test::entriesOf;
using fq::test::fillList;
using fq::test::selectedOf;

namespace {

const QString kMemory = QStringLiteral("memory");
const QString kWindow = QStringLiteral("window");

// A list of each kind: the memory list is used directly, the window's list through the seam a
// command gets, from a thread of its own.
class Lists {
public:
    explicit Lists(const QString& kind) : kind_(kind) {}

    // The list itself, for setting it up and reading it on this (the window's) thread.
    TableList& list() { return kind_ == kMemory ? static_cast<TableList&>(memory_) : widget_; }

    // Runs `act` on the list as a command does: on the window's list from a worker thread.
    void command(const std::function<void(TableList&)>& act) {
        if (kind_ == kMemory) {
            act(memory_);
            return;
        }
        fq::test::onWorker(ui_, [&] { act(seam_); });
    }

private:
    QString kind_;
    MemoryTableList memory_;
    QtTableList widget_;
    UiThread ui_;
    UiThreadTableList seam_{widget_, ui_};
};

// The positions of the selected entries, asked entry by entry.
QList<int> selectedPositions(const TableList& list) {
    QList<int> positions;
    for (int p = 0; p < list.ListCount(); ++p) {
        if (list.Selected(p))
            positions << p;
    }
    return positions;
}

QList<int> positionsOf(const QList<ListEntry>& entries) {
    QList<int> positions;
    for (const ListEntry& e : entries)
        positions << e.position;
    return positions;
}

QStringList textsOf(const QList<ListEntry>& entries) {
    QStringList texts;
    for (const ListEntry& e : entries)
        texts << e.text;
    return texts;
}

// One data row for each kind of list, named after both.
template <typename... Values> void forBothLists(const char* name, const Values&... values) {
    for (const QString& kind : {kMemory, kWindow})
        ((QTest::addRow("%s: %s", qPrintable(kind), name) << kind) << ... << values);
}

using Act = std::function<void(TableList&)>;

} // namespace

Q_DECLARE_METATYPE(Act)

class TableListsTest : public QObject {
    Q_OBJECT

private slots:
    // The list before (its selected entries and the current one by name), the entries added in
    // one call, and the entries, selected positions and current position afterwards: where
    // adding them one after another would have put them, none of them selected, the selection
    // and the current item staying on their entries.
    void addItems_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::addColumn<int>("currentAfter");
        forBothLists("into an empty list, sorted without regard to case", QStringList{},
                     QStringList{}, QString(), QStringList{"sales", "Orders", "b"},
                     QStringList{"b", "Orders", "sales"}, QList<int>{}, -1);
        forBothLists("between the entries: the current and selected ones move down",
                     QStringList{"b", "d", "f"}, QStringList{"b", "f"}, QString("d"),
                     QStringList{"E", "a", "C"}, QStringList{"a", "b", "C", "d", "E", "f"},
                     QList<int>{1, 5}, 3);
        forBothLists("equal but for case: after the listed one, in the order given",
                     QStringList{"orders", "x"}, QStringList{"x"}, QString("orders"),
                     QStringList{"ORDERS", "Orders"},
                     QStringList{"orders", "ORDERS", "Orders", "x"}, QList<int>{3}, 0);
        forBothLists("names already listed and given twice: after the listed ones",
                     QStringList{"a", "b"}, QStringList{"b"}, QString("b"),
                     QStringList{"b", "a", "b"}, QStringList{"a", "a", "b", "b", "b"},
                     QList<int>{2}, 2);
        forBothLists("all after the current one at the top", QStringList{"a"}, QStringList{"a"},
                     QString("a"), QStringList{"z", "m"}, QStringList{"a", "m", "z"}, QList<int>{0},
                     0);
        forBothLists("all before the current one at the bottom", QStringList{"m", "z"},
                     QStringList{"z"}, QString("z"), QStringList{"b", "a", "c"},
                     QStringList{"a", "b", "c", "m", "z"}, QList<int>{4}, 4);
        forBothLists(
            "blanks sort first; every one listed selected", QStringList{" archive", "sales"},
            QStringList{" archive", "sales"}, QString(), QStringList{"scratch", " zeta", "Sales"},
            QStringList{" archive", " zeta", "sales", "Sales", "scratch"}, QList<int>{0, 2}, -1);
        forBothLists("none", QStringList{"a", "b"}, QStringList{"a"}, QString("b"), QStringList{},
                     QStringList{"a", "b"}, QList<int>{0}, 1);
    }

    void addItems() {
        QFETCH(QString, kind);
        QFETCH(QStringList, before);
        QFETCH(QStringList, selected);
        QFETCH(QString, current);
        QFETCH(QStringList, added);
        QFETCH(QStringList, after);
        QFETCH(QList<int>, selectedAfter);
        QFETCH(int, currentAfter);
        Lists lists(kind);
        fillList(lists.list(), before, selected, current);
        lists.command([&added](TableList& l) { l.addItems(added); });
        QCOMPARE(entriesOf(lists.list()), after);
        QCOMPARE(selectedPositions(lists.list()), selectedAfter);
        QCOMPARE(lists.list().ListIndex(), currentAfter);

        // The same as adding them one at a time.
        Lists oneByOne(kind);
        fillList(oneByOne.list(), before, selected, current);
        for (const QString& entry : added)
            oneByOne.list().AddItem(entry);
        QCOMPARE(entriesOf(oneByOne.list()), after);
        QCOMPARE(selectedPositions(oneByOne.list()), selectedAfter);
        QCOMPARE(oneByOne.list().ListIndex(), currentAfter);
    }

    // a b c d e f with c and e selected and the current item on the named entry; the positions
    // removed in one call.
    void removeItems_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QStringList>("selectedAfter");
        QTest::addColumn<int>("currentAfter");
        forBothLists("two above the current one: it moves up by two", QString("d"),
                     QList<int>{0, 2}, QStringList{"b", "d", "e", "f"}, QStringList{"e"}, 1);
        forBothLists("the current one among them: no current item", QString("d"), QList<int>{1, 3},
                     QStringList{"a", "c", "e", "f"}, QStringList{"c", "e"}, -1);
        forBothLists("below the current one: it stays", QString("b"), QList<int>{4, 5},
                     QStringList{"a", "b", "c", "d"}, QStringList{"c"}, 1);
        forBothLists("a run and one apart, the current one between them", QString("e"),
                     QList<int>{1, 2, 3, 5}, QStringList{"a", "e"}, QStringList{"e"}, 1);
        forBothLists("in any order, twice, or outside the list: each goes once", QString("c"),
                     QList<int>{5, 0, 5, 9, -1}, QStringList{"b", "c", "d", "e"},
                     QStringList{"c", "e"}, 1);
        forBothLists("every one", QString("a"), QList<int>{5, 4, 3, 2, 1, 0}, QStringList{},
                     QStringList{}, -1);
        forBothLists("none", QString("f"), QList<int>{}, QStringList{"a", "b", "c", "d", "e", "f"},
                     QStringList{"c", "e"}, 5);
    }

    void removeItems() {
        QFETCH(QString, kind);
        QFETCH(QString, current);
        QFETCH(QList<int>, positions);
        QFETCH(QStringList, after);
        QFETCH(QStringList, selectedAfter);
        QFETCH(int, currentAfter);
        Lists lists(kind);
        fillList(lists.list(), {"a", "b", "c", "d", "e", "f"}, {"c", "e"}, current);
        lists.command([&positions](TableList& l) { l.removeItems(positions); });
        QCOMPARE(entriesOf(lists.list()), after);
        QCOMPARE(selectedOf(lists.list()), selectedAfter);
        QCOMPARE(lists.list().ListIndex(), currentAfter);
    }

    // a b c d e f with nothing selected and d current; what is done to the selection on the
    // window's thread, entry by entry or all at once; the positions the worker then reads as
    // selected, and every entry it reads.
    void selectedEntries_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Act>("select");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QStringList>("entries");
        const QStringList six{"a", "b", "c", "d", "e", "f"};
        forBothLists("none", Act([](TableList&) {}), QList<int>{}, six);
        forBothLists("some, apart", Act([](TableList& l) {
                         for (const int p : {5, 0, 2})
                             l.SetSelected(p, true);
                     }),
                     QList<int>{0, 2, 5}, six);
        forBothLists("all, then two deselected", Act([](TableList& l) {
                         l.setAllSelected(true);
                         l.SetSelected(1, false);
                         l.SetSelected(4, false);
                     }),
                     QList<int>{0, 2, 3, 5}, six);
        forBothLists("some, then all deselected", Act([](TableList& l) {
                         l.SetSelected(1, true);
                         l.SetSelected(3, true);
                         l.setAllSelected(false);
                     }),
                     QList<int>{}, six);
        forBothLists("one selected twice, then deselected once", Act([](TableList& l) {
                         l.SetSelected(2, true);
                         l.SetSelected(2, true);
                         l.SetSelected(3, true);
                         l.SetSelected(2, false);
                     }),
                     QList<int>{3}, six);
        forBothLists("all, then one added in the middle and the first removed",
                     Act([](TableList& l) {
                         l.setAllSelected(true);
                         l.AddItem("cc");
                         l.RemoveItem(0);
                     }),
                     QList<int>{0, 1, 3, 4, 5}, QStringList{"b", "c", "cc", "d", "e", "f"});
        forBothLists("all, then several added and several removed", Act([](TableList& l) {
                         l.setAllSelected(true);
                         l.addItems({"Bb", "ee", "0"});
                         l.removeItems({1, 4});
                     }),
                     QList<int>{1, 3, 4, 6}, QStringList{"0", "b", "Bb", "d", "e", "ee", "f"});
    }

    void selectedEntries() {
        QFETCH(QString, kind);
        QFETCH(Act, select);
        QFETCH(QList<int>, positions);
        QFETCH(QStringList, entries);
        Lists lists(kind);
        fillList(lists.list(), {"a", "b", "c", "d", "e", "f"}, {}, QStringLiteral("d"));
        select(lists.list());
        QList<ListEntry> read;
        QStringList listed;
        lists.command([&](TableList& l) {
            read = l.selectedEntries();
            listed = l.entries();
        });
        QCOMPARE(positionsOf(read), positions);
        QCOMPARE(positionsOf(read), selectedPositions(lists.list()));
        QCOMPARE(textsOf(read), selectedOf(lists.list()));
        QCOMPARE(listed, entries);
        QCOMPARE(listed, entriesOf(lists.list()));
    }

    // Select All and Deselect All from a worker: every entry, whatever was selected, and the
    // current item stays on its entry.
    void setAllSelected_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<bool>("all");
        forBothLists("select, none selected", QStringList{}, true);
        forBothLists("select, some selected", QStringList{"b", "e"}, true);
        forBothLists("deselect, some selected", QStringList{"a", "f"}, false);
        forBothLists("deselect, all selected", QStringList{"a", "b", "c", "d", "e", "f"}, false);
    }

    void setAllSelected() {
        QFETCH(QString, kind);
        QFETCH(QStringList, selected);
        QFETCH(bool, all);
        Lists lists(kind);
        const QStringList six{"a", "b", "c", "d", "e", "f"};
        fillList(lists.list(), six, selected, QStringLiteral("c"));
        lists.command([all](TableList& l) { l.setAllSelected(all); });
        QCOMPARE(selectedOf(lists.list()), all ? six : QStringList{});
        QCOMPARE(lists.list().ListIndex(), 2);
    }

    // ListRemoveMatches walks the entries once from the top: of equal entries side by side, the
    // one that moves up into a removed one's place is not looked at again.
    void removeMatches_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("currentAfter");
        forBothLists("one, above the current one", QStringList{"a", "b", "c"}, QString("c"),
                     QString("a"), true, QStringList{"b", "c"}, 1);
        forBothLists("not there but for case", QStringList{"a", "B"}, QString("B"), QString("b"),
                     false, QStringList{"a", "B"}, 1);
        forBothLists("twice side by side: the second stays", QStringList{"a", "b", "b", "c"},
                     QString("c"), QString("b"), true, QStringList{"a", "b", "c"}, 2);
        forBothLists("three side by side: the middle one stays", QStringList{"b", "b", "b"},
                     QString(), QString("b"), true, QStringList{"b"}, -1);
        forBothLists("four side by side: the second and fourth stay",
                     QStringList{"b", "b", "b", "b"}, QString(), QString("b"), true,
                     QStringList{"b", "b"}, -1);
        forBothLists("twice with a case variant between: both go", QStringList{"b", "B", "b"},
                     QString("B"), QString("b"), true, QStringList{"B"}, 0);
        forBothLists("the current one goes", QStringList{"a", "b"}, QString("b"), QString("b"),
                     true, QStringList{"a"}, -1);
    }

    void removeMatches() {
        QFETCH(QString, kind);
        QFETCH(QStringList, added);
        QFETCH(QString, current);
        QFETCH(QString, name);
        QFETCH(bool, found);
        QFETCH(QStringList, left);
        QFETCH(int, currentAfter);
        Lists lists(kind);
        fillList(lists.list(), added, {}, current);
        bool contained = false;
        lists.command([&](TableList& l) {
            contained = ListContains(name, l);
            ListRemoveMatches(l, name);
        });
        QCOMPARE(contained, found);
        QCOMPARE(entriesOf(lists.list()), left);
        QCOMPARE(lists.list().ListIndex(), currentAfter);
    }

    // The window's list after the user's clicks (each one toggles its entry, and each leaves a
    // selection range of its own): the worker reads the entries the window shows as selected.
    void selectedEntriesAfterClicks_data() {
        QTest::addColumn<QList<int>>("clicked");
        QTest::addColumn<QList<int>>("selected");
        QTest::newRow("one") << QList<int>{3} << QList<int>{3};
        QTest::newRow("every other one, bottom up")
            << QList<int>{10, 8, 6, 4, 2, 0} << QList<int>{0, 2, 4, 6, 8, 10};
        QTest::newRow("neighbours, then the middle one again")
            << QList<int>{4, 5, 6, 5} << QList<int>{4, 6};
        QTest::newRow("all, one by one, then the first and last again")
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 10}
            << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9};
    }

    void selectedEntriesAfterClicks() {
        QFETCH(QList<int>, clicked);
        QFETCH(QList<int>, selected);
        QtTableList window;
        UiThread ui;
        UiThreadTableList seam(window, ui);
        for (int i = 0; i <= 10; ++i)
            window.AddItem(QStringLiteral("t%1").arg(i, 2, 10, QChar(u'0')));
        window.resize(200, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const int row : clicked) {
            window.scrollToItem(window.item(row));
            QTest::mouseClick(window.viewport(), Qt::LeftButton, {},
                              window.visualItemRect(window.item(row)).center());
        }
        QCOMPARE(selectedPositions(window), selected);

        QList<ListEntry> read;
        fq::test::onWorker(ui, [&] { read = seam.selectedEntries(); });
        QCOMPARE(positionsOf(read), selected);
        QCOMPARE(textsOf(read), selectedOf(window));
    }
};

QTEST_MAIN(TableListsTest)
#include "tst_tablelists.moc"
