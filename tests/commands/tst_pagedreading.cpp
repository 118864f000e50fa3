// A large MySQL table read in pages along a key, inside one snapshot, pages of a few rows set
// through the reading seam so that the tables stay small.
#include "commands/SendTables.h"
#include "commands/SourceRows.h"
#include "sql/Statements.h"
#include "support/Servers.h"

#include <QScopeGuard>
#include <QTest>

using namespace fq;
using test::kSessionSetup;
using test::replaced;

namespace {

const QString kEstimate = test::mysqlEstimate(QStringLiteral("%1"));
const QString kKeys = QStringLiteral(
    "SELECT s.INDEX_NAME, s.COLUMN_NAME, c.DATA_TYPE, c.IS_NULLABLE, s.SUB_PART FROM "
    "information_schema.STATISTICS s JOIN information_schema.COLUMNS c ON "
    "c.TABLE_SCHEMA=s.TABLE_SCHEMA AND c.TABLE_NAME=s.TABLE_NAME AND c.COLUMN_NAME=s.COLUMN_NAME "
    "WHERE s.TABLE_SCHEMA=DATABASE() AND s.TABLE_NAME='%1' AND s.NON_UNIQUE=0 ORDER BY "
    "s.INDEX_NAME<>'PRIMARY', s.INDEX_NAME, s.SEQ_IN_INDEX");
const QString kIsolation = QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
const QString kSnapshot = QStringLiteral("START TRANSACTION WITH CONSISTENT SNAPSHOT");
const QString kCommit = QStringLiteral("COMMIT");

// Pages of `rows` rows for every base table, until the guard goes.
auto smallPages(long long rows, long long largeTable = 0) {
    const commands::PagedReading before = commands::pagedReading();
    commands::setPagedReading({largeTable, rows});
    return qScopeGuard([before] { commands::setPagedReading(before); });
}

// Every row the reader gives, in its order.
QList<QStringList> readAll(commands::SourceRows& rows) {
    QList<QStringList> out;
    for (; !rows.Eof(); rows.MoveNext()) {
        QStringList row;
        for (int i = 0; i < rows.FieldCount(); ++i)
            row << test::shown(rows.Item(i));
        out << row;
    }
    rows.Close();
    return out;
}

} // namespace

class TestPagedReading : public QObject {
    Q_OBJECT

private slots:
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

