// What a copy says when the target refuses: the row and the value that was refused, named only
// when the program can tell which column it was; a copy that stops before its first row says so
// plainly; a table that is already there under the same name (or, where names ignore letter case,
// under the same name in other letters) is named. Against MariaDB and the SQL Server double.

#include "commands/SendTables.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"

#include <QTest>

using fq::Server;
using fq::test::entriesOf;
using fq::test::fillList;
using fq::test::TestWindow;

namespace {

QString delimited(Server server, const QString& name) {
    return server == Server::MySQL ? u'`' + name + u'`' : u'[' + name + u']';
}

void send(Server from, TestWindow& w) {
    if (from == Server::MySQL)
        fq::commands::SendTablesToMSSQL(w.context());
    else
        fq::commands::SendTablesToMySQL(w.context());
}

Server other(Server s) {
    return s == Server::MySQL ? Server::MSSQL : Server::MySQL;
}

} // namespace

class TestCopyMessages : public QObject {
    Q_OBJECT

private slots:
    void refusedValue_data();
    void refusedValue();
    void nameTaken_data();
    void nameTaken();
};

void TestCopyMessages::refusedValue_data() {
    QTest::addColumn<Server>("from");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("expected"); // the message up to the server's words, %1 the table
    QTest::addColumn<QStringList>("notShown");

    // SQL Server's conversion errors do not name the column: the values of the columns whose type
    // can fail that way are named, and no other.
    QTest::newRow("a time beyond a day, the only time column")
        << Server::MySQL << "id int, note varchar(20), tm time"
        << QStringList{"1, 'NOTE_ONE', '01:00:00'", "2, 'NOTE_TWO', '02:00:00'",
                       "3, 'NOTE_THREE', '100:00:00'", "4, 'NOTE_FOUR', '03:00:00'"}
        << "Copying the table %1 to SQL Server stopped while copying row 3, at the value "
           "'100:00:00' of column tm. The table is on SQL Server with the 2 rows copied before. "
           "Nothing more was sent.\n\n"
        << QStringList{"NOTE_THREE", "NOTE_TWO"};
    QTest::newRow("the first row refused")
        << Server::MySQL << "id int, tm time" << QStringList{"1, '-01:00:00'", "2, '02:00:00'"}
        << "Copying the table %1 to SQL Server stopped while copying row 1, at the value "
           "'-01:00:00' of column tm. The table is on SQL Server with no rows copied. Nothing "
           "more was sent.\n\n"
        << QStringList{};
    QTest::newRow("two date and time columns, both named")
        << Server::MySQL << "id int, d date, tm time" << QStringList{"1, '2024-02-29', '101:00:00'"}
        << "Copying the table %1 to SQL Server stopped while copying row 1, at one of the values "
           "'2024-02-29' (column d), '101:00:00' (column tm). The table is on SQL Server with no "
           "rows copied. Nothing more was sent.\n\n"
        << QStringList{};
    QTest::newRow("a NULL date is not named")
        << Server::MySQL << "id int, d date, tm time" << QStringList{"1, NULL, '102:00:00'"}
        << "Copying the table %1 to SQL Server stopped while copying row 1, at the value "
           "'102:00:00' of column tm. The table is on SQL Server with no rows copied. Nothing "
           "more was sent.\n\n"
        << QStringList{};
    // The program's own refusal names its column.
    QTest::newRow("a seventh digit of a second")
        << Server::MSSQL << "id int, note nvarchar(20), at datetime2(7)"
        << QStringList{"1, N'NOTE_ONE', '2026-12-06 10:00:00.1234567'"}
        << "Copying the table %1 to MySQL stopped while copying row 1, at the value "
           "'2026-12-06 10:00:00.1234567' of column at. The table is on MySQL with no rows "
           "copied. Nothing more was sent.\n\n"
        << QStringList{"NOTE_ONE"};
}

