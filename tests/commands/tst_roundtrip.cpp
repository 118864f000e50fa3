// Every family of column types copied both ways, compared with the values written here, tables
// of many statements and blocks of rows, and what a copy says of values it cannot carry as they
// are and of a SQL Server that goes away in the middle.
#include "commands/RefusedValues.h"
#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace fq;
using fq::commands::NamedValue;
using fq::odbc::Value;
using fq::sql::TargetColumn;
using test::fillList;

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

// A MySQL table filled by a session that lets MySQL store what it stores in a loose database:
// zero dates, zero months and days, and days past the month's end.
void createLoose(const QString& name, const QString& columns, const QStringList& rows) {
    QStringList statements{QStringLiteral("SET SESSION sql_mode='ALLOW_INVALID_DATES'"),
                           QStringLiteral("CREATE TABLE `%1` (%2)").arg(name, columns)};
    for (const QString& r : rows)
        statements << QStringLiteral("INSERT INTO `%1` VALUES(%2)").arg(name, r);
    test::exec(Server::MySQL, statements);
}

// A refused row: the target table's columns and the values sent, the last two long.
const QList<TargetColumn> kColumns{
    {"id", "int"},          {"a", "nvarchar(10)"},    {"ab", "nvarchar(10)"}, {"d", "date"},
    {"tm", "time(0)"},      {"gone", "datetime2(6)"}, {"r", "real"},          {"n", "decimal(5,2)"},
    {"t", "nvarchar(max)"}, {"b", "varbinary(max)"}};
const QStringList kRow{"3", "text a", "text ab",   "2024-02-29",      "100:00:00",
                       {},  "1e+39",  "12345.678", QString(100, u'x')};

// Past the program's large-table mark (10,000 rows, a page of the reading), in twelve statements
// of 1,000 rows (as many as SQL Server takes in one INSERT), and from SQL Server in dozens of
// fetched blocks of rows.
constexpr int kRows = 12000;

