// The two copy commands against MariaDB and the SQL Server double, with the servers' logs as the
// witness of every statement, and a large MySQL table read in pages along a key inside one
// snapshot (pages of a few rows set through the reading seam, so that the tables stay small).
#include "commands/ReadAhead.h"
#include "commands/SendTables.h"
#include "commands/SourceRows.h"
#include "odbc/DbError.h"
#include "sql/Refusal.h"
#include "sql/SqlText.h"
#include "sql/Statements.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

using namespace fq;
using test::columnsQuery;
using test::entriesOf;
using test::fillList;
using test::kServerLimits;
using test::kSessionSetup;
using test::replaced;
using test::selectedOf;
using test::Way;

namespace {

void addWays() {
    QTest::addColumn<Way>("way");
    QTest::newRow("SQL Server to MySQL") << Way{true};
    QTest::newRow("MySQL to SQL Server") << Way{false};
}

const QString kKeys = QStringLiteral(
    "SELECT s.INDEX_NAME, s.COLUMN_NAME, c.DATA_TYPE, c.IS_NULLABLE, s.SUB_PART FROM "
    "information_schema.STATISTICS s JOIN information_schema.COLUMNS c ON "
    "c.TABLE_SCHEMA=s.TABLE_SCHEMA AND c.TABLE_NAME=s.TABLE_NAME AND c.COLUMN_NAME=s.COLUMN_NAME "
    "WHERE s.TABLE_SCHEMA=DATABASE() AND s.TABLE_NAME='%1' AND s.NON_UNIQUE=0 ORDER BY "
    "s.INDEX_NAME<>'PRIMARY', s.INDEX_NAME, s.SEQ_IN_INDEX");

const QString kSize = test::mysqlTableSize(QStringLiteral("%1"));
const QString kOpened = QStringLiteral(
    "SELECT SUM(VARIABLE_VALUE) FROM information_schema.SESSION_STATUS WHERE VARIABLE_NAME IN "
    "('TABLE_OPEN_CACHE_HITS', 'TABLE_OPEN_CACHE_MISSES')");

// Pages of `rows` rows for every base table, until the guard goes.
auto smallPages(long long rows, long long largeTable = 0) {
    const commands::PagedReading before = commands::pagedReading();
    commands::setPagedReading({largeTable, rows});
    return qScopeGuard([before] { commands::setPagedReading(before); });
}

// Statements of `rows` rows at the most, until the guard goes.
auto smallStatements(int rows) {
    commands::setInsertBatching({rows, 1024 * 1024});
    return qScopeGuard([] { commands::setInsertBatching({}); });
}

// The INSERT statements among a session's statements.
QStringList insertsOf(const QStringList& statements) {
    return statements.filter(QRegularExpression(QStringLiteral("^INSERT INTO")));
}

// Every row of one "SELECT * FROM name", in the order the server gives them.
QList<QStringList> naturalRows(const QString& name, Server server = Server::MySQL) {
    odbc::Connection c = test::connection(server);
    QList<QStringList> out;
    for (odbc::Result rs =
             c.execute(QStringLiteral("SELECT * FROM ") +
                       (server == Server::MySQL ? sql::backticked(name) : sql::bracketed(name)));
         !rs.atEnd(); rs.moveNext()) {
        QStringList row;
        for (int i = 0; i < rs.columnCount(); ++i)
            row << test::shown(rs.value(i));
        out << row;
    }
    return out;
}

// Copies the MySQL table to SQL Server as its button does, checks that the copy said nothing and
// that every row arrived once, in the source's own order (the double keeps the order rows came
// in), and gives the statements of the copy's one MySQL session.
void copyToMssql(const QString& name, QStringList& statements) {
    const QList<QStringList> source = naturalRows(name);
    test::TestWindow w;
    test::fillList(w.mysqlList, {name}, {name}, name);
    test::ServerLog log(Server::MySQL);
    commands::SendTablesToMSSQL(w.context());
    const auto sessions = log.sessionsMentioning({name});
    QCOMPARE(w.dialogs.shown.size(), 0);
    QCOMPARE(naturalRows(name, Server::MSSQL), source);
    QCOMPARE(sessions.size(), 1);
    statements = sessions[0].statements;
}

// True once the MySQL session waits for a table's metadata lock (within 10 s).
bool waitsForTheTable(const std::atomic<long long>& session) {
    odbc::Connection c = test::connection(Server::MySQL);
    for (const QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(20)) {
        if (session < 0)
            continue;
        odbc::Result rs = c.execute(
            QStringLiteral("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = %1 AND "
                           "STATE = 'Waiting for table metadata lock'")
                .arg(session.load()));
        if (rs.value(0).text().trimmed() == QLatin1String("1"))
            return true;
    }
    return false;
}

// The current row's values, taken as a copy takes them, as shown.
QStringList takeShown(commands::SourceRows& rows) {
    std::vector<odbc::Value> values;
    rows.takeRow(values);
    QStringList row;
    for (int i = 0; i < rows.columnCount(); ++i)
        row << test::shown(values.at(static_cast<std::size_t>(i)));
    return row;
}

QList<QStringList> readAll(commands::SourceRows& rows) {
    QList<QStringList> out;
    for (; !rows.atEnd(); rows.moveNext())
        out << takeShown(rows);
    rows.close();
    return out;
}

} // namespace

class TestSendTables : public QObject {
    Q_OBJECT

private slots:
    // The statements each server receives, written out, and what arrives. "%1" is the table's
    // name, "%2" the same name in capitals.
    void copies_data() {
        QTest::addColumn<Way>("way");
        QTest::addColumn<QStringList>("sourceSql");
        QTest::addColumn<QStringList>("targetSql");
        QTest::addColumn<QStringList>("listed"); // the target list before
        QTest::addColumn<bool>("overwrite");     // asked, and answered Yes
        QTest::addColumn<QStringList>("sourceStatements");
        QTest::addColumn<QStringList>("targetStatements");
        QTest::addColumn<QList<QStringList>>("arrived");
        QTest::addColumn<QStringList>("entries"); // the target list after
        // SQL Server gives char(8) padded to its length; the value travels as it left.
        QTest::newRow("worked example to MySQL")
            << Way{true}
            << QStringList{"CREATE TABLE [%1] (Name varchar(50), Code char(8))",
                           "INSERT INTO [%1] VALUES('Smith', 'AB-1')",
                           "INSERT INTO [%1] VALUES('O''Neil', NULL)"}
            << QStringList{"CREATE TABLE `%1` (old int)"} << QStringList{"%1"} << true
            << QStringList{columnsQuery("%1"), test::mssqlEstimate("%1"), "SELECT * FROM %1"}
            << QStringList{kSessionSetup,
                           kServerLimits,
                           "DROP TABLE `%1`",
                           "CREATE TABLE `%1`(`Name` varchar(50),`Code` char(8))",
                           "INSERT INTO `%1` VALUES('Smith', 'AB-1    '), ('O''Neil', NULL)",
                           "SELECT COUNT(*) FROM `%1`"}
            << QList<QStringList>{{"O'Neil", "<NULL>"}, {"Smith", "AB-1"}} << QStringList{"%1"};
        QTest::newRow("worked example to SQL Server")
            << Way{false}
            << QStringList{"CREATE TABLE `%1` (id int(11), customer varchar(40), placed datetime)",
                           "INSERT INTO `%1` VALUES(7, 'O''Brien', NULL)"}
            << QStringList{"CREATE TABLE [%1] (old int)"} << QStringList{"%1"} << true
            << QStringList{kSessionSetup, "describe %1", test::mysqlEstimate("%1"),
                           test::mysqlTableSize("%1"), "SELECT * FROM %1"}
            << QStringList{"DROP TABLE [%1]",
                           "CREATE TABLE [%1]([id] int,[customer] nvarchar(40),[placed] "
                           "datetime2(0))",
                           "INSERT INTO [%1] VALUES('7', 'O''Brien', NULL)",
                           "SELECT COUNT(*) FROM [%1]"}
            << QList<QStringList>{{"7", "O'Brien", "<NULL>"}} << QStringList{"%1"};
        // The overwrite question wants the exact name: a listed name in capitals is another.
        QTest::newRow("empty table to MySQL, its name listed in capitals")
            << Way{true} << QStringList{"CREATE TABLE [%1] (id int, v nvarchar(80))"}
            << QStringList() << QStringList{"%2"} << false
            << QStringList{columnsQuery("%1"), test::mssqlEstimate("%1"), "SELECT * FROM %1"}
            << QStringList{kSessionSetup, kServerLimits,
                           "CREATE TABLE `%1`(`id` int,`v` varchar(80) CHARACTER SET utf8mb4)",
                           "SELECT COUNT(*) FROM `%1`"}
            << QList<QStringList>() << QStringList{"%2", "%1"};
        QTest::newRow("empty table to SQL Server, its name listed in capitals")
            << Way{false} << QStringList{"CREATE TABLE `%1` (id int, v varchar(80))"}
            << QStringList() << QStringList{"%2"} << false
            << QStringList{kSessionSetup, "describe %1", test::mysqlEstimate("%1"),
                           test::mysqlTableSize("%1"), "SELECT * FROM %1"}
            << QStringList{"CREATE TABLE [%1]([id] int,[v] nvarchar(80))",
                           "SELECT COUNT(*) FROM [%1]"}
            << QList<QStringList>() << QStringList{"%2", "%1"};
    }

