// Which values of a refused row a copy's message names, from the servers' own words: the column
// the words name, or for SQL Server's conversion errors the columns of the type they name, and
// never a column the words do not point at.

#include "commands/RefusedValues.h"

#include <QTest>

using fq::Server;
using fq::commands::NamedValue;
using fq::odbc::Value;
using fq::sql::TargetColumn;

Q_DECLARE_METATYPE(fq::Server)

namespace {

// A row of the target table.
const QList<TargetColumn> kColumns{{"id", "int"}, {"a", "nvarchar(10)"}, {"ab", "nvarchar(10)"},
                                   {"d", "date"}, {"tm", "time(0)"},     {"gone", "datetime2(6)"},
                                   {"r", "real"}, {"n", "decimal(5,2)"}, {"b", "varbinary(4)"}};
const QList<Value> kRow{Value::fromText("3"),
                        Value::fromText("text a"),
                        Value::fromText("text ab"),
                        Value::fromText("2024-02-29"),
                        Value::fromText("100:00:00"),
                        Value::null(),
                        Value::fromText("1e+39"),
                        Value::fromText("12345.678"),
                        Value::fromBytes(QByteArray("\0\xff", 2))};

QStringList described(const QList<NamedValue>& values) {
    QStringList out;
    for (const NamedValue& v : values)
        out << v.column + u'=' + v.value;
    return out;
}

} // namespace

class TestRefusedValues : public QObject {
    Q_OBJECT

private slots:
    void named_data();
    void named();
    void longValuesAreCut();
};

void TestRefusedValues::named_data() {
    QTest::addColumn<Server>("target");
    QTest::addColumn<int>("native");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("MySQL out of range names its column")
        << Server::MySQL << 1264 << "Out of range value for column 'r' at row 1"
        << QStringList{"r='1e+39'"};
    QTest::newRow("MySQL too long names a, not ab")
        << Server::MySQL << 1406 << "Data too long for column 'a' at row 1"
        << QStringList{"a='text a'"};
    QTest::newRow("MySQL incorrect value with the full column name")
        << Server::MySQL << 1292
        << "Incorrect date value: '2024-02-29' for column `fernquill`.`t`.`d` at row 1"
        << QStringList{"d='2024-02-29'"};
    QTest::newRow("MySQL words without a column name nothing")
        << Server::MySQL << 1366 << "Incorrect string value: '\\xED\\xA0\\x80' at row 1"
        << QStringList{};
    QTest::newRow("MySQL names no column by its type")
        << Server::MySQL << 1292 << "Incorrect datetime value" << QStringList{};
    QTest::newRow("SQL Server truncation names its column")
        << Server::MSSQL << 2628
        << "String or binary data would be truncated in table 'fernquill.dbo.t', column 'ab'. "
           "Truncated value: 'text'."
        << QStringList{"ab='text ab'"};
    QTest::newRow("SQL Server date and time conversion: its non-NULL date and time columns")
        << Server::MSSQL << 241
        << "Conversion failed when converting date and/or time from character string."
        << QStringList{"d='2024-02-29'", "tm='100:00:00'"};
    QTest::newRow("SQL Server out-of-range date and time")
        << Server::MSSQL << 242
        << "The conversion of a varchar data type to a datetime2 data type resulted in an "
           "out-of-range value."
        << QStringList{"d='2024-02-29'", "tm='100:00:00'"};
    QTest::newRow("SQL Server overflow names the real column")
        << Server::MSSQL << 8115
        << "Arithmetic overflow error converting expression to data type real."
        << QStringList{"r='1e+39'"};
    QTest::newRow("SQL Server conversion to numeric names the decimal column")
        << Server::MSSQL << 8115
        << "Arithmetic overflow error converting varchar to data type numeric."
        << QStringList{"n='12345.678'"};
    QTest::newRow("SQL Server conversion error naming its target type")
        << Server::MSSQL << 8114 << "Error converting data type varchar to real."
        << QStringList{"r='1e+39'"};
    QTest::newRow("SQL Server conversion to int names the int column")
        << Server::MSSQL << 245
        << "Conversion failed when converting the varchar value 'x' to data type int."
        << QStringList{"id='3'"};
    QTest::newRow("SQL Server words that name neither")
        << Server::MSSQL << 8152 << "String or binary data would be truncated." << QStringList{};
    QTest::newRow("SQL Server type that no column has")
        << Server::MSSQL << 8115
        << "Arithmetic overflow error converting expression to data type bigint." << QStringList{};
}

void TestRefusedValues::named() {
    QFETCH(Server, target);
    QFETCH(int, native);
    QFETCH(QString, words);
    QFETCH(QStringList, expected);
    QCOMPARE(described(fq::commands::refusedValues(target, words, native, kColumns, kRow)),
             expected);
}

// A long text shows its start, bytes as hexadecimal.
void TestRefusedValues::longValuesAreCut() {
    const QList<TargetColumn> cols{{"t", "nvarchar(max)"}, {"b", "varbinary(max)"}};
    const QList<Value> values{Value::fromText(QString(100, u'x')),
                              Value::fromBytes(QByteArray(100, '\x01'))};
    QCOMPARE(fq::commands::namedValue(cols, values, 0).value,
             u'\'' + QString(60, u'x') + QStringLiteral("'..."));
    QCOMPARE(fq::commands::namedValue(cols, values, 1).value,
             QStringLiteral("0x") + QString(30, u'0').replace(u'0', QStringLiteral("01")) +
                 QStringLiteral("..."));
}

QTEST_GUILESS_MAIN(TestRefusedValues)
#include "tst_refusedvalues.moc"
