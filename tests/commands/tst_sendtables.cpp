#include "TransferHarness.h"

#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "sql/SqlText.h"
#include "sql/Statements.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <QTest>

using namespace fq;
using fq::Server;
using test::entriesOf;
using test::fillList;
using test::TransferHarness;

namespace {

// One direction of the copy: which server and list is the source, which the target.
struct Way {
    bool toMySql;
    Server source() const { return toMySql ? Server::MSSQL : Server::MySQL; }
    Server target() const { return toMySql ? Server::MySQL : Server::MSSQL; }
    ui::TableList& sourceList(TransferHarness& h) const {
        return toMySql ? static_cast<ui::TableList&>(h.mssqlList) : h.mysqlList;
    }
    ui::TableList& targetList(TransferHarness& h) const {
        return toMySql ? static_cast<ui::TableList&>(h.mysqlList) : h.mssqlList;
    }
    void send(TransferHarness& h) const {
        if (toMySql)
            commands::SendTablesToMySQL(h.context());
        else
            commands::SendTablesToMSSQL(h.context());
    }
    QString delimit(Server s, const QString& name) const {
        return s == Server::MySQL ? sql::backticked(name) : sql::bracketed(name);
    }
    // A small two-column table on the given server.
    void createSmall(Server s, const QString& name, int rowCount) const {
        const QString text =
            s == Server::MySQL ? QStringLiteral("varchar(80)") : QStringLiteral("nvarchar(80)");
        QStringList statements{
            QStringLiteral("CREATE TABLE %1 (id int, v %2)").arg(delimit(s, name), text)};
        for (int i = 1; i <= rowCount; ++i)
            statements << QStringLiteral("INSERT INTO %1 VALUES(%2, %3)")
                              .arg(delimit(s, name))
                              .arg(i)
                              .arg(sql::quoted(name + QStringLiteral(" row %1").arg(i)));
        TransferHarness::exec(s, statements);
    }
};

QStringList texts(const QList<odbc::Value>& row) {
    QStringList out;
    for (const odbc::Value& v : row)
        out << (v.isNull() ? QStringLiteral("<NULL>")
                : v.kind() == odbc::Value::Kind::Binary
                    ? QString::fromLatin1("0x" + v.bytes().toHex())
                    : v.text());
    return out;
}

QList<QStringList> textRows(const QList<QList<odbc::Value>>& rows) {
    QList<QStringList> out;
    for (const auto& r : rows)
        out << texts(r);
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Way)

// The two transfer commands against MariaDB and the SQL Server double, with the servers' logs
// as the witness of every statement.
class TestSendTables : public QObject {
    Q_OBJECT

private slots:
    void noCurrentItem_data();
    void noCurrentItem();
    void currentItemWithoutSelection_data();
    void currentItemWithoutSelection();
    void workedExampleToMySQL();
    void workedExampleToMSSQL();
    void bottomUpOverThreeTables_data();
    void bottomUpOverThreeTables();
    void overwriteNoSkipsOnlyThatTable_data();
    void overwriteNoSkipsOnlyThatTable();
    void nameDifferingInCaseIsNotOverwritten_data();
    void nameDifferingInCaseIsNotOverwritten();
    void emptyTable_data();
    void emptyTable();
    void hostileNames_data();
    void hostileNames();
    void refusedValueStopsTheCopy();
    void seventhFractionalDigitIsNotCut();
    void createRefusedLeavesListAsItWas_data();
    void createRefusedLeavesListAsItWas();
    void sameNameInAnotherSchemaIsNotRead();
    void missingSourceTable_data();
    void missingSourceTable();
    void connectionRefused_data();
    void connectionRefused();
    void wideTableFitsMySqlRowLimit();
};

namespace {
void addWays() {
    QTest::addColumn<Way>("way");
    QTest::newRow("SQL Server to MySQL") << Way{true};
    QTest::newRow("MySQL to SQL Server") << Way{false};
}
} // namespace

void TestSendTables::noCurrentItem_data() {
    addWays();
}

void TestSendTables::noCurrentItem() {
    QFETCH(Way, way);
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("nocur"));
    fillList(way.sourceList(h), {name}, {name}, {});
    way.sourceList(h).SetListIndex(-1);
    way.send(h);