void TestCopyMessages::refusedValue() {
    QFETCH(Server, from);
    QFETCH(QString, columns);
    QFETCH(QStringList, rows);
    QFETCH(QString, expected);
    QFETCH(QStringList, notShown);
    const QString name = fq::test::uniqueName(QStringLiteral("refused"));
    QStringList statements{
        QStringLiteral("CREATE TABLE %1 (%2)").arg(delimited(from, name), columns)};
    for (const QString& r : rows)
        statements << QStringLiteral("INSERT INTO %1 VALUES(%2)").arg(delimited(from, name), r);
    fq::test::exec(from, statements);
    TestWindow w;
    fillList(w.list(from), {name}, {name}, name);
    send(from, w);

    QCOMPARE(w.dialogs.shown.size(), 1);
    const QString prompt = w.dialogs.shown[0].prompt;
    QVERIFY2(prompt.startsWith(expected.arg(name)), qPrintable(prompt));
    QVERIFY2(prompt.size() > expected.arg(name).size(), "the refusal's own words follow");
    for (const QString& hidden : notShown)
        QVERIFY2(!prompt.contains(hidden), qPrintable(prompt));
    QCOMPARE(entriesOf(w.list(other(from))), QStringList{name});
    for (Server s : {Server::MySQL, Server::MSSQL})
        fq::test::dropIfExists(s, name);
}

void TestCopyMessages::nameTaken_data() {
    QTest::addColumn<Server>("from");
    QTest::addColumn<bool>("otherCase");
    QTest::addColumn<QString>("expected"); // %1 the table copied, %2 the one in the way

    QTest::newRow("SQL Server, the same name in other letters")
        << Server::MySQL << true
        << "Copying the table %1 to SQL Server stopped while creating it on SQL Server: SQL "
           "Server already has a table named %2, and names there ignore letter case. Nothing "
           "more was sent.\n\n";
    QTest::newRow("SQL Server, the same name, not listed")
        << Server::MySQL << false
        << "Copying the table %1 to SQL Server stopped while creating it on SQL Server: SQL "
           "Server already has a table named %2. Nothing more was sent.\n\n";
    QTest::newRow("MySQL, the same name, not listed")
        << Server::MSSQL << false
        << "Copying the table %1 to MySQL stopped while creating it on MySQL: MySQL already has "
           "a table named %2. Nothing more was sent.\n\n";
}

// The overwrite question only knows the list's exact names: a table in the way that is not listed
// that way stops the copy at CREATE TABLE, and the message says which table is there.
void TestCopyMessages::nameTaken() {
    QFETCH(Server, from);
    QFETCH(bool, otherCase);
    QFETCH(QString, expected);
    const Server to = other(from);
    const QString name = fq::test::uniqueName(QStringLiteral("Case_M"));
    const QString inTheWay = otherCase ? name.toLower() : name;
    fq::test::exec(from, {QStringLiteral("CREATE TABLE %1 (id int)").arg(delimited(from, name)),
                          QStringLiteral("INSERT INTO %1 VALUES(1)").arg(delimited(from, name))});
    fq::test::exec(to, {QStringLiteral("CREATE TABLE %1 (other int)").arg(delimited(to, inTheWay)),
                        QStringLiteral("INSERT INTO %1 VALUES(7)").arg(delimited(to, inTheWay))});
    TestWindow w;
    fillList(w.list(from), {name}, {name}, name);
    if (otherCase) // listed, but not by the exact name: no overwrite question
        fillList(w.list(to), {inTheWay});
    send(from, w);

    QCOMPARE(w.dialogs.shown.size(), 1);
    const auto& box = w.dialogs.shown[0];
    QCOMPARE(box.style, fq::ui::kOkOnly);
    QVERIFY2(box.prompt.startsWith(expected.arg(name, inTheWay)), qPrintable(box.prompt));
    QVERIFY2(box.prompt.size() > expected.arg(name, inTheWay).size(), "the server's words follow");
    // The table in the way is untouched, and the list shows what it showed.
    QCOMPARE(fq::test::count(to, inTheWay), 1LL);
    QCOMPARE(entriesOf(w.list(to)), otherCase ? QStringList{inTheWay} : QStringList());
    fq::test::dropIfExists(from, name);
    fq::test::dropIfExists(to, inTheWay);
}

QTEST_GUILESS_MAIN(TestCopyMessages)
#include "tst_copymessages.moc"
