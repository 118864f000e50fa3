// Values, result sets and refused statements through the real driver, against MariaDB (the
// "mysql" build of this test) or the SQL Server test double (the "mssql" build). Each test
// creates its own uniquely named tables and drops them.

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "support/TestSupport.h"

#include <QTest>

#include <bit>
#include <cstdint>
#include <limits>
#include <optional>

using fq::odbc::Connection;
using fq::odbc::DbError;
using fq::odbc::Recordset;
using fq::odbc::Value;

namespace {

#ifdef FQ_TEST_MSSQL
constexpr bool kMSSQL = true;
#else
constexpr bool kMSSQL = false;
#endif

QString connectionString() {
    const auto s = fq::test::localServers();
    return kMSSQL ? fq::sql::MSSQLConnectionString(s)
                  : fq::sql::MySQLConnectionStringCommandOrder(s);
}

QString quoteName(const QString& name) {
    return kMSSQL ? "[" + name + "]" : "`" + name + "`";
}

QString textLiteral(const QString& s) {
    return (kMSSQL ? "N'" : "'") + QString(s).replace("'", "''") + "'";
}

QString binaryLiteral(const QByteArray& b) {
    return kMSSQL ? "0x" + QString::fromLatin1(b.toHex())
                  : "X'" + QString::fromLatin1(b.toHex()) + "'";
}

QString describe(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Null:
        return "NULL";
    case Value::Kind::Text:
        return "text(" + QString::number(v.text().size()) + "): " + v.text().left(60);
    case Value::Kind::Binary:
        return "bytes(" + QString::number(v.bytes().size()) +
               "): " + QString::fromLatin1(v.bytes().left(30).toHex());
    case Value::Kind::Double:
        return "double: " + v.text();
    }
    return {};
}

QString longText() {
    QString s;
    for (int i = 0; s.size() < 150 * 1024; ++i)
        s += QString("Zeile %1: Grüße 漢字かな 😀👍🏽; ").arg(i);
    return s;
}

QByteArray longBytes() {
    QByteArray b;
    for (int i = 0; i < 150 * 1024; ++i)
        b.append(static_cast<char>((i * 7 + i / 256) % 256));
    return b;
}

} // namespace

class TestValues : public QObject {
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void recordCount_data();
    void recordCount();
    void statementsWithoutRows();
    void refusedStatement_data();
    void refusedStatement();
    void streamingReadsEveryRow();
    void droppedResultThenConnectionReused();
    void stateAndClosedConnection();
    void catalogTables();
    void cleanup();

private:
    Connection open(int cursorLocation = Connection::kUseServer);
    QString newTable(Connection& c, const QString& columns);
    QStringList tables_;
};

Connection TestValues::open(int cursorLocation) {
    Connection c;
    c.CursorLocation = cursorLocation;
    c.Open(connectionString());
    return c;
}

QString TestValues::newTable(Connection& c, const QString& columns) {
    const QString name = fq::test::uniqueName("fq_values");
    c.Execute("CREATE TABLE " + quoteName(name) + " (" + columns + ")");
    tables_.append(name);
    return name;
}

void TestValues::cleanup() {
    if (tables_.isEmpty())
        return;
    Connection c = open();
    for (const QString& t : std::as_const(tables_))
        c.Execute("DROP TABLE " + quoteName(t));
    tables_.clear();
}