    QCOMPARE(h.dialogs.shown.size(), 1);
    QCOMPARE(h.dialogs.shown[0].prompt, QStringLiteral("Please select a table to insert"));
    QCOMPARE(h.dialogs.shown[0].style, ui::kOkOnly);
    QCOMPARE(h.dialogs.shown[0].title, QString());
    QVERIFY(h.pointer.history.isEmpty());
    QCOMPARE(h.settingsReads, 0); // no connection string was built: nothing was opened
    QCOMPARE(entriesOf(way.targetList(h)), QStringList());
}

void TestSendTables::currentItemWithoutSelection_data() {
    addWays();
}

void TestSendTables::currentItemWithoutSelection() {
    QFETCH(Way, way);
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("nosel"));
    way.createSmall(way.source(), name, 1);
    fillList(way.sourceList(h), {name}, {}, name);
    h.markLogs();
    way.send(h);

    QVERIFY(h.dialogs.shown.isEmpty());
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    QCOMPARE(h.settingsReads, 1);
    QVERIFY(h.sessionsMentioning(Server::MySQL, {name}).isEmpty());
    QVERIFY(h.sessionsMentioning(Server::MSSQL, {name}).isEmpty());
    // Both connections were opened and closed, with nothing but the MySQL session set-up.
    auto sawMysql = [&] {
        const auto sessions = h.sessionsSinceMark(Server::MySQL);
        return std::any_of(sessions.cbegin(), sessions.cend(), [](const test::LoggedSession& s) {
            return s.closed && s.statements == QStringList{sql::mysqlSessionSetup()};
        });
    };
    QTRY_VERIFY(sawMysql());
    auto sawMssql = [&] {
        const auto sessions = h.sessionsSinceMark(Server::MSSQL);
        return std::any_of(sessions.cbegin(), sessions.cend(), [](const test::LoggedSession& s) {
            return s.closed && s.statements.isEmpty();
        });
    };
    QTRY_VERIFY(sawMssql());
    QCOMPARE(entriesOf(way.targetList(h)), QStringList());
    TransferHarness::dropIfExists(way.source(), name);
}

void TestSendTables::workedExampleToMySQL() {
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("Customer"));
    TransferHarness::exec(
        Server::MSSQL,
        {QStringLiteral("CREATE TABLE [%1] (Name varchar(50), Code char(8))").arg(name),
         QStringLiteral("INSERT INTO [%1] VALUES('Smith', 'AB-1')").arg(name),
         QStringLiteral("INSERT INTO [%1] VALUES('O''Neil', NULL)").arg(name)});
    TransferHarness::exec(Server::MySQL, {QStringLiteral("CREATE TABLE `%1` (old int)").arg(name)});
    fillList(h.mssqlList, {name}, {name}, name);
    fillList(h.mysqlList, {name}, {}, name);
    h.dialogs.answers.enqueue(ui::kAnswerYes);
    h.markLogs();
    commands::SendTablesToMySQL(h.context());

    QCOMPARE(h.dialogs.shown.size(), 1);
    QCOMPARE(h.dialogs.shown[0].prompt,
             QStringLiteral("Would you like to overwrite %1?").arg(name));
    QCOMPARE(h.dialogs.shown[0].style, ui::kYesNo);
    QCOMPARE(h.dialogs.shown[0].title, QStringLiteral("Overwrite?"));

    const auto my = h.sessionsMentioning(Server::MySQL, {name});
    QCOMPARE(my.size(), 1);
    QVERIFY(my[0].closed);
    // SQL Server gives char(8) padded to its length; the value travels as it left.
    QCOMPARE(my[0].statements,
             (QStringList{
                 sql::mysqlSessionSetup(), QStringLiteral("DROP TABLE `%1`").arg(name),
                 QStringLiteral("CREATE TABLE `%1`(`Name` varchar(50),`Code` char(8))").arg(name),
                 QStringLiteral("INSERT INTO `%1` VALUES('Smith', 'AB-1    ')").arg(name),
                 QStringLiteral("INSERT INTO `%1` VALUES('O''Neil', NULL)").arg(name),
                 sql::mysqlCountRows(name)}));
    const auto ms = h.sessionsMentioning(Server::MSSQL, {name});
    QCOMPARE(ms.size(), 1);
    QVERIFY(ms[0].closed);
    QCOMPARE(ms[0].statements,
             (QStringList{sql::mssqlColumnsQuery(name), sql::mssqlRowEstimate(name),
                          QStringLiteral("SELECT * FROM %1").arg(name)}));

    QCOMPARE(textRows(TransferHarness::rows(Server::MySQL, name)),
             (QList<QStringList>{{"O'Neil", "<NULL>"}, {"Smith", "AB-1"}}));
    QCOMPARE(entriesOf(h.mysqlList), QStringList{name});
    QCOMPARE(entriesOf(h.mssqlList), QStringList{name});
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    TransferHarness::dropIfExists(Server::MySQL, name);
    TransferHarness::dropIfExists(Server::MSSQL, name);
}

