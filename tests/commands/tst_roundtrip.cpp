// Every family of column types of each server copied to the other one: what arrives is compared
// with the values written here, so a type that loses or changes a value on the way is caught.
#include "commands/SendTables.h"
#include "sql/SqlText.h"
#include "support/Servers.h"

#include <QRegularExpression>
#include <QTest>

using namespace fq;

namespace {

QString bigText() {
    QString s;
    while (s.size() < (1 << 20))
        s += QString::fromUtf8(
            "0123456789 abcdefghijklmnopqrstuvwxyz 'quoted' \\ |myseparaterz| é\n");
    s.truncate(1 << 20);
    return s;
}

QByteArray bigBytes() {
    QByteArray b(1 << 20, '\0');
    for (qsizetype i = 0; i < b.size(); ++i)
        b[i] = static_cast<char>((i * 7) % 256);
    return b;
}

QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

const QString kNull = QStringLiteral("<NULL>");

} // namespace

class TestRoundTrip : public QObject {
    Q_OBJECT

private slots:
    // One table per family on the source: an id, then the columns; each row of values is one
    // row. What arrives on the other server is read back as text (NULL as <NULL>, bytes as 0x..).
    void valuesArriveAsTheyLeft_data() {
        QTest::addColumn<Server>("source");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QList<QStringList>>("arrived");
        const Server my = Server::MySQL;
        const Server ms = Server::MSSQL;
        const QString nines = QString(35, u'9') + u'.' + QString(30, u'9');
        const QString big = bigText();
        const QString zero = QStringLiteral("a") + QChar(0) + QStringLiteral("b");

        QTest::newRow("from MySQL: integers at their limits")
            << my
            << "ti tinyint, t1 tinyint(1), su smallint unsigned, iu int unsigned, bi bigint, bu "
               "bigint unsigned"
            << QStringList{"-128, 5, 65535, 4294967295, -9223372036854775808, 18446744073709551615",
                           "127, -1, 0, 0, 9223372036854775807, 0",
                           "NULL, NULL, NULL, NULL, NULL, NULL"}
            << QList<QStringList>{{"-128", "5", "65535", "4294967295", "-9223372036854775808",
                                   "18446744073709551615"},
                                  {"127", "-1", "0", "0", "9223372036854775807", "0"},
                                  {kNull, kNull, kNull, kNull, kNull, kNull}};
        QTest::newRow("from MySQL: exact decimals")
            << my << "d38 decimal(38,10), d65 decimal(65,30), du decimal(5,2) unsigned"
            << QStringList{"-9999999999999999999999999999.9999999999, -" + nines + ", 999.99",
                           "0.0000000001, 0." + QString(29, u'0') + "1, 0"}
            << QList<QStringList>{
                   {"-9999999999999999999999999999.9999999999", "-" + nines, "999.99"},
                   {"0.0000000001", "0." + QString(29, u'0') + "1", "0.00"}};
        // A float arrives as the same float: its exact value reads as a double's text.
        QTest::newRow("from MySQL: floating point")
            << my << "f float, d double"
            << QStringList{"-1.5e-30, -2.2250738585072014e-308", "3e38, 1.7976931348623157e308",
                           "1.1, 0.30000000000000004"}
            << QList<QStringList>{{"-1.5000000047566153e-30", "-2.2250738585072014e-308"},
                                  {"3.0000000054977558e+38", "1.7976931348623157e+308"},
                                  {"1.100000023841858", "0.30000000000000004"}};
        // Single precision, bit for bit: the extremes, both zeros (MySQL keeps no sign of a
        // zero), the smallest normal values and values with no short decimal form, each written
        // as the shortest text of its exact value.
        const QStringList floats{"0",
                                 "-0",
                                 "3.4028234663852886e+38",
                                 "-3.4028234663852886e+38",
                                 "1.1754943508222875e-38",
                                 "-1.1754943508222875e-38",
                                 "1.175494490952134e-38",
                                 "3.4028232635611926e+38",
                                 "0.10000000149011612",
                                 "0.3333333432674408",
                                 "16777218",
                                 "1234.5670166015625"};
        QList<QStringList> floatsArrived;
        for (const QString& f : floats)
            floatsArrived << QStringList{f == u"-0" ? QStringLiteral("0") : f};
        QTest::newRow("from MySQL: single precision")
            << my << "f float"
            << QStringList(floats).replaceInStrings(QRegularExpression("^|$"), "'")
            << floatsArrived;
        QTest::newRow("from SQL Server: single precision")
            << ms << "re real"
            << QStringList(floats).replaceInStrings(QRegularExpression("^|$"), "'")
            << floatsArrived;
        QTest::newRow("from MySQL: bits") << my << "b1 bit(1), b9 bit(9)"
                                          << QStringList{"b'0', b'000000000'", "b'1', b'100000001'"}
                                          << QList<QStringList>{{"0", "0x0000"}, {"1", "0x0101"}};
        // SQL Server pads a char to its length.
        QTest::newRow("from MySQL: text")
            << my << "vc varchar(100), ch char(10), tx text"
            << QStringList{"'O''Ne\\il', 'abc', 'a|myseparaterz|b'", "'', '', ''",
                           "' lead', ' x ', 'trail '",
                           QString::fromUtf8("'東京 😀', 'é', 'cr\r\nlf\ttab'")}
            << QList<QStringList>{
                   {"O'Ne\\il", "abc       ", "a|myseparaterz|b"},
                   {"", "          ", ""},
                   {" lead", " x        ", "trail "},
                   {QString::fromUtf8("東京 😀"), QString::fromUtf8("é         "), "cr\r\nlf\ttab"}};
        QTest::newRow("from MySQL: a zero character in a text")
            << my << "v varchar(20)" << QStringList{"_utf8mb4 X'610062'"}
            << QList<QStringList>{{zero}};
        QTest::newRow("from MySQL: a megabyte of text and of bytes")
            << my << "lt longtext, lb longblob"
            << QStringList{sql::quoted(big) + ", X'" + hex(bigBytes()) + "'"}
            << QList<QStringList>{{big, "0x" + hex(bigBytes())}};
        QTest::newRow("from MySQL: enum, set and json")
            << my << QString::fromUtf8("en enum('a','it''s','東京'), st set('x','y','z'), js json")
            << QStringList{"'it''s', 'x,z', '{\"k\": [1, \"v\"]}'",
                           QString::fromUtf8("'東京', '', '[]'")}
            << QList<QStringList>{{"it's", "x,z", "{\"k\": [1, \"v\"]}"},
                                  {QString::fromUtf8("東京"), "", "[]"}};
        QTest::newRow("from MySQL: bytes")
            << my << "bn binary(4), vb varbinary(20), bl blob"
            << QStringList{"X'00FF00FF', X'0001020300', X'FF'", "X'00', X'', X''",
                           "NULL, NULL, NULL"}
            << QList<QStringList>{{"0x00FF00FF", "0x0001020300", "0xFF"},
                                  {"0x00000000", "0x", "0x"},
                                  {kNull, kNull, kNull}};
        QTest::newRow("from MySQL: dates and times")
            << my << "dt date, tm time(6), dtm datetime(6), ts timestamp(6) NULL, yr year"
            << QStringList{"'1000-01-01', '00:00:00', '1000-01-01 00:00:00', "
                           "'2000-01-01 00:00:00.000001', 1901",
                           "'9999-12-31', '23:59:59.999999', '9999-12-31 23:59:59.999999', "
                           "'2038-01-19 03:14:07.999999', 2155"}
            << QList<QStringList>{{"1000-01-01", "00:00:00.000000", "1000-01-01 00:00:00.000000",
                                   "2000-01-01 00:00:00.000001", "1901"},
                                  {"9999-12-31", "23:59:59.999999", "9999-12-31 23:59:59.999999",
                                   "2038-01-19 03:14:07.999999", "2155"}};
        // Real dates only, the far ones included, arrive without a word (FreeTDS reads a year
        // below 1000 without its leading zeros).
        QTest::newRow("from MySQL: real dates only")
            << my << "d date, dt datetime(6)"
            << QStringList{"'0001-01-01', '0001-01-01 00:00:00'",
                           "'9999-12-31', '9999-12-31 23:59:59.999999'",
                           "'2000-02-29', '2024-02-29 23:59:59'",
                           "'1900-02-28', '1900-03-01 00:00:00.000001'"}
            << QList<QStringList>{{"1-01-01", "1-01-01 00:00:00.000000"},
                                  {"9999-12-31", "9999-12-31 23:59:59.999999"},
                                  {"2000-02-29", "2024-02-29 23:59:59.000000"},
                                  {"1900-02-28", "1900-03-01 00:00:00.000001"}};
        QTest::newRow("from MySQL: geometry as its bytes")
            << my << "g geometry" << QStringList{"ST_GeomFromText('POINT(1 2)')"}
            << QList<QStringList>{{"0x000000000101000000000000000000F03F0000000000000040"}};

        QTest::newRow("from SQL Server: integers at their limits")
            << ms << "b bit, ti tinyint, si smallint, i int, bi bigint"
            << QStringList{"0, 0, -32768, -2147483648, -9223372036854775808",
                           "1, 255, 32767, 2147483647, 9223372036854775807",
                           "NULL, NULL, NULL, NULL, NULL"}
            << QList<QStringList>{{"0", "0", "-32768", "-2147483648", "-9223372036854775808"},
                                  {"1", "255", "32767", "2147483647", "9223372036854775807"},
                                  {kNull, kNull, kNull, kNull, kNull}};
        QTest::newRow("from SQL Server: exact decimals and money")
            << ms << "de decimal(38,10), nu numeric(10,5), mo money, sm smallmoney"
            << QStringList{"-9999999999999999999999999999.9999999999, -99999.99999, "
                           "-922337203685477.5808, -214748.3648",
                           "0.0000000001, 0.00001, 922337203685477.5807, 214748.3647"}
            << QList<QStringList>{
                   {"-9999999999999999999999999999.9999999999", "-99999.99999",
                    "-922337203685477.5808", "-214748.3648"},
                   {"0.0000000001", "0.00001", "922337203685477.5807", "214748.3647"}};
        QTest::newRow("from SQL Server: floating point")
            << ms << "fl float, re real"
            << QStringList{"-1.7976931348623157e308, -3.4e38", "0.30000000000000004, 1.1"}
            << QList<QStringList>{{"-1.7976931348623157e+308", "-3.3999999521443642e+38"},
                                  {"0.30000000000000004", "1.100000023841858"}};
        QTest::newRow("from SQL Server: code page text")
            << ms << "ch char(10), vc varchar(100), tx text"
            << QStringList{QString::fromUtf8(
                               "'O''Neil\\x', 'it''s a|myseparaterz|b \\ é', 'cr\r\nlf\ttab'"),
                           "'', '', ''"}
            << QList<QStringList>{
                   {"O'Neil\\x", QString::fromUtf8("it's a|myseparaterz|b \\ é"), "cr\r\nlf\ttab"},
                   {"", "", ""}};
        QTest::newRow("from SQL Server: unicode text")
            << ms << "nc nchar(10), nv nvarchar(100), nt ntext"
            << QStringList{QString::fromUtf8("N'東京', N'😀 emoji and 東京', N'ntext ü'")}
            << QList<QStringList>{{QString::fromUtf8("東京"), QString::fromUtf8("😀 emoji and 東京"),
                                   QString::fromUtf8("ntext ü")}};
        QTest::newRow("from SQL Server: a zero character in a text")
            << ms << "v nvarchar(20)" << QStringList{"CONVERT(nvarchar(max), 0x6100000062007167)"}
            << QList<QStringList>{{zero + QString::fromUtf8("東")}};
        QTest::newRow("from SQL Server: a megabyte of text and of bytes")
            << ms << "vm varchar(max), nm nvarchar(max), bm varbinary(max)"
            << QStringList{sql::quoted(big) + ", N" + sql::quoted(big) + ", 0x" + hex(bigBytes())}
            << QList<QStringList>{{big, big, "0x" + hex(bigBytes())}};
        QTest::newRow("from SQL Server: bytes")
            << ms << "bn binary(4), vb varbinary(20), im image"
            << QStringList{"0xFFFFFFFF, 0x00010203FF, 0x00FF", "0x00000000, 0x, 0x"}
            << QList<QStringList>{{"0xFFFFFFFF", "0x00010203FF", "0x00FF"},
                                  {"0x00000000", "0x", "0x"}};
        // MySQL reads a year without its leading zeros as another year.
        QTest::newRow("from SQL Server: dates and times")
            << ms << "dt date, tm time(7), d1 datetime, d2 datetime2(7), sd smalldatetime"
            << QStringList{"'0001-01-01', '00:00:00', '1753-01-01 00:00:00', "
                           "'0001-01-01 00:00:00', '1900-01-01 00:00'",
                           "'9999-12-31', '23:59:59.9999990', '9999-12-31 23:59:59.997', "
                           "'9999-12-31 23:59:59.9999990', '2079-06-06 23:59'"}
            << QList<QStringList>{{"0001-01-01", "00:00:00.000000", "1753-01-01 00:00:00.000",
                                   "0001-01-01 00:00:00.000000", "1900-01-01 00:00:00"},
                                  {"9999-12-31", "23:59:59.999999", "9999-12-31 23:59:59.997",
                                   "9999-12-31 23:59:59.999999", "2079-06-06 23:59:00"}};
        QTest::newRow("from SQL Server: offsets, identifiers, xml and names")
            << ms << "dto datetimeoffset(7), ui uniqueidentifier, xm xml, sn sysname"
            << QStringList{"'0999-01-01 10:00:00.0000000 +01:00', "
                           "'6F9619FF-8B86-D011-B42D-00C04FC964FF', N'<r a=\"1\">x</r>', N'名前'",
                           "'9999-12-31 23:59:59.9999999 +14:00', NULL, NULL, NULL"}
            << QList<QStringList>{{"0999-01-01 10:00:00.0000000 +01:00",
                                   "6F9619FF-8B86-D011-B42D-00C04FC964FF", "<r a=\"1\">x</r>",
                                   QString::fromUtf8("名前")},
                                  {"9999-12-31 23:59:59.9999999 +14:00", kNull, kNull, kNull}};
        // Five columns of 4,000 characters pass MySQL's 65,535-byte row limit together.
        const QString wide(4000, QChar(0x6771));
        QTest::newRow("from SQL Server: a row wider than MySQL's row limit")
            << ms
            << "a nvarchar(4000), b nvarchar(4000), c nvarchar(4000), d nvarchar(4000), e "
               "nvarchar(4000)"
            << QStringList{QStringList(5, "N" + sql::quoted(wide)).join(QStringLiteral(", "))}
            << QList<QStringList>{QStringList(5, wide)};
    }

