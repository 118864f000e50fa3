#include "odbc/DbError.h"
#include "odbc/Value.h"
#include "sql/Literals.h"
#include "sql/Refusal.h"
#include "sql/Statements.h"

#include <QTest>

#include <limits>

using namespace fq;
using odbc::Value;
using sql::TargetColumn;
using sql::ValueKind;

Q_DECLARE_METATYPE(fq::odbc::Value)
Q_DECLARE_METATYPE(fq::sql::ValueKind)

// Values as literals for each target, and the statements around them.
class TestLiterals : public QObject {
    Q_OBJECT

private slots:
    void literals_data();
    void literals();
    void sevenFractionalDigits_data();
    void sevenFractionalDigits();
    void statements_data();
    void statements();
};

void TestLiterals::literals_data() {
    QTest::addColumn<Value>("value");
    QTest::addColumn<ValueKind>("kind");
    QTest::addColumn<QString>("mysql");
    QTest::addColumn<QString>("mssql");

    const auto P = ValueKind::Plain;
    const auto T = ValueKind::Temporal;
    const auto B = ValueKind::Bit;
    QTest::newRow("NULL is NULL") << Value::null() << P << "NULL"
                                  << "NULL";
    QTest::newRow("empty text stays empty") << Value::fromText({}) << P << "''"
                                            << "''";
    QTest::newRow("number as quoted text") << Value::fromText("7") << P << "'7'"
                                           << "'7'";
    QTest::newRow("quote doubled") << Value::fromText("O'Brien") << P << "'O''Brien'"
                                   << "'O''Brien'";
    QTest::newRow("backslash as it stands") << Value::fromText("C:\\dir\\") << P << "'C:\\dir\\'"
                                            << "'C:\\dir\\'";
    QTest::newRow("separator text is just data")
        << Value::fromText("a|myseparaterz|b") << P << "'a|myseparaterz|b'"
        << "'a|myseparaterz|b'";
    QTest::newRow("CJK: N only for SQL Server")
        << Value::fromText(QString::fromUtf8("東京")) << P << QString::fromUtf8("'東京'")
        << QString::fromUtf8("N'東京'");
    QTest::newRow("emoji") << Value::fromText(QString::fromUtf8("😀")) << P
                           << QString::fromUtf8("'😀'") << QString::fromUtf8("N'😀'");
    QTest::newRow("zero char inside text")
        << Value::fromText(QStringLiteral("a") + QChar(0) + QStringLiteral("b")) << P
        << "_utf8mb4 X'610062'"
        << "CONVERT(nvarchar(max), 0x610000006200)";
    QTest::newRow("year 12 keeps its century") << Value::fromText("12-01-01") << T << "'0012-01-01'"
                                               << "'0012-01-01'";
    QTest::newRow("year 1 with time")
        << Value::fromText("1-01-01 00:00:00.0000000") << T << "'0001-01-01 00:00:00.0000000'"
        << "'0001-01-01 00:00:00.0000000'";
    QTest::newRow("year 999 with offset") << Value::fromText("999-01-01 10:00:00.000 +01:00") << T
                                          << "'0999-01-01 10:00:00.000 +01:00'"
                                          << "'0999-01-01 10:00:00.000 +01:00'";
    QTest::newRow("four-digit year untouched")
        << Value::fromText("2026-12-06") << T << "'2026-12-06'"
        << "'2026-12-06'";
    QTest::newRow("time of day untouched") << Value::fromText("12:00:00") << T << "'12:00:00'"
                                           << "'12:00:00'";
    QTest::newRow("bytes as hex") << Value::fromBytes(QByteArray("\0\x01\xff", 3)) << P
                                  << "X'0001FF'"
                                  << "0x0001FF";
    QTest::newRow("no bytes") << Value::fromBytes({}) << P << "X''"
                              << "0x";
    QTest::newRow("double needing 17 digits")
        << Value::fromDouble(0.1 + 0.2) << P << "'0.30000000000000004'"
        << "'0.30000000000000004'";
    QTest::newRow("largest double")
        << Value::fromDouble(std::numeric_limits<double>::max()) << P << "'1.7976931348623157e+308'"
        << "'1.7976931348623157e+308'";
    QTest::newRow("negative zero") << Value::fromDouble(-0.0) << P << "'-0'"
                                   << "'-0'";
    QTest::newRow("datetime with fraction")
        << Value::fromText("2026-12-06 19:13:00.123456") << T << "'2026-12-06 19:13:00.123456'"
        << "'2026-12-06 19:13:00.123456'";
    QTest::newRow("zero date is NULL") << Value::fromText("0000-00-00") << T << "NULL"
                                       << "NULL";
    QTest::newRow("zero datetime is NULL") << Value::fromText("0000-00-00 00:00:00") << T << "NULL"
                                           << "NULL";
    QTest::newRow("zero date text in a text column stays")
        << Value::fromText("0000-00-00") << P << "'0000-00-00'"
        << "'0000-00-00'";
    QTest::newRow("NULL date") << Value::null() << T << "NULL"
                               << "NULL";
    QTest::newRow("bit as text 1") << Value::fromText("1") << B << "'1'"
                                   << "'1'";
    QTest::newRow("bit as text 0") << Value::fromText("0") << B << "'0'"
                                   << "'0'";
    QTest::newRow("bit as byte 1") << Value::fromBytes(QByteArray("\x01", 1)) << B << "'1'"
                                   << "'1'";
    QTest::newRow("bit as byte 0") << Value::fromBytes(QByteArray("\0", 1)) << B << "'0'"
                                   << "'0'";
    QTest::newRow("bit NULL") << Value::null() << B << "NULL"
                              << "NULL";
}