    // A copy reading pages of 4 inside one snapshot, each after the last key of the one before;
    // or whole: no unique NOT NULL key of a type to page along, a view, a small table.
    void copyReadsPages_data() {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<long long>("largeTable");
        QTest::addColumn<QStringList>("statements"); // after the estimate
        const QString table = "CREATE TABLE `%1` (id int PRIMARY KEY, v varchar(30), d double)";
        const QString rows = "INSERT INTO `%1` SELECT seq, IF(seq % 3, CONCAT('row ', seq, ' "
                             "it''s'), NULL), seq / 3 FROM seq_1_to_%2 ORDER BY seq DESC";
        const QString first = "SELECT *, `id` FROM %1 ORDER BY `id` LIMIT 4";
        const QString after = "SELECT *, `id` FROM %1 WHERE (`id` > %2) ORDER BY `id` LIMIT 4";
        const auto paged = [&](const QStringList& pages) {
            return QStringList{kKeys, kIsolation, kSnapshot} + pages + QStringList{kCommit};
        };
        QTest::newRow("10 rows") << QStringList{table, rows.arg("%1", "10")} << 0LL
                                 << paged({first, after.arg("%1", "4"), after.arg("%1", "8")});
        QTest::newRow("8 rows") << QStringList{table, rows.arg("%1", "8")} << 0LL
                                << paged({first, after.arg("%1", "4"), after.arg("%1", "8")});
        QTest::newRow("3 rows, one page")
            << QStringList{table, rows.arg("%1", "3")} << 0LL << paged({first});
        QTest::newRow("no rows") << QStringList{table} << 0LL << paged({first});
        const QString three = "INSERT INTO `%1` VALUES(1, 'a'), (2, 'b'), (3, 'c')";
        const QStringList whole{kKeys, "SELECT * FROM %1"};
        QTest::newRow("no key") << QStringList{"CREATE TABLE `%1` (id int, v varchar(5))", three}
                                << 0LL << whole;
        QTest::newRow("only a nullable unique key")
            << QStringList{"CREATE TABLE `%1` (id int UNIQUE, v varchar(5))", three} << 0LL
            << whole;
        QTest::newRow("a double primary key")
            << QStringList{"CREATE TABLE `%1` (id double PRIMARY KEY, v varchar(5))", three} << 0LL
            << whole;
        QTest::newRow("a key on a prefix")
            << QStringList{"CREATE TABLE `%1` (id int, v varchar(5) NOT NULL, UNIQUE (v(2)))",
                           three}
            << 0LL << whole;
        QTest::newRow("a view") << QStringList{QString(table).replace("%1", "%1_base"),
                                               QString(rows).arg("%1_base", "3"),
                                               "CREATE VIEW `%1` AS SELECT * FROM `%1_base`"}
                                << 0LL << QStringList{"SELECT * FROM %1"};
        QTest::newRow("smaller than large") << QStringList{table, rows.arg("%1", "10")} << 1000000LL
                                            << QStringList{"SELECT * FROM %1"};
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
        test::TestWindow w;
        test::fillList(w.mysqlList, {name}, {name}, name);
        test::ServerLog log(Server::MySQL);
        commands::SendTablesToMSSQL(w.context());
        const auto sessions = log.sessionsMentioning({name});

        QCOMPARE(w.dialogs.shown.size(), 0);
        QCOMPARE(test::textRows(Server::MSSQL, name), test::textRows(Server::MySQL, name));
        test::exec(Server::MySQL, {QStringLiteral("DROP VIEW IF EXISTS `%1`").arg(name)});
        QCOMPARE(sessions.size(), 1);
        QCOMPARE(sessions[0].statements,
                 replaced(QStringList{kSessionSetup, QStringLiteral("describe %1"), kEstimate} +
                              statements,
                          {{"%1", name}}));
    }

    // The pages read the table as it was at the first, whatever another session deletes,
    // inserts, updates or moves ahead of the reader meanwhile.
    void pagesReadOneSnapshot() {
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("snap"));
        QStringList setup{
            QStringLiteral("CREATE TABLE `%1` (id int PRIMARY KEY, v varchar(10))").arg(name)};
        for (int i = 1; i <= 9; ++i)
            setup << QStringLiteral("INSERT INTO `%1` VALUES(%2, 'v%2')").arg(name).arg(i);
        test::exec(Server::MySQL, setup);
        const QList<QStringList> before = test::textRows(Server::MySQL, name);

        const auto pages = smallPages(2);
        odbc::Connection c = test::connection(Server::MySQL);
        commands::SourceRows rows(c, Server::MySQL, name, sql::mysqlSelectAll(name), 9);
        QList<QStringList> read;
        for (int i = 0; i < 3; ++i, rows.MoveNext())
            read << QStringList{rows.Item(0).text(), test::shown(rows.Item(1))};
        test::exec(Server::MySQL,
                   {QStringLiteral("DELETE FROM `%1` WHERE id = 7").arg(name),
                    QStringLiteral("INSERT INTO `%1` VALUES(100, 'new')").arg(name),
                    QStringLiteral("UPDATE `%1` SET v = 'changed' WHERE id = 8").arg(name),
                    QStringLiteral("UPDATE `%1` SET id = 50 WHERE id = 1").arg(name)});
        read += readAll(rows);
        QCOMPARE(read, before);
    }
};

QTEST_GUILESS_MAIN(TestPagedReading)
#include "tst_pagedreading.moc"