void TestSendTables::workedExampleToMSSQL() {
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("orders"));
    TransferHarness::exec(
        Server::MySQL,
        {QStringLiteral("CREATE TABLE `%1` (id int(11), customer varchar(40), placed datetime)")
             .arg(name),
         QStringLiteral("INSERT INTO `%1` VALUES(7, 'O''Brien', NULL)").arg(name)});
    TransferHarness::exec(Server::MSSQL, {QStringLiteral("CREATE TABLE [%1] (old int)").arg(name)});
    fillList(h.mysqlList, {name}, {name}, name);
    fillList(h.mssqlList, {name}, {}, name);
    h.dialogs.answers.enqueue(ui::kAnswerYes);
    h.markLogs();
    commands::SendTablesToMSSQL(h.context());

    QCOMPARE(h.dialogs.shown.size(), 1);
    QCOMPARE(h.dialogs.shown[0].prompt,
             QStringLiteral("Would you like to overwrite %1?").arg(name));
    const auto ms = h.sessionsMentioning(Server::MSSQL, {name});
    QCOMPARE(ms.size(), 1);
    QVERIFY(ms[0].closed);
    QCOMPARE(ms[0].statements,
             (QStringList{
                 QStringLiteral("DROP TABLE [%1]").arg(name),
                 QStringLiteral(
                     "CREATE TABLE [%1]([id] int,[customer] nvarchar(40),[placed] datetime2(0))")
                     .arg(name),
                 QStringLiteral("INSERT INTO [%1] VALUES('7', 'O''Brien', NULL)").arg(name),
                 sql::mssqlCountRows(name)}));
    const auto my = h.sessionsMentioning(Server::MySQL, {name});
    QCOMPARE(my.size(), 1);
    QVERIFY(my[0].closed);
    QCOMPARE(
        my[0].statements,
        (QStringList{sql::mysqlSessionSetup(), QStringLiteral("describe %1").arg(name),
                     sql::mysqlRowEstimate(name), QStringLiteral("SELECT * FROM %1").arg(name)}));

    QCOMPARE(textRows(TransferHarness::rows(Server::MSSQL, name)),
             (QList<QStringList>{{"7", "O'Brien", "<NULL>"}}));
    QCOMPARE(entriesOf(h.mssqlList), QStringList{name});
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    TransferHarness::dropIfExists(Server::MySQL, name);
    TransferHarness::dropIfExists(Server::MSSQL, name);
}

void TestSendTables::bottomUpOverThreeTables_data() {
    addWays();
}

