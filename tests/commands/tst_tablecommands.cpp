// Dropping and renaming tables, with each server's log as the witness, the checks every command
// makes before it touches a server, and the one end of every command.
#include "commands/DropTables.h"
#include "commands/Listing.h"
#include "commands/Probes.h"
#include "commands/RenameTable.h"
#include "commands/RunCommand.h"
#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <QTest>

#include <new>
#include <stdexcept>
#include <utility>

using namespace fq;
using test::entriesOf;
using test::fillList;
using test::selectedOf;
using test::Session;

namespace {

enum class Command { Drop, Rename, Send, Listing, TestConnection, ConfirmConnections };

// What fails in the middle of a command, as a fault of the program's own would.
enum class Fault {
    MemoryAtFirstStatement,
    BoxAtOverwrite,
    SettingsAtSecondRead,
    MisuseAtSecondRead,
    NotAStandardException
};

void run(Command command, Server server, const commands::CommandContext& ctx) {
    const bool mysql = server == Server::MySQL;
    if (command == Command::Drop)
        mysql ? commands::DropMySQLTables(ctx) : commands::DropMSSQLTables(ctx);
    else if (command == Command::Rename)
        mysql ? commands::RenameMySQLTable(ctx) : commands::RenameMSSQLTable(ctx);
    else
        mysql ? commands::SendTablesToMSSQL(ctx) : commands::SendTablesToMySQL(ctx);
}

const QString kSelectTable = QStringLiteral("Please select a table to insert");
const QString kSelectOne = QStringLiteral("Please select just one table to rename");

// The statements for ordinary names, as the server receives them.
QString dropOf(Server server, const QString& name) {
    return server == Server::MySQL ? QStringLiteral("DROP TABLE `%1`").arg(name)
                                   : QStringLiteral("DROP TABLE [%1];").arg(name);
}

QString renameOf(Server server, const QString& from, const QString& to) {
    return server == Server::MySQL ? QStringLiteral("RENAME TABLE `%1` TO `%2`").arg(from, to)
                                   : QStringLiteral("sp_rename '%1', '%2'").arg(from, to);
}

QString dropViewOf(Server server, const QString& name) {
    return server == Server::MySQL ? QStringLiteral("DROP VIEW `%1`").arg(name)
                                   : QStringLiteral("DROP VIEW [%1];").arg(name);
}

// A drop that went through leaves the pointer at 0 on SQL Server, at the arrow on MySQL.
int afterDrop(Server server) {
    return server == Server::MySQL ? ui::kPointerArrow : ui::kPointerDefault;
}

void createTables(Server server, const QStringList& names) {
    for (const QString& n : names)
        test::exec(server,
                   {QStringLiteral("CREATE TABLE %1 (id int)").arg(test::delimited(server, n))});
}

} // namespace

Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(Fault)