void TestLiterals::literals() {
    QFETCH(Value, value);
    QFETCH(ValueKind, kind);
    QFETCH(QString, mysql);
    QFETCH(QString, mssql);
    QCOMPARE(sql::mysqlLiteral(value, kind), mysql);
    QCOMPARE(sql::mssqlLiteral(value, kind), mssql);
}

void TestLiterals::sevenFractionalDigits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mysql"); // empty: refused
    QTest::newRow("datetime2(7), seventh digit zero") << "2026-12-06 19:13:00.1234560"
                                                      << "'2026-12-06 19:13:00.1234560'";
    QTest::newRow("datetime2(7), seventh digit set") << "2026-12-06 19:13:00.1234567"
                                                     << "";
    QTest::newRow("datetime2(7), only the seventh digit") << "2026-12-06 19:13:00.0000001"
                                                          << "";
    QTest::newRow("time(7), last moment of the day") << "23:59:59.9999999"
                                                     << "";
    QTest::newRow("time(7), whole seconds") << "10:00:00.0000000"
                                            << "'10:00:00.0000000'";
    QTest::newRow("datetime2(3)") << "2026-12-06 19:13:00.123"
                                  << "'2026-12-06 19:13:00.123'";
    QTest::newRow("time(0)") << "10:00:00"
                             << "'10:00:00'";
    QTest::newRow("year 12, seventh digit zero") << "12-01-01 00:00:00.5000000"
                                                 << "'0012-01-01 00:00:00.5000000'";
}

// MySQL keeps six fractional digits and would cut a seventh without a word: such a value is
// refused with a message instead. SQL Server, the other way, keeps all seven.
void TestLiterals::sevenFractionalDigits() {
    QFETCH(QString, text);
    QFETCH(QString, mysql);
    const Value v = Value::fromText(text);
    if (mysql.isEmpty()) {
        try {
            sql::mysqlLiteral(v, ValueKind::SixDigitTemporal);
            QFAIL("a value with a seventh fractional digit went to MySQL");
        } catch (const sql::Refusal& e) {
            QVERIFY2(e.text().contains(text), qPrintable(e.text()));
        }
    } else {
        QCOMPARE(sql::mysqlLiteral(v, ValueKind::SixDigitTemporal), mysql);
    }
    QCOMPARE(sql::mysqlLiteral(Value::null(), ValueKind::SixDigitTemporal), QStringLiteral("NULL"));
}