void TestSendTables::bottomUpOverThreeTables() {
    QFETCH(Way, way);
    TransferHarness h;
    const QString base = test::uniqueName(QStringLiteral("bu"));
    const QStringList names{base + "_a", base + "_b", base + "_c"};
    for (int i = 0; i < 3; ++i)
        way.createSmall(way.source(), names[i], i + 1);
    fillList(way.sourceList(h), names, names, names[0]);
    h.markLogs();
    way.send(h);

    QVERIFY(h.dialogs.shown.isEmpty());
    const auto sessions = h.sessionsMentioning(way.target(), names);
    QCOMPARE(sessions.size(), 1);
    QStringList creates;
    for (const QString& s : sessions[0].statements) {
        if (s.startsWith(u"CREATE TABLE"))
            creates << s;
    }
    QCOMPARE(creates.size(), 3);
    for (int i = 0; i < 3; ++i) // c first, then b, then a; each with its own two columns
        QVERIFY2(creates[i].contains(names[2 - i]) && creates[i].count(u',') == 1,
                 qPrintable(creates[i]));
    for (int i = 0; i < 3; ++i) {
        const auto rows = TransferHarness::rows(way.target(), names[i]);
        QCOMPARE(rows.size(), i + 1);
        for (int r = 0; r <= i; ++r)
            QCOMPARE(rows[r][1].text(), names[i] + QStringLiteral(" row %1").arg(r + 1));
    }
    QCOMPARE(entriesOf(way.targetList(h)), names);
    QCOMPARE(entriesOf(way.sourceList(h)), names);
    for (int i = 0; i < 3; ++i)
        QVERIFY(way.sourceList(h).Selected(i));
    for (const QString& n : names) {
        TransferHarness::dropIfExists(Server::MySQL, n);
        TransferHarness::dropIfExists(Server::MSSQL, n);
    }
}

void TestSendTables::overwriteNoSkipsOnlyThatTable_data() {
    addWays();
}

void TestSendTables::overwriteNoSkipsOnlyThatTable() {
    QFETCH(Way, way);
    TransferHarness h;
    const QString base = test::uniqueName(QStringLiteral("ow"));
    const QString a = base + "_a";
    const QString b = base + "_b";
    way.createSmall(way.source(), a, 1);
    way.createSmall(way.source(), b, 2);
    way.createSmall(way.target(), b, 5); // the target's own b, to be kept
    fillList(way.sourceList(h), {a, b}, {a, b}, a);
    fillList(way.targetList(h), {b}, {}, b);
    h.dialogs.answers.enqueue(ui::kAnswerNo);
    h.markLogs();
    way.send(h);

    QCOMPARE(h.dialogs.shown.size(), 1);
    QCOMPARE(h.dialogs.shown[0].prompt, QStringLiteral("Would you like to overwrite %1?").arg(b));
    QVERIFY(h.sessionsMentioning(way.target(), {b}).isEmpty());
    QVERIFY(h.sessionsMentioning(way.source(), {b}).isEmpty());
    QCOMPARE(TransferHarness::count(way.target(), b), 5LL);
    QCOMPARE(TransferHarness::count(way.target(), a), 1LL);
    QCOMPARE(entriesOf(way.targetList(h)), (QStringList{a, b}));
    for (const QString& n : {a, b}) {
        TransferHarness::dropIfExists(Server::MySQL, n);
        TransferHarness::dropIfExists(Server::MSSQL, n);
    }
}

void TestSendTables::nameDifferingInCaseIsNotOverwritten_data() {
    addWays();
}

void TestSendTables::nameDifferingInCaseIsNotOverwritten() {
    QFETCH(Way, way);
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("case"));
    way.createSmall(way.source(), name, 1);
    fillList(way.sourceList(h), {name}, {name}, name);
    fillList(way.targetList(h), {name.toUpper()}, {}, {});
    h.markLogs();
    way.send(h);

    QVERIFY(h.dialogs.shown.isEmpty());
    const auto sessions = h.sessionsMentioning(way.target(), {name, name.toUpper()});
    QCOMPARE(sessions.size(), 1);
    for (const QString& s : sessions[0].statements)
        QVERIFY2(!s.startsWith(u"DROP"), qPrintable(s));
    QStringList entries = entriesOf(way.targetList(h));
    entries.sort();
    QCOMPARE(entries, (QStringList{name.toUpper(), name}));
    QCOMPARE(TransferHarness::count(way.target(), name), 1LL);
    TransferHarness::dropIfExists(Server::MySQL, name);
    TransferHarness::dropIfExists(Server::MSSQL, name);
}

