// The connection string as the driver gets it: the port FreeTDS needs for a bare SQL Server host
// is added, and nothing else changes.

#include "odbc/Connection.h"

#include <QTest>

class TestConnectionStrings : public QObject {
    Q_OBJECT

private slots:
    void driverString_data();
    void driverString();
};

void TestConnectionStrings::driverString_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("handedToDriver");

    const QString bare = "Driver={SQL Server};Server=127.0.0.1;Database=d;Uid=u;Pwd=p;";
    QTest::newRow("bare host gets port 1433") << bare << bare + "Port=1433;";
    QTest::newRow("empty server gets port 1433")
        << "Driver={SQL Server};Server=;Database=;Uid=;Pwd=;"
        << "Driver={SQL Server};Server=;Database=;Uid=;Pwd=;Port=1433;";
    QTest::newRow("host,port kept")
        << "Driver={SQL Server};Server=127.0.0.1,14330;Database=d;Uid=u;Pwd=p;"
        << "Driver={SQL Server};Server=127.0.0.1,14330;Database=d;Uid=u;Pwd=p;";
    QTest::newRow("host\\instance kept")
        << "Driver={SQL Server};Server=db1\\SQLEXPRESS;Database=d;Uid=u;Pwd=p;"
        << "Driver={SQL Server};Server=db1\\SQLEXPRESS;Database=d;Uid=u;Pwd=p;";
    QTest::newRow("explicit Port key kept") << "Driver={SQL Server};Server=h;Port=2000;"
                                            << "Driver={SQL Server};Server=h;Port=2000;";
    QTest::newRow("key names in any case") << "driver={sql server};SERVER=h;"
                                           << "driver={sql server};SERVER=h;Port=1433;";
    QTest::newRow("missing final semicolon") << "Driver={SQL Server};Server=h"
                                             << "Driver={SQL Server};Server=h;Port=1433;";
    QTest::newRow("comma in the password does not count as a port")
        << "Driver={SQL Server};Server=h;Database=d;Uid=u;Pwd=a,b\\c;"
        << "Driver={SQL Server};Server=h;Database=d;Uid=u;Pwd=a,b\\c;Port=1433;";
    QTest::newRow("MySQL string unchanged")
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;";
    QTest::newRow("other SQL Server driver unchanged")
        << "Driver={ODBC Driver 18 for SQL Server};Server=h;"
        << "Driver={ODBC Driver 18 for SQL Server};Server=h;";
}

void TestConnectionStrings::driverString() {
    QFETCH(QString, given);
    QFETCH(QString, handedToDriver);
    QCOMPARE(fq::odbc::driverConnectionString(given), handedToDriver);
}

QTEST_GUILESS_MAIN(TestConnectionStrings)
#include "tst_connectionstrings.moc"