void TestValues::values_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<Value>("expected");

    const QString varText = kMSSQL ? "nvarchar(60)" : "varchar(60)";
    const QString longTextType = kMSSQL ? "nvarchar(max)" : "longtext";
    const QString longBinaryType = kMSSQL ? "varbinary(max)" : "longblob";
    const QString doubleType = kMSSQL ? "float" : "double";
    const QString realType = kMSSQL ? "real" : "float";
    const QByteArray zeros("\x00\xff\x00"
                           "A\x00",
                           5);

    QTest::newRow("NULL text") << varText << "NULL" << Value::null();
    QTest::newRow("empty text is not NULL") << varText << "''" << Value::fromText("");
    QTest::newRow("blanks kept") << varText << "'  a  b  '" << Value::fromText("  a  b  ");
    QTest::newRow("quote") << varText << textLiteral("O'Brien") << Value::fromText("O'Brien");
    QTest::newRow("emoji and CJK") << varText << textLiteral("Grüße 漢字かな 😀👍🏽 Ж")
                                   << Value::fromText("Grüße 漢字かな 😀👍🏽 Ж");
    if (!kMSSQL) {
        QTest::newRow("NUL inside text") << varText << "CONCAT('a', CHAR(0), 'b')"
                                         << Value::fromText(QString::fromLatin1("a\0b", 3));
    }
    QTest::newRow("binary with zero bytes")
        << "varbinary(16)" << binaryLiteral(zeros) << Value::fromBytes(zeros);
    QTest::newRow("empty binary is not NULL")
        << "varbinary(16)" << binaryLiteral({}) << Value::fromBytes({});
    QTest::newRow("NULL binary") << "varbinary(16)"
                                 << "NULL" << Value::null();
    if (kMSSQL) {
        QTest::newRow("decimal 38,20")
            << "decimal(38,20)"
            << "123456789012345678.12345678901234567890"
            << Value::fromText("123456789012345678.12345678901234567890");
    } else {
        QTest::newRow("decimal 65,30")
            << "decimal(65,30)"
            << "12345678901234567890123456789012345.123456789012345678901234567890"
            << Value::fromText(
                   "12345678901234567890123456789012345.123456789012345678901234567890");
    }
    QTest::newRow("negative decimal below one") << "decimal(10,4)"
                                                << "-0.0001" << Value::fromText("-0.0001");
    QTest::newRow("double needing 17 digits")
        << doubleType << "0.30000000000000004" << Value::fromDouble(0.30000000000000004);
    QTest::newRow("largest double")
        << doubleType << "1.7976931348623157e308" << Value::fromDouble(1.7976931348623157e308);
    QTest::newRow("smallest normal double")
        << doubleType << "-2.2250738585072014e-308" << Value::fromDouble(-2.2250738585072014e-308);
    QTest::newRow("NULL double") << doubleType << "NULL" << Value::null();
    // A float reads as its exact value, whose text reads back to the same float.
    QTest::newRow("single precision reads as the float's exact value")
        << realType << "0.1" << Value::fromDouble(static_cast<double>(0.1f));
    QTest::newRow("single precision seven digits")
        << realType << "1234.567" << Value::fromDouble(static_cast<double>(1234.567f));
    if (kMSSQL) {
        QTest::newRow("datetime2 with 100 ns")
            << "datetime2(7)"
            << "'2024-02-29 23:59:59.1234567'" << Value::fromText("2024-02-29 23:59:59.1234567");
        QTest::newRow("uniqueidentifier")
            << "uniqueidentifier"
            << "'6F9619FF-8B86-D011-B42D-00C04FC964FF'"
            << Value::fromText("6F9619FF-8B86-D011-B42D-00C04FC964FF");
    } else {
        QTest::newRow("datetime with microseconds")
            << "datetime(6)"
            << "'2024-02-29 23:59:59.123456'" << Value::fromText("2024-02-29 23:59:59.123456");
    }
    QTest::newRow("smallest subnormal double")
        << doubleType << "4.9e-324" << Value::fromDouble(4.9e-324);
    QTest::newRow("largest single precision")
        << realType << "3.4028234e38"
        << Value::fromDouble(static_cast<double>(std::numeric_limits<float>::max()));
    if (kMSSQL) {
        QTest::newRow("datetime in 1/300 seconds")
            << "datetime"
            << "'2024-02-29 23:59:59.997'" << Value::fromText("2024-02-29 23:59:59.997");
        QTest::newRow("time with 100 ns")
            << "time(7)"
            << "'23:59:59.1234567'" << Value::fromText("23:59:59.1234567");
        QTest::newRow("datetimeoffset keeps its offset")
            << "datetimeoffset(7)"
            << "'2024-02-29 23:59:59.1234567 +05:30'"
            << Value::fromText("2024-02-29 23:59:59.1234567 +05:30");
        QTest::newRow("largest money")
            << "money"
            << "922337203685477.5807" << Value::fromText("922337203685477.5807");
        QTest::newRow("char keeps its padding") << "char(5)"
                                                << "'ab'" << Value::fromText("ab   ");
        QTest::newRow("varchar in code page 1252") << "varchar(20)"
                                                   << "'Grüße €'" << Value::fromText("Grüße €");
    } else {
        QTest::newRow("bit field as bytes")
            << "bit(8)"
            << "b'10100101'" << Value::fromBytes(QByteArray(1, '\xa5'));
        QTest::newRow("negative time with microseconds")
            << "time(6)"
            << "'-838:59:59.000001'" << Value::fromText("-838:59:59.000001");
        QTest::newRow("largest unsigned bigint")
            << "bigint unsigned"
            << "18446744073709551615" << Value::fromText("18446744073709551615");
        QTest::newRow("json text") << "json"
                                   << "'{\"a\": [1, 2]}'" << Value::fromText("{\"a\": [1, 2]}");
    }
    QTest::newRow("smallest bigint")
        << "bigint"
        << "-9223372036854775808" << Value::fromText("-9223372036854775808");
    for (const int before : {4093, 4094, 4095}) { // an emoji across the end of the first chunk
        const QString text = QString(before, u'a') + "😀b";
        QTest::addRow("surrogate pair after %d characters", before)
            << longTextType << textLiteral(text) << Value::fromText(text);
    }
    QTest::newRow("long text over 100 KB")
        << longTextType << textLiteral(longText()) << Value::fromText(longText());
    QTest::newRow("long binary over 100 KB")
        << longBinaryType << binaryLiteral(longBytes()) << Value::fromBytes(longBytes());
}