void TestSendTables::emptyTable_data() {
    addWays();
}

void TestSendTables::emptyTable() {
    QFETCH(Way, way);
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("empty"));
    way.createSmall(way.source(), name, 0);
    fillList(way.sourceList(h), {name}, {name}, name);
    h.markLogs();
    way.send(h);

    QVERIFY(h.dialogs.shown.isEmpty());
    const auto sessions = h.sessionsMentioning(way.target(), {name});
    QCOMPARE(sessions.size(), 1);
    QStringList expected;
    if (way.toMySql)
        expected << sql::mysqlSessionSetup();
    expected << (way.toMySql
                     ? QStringLiteral(
                           "CREATE TABLE `%1`(`id` int,`v` varchar(80) CHARACTER SET utf8mb4)")
                           .arg(name)
                     : QStringLiteral("CREATE TABLE [%1]([id] int,[v] nvarchar(80))").arg(name));
    expected << (way.toMySql ? sql::mysqlCountRows(name) : sql::mssqlCountRows(name));
    QCOMPARE(sessions[0].statements, expected);
    QCOMPARE(entriesOf(way.targetList(h)), QStringList{name});
    QCOMPARE(TransferHarness::count(way.target(), name), 0LL);
    TransferHarness::dropIfExists(Server::MySQL, name);
    TransferHarness::dropIfExists(Server::MSSQL, name);
}

void TestSendTables::hostileNames_data() {
    QTest::addColumn<Way>("way");
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("SQL Server to MySQL, new tables") << Way{true} << false;
    QTest::newRow("SQL Server to MySQL, over existing ones") << Way{true} << true;
    QTest::newRow("MySQL to SQL Server, new tables") << Way{false} << false;
    QTest::newRow("MySQL to SQL Server, over existing ones") << Way{false} << true;
}

void TestSendTables::hostileNames() {
    QFETCH(Way, way);
    QFETCH(bool, overwrite);
    TransferHarness h;
    const QString base = test::uniqueName(QStringLiteral("h"));
    const QString bystander = base + QStringLiteral("_bystander");
    const QStringList names{base + QStringLiteral("x; DROP TABLE ") + bystander,
                            QStringLiteral("order"), base + QStringLiteral(" my table"),
                            base + QStringLiteral("a]b"), base + QStringLiteral("q'uote`tick[")};
    const QStringList columns{QStringLiteral("a]b"), QStringLiteral("c`d"), QStringLiteral("e'f"),
                              QStringLiteral("select"), QStringLiteral("my col")};
    for (Server s : {Server::MySQL, Server::MSSQL}) {
        TransferHarness::dropIfExists(s, QStringLiteral("order"));
        way.createSmall(s, bystander, 1);
    }
    const Server src = way.source();
    for (const QString& n : names) {
        QStringList defs;
        for (const QString& c : columns)
            defs << way.delimit(src, c) + (src == Server::MySQL ? QStringLiteral(" varchar(30)")
                                                                : QStringLiteral(" nvarchar(30)"));
        TransferHarness::exec(
            src, {QStringLiteral("CREATE TABLE %1 (%2)").arg(way.delimit(src, n), defs.join(u',')),
                  QStringLiteral("INSERT INTO %1 VALUES('1', 'it''s', ']]', '`', '; DROP TABLE x')")
                      .arg(way.delimit(src, n))});
    }
    fillList(way.sourceList(h), names, names, names[0]);
    if (overwrite) { // the names are in the target list too: each is dropped first
        for (const QString& n : names) {
            TransferHarness::dropIfExists(way.target(), n);
            way.createSmall(way.target(), n, 2);
            h.dialogs.answers.enqueue(ui::kAnswerYes);
        }
        fillList(way.targetList(h), names, {}, {});
    }
    way.send(h);

    QStringList questions;
    for (const QString& n : names)
        questions << QStringLiteral("Would you like to overwrite %1?").arg(n);
    for (const auto& box : h.dialogs.shown) {
        if (!overwrite || !questions.contains(box.prompt))
            QFAIL(qPrintable(box.prompt));
    }
    QCOMPARE(h.dialogs.shown.size(), overwrite ? names.size() : 0);
    QStringList expectedList = names;
    std::sort(expectedList.begin(), expectedList.end(), [](const QString& x, const QString& y) {
        return x.compare(y, Qt::CaseInsensitive) < 0;
    });
    QCOMPARE(entriesOf(way.targetList(h)), expectedList);
    for (const QString& n : names) {
        QCOMPARE(textRows(TransferHarness::rows(way.target(), n)),
                 (QList<QStringList>{{"1", "it's", "]]", "`", "; DROP TABLE x"}}));
    }
    for (Server s : {Server::MySQL, Server::MSSQL}) {
        QVERIFY(TransferHarness::tables(s).contains(bystander));
        TransferHarness::dropIfExists(s, bystander);
        for (const QString& n : names)
            TransferHarness::dropIfExists(s, n);
    }
}

