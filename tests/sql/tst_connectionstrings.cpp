// The connection strings as the driver sees them: built from the eight settings exactly as
// typed, and the port FreeTDS needs for a bare SQL Server host.

#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"

#include <QTest>

using fq::sql::ConnectionSettings;

class TestConnectionStrings : public QObject {
    Q_OBJECT

private slots:
    void strings_data();
    void strings();
    void driverString_data();
    void driverString();
};

void TestConnectionStrings::strings_data() {
    QTest::addColumn<ConnectionSettings>("settings");
    QTest::addColumn<QString>("mssql");
    QTest::addColumn<QString>("mysqlTest");
    QTest::addColumn<QString>("mysqlCommand");

    QTest::newRow("all empty")
        << ConnectionSettings{} << "Driver={SQL Server};Server=;Database=;Uid=;Pwd=;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=;USER=;DATABASE=;PASSWORD=;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=;DATABASE=;USER=;PASSWORD=;";

    QTest::newRow("each value in its own place")
        << ConnectionSettings{"myhost", "myuser", "mypass", "mydb",
                              "mshost", "msuser", "mspass", "msdb"}
        << "Driver={SQL Server};Server=mshost;Database=msdb;Uid=msuser;Pwd=mspass;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=myhost;USER=myuser;DATABASE=mydb;"
           "PASSWORD=mypass;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=myhost;DATABASE=mydb;USER=myuser;"
           "PASSWORD=mypass;";

    QTest::newRow("leading and trailing blanks kept")
        << ConnectionSettings{" h ", "  u", "p  ", " d", " H", "U ", " P ", "D  "}
        << "Driver={SQL Server};Server= H;Database=D  ;Uid=U ;Pwd= P ;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER= h ;USER=  u;DATABASE= d;PASSWORD=p  ;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER= h ;DATABASE= d;USER=  u;PASSWORD=p  ;";

    QTest::newRow("semicolon and braces not quoted")
        << ConnectionSettings{"h", "u", "pa;ss", "d", "H", "U", "{P;w}", "D"}
        << "Driver={SQL Server};Server=H;Database=D;Uid=U;Pwd={P;w};"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=pa;ss;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;DATABASE=d;USER=u;PASSWORD=pa;ss;";

    QTest::newRow("instance, port and non-ASCII as typed")
        << ConnectionSettings{"127.0.0.1",        "Jürgen", "пароль",   "数据",
                              "host\\SQLEXPRESS", "sa",     "Pässwörd", "db,1"}
        << "Driver={SQL Server};Server=host\\SQLEXPRESS;Database=db,1;Uid=sa;Pwd=Pässwörd;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=127.0.0.1;USER=Jürgen;DATABASE=数据;"
           "PASSWORD=пароль;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=127.0.0.1;DATABASE=数据;USER=Jürgen;"
           "PASSWORD=пароль;";
}

void TestConnectionStrings::strings() {
    QFETCH(ConnectionSettings, settings);
    QFETCH(QString, mssql);
    QFETCH(QString, mysqlTest);
    QFETCH(QString, mysqlCommand);
    QCOMPARE(fq::sql::MSSQLConnectionString(settings), mssql);
    QCOMPARE(fq::sql::MySQLConnectionStringTestOrder(settings), mysqlTest);
    QCOMPARE(fq::sql::MySQLConnectionStringCommandOrder(settings), mysqlCommand);
}

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
    // MariaDB's driver bounds the wait for the server's greeting only through its own key.
    QTest::newRow("MySQL string gets the login timeout")
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;"
           "CONN_TIMEOUT=15;";
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
