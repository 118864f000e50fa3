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

    // FreeTDS applies the login timeout only when the protocol version is named.
    const QString tds = "TDS_Version=7.4;";
    const QString bare = "Driver={SQL Server};Server=127.0.0.1;Database=d;Uid=u;Pwd=p;";
    QTest::newRow("bare host gets port 1433") << bare << bare + "Port=1433;" + tds;
    QTest::newRow("empty server gets port 1433")
        << "Driver={SQL Server};Server=;Database=;Uid=;Pwd=;"
        << "Driver={SQL Server};Server=;Database=;Uid=;Pwd=;Port=1433;" + tds;
    QTest::newRow("host,port kept")
        << "Driver={SQL Server};Server=127.0.0.1,14330;Database=d;Uid=u;Pwd=p;"
        << "Driver={SQL Server};Server=127.0.0.1,14330;Database=d;Uid=u;Pwd=p;" + tds;
    QTest::newRow("host\\instance kept")
        << "Driver={SQL Server};Server=db1\\SQLEXPRESS;Database=d;Uid=u;Pwd=p;"
        << "Driver={SQL Server};Server=db1\\SQLEXPRESS;Database=d;Uid=u;Pwd=p;" + tds;
    QTest::newRow("explicit Port key kept") << "Driver={SQL Server};Server=h;Port=2000;"
                                            << "Driver={SQL Server};Server=h;Port=2000;" + tds;
    QTest::newRow("explicit TDS version kept") << "Driver={SQL Server};Server=h,1;TDS_Version=7.2;"
                                               << "Driver={SQL Server};Server=h,1;TDS_Version=7.2;";
    QTest::newRow("key names in any case") << "driver={sql server};SERVER=h;"
                                           << "driver={sql server};SERVER=h;Port=1433;" + tds;
    QTest::newRow("missing final semicolon") << "Driver={SQL Server};Server=h"
                                             << "Driver={SQL Server};Server=h;Port=1433;" + tds;
    QTest::newRow("comma in the password does not count as a port")
        << "Driver={SQL Server};Server=h;Database=d;Uid=u;Pwd=a,b\\c;"
        << "Driver={SQL Server};Server=h;Database=d;Uid=u;Pwd=a,b\\c;Port=1433;" + tds;
    // FreeTDS ends a braced value at the first "};" and reads "}}" as two characters: the string
    // it is handed has each braced value as it stands.
    const QString head = "Driver={SQL Server};Server=h,1;Database=d;Uid=u;Pwd=";
    QTest::newRow("semicolon in braces") << head + "{a;b};" << head + "{a;b};" + tds;
    QTest::newRow("closing brace once, as FreeTDS reads it")
        << head + "{a}}b};" << head + "{a}b};" + tds;
    QTest::newRow("closing brace last") << head + "{ab}}};" << head + "{ab}};" + tds;
    QTest::newRow("braces around") << head + "{{a;b}}};" << head + "{{a;b}};" + tds;
    // MariaDB's driver bounds the wait for the server's greeting only through its own key.
    QTest::newRow("MySQL string gets the login timeout")
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;"
           "CONN_TIMEOUT=15;";
    QTest::newRow("MySQL string with braced values as written")
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;PASSWORD={{a;b}}};"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;PASSWORD={{a;b}}};CONN_TIMEOUT=15;";
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