void TestSendTables::refusedValueStopsTheCopy() {
    TransferHarness h;
    const QString base = test::uniqueName(QStringLiteral("refused"));
    const QString later = base + "_a"; // above in the list: its turn would come after
    const QString name = base + "_z";
    TransferHarness::exec(Server::MySQL,
                          {QStringLiteral("CREATE TABLE `%1` (id int, tm time)").arg(name),
                           QStringLiteral("INSERT INTO `%1` VALUES(1, '01:00:00'), (2, "
                                          "'02:00:00'), (3, '100:00:00'), (4, '03:00:00')")
                               .arg(name),
                           QStringLiteral("CREATE TABLE `%1` (id int)").arg(later)});
    fillList(h.mysqlList, {later, name}, {later, name}, name);
    h.markLogs();
    commands::SendTablesToMSSQL(h.context());

    QCOMPARE(h.dialogs.shown.size(), 1);
    const auto& box = h.dialogs.shown[0];
    QCOMPARE(box.style, ui::kOkOnly);
    const QString expected =
        QStringLiteral("Copying the table %1 to SQL Server stopped while copying row 3. "
                       "The table is on SQL Server with the 2 rows copied before. "
                       "Nothing more was sent.\n\n")
            .arg(name);
    QVERIFY2(box.prompt.startsWith(expected), qPrintable(box.prompt));
    QVERIFY2(box.prompt.size() > expected.size(), "the server's own words follow");
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    QCOMPARE(entriesOf(h.mssqlList), QStringList{name});
    QCOMPARE(TransferHarness::count(Server::MSSQL, name), 2LL);
    QVERIFY(!TransferHarness::tables(Server::MSSQL).contains(later));
    for (Server s : {Server::MySQL, Server::MSSQL}) {
        for (const auto& session : h.sessionsMentioning(s, {name}))
            QVERIFY(session.closed);
        QVERIFY(h.sessionsMentioning(s, {later}).isEmpty());
    }
    for (const QString& n : {name, later}) {
        TransferHarness::dropIfExists(Server::MySQL, n);
        TransferHarness::dropIfExists(Server::MSSQL, n);
    }
}

// MySQL keeps six fractional digits of a second; a SQL Server value with a non-zero seventh digit
// stops the copy at its row instead of arriving changed.
void TestSendTables::seventhFractionalDigitIsNotCut() {
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("seventh"));
    TransferHarness::exec(
        Server::MSSQL,
        {QStringLiteral("CREATE TABLE [%1] (id int, at datetime2(7))").arg(name),
         QStringLiteral("INSERT INTO [%1] VALUES(1, '2026-12-06 10:00:00.1234560')").arg(name),
         QStringLiteral("INSERT INTO [%1] VALUES(2, '2026-12-06 10:00:00.1234567')").arg(name),
         QStringLiteral("INSERT INTO [%1] VALUES(3, '2026-12-06 10:00:00.5000000')").arg(name)});
    fillList(h.mssqlList, {name}, {name}, name);
    commands::SendTablesToMySQL(h.context());

    QCOMPARE(h.dialogs.shown.size(), 1);
    const QString prompt = h.dialogs.shown[0].prompt;
    QVERIFY2(prompt.startsWith(QStringLiteral("Copying the table %1 to MySQL stopped while copying "
                                              "row 2. The table is on MySQL with the 1 row "
                                              "copied before.")
                                   .arg(name)),
             qPrintable(prompt));
    QVERIFY2(prompt.contains(QStringLiteral("10:00:00.1234567")), qPrintable(prompt));
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    QCOMPARE(entriesOf(h.mysqlList), QStringList{name});
    QCOMPARE(TransferHarness::count(Server::MySQL, name), 1LL);
    TransferHarness::dropIfExists(Server::MySQL, name);
    TransferHarness::dropIfExists(Server::MSSQL, name);
}