void TestValues::values() {
    QFETCH(QString, type);
    QFETCH(QString, literal);
    QFETCH(Value, expected);

    Connection c = open();
    const QString table = newTable(c, "v " + type + " NULL");
    c.Execute("INSERT INTO " + quoteName(table) + " (v) VALUES (" + literal + ")");
    for (const int cursor : {Connection::kUseServer, Connection::kUseClient}) {
        c.CursorLocation = cursor;
        Recordset rs = c.Execute("SELECT v FROM " + quoteName(table));
        QCOMPARE(rs.FieldCount(), 1);
        QVERIFY(!rs.Eof());
        const Value& got = rs.Item(0);
        QVERIFY2(got == expected,
                 qPrintable("got " + describe(got) + ", expected " + describe(expected)));
        // A double's text is its shortest round-trip form: equal texts are equal bits.
        QCOMPARE(got.text(), expected.text());
        // Reading a field again gives the same value.
        QVERIFY(rs.Item(0) == expected);
        rs.MoveNext();
        QVERIFY(rs.Eof());
    }
}

void TestValues::recordCount_data() {
    QTest::addColumn<int>("cursor");
    QTest::addColumn<qlonglong>("count");
    QTest::newRow("client cursor counts the rows") << Connection::kUseClient << 3LL;
    QTest::newRow("server cursor does not know") << Connection::kUseServer << -1LL;
}

void TestValues::recordCount() {
    QFETCH(int, cursor);
    QFETCH(qlonglong, count);

    Connection c = open(cursor);
    const QString table = newTable(c, "id int NOT NULL, name varchar(20) NULL");
    for (int i = 1; i <= 3; ++i) {
        c.Execute("INSERT INTO " + quoteName(table) + " (id, name) VALUES (" + QString::number(i) +
                  ", 'row " + QString::number(i) + "')");
    }
    Recordset rs = c.Execute("SELECT id, name FROM " + quoteName(table) + " ORDER BY id");
    QCOMPARE(rs.RecordCount(), count);
    QStringList seen;
    for (; !rs.Eof(); rs.MoveNext())
        seen << rs.Item(0).text() + "|" + rs.Item(1).text();
    QCOMPARE(seen, QStringList({"1|row 1", "2|row 2", "3|row 3"}));

    Recordset empty = c.Execute("SELECT id FROM " + quoteName(table) + " WHERE id < 0");
    QVERIFY(empty.Eof());
    QCOMPARE(empty.FieldCount(), 1);
    QCOMPARE(empty.RecordCount(), cursor == Connection::kUseClient ? 0LL : -1LL);
}