void TestLiterals::statements_data() {
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");

    using namespace sql;
    const QList<TargetColumn> customer{{"Name", "varchar(50)", ValueKind::Plain},
                                       {"Code", "char(8)", ValueKind::Plain}};
    const QList<TargetColumn> orders{{"id", "int", ValueKind::Plain},
                                     {"customer", "nvarchar(40)", ValueKind::Plain},
                                     {"placed", "datetime2(0)", ValueKind::Temporal}};

    // The worked example to MySQL.
    QTest::newRow("to MySQL: drop") << mysqlDropTable("Customer") << "DROP TABLE `Customer`";
    QTest::newRow("to MySQL: create")
        << mysqlCreateTable("Customer", customer)
        << "CREATE TABLE `Customer`(`Name` varchar(50),`Code` char(8))";
    QTest::newRow("to MySQL: select") << mssqlSelectAll("Customer") << "SELECT * FROM Customer";
    QTest::newRow("to MySQL: insert")
        << mysqlInsert("Customer", {mysqlLiteral(Value::fromText("Smith"), ValueKind::Plain),
                                    mysqlLiteral(Value::fromText("AB-1"), ValueKind::Plain)})
        << "INSERT INTO `Customer` VALUES('Smith', 'AB-1')";
    QTest::newRow("to MySQL: insert with NULL")
        << mysqlInsert("Customer", {mysqlLiteral(Value::fromText("O'Neil"), ValueKind::Plain),
                                    mysqlLiteral(Value::null(), ValueKind::Plain)})
        << "INSERT INTO `Customer` VALUES('O''Neil', NULL)";
    QTest::newRow("to MySQL: columns query")
        << mssqlColumnsQuery("Customer")
        << "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, "
           "NUMERIC_SCALE, DATETIME_PRECISION FROM information_schema.Columns WHERE "
           "table_schema=OBJECT_SCHEMA_NAME(OBJECT_ID(N'Customer')) AND table_name=N'Customer' "
           "ORDER BY ORDINAL_POSITION";

    // The worked example to SQL Server.
    QTest::newRow("to SQL Server: drop") << mssqlDropTable("orders") << "DROP TABLE [orders]";
    QTest::newRow("to SQL Server: describe") << mysqlDescribe("orders") << "describe orders";
    QTest::newRow("to SQL Server: create")
        << mssqlCreateTable("orders", orders)
        << "CREATE TABLE [orders]([id] int,[customer] nvarchar(40),[placed] datetime2(0))";
    QTest::newRow("to SQL Server: select") << mysqlSelectAll("orders") << "SELECT * FROM orders";
    QTest::newRow("to SQL Server: insert")
        << mssqlInsert("orders", {mssqlLiteral(Value::fromText("7"), ValueKind::Plain),
                                  mssqlLiteral(Value::fromText("O'Brien"), ValueKind::Plain),
                                  mssqlLiteral(Value::null(), ValueKind::Temporal)})
        << "INSERT INTO [orders] VALUES('7', 'O''Brien', NULL)";
    QTest::newRow("one-column row of an empty text")
        << mssqlInsert("t", {mssqlLiteral(Value::fromText({}), ValueKind::Plain)})
        << "INSERT INTO [t] VALUES('')";

    // Hostile names: each statement does its own work only.
    const QString evil = QStringLiteral("x]`'; DROP TABLE y");
    const QList<TargetColumn> evilColumns{{evil, "int", ValueKind::Plain}};
    QTest::newRow("hostile: MySQL drop")
        << mysqlDropTable(evil) << "DROP TABLE `x]``'; DROP TABLE y`";
    QTest::newRow("hostile: SQL Server drop")
        << mssqlDropTable(evil) << "DROP TABLE [x]]`'; DROP TABLE y]";
    QTest::newRow("hostile: describe") << mysqlDescribe(evil) << "describe `x]``'; DROP TABLE y`";
    QTest::newRow("hostile: MySQL select")
        << mysqlSelectAll(evil) << "SELECT * FROM `x]``'; DROP TABLE y`";
    QTest::newRow("hostile: SQL Server select")
        << mssqlSelectAll(evil) << "SELECT * FROM [x]]`'; DROP TABLE y]";
    QTest::newRow("hostile: MySQL create") << mysqlCreateTable(evil, evilColumns)
                                           << "CREATE TABLE `x]``'; DROP TABLE y`(`x]``'; DROP "
                                              "TABLE y` int)";
    QTest::newRow("hostile: SQL Server create")
        << mssqlCreateTable(evil, evilColumns)
        << "CREATE TABLE [x]]`'; DROP TABLE y]([x]]`'; DROP TABLE y] int)";
    QTest::newRow("hostile: columns query")
        << mssqlColumnsQuery(evil)
        << "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, "
           "NUMERIC_SCALE, DATETIME_PRECISION FROM information_schema.Columns WHERE "
           "table_schema=OBJECT_SCHEMA_NAME(OBJECT_ID(N'[x]]`''; DROP TABLE y]')) AND "
           "table_name=N'x]`''; DROP TABLE y' ORDER BY ORDINAL_POSITION";
    QTest::newRow("reserved word: select") << mssqlSelectAll("order") << "SELECT * FROM [order]";
    QTest::newRow("reserved word: describe") << mysqlDescribe("order") << "describe `order`";
}

void TestLiterals::statements() {
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

QTEST_APPLESS_MAIN(TestLiterals)
#include "tst_literals.moc"
