// Values, result sets and refused statements through the real driver, against MariaDB (the
// "mysql" build of this test) or the SQL Server test double (the "mssql" build), read streamed
// and buffered. What the copies carry is checked against the values they were given by the copy
// tests; here are the reader's own boundaries.
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "odbc/Misuse.h"
#include "sql/ConnectionStrings.h"
#include "support/Servers.h"

#include <QTest>

#include <functional>
#include <limits>
#include <optional>

using fq::odbc::Connection;
using fq::odbc::DbError;
using fq::odbc::Result;
using fq::odbc::Rows;
using fq::odbc::Value;

namespace {

#ifdef FQ_TEST_MSSQL
constexpr bool kMSSQL = true;
constexpr fq::Server kServer = fq::Server::MSSQL;
#else
constexpr bool kMSSQL = false;
constexpr fq::Server kServer = fq::Server::MySQL;
#endif

Connection open() {
    const auto s = fq::test::localServers();
    Connection c;
    fq::commands::openConnection(c, kMSSQL ? fq::sql::MSSQLConnectionString(s)
                                           : fq::sql::MySQLConnectionStringCommandOrder(s));
    return c;
}

// Text sent as UTF-8 bytes to MySQL, so that nothing on the way in can change it.
QString textLiteral(const QString& s) {
    return kMSSQL ? "N'" + QString(s).replace("'", "''") + "'"
                  : "CONVERT(X'" + QString::fromLatin1(s.toUtf8().toHex()) + "' USING utf8mb4)";
}

QString binaryLiteral(const QByteArray& b) {
    const QString hex = QString::fromLatin1(b.toHex());
    return kMSSQL ? "0x" + hex : "X'" + hex + "'";
}

// A call on the component, given an open connection and a table of one row (a int, 1) on it.
using Call = std::function<void(Connection&, const QString& table)>;

} // namespace

Q_DECLARE_METATYPE(Call)

class TestValues : public QObject {
    Q_OBJECT

private slots:
    void values_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("literal");
        QTest::addColumn<Value>("expected");
        const QString text = kMSSQL ? "nvarchar(60)" : "varchar(60)";
        const QString real = kMSSQL ? "real" : "float";
        const QString dbl = kMSSQL ? "float" : "double";
        const QByteArray zeros("\x00\xff\x00"
                               "A\x00",
                               5);
        QByteArray longBytes(150 * 1024, '\0');
        for (int i = 0; i < longBytes.size(); ++i)
            longBytes[i] = static_cast<char>((i * 7 + i / 256) % 256);
        const QString cjk = QString::fromUtf8("Grüße 漢字かな 😀👍🏽 Ж");