    void copies() {
        QFETCH(Way, way);
        QFETCH(QStringList, sourceSql);
        QFETCH(QStringList, targetSql);
        QFETCH(QStringList, listed);
        QFETCH(bool, overwrite);
        QFETCH(QStringList, sourceStatements);
        QFETCH(QStringList, targetStatements);
        QFETCH(QList<QStringList>, arrived);
        QFETCH(QStringList, entries);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("copy"));
        const QList<std::pair<QString, QString>> names{{"%1", name}, {"%2", name.toUpper()}};
        test::exec(way.source(), replaced(sourceSql, names));
        test::exec(way.target(), replaced(targetSql, names));
        test::TestWindow w;
        fillList(w.list(way.source()), {name}, {name}, name);
        fillList(w.list(way.target()), replaced(listed, names));
        w.dialogs.answers.enqueue(ui::kAnswerYes);
        test::ServerLog source(way.source());
        test::ServerLog target(way.target());
        way.send(w.context());

        QCOMPARE(w.dialogs.shown.size(), overwrite ? 1 : 0);
        if (overwrite) {
            QCOMPARE(w.dialogs.shown[0].prompt,
                     QStringLiteral("Would you like to overwrite %1?").arg(name));
            QCOMPARE(w.dialogs.shown[0].style, ui::kYesNo);
            QCOMPARE(w.dialogs.shown[0].title, QStringLiteral("Overwrite?"));
        }
        for (const auto& [log, statements] :
             {std::pair{&source, sourceStatements}, std::pair{&target, targetStatements}}) {
            const auto sessions = log->sessionsMentioning({name, name.toUpper()});
            QCOMPARE(sessions.size(), 1);
            QVERIFY(sessions[0].closed);
            QCOMPARE(sessions[0].statements, replaced(statements, names));
        }
        QCOMPARE(test::textRows(way.target(), name), arrived);
        QCOMPARE(entriesOf(w.list(way.target())), replaced(entries, names));
        QCOMPARE(selectedOf(w.list(way.source())), QStringList{name});
        QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    }

    // Table and column names of any shape are delimited, so no statement does more than its own
    // work. The walk goes from the bottom of the list up, each table asking to overwrite the
    // target's table of its name: answered Yes, it is dropped first and gets only its own columns
    // and row; answered No (the last), the target's table is left as it was, its source unread.
    void hostileNames_data() { addWays(); }
    void hostileNames() {
        QFETCH(Way, way);
        test::Scratch scratch;
        const QString bystander = scratch.name(QStringLiteral("bystander"));
        const QString base = test::uniqueName(QStringLiteral("h"));
        // Sorted as the list shows them.
        const QStringList names{base + QStringLiteral(" my table"), base + QStringLiteral("a]b"),
                                base + QStringLiteral("q'uote`tick["),
                                base + QStringLiteral("x; DROP TABLE ") + bystander,
                                QStringLiteral("order")};
        for (const QString& n : names)
            scratch.keep(n);
        const Server src = way.source();
        QStringList columns;
        for (const char* c : {"a]b", "c`d", "e'f", "select", "my col"})
            columns << test::delimited(src, QString::fromLatin1(c)) +
                           (src == Server::MySQL ? " varchar(30)" : " nvarchar(30)");
        for (const Server s : {Server::MySQL, Server::MSSQL}) {
            test::dropIfExists(s, QStringLiteral("order"));
            test::createNumbered(s, bystander, 1);
        }
        test::TestWindow w;
        fillList(w.list(src), names, names, names[0]);
        QStringList questions;
        for (int k = 0; k < names.size(); ++k) {
            test::exec(src, {QStringLiteral("CREATE TABLE %1 (%2)")
                                 .arg(test::delimited(src, names[k]), columns.join(u',')),
                             QStringLiteral("INSERT INTO %1 VALUES('%2', 'it''s', ']]', '`', "
                                            "'; DROP TABLE x')")
                                 .arg(test::delimited(src, names[k]))
                                 .arg(k)});
            test::createNumbered(way.target(), names[k], 2);
            w.dialogs.answers.prepend(k == 0 ? ui::kAnswerNo : ui::kAnswerYes);
            questions.prepend(QStringLiteral("Would you like to overwrite %1?").arg(names[k]));
        }
        fillList(w.list(way.target()), names);
        test::ServerLog source(src);
        test::ServerLog target(way.target());
        way.send(w.context());

        QStringList prompts;
        for (const auto& box : std::as_const(w.dialogs.shown))
            prompts << box.prompt;
        QCOMPARE(prompts, questions);
        QCOMPARE(entriesOf(w.list(way.target())), names);
        QCOMPARE(selectedOf(w.list(src)), names);
        QVERIFY(source.sessionsMentioning({names[0]}).isEmpty());
        QVERIFY(target.sessionsMentioning({names[0]}).isEmpty());
        QCOMPARE(test::textRows(way.target(), names[0]),
                 (QList<QStringList>{{"1", "row 1"}, {"2", "row 2"}}));
        for (int k = 1; k < names.size(); ++k)
            QCOMPARE(
                test::textRows(way.target(), names[k]),
                (QList<QStringList>{{QString::number(k), "it's", "]]", "`", "; DROP TABLE x"}}));
        for (const Server s : {Server::MySQL, Server::MSSQL})
            QVERIFY(test::tables(s).contains(bystander));
    }

    // A refused copy stops with one message naming the table and the step; a table copied before
    // ("%c") is listed, the failing one ("%b") with the rows that arrived, and one above never
    // reached.
    void stopsWhereAServerRefuses_data() {
        QTest::addColumn<Way>("way");
        QTest::addColumn<QStringList>("sourceSql");
        QTest::addColumn<QStringList>("targetSql");
        // 1: MySQL refuses the login, 2: nothing listens for SQL Server
        QTest::addColumn<int>("broken");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("words"); // the program's own refusal; empty: a server's
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("rows"); // rows of %b on the target; -1: not there
        const QString stopped =
            QStringLiteral("Copying the table %b to %1 stopped while %2 Nothing more was sent.");
        // SQL Server's conversion errors name no column: the values of the columns whose type
        // can fail that way are named.
        QTest::newRow("to SQL Server: two date and time columns, both named")
            << Way{false}
            << QStringList{"CREATE TABLE `%b` (id int, d date, tm time)",
                           "INSERT INTO `%b` VALUES(1, '2024-02-29', '101:00:00')"}
            << QStringList() << 0
            << stopped.arg("SQL Server", "copying row 1, at one of the values '2024-02-29' "
                                         "(column d), '101:00:00' (column tm). The table is on "
                                         "SQL Server with no rows copied.")
            << "" << QStringList{"%b", "%c"} << 0;
        // SQL Server would store a value closer to zero than its type's smallest normal as 0.
        const char* const belowNormal[][3] = {
            {"float", "-1.401298464324817e-45", "real holds (its smallest is 1.1754944e-38)"},
            {"float", "1.1754942106924411e-38", "real holds (its smallest is 1.1754944e-38)"},
            {"double", "5e-324", "float holds (its smallest is 2.2250738585072014e-308)"}};
        for (const auto& [type, value, holds] : belowNormal) {
            QTest::addRow("to SQL Server: %s %s", type, value)
                << Way{false}
                << QStringList{QStringLiteral("CREATE TABLE `%b` (id int, f %1)").arg(type),
                               QStringLiteral("INSERT INTO `%b` VALUES(1, 1.5), (2, '%1'), "
                                              "(3, 2.5)")
                                   .arg(value)}
                << QStringList() << 0
                << stopped.arg("SQL Server", QStringLiteral("copying row 2, at the value '%1' of "
                                                            "column f. The table is on SQL Server "
                                                            "with the 1 row copied before.")
                                                 .arg(value))
                << QStringLiteral("The value %1 is closer to zero than SQL Server's %2; it would "
                                  "arrive as 0.")
                       .arg(value, holds)
                << QStringList{"%b", "%c"} << 1;
        }
        // MySQL keeps six fractional digits of a second: a seventh is not cut.
        QTest::newRow("to MySQL: a seventh fractional digit in row 2")
            << Way{true}
            << QStringList{"CREATE TABLE [%b] (id int, at datetime2(7))",
                           "INSERT INTO [%b] VALUES(1, '2026-12-06 10:00:00.1234560')",
                           "INSERT INTO [%b] VALUES(2, '2026-12-06 10:00:00.1234567')",
                           "INSERT INTO [%b] VALUES(3, '2026-12-06 10:00:00.5000000')"}
            << QStringList() << 0
            << stopped.arg("MySQL", "copying row 2, at the value '2026-12-06 10:00:00.1234567' "
                                    "of column at. The table is on MySQL with the 1 row copied "
                                    "before.")
            << "The value 2026-12-06 10:00:00.1234567 has more fractional digits of a second than "
               "MySQL keeps (six); it would arrive changed."
            << QStringList{"%b", "%c"} << 1;
        QTest::newRow("to SQL Server: the table is on the target, not in its list")
            << Way{false} << QStringList{"CREATE TABLE `%b` (id int)"}
            << QStringList{"CREATE TABLE [%b] (id int)", "INSERT INTO [%b] VALUES(1), (2), (3)"}
            << 0
            << stopped.arg("SQL Server",
                           "creating it on SQL Server: SQL Server already has a table named %b.")
            << "" << QStringList{"%c"} << 3;
        QTest::newRow("to SQL Server: the table is there in other letters")
            << Way{false} << QStringList{"CREATE TABLE `%b` (id int)"}
            << QStringList{"CREATE TABLE [%B] (id int)", "INSERT INTO [%B] VALUES(1)"} << 0
            << stopped.arg("SQL Server", "creating it on SQL Server: SQL Server already has a "
                                         "table named %B, and names there ignore letter case.")
            << "" << QStringList{"%c"} << -1; // not listed by its name
        QTest::newRow("to MySQL: the table is on the target, not in its list")
            << Way{true} << QStringList{"CREATE TABLE [%b] (id int)"}
            << QStringList{"CREATE TABLE `%b` (id int)", "INSERT INTO `%b` VALUES(1), (2)"} << 0
            << stopped.arg("MySQL", "creating it on MySQL: MySQL already has a table named %b.")
            << "" << QStringList{"%c"} << 2;
        QTest::newRow("to SQL Server: the table is gone from MySQL")
            << Way{false} << QStringList() << QStringList() << 0
            << stopped.arg("SQL Server", "reading its columns from MySQL.") << ""
            << QStringList{"%c"} << -1;
        // SQL Server answers with no columns at all: the program refuses on its own.
        QTest::newRow("to MySQL: the table is gone from SQL Server")
            << Way{true} << QStringList() << QStringList() << 0
            << stopped.arg("MySQL", "reading its columns from SQL Server.")
            << "SQL Server lists no columns for a table named %b in this database."
            << QStringList{"%c"} << -1;
        // Both copies open SQL Server first, then MySQL.
        QTest::newRow("to MySQL: nothing listens for SQL Server")
            << Way{true} << QStringList() << QStringList() << 2
            << "Could not connect to SQL Server; nothing was copied."
            << "" << QStringList() << -1;
        QTest::newRow("to SQL Server: MySQL refuses the login")
            << Way{false} << QStringList() << QStringList() << 1
            << "Could not connect to MySQL; nothing was copied."
            << "" << QStringList() << -1;
    }

    void stopsWhereAServerRefuses() {
        QFETCH(Way, way);
        QFETCH(QStringList, sourceSql);
        QFETCH(QStringList, targetSql);
        QFETCH(int, broken);
        QFETCH(QString, message);
        QFETCH(QString, words);
        QFETCH(QStringList, entries);
        QFETCH(int, rows);
        test::Scratch scratch;
        const QString a = scratch.name(QStringLiteral("stop_a"));
        const QString b = scratch.name(QStringLiteral("stop_b"));
        const QString c = scratch.name(QStringLiteral("stop_c"));
        scratch.keep(b.toUpper());
        const QList<std::pair<QString, QString>> names{{"%b", b}, {"%c", c}, {"%B", b.toUpper()}};
        test::createNumbered(way.source(), a, 1);
        test::createNumbered(way.source(), c, 1);
        test::exec(way.source(), replaced(sourceSql, names));
        test::exec(way.target(), replaced(targetSql, names));
        test::TestWindow w;
        if (broken == 1)
            w.settings.myPassword += QStringLiteral("-wrong");
        if (broken == 2)
            w.settings.msServer = QStringLiteral("127.0.0.1,%1").arg(test::unusedLoopbackPort());
        fillList(w.list(way.source()), {a, b, c}, {a, b, c}, a);
        test::ServerLog source(way.source());
        test::ServerLog target(way.target());
        way.send(w.context());

        QCOMPARE(w.dialogs.shown.size(), 1);
        const auto& box = w.dialogs.shown[0];
        QCOMPARE(box.style, ui::kOkOnly);
        QCOMPARE(box.failure, broken != 0 ? ui::Failure::NotConnected : ui::Failure::Refused);
        const QString head = replaced({message}, names)[0] + QStringLiteral("\n\n");
        QVERIFY2(box.prompt.startsWith(head) && box.prompt.size() > head.size(),
                 qPrintable(box.prompt));
        if (words.isEmpty())
            QVERIFY2(box.detail.startsWith(QStringLiteral("SQLSTATE ")), qPrintable(box.detail));
        else
            QVERIFY2(box.prompt.endsWith(replaced({words}, names)[0]) && box.detail.isEmpty(),
                     qPrintable(box.prompt));
        QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        QCOMPARE(entriesOf(w.list(way.target())), replaced(entries, names));
        const QStringList onTarget = test::tables(way.target());
        QCOMPARE(onTarget.contains(b), rows >= 0);
        if (rows >= 0)
            QCOMPARE(test::textRows(way.target(), b).size(), qsizetype(rows));
        QCOMPARE(onTarget.contains(c), entries.contains(QStringLiteral("%c")));
        QVERIFY(!onTarget.contains(a));
        for (const test::ServerLog* log : {&source, &target}) {
            QVERIFY(log->sessionsMentioning({a}).isEmpty());
            for (const auto& session : log->sessionsMentioning({b, c}))
                QVERIFY(session.closed);
        }
    }

    // Each key type's values, chosen where a wrong comparison would skip or repeat a row: large
    // integers that one double cannot tell apart, decimals past a double's digits, texts whose
    // collation ignores letter case and trailing blanks, quotes and a zero character, bytes of
    // every kind, moments a microsecond apart. Pages of two rows; a row of every page boundary.
    void everyRowOnceAlongAnyKey_data() {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QStringList>("values"); // one row each, in SQL
        QTest::addColumn<QString>("orderBy");
        QTest::newRow("bigint past a double's integers")
            << "id bigint PRIMARY KEY, v int"
            << QStringList{"(9007199254740993, 1)",     "(9007199254740992, 2)",
                           "(9007199254740994, 3)",     "(9007199254740995, 4)",
                           "(-9223372036854775808, 5)", "(9223372036854775807, 6)"}
            << "id";
        QTest::newRow("unsigned bigint above the signed range")
            << "id bigint unsigned PRIMARY KEY"
            << QStringList{"(18446744073709551615)", "(18446744073709551614)",
                           "(9223372036854775808)", "(0)", "(1)"}
            << "id";
        QTest::newRow("decimal past a double's digits")
            << "d decimal(30,10) PRIMARY KEY"
            << QStringList{"(12345678901234567890.0000000001)", "(12345678901234567890.0000000002)",
                           "(12345678901234567890.0000000003)", "(-0.0000000001)", "(0)"}
            << "d";
        QTest::newRow("varchar in a collation blind to letter case")
            << "t varchar(20) PRIMARY KEY, n int"
            << QStringList{"('b', 1)",  "('A', 2)", "('c''s', 3)", "('a b', 4)",
                           "('D ', 5)", "('é', 6)", "('東京', 7)", "(CONCAT('z', CHAR(0), 'z'), 8)",
                           "('_%', 9)"}
            << "t";
        QTest::newRow("two columns, groups across pages")
            << "a int NOT NULL, b varchar(10) NOT NULL, v int, PRIMARY KEY (a, b)"
            << QStringList{"(1, 'x', 1)", "(1, 'y', 2)", "(1, 'z', 3)", "(2, 'a', 4)",
                           "(1, 'a', 5)", "(3, 'x', 6)", "(2, 'b', 7)"}
            << "a, b";
        QTest::newRow("unique NOT NULL key, no primary key; a nullable one passed over")
            << "n int UNIQUE, code char(3) NOT NULL UNIQUE, v text"
            << QStringList{"(NULL, 'bbb', 'x')", "(1, 'aaa', NULL)", "(NULL, 'ccc', 'y')",
                           "(2, 'abc', 'z')", "(3, 'aab', '')"}
            << "code";
        QTest::newRow("datetime with microseconds")
            << "t datetime(6) PRIMARY KEY"
            << QStringList{"('2024-01-01 00:00:00.000001')", "('2024-01-01 00:00:00')",
                           "('2024-01-01 00:00:00.000002')", "('1000-01-01 00:00:00')",
                           "('9999-12-31 23:59:59.999999')"}
            << "t";
        QTest::newRow("varbinary with every kind of byte")
            << "b varbinary(8) PRIMARY KEY"
            << QStringList{"(X'00')",   "(X'0000')", "(X'FF')", "(X'80')",
                           "(X'7F27')", "(X'5C00')", "(X'')",   "(X'C328')"}
            << "b";
    }
    void everyRowOnceAlongAnyKey() {
        QFETCH(QString, columns);
        QFETCH(QStringList, values);
        QFETCH(QString, orderBy);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("page"));
        test::exec(Server::MySQL,
                   {QStringLiteral("CREATE TABLE `%1` (%2)").arg(name, columns),
                    QStringLiteral("INSERT INTO `%1` VALUES %2").arg(name, values.join(", "))});
        const auto pages = smallPages(2);
        odbc::Connection c = test::connection(Server::MySQL);
        QVERIFY(!c.streamsResults());
        commands::SourceRows rows(c, Server::MySQL, name, sql::mysqlSelectAll(name), 0);
        QVERIFY(rows.paged());
        QCOMPARE(readAll(rows), test::textRows(Server::MySQL, name, orderBy));
    }

    // A copy reading pieces of 4 inside one snapshot: pages each after the last key of the one
    // before, or, without a unique NOT NULL key of a type to page along, pieces in the table's own
    // order; or whole: a view, a small table, a table HANDLER would read otherwise than SELECT *.
    void copyReadsPages_data() {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<long long>("largeTable");
        QTest::addColumn<QStringList>("statements"); // after the estimate
        const QString table = "CREATE TABLE `%1` (id int PRIMARY KEY, v varchar(30), d double)";
        const QString rows = "INSERT INTO `%1` SELECT seq, IF(seq % 3, CONCAT('row ', seq, ' "
                             "it''s'), NULL), seq / 3 FROM seq_1_to_%2 ORDER BY seq DESC";
        const QString first = "SELECT *, `id` FROM %1 ORDER BY `id` LIMIT 4";
        const QString after = "SELECT *, `id` FROM %1 WHERE (`id` > %2) ORDER BY `id` LIMIT 4";
        const QStringList snapshot{"SET TRANSACTION ISOLATION LEVEL REPEATABLE READ",
                                   "START TRANSACTION WITH CONSISTENT SNAPSHOT"};
        const auto paged = [&](const QStringList& pages) {
            return QStringList{kSize, kKeys} + snapshot + pages + QStringList{"COMMIT"};
        };
        QTest::newRow("10 rows") << QStringList{table, rows.arg("%1", "10")} << 0LL
                                 << paged({first, after.arg("%1", "4"), after.arg("%1", "8")});
        QTest::newRow("8 rows") << QStringList{table, rows.arg("%1", "8")} << 0LL
                                << paged({first, after.arg("%1", "4"), after.arg("%1", "8")});
        QTest::newRow("3 rows, one page")
            << QStringList{table, rows.arg("%1", "3")} << 0LL << paged({first});
        QTest::newRow("no rows") << QStringList{table} << 0LL << paged({first});
        // Ten rows, two of them alike: pieces of 4, 4 and 2.
        const QString ten = "INSERT INTO `%1` VALUES(3, 'c'), (1, 'a'), (2, 'b'), (1, 'a'), "
                            "(5, NULL), (4, 'd'), (9, 'i'), (8, 'h'), (7, 'g'), (6, 'f')";
        const QStringList pieces = QStringList{kSize, kKeys} + snapshot +
                                   QStringList{"SELECT * FROM %1 LIMIT 0",
                                               "HANDLER `%1` OPEN",
                                               kOpened,
                                               "HANDLER `%1` READ FIRST LIMIT 4",
                                               kOpened,
                                               "HANDLER `%1` READ NEXT LIMIT 4",
                                               kOpened,
                                               "HANDLER `%1` READ NEXT LIMIT 4",
                                               kOpened,
                                               "HANDLER `%1` CLOSE",
                                               "COMMIT"};
        QTest::newRow("no key") << QStringList{"CREATE TABLE `%1` (id int, v varchar(5))", ten}
                                << 0LL << pieces;
        QTest::newRow("only a nullable unique key")
            << QStringList{"CREATE TABLE `%1` (id int, v varchar(5) UNIQUE)",
                           QString(ten).replace("(1, 'a'), (5", "(1, NULL), (5")}
            << 0LL << pieces;
        QTest::newRow("a double primary key")
            << QStringList{"CREATE TABLE `%1` (id int, v varchar(5), x double PRIMARY KEY)",
                           "INSERT INTO `%1` SELECT seq, CHAR(96 + seq), seq / 4 FROM "
                           "seq_1_to_10 ORDER BY seq DESC"}
            << 0LL << pieces;
        QTest::newRow("a key on a prefix")
            << QStringList{"CREATE TABLE `%1` (id int, v varchar(5) NOT NULL, UNIQUE (v(1)))",
                           "INSERT INTO `%1` SELECT seq, CHAR(96 + seq) FROM seq_1_to_10"}
            << 0LL << pieces;
        QTest::newRow("no key, MyISAM")
            << QStringList{"CREATE TABLE `%1` (id int, v varchar(5)) ENGINE=MyISAM", ten} << 0LL
            << pieces;
        QTest::newRow("no key, Aria")
            << QStringList{"CREATE TABLE `%1` (id int, v varchar(5)) ENGINE=Aria", ten} << 0LL
            << pieces;
        QTest::newRow("no key, partitioned")
            << QStringList{"CREATE TABLE `%1` (id int, v varchar(5)) PARTITION BY HASH (id) "
                           "PARTITIONS 3",
                           ten}
            << 0LL << pieces;
        // HANDLER would read a system-versioned table's history as well.
        QTest::newRow("no key, system-versioned")
            << QStringList{"CREATE TABLE `%1` (id int, v varchar(5)) WITH SYSTEM VERSIONING", ten,
                           "DELETE FROM `%1` WHERE id = 9", "UPDATE `%1` SET v = 'x' WHERE id = 8"}
            << 0LL << QStringList{kSize, kKeys, "SELECT * FROM %1"};
        QTest::newRow("no key, an engine without HANDLER")
            << QStringList{"CREATE TABLE `%1` (id int NOT NULL, v varchar(5) NOT NULL) "
                           "ENGINE=CSV",
                           QString(ten).replace("(5, NULL)", "(5, 'e')")}
            << 0LL
            << QStringList{kSize, kKeys} + snapshot +
                   QStringList{"SELECT * FROM %1 LIMIT 0", "HANDLER `%1` OPEN", "SELECT * FROM %1",
                               "COMMIT"};
        QTest::newRow("a view") << QStringList{QString(table).replace("%1", "%1_base"),
                                               QString(rows).arg("%1_base", "3"),
                                               "CREATE VIEW `%1` AS SELECT * FROM `%1_base`"}
                                << 0LL << QStringList{"SELECT * FROM %1"};
        QTest::newRow("smaller than large") << QStringList{table, rows.arg("%1", "10")} << 1000000LL
                                            << QStringList{kSize, "SELECT * FROM %1"};
    }
    void copyReadsPages() {
        QFETCH(QStringList, setup);
        QFETCH(long long, largeTable);
        QFETCH(QStringList, statements);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("pagecopy"));
        scratch.keep(name + QStringLiteral("_base"));
        test::exec(Server::MySQL, replaced(setup, {{"%1", name}}));
        const auto small = smallPages(4, largeTable);
        QStringList sent;
        copyToMssql(name, sent);
        if (QTest::currentTestFailed())
            return;
        test::exec(Server::MySQL, {QStringLiteral("DROP VIEW IF EXISTS `%1`").arg(name)});
        QCOMPARE(sent, replaced(QStringList{kSessionSetup, QStringLiteral("describe %1"),
                                            test::mysqlEstimate("%1")} +
                                    statements,
                                {{"%1", name}}));
    }

    // Few but large rows are read in pieces chosen by their size, not by the estimate of rows:
    // one row of values that may take 16 MB each, then as many as the rows read before show fit
    // in 1 MB (rows of 200,000 characters take 400 KB as read), at most twice as many as before.
    // Along the key, a page gives the first 4,194,304 characters of each long text and its length.
    void largeRowsReadInPiecesBySize_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("statements"); // after the keys
        const QString page = "SELECT `id`, LEFT(`t`, 4194304), CHAR_LENGTH(`t`), `id` FROM %1%2 "
                             "ORDER BY `id` LIMIT %3";
        QTest::newRow("primary key")
            << " PRIMARY KEY"
            << QStringList{page.arg("%1", "", "1"), page.arg("%1", " WHERE (`id` > 1)", "2"),
                           page.arg("%1", " WHERE (`id` > 3)", "2"),
                           page.arg("%1", " WHERE (`id` > 5)", "2"), "COMMIT"};
        QTest::newRow("no key") << ""
                                << QStringList{"SELECT * FROM %1 LIMIT 0",
                                               "HANDLER `%1` OPEN",
                                               kOpened,
                                               "HANDLER `%1` READ FIRST LIMIT 1",
                                               kOpened,
                                               "HANDLER `%1` READ NEXT LIMIT 2",
                                               kOpened,
                                               "HANDLER `%1` READ NEXT LIMIT 2",
                                               kOpened,
                                               "HANDLER `%1` READ NEXT LIMIT 2",
                                               kOpened,
                                               "HANDLER `%1` CLOSE",
                                               "COMMIT"};
    }
    void largeRowsReadInPiecesBySize() {
        QFETCH(QString, key);
        QFETCH(QStringList, statements);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("largerows"));
        test::exec(Server::MySQL,
                   {QStringLiteral("CREATE TABLE `%1` (id int%2, t mediumtext)").arg(name, key),
                    QStringLiteral("INSERT INTO `%1` SELECT seq, REPEAT(CHAR(96 + seq), 200000) "
                                   "FROM seq_1_to_5")
                        .arg(name)});
        const commands::PagedReading before = commands::pagedReading();
        const auto restore = qScopeGuard([before] { commands::setPagedReading(before); });
        commands::setPagedReading({1000000, 1000, 1024 * 1024});
        QStringList sent;
        copyToMssql(name, sent);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(sent, replaced(QStringList{kSessionSetup, QStringLiteral("describe %1"),
                                            test::mysqlEstimate("%1"), kSize, kKeys,
                                            "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ",
                                            "START TRANSACTION WITH CONSISTENT SNAPSHOT"} +
                                    statements,
                                {{"%1", name}}));
    }

    // A table below the estimate of rows that makes a table large is still read in pieces when
    // its data is large (InnoDB's and MyISAM's own size of it), or could be (values that may take
    // MBs, of tables the server's statistics have not caught up with yet); a table of short
    // columns and few rows is read whole.
    void largeBySize_data() {
        QTest::addColumn<QString>("create");
        QTest::addColumn<bool>("paged");
        QTest::newRow("data of 900 KB, no key, MyISAM")
            << "CREATE TABLE `%1` (id int, v varchar(3000)) ENGINE=MyISAM" << true;
        QTest::newRow("data of 900 KB, a primary key, InnoDB")
            << "CREATE TABLE `%1` (id int PRIMARY KEY, v varchar(3000))" << true;
        QTest::newRow("a mediumtext column") << "CREATE TABLE `%1` (id int, v mediumtext)" << true;
        QTest::newRow("a longblob column") << "CREATE TABLE `%1` (id int, v longblob)" << true;
        QTest::newRow("short columns, 3 rows")
            << "CREATE TABLE `%1` (id int, v varchar(3000))" << false;
    }
    void largeBySize() {
        QFETCH(QString, create);
        QFETCH(bool, paged);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("bysize"));
        const int count = paged ? 300 : 3;
        test::exec(Server::MySQL,
                   {create.arg(name),
                    QStringLiteral("INSERT INTO `%1` SELECT seq, REPEAT(CHAR(97 + seq % 26), 3000) "
                                   "FROM seq_1_to_%2")
                        .arg(name)
                        .arg(count),
                    QStringLiteral("ANALYZE TABLE `%1`").arg(name)});
        const QList<QStringList> source = naturalRows(name);
        const auto pages = smallPages(100000, 100000);
        commands::PagedReading reading = commands::pagedReading();
        reading.pageBytes = 512 * 1024;
        commands::setPagedReading(reading);
        odbc::Connection c = test::connection(Server::MySQL);
        commands::SourceRows rows(c, Server::MySQL, name, sql::mysqlSelectAll(name), count);
        QCOMPARE(rows.paged(), paged);
        QCOMPARE(readAll(rows), source);
    }

    // A statement of 32 MB or more is written alone: the next row is neither read nor made into
    // a statement until the writer has let the one before go, so that a large value is held once.
    void largeStatementsOneAtATime() {
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("alone"));
        test::exec(Server::MySQL,
                   {QStringLiteral("CREATE TABLE `%1` (id int)").arg(name),
                    QStringLiteral("INSERT INTO `%1` VALUES (1), (2), (3)").arg(name)});
        odbc::Connection c = test::connection(Server::MySQL);
        std::atomic<int> made{0};
        const commands::PrepareRow prepare = [&made](commands::ReadRow&, int, QString& statement) {
            ++made;
            statement = QStringLiteral("INSERT INTO t VALUES") + QString(17 << 20, u'x');
        };
        commands::ReadAhead rs(
            c,
            [&c, &name] {
                return std::make_unique<commands::SourceRows>(c, Server::MySQL, name,
                                                              sql::mysqlSelectAll(name), 3);
            },
            prepare, commands::StatementShape{20, QStringLiteral(", "), -1});
        for (int i = 1; i <= 3; ++i) {
            const commands::ReadStatement* st = rs.next();
            QVERIFY(st != nullptr);
            QCOMPARE(st->count, std::size_t{1});
            // Time for the reading to go on, were it to.
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            QCOMPARE(made.load(), i);
        }
        while (const commands::ReadStatement* st = rs.next())
            QCOMPARE(st->count, std::size_t{0});
    }

    // Read along a key inside a snapshot, a long text or bytes comes in pieces (here of 7
    // characters or bytes), each asked for by the row's key: every value is copied whole, pairs of
    // surrogates, quotes and zero characters included, whatever its length against the piece's.
    // Without a snapshot (MyISAM) or without a key, a value comes whole with its row.
    void longValuesInPieces_data() {
        QTest::addColumn<QString>("create");
        QTest::addColumn<bool>("inPieces");
        const QString columns = "(id int %1, t longtext CHARACTER SET utf8mb4, n int, b "
                                "mediumblob, s varchar(20))";
        QTest::newRow("InnoDB, a primary key") << columns.arg("PRIMARY KEY") << true;
        QTest::newRow("MyISAM, a primary key")
            << columns.arg("PRIMARY KEY") + " ENGINE=MyISAM" << false;
        QTest::newRow("InnoDB, no key") << columns.arg("") << false;
    }
    void longValuesInPieces() {
        QFETCH(QString, create);
        QFETCH(bool, inPieces);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("longpieces"));
        test::exec(
            Server::MySQL,
            {QStringLiteral("CREATE TABLE `%1` %2").arg(name, create),
             QString::fromUtf8(
                 "INSERT INTO `%1` VALUES (1, 'seven c', 1, X'00010203040506', 'a'), "
                 "(2, 'eight ch', 2, X'0001020304050607', 'b'), "
                 "(3, CONCAT('six\xf0\x9f\x98\x80', 'it''s é', CHAR(0), 'end'), 3, "
                 "REPEAT(X'FF00', 20), 'c'), (4, NULL, NULL, NULL, NULL), (5, '', 5, X'', ''), "
                 "(6, REPEAT('東京😀x', 9), 6, X'5C27', 'd')")
                 .arg(name)});
        const auto pages = smallPages(2);
        commands::PagedReading reading = commands::pagedReading();
        reading.valuePiece = 7;
        commands::setPagedReading(reading);
        // The copy compares what arrives with the source.
        QStringList sent;
        copyToMssql(name, sent);
        if (QTest::currentTestFailed())
            return;
        const QStringList pieces = sent.filter(QStringLiteral("SELECT SUBSTRING("));
        QCOMPARE(!pieces.isEmpty(), inPieces);
        // The value of row 2 is one piece and one character: its last character is asked for
        // alone.
        if (inPieces)
            QVERIFY2(pieces.contains(QStringLiteral("SELECT SUBSTRING(`t`, 8, 7) FROM %1 WHERE "
                                                    "`id` = 2")
                                         .arg(name)),
                     qPrintable(pieces.join(u'\n')));
    }

    // Without a key, the pieces in the table's own order give every row once, duplicates
    // included, in the order one SELECT * gives them, on every engine that has HANDLER.
    void everyRowOnceInTableOrder_data() {
        QTest::addColumn<QString>("create");
        QTest::newRow("InnoDB") << "CREATE TABLE `%1` (a int, b varchar(10), c blob)";
        QTest::newRow("MyISAM") << "CREATE TABLE `%1` (a int, b varchar(10), c blob) ENGINE=MyISAM";
        QTest::newRow("Aria") << "CREATE TABLE `%1` (a int, b varchar(10), c blob) ENGINE=Aria";
        QTest::newRow("MEMORY") << "CREATE TABLE `%1` (a int, b varchar(10), c varbinary(20)) "
                                   "ENGINE=MEMORY";
        QTest::newRow("InnoDB, partitioned")
            << "CREATE TABLE `%1` (a int, b varchar(10), c blob) PARTITION BY HASH (a) "
               "PARTITIONS 4";
        QTest::newRow("a name to be delimited")
            << "CREATE TABLE `%1 x``y` (a int, b varchar(10), c blob)";
    }
    void everyRowOnceInTableOrder() {
        QFETCH(QString, create);
        test::Scratch scratch;
        const QString base = scratch.name(QStringLiteral("order"));
        const QString name = create.contains(QStringLiteral("x``y")) ? base + " x`y" : base;
        scratch.keep(name);
        QStringList setup{create.arg(base)};
        // Rows out of every order, some twice, NULLs and bytes among them; some deleted and
        // inserted again, so that the engine's order is not the order of insertion.
        for (int i = 0; i < 23; ++i)
            setup << QStringLiteral("INSERT INTO %1 VALUES(%2, %3, %4)")
                         .arg(sql::backticked(name))
                         .arg((i * 7) % 11)
                         .arg(i % 5 == 0 ? QStringLiteral("NULL")
                                         : QStringLiteral("'r%1'").arg(i % 6))
                         .arg(i % 4 == 0 ? QStringLiteral("X'00FF'") : QStringLiteral("NULL"));
        setup << QStringLiteral("DELETE FROM %1 WHERE a = 3").arg(sql::backticked(name))
              << QStringLiteral("INSERT INTO %1 VALUES(3, 'again', NULL), (3, 'again', NULL)")
                     .arg(sql::backticked(name));
        test::exec(Server::MySQL, setup);
        const QList<QStringList> source = naturalRows(name);
        QCOMPARE(source.size(), 23);
        for (const long long piece : {1LL, 2LL, 5LL, 22LL, 23LL, 24LL}) {
            const auto pages = smallPages(piece);
            odbc::Connection c = test::connection(Server::MySQL);
            commands::SourceRows rows(c, Server::MySQL, name, sql::mysqlSelectAll(name), 0);
            QVERIFY(rows.inTableOrder());
            QCOMPARE(readAll(rows), source);
        }
    }
    // The pieces read the table as it was at the first, whatever another session deletes,
    // inserts, updates or moves ahead of the reader meanwhile: along a key, or in the table's
    // own order.
    void piecesReadOneSnapshot_data() {
        QTest::addColumn<QString>("key");
        QTest::newRow("primary key") << " PRIMARY KEY";
        QTest::newRow("no key") << "";
    }
    void piecesReadOneSnapshot() {
        QFETCH(QString, key);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("snap"));
        QStringList setup{
            QStringLiteral("CREATE TABLE `%1` (id int%2, v varchar(10))").arg(name, key)};
        for (int i = 1; i <= 9; ++i)
            setup << QStringLiteral("INSERT INTO `%1` VALUES(%2, 'v%2')").arg(name).arg(i);
        test::exec(Server::MySQL, setup);
        const QList<QStringList> before = test::textRows(Server::MySQL, name);

        const auto pages = smallPages(2);
        odbc::Connection c = test::connection(Server::MySQL);
        commands::SourceRows rows(c, Server::MySQL, name, sql::mysqlSelectAll(name), 9);
        QCOMPARE(rows.inTableOrder(), key.isEmpty());
        QList<QStringList> read;
        for (int i = 0; i < 3; ++i, rows.moveNext())
            read << takeShown(rows);
        test::exec(Server::MySQL,
                   {QStringLiteral("DELETE FROM `%1` WHERE id = 7").arg(name),
                    QStringLiteral("INSERT INTO `%1` VALUES(100, 'new')").arg(name),
                    QStringLiteral("UPDATE `%1` SET v = 'changed' WHERE id = 8").arg(name),
                    QStringLiteral("UPDATE `%1` SET id = 50 WHERE id = 1").arg(name),
                    QStringLiteral("DELETE FROM `%1` WHERE id = 2").arg(name)});
        read += readAll(rows);
        QCOMPARE(read, before);
    }

    // Rows go many to a statement: a table of exactly one statement's worth of rows (SQL Server
    // takes at most 1,000 in one INSERT) goes in one, one row more in two, and every row arrives.
    void statementsOfAThousandRows_data() {
        QTest::addColumn<Way>("way");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("statements");
        for (const bool toMySql : {true, false}) {
            const char* way = toMySql ? "to MySQL" : "to SQL Server";
            QTest::addRow("%s, 1,000 rows", way) << Way{toMySql} << 1000 << 1;
            QTest::addRow("%s, 1,001 rows", way) << Way{toMySql} << 1001 << 2;
        }
    }

    void statementsOfAThousandRows() {
        QFETCH(Way, way);
        QFETCH(int, rows);
        QFETCH(int, statements);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("thousand"));
        test::createNumbered(way.source(), name, rows);
        test::TestWindow w;
        fillList(w.list(way.source()), {name}, {name}, name);
        test::ServerLog target(way.target());
        way.send(w.context());

        QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.shown.value(0).prompt));
        const auto sessions = target.sessionsMentioning({name});
        QCOMPARE(sessions.size(), 1);
        const QStringList inserts = insertsOf(sessions[0].statements);
        QCOMPARE(inserts.size(), statements);
        const QString head =
            QStringLiteral("INSERT INTO %1 VALUES").arg(test::delimited(way.target(), name));
        QVERIFY(inserts[0].startsWith(head + QStringLiteral("('1', 'row 1'), ('2', 'row 2'), ")));
        QVERIFY(inserts.last().endsWith(QStringLiteral(", ('%1', 'row %1')").arg(rows)) ||
                inserts.last() == head + QStringLiteral("('%1', 'row %1')").arg(rows));
        const QList<QStringList> arrived = test::textRows(way.target(), name);
        QCOMPARE(arrived.size(), rows);
        for (int i = 1; i <= rows; ++i)
            QCOMPARE(arrived[i - 1],
                     (QStringList{QString::number(i), QStringLiteral("row %1").arg(i)}));
    }

    // A row the target refuses in the first, a middle or the last statement of a table (rows go
    // ten to a statement here): the message names that row and its value, the rows before it are
    // on the target once each, and nothing after it was sent. SQL Server refuses a time past a
    // day; MySQL a text longer than its column, which the test narrows once the copy has created
    // it. A MySQL table whose engine keeps the rows of a failed statement before the refused one
    // (MyISAM) ends the same.
    void refusedRowInAStatementOfMany_data() {
        QTest::addColumn<Way>("way");
        QTest::addColumn<bool>("myIsam");
        QTest::addColumn<int>("refused"); // the row, of 25
        for (const int row : {3, 15, 25}) {
            QTest::addRow("to SQL Server, row %d", row) << Way{false} << false << row;
            QTest::addRow("to MySQL, row %d", row) << Way{true} << false << row;
            QTest::addRow("to MySQL (MyISAM), row %d", row) << Way{true} << true << row;
        }
    }

    void refusedRowInAStatementOfMany() {
        QFETCH(Way, way);
        QFETCH(bool, myIsam);
        QFETCH(int, refused);
        const auto small = smallStatements(10);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("refused"));
        const bool toMySql = way.toMySql;
        const QString bad = toMySql ? QStringLiteral("too long") : QStringLiteral("101:00:00");
        QStringList values;
        for (int i = 1; i <= 25; ++i)
            values << QStringLiteral("(%1, '%2')")
                          .arg(i)
                          .arg(i == refused ? bad
                               : toMySql    ? QStringLiteral("v%1").arg(i)
                                            : QStringLiteral("01:00:00"));
        const QString column = toMySql ? QStringLiteral("v") : QStringLiteral("tm");
        test::exec(way.source(),
                   {QStringLiteral("CREATE TABLE %1 (id int, %2)")
                        .arg(test::delimited(way.source(), name),
                             toMySql ? QStringLiteral("v varchar(20)") : QStringLiteral("tm time")),
                    QStringLiteral("INSERT INTO %1 VALUES %2")
                        .arg(test::delimited(way.source(), name), values.join(u", "))});
        if (myIsam)
            QVERIFY(test::rootSql(QStringLiteral("SET GLOBAL default_storage_engine=MyISAM")));
        const auto engineBack = qScopeGuard([myIsam] {
            if (myIsam)
                test::rootSql(QStringLiteral("SET GLOBAL default_storage_engine=InnoDB"));
        });
        test::TestWindow w;
        test::HookedProgress progress;
        progress.onBeginTable = [&] {
            if (toMySql)
                test::exec(Server::MySQL,
                           {QStringLiteral("ALTER TABLE `%1` MODIFY v varchar(4)").arg(name)});
        };
        fillList(w.list(way.source()), {name}, {name}, name);
        test::ServerLog target(way.target());
        auto ctx = w.context();
        ctx.progress = &progress;
        way.send(ctx);

        QCOMPARE(w.dialogs.shown.size(), 1);
        const QString said =
            QStringLiteral("Copying the table %1 to %2 stopped while copying row %3, at the value "
                           "'%4' of column %5. The table is on %2 with the %6 copied before. "
                           "Nothing more was sent.\n\n")
                .arg(name, way.targetName())
                .arg(refused)
                .arg(bad, column,
                     refused == 2 ? QStringLiteral("1 row")
                                  : QStringLiteral("%1 rows").arg(refused - 1));
        QVERIFY2(w.dialogs.shown[0].prompt.startsWith(said), qPrintable(w.dialogs.shown[0].prompt));
        QList<QStringList> expected;
        for (int i = 1; i < refused; ++i)
            expected << QStringList{QString::number(i), toMySql ? QStringLiteral("v%1").arg(i)
                                                                : QStringLiteral("01:00:00")};
        QCOMPARE(test::textRows(way.target(), name), expected);
        if (myIsam) {
            const QString engine = test::connection(Server::MySQL)
                                       .execute(QStringLiteral("SELECT ENGINE FROM "
                                                               "information_schema.TABLES WHERE "
                                                               "TABLE_SCHEMA=DATABASE() AND "
                                                               "TABLE_NAME='%1'")
                                                    .arg(name))
                                       .value(0)
                                       .text();
            QCOMPARE(engine, QStringLiteral("MyISAM"));
        }
        // The statements: ten rows each up to the refused one's, then the rows that did not stay
        // one each, up to the refused row.
        const auto sessions = target.sessionsMentioning(
            {QStringLiteral("CREATE TABLE %1(").arg(test::delimited(way.target(), name))});
        QCOMPARE(sessions.size(), 1);
        const QStringList& sent = sessions[0].statements;
        const int before = (refused - 1) / 10; // statements that went in whole
        const int stayed = myIsam ? (refused - 1) % 10 : 0;
        const QStringList inserts = insertsOf(sent);
        QCOMPARE(inserts.size(), before + 1 + (refused - 1) % 10 + 1 - stayed);
        const qsizetype failed = sent.indexOf(inserts.at(before));
        QVERIFY(sent.at(failed + 1).startsWith(QStringLiteral("SELECT COUNT(*)")));
        const QString head =
            QStringLiteral("INSERT INTO %1 VALUES").arg(test::delimited(way.target(), name));
        for (int i = before + 1; i < inserts.size(); ++i) {
            const int id = before * 10 + stayed + (i - before);
            const QString value = id == refused ? bad
                                  : toMySql     ? QStringLiteral("v%1").arg(id)
                                                : QStringLiteral("01:00:00");
            QCOMPARE(inserts[i], head + QStringLiteral("('%1', '%2')").arg(id).arg(value));
        }
    }

    // A long value goes into its statement whole and the row keeps only its start beside it: a
    // long value before the refused row arrives whole, and a refused long value is named by its
    // start, as any long value is.
    void longValuesAndARefusedRow_data() {
        QTest::addColumn<QString>("narrowed"); // the target's column made too narrow
        QTest::addColumn<QStringList>("rows"); // v and t of rows 1 and 2; row 2 is refused
        QTest::addColumn<QString>("named");
        const QString longY(700000, u'y');
        const QString longZ(700000, u'z');
        QTest::newRow("a long value before the refused row")
            << "v varchar(4)" << QStringList{"v1", longY, "too long", "t2"}
            << "'too long' of column v";
        QTest::newRow("the refused value is long")
            << "t text" << QStringList{"v1", "t1", "v2", longZ}
            << "'" + QString(60, u'z') + "'... of column t";
    }

    void longValuesAndARefusedRow() {
        QFETCH(QString, narrowed);
        QFETCH(QStringList, rows);
        QFETCH(QString, named);
        const auto small = smallStatements(10);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("longrefused"));
        test::exec(Server::MSSQL,
                   {QStringLiteral("CREATE TABLE [%1] (id int, v nvarchar(20), t nvarchar(max))")
                        .arg(name),
                    QStringLiteral("INSERT INTO [%1] VALUES (1, '%2', '%3'), (2, '%4', '%5')")
                        .arg(name, rows[0], rows[1], rows[2], rows[3])});
        test::TestWindow w;
        test::HookedProgress progress;
        progress.onBeginTable = [&] {
            test::exec(Server::MySQL,
                       {QStringLiteral("ALTER TABLE `%1` MODIFY %2").arg(name, narrowed)});
        };
        fillList(w.mssqlList, {name}, {name}, name);
        auto ctx = w.context();
        ctx.progress = &progress;
        commands::SendTablesToMySQL(ctx);

        QCOMPARE(w.dialogs.shown.size(), 1);
        const QString said =
            QStringLiteral("Copying the table %1 to MySQL stopped while copying row 2, at the "
                           "value %2. The table is on MySQL with the 1 row copied before. Nothing "
                           "more was sent.\n\n")
                .arg(name, named);
        QVERIFY2(w.dialogs.shown[0].prompt.startsWith(said),
                 qPrintable(w.dialogs.shown[0].prompt.left(600)));
        const QList<QStringList> expected{{"1", rows[0], rows[1]}};
        QVERIFY(test::textRows(Server::MySQL, name) == expected);
    }

    // The server closes a HANDLER's table when another session waits to change the table's
    // definition (or flushes it); the next piece would then begin again at the first row. On
    // InnoDB the reading goes on from where it was in its snapshot, every row once; on MyISAM
    // it stops with a message, before any row is read twice. The change waits until the reading
    // ends.
    void tableClosedWhileRead_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("readsOn");
        QTest::newRow("InnoDB") << "InnoDB" << true;
        QTest::newRow("MyISAM") << "MyISAM" << false;
    }
    void tableClosedWhileRead() {
        QFETCH(QString, engine);
        QFETCH(bool, readsOn);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("closed"));
        test::exec(Server::MySQL,
                   {QStringLiteral("CREATE TABLE `%1` (id int, v varchar(10)) ENGINE=%2")
                        .arg(name, engine),
                    QStringLiteral("INSERT INTO `%1` SELECT seq, CONCAT('v', seq) FROM "
                                   "seq_1_to_10 ORDER BY seq DESC")
                        .arg(name)});
        const QList<QStringList> source = naturalRows(name);
        const auto pages = smallPages(3);
        QList<QStringList> read;
        std::atomic<long long> alterer{-1};
        std::atomic<bool> altered{false};
        std::thread alter;
        const auto join = qScopeGuard([&alter] {
            if (alter.joinable())
                alter.join();
        });
        odbc::Connection c = test::connection(Server::MySQL);
        {
            commands::SourceRows rows(c, Server::MySQL, name, sql::mysqlSelectAll(name), 10);
            QVERIFY(rows.inTableOrder());
            const auto row = [&] { return takeShown(rows); };
            for (int i = 0; i < 2; ++i, rows.moveNext())
                read << row();
            alter = std::thread([&] {
                odbc::Connection a = test::connection(Server::MySQL);
                alterer = a.execute(QStringLiteral("SELECT CONNECTION_ID()"))
                              .value(0)
                              .text()
                              .toLongLong();
                try {
                    a.execute(QStringLiteral("SET SESSION lock_wait_timeout = 30"));
                    a.execute(QStringLiteral("ALTER TABLE `%1` ADD COLUMN z int").arg(name));
                    altered = true;
                } catch (const odbc::DbError&) {
                }
            });
            QVERIFY(waitsForTheTable(alterer));
            QString failure;
            try {
                for (; !rows.atEnd(); rows.moveNext())
                    read << row();
            } catch (const odbc::DbError& e) {
                failure = e.driverText();
            } catch (const sql::Refusal& e) {
                failure = e.text();
            }
            if (readsOn) {
                QCOMPARE(failure, QString());
                QCOMPARE(read, source);
                // The change still waits for the reading's end.
                QVERIFY(!altered);
                QVERIFY(waitsForTheTable(alterer));
                rows.close();
            } else {
                QCOMPARE(failure,
                         QStringLiteral("MySQL closed the table %1 while Fernquill read it (FLUSH "
                                        "TABLES, or a change to the table waiting to be made). The "
                                        "table has no unique NOT NULL key, and its engine (MyISAM) "
                                        "keeps no snapshot of it, so the reading cannot go on from "
                                        "the row where it was without reading rows twice or "
                                        "missing some. Copy the table again.")
                             .arg(name));
                // The rows read before are the table's first ones, each once.
                QVERIFY(read.size() >= 3 && read.size() < source.size());
                QCOMPARE(read, source.mid(0, read.size()));
            }
        }
        c.close();
        alter.join();
        QVERIFY(altered);
    }
};

QTEST_GUILESS_MAIN(TestSendTables)
#include "tst_sendtables.moc"
