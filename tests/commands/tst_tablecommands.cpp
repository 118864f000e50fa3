// Dropping and renaming tables against a real server, with the server's own log as the witness
// of what was sent. Built twice: once against MariaDB, once against the SQL Server double.

#include "OdbcTrace.h"
#include "PointerWatchingDialogs.h"
#include "ServerUnderTest.h"

#include "commands/CommandContext.h"
#include "support/MemoryTableList.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QtTest>

using fq::test::ServerSession;
using fq::test::ServerUnderTest;

namespace {

#if FQ_TABLECOMMANDS_MYSQL
constexpr ServerUnderTest::Kind kKind = ServerUnderTest::Kind::MySQL;
#else
constexpr ServerUnderTest::Kind kKind = ServerUnderTest::Kind::MSSQL;
#endif
constexpr bool kMySQL = kKind == ServerUnderTest::Kind::MySQL;

const QString kSelectTable = QStringLiteral("Please select a table to insert");
const QString kSelectOne = QStringLiteral("Please select just one table to rename");

// The table manager as the commands see it.
struct Window {
    fq::test::MemoryTableList mysqlList;
    fq::test::MemoryTableList mssqlList;
    fq::test::FakePointer pointer;
    fq::test::PointerWatchingDialogs dialogs{pointer};
    fq::sql::ConnectionSettings settings = fq::test::localServers();

    fq::commands::CommandContext context() {
        return {mysqlList, mssqlList, dialogs, pointer, [this] { return settings; }};
    }
    const QList<fq::test::FakeDialogs::Box>& shown() const { return dialogs.boxes.shown; }
};

QStringList entries(const fq::ui::TableList& list) {
    QStringList out;
    for (int p = 0; p < list.ListCount(); ++p)
        out.append(list.List(p));
    return out;
}

QStringList selectedEntries(const fq::ui::TableList& list) {
    QStringList out;
    for (int p = 0; p < list.ListCount(); ++p) {
        if (list.Selected(p))
            out.append(list.List(p));
    }
    return out;
}

void selectByName(fq::ui::TableList& list, const QStringList& names) {
    for (int p = 0; p < list.ListCount(); ++p)
        list.SetSelected(p, names.contains(list.List(p)));
}

// Fills the list, selects the given entries and puts the current item on `current` (none when
// empty).
void fill(fq::ui::TableList& list, const QStringList& names, const QStringList& selected,
          const QString& current) {
    for (const QString& n : names)
        list.AddItem(n);
    selectByName(list, selected);
    list.SetListIndex(current.isEmpty() ? -1 : static_cast<int>(entries(list).indexOf(current)));
}

QStringList sorted(QStringList names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

// The statements for ordinary names, written as the server receives them.
QString plainDrop(const QString& name) {
    return kMySQL ? QStringLiteral("DROP TABLE `") + name + u'`'
                  : QStringLiteral("DROP TABLE [") + name + QStringLiteral("];");
}

QString plainRename(const QString& oldName, const QString& newName) {
    return kMySQL
               ? QStringLiteral("RENAME TABLE `") + oldName + QStringLiteral("` TO `") + newName +
                     u'`'
               : QStringLiteral("sp_rename '") + oldName + QStringLiteral("', '") + newName + u'\'';
}

// The connection strings as the commands must build them from the settings of the moment.
// The drop on MySQL uses the test order; the rename uses the command order.
enum class MySQLOrder { Test, Command };
QString expectedConnectionString(MySQLOrder order) {
    const fq::sql::ConnectionSettings s = fq::test::localServers();
    if (!kMySQL) {
        return QStringLiteral("Driver={SQL Server};Server=") + s.msServer +
               QStringLiteral(";Database=") + s.msDatabase + QStringLiteral(";Uid=") + s.msUser +
               QStringLiteral(";Pwd=") + s.msPassword + u';';
    }
    const QString head = QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};SERVER=") + s.myServer;
    const QString user = QStringLiteral(";USER=") + s.myUser;
    const QString database = QStringLiteral(";DATABASE=") + s.myDatabase;
    const QString password = QStringLiteral(";PASSWORD=") + s.myPassword + u';';
    return order == MySQLOrder::Test ? head + user + database + password
                                     : head + database + user + password;
}

// Each traced string is the expected one (the database component may append its own keys,
// such as the SQL Server port).
void verifyConnectionStrings(const QStringList& traced, int count, MySQLOrder order) {
    QCOMPARE(traced.size(), count);
    const QString expected = expectedConnectionString(order);
    for (const QString& s : traced)
        QVERIFY2(s.startsWith(expected), qPrintable(s + QStringLiteral(" / ") + expected));
}

QStringList statementsOf(const QList<ServerSession>& sessions) {
    QStringList out;
    for (const ServerSession& s : sessions)
        out += s.statements;
    return out;
}

} // namespace

