// Names and values as both servers must read them: the one quoting place, and a source value as
// a literal for each target.
#include "odbc/Value.h"
#include "sql/Literals.h"
#include "sql/SqlText.h"
#include "sql/StatementSize.h"

#include <QTest>

using namespace fq;
using odbc::Value;
using sql::ValueKind;

Q_DECLARE_METATYPE(fq::odbc::Value)
Q_DECLARE_METATYPE(fq::sql::ValueKind)

namespace {

// What one of sql/'s append functions writes into an empty text.
template <typename Append, typename... Args> QString written(Append append, const Args&... args) {
    QString out;
    append(out, args...);
    return out;
}

} // namespace

class TestSqlText : public QObject {
    Q_OBJECT

private slots:
    // Where a statement writes a name bare: a plain identifier that is no reserved word stays
    // bare, anything else is delimited with its own delimiter doubled.
    void bareNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("mysql");
        QTest::addColumn<QString>("mssql");
        const char* const rows[][4] = {
            {"plain name", "_t2_x", "_t2_x", "_t2_x"},
            {"leading digit", "2024sales", "`2024sales`", "[2024sales]"},
            {"statement in a name", "x; DROP TABLE y", "`x; DROP TABLE y`", "[x; DROP TABLE y]"},
            {"every delimiter doubled", "]`][``", "`]``][`````", "[]]`]][``]"},
            {"non-ASCII letter", "café", "`café`", "[café]"},
            {"reserved, mixed case", "Select", "`Select`", "[Select]"},
            {"reserved in T-SQL only", "user", "`user`", "[user]"},
            {"reserved in MySQL only", "rlike", "`rlike`", "[rlike]"},
            {"first reserved word", "accessible", "`accessible`", "[accessible]"},
            {"last reserved word", "zerofill", "`zerofill`", "[zerofill]"},
            {"keyword that is not reserved", "name", "name", "name"},
            {"reserved word as a prefix", "orders", "orders", "orders"}};
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2])
                                << QString::fromUtf8(r[3]);
    }

    void bareNames() {
        QFETCH(QString, name);
        QFETCH(QString, mysql);
        QFETCH(QString, mssql);
        QCOMPARE(sql::mysqlBareName(name), mysql);
        QCOMPARE(sql::mssqlBareName(name), mssql);
    }

    // Quotes doubled, backslashes as they stand; N only for SQL Server text outside ASCII, and
    // always for names compared with the catalog.
    void stringLiterals_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mysql");
        QTest::addColumn<QString>("mssql");
        QTest::addColumn<QString>("mssqlUnicode");
        const char* const rows[][5] = {
            {"empty", "", "''", "''", "N''"},
            {"only quotes", "''", "''''''", "''''''", "N''''''"},
            {"backslash kept", "a\\'b", "'a\\''b'", "'a\\''b'", "N'a\\''b'"},
            {"Latin-1 letter", "é", "'é'", "N'é'", "N'é'"},
            {"DEL is still ASCII", "\x7f", "'\x7f'", "'\x7f'", "N'\x7f'"},
            // Long texts are looked at several characters at a time: the odd one out is found
            // in any place.
            {"quotes at both ends of a long text", "'abcdefghi'", "'''abcdefghi'''",
             "'''abcdefghi'''", "N'''abcdefghi'''"},
            {"the ninth letter not ASCII", "abc'efghé", "'abc''efghé'", "N'abc''efghé'",
             "N'abc''efghé'"},
            {"the fourth letter not ASCII", "abcé'fgh", "'abcé''fgh'", "N'abcé''fgh'",
             "N'abcé''fgh'"},
            {"quotes around a pair of surrogates", "'😀''x", "'''😀''''x'", "N'''😀''''x'",
             "N'''😀''''x'"}};
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2])
                                << QString::fromUtf8(r[3]) << QString::fromUtf8(r[4]);
    }

    void stringLiterals() {
        QFETCH(QString, text);
        QFETCH(QString, mysql);
        QFETCH(QString, mssql);
        QFETCH(QString, mssqlUnicode);
        QCOMPARE(sql::mysqlString(text), mysql);
        QCOMPARE(sql::mssqlString(text), mssql);
        QCOMPARE(written(sql::appendMssqlText, text), mssql);
        QCOMPARE(sql::mssqlUnicodeString(text), mssqlUnicode);
        // The same literal made in the text's own storage, inside the rest of its statement.
        QString wrapped = text;
        QVERIFY(sql::wrapInMssqlText(wrapped, u"INSERT INTO t VALUES(1, ", u", 2)"));
        QCOMPARE(wrapped, "INSERT INTO t VALUES(1, " + mssql + ", 2)");
    }

    // A text with a zero character has a literal of another form: it is left as it is.
    void wrapLeavesAZeroCharacter() {
        const QString zero = QStringLiteral("a'") + QChar(0) + u'b';
        QString wrapped = zero;
        QVERIFY(!sql::wrapInMssqlText(wrapped, u"(", u")"));
        QCOMPARE(wrapped, zero);
    }

    // NULL as NULL, everything else as quoted text; dates with a four-digit year, MySQL's zero
    // date as NULL. (Bytes, texts outside ASCII or with a zero character, doubles and
    // offsets are in the round trips, through both servers.)
    void literals_data() {
        QTest::addColumn<Value>("value");
        QTest::addColumn<ValueKind>("kind");
        QTest::addColumn<QString>("mysql");
        QTest::addColumn<QString>("mssql");
        const auto row = [](const char* name, const Value& v, ValueKind kind, const char* mysql,
                            const char* mssql) {
            QTest::newRow(name) << v << kind << QString::fromUtf8(mysql)
                                << QString::fromUtf8(mssql);
        };
        const auto text = [](const char* t) { return Value::fromText(QString::fromUtf8(t)); };
        const auto P = ValueKind::Plain;
        const auto T = ValueKind::Temporal;
        const auto B = ValueKind::Bit;
        row("NULL", Value::null(), P, "NULL", "NULL");
        row("empty text", text(""), P, "''", "''");
        row("year 12", text("12-01-01"), T, "'0012-01-01'", "'0012-01-01'");
        row("zero date", text("0000-00-00"), T, "NULL", "NULL");
        row("zero date in a text column", text("0000-00-00"), P, "'0000-00-00'", "'0000-00-00'");
        row("negative zero", Value::fromDouble(-0.0), P, "'-0'", "'-0'");
        // A bit as 0 or 1 whatever form the driver gives it in.
        row("bit as text", text("1"), B, "'1'", "'1'");
        row("bit as byte 1", Value::fromBytes(QByteArray("\x01", 1)), B, "'1'", "'1'");
        row("bit as byte 0", Value::fromBytes(QByteArray("\0", 1)), B, "'0'", "'0'");
        row("quotes, two and four bytes", text("it's \u00e9\U0001F600"), P,
            "'it''s \u00e9\U0001F600'", "N'it''s \u00e9\U0001F600'");
        row("a zero character", Value::fromText(QStringLiteral("a") + QChar(0) + u'\u00e9'), P,
            "_utf8mb4 X'6100C3A9'", "CONVERT(nvarchar(max), 0x61000000E900)");
        row("bytes", Value::fromBytes(QByteArray("\0\xff", 2)), P, "X'00FF'", "0x00FF");
        row("no bytes", Value::fromBytes(QByteArray()), P, "X''", "0x");
    }

    void literals() {
        QFETCH(Value, value);
        QFETCH(ValueKind, kind);
        QFETCH(QString, mysql);
        QFETCH(QString, mssql);
        QCOMPARE(written(sql::appendMysqlLiteral, value, kind), mysql);
        QCOMPARE(written(sql::appendMssqlLiteral, value, kind), mssql);
        // The size of a value sent apart from its statement is its literal's, in UTF-8.
        QCOMPARE(sql::mysqlLiteralBytes(value, kind), sql::utf8Bytes(mysql));
    }

    // Which date values name no real day and time, and travel to SQL Server as NULL because of
    // it. (Zero dates, zero parts, days past the month's end and leap days are copied from MySQL
    // in the round trips' test.)
    void calendarDates_data() {
        QTest::addColumn<Value>("value");
        QTest::addColumn<ValueKind>("kind");
        QTest::addColumn<QString>("mssql"); // the literal for SQL Server: NULL for a non-date

        const auto T = ValueKind::Temporal;
        const auto P = ValueKind::Plain;
        auto date = [](const char* text) { return Value::fromText(QString::fromLatin1(text)); };

        QTest::newRow("zero day with a time") << date("2009-01-00 12:00:00") << T << "NULL";
        QTest::newRow("month 13") << date("2009-13-01") << T << "NULL";
        QTest::newRow("day 32") << date("2009-01-32") << T << "NULL";
        QTest::newRow("April 30") << date("2009-04-30") << T << "'2009-04-30'";
        QTest::newRow("hour 24") << date("2009-01-01 24:00:00") << T << "NULL";
        QTest::newRow("minute 60") << date("2009-01-01 10:60:00") << T << "NULL";
        QTest::newRow("second 60") << date("2009-01-01 10:00:60") << T << "NULL";
        QTest::newRow("short year, not a date") << date("12-02-30") << T << "NULL";
        QTest::newRow("with an offset") << date("2020-01-31 10:00:00.0000000 +05:00") << T
                                        << "'2020-01-31 10:00:00.0000000 +05:00'";
        QTest::newRow("a time of day is not judged") << date("838:59:59") << T << "'838:59:59'";
        QTest::newRow("text in a text column is not judged")
            << date("2009-01-00") << P << "'2009-01-00'";
        QTest::newRow("NULL stays NULL, not a non-date") << Value::null() << T << "NULL";
    }

    void calendarDates() {
        QFETCH(Value, value);
        QFETCH(ValueKind, kind);
        QFETCH(QString, mssql);
        const bool nonDate = !value.isNull() && mssql == u"NULL";
        QCOMPARE(sql::notACalendarDate(value, kind), nonDate);
        QCOMPARE(written(sql::appendMssqlLiteral, value, kind), mssql);
    }
};

QTEST_APPLESS_MAIN(TestSqlText)
#include "tst_sqltext.moc"