    void valuesArriveAsTheyLeft() {
        QFETCH(Server, source);
        QFETCH(QString, columns);
        QFETCH(QStringList, values);
        QFETCH(QList<QStringList>, arrived);
        const Server target = source == Server::MySQL ? Server::MSSQL : Server::MySQL;
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("rt"));
        const QString table = test::delimited(source, name);
        QStringList statements{QStringLiteral("CREATE TABLE %1 (id int, %2)").arg(table, columns)};
        for (int i = 0; i < values.size(); ++i)
            statements << QStringLiteral("INSERT INTO %1 VALUES(%2, %3)")
                              .arg(table)
                              .arg(i + 1)
                              .arg(values[i]);
        test::exec(source, statements);

        test::TestWindow w;
        test::fillList(w.list(source), {name}, {name}, name);
        source == Server::MySQL ? commands::SendTablesToMSSQL(w.context())
                                : commands::SendTablesToMySQL(w.context());
        for (const auto& box : std::as_const(w.dialogs.shown))
            QFAIL(qPrintable(box.prompt));

        QList<QStringList> rows = test::textRows(target, name);
        QCOMPARE(rows.size(), arrived.size());
        for (qsizetype r = 0; r < rows.size(); ++r) {
            QCOMPARE(rows[r].takeFirst(), QString::number(r + 1));
            QCOMPARE(rows[r].size(), arrived[r].size());
            for (qsizetype c = 0; c < rows[r].size(); ++c) {
                if (rows[r][c] != arrived[r][c])
                    QFAIL(qPrintable(QStringLiteral("row %1, column %2: expected %3, got %4")
                                         .arg(r + 1)
                                         .arg(columns.split(u',').value(c).trimmed(),
                                              arrived[r][c].left(100), rows[r][c].left(100))));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