// Row i of the tables below, as it arrives: the text, a double, and a moment of 2026-01-01
// (i seconds in from MySQL; i % 60 seconds and 123456 microseconds in from SQL Server).
QStringList expectedRow(int i, bool fromMySql) {
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    return {
        QString::number(i),
        QStringLiteral("row %1 it's%2").arg(i).arg(fromMySql ? QString() : QStringLiteral(" 東")),
        QStringLiteral("%1.25").arg(i),
        fromMySql ? start.addSecs(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.000000"))
                  : start.addSecs(i % 60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.123456"))};
}

// Written 1,000 rows a statement; with a width, each text is that many characters longer.
void createSqlServerTable(const QString& server, const QString& name, int rows, int width = 0) {
    sql::ConnectionSettings s = test::localServers();
    s.msServer = server;
    odbc::Connection c;
    commands::openConnection(c, sql::MSSQLConnectionString(s));
    c.execute(QStringLiteral("CREATE TABLE [%1] (id int, v nvarchar(%2), d float, t datetime2(7))")
                  .arg(name, width > 0 ? QStringLiteral("max") : QStringLiteral("40")));
    const int perStatement = width > 0 ? 50 : 1000;
    for (int first = 1; first <= rows; first += perStatement) {
        QStringList values;
        for (int i = first; i < first + perStatement && i <= rows; ++i)
            values << QStringLiteral(
                          "(%1, N'row %1 it''s 東%3', %1.25, '2026-01-01 00:00:%2.1234560')")
                          .arg(i)
                          .arg(i % 60, 2, 10, QChar(u'0'))
                          .arg(QString(width, u'x'));
        c.execute(QStringLiteral("INSERT INTO [%1] VALUES %2").arg(name, values.join(u',')));
    }
}

} // namespace

class TestRoundTrip : public QObject {
    Q_OBJECT

private slots:
    void manyRows_data() {
        QTest::addColumn<Server>("source");
        QTest::newRow("MySQL to SQL Server") << Server::MySQL;
        QTest::newRow("SQL Server to MySQL") << Server::MSSQL;
    }

    void manyRows() {
        QFETCH(Server, source);
        const bool fromMySql = source == Server::MySQL;
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("big"));
        if (fromMySql)
            test::exec(Server::MySQL,
                       {QStringLiteral("CREATE TABLE `%1` (id int, v varchar(40), d double, t "
                                       "datetime(6))")
                            .arg(name),
                        QStringLiteral("INSERT INTO `%1` SELECT seq, CONCAT('row ', seq, ' "
                                       "it''s'), seq + 0.25, '2026-01-01' + INTERVAL seq SECOND "
                                       "FROM seq_1_to_%2")
                            .arg(name)
                            .arg(kRows)});
        else
            createSqlServerTable(test::localServers().msServer, name, kRows);
        test::TestWindow w;
        test::fillList(w.list(source), {name}, {name}, name);
        fromMySql ? commands::SendTablesToMSSQL(w.context())
                  : commands::SendTablesToMySQL(w.context());
        QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.shown.value(0).prompt));

        const QList<QStringList> rows =
            test::textRows(fromMySql ? Server::MSSQL : Server::MySQL, name);
        QCOMPARE(rows.size(), kRows);
        for (int i = 1; i <= kRows; ++i) {
            if (rows[i - 1] != expectedRow(i, fromMySql))
                QFAIL(qPrintable(QStringLiteral("row %1: %2").arg(i).arg(rows[i - 1].join(u'|'))));
        }
    }

    // Reading the rows from a SQL Server that goes: the message counts the rows that arrived,
    // and the MySQL connection is closed.
    void sqlServerStopsWhileRowsAreRead() {
        // A private double on the servers' address, killed once MySQL holds 200 rows.
        QTemporaryDir dir;
        const QString ready = dir.filePath(QStringLiteral("ready"));
        const sql::ConnectionSettings s = test::localServers();
        const QString address =
            s.msServer.section(u',', 0, 0) + u',' + QString::number(test::unusedLoopbackPort());
        QProcess server;
        server.start(QStringLiteral(FQ_TDS_TEST_SERVER),
                     {"--address", address.section(u',', 0, 0), "--port", address.section(u',', 1),
                      "--account", s.msUser + u':' + s.msPassword, "--database", s.msDatabase,
                      "--log", dir.filePath(QStringLiteral("log")), "--ready-file", ready});
        QTRY_VERIFY(QFile::exists(ready));
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("stop_read"));
        // Wide rows (20 KB on the wire each), so the client cannot hold the rest of the result
        // in its socket buffers when the server goes.
        createSqlServerTable(address, name, 3000, 10000);
        test::TestWindow w;
        w.settings.msServer = address;
        test::fillList(w.mssqlList, {name}, {name}, name);
        test::ServerLog mysql(Server::MySQL);
        test::HookedProgress killer;
        killer.onUpdate = [pid = static_cast<pid_t>(server.processId())](long long done) {
            if (done >= 200)
                ::kill(pid, SIGKILL);
            return true;
        };
        auto ctx = w.context();
        ctx.progress = &killer;
        commands::SendTablesToMySQL(ctx);

        QCOMPARE(w.dialogs.shown.size(), 1);
        static const QRegularExpression expected(
            QStringLiteral("^Copying the table (\\S+) to MySQL stopped while reading row (\\d+) "
                           "from SQL Server\\. The table is on MySQL with the (\\d+) rows copied "
                           "before\\. Nothing more was sent\\.\n\n."));
        const auto m = expected.match(w.dialogs.shown[0].prompt);
        QVERIFY2(m.hasMatch(), qPrintable(w.dialogs.shown[0].prompt));
        QCOMPARE(m.captured(1), name);
        const long long copied = m.captured(3).toLongLong();
        QCOMPARE(m.captured(2).toLongLong(), copied + 1);
        QVERIFY(copied >= 200 && copied < 3000);
        QCOMPARE(test::count(Server::MySQL, name), copied);
        QCOMPARE(test::entriesOf(w.mysqlList), QStringList{name});
        QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        const auto sessions =
            mysql.sessionsMentioning({QStringLiteral("CREATE TABLE `%1`").arg(name)});
        QCOMPARE(sessions.size(), 1);
        QVERIFY(sessions[0].closed);
    }

    // One table per family on the source: an id, then the columns.
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
        // A double arrives as the shortest text of the same double.
        QTest::newRow("from MySQL: exact decimals and doubles")
            << my << "d38 decimal(38,10), d65 decimal(65,30), du decimal(5,2) unsigned, d double"
            << QStringList{"-9999999999999999999999999999.9999999999, -" + nines +
                               ", 999.99, -2.2250738585072014e-308",
                           "0.0000000001, 0." + QString(29, u'0') + "1, 0, 1.7976931348623157e308",
                           "NULL, NULL, NULL, 0.30000000000000004"}
            << QList<QStringList>{{"-9999999999999999999999999999.9999999999", "-" + nines,
                                   "999.99", "-2.2250738585072014e-308"},
                                  {"0.0000000001", "0." + QString(29, u'0') + "1", "0.00",
                                   "1.7976931348623157e+308"},
                                  {kNull, kNull, kNull, "0.30000000000000004"}};
        // Single precision, bit for bit: the extremes, both zeros (MySQL keeps no sign of a
        // zero), the smallest normal values and values with no short decimal form, each written
        // as the shortest text of its exact value.
        const QStringList floats =
            QStringLiteral("0 -0 3.4028234663852886e+38 -3.4028234663852886e+38 "
                           "1.1754943508222875e-38 -1.1754943508222875e-38 1.175494490952134e-38 "
                           "3.4028232635611926e+38 0.10000000149011612 0.3333333432674408 "
                           "16777218 1234.5670166015625")
                .split(u' ');
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
                           QString::fromUtf8("'東京 😀', 'é', 'cr\r\nlf\ttab'"),
                           "_utf8mb4 X'610062', NULL, NULL"}
            << QList<QStringList>{
                   {"O'Ne\\il", "abc       ", "a|myseparaterz|b"},
                   {"", "          ", ""},
                   {" lead", " x        ", "trail "},
                   {QString::fromUtf8("東京 😀"), QString::fromUtf8("é         "), "cr\r\nlf\ttab"},
                   {zero, kNull, kNull}};
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
            << my << "bn binary(4), vb varbinary(20), bl blob, g geometry"
            << QStringList{"X'00FF00FF', X'0001020300', X'FF', ST_GeomFromText('POINT(1 2)')",
                           "X'00', X'', X'', NULL", "NULL, NULL, NULL, NULL"}
            << QList<QStringList>{{"0x00FF00FF", "0x0001020300", "0xFF",
                                   "0x000000000101000000000000000000F03F0000000000000040"},
                                  {"0x00000000", "0x", "0x", kNull},
                                  {kNull, kNull, kNull, kNull}};
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

        QTest::newRow("from SQL Server: integers at their limits")
            << ms << "b bit, ti tinyint, si smallint, i int, bi bigint"
            << QStringList{"0, 0, -32768, -2147483648, -9223372036854775808",
                           "1, 255, 32767, 2147483647, 9223372036854775807",
                           "NULL, NULL, NULL, NULL, NULL"}
            << QList<QStringList>{{"0", "0", "-32768", "-2147483648", "-9223372036854775808"},
                                  {"1", "255", "32767", "2147483647", "9223372036854775807"},
                                  {kNull, kNull, kNull, kNull, kNull}};
        QTest::newRow("from SQL Server: exact decimals and money")
            << ms << "de decimal(38,10), nu numeric(10,5), mo money, sm smallmoney, fl float"
            << QStringList{"-9999999999999999999999999999.9999999999, -99999.99999, "
                           "-922337203685477.5808, -214748.3648, -1.7976931348623157e308",
                           "0.0000000001, 0.00001, 922337203685477.5807, 214748.3647, "
                           "0.30000000000000004"}
            << QList<QStringList>{{"-9999999999999999999999999999.9999999999", "-99999.99999",
                                   "-922337203685477.5808", "-214748.3648",
                                   "-1.7976931348623157e+308"},
                                  {"0.0000000001", "0.00001", "922337203685477.5807", "214748.3647",
                                   "0.30000000000000004"}};
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
            << QStringList{QString::fromUtf8("N'東京', N'😀 emoji and 東京', N'ntext ü'"),
                           "NULL, CONVERT(nvarchar(max), 0x6100000062007167), NULL"}
            << QList<QStringList>{{QString::fromUtf8("東京"), QString::fromUtf8("😀 emoji and 東京"),
                                   QString::fromUtf8("ntext ü")},
                                  {kNull, zero + QString::fromUtf8("東"), kNull}};
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
        QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.shown.value(0).prompt));

        for (qsizetype r = 0; r < arrived.size(); ++r)
            arrived[r].prepend(QString::number(r + 1));
        QCOMPARE(test::textRows(target, name), arrived);
    }

    // A text or bytes of more than a megabyte goes to MySQL beside its statement, a piece at a
    // time: a pair of surrogates across two pieces' border, quotes and zero characters arrive as
    // they left, and so do the rows around it, in order. Up to a megabyte, a value goes in its
    // statement.
    void longValuesGoInPieces_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("inPieces");
        const QString across = QString(524287, u'x') + QString::fromUtf8("\U0001F600") +
                               QStringLiteral("'q'") + QChar(0) + QString(600000, QChar(0xe9));
        QByteArray bytes = bigBytes();
        bytes += bytes.left(100);
        QTest::newRow("more than a megabyte") << across << bytes << true;
        QTest::newRow("a megabyte") << QString(524288, u'y') << bigBytes() << false;
    }
    void longValuesGoInPieces() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, inPieces);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("pieces"));
        // A text with a zero character is written as its UTF-16 (little-endian) bytes.
        const auto literal = [](const QString& t) {
            if (!t.contains(QChar(0)))
                return QStringLiteral("N") + sql::quoted(t);
            const QByteArray utf16(reinterpret_cast<const char*>(t.utf16()), t.size() * 2);
            return QStringLiteral("CONVERT(nvarchar(max), 0x%1)").arg(hex(utf16));
        };
        test::exec(Server::MSSQL,
                   {QStringLiteral("CREATE TABLE [%1] (id int, t nvarchar(max), b varbinary(max))")
                        .arg(name),
                    QStringLiteral("INSERT INTO [%1] VALUES (1, N'a', 0x01)").arg(name),
                    QStringLiteral("INSERT INTO [%1] VALUES (2, %2, 0x%3)")
                        .arg(name, literal(text), hex(bytes)),
                    QStringLiteral("INSERT INTO [%1] VALUES (3, NULL, NULL)").arg(name)});
        const auto piecesSent = [] {
            return test::connection(Server::MySQL)
                .execute(QStringLiteral(
                    "SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE "
                    "VARIABLE_NAME='COM_STMT_SEND_LONG_DATA'"))
                .value(0)
                .text()
                .toLongLong();
        };
        const long long before = piecesSent();
        test::TestWindow w;
        test::fillList(w.mssqlList, {name}, {name}, name);
        commands::SendTablesToMySQL(w.context());
        QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.shown.value(0).prompt));

        const QList<QStringList> arrived{
            {"1", "a", "0x01"}, {"2", text, "0x" + hex(bytes)}, {"3", kNull, kNull}};
        QVERIFY(test::textRows(Server::MySQL, name) == arrived);
        QCOMPARE(piecesSent() > before, inPieces);
    }

    // MySQL dates that are not calendar dates arrive on SQL Server as NULL, and the user is told.
    void oddDatesArriveAsNull();
    void failureStillTellsOfNulls();
    // Which values of a refused row a copy's message names, from the servers' words.
    void named_data();
    void named();
};

