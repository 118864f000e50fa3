#include "commands/SendTables.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"

#include <QTest>

using namespace fq;
using test::fillList;

namespace {

// A MySQL table filled by a session that lets MySQL store what it stores in a loose database:
// zero dates, zero months and days, and days past the month's end.
void createLoose(const QString& name, const QString& columns, const QStringList& rows) {
    QStringList statements{QStringLiteral("SET SESSION sql_mode='ALLOW_INVALID_DATES'"),
                           QStringLiteral("CREATE TABLE `%1` (%2)").arg(name, columns)};
    for (const QString& r : rows)
        statements << QStringLiteral("INSERT INTO `%1` VALUES(%2)").arg(name, r);
    test::exec(Server::MySQL, statements);
}

} // namespace

// MySQL dates that are not calendar dates, copied to SQL Server: they arrive as NULL, the copy
// goes on, and the user is told once, at the end, which values were not carried as dates.
class TestNonDates : public QObject {
    Q_OBJECT

private slots:
    void oddDatesArriveAsNull();
    void failureStillTellsOfNulls();
};

// Several tables copied from the bottom of the list up: one message, in that order, one line a
// table, and a table without such values has no line.
void TestNonDates::oddDatesArriveAsNull() {
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
void TestNonDates::failureStillTellsOfNulls() {
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
                                         "copying row 3, at the value '838:59:59' of column t.")
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
}

QTEST_GUILESS_MAIN(TestNonDates)
#include "tst_nondates.moc"