void TestSendTables::createRefusedLeavesListAsItWas_data() {
    addWays();
}

void TestSendTables::createRefusedLeavesListAsItWas() {
    QFETCH(Way, way);
    TransferHarness h;
    const QString base = test::uniqueName(QStringLiteral("exists"));
    const QString name = base + "_b";
    const QString earlier = base + "_c"; // below in the list: copied before the failure
    way.createSmall(way.source(), name, 2);
    way.createSmall(way.source(), earlier, 1);
    way.createSmall(way.target(), name, 3); // on the server, but not in the list
    fillList(way.sourceList(h), {name, earlier}, {name, earlier}, name);
    way.send(h);

    QCOMPARE(h.dialogs.shown.size(), 1);
    const QString target = way.toMySql ? QStringLiteral("MySQL") : QStringLiteral("SQL Server");
    const QString expected =
        QStringLiteral("Copying the table %1 to %2 stopped while creating it on %2. "
                       "Nothing more was sent.\n\n")
            .arg(name, target);
    QVERIFY2(h.dialogs.shown[0].prompt.startsWith(expected), qPrintable(h.dialogs.shown[0].prompt));
    QCOMPARE(entriesOf(way.targetList(h)), QStringList{earlier});
    QCOMPARE(TransferHarness::count(way.target(), name), 3LL); // the target's own table, untouched
    QCOMPARE(TransferHarness::count(way.target(), earlier), 1LL);
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    for (const QString& n : {name, earlier}) {
        TransferHarness::dropIfExists(Server::MySQL, n);
        TransferHarness::dropIfExists(Server::MSSQL, n);
    }
}

void TestSendTables::sameNameInAnotherSchemaIsNotRead() {
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("schema"));
    TransferHarness::exec(
        Server::MSSQL,
        {QStringLiteral("CREATE TABLE sales.[%1] (other1 int, other2 int, other3 int)").arg(name),
         QStringLiteral("CREATE TABLE [%1] (b nvarchar(5), a int)").arg(name),
         QStringLiteral("INSERT INTO [%1] VALUES(N'x', 1)").arg(name)});
    fillList(h.mssqlList, {name}, {name}, name);
    h.markLogs();
    commands::SendTablesToMySQL(h.context());

    QVERIFY(h.dialogs.shown.isEmpty());
    const auto sessions = h.sessionsMentioning(Server::MySQL, {name});
    QCOMPARE(sessions.size(), 1);
    // The columns of the table SELECT * FROM reads (dbo's), in their order.
    QVERIFY(sessions[0].statements.contains(
        QStringLiteral("CREATE TABLE `%1`(`b` varchar(5) CHARACTER SET utf8mb4,`a` int)")
            .arg(name)));
    QCOMPARE(textRows(TransferHarness::rows(Server::MySQL, name)),
             (QList<QStringList>{{"x", "1"}}));
    TransferHarness::exec(Server::MSSQL, {QStringLiteral("DROP TABLE sales.[%1]").arg(name)});
    TransferHarness::dropIfExists(Server::MSSQL, name);
    TransferHarness::dropIfExists(Server::MySQL, name);
}

void TestSendTables::missingSourceTable_data() {
    addWays();
}