// Several tables copied from the bottom of the list up: one message, in that order, one line a
// table, and a table without such values has no line.
void TestRoundTrip::oddDatesArriveAsNull() {
    test::TestWindow w;
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("nd_orders"));
    const QString due = scratch.name(QStringLiteral("nd_due"));
    const QString plain = scratch.name(QStringLiteral("nd_plain"));
    createLoose(name,
                QStringLiteral("id int PRIMARY KEY, placed date, shipped datetime(6), "
                               "stamped timestamp(6) NULL, opens time, founded year"),
                {
                    "1, '2009-01-00', '2009-01-15 08:30:00.25', '2009-06-01 12:00:00', "
                    "'08:00:00', 2009",
                    "2, '1920-00-18', '0000-00-00 12:00:00', NULL, '23:59:59', 0",
                    "3, '2009-02-30', '2009-04-31 23:59:59.999999', '0000-00-00 00:00:00', "
                    "'00:00:00', 1901",
                    "4, '0000-00-00', '2009-02-29 10:00:00', '1970-01-01 00:00:01', NULL, NULL",
                    "5, '1900-02-29', '0000-01-01 00:00:00', NULL, NULL, NULL",
                    "6, '0001-01-01', '9999-12-31 23:59:59.999999', "
                    "'2038-01-19 03:14:07.999999', '12:34:56', 2155",
                    "7, '2000-02-29', '2024-02-29 00:00:00', NULL, NULL, NULL",
                    "8, NULL, NULL, NULL, NULL, NULL",
                    "9, '0000-01-01', '0000-00-00 00:00:00', NULL, NULL, NULL",
                });
    createLoose(due, QStringLiteral("id int PRIMARY KEY, d date"),
                {"1, '2023-02-29'", "2, '2023-03-01'"});
    createLoose(plain, QStringLiteral("id int PRIMARY KEY, d date"), {"1, '2023-03-01'"});
    fillList(w.mysqlList, {name, due, plain}, {name, due, plain}, name);
    commands::SendTablesToMSSQL(w.context());

    // FreeTDS reads a year below 1000 without its leading zeros.
    const QList<QStringList> expected{
        {"1", "<NULL>", "2009-01-15 08:30:00.250000", "2009-06-01 12:00:00.000000", "08:00:00",
         "2009"},
        {"2", "<NULL>", "<NULL>", "<NULL>", "23:59:59", "0"},
        {"3", "<NULL>", "<NULL>", "<NULL>", "00:00:00", "1901"},
        {"4", "<NULL>", "<NULL>", "1970-01-01 00:00:01.000000", "<NULL>", "<NULL>"},
        {"5", "<NULL>", "<NULL>", "<NULL>", "<NULL>", "<NULL>"},
        {"6", "1-01-01", "9999-12-31 23:59:59.999999", "2038-01-19 03:14:07.999999", "12:34:56",
         "2155"},
        {"7", "2000-02-29", "2024-02-29 00:00:00.000000", "<NULL>", "<NULL>", "<NULL>"},
        {"8", "<NULL>", "<NULL>", "<NULL>", "<NULL>", "<NULL>"},
        {"9", "<NULL>", "<NULL>", "<NULL>", "<NULL>", "<NULL>"},
    };
    QCOMPARE(test::textRows(Server::MSSQL, name), expected);
    QCOMPARE(test::textRows(Server::MSSQL, due),
             (QList<QStringList>{{"1", "<NULL>"}, {"2", "2023-03-01"}}));
    QCOMPARE(test::count(Server::MSSQL, plain), 1LL);
    QCOMPARE(w.dialogs.shown.size(), 1);
    QCOMPARE(w.dialogs.shown[0].style, ui::kOkOnly);
    QCOMPARE(w.dialogs.shown[0].prompt,
             QStringLiteral("%1: 6 values in placed, 5 in shipped and 1 in stamped were not "
                            "calendar dates (first: 2009-01-00) and arrived as NULL\n"
                            "%2: 1 value in d was not a calendar date (2023-02-29) and arrived "
                            "as NULL")
                 .arg(name, due));
    QCOMPARE(test::entriesOf(w.mssqlList), (QStringList{due, name, plain}));
}