class TableCommandsTest : public QObject {
    Q_OBJECT

private slots:
    // Without a current item every command says so and does nothing else; a rename needs exactly
    // one selected entry and a name; a drop of nothing shows only the hourglass. None of them
    // builds a connection string but a copy of nothing, which connects and sends nothing.
    void checksBeforeTouchingAServer_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<Server>("server");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<bool>("current");
        QTest::addColumn<QString>("newName"); // empty: the input box is cancelled
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QList<int>>("pointer");
        const QList<int> untouched{ui::kPointerArrow};
        for (const Server s : {Server::MySQL, Server::MSSQL}) {
            const char* on = s == Server::MySQL ? "MySQL" : "SQL Server";
            QTest::addRow("%s: drop, no current item", on)
                << Command::Drop << s << QStringList{"t1", "t3"} << false << "x"
                << QStringList{kSelectTable} << untouched;
            QTest::addRow("%s: rename, no current item", on)
                << Command::Rename << s << QStringList{"t2"} << false << "x"
                << QStringList{kSelectTable} << untouched;
            QTest::addRow("%s: send, no current item", on)
                << Command::Send << s << QStringList{"t2"} << false << "x"
                << QStringList{kSelectTable} << untouched;
            QTest::addRow("%s: send, nothing selected", on)
                << Command::Send << s << QStringList() << true << "x" << QStringList()
                << QList<int>{ui::kPointerArrow, ui::kPointerHourglass, ui::kPointerArrow};
            QTest::addRow("%s: drop, nothing selected", on)
                << Command::Drop << s << QStringList() << true << "x" << QStringList()
                << QList<int>{ui::kPointerArrow, ui::kPointerHourglass, afterDrop(s)};
            QTest::addRow("%s: rename, nothing selected", on)
                << Command::Rename << s << QStringList() << true << "x" << QStringList{kSelectOne}
                << untouched;
            QTest::addRow("%s: rename, two selected", on)
                << Command::Rename << s << QStringList{"t1", "t3"} << true << "x"
                << QStringList{kSelectOne} << untouched;
            // SQL Server's rename shows the hourglass over its input box, MySQL's only afterwards.
            QTest::addRow("%s: rename cancelled", on)
                << Command::Rename << s << QStringList{"t2"} << true << ""
                << QStringList{"Enter new name of t2:"}
                << (s == Server::MySQL
                        ? untouched
                        : QList<int>{ui::kPointerArrow, ui::kPointerHourglass, ui::kPointerArrow});
        }
    }

    void checksBeforeTouchingAServer() {
        QFETCH(Command, command);
        QFETCH(Server, server);
        QFETCH(QStringList, selected);
        QFETCH(bool, current);
        QFETCH(QString, newName);
        QFETCH(QStringList, boxes);
        QFETCH(QList<int>, pointer);

        test::TestWindow w;
        w.pointer.SetMousePointer(ui::kPointerArrow); // as the hover rules leave it
        const QStringList names{"t1", "t2", "t3"};
        fillList(w.list(server), names, selected, current ? QStringLiteral("t2") : QString());
        w.dialogs.inputs.enqueue(newName);
        run(command, server, w.context());

        QStringList prompts;
        for (const auto& box : std::as_const(w.dialogs.shown)) {
            prompts << box.prompt;
            QVERIFY(box.input || (box.style == ui::kOkOnly && box.title.isEmpty()));
        }
        QCOMPARE(prompts, boxes);
        QCOMPARE(w.pointer.history, pointer);
        QCOMPARE(entriesOf(w.list(server)), names);
        QCOMPARE(selectedOf(w.list(server)), selected);
        QCOMPARE(w.settingsReads, command == Command::Send && current ? 1 : 0);
        QCOMPARE(entriesOf(w.list(server == Server::MySQL ? Server::MSSQL : Server::MySQL)),
                 QStringList());
    }

    // Each name reaches the server as itself: renamed (the new name takes its sorted place), then
    // dropped under its new name, with the tables an injected statement would hit left alone.
    // "{u}" stands for a tag unique to the run.
    void hostileNames_data() {
        QTest::addColumn<Server>("server");
        QTest::addColumn<QString>("oldName");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QString>("rename");
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QStringList>("bystanders");
        // Row name, old name, new name, rename statement, drop statement; an injection row has
        // the bystanders x, y and z.
        const char* const mysql[][5] = {
            {"outside ASCII", "café{u}", "thé{u}", "RENAME TABLE `café{u}` TO `thé{u}`",
             "DROP TABLE `thé{u}`"},
            {"backtick injection", "x{u}`; DROP TABLE `y{u}", "z{u}`; DROP TABLE `y{u}",
             "RENAME TABLE `x{u}``; DROP TABLE ``y{u}` TO `z{u}``; DROP TABLE ``y{u}`",
             "DROP TABLE `z{u}``; DROP TABLE ``y{u}`"}};
        const char* const mssql[][5] = {
            {"dot", "a.b{u}", "c.d{u}", "sp_rename '[a.b{u}]', 'c.d{u}'", "DROP TABLE [c.d{u}];"},
            {"outside ASCII", "café{u}", "thé{u}", "sp_rename N'[café{u}]', N'thé{u}'",
             "DROP TABLE [thé{u}];"},
            {"bracket injection", "x{u}]; DROP TABLE [y{u}", "z{u}]; DROP TABLE [y{u}",
             "sp_rename '[x{u}]]; DROP TABLE [y{u}]', 'z{u}]; DROP TABLE [y{u}'",
             "DROP TABLE [z{u}]]; DROP TABLE [y{u}];"},
            {"apostrophe injection", "x{u}'; DROP TABLE y{u}; --", "z{u}'; DROP TABLE y{u}; --",
             "sp_rename '[x{u}''; DROP TABLE y{u}; --]', 'z{u}''; DROP TABLE y{u}; --'",
             "DROP TABLE [z{u}'; DROP TABLE y{u}; --];"}};
        for (const Server server : {Server::MySQL, Server::MSSQL}) {
            const auto add = [server](const auto& rows) {
                for (const auto& r : rows)
                    QTest::addRow("%s: %s", server == Server::MySQL ? "MySQL" : "SQL Server", r[0])
                        << server << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2])
                        << QString::fromUtf8(r[3]) << QString::fromUtf8(r[4])
                        << (QString::fromUtf8(r[0]).endsWith(u"injection")
                                ? QStringList{"x{u}", "y{u}", "z{u}"}
                                : QStringList());
            };
            server == Server::MySQL ? add(mysql) : add(mssql);
        }
    }

    void hostileNames() {
        QFETCH(Server, server);
        QFETCH(QString, oldName);
        QFETCH(QString, newName);
        QFETCH(QString, rename);
        QFETCH(QString, drop);
        QFETCH(QStringList, bystanders);
        const QString tag = test::uniqueName(QStringLiteral("_h"));
        for (QString* s : {&oldName, &newName, &rename, &drop})
            s->replace(QStringLiteral("{u}"), tag);
        bystanders.replaceInStrings(QStringLiteral("{u}"), tag);
        test::Scratch scratch;
        for (const QString& n : bystanders + QStringList{oldName, newName})
            scratch.keep(n);
        createTables(server, bystanders + QStringList{oldName});
        test::ServerLog log(server);

        test::TestWindow w;
        fillList(w.list(server), bystanders + QStringList{oldName}, {oldName}, oldName);
        w.dialogs.inputs.enqueue(newName);
        run(Command::Rename, server, w.context());
        QCOMPARE(w.dialogs.shown.size(), 1); // the input box, and no failure
        QCOMPARE(w.dialogs.shown[0].prompt, QStringLiteral("Enter new name of %1:").arg(oldName));
        QCOMPARE(w.dialogs.shown[0].defaultText, oldName);
        QCOMPARE(w.dialogs.shown[0].title, QStringLiteral("Fernquill"));
        QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        QCOMPARE(selectedOf(w.list(server)), QStringList());
        QCOMPARE(test::statementsOf(log.sessionsMentioning({tag, oldName})), QStringList{rename});
        QCOMPARE(entriesOf(w.list(server)), bystanders + QStringList{newName});

        fillList(w.list(server), entriesOf(w.list(server)), {newName}, newName);
        log.mark();
        run(Command::Drop, server, w.context());
        QCOMPARE(w.dialogs.shown.size(), 1);
        QCOMPARE(test::statementsOf(log.sessionsMentioning({tag, newName})), QStringList{drop});
        QCOMPARE(entriesOf(w.list(server)), bystanders);
        QCOMPARE(w.pointer.history.last(), afterDrop(server));
        const QStringList after = test::tables(server);
        QVERIFY(!after.contains(oldName) && !after.contains(newName));
        for (const QString& b : std::as_const(bystanders))
            QVERIFY2(after.contains(b), qPrintable(b));
    }

    // SQL Server lists a name twice when two schemas hold it. The statement names the bare name,
    // the server picks the table (the default schema's), and only the visited entry goes.
    void nameListedTwice() {
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("twice"));
        const QString inSales = QStringLiteral("[sales].[%1]").arg(name);
        createTables(Server::MSSQL, {name});
        test::exec(Server::MSSQL, {QStringLiteral("CREATE TABLE %1 (id int)").arg(inSales)});
        test::TestWindow w;
        fillList(w.mssqlList, {name, name}, {}, name);
        w.mssqlList.SetSelected(1, true);
        test::ServerLog log(Server::MSSQL);
        commands::DropMSSQLTables(w.context());

        QVERIFY(w.dialogs.shown.isEmpty());
        QCOMPARE(entriesOf(w.mssqlList), QStringList{name});
        QCOMPARE(selectedOf(w.mssqlList), QStringList());
        QCOMPARE(test::statementsOf(log.sessionsMentioning({name})),
                 QStringList{dropOf(Server::MSSQL, name)});
        QCOMPARE(test::tables(Server::MSSQL).count(name), 1);
    }

    // A view in the list goes with DROP VIEW, sent on the same connection once the server has
    // refused DROP TABLE for it as a view; the table under it stays with its rows. The list holds
    // %c (a table another table refers to, on MySQL), the table %t and the view %v over %t, in
    // that order; the selected entries are dropped from the bottom up.
    void views_data() {
        QTest::addColumn<Server>("server");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<int>("cause"); // 0: nothing else fails, 1: the login is refused
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("entries");
        // What the one message box says failed, and part of the server's words; or nothing.
        QTest::addColumn<QString>("failed");
        QTest::addColumn<QString>("words");
        const QStringList all{"%c", "%t", "%v"};
        for (const Server s : {Server::MySQL, Server::MSSQL}) {
            const char* on = s == Server::MySQL ? "MySQL" : "SQL Server";
            const QStringList viewDropped{dropOf(s, "%v"), dropViewOf(s, "%v")};
            QTest::addRow("%s: the view", on) << s << QStringList{"%v"} << 0 << viewDropped
                                              << QStringList{"%c", "%t"} << QString() << QString();
            QTest::addRow("%s: the view, then its table", on)
                << s << QStringList{"%t", "%v"} << 0 << viewDropped + QStringList{dropOf(s, "%t")}
                << QStringList{"%c"} << QString() << QString();
            QTest::addRow("%s: the view, the login refused", on)
                << s << QStringList{"%v"} << 1 << QStringList() << all
                << QString(s == Server::MySQL ? "Could not connect to the MySQL server"
                                              : "Could not connect to the MS SQL Server") +
                       " to drop the table \"%v\"."
                << (s == Server::MySQL ? "Access denied" : "Login failed");
        }
        QTest::newRow("MySQL: the view, then a table the server refuses to drop")
            << Server::MySQL << QStringList{"%c", "%v"} << 0
            << QStringList{dropOf(Server::MySQL, "%v"), dropViewOf(Server::MySQL, "%v"),
                           dropOf(Server::MySQL, "%c")}
            << QStringList{"%c", "%t"} << "The MySQL server did not drop the table \"%c\"."
            << "a foreign key constraint fails";
    }

    void views() {
        QFETCH(Server, server);
        QFETCH(QStringList, selected);
        QFETCH(int, cause);
        QFETCH(QStringList, statements);
        QFETCH(QStringList, entries);
        QFETCH(QString, failed);
        QFETCH(QString, words);
        test::Scratch scratch;
        const QString child = scratch.name(QStringLiteral("vchild"));
        const QString c = scratch.name(QStringLiteral("vc"));
        const QString t = scratch.name(QStringLiteral("vt"));
        const QString v = scratch.name(QStringLiteral("vv"));
        const QString login = test::uniqueName(QStringLiteral("refused"));
        const QList<std::pair<QString, QString>> names{{"%c", c}, {"%t", t}, {"%v", v}};
        const QString tableName = test::delimited(server, t);
        createTables(server, {c});
        test::exec(server,
                   {QStringLiteral("CREATE TABLE %1 (id int, name varchar(10))").arg(tableName),
                    QStringLiteral("INSERT INTO %1 VALUES (1, 'one'), (2, NULL)").arg(tableName),
                    QStringLiteral("CREATE VIEW %1 AS SELECT name, id FROM %2")
                        .arg(test::delimited(server, v), tableName)});
        if (server == Server::MySQL)
            test::exec(server, {QStringLiteral("ALTER TABLE `%1` ADD PRIMARY KEY (id)").arg(c),
                                QStringLiteral("CREATE TABLE `%1` (id int, FOREIGN KEY (id) "
                                               "REFERENCES `%2` (id))")
                                    .arg(child, c)});
        QCOMPARE(test::textRows(server, v), (QList<QStringList>{{"<NULL>", "2"}, {"one", "1"}}));
        test::TestWindow w;
        if (cause == 1)
            (server == Server::MySQL ? w.settings.myUser : w.settings.msUser) = login;
        w.pointer.SetMousePointer(ui::kPointerArrow);
        fillList(w.list(server), {c, t, v}, test::replaced(selected, names), v);
        test::ServerLog log(server);
        run(Command::Drop, server, w.context());

        failed = test::replaced({failed}, names)[0];
        QCOMPARE(w.dialogs.shown.size(), failed.isEmpty() ? 0 : 1);
        if (!failed.isEmpty()) {
            const QString prompt = w.dialogs.shown[0].prompt;
            QCOMPARE(prompt.section(QStringLiteral("\n\n"), 0, 0), failed);
            QVERIFY2(prompt.contains(words), qPrintable(prompt));
        }
        entries = test::replaced(entries, names);
        QCOMPARE(entriesOf(w.list(server)), entries);
        QCOMPARE(w.pointer.history.last(),
                 failed.isEmpty() ? afterDrop(server) : ui::kPointerArrow);
        const QList<Session> sessions = log.sessionsMentioning({c, t, v});
        QCOMPARE(test::statementsOf(sessions), test::replaced(statements, names));
        for (const Session& session : sessions) { // one connection for each entry, released
            QVERIFY(session.closed);
            QCOMPARE(session.statements.size(),
                     session.statements.value(0) == dropOf(server, v) ? 2 : 1);
        }
        // The server holds what the list shows, and the table under a view that went keeps its
        // rows.
        const QStringList after = test::tables(server);
        for (const QString& name : {c, t, v})
            QCOMPARE(after.contains(name), entries.contains(name));
        if (after.contains(t))
            QCOMPARE(test::count(server, t), 2LL);
    }

    // The command stops at the first table that fails, with one box naming it and the server's
    // words; what was dropped stays dropped, the rest of the list stays. The list holds %a, %b
    // and %c; a drop has all three selected, a rename %b, to be named %n; %l is a refused login.
    void stopsAtTheFirstFailure_data() {
        QTest::addColumn<Server>("server");
        QTest::addColumn<Command>("command");
        // 0: %b is gone, 1: the login is refused, 2: unreachable, 3: a table refers to %c
        QTest::addColumn<int>("cause");
        QTest::addColumn<QString>("failed");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QStringList>("entries");
        const QStringList all{"%a", "%b", "%c"};
        for (const Server s : {Server::MySQL, Server::MSSQL}) {
            const bool my = s == Server::MySQL;
            const char* on = my ? "MySQL" : "SQL Server";
            // Gone already: the entry goes with it, so the next drop does not fail on it again.
            // MySQL answers "Unknown table" for a view as well: DROP VIEW is tried, and the
            // message gives the words of the first answer.
            QTest::addRow("%s: drop, a table gone", on)
                << s << Command::Drop << 0
                << "table \"%b\" does not exist; its entry is removed from the list."
                << (my ? "Unknown table" : "Cannot drop the table")
                << (QStringList{dropOf(s, "%c"), dropOf(s, "%b")} +
                    (my ? QStringList{dropViewOf(s, "%b")} : QStringList()))
                << QStringList{"%a"};
            QTest::addRow("%s: rename, the table gone", on)
                << s << Command::Rename << 0 << "%b" << (my ? "doesn't exist" : "@objname")
                << QStringList{renameOf(s, "%b", "%n")} << all;
            QTest::addRow("%s: drop, login refused", on) << s << Command::Drop << 1 << "%c"
                                                         << "%l" << QStringList() << all;
        }
        // Any other refusal of the drop keeps the entry.
        QTest::newRow("MySQL: drop, a table referenced by a foreign key")
            << Server::MySQL << Command::Drop << 3 << "%c"
            << "foreign key" << QStringList{dropOf(Server::MySQL, "%c")} << all;
        // Nothing listening at the port the server's setting names.
        QTest::newRow("MySQL: drop, nothing listening")
            << Server::MySQL << Command::Drop << 2 << "%c"
            << "Can't connect to server" << QStringList() << all;
        QTest::newRow("SQL Server: drop, nothing listening")
            << Server::MSSQL << Command::Drop << 2 << "%c"
            << "Unable to connect" << QStringList() << all;
    }

    void stopsAtTheFirstFailure() {
        QFETCH(Server, server);
        QFETCH(Command, command);
        QFETCH(int, cause);
        QFETCH(QString, failed);
        QFETCH(QString, words);
        QFETCH(QStringList, statements);
        QFETCH(QStringList, entries);
        test::Scratch scratch;
        const QString child = scratch.name(QStringLiteral("child")); // dropped before %c
        const QString a = scratch.name(QStringLiteral("a"));
        const QString b = scratch.name(QStringLiteral("b"));
        const QString c = scratch.name(QStringLiteral("c"));
        const QString n = scratch.name(QStringLiteral("renamed"));
        const QString login = test::uniqueName(QStringLiteral("refused"));
        const QList<std::pair<QString, QString>> names{
            {"%a", a}, {"%b", b}, {"%c", c}, {"%n", n}, {"%l", login}};
        createTables(server, cause == 0 ? QStringList{a, c} : QStringList{a, b, c});
        if (cause == 3)
            test::exec(server, {QStringLiteral("ALTER TABLE `%1` ADD PRIMARY KEY (id)").arg(c),
                                QStringLiteral("CREATE TABLE `%1` (id int, FOREIGN KEY (id) "
                                               "REFERENCES `%2` (id))")
                                    .arg(child, c)});
        test::TestWindow w;
        if (cause == 1)
            (server == Server::MySQL ? w.settings.myUser : w.settings.msUser) = login;
        if (cause == 2 && server == Server::MySQL)
            w.settings.myServer = QStringLiteral("127.0.0.1:%1").arg(test::unusedLoopbackPort());
        if (cause == 2 && server == Server::MSSQL)
            w.settings.msServer = QStringLiteral("127.0.0.1,%1").arg(test::unusedLoopbackPort());
        w.pointer.SetMousePointer(ui::kPointerArrow);
        const bool rename = command == Command::Rename;
        fillList(w.list(server), {a, b, c}, rename ? QStringList{b} : QStringList{a, b, c}, a);
        w.dialogs.inputs.enqueue(n);
        test::ServerLog log(server);
        run(command, server, w.context());

        QCOMPARE(w.dialogs.shown.size(), rename ? 2 : 1);
        const auto& box = w.dialogs.shown.last();
        QVERIFY(!box.input && box.style == ui::kOkOnly);
        QCOMPARE(box.failure,
                 cause == 1 || cause == 2 ? ui::Failure::NotConnected : ui::Failure::Refused);
        const QStringList named = test::replaced({failed, words}, names);
        QVERIFY2(box.prompt.contains(named[0]) && box.prompt.contains(named[1]),
                 qPrintable(box.prompt));
        // A refused login has a number of its own in the codes.
        QVERIFY2(
            box.detail.contains(QStringLiteral("error number %1")
                                    .arg(cause == 1 ? odbc::kLoginRefused : odbc::kGenericFailure)),
            qPrintable(box.detail));
        entries = test::replaced(entries, names);
        QCOMPARE(entriesOf(w.list(server)), entries);
        QCOMPARE(selectedOf(w.list(server)), rename ? QStringList{b} : entries);
        QCOMPARE(w.pointer.history,
                 (QList<int>{ui::kPointerArrow, ui::kPointerHourglass, ui::kPointerArrow}));
        const QList<Session> sessions = log.sessionsMentioning({a, b, c});
        QCOMPARE(test::statementsOf(sessions), test::replaced(statements, names));
        for (const Session& session : sessions) { // a connection for each table, released
            QVERIFY(session.closed);
            const QStringList viewTried{dropOf(server, b), dropViewOf(server, b)};
            QVERIFY(session.statements.size() == 1 || session.statements == viewTried);
        }
        if (cause == 1) { // one attempt: the command stopped at the first table
            QCOMPARE(log.sessionsOf(login).size(), 1);
            QVERIFY(!log.sessionsOf(login)[0].loggedIn);
        }
        const QStringList after = test::tables(server);
        QVERIFY(after.contains(a) && !after.contains(n));
        QCOMPARE(after.contains(c), cause != 0 || rename);
    }

    // A fault of the program's own that escapes a command (here injected through the seams the
    // commands see) ends in the one message of every command: its name, the words for what
    // happened, the exception's text as the details, and the arrow back. Tables a (2 rows) and b
    // (3 rows) are on `server`, walked from b; the lists show what both servers hold afterwards,
    // "name:rows" for each of a and b.
    void unexpectedErrorEndsInOneMessage_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<Server>("server");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QStringList>("here");  // on `server`, and in its list
        QTest::addColumn<QStringList>("there"); // on the other server, and in its list
        const QString fault = QStringLiteral(
            "Fernquill could not finish %1: an unexpected error stopped it. This is a fault in "
            "Fernquill itself, not in your servers or settings. Whatever the command did before it "
            "stopped stands; the table lists show it. Please write to support@fernquill.example "
            "with the details of this message.");
        // The table being copied was created: it is listed, with the rows that arrived.
        QTest::newRow("copy to SQL Server: memory runs out after b's first statement")
            << Command::Send << Server::MySQL << Fault::MemoryAtFirstStatement
            << "\"Send Table(s) to MS SQL Server\""
            << "Fernquill could not finish \"Send Table(s) to MS SQL Server\": it ran out of "
               "memory. Whatever the command did before it stopped stands; the table lists show "
               "it. Closing other programs frees memory; then try again."
            << "std::bad_alloc" << QStringList{"a:2", "b:3"} << QStringList{"b:3"};
        QTest::newRow("copy to MySQL: the overwrite question for a fails, b copied")
            << Command::Send << Server::MSSQL << Fault::BoxAtOverwrite
            << "\"Send Table(s) to MySQL\"" << fault.arg("\"Send Table(s) to MySQL\"")
            << "the box could not be shown" << QStringList{"a:2", "b:3"}
            << QStringList{"a:5", "b:3"};
        QTest::newRow("drop on MySQL: the settings cannot be read for a, b dropped")
            << Command::Drop << Server::MySQL << Fault::SettingsAtSecondRead
            << "\"Delete Table(s)\" of the MySQL tables"
            << fault.arg("\"Delete Table(s)\" of the MySQL tables")
            << "the settings could not be read" << QStringList{"a:2"} << QStringList();
        QTest::newRow("drop on SQL Server: the database component misused for a, b dropped")
            << Command::Drop << Server::MSSQL << Fault::MisuseAtSecondRead
            << "\"Delete Table(s)\" of the MS SQL Server tables"
            << fault.arg("\"Delete Table(s)\" of the MS SQL Server tables")
            << "The connection is not open." << QStringList{"a:2"} << QStringList();
        QTest::newRow("drop on SQL Server: a value of any other type thrown")
            << Command::Drop << Server::MSSQL << Fault::NotAStandardException
            << "\"Delete Table(s)\" of the MS SQL Server tables"
            << fault.arg("\"Delete Table(s)\" of the MS SQL Server tables")
            << "An exception of a type Fernquill does not know." << QStringList{"a:2"}
            << QStringList();
    }

    void unexpectedErrorEndsInOneMessage() {
        QFETCH(Command, command);
        QFETCH(Server, server);
        QFETCH(Fault, fault);
        QFETCH(QString, name);
        QFETCH(QString, said);
        QFETCH(QString, detail);
        QFETCH(QStringList, here);
        QFETCH(QStringList, there);
        const Server other = server == Server::MySQL ? Server::MSSQL : Server::MySQL;
        test::Scratch scratch;
        const QString a = scratch.name(QStringLiteral("fault_a"));
        const QString b = scratch.name(QStringLiteral("fault_b"));
        test::createNumbered(server, a, 2);
        test::createNumbered(server, b, 3);
        test::TestWindow w;
        w.pointer.SetMousePointer(ui::kPointerArrow);
        fillList(w.list(server), {a, b}, {a, b}, a);
        if (fault == Fault::BoxAtOverwrite) {
            test::createNumbered(other, a, 5);
            fillList(w.list(other), {a});
        }

        if (fault == Fault::BoxAtOverwrite)
            w.dialogs.failAt = QStringLiteral("Would you like to overwrite");
        test::HookedProgress progress;
        if (fault == Fault::MemoryAtFirstStatement)
            progress.onUpdate = [](long long) -> bool { throw std::bad_alloc(); };
        int reads = 0;
        const commands::CommandContext ctx{
            w.mysqlList,
            w.mssqlList,
            w.dialogs,
            w.pointer,
            [&] {
                if (++reads == 2 && fault == Fault::SettingsAtSecondRead)
                    throw std::runtime_error("the settings could not be read");
                if (reads == 2 && fault == Fault::MisuseAtSecondRead)
                    odbc::Connection().execute(QStringLiteral("SELECT 1"));
                if (reads == 2 && fault == Fault::NotAStandardException)
                    throw 42;
                return w.settings;
            },
            &progress};
        QVERIFY(!commands::runCommand(name, w.dialogs, [&] { run(command, server, ctx); }));

        QCOMPARE(w.dialogs.shown.size(), 1);
        QCOMPARE(w.dialogs.shown[0].prompt, said);
        QCOMPARE(w.dialogs.shown[0].detail, detail);
        QCOMPARE(w.dialogs.shown[0].style, ui::kOkOnly);
        QCOMPARE(w.dialogs.shown[0].failure, ui::Failure::Fault);
        QCOMPARE(w.pointer.MousePointer(), ui::kPointerArrow);
        const auto holding = [&](Server on) {
            QStringList held;
            const QStringList tables = test::tables(on);
            for (const auto& [n, letter] : {std::pair{a, "a"}, std::pair{b, "b"}})
                if (tables.contains(n))
                    held << QStringLiteral("%1:%2").arg(letter).arg(test::count(on, n));
            return held;
        };
        const auto names = [](const QStringList& held) {
            QStringList out;
            for (const QString& h : held)
                out << h.section(u':', 0, 0);
            return out;
        };
        QCOMPARE(holding(server), here);
        QCOMPARE(holding(other), there);
        QCOMPARE(test::replaced(entriesOf(w.list(server)), {{a, "a"}, {b, "b"}}), names(here));
        QCOMPARE(test::replaced(entriesOf(w.list(other)), {{a, "a"}, {b, "b"}}), names(there));
    }
    // A SQL Server value that its driver cannot take whole (a password holding "};") is refused
    // before anything is sent, by every command that connects to SQL Server: the message says
    // what could not be done, as for a server that cannot be reached, then which value to change
    // (with Test Connection and OK's check, in the details); the lists stay as they were, but for
    // the list being loaded.
    void valueTheDriverCannotTake_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<Server>("server"); // whose list the command works on
        QTest::addColumn<QString>("said");  // %a the table, %n the new name
        QTest::addColumn<bool>("inDetail"); // the refusal's words are the details
        const QString advice = QStringLiteral(
            "Please check server, username, password, database with your administrator. For "
            "help, write to support@fernquill.example.");
        const QString copy = QStringLiteral("Could not connect to SQL Server; nothing was copied.");
        QTest::newRow("drop") << Command::Drop << Server::MSSQL
                              << "Could not connect to the MS SQL Server to drop the table \"%a\"."
                              << false;
        QTest::newRow("rename")
            << Command::Rename << Server::MSSQL
            << "Could not connect to the MS SQL Server to rename the table \"%a\" to \"%n\"."
            << false;
        QTest::newRow("copy to MySQL") << Command::Send << Server::MSSQL << copy << false;
        QTest::newRow("copy to SQL Server") << Command::Send << Server::MySQL << copy << false;
        QTest::newRow("listing") << Command::Listing << Server::MSSQL
                                 << "The tables of the MS SQL Server database could not be listed."
                                 << false;
        QTest::newRow("Test Connection")
            << Command::TestConnection << Server::MSSQL << "Could not connect. " + advice << true;
        QTest::newRow("OK's check of both servers")
            << Command::ConfirmConnections << Server::MSSQL
            << "Could not connect to the MS SQL Server database. " + advice << true;
    }

    void valueTheDriverCannotTake() {
        QFETCH(Command, command);
        QFETCH(Server, server);
        QFETCH(QString, said);
        QFETCH(bool, inDetail);
        const QString refusal = QStringLiteral(
            "The SQL Server driver cannot take a connection value that holds \"};\" (the Pwd "
            "value). Change that value.");
        const QString a = test::uniqueName(QStringLiteral("a"));
        const QString n = test::uniqueName(QStringLiteral("renamed"));
        said = test::replaced({said}, {{"%a", a}, {"%n", n}})[0];
        test::TestWindow w;
        w.settings.msPassword += QStringLiteral("};Pwd=x");
        fillList(w.list(server), {a}, {a}, a);
        w.dialogs.inputs.enqueue(n);
        test::ServerLog log(Server::MSSQL);
        commands::TableListing listing;
        if (command == Command::Listing)
            listing.LoadMSSQLTables(w.list(server), w.settings, w.dialogs);
        else if (command == Command::TestConnection)
            commands::TestConnection(Server::MSSQL, w.settings, w.dialogs, w.pointer);
        else if (command == Command::ConfirmConnections)
            QVERIFY(!commands::ConfirmConnections(w.settings, w.dialogs));
        else
            run(command, server, w.context());

        const auto& box = w.dialogs.shown.last();
        QCOMPARE(w.dialogs.shown.size(), command == Command::Rename ? 2 : 1);
        QCOMPARE(box.failure, ui::Failure::NotConnected);
        QCOMPARE(box.style, ui::kOkOnly);
        QCOMPARE(box.prompt, inDetail ? said : said + QStringLiteral("\n\n") + refusal);
        QCOMPARE(box.detail, inDetail ? refusal : QString());
        QCOMPARE(entriesOf(w.list(server)),
                 command == Command::Listing ? QStringList() : QStringList{a});
        QCOMPARE(log.sessions().size(), 0);
    }
};

QTEST_GUILESS_MAIN(TableCommandsTest)
#include "tst_tablecommands.moc"