        QTest::newRow("NULL text") << text << "NULL" << Value::null();
        QTest::newRow("empty text is not NULL") << text << "''" << Value::fromText("");
        QTest::newRow("emoji and CJK") << text << textLiteral(cjk) << Value::fromText(cjk);
        QTest::newRow("binary with zero bytes")
            << "varbinary(16)" << binaryLiteral(zeros) << Value::fromBytes(zeros);
        QTest::newRow("empty binary is not NULL")
            << "varbinary(16)" << binaryLiteral({}) << Value::fromBytes({});
        QTest::newRow("NULL binary") << "varbinary(16)" << QStringLiteral("NULL") << Value::null();
        QTest::newRow("negative decimal below one")
            << "decimal(10,4)" << QStringLiteral("-0.0001") << Value::fromText("-0.0001");
        QTest::newRow("double needing 17 digits")
            << dbl << "0.30000000000000004" << Value::fromDouble(0.30000000000000004);
        QTest::newRow("smallest subnormal double")
            << dbl << "4.9e-324" << Value::fromDouble(4.9e-324);
        // A float reads as its exact value, whose text reads back to the same float.
        QTest::newRow("single precision reads as the float's exact value")
            << real << "0.1" << Value::fromDouble(static_cast<double>(0.1f));
        QTest::newRow("largest single precision")
            << real << "3.4028234e38"
            << Value::fromDouble(static_cast<double>(std::numeric_limits<float>::max()));
        if (kMSSQL) {
            QTest::newRow("varchar in code page 1252")
                << "varchar(20)" << QString::fromUtf8("'Grüße €'")
                << Value::fromText(QString::fromUtf8("Grüße €"));
        } else {
            QTest::newRow("NUL inside text") << text << "CONCAT('a', CHAR(0), 'b')"
                                             << Value::fromText(QString::fromLatin1("a\0b", 3));
            QTest::newRow("negative time with microseconds")
                << "time(6)" << QStringLiteral("'-838:59:59.000001'")
                << Value::fromText("-838:59:59.000001");
        }
        // An emoji across the end of the reader's first chunk; a U+FEFF that a UTF-8 decoder may
        // take for a byte order mark and drop.
        const QString longText = kMSSQL ? "nvarchar(max)" : "longtext";
        for (const int before : {4093, 4094, 4095}) {
            const QString t = QString(before, u'a') + QString::fromUtf8("😀b");
            QTest::addRow("surrogate pair after %d characters", before)
                << longText << textLiteral(t) << Value::fromText(t);
        }
        const QString bom(QChar(0xFEFF));
        for (const QString& t : {bom + "abc", bom + bom + QString(u'\u20ac').repeated(3000)})
            QTest::addRow("a leading U+FEFF in %d characters", static_cast<int>(t.size()))
                << longText << textLiteral(t) << Value::fromText(t);
        // A U+FEFF just after the reader's first chunk, after a character that takes two bytes.
        const QString split = QString(4094, u'a') + QString::fromUtf8("é") + bom;
        QTest::newRow("U+FEFF after the first chunk")
            << longText << textLiteral(split) << Value::fromText(split);
        QTest::newRow("long binary over 100 KB")
            << (kMSSQL ? "varbinary(max)" : "longblob") << binaryLiteral(longBytes)
            << Value::fromBytes(longBytes);
        // Values of a few MB, read into their own room: MySQL's text a MB of UTF-8 at a time,
        // characters of one to four bytes split at every place between the pieces.
        const QString mixed = QString::fromUtf8("😀é漢a").repeated(230000);
        for (const int shift : {0, 1, 2, 3})
            QTest::addRow("text of 2.3 MB of UTF-8, shifted by %d", shift)
                << longText << textLiteral(QString(shift, u'a') + mixed)
                << Value::fromText(QString(shift, u'a') + mixed);
        QByteArray largeBytes = longBytes.repeated(17);
        QTest::newRow("binary of 2.5 MB")
            << (kMSSQL ? "varbinary(max)" : "longblob") << binaryLiteral(largeBytes)
            << Value::fromBytes(largeBytes);
    }

    void values() {
        QFETCH(QString, type);
        QFETCH(QString, literal);
        QFETCH(Value, expected);
        fq::test::Scratch scratch;
        const QString table = fq::test::delimited(kServer, scratch.name("fq_values"));
        Connection c = open();
        c.execute("CREATE TABLE " + table + " (v " + type + " NULL)");
        c.execute("INSERT INTO " + table + " (v) VALUES (" + literal + ")");
        for (const Rows rows : {Rows::Streamed, Rows::Buffered}) {
            Result rs = c.execute("SELECT v FROM " + table, rows);
            QCOMPARE(rs.columnCount(), 1);
            // Only buffered rows are counted.
            QCOMPARE(rs.rowCount(), rows == Rows::Buffered ? 1LL : -1LL);
            QVERIFY(!rs.atEnd());
            // A double's text is its shortest round-trip form: equal texts are equal bits.
            QCOMPARE(rs.value(0).text(), expected.text());
            QVERIFY(rs.value(0) == expected); // of the same kind: NULL is no empty text
            rs.moveNext();
            QVERIFY(rs.atEnd());
        }
    }

    // Every refused statement reaches the caller with its SQLSTATE, native number and words,
    // and the connection stays usable.
    void refusedStatement_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("sqlState");
        QTest::addColumn<long>("nativeError");
        const QString missing = "SELECT * FROM fq_no_such_table_here";
        QTest::newRow("missing table") << missing << "42S02" << (kMSSQL ? 208L : 1146L);
        QTest::newRow("syntax error") << "SELECT FROM WHERE"
                                      << "42000" << (kMSSQL ? -1L : 1064L);
        if (kMSSQL) {
            // FreeTDS reports the error of a later statement of a batch only when the client
            // asks for the next result: it must still reach the caller.
            QTest::newRow("error after a result set")
                << "SELECT 1 AS a; " + missing << "42S02" << 208L;
            QTest::newRow("error after a row count")
                << "CREATE TABLE %T (a int); INSERT INTO %T (a) VALUES (1); " + missing << "42S02"
                << 208L;
        }
    }

    void refusedStatement() {
        QFETCH(QString, statement);
        QFETCH(QString, sqlState);
        QFETCH(long, nativeError);
        fq::test::Scratch scratch;
        for (const Rows rows : {Rows::Streamed, Rows::Buffered}) {
            Connection c = open();
            std::optional<DbError> error;
            try {
                Result rs = c.execute(QString(statement).replace("%T", scratch.name("fq_t")), rows);
                while (!rs.atEnd())
                    rs.moveNext();
            } catch (const DbError& e) {
                error = e;
            }
            QVERIFY2(error.has_value(), "the refused statement looked like success");
            QCOMPARE(error->number(), fq::odbc::kGenericFailure);
            QCOMPARE(error->sqlState(), sqlState);
            if (nativeError >= 0)
                QCOMPARE(error->nativeError(), nativeError);
            QVERIFY(!error->driverText().isEmpty() && !error->driverText().contains(QChar(0)));
            QCOMPARE(c.execute("SELECT 42").value(0).text(), QString("42"));
        }
    }

    // A result left before its last row, then the same connection used again: the next
    // statement runs and sees its own result, and nothing of the dropped one is read any more.
    void droppedResultThenConnectionReused() {
        fq::test::Scratch scratch;
        const QString table = fq::test::delimited(kServer, scratch.name("fq_values"));
        Connection c = open();
        QStringList rows;
        for (int i = 0; i < 500; ++i)
            rows << QString("(%1)").arg(i);
        c.execute("CREATE TABLE " + table + " (id int NOT NULL)");
        c.execute("INSERT INTO " + table + " (id) VALUES " + rows.join(u','));
        for (int round = 0; round < 3; ++round) {
            {
                Result first = c.execute("SELECT id FROM " + table + " ORDER BY id");
                QCOMPARE(first.value(0).text(), QString("0"));
                first.moveNext();
            }
            c.execute("INSERT INTO " + table + " (id) VALUES (1000)");
            QCOMPARE(c.execute("SELECT COUNT(*) FROM " + table).value(0).text(),
                     QString::number(501 + round));
        }
    }

    // A result read a block of rows at a time: every row in order, each value whole, across the
    // blocks' ends, single precision included (MariaDB's driver steps over bound floats as if
    // they were doubles).
    void rowsAcrossBlocks() {
        fq::test::Scratch scratch;
        const QString table = fq::test::delimited(kServer, scratch.name("fq_blocks"));
        Connection c = open();
        c.execute("CREATE TABLE " + table + " (id int NOT NULL, t " +
                  (kMSSQL ? "nvarchar(20)" : "varchar(20)") + " NULL, f " +
                  (kMSSQL ? "real" : "float") + " NULL, b varbinary(8) NULL)");
        constexpr int kRows = 1500;
        const auto text = [](int i) { return QString("r%1%2").arg(i).arg(i % 5 ? "" : "é"); };
        const auto bytes = [](int i) { return QByteArray(1, char(i >> 8)) + char(i & 0xff); };
        QStringList rows;
        for (int i = 0; i < kRows; ++i)
            rows << QString("(%1, %2, %3, %4)")
                        .arg(i)
                        .arg(i % 3 ? textLiteral(text(i)) : "NULL")
                        .arg(i + 0.5)
                        .arg(i % 7 ? binaryLiteral(bytes(i)) : "NULL");
        for (qsizetype at = 0; at < rows.size(); at += 500)
            c.execute("INSERT INTO " + table + " VALUES " + rows.mid(at, 500).join(u','));
        Result rs = c.execute("SELECT id, t, f, b FROM " + table + " ORDER BY id");
        int i = 0;
        for (; !rs.atEnd(); rs.moveNext(), ++i) {
            QCOMPARE(rs.value(0).text(), QString::number(i));
            QCOMPARE(rs.value(1), i % 3 ? Value::fromText(text(i)) : Value::null());
            QCOMPARE(rs.value(2), Value::fromDouble(i + 0.5));
            QCOMPARE(rs.value(3), i % 7 ? Value::fromBytes(bytes(i)) : Value::null());
        }
        QCOMPARE(i, kRows);
    }

    // One entry per schema for a name two schemas hold; no system tables.
    void catalogTables() {
        if (!kMSSQL)
            QSKIP("The catalog listing serves the SQL Server side only.");
        fq::test::Scratch scratch;
        const QString name = scratch.name("fq_catalog");
        Connection c = open();
        c.execute("CREATE TABLE dbo.[" + name + "] (a int)");
        c.execute("CREATE TABLE sales.[" + name + "] (a int)");
        const QStringList names = c.catalogTables();
        QCOMPARE(names.count(name), 2);
        for (const char* system : {"sysobjects", "TABLES", "COLUMNS", "objects"})
            QVERIFY2(!names.contains(system), system);
    }

    // Each use of the component that its caller got wrong is a Misuse, never a DbError that a
    // command would report as the server's words; the connection stays usable when it is open.
    void misuse_data() {
        QTest::addColumn<Call>("call");
        const auto select = [](Connection& c, const QString& t) {
            return c.execute("SELECT a FROM " + t);
        };
        QTest::newRow("statement on a connection never opened")
            << Call([](Connection&, const QString&) { Connection().execute("SELECT 1"); });
        QTest::newRow("statement after close") << Call([](Connection& c, const QString&) {
            c.close();
            c.execute("SELECT 1");
        });
        QTest::newRow("catalog of a connection never opened")
            << Call([](Connection&, const QString&) { Connection().catalogTables(); });
        QTest::newRow("open twice") << Call([](Connection& c, const QString&) {
            const auto s = fq::test::localServers();
            c.open(kMSSQL ? fq::sql::MSSQLConnectionString(s)
                          : fq::sql::MySQLConnectionStringCommandOrder(s));
        });
        // The table's one row read and moved past, or the result closed before it is read.
        const auto past = [select](Connection& c, const QString& t) {
            Result rs = select(c, t);
            rs.moveNext();
            return rs;
        };
        const auto closed = [select](Connection& c, const QString& t) {
            Result rs = select(c, t);
            rs.close();
            return rs;
        };
        QTest::newRow("column past the last")
            << Call([select](Connection& c, const QString& t) { select(c, t).value(1); });
        QTest::newRow("negative column")
            << Call([select](Connection& c, const QString& t) { select(c, t).value(-1); });
        QTest::newRow("value past the last row")
            << Call([past](Connection& c, const QString& t) { past(c, t).value(0); });
        QTest::newRow("move past the last row")
            << Call([past](Connection& c, const QString& t) { past(c, t).moveNext(); });
        QTest::newRow("row taken past the last row")
            << Call([past](Connection& c, const QString& t) {
                   std::vector<Value> row;
                   past(c, t).takeRow(row);
               });
        QTest::newRow("value of a statement without rows")
            << Call([](Connection& c, const QString& t) {
                   c.execute("INSERT INTO " + t + " (a) VALUES (1)").value(0);
               });
        QTest::newRow("value of a closed result")
            << Call([closed](Connection& c, const QString& t) { closed(c, t).value(0); });
        QTest::newRow("move in a closed result")
            << Call([closed](Connection& c, const QString& t) { closed(c, t).moveNext(); });
    }

    void misuse() {
        QFETCH(Call, call);
        fq::test::Scratch scratch;
        const QString table = fq::test::delimited(kServer, scratch.name("fq_misuse"));
        Connection c = open();
        c.execute("CREATE TABLE " + table + " (a int NOT NULL)");
        c.execute("INSERT INTO " + table + " (a) VALUES (1)");
        QVERIFY_THROWS_EXCEPTION(fq::odbc::Misuse, call(c, table));
        if (c.isOpen())
            QCOMPARE(c.execute("SELECT a FROM " + table).value(0).text(), QString("1"));
    }
};

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