// A copy that stops still tells of the values that arrived as NULL before it stopped, in the
// same message, after the failure; a value of the row that was refused did not arrive and is not
// counted.
void TestRoundTrip::failureStillTellsOfNulls() {
    test::TestWindow w;
    // Copied from the bottom of the list up: b whole first, then a, which stops.
    test::Scratch scratch;
    const QString a = scratch.name(QStringLiteral("nd_fa"));
    const QString b = scratch.name(QStringLiteral("nd_fb"));
    createLoose(b, QStringLiteral("id int PRIMARY KEY, d date, t time"),
                {"1, '2010-11-31', '10:00:00'", "2, '2010-11-30', '10:00:00'"});
    // Row 3's time is past what SQL Server's time holds: the copy stops there.
    createLoose(a, QStringLiteral("id int PRIMARY KEY, d date, t time"),
                {"1, '2011-00-00', '10:00:00'", "2, '2011-01-00', '11:00:00'",
                 "3, '2011-02-00', '838:59:59'", "4, '2011-03-00', '12:00:00'"});
    fillList(w.mysqlList, {a, b}, {a, b}, a);
    commands::SendTablesToMSSQL(w.context());

    QCOMPARE(w.dialogs.shown.size(), 1);
    const QString prompt = w.dialogs.shown[0].prompt;
    // The refused row's date went as NULL: only its time can be the value refused.
    QVERIFY2(
        prompt.startsWith(QStringLiteral("Copying the table %1 to SQL Server stopped while "
                                         "copying row 3, at the value '838:59:59' of column t. "
                                         "The table is on SQL Server with the 2 rows copied "
                                         "before. Nothing more was sent.\n\n")
                              .arg(a)),
        qPrintable(prompt));
    QVERIFY2(
        prompt.endsWith(QStringLiteral("\n\nBefore the copy stopped:\n%1: 1 value in d was not a "
                                       "calendar date (2010-11-31) and arrived as NULL\n"
                                       "%2: 2 values in d were not calendar "
                                       "dates (first: 2011-00-00) and arrived as NULL")
                            .arg(b, a)),
        qPrintable(prompt));
    QCOMPARE(test::count(Server::MSSQL, a), 2LL);
    QCOMPARE(test::count(Server::MSSQL, b), 2LL);
    QCOMPARE(test::entriesOf(w.mssqlList), (QStringList{a, b}));
}