void TestValues::statementsWithoutRows() {
    Connection c = open(Connection::kUseClient);
    const QString table = newTable(c, "id int NULL");
    QStringList statements = {
        "INSERT INTO " + quoteName(table) + " (id) VALUES (1)",
        "CREATE TABLE " + quoteName(table + "_x") + " (a int)",
        "DROP TABLE " + quoteName(table + "_x"),
    };
    if (!kMSSQL) { // the SQL Server test double knows no UPDATE or DELETE: the program sends none
        statements += {
            "UPDATE " + quoteName(table) + " SET id = 2 WHERE id = 1",
            "UPDATE " + quoteName(table) + " SET id = 3 WHERE id = 99", // touches no row
            "DELETE FROM " + quoteName(table) + " WHERE id = 99",
            "UPDATE " + quoteName(table) + " SET id = 1 WHERE id = 2",
        };
    }
    for (const QString& sql : statements) {
        Recordset rs = c.Execute(sql);
        QVERIFY2(rs.Eof(), qPrintable(sql));
        QCOMPARE(rs.FieldCount(), 0);
        // Asking for rows that are not there is reported, not a crash.
        QVERIFY_THROWS_EXCEPTION(DbError, rs.Item(0));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.MoveNext());
    }
    Recordset rs = c.Execute("SELECT id FROM " + quoteName(table));
    QCOMPARE(rs.RecordCount(), 1LL);
    QCOMPARE(rs.Item(0).text(), QString("1"));
    QVERIFY_THROWS_EXCEPTION(DbError, rs.Item(1));
    rs.MoveNext();
    QVERIFY_THROWS_EXCEPTION(DbError, rs.Item(0));
}

void TestValues::refusedStatement_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sqlState");
    QTest::addColumn<long>("nativeError");
    QTest::addColumn<QString>("textContains");

    const QString missing = "fq_no_such_table_here";
    QTest::newRow("missing table")
        << "SELECT * FROM " + missing << "42S02" << (kMSSQL ? 208L : 1146L) << missing;
    QTest::newRow("syntax error") << "SELECT FROM WHERE"
                                  << "42000" << (kMSSQL ? -1L : 1064L) << "";
    QTest::newRow("insert into missing table") << "INSERT INTO " + missing + " (a) VALUES (1)"
                                               << "42S02" << (kMSSQL ? 208L : 1146L) << missing;
    if (kMSSQL) {
        // FreeTDS reports the error of a later statement of a batch only when the client asks
        // for the next result: it must still reach the caller.
        QTest::newRow("error after a result set")
            << "SELECT 1 AS a; SELECT * FROM " + missing << "42S02" << 208L << missing;
        QTest::newRow("error after a row count")
            << "INSERT INTO %TABLE% (a) VALUES (1); SELECT * FROM " + missing << "42S02" << 208L
            << missing;
    }
}

void TestValues::refusedStatement() {
    QFETCH(QString, statement);
    QFETCH(QString, sqlState);
    QFETCH(long, nativeError);
    QFETCH(QString, textContains);

    if (statement.contains("%TABLE%")) {
        Connection setup = open();
        statement.replace("%TABLE%", quoteName(newTable(setup, "a int NULL")));
    }
    for (const int cursor : {Connection::kUseServer, Connection::kUseClient}) {
        Connection c = open(cursor);
        std::optional<DbError> error;
        try {
            Recordset rs = c.Execute(statement);
            while (!rs.Eof())
                rs.MoveNext();
        } catch (const DbError& e) {
            error = e;
        }
        QVERIFY2(error.has_value(), "the refused statement looked like success");
        QCOMPARE(error->number(), fq::odbc::kGenericFailure);
        QCOMPARE(error->sqlState(), sqlState);
        if (nativeError >= 0)
            QCOMPARE(error->nativeError(), nativeError);
        QVERIFY2(error->driverText().contains(textContains), qPrintable(error->driverText()));
        QVERIFY(!error->driverText().contains(QChar(u'\0')));
        // The connection is still usable.
        Recordset after = c.Execute("SELECT 42");
        QVERIFY(!after.Eof());
        QCOMPARE(after.Item(0).text(), QString("42"));
    }
}