void TestSendTables::missingSourceTable() {
    QFETCH(Way, way);
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("gone")); // listed, but not on the server
    fillList(way.sourceList(h), {name}, {name}, name);
    way.send(h);

    QCOMPARE(h.dialogs.shown.size(), 1);
    const QString source = way.toMySql ? QStringLiteral("SQL Server") : QStringLiteral("MySQL");
    const QString target = way.toMySql ? QStringLiteral("MySQL") : QStringLiteral("SQL Server");
    const QString expected = QStringLiteral("Copying the table %1 to %2 stopped while reading its "
                                            "columns from %3. Nothing more was sent.\n\n")
                                 .arg(name, target, source);
    QVERIFY2(h.dialogs.shown[0].prompt.startsWith(expected), qPrintable(h.dialogs.shown[0].prompt));
    QVERIFY(!TransferHarness::tables(way.target()).contains(name));
    QCOMPARE(entriesOf(way.targetList(h)), QStringList());
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
}

void TestSendTables::connectionRefused_data() {
    QTest::addColumn<Way>("way");
    QTest::addColumn<bool>("mysqlRefuses");
    QTest::addColumn<QString>("message");
    const QString noSqlServer =
        QStringLiteral("Could not connect to SQL Server; nothing was copied.");
    const QString noMySql = QStringLiteral("Could not connect to MySQL; nothing was copied.");
    QTest::newRow("to MySQL, SQL Server unreachable") << Way{true} << false << noSqlServer;
    QTest::newRow("to MySQL, MySQL refuses the login") << Way{true} << true << noMySql;
    QTest::newRow("to SQL Server, SQL Server unreachable") << Way{false} << false << noSqlServer;
    QTest::newRow("to SQL Server, MySQL refuses the login") << Way{false} << true << noMySql;
}

void TestSendTables::connectionRefused() {
    QFETCH(Way, way);
    QFETCH(bool, mysqlRefuses);
    QFETCH(QString, message);
    TransferHarness h;
    if (mysqlRefuses)
        h.settings.myPassword += QStringLiteral("-wrong");
    else
        h.settings.msServer = QStringLiteral("127.0.0.1,%1").arg(test::unusedLoopbackPort());
    const QString name = test::uniqueName(QStringLiteral("refuse"));
    fillList(way.sourceList(h), {name}, {name}, name);
    way.send(h);

    QCOMPARE(h.dialogs.shown.size(), 1);
    QVERIFY2(h.dialogs.shown[0].prompt.startsWith(message + QStringLiteral("\n\n")),
             qPrintable(h.dialogs.shown[0].prompt));
    QVERIFY(h.dialogs.shown[0].prompt.size() > message.size() + 2); // the driver's own words
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    QCOMPARE(entriesOf(way.targetList(h)), QStringList());
}

void TestSendTables::wideTableFitsMySqlRowLimit() {
    TransferHarness h;
    const QString name = test::uniqueName(QStringLiteral("wide"));
    const QString big = QString(4000, QChar(0x6771)); // 東 × 4000: 12,000 bytes in utf8mb4
    QStringList values;
    for (int i = 0; i < 5; ++i)
        values << sql::mssqlString(big);
    TransferHarness::exec(
        Server::MSSQL,
        {QStringLiteral("CREATE TABLE [%1] (id int, a nvarchar(4000), b nvarchar(4000), c "
                        "nvarchar(4000), d nvarchar(4000), e nvarchar(4000))")
             .arg(name),
         QStringLiteral("INSERT INTO [%1] VALUES(1, %2)")
             .arg(name, values.join(QStringLiteral(", ")))});
    fillList(h.mssqlList, {name}, {name}, name);
    commands::SendTablesToMySQL(h.context());

    for (const auto& box : h.dialogs.shown)
        QFAIL(qPrintable(box.prompt));
    const auto rows = TransferHarness::rows(Server::MySQL, name);
    QCOMPARE(rows.size(), 1);
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(rows[0][i].text(), big);
    TransferHarness::dropIfExists(Server::MySQL, name);
    TransferHarness::dropIfExists(Server::MSSQL, name);
}

QTEST_GUILESS_MAIN(TestSendTables)
#include "tst_sendtables.moc"