class TableCommandsTest : public QObject {
    Q_OBJECT

private:
    ServerUnderTest server_{kKind};
    fq::test::OdbcTrace trace_;
    QStringList leftovers_; // tables a test made, dropped after it whatever its outcome

    void createTables(const QStringList& names) {
        for (const QString& n : names) {
            leftovers_.append(n);
            server_.dropIfExists(n);
            server_.createTable(n);
        }
    }

    // The connections that mention one of the names, once the server has logged each of them
    // closed (the log line of a logout may come a moment after the client has let go).
    QList<ServerSession> closedSessions(const QStringList& names, int expected) {
        QList<ServerSession> sessions;
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            sessions = server_.sessionsMentioning(names);
            const bool allClosed =
                std::all_of(sessions.cbegin(), sessions.cend(),
                            [](const ServerSession& s) { return s.lastLine >= 0; });
            if ((sessions.size() >= expected && allClosed) || timer.hasExpired(5000))
                return sessions;
            QTest::qWait(20);
        }
    }

    void verifyFailureBox(const fq::test::FakeDialogs::Box& box, const QString& table,
                          const QString& serverWords) {
        QVERIFY(!box.input);
        QCOMPARE(box.style, fq::ui::kOkOnly);
        QVERIFY2(box.prompt.contains(table), qPrintable(box.prompt));
        QVERIFY2(box.prompt.contains(serverWords), qPrintable(box.prompt));
    }