void TestValues::streamingReadsEveryRow() {
    Connection c = open(Connection::kUseServer);
    const QString table = newTable(c, "id int NOT NULL, t varchar(30) NULL");
    constexpr int kRows = 2000;
    QString insert = "INSERT INTO " + quoteName(table) + " (id, t) VALUES ";
    for (int i = 0; i < kRows; ++i)
        insert += QString("%1(%2, %3)").arg(i ? "," : "").arg(i).arg(i % 10 ? "'r'" : "NULL");
    if (kMSSQL) {
        // SQL Server takes at most 1000 rows per VALUES list.
        for (int from = 0; from < kRows; from += 500) {
            QString part = "INSERT INTO " + quoteName(table) + " (id, t) VALUES ";
            for (int i = from; i < from + 500; ++i)
                part += QString("%1(%2, %3)")
                            .arg(i > from ? "," : "")
                            .arg(i)
                            .arg(i % 10 ? "'r'" : "NULL");
            c.Execute(part);
        }
    } else {
        c.Execute(insert);
    }
    Recordset rs = c.Execute("SELECT id, t FROM " + quoteName(table) + " ORDER BY id");
    QCOMPARE(rs.RecordCount(), -1LL);
    int expected = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++expected) {
        QCOMPARE(rs.Item(0).text(), QString::number(expected));
        QCOMPARE(rs.Item(1).isNull(), expected % 10 == 0);
    }
    QCOMPARE(expected, kRows);
}

void TestValues::droppedResultThenConnectionReused() {
    // A result left before its last row, then the same connection used again: the next
    // statement runs and sees its own result, and nothing of the dropped one is read any more.
    Connection c = open(Connection::kUseServer);
    const QString table = newTable(c, "id int NOT NULL");
    QString insert = "INSERT INTO " + quoteName(table) + " (id) VALUES ";
    for (int i = 0; i < 500; ++i)
        insert += QString("%1(%2)").arg(i ? "," : "").arg(i);
    c.Execute(insert);
    for (int round = 0; round < 3; ++round) {
        {
            Recordset first = c.Execute("SELECT id FROM " + quoteName(table) + " ORDER BY id");
            QCOMPARE(first.Item(0).text(), QString("0"));
            first.MoveNext();
        }
        c.Execute("INSERT INTO " + quoteName(table) + " (id) VALUES (1000)");
        Recordset count = c.Execute("SELECT COUNT(*) FROM " + quoteName(table));
        QCOMPARE(count.Item(0).text(), QString::number(501 + round));
    }
}

void TestValues::stateAndClosedConnection() {
    Connection c;
    QCOMPARE(c.State(), 0);
    c.Open(connectionString());
    QCOMPARE(c.State(), 1);
    c.Close();
    QCOMPARE(c.State(), 0);
    QVERIFY_THROWS_EXCEPTION(DbError, c.Execute("SELECT 1"));
    c.Open(connectionString());
    QCOMPARE(c.Execute("SELECT 1").Item(0).text(), QString("1"));
}

void TestValues::catalogTables() {
    if (!kMSSQL)
        QSKIP("The catalog listing serves the SQL Server side only.");
    Connection c = open();
    const QString name = fq::test::uniqueName("fq_catalog");
    c.Execute("CREATE TABLE dbo." + quoteName(name) + " (a int)");
    tables_.append(name);
    c.Execute("CREATE TABLE sales." + quoteName(name) + " (a int)");
    QStringList names;
    try {
        names = c.catalogTables();
    } catch (...) {
        c.Execute("DROP TABLE sales." + quoteName(name));
        throw;
    }
    c.Execute("DROP TABLE sales." + quoteName(name));
    QCOMPARE(names.count(name), 2); // one per schema
    for (const char* system : {"sysobjects", "TABLES", "COLUMNS", "objects"})
        QVERIFY2(!names.contains(system), qPrintable(system));
}

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