void TestRoundTrip::named_data() {
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
    QTest::newRow("MySQL names a long text by its start")
        << Server::MySQL << 1406 << "Data too long for column 't' at row 1"
        << QStringList{"t='" + QString(60, u'x') + "'..."};
    QTest::newRow("MySQL names long bytes by their start in hexadecimal")
        << Server::MySQL << 1406 << "Data too long for column 'b' at row 1"
        << QStringList{"b=0x" + QStringLiteral("01").repeated(30) + "..."};
    QTest::newRow("MySQL incorrect value with the full column name")
        << Server::MySQL << 1292
        << "Incorrect date value: '2024-02-29' for column `fernquill`.`t`.`d` at row 1"
        << QStringList{"d='2024-02-29'"};
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
    QTest::newRow("SQL Server words that name neither")
        << Server::MSSQL << 8152 << "String or binary data would be truncated." << QStringList{};
    QTest::newRow("SQL Server type that no column has")
        << Server::MSSQL << 8115
        << "Arithmetic overflow error converting expression to data type bigint." << QStringList{};
}

void TestRoundTrip::named() {
    QFETCH(Server, target);
    QFETCH(int, native);
    QFETCH(QString, words);
    QFETCH(QStringList, expected);
    QList<Value> row;
    for (const QString& v : kRow)
        row << (v.isNull() ? Value::null() : Value::fromText(v));
    row << Value::fromBytes(QByteArray(100, '\x01'));
    QStringList named;
    for (const NamedValue& v : fq::commands::refusedValues(target, words, native, kColumns, row))
        named << v.column + u'=' + v.value;
    QCOMPARE(named, expected);
}

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
