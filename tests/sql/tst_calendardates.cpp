#include "odbc/Value.h"
#include "sql/Literals.h"

#include <QTest>

using namespace fq;
using odbc::Value;
using sql::ValueKind;

Q_DECLARE_METATYPE(fq::odbc::Value)
Q_DECLARE_METATYPE(fq::sql::ValueKind)

// Which date values name no real day and time, and travel as NULL because of it.
class TestCalendarDates : public QObject {
    Q_OBJECT

private slots:
    void judged_data();
    void judged();
};

void TestCalendarDates::judged_data() {
    QTest::addColumn<Value>("value");
    QTest::addColumn<ValueKind>("kind");
    QTest::addColumn<QString>("mssql"); // the literal for SQL Server: NULL for a non-date

    const auto T = ValueKind::Temporal;
    const auto P = ValueKind::Plain;
    auto date = [](const char* text) { return Value::fromText(QString::fromLatin1(text)); };

    QTest::newRow("zero date") << date("0000-00-00") << T << "NULL";
    QTest::newRow("zero datetime") << date("0000-00-00 00:00:00") << T << "NULL";
    QTest::newRow("zero date with a time") << date("0000-00-00 12:00:00.000000") << T << "NULL";
    QTest::newRow("zero year") << date("0000-01-01") << T << "NULL";
    QTest::newRow("zero month") << date("1920-00-18") << T << "NULL";
    QTest::newRow("zero day") << date("2009-01-00") << T << "NULL";
    QTest::newRow("zero day with a time") << date("2009-01-00 12:00:00") << T << "NULL";
    QTest::newRow("month 13") << date("2009-13-01") << T << "NULL";
    QTest::newRow("day 32") << date("2009-01-32") << T << "NULL";
    QTest::newRow("April 31") << date("2009-04-31 23:59:59.999999") << T << "NULL";
    QTest::newRow("April 30") << date("2009-04-30") << T << "'2009-04-30'";
    QTest::newRow("February 30") << date("2009-02-30") << T << "NULL";
    QTest::newRow("February 29, common year") << date("2009-02-29") << T << "NULL";
    QTest::newRow("February 29, century not by 400") << date("1900-02-29") << T << "NULL";
    QTest::newRow("February 29, by 400") << date("2000-02-29") << T << "'2000-02-29'";
    QTest::newRow("February 29, leap year")
        << date("2024-02-29 00:00:00") << T << "'2024-02-29 00:00:00'";
    QTest::newRow("first day") << date("0001-01-01") << T << "'0001-01-01'";
    QTest::newRow("last moment") << date("9999-12-31 23:59:59.999999") << T
                                 << "'9999-12-31 23:59:59.999999'";
    QTest::newRow("hour 24") << date("2009-01-01 24:00:00") << T << "NULL";
    QTest::newRow("minute 60") << date("2009-01-01 10:60:00") << T << "NULL";
    QTest::newRow("second 60") << date("2009-01-01 10:00:60") << T << "NULL";
    QTest::newRow("short year as the driver writes it") << date("12-01-01") << T << "'0012-01-01'";
    QTest::newRow("short year, not a date") << date("12-02-30") << T << "NULL";
    QTest::newRow("with an offset") << date("2020-01-31 10:00:00.0000000 +05:00") << T
                                    << "'2020-01-31 10:00:00.0000000 +05:00'";
    QTest::newRow("a time of day is not judged") << date("838:59:59") << T << "'838:59:59'";
    QTest::newRow("text in a text column is not judged")
        << date("2009-01-00") << P << "'2009-01-00'";
    QTest::newRow("NULL stays NULL, not a non-date") << Value::null() << T << "NULL";
}

void TestCalendarDates::judged() {
    QFETCH(Value, value);
    QFETCH(ValueKind, kind);
    QFETCH(QString, mssql);
    const bool nonDate = !value.isNull() && mssql == u"NULL";
    QCOMPARE(sql::notACalendarDate(value, kind), nonDate);
    QCOMPARE(sql::mssqlLiteral(value, kind), mssql);
}

QTEST_GUILESS_MAIN(TestCalendarDates)
#include "tst_calendardates.moc"