private slots:
    void initTestCase() {
        QString error;
        QVERIFY2(trace_.enable(&error), qPrintable(error));
    }

    void cleanup() {
        for (const QString& n : std::as_const(leftovers_))
            server_.dropIfExists(n);
        leftovers_.clear();
    }

    void dropWalksTheSelectionFromTheBottomUp() {
        const QStringList names = {
            fq::test::uniqueName(QStringLiteral("a")), fq::test::uniqueName(QStringLiteral("b")),
            fq::test::uniqueName(QStringLiteral("c")), fq::test::uniqueName(QStringLiteral("d")),
            fq::test::uniqueName(QStringLiteral("e"))};
        const QString &a = names[0], &b = names[1], &c = names[2], &d = names[3], &e = names[4];
        createTables(names);

        Window w;
        auto& list = server_.list(w.context());
        fill(list, names, {a, c, e}, b);
        server_.markLog();
        trace_.mark();
        server_.drop(w.context());
        verifyConnectionStrings(trace_.connectionStringsSinceMark(), 3, MySQLOrder::Test);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(entries(list), (QStringList{b, d}));
        QCOMPARE(selectedEntries(list), QStringList());
        QVERIFY(w.shown().isEmpty());
        QCOMPARE(w.pointer.history,
                 (QList<int>{fq::ui::kPointerHourglass, server_.pointerAfterDrop()}));

        // Three connections, one after the other, one statement each, e first.
        const QList<ServerSession> sessions = closedSessions(names, 3);
        QCOMPARE(sessions.size(), 3);
        QCOMPARE(statementsOf(sessions), (QStringList{plainDrop(e), plainDrop(c), plainDrop(a)}));
        for (qsizetype i = 0; i < sessions.size(); ++i) {
            QVERIFY(sessions[i].loggedIn);
            QCOMPARE(sessions[i].statements.size(), 1);
            QVERIFY2(sessions[i].lastLine >= 0, "connection left open");
            // The server logs a logout on its own time, so "one after the other" shows as: the
            // next login comes after the previous connection's statement was answered.
            if (i > 0)
                QVERIFY2(sessions[i - 1].lastStatementLine < sessions[i].firstLine,
                         "connections overlap");
        }

        const QStringList after = server_.tables();
        for (const QString& gone : {a, c, e})
            QVERIFY2(!after.contains(gone), qPrintable(gone));
        for (const QString& kept : {b, d})
            QVERIFY2(after.contains(kept), qPrintable(kept));
    }

    // With no current item every command shows the one message and does nothing else, whatever
    // is selected: no login (the login of these settings would show in the log), no pointer.
    void noCurrentItem_data() {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<QStringList>("selected");
        QTest::newRow("drop, nothing selected") << false << QStringList();
        QTest::newRow("drop, two selected") << false << QStringList{"t1", "t3"};
        QTest::newRow("rename, nothing selected") << true << QStringList();
        QTest::newRow("rename, one selected") << true << QStringList{"t2"};
        QTest::newRow("rename, two selected") << true << QStringList{"t1", "t2"};
    }

    void noCurrentItem() {
        QFETCH(bool, rename);
        QFETCH(QStringList, selected);

        Window w;
        const QString login = fq::test::uniqueName(QStringLiteral("nologin"));
        w.settings = server_.settingsWithLogin(login);
        auto& list = server_.list(w.context());
        const QStringList names = {"t1", "t2", "t3"};
        fill(list, names, selected, {});
        w.dialogs.boxes.inputs.enqueue(QStringLiteral("renamed"));

        server_.markLog();
        rename ? server_.rename(w.context()) : server_.drop(w.context());

        QCOMPARE(w.shown().size(), 1);
        QCOMPARE(w.shown()[0].prompt, kSelectTable);
        QCOMPARE(w.shown()[0].style, fq::ui::kOkOnly);
        QVERIFY(!w.shown()[0].input);
        QVERIFY(w.pointer.history.isEmpty());
        QCOMPARE(entries(list), names);
        QCOMPARE(selectedEntries(list), selected);
        QTest::qWait(100);
        QVERIFY(server_.sessionsOf(login).isEmpty());
    }

    // A current item, but not exactly one selected entry for a rename / no selection for a drop.
    void currentItemWithoutFittingSelection_data() {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("pointer");
        QTest::newRow("drop, nothing selected: hourglass, then nothing")
            << false << QStringList() << QStringList()
            << QList<int>{fq::ui::kPointerHourglass, server_.pointerAfterDrop()};
        QTest::newRow("rename, nothing selected")
            << true << QStringList() << QStringList{kSelectOne} << QList<int>();
        QTest::newRow("rename, two selected")
            << true << QStringList{"t1", "t3"} << QStringList{kSelectOne} << QList<int>();
        QTest::newRow("rename, all three selected")
            << true << QStringList{"t1", "t2", "t3"} << QStringList{kSelectOne} << QList<int>();
    }

    void currentItemWithoutFittingSelection() {
        QFETCH(bool, rename);
        QFETCH(QStringList, selected);
        QFETCH(QStringList, messages);
        QFETCH(QList<int>, pointer);

        Window w;
        const QString login = fq::test::uniqueName(QStringLiteral("nologin"));
        w.settings = server_.settingsWithLogin(login);
        auto& list = server_.list(w.context());
        const QStringList names = {"t1", "t2", "t3"};
        fill(list, names, selected, QStringLiteral("t2"));
        w.dialogs.boxes.inputs.enqueue(QStringLiteral("renamed"));

        server_.markLog();
        rename ? server_.rename(w.context()) : server_.drop(w.context());

        QStringList prompts;
        for (const auto& box : w.shown()) {
            QVERIFY(!box.input);
            QCOMPARE(box.style, fq::ui::kOkOnly);
            prompts.append(box.prompt);
        }
        QCOMPARE(prompts, messages);
        QCOMPARE(w.pointer.history, pointer);
        QCOMPARE(entries(list), names);
        QCOMPARE(selectedEntries(list), selected);
        QTest::qWait(100);
        QVERIFY(server_.sessionsOf(login).isEmpty());
    }

    void renameGivesTheNewNameItsSortedPlace() {
        const QString orders = fq::test::uniqueName(QStringLiteral("orders"));
        const QString p = fq::test::uniqueName(QStringLiteral("p"));
        const QString t = fq::test::uniqueName(QStringLiteral("t"));
        const QString sales = fq::test::uniqueName(QStringLiteral("sales"));
        createTables({orders, p, t});
        leftovers_.append(sales);

        Window w;
        w.pointer.SetMousePointer(fq::ui::kPointerArrow); // as the hover rules leave it
        auto& list = server_.list(w.context());
        fill(list, {orders, p, t}, {orders}, orders);
        w.dialogs.boxes.inputs.enqueue(sales);

        server_.markLog();
        trace_.mark();
        server_.rename(w.context());
        verifyConnectionStrings(trace_.connectionStringsSinceMark(), 1, MySQLOrder::Command);
        if (QTest::currentTestFailed())
            return;

        QCOMPARE(w.shown().size(), 1);
        const auto& box = w.shown()[0];
        QVERIFY(box.input);
        QCOMPARE(box.prompt, QStringLiteral("Enter new name of ") + orders + u':');
        QCOMPARE(box.defaultText, orders);
        QVERIFY2(box.title.isEmpty() || box.title == QLatin1String(fq::ui::kAppTitle),
                 qPrintable(box.title));

        // SQL Server's rename shows the hourglass over its input box; MySQL's only afterwards.
        const int pointerAtInput = kMySQL ? fq::ui::kPointerArrow : fq::ui::kPointerHourglass;
        QCOMPARE(w.dialogs.pointerAtBox, QList<int>{pointerAtInput});
        QCOMPARE(w.pointer.history, (QList<int>{fq::ui::kPointerArrow, fq::ui::kPointerHourglass,
                                                fq::ui::kPointerArrow}));

        QCOMPARE(entries(list), (QStringList{p, sales, t}));
        QCOMPARE(selectedEntries(list), QStringList());

        const QList<ServerSession> sessions = closedSessions({orders}, 1);
        QCOMPARE(sessions.size(), 1);
        QVERIFY(sessions[0].lastLine >= 0);
        QCOMPARE(sessions[0].statements, QStringList{plainRename(orders, sales)});

        const QStringList after = server_.tables();
        QVERIFY(after.contains(sales));
        QVERIFY(!after.contains(orders));
    }

    void cancelledRenameSendsNothing() {
        Window w;
        const QString login = fq::test::uniqueName(QStringLiteral("nologin"));
        w.settings = server_.settingsWithLogin(login);
        w.pointer.SetMousePointer(fq::ui::kPointerArrow);
        auto& list = server_.list(w.context());
        fill(list, {"t1", "t2"}, {"t2"}, QStringLiteral("t1"));
        // No answer queued: the input box is cancelled.

        server_.markLog();
        server_.rename(w.context());

        QCOMPARE(w.shown().size(), 1);
        QVERIFY(w.shown()[0].input);
        QCOMPARE(w.shown()[0].defaultText, QStringLiteral("t2"));
        QCOMPARE(entries(list), (QStringList{"t1", "t2"}));
        QCOMPARE(selectedEntries(list), QStringList{"t2"});
        const QList<int> history =
            kMySQL ? QList<int>{fq::ui::kPointerArrow}
                   : QList<int>{fq::ui::kPointerArrow, fq::ui::kPointerHourglass,
                                fq::ui::kPointerArrow};
        QCOMPARE(w.pointer.history, history);
        QTest::qWait(100);
        QVERIFY(server_.sessionsOf(login).isEmpty());
    }

    // The statement goes out with both names equal; what happens is the server's decision, and
    // the list follows it.
    void renameToTheSameName() {
        const QString name = fq::test::uniqueName(QStringLiteral("same"));
        createTables({name});

        Window w;
        auto& list = server_.list(w.context());
        fill(list, {name}, {name}, name);
        w.dialogs.boxes.inputs.enqueue(name);

        server_.markLog();
        server_.rename(w.context());

        const QList<ServerSession> sessions = closedSessions({name}, 1);
        QCOMPARE(sessions.size(), 1);
        QCOMPARE(sessions[0].statements, QStringList{plainRename(name, name)});
        QVERIFY(sessions[0].lastLine >= 0);
        QCOMPARE(w.pointer.history.last(), fq::ui::kPointerArrow);
        QVERIFY(server_.tables().contains(name));
        QCOMPARE(entries(list), QStringList{name});
        if (w.shown().size() == 2) {
            // Refused: one box naming the table, the entry left as it was.
            verifyFailureBox(w.shown()[1], name, {});
            QCOMPARE(selectedEntries(list), QStringList{name});
        } else {
            QCOMPARE(w.shown().size(), 1);
            QCOMPARE(selectedEntries(list), QStringList());
        }
    }

    // Each name reaches the server as itself: renamed, then dropped under its new name, with the
    // tables an injected statement would hit left alone. "{u}" stands for a tag unique to the run.
    void hostileNames_data() {
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("renameStatement");
        QTest::addColumn<QString>("dropStatement");
        QTest::addColumn<QStringList>("bystanders");

        if (kMySQL) {
            QTest::newRow("closing bracket") << "a]b{u}"
                                             << "c]d{u}"
                                             << "RENAME TABLE `a]b{u}` TO `c]d{u}`"
                                             << "DROP TABLE `c]d{u}`" << QStringList();
            QTest::newRow("backtick") << "a`b{u}"
                                      << "c`d{u}"
                                      << "RENAME TABLE `a``b{u}` TO `c``d{u}`"
                                      << "DROP TABLE `c``d{u}`" << QStringList();
            QTest::newRow("apostrophe") << "it's{u}"
                                        << "o'k{u}"
                                        << "RENAME TABLE `it's{u}` TO `o'k{u}`"
                                        << "DROP TABLE `o'k{u}`" << QStringList();
            QTest::newRow("semicolon") << "a;b{u}"
                                       << "c;d{u}"
                                       << "RENAME TABLE `a;b{u}` TO `c;d{u}`"
                                       << "DROP TABLE `c;d{u}`" << QStringList();
            QTest::newRow("spaces") << "two words{u}"
                                    << "three more words{u}"
                                    << "RENAME TABLE `two words{u}` TO `three more words{u}`"
                                    << "DROP TABLE `three more words{u}`" << QStringList();
            QTest::newRow("dot") << "a.b{u}"
                                 << "c.d{u}"
                                 << "RENAME TABLE `a.b{u}` TO `c.d{u}`"
                                 << "DROP TABLE `c.d{u}`" << QStringList();
            QTest::newRow("reserved words") << "order"
                                            << "select"
                                            << "RENAME TABLE `order` TO `select`"
                                            << "DROP TABLE `select`" << QStringList();
            QTest::newRow("outside ASCII") << "café{u}"
                                           << "thé{u}"
                                           << "RENAME TABLE `café{u}` TO `thé{u}`"
                                           << "DROP TABLE `thé{u}`" << QStringList();
            QTest::newRow("backtick injection")
                << "x{u}`; DROP TABLE `y{u}"
                << "z{u}`; DROP TABLE `y{u}"
                << "RENAME TABLE `x{u}``; DROP TABLE ``y{u}` TO `z{u}``; DROP TABLE ``y{u}`"
                << "DROP TABLE `z{u}``; DROP TABLE ``y{u}`" << QStringList{"x{u}", "y{u}", "z{u}"};
            QTest::newRow("bracket injection")
                << "x{u}]; DROP TABLE [y{u}"
                << "z{u}]; DROP TABLE [y{u}"
                << "RENAME TABLE `x{u}]; DROP TABLE [y{u}` TO `z{u}]; DROP TABLE [y{u}`"
                << "DROP TABLE `z{u}]; DROP TABLE [y{u}`" << QStringList{"x{u}", "y{u}", "z{u}"};
        } else {
            QTest::newRow("closing bracket") << "a]b{u}"
                                             << "c]d{u}"
                                             << "sp_rename '[a]]b{u}]', 'c]d{u}'"
                                             << "DROP TABLE [c]]d{u}];" << QStringList();
            QTest::newRow("backtick") << "a`b{u}"
                                      << "c`d{u}"
                                      << "sp_rename '[a`b{u}]', 'c`d{u}'"
                                      << "DROP TABLE [c`d{u}];" << QStringList();
            QTest::newRow("apostrophe") << "it's{u}"
                                        << "o'k{u}"
                                        << "sp_rename '[it''s{u}]', 'o''k{u}'"
                                        << "DROP TABLE [o'k{u}];" << QStringList();
            QTest::newRow("semicolon") << "a;b{u}"
                                       << "c;d{u}"
                                       << "sp_rename '[a;b{u}]', 'c;d{u}'"
                                       << "DROP TABLE [c;d{u}];" << QStringList();
            QTest::newRow("spaces") << "two words{u}"
                                    << "three more words{u}"
                                    << "sp_rename '[two words{u}]', 'three more words{u}'"
                                    << "DROP TABLE [three more words{u}];" << QStringList();
            QTest::newRow("dot") << "a.b{u}"
                                 << "c.d{u}"
                                 << "sp_rename '[a.b{u}]', 'c.d{u}'"
                                 << "DROP TABLE [c.d{u}];" << QStringList();
            QTest::newRow("reserved words") << "order"
                                            << "select"
                                            << "sp_rename '[order]', 'select'"
                                            << "DROP TABLE [select];" << QStringList();
            QTest::newRow("outside ASCII") << "café{u}"
                                           << "thé{u}"
                                           << "sp_rename N'[café{u}]', N'thé{u}'"
                                           << "DROP TABLE [thé{u}];" << QStringList();
            QTest::newRow("bracket injection")
                << "x{u}]; DROP TABLE [y{u}"
                << "z{u}]; DROP TABLE [y{u}"
                << "sp_rename '[x{u}]]; DROP TABLE [y{u}]', 'z{u}]; DROP TABLE [y{u}'"
                << "DROP TABLE [z{u}]]; DROP TABLE [y{u}];" << QStringList{"x{u}", "y{u}", "z{u}"};
            QTest::newRow("apostrophe injection")
                << "x{u}'; DROP TABLE y{u}; --"
                << "z{u}'; DROP TABLE y{u}; --"
                << "sp_rename '[x{u}''; DROP TABLE y{u}; --]', 'z{u}''; DROP TABLE y{u}; --'"
                << "DROP TABLE [z{u}'; DROP TABLE y{u}; --];"
                << QStringList{"x{u}", "y{u}", "z{u}"};
            QTest::newRow("backtick injection")
                << "x{u}`; DROP TABLE `y{u}"
                << "z{u}`; DROP TABLE `y{u}"
                << "sp_rename '[x{u}`; DROP TABLE `y{u}]', 'z{u}`; DROP TABLE `y{u}'"
                << "DROP TABLE [z{u}`; DROP TABLE `y{u}];" << QStringList{"x{u}", "y{u}", "z{u}"};
        }
    }

    void hostileNames() {
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        QFETCH(QString, renameStatement);
        QFETCH(QString, dropStatement);
        QFETCH(QStringList, bystanders);

        const QString tag = fq::test::uniqueName(QStringLiteral("_h"));
        const QString u = QStringLiteral("{u}");
        oldName.replace(u, tag);
        newName.replace(u, tag);
        renameStatement.replace(u, tag);
        dropStatement.replace(u, tag);
        bystanders.replaceInStrings(u, tag);
        const QStringList witnesses = {tag, oldName, newName};

        leftovers_.append(newName);
        createTables(QStringList{oldName} + bystanders);
        const QStringList before = server_.tables();
        QVERIFY2(before.contains(oldName), "set-up did not create the table as named");
        QVERIFY(!before.contains(newName));

        // Rename.
        {
            Window w;
            auto& list = server_.list(w.context());
            fill(list, bystanders + QStringList{oldName}, {oldName}, oldName);
            w.dialogs.boxes.inputs.enqueue(newName);
            server_.markLog();
            server_.rename(w.context());

            QCOMPARE(w.shown().size(), 1); // the input box, and no failure
            QCOMPARE(w.shown()[0].prompt, QStringLiteral("Enter new name of ") + oldName + u':');
            QCOMPARE(w.shown()[0].defaultText, oldName);
            QCOMPARE(entries(list), sorted(bystanders + QStringList{newName}));
            QCOMPARE(selectedEntries(list), QStringList());
            QCOMPARE(w.pointer.history.last(), fq::ui::kPointerArrow);
            const QList<ServerSession> sessions = closedSessions(witnesses, 1);
            QCOMPARE(sessions.size(), 1);
            QCOMPARE(sessions[0].statements, QStringList{renameStatement});
        }
        QStringList tables = server_.tables();
        QVERIFY(tables.contains(newName));
        QVERIFY(!tables.contains(oldName));
        for (const QString& b : std::as_const(bystanders))
            QVERIFY2(tables.contains(b), qPrintable(b));

        // Drop under the new name.
        {
            Window w;
            auto& list = server_.list(w.context());
            fill(list, bystanders + QStringList{newName}, {newName}, newName);
            server_.markLog();
            server_.drop(w.context());

            QVERIFY(w.shown().isEmpty());
            QCOMPARE(entries(list), sorted(bystanders));
            QCOMPARE(w.pointer.history,
                     (QList<int>{fq::ui::kPointerHourglass, server_.pointerAfterDrop()}));
            const QList<ServerSession> sessions = closedSessions(witnesses, 1);
            QCOMPARE(sessions.size(), 1);
            QCOMPARE(sessions[0].statements, QStringList{dropStatement});
        }
        tables = server_.tables();
        QVERIFY(!tables.contains(newName));
        for (const QString& b : std::as_const(bystanders))
            QVERIFY2(tables.contains(b), qPrintable(b));
    }

    // SQL Server lists a name twice when two schemas hold it. The statement names the bare
    // name, the server picks the table (the default schema's), and only the visited entry goes.
    void nameListedTwice() {
        if (kMySQL)
            QSKIP("one schema per database on MySQL");
        const QString name = fq::test::uniqueName(QStringLiteral("twice"));
        createTables({name});
        const QString inSales = QStringLiteral("[sales].[") + name + u']';
        server_.execute(QStringLiteral("CREATE TABLE ") + inSales + QStringLiteral(" (id int)"));
        auto dropSales = qScopeGuard([&] {
            try {
                server_.execute(QStringLiteral("DROP TABLE ") + inSales);
            } catch (...) {
            }
        });
        QCOMPARE(server_.tables().count(name), 2);

        Window w;
        auto& list = server_.list(w.context());
        fill(list, {name, name}, {}, name);
        list.SetSelected(1, true);
        server_.markLog();
        server_.drop(w.context());

        QVERIFY(w.shown().isEmpty());
        QCOMPARE(entries(list), QStringList{name});
        QCOMPARE(selectedEntries(list), QStringList());
        const QList<ServerSession> sessions = closedSessions({name}, 1);
        QCOMPARE(statementsOf(sessions), QStringList{plainDrop(name)});
        QCOMPARE(server_.tables().count(name), 1);
    }

    // va, vb and vc selected; vb was dropped behind the list's back. The walk drops vc, stops at
    // vb with the server's words (vb's entry goes: the server says it is not there), and never
    // reaches va.
    void vanishedTableStopsTheDrop() {
        const QString va = fq::test::uniqueName(QStringLiteral("va"));
        const QString vb = fq::test::uniqueName(QStringLiteral("vb"));
        const QString vc = fq::test::uniqueName(QStringLiteral("vc"));
        createTables({va, vb, vc});
        server_.dropIfExists(vb);

        Window w;
        auto& list = server_.list(w.context());
        fill(list, {va, vb, vc}, {va, vb, vc}, va);
        server_.markLog();
        server_.drop(w.context());

        QCOMPARE(w.shown().size(), 1);
        verifyFailureBox(w.shown()[0], vb,
                         kMySQL ? QStringLiteral("Unknown table")
                                : QStringLiteral("Cannot drop the table"));
        QCOMPARE(entries(list), (QStringList{va}));
        QCOMPARE(selectedEntries(list), (QStringList{va}));
        QCOMPARE(w.pointer.history, (QList<int>{fq::ui::kPointerHourglass, fq::ui::kPointerArrow}));

        const QList<ServerSession> sessions = closedSessions({va, vb, vc}, 2);
        QCOMPARE(sessions.size(), 2);
        QCOMPARE(statementsOf(sessions), (QStringList{plainDrop(vc), plainDrop(vb)}));
        QVERIFY2(sessions[1].lastLine >= 0, "the failed connection was not released");

        const QStringList after = server_.tables();
        QVERIFY(!after.contains(vc));
        QVERIFY(after.contains(va));
    }

    void vanishedTableStopsTheRename() {
        const QString gone = fq::test::uniqueName(QStringLiteral("gone"));
        const QString other = fq::test::uniqueName(QStringLiteral("other"));
        createTables({gone, other});
        server_.dropIfExists(gone);
        const QString newName = fq::test::uniqueName(QStringLiteral("newname"));
        leftovers_.append(newName);

        Window w;
        w.pointer.SetMousePointer(fq::ui::kPointerArrow);
        auto& list = server_.list(w.context());
        fill(list, {gone, other}, {gone}, gone);
        w.dialogs.boxes.inputs.enqueue(newName);
        server_.markLog();
        server_.rename(w.context());

        QCOMPARE(w.shown().size(), 2);
        verifyFailureBox(w.shown()[1], gone,
                         kMySQL ? QStringLiteral("doesn't exist") : QStringLiteral("@objname"));
        QCOMPARE(entries(list), (QStringList{gone, other}));
        QCOMPARE(selectedEntries(list), QStringList{gone});
        QCOMPARE(w.pointer.history, (QList<int>{fq::ui::kPointerArrow, fq::ui::kPointerHourglass,
                                                fq::ui::kPointerArrow}));
        const QList<ServerSession> sessions = closedSessions({gone}, 1);
        QCOMPARE(sessions.size(), 1);
        QCOMPARE(sessions[0].statements, QStringList{plainRename(gone, newName)});
        QVERIFY2(sessions[0].lastLine >= 0, "the failed connection was not released");
        QVERIFY(!server_.tables().contains(newName));
    }

    // The connection can't be opened: the first table visited is named with the server's or
    // driver's words, nothing is dropped or renamed, and the pointer comes back.
    void connectionFails_data() {
        QTest::addColumn<bool>("rename");
        QTest::addColumn<bool>("unreachable");
        QTest::newRow("drop, login refused") << false << false;
        QTest::newRow("rename, login refused") << true << false;
        if (!kMySQL) { // the MySQL driver takes no port in SERVER=
            QTest::newRow("drop, nothing listening") << false << true;
            QTest::newRow("rename, nothing listening") << true << true;
        }
    }

    void connectionFails() {
        QFETCH(bool, rename);
        QFETCH(bool, unreachable);
        const QString first = fq::test::uniqueName(QStringLiteral("first"));
        const QString last = fq::test::uniqueName(QStringLiteral("last"));
        createTables({first, last});

        Window w;
        const QString login = fq::test::uniqueName(QStringLiteral("refused"));
        w.settings = server_.settingsWithLogin(login);
        if (unreachable) {
            w.settings.msServer =
                QStringLiteral("127.0.0.1,%1").arg(fq::test::unusedLoopbackPort());
        }
        w.pointer.SetMousePointer(fq::ui::kPointerArrow);
        auto& list = server_.list(w.context());
        const QStringList selected = rename ? QStringList{last} : QStringList{first, last};
        fill(list, {first, last}, selected, first);
        w.dialogs.boxes.inputs.enqueue(QStringLiteral("renamed"));
        server_.markLog();
        rename ? server_.rename(w.context()) : server_.drop(w.context());

        QCOMPARE(w.shown().size(), rename ? 2 : 1);
        verifyFailureBox(w.shown().last(), last,
                         unreachable ? QStringLiteral("Unable to connect") : login);
        QCOMPARE(entries(list), (QStringList{first, last}));
        QCOMPARE(selectedEntries(list), selected);
        QCOMPARE(w.pointer.history.last(), fq::ui::kPointerArrow);
        QCOMPARE(w.pointer.history.count(fq::ui::kPointerHourglass), 1);

        QTest::qWait(100);
        const QList<ServerSession> attempts = server_.sessionsOf(login);
        if (unreachable) {
            QVERIFY(attempts.isEmpty());
        } else {
            QCOMPARE(attempts.size(), 1); // stopped at the first table
            QVERIFY(!attempts[0].loggedIn);
        }
        const QStringList after = server_.tables();
        QVERIFY(after.contains(first));
        QVERIFY(after.contains(last));
    }
};

QTEST_GUILESS_MAIN(TableCommandsTest)
#include "tst_tablecommands.moc"
