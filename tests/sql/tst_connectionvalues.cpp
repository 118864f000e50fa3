// Connection values that the plain form would break (a semicolon, braces, blanks at either end)
// are written in braces with every "}" doubled, log in whole to the local MariaDB (accounts made
// for the test) and a private instance of the SQL Server test double, and can never add or
// replace another key. Last, the connection string as the driver gets it.

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "odbc/Result.h"
#include "sql/ConnectionStrings.h"
#include "sql/Refusal.h"
#include "sql/SqlText.h"
#include "support/Servers.h"
#include "tds/TestServerProcess.h"

#include <QTest>

using fq::odbc::Connection;
using fq::odbc::DbError;
using fq::sql::ConnectionSettings;

namespace {

// Passwords each of which the plain form would split or change.
struct Account {
    const char* row;
    const char* user;
    const char16_t* password;
    // MariaDB's driver drops blanks at the start and end of every value, in braces too: such a
    // password cannot log in to MySQL whatever the string holds.
    bool mysql = true;
};
const Account kAccounts[] = {
    {"semicolon then a key", "fqv_key", u"Fq_Secret1;Pwd=wrong"},
    {"everything inside", "fqv_all", u"{a;b}}c=d e}"},
    {"blanks at both ends", "fqv_ends", u" Fq_Secret1 ", false},
};

QString address() {
    return fq::test::localServers().msServer.section(u',', 0, 0);
}

// The accounts dropped from MariaDB (both hosts), and the test's database.
QStringList dropped(const QString& database) {
    QStringList sql;
    for (const Account& a : kAccounts) {
        for (const char* host : {"%", "localhost"})
            sql << QStringLiteral("DROP USER IF EXISTS '%1'@'%2'")
                       .arg(QString::fromLatin1(a.user), host);
    }
    return sql << QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(database);
}

} // namespace

class TestConnectionValues : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void written_data();
    void written();
    void passwords_data();
    void passwords();
    void valueCannotRedirect_data();
    void valueCannotRedirect();
    void mysqlPort_data();
    void mysqlPort();
    void driverString_data();
    void driverString();
    void longestString_data();
    void longestString();

private:
    fq::test::TestServerProcess double_;
    QString doubleServer() const { return address() + u',' + QString::number(double_.port()); }
    const QString database_ = QStringLiteral("fqv;db=x");
};

void TestConnectionValues::initTestCase() {
    QStringList sql = dropped(database_);
    for (const Account& a : kAccounts) {
        const QString user = QString::fromLatin1(a.user);
        const QString password = QString::fromUtf16(a.password);
        for (const char* host : {"%", "localhost"}) {
            sql << QStringLiteral("CREATE USER '%1'@'%2' IDENTIFIED BY %3")
                       .arg(user, host, fq::sql::quoted(password))
                << QStringLiteral("GRANT ALL PRIVILEGES ON *.* TO '%1'@'%2'").arg(user, host);
        }
    }
    sql << QStringLiteral("CREATE DATABASE `%1`").arg(database_);
    QVERIFY(fq::test::rootSql(sql.join(QStringLiteral(";\n"))));

    const ConnectionSettings local = fq::test::localServers();
    QStringList arguments{"--address", address(), "--account",
                          local.msUser + u':' + local.msPassword};
    for (const Account& a : kAccounts)
        arguments << "--account"
                  << QString::fromLatin1(a.user) + u':' + QString::fromUtf16(a.password);
    double_.databaseName = database_;
    QVERIFY2(double_.start(arguments), qPrintable(double_.error()));
}

void TestConnectionValues::cleanupTestCase() {
    fq::test::rootSql(dropped(database_).join(QStringLiteral(";\n")));
}

void TestConnectionValues::written_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("written");
    const char* const rows[][3] = {
        {"empty", "", ""},
        {"equals, comma, blank, backslash, non-ASCII as typed", "a=b,c d\\x Pä", "a=b,c d\\x Pä"},
        {"semicolon then a key", "x;SERVER=elsewhere", "{x;SERVER=elsewhere}"},
        {"closing brace doubled", "a}b", "{a}}b}"},
        {"opening brace first", "{ab", "{{ab}"},
        {"opening brace inside", "a{b", "{a{b}"},
        {"leading blank", " a", "{ a}"},
        {"trailing blank", "a ", "{a }"},
        {"trailing tab", "a\t", "{a\t}"}};
    for (const auto& r : rows)
        QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
}

// Each value in each of the eight places, in all three strings.
void TestConnectionValues::written() {
    QFETCH(QString, value);
    QFETCH(QString, written);
    QString ConnectionSettings::*const places[] = {
        &ConnectionSettings::myServer,   &ConnectionSettings::myUser,
        &ConnectionSettings::myPassword, &ConnectionSettings::myDatabase,
        &ConnectionSettings::msServer,   &ConnectionSettings::msUser,
        &ConnectionSettings::msPassword, &ConnectionSettings::msDatabase};
    for (int i = 0; i < 8; ++i) {
        ConnectionSettings s{"h", "u", "p", "d", "H", "U", "P", "D"};
        s.*places[i] = value;
        QStringList f{"h", "u", "p", "d", "H", "U", "P", "D"};
        f[i] = written;
        const QString my = QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};SERVER=") + f[0];
        QCOMPARE(fq::sql::MSSQLConnectionString(s),
                 QStringLiteral("Driver={SQL Server};Server=%1;Database=%2;Uid=%3;Pwd=%4;")
                     .arg(f[4], f[7], f[5], f[6]));
        QCOMPARE(fq::sql::MySQLConnectionStringTestOrder(s),
                 my + QStringLiteral(";USER=%1;DATABASE=%2;PASSWORD=%3;").arg(f[1], f[3], f[2]));
        QCOMPARE(fq::sql::MySQLConnectionStringCommandOrder(s),
                 my + QStringLiteral(";DATABASE=%1;USER=%2;PASSWORD=%3;").arg(f[3], f[1], f[2]));
    }
}

void TestConnectionValues::passwords_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("mysql");
    for (const Account& a : kAccounts)
        QTest::newRow(a.row) << QString::fromLatin1(a.user) << QString::fromUtf16(a.password)
                             << a.mysql;
}

// Both MySQL key orders and the SQL Server string log in with the whole password, to the
// database the settings name (its name holds a semicolon and an equals sign: the keys after it
// stay).
void TestConnectionValues::passwords() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, mysql);
    ConnectionSettings s = fq::test::localServers();
    s.myUser = s.msUser = user;
    s.myPassword = s.msPassword = password;
    s.myDatabase = s.msDatabase = database_;
    s.msServer = doubleServer();
    QStringList strings{fq::sql::MSSQLConnectionString(s)};
    if (mysql)
        strings << fq::sql::MySQLConnectionStringTestOrder(s)
                << fq::sql::MySQLConnectionStringCommandOrder(s);
    for (const QString& string : std::as_const(strings)) {
        Connection c;
        try {
            fq::commands::openConnection(c, string);
        } catch (const DbError& e) {
            QFAIL(qPrintable(string + QStringLiteral(": ") + e.driverText()));
        }
        if (string.startsWith(u"Driver={SQL Server}")) {
            // The server's log: "<connection>\t<login>\tLOGIN\t<database>".
            QVERIFY((double_.logLines().join(u'\n') + u'\n')
                        .contains(QStringLiteral("\t%1\tLOGIN\t%2\n").arg(user, database_)));
            continue;
        }
        fq::odbc::Result rs = c.execute(QStringLiteral("SELECT CURRENT_USER(), DATABASE()"));
        QCOMPARE(rs.value(0).text().section(u'@', 0, 0), user);
        QCOMPARE(rs.value(1).text(), database_);
    }
}

// A password that reads like "...;<server key>=<a port where nothing listens>" would send the
// connection there if it were split; whole, it is only a wrong password, refused by the server
// the settings name. A SQL Server value with "};" would end early for FreeTDS, and its rest would
// become keys of their own: no connection is tried, and the message names the key, not the value.
void TestConnectionValues::valueCannotRedirect_data() {
    QTest::addColumn<bool>("mysql");
    QTest::addColumn<QString>("tail"); // added to the password
    QTest::addColumn<long>("native");  // of the server's refusal; 0: nothing sent
    const QString nowhere = QString::number(fq::test::unusedLoopbackPort());
    QTest::newRow("MySQL") << true << ";PORT=" + nowhere << 1045L;
    QTest::newRow("SQL Server") << false << ";Server=" + address() + u',' + nowhere << 18456L;
    QTest::newRow("SQL Server, a value FreeTDS cannot read")
        << false << "};Server=" + address() + u',' + nowhere << 0L;
}

void TestConnectionValues::valueCannotRedirect() {
    QFETCH(bool, mysql);
    QFETCH(QString, tail);
    QFETCH(long, native);
    ConnectionSettings s = fq::test::localServers();
    s.msServer = doubleServer();
    s.msDatabase = database_;
    (mysql ? s.myPassword : s.msPassword) += tail;
    const qsizetype loggedBefore = double_.logLines().size();
    Connection c;
    try {
        fq::commands::openConnection(c, mysql ? fq::sql::MySQLConnectionStringTestOrder(s)
                                              : fq::sql::MSSQLConnectionString(s));
        QFAIL("the connection opened");
    } catch (const DbError& e) {
        QVERIFY2(native != 0, qPrintable(e.driverText()));
        QCOMPARE(e.nativeError(), native);
    } catch (const fq::sql::Refusal& e) {
        QVERIFY2(native == 0 && e.text().contains(QStringLiteral("\"};\"")) &&
                     e.text().contains(QStringLiteral("Pwd")) && !e.text().contains(tail),
                 qPrintable(e.text()));
    }
    QVERIFY(!c.isOpen());
    const QString logged = double_.logLines().mid(loggedBefore).join(u'\n');
    if (!mysql)
        QVERIFY2(native ? logged.contains(QStringLiteral("LOGIN-FAILED")) : logged.isEmpty(),
                 qPrintable(logged));
}

// The MySQL server box takes a port after the host, as SQL Server's takes "host,port": it goes
// into the PORT key, which MariaDB's driver reads (it reads none inside SERVER=). Anything that is
// not a host and a port from 1 to 65535 is written as it stands, as it always was.
void TestConnectionValues::mysqlPort_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("written"); // what stands between the driver and USER= or DATABASE=
    const char* const rows[][3] = {
        {"host only", "db1", "SERVER=db1;"},
        {"address:port", "127.0.0.1:3307", "SERVER=127.0.0.1;PORT=3307;"},
        {"localhost:port", "localhost:3307", "SERVER=localhost;PORT=3307;"},
        {"IPv6 address in brackets, port", "[::1]:3307", "SERVER=::1;PORT=3307;"},
        {"IPv6 address alone", "::1", "SERVER=::1;"},
        {"IPv6 address in brackets alone", "[::1]", "SERVER=[::1];"},
        {"IPv6 address ending in digits", "fe80::1:3307", "SERVER=fe80::1:3307;"},
        {"lowest port", "db1:1", "SERVER=db1;PORT=1;"},
        {"highest port", "db1:65535", "SERVER=db1;PORT=65535;"},
        {"leading zeros", "db1:03307", "SERVER=db1;PORT=3307;"},
        {"port 0", "db1:0", "SERVER=db1:0;"},
        {"port past the highest", "db1:65536", "SERVER=db1:65536;"},
        {"six digits", "db1:000001", "SERVER=db1:000001;"},
        {"not a number", "db1:mysql", "SERVER=db1:mysql;"},
        {"a sign", "db1:+3307", "SERVER=db1:+3307;"},
        {"a blank before the port", "db1: 3307", "SERVER=db1: 3307;"},
        {"nothing after the colon", "db1:", "SERVER=db1:;"},
        {"no host", ":3307", "SERVER=:3307;"},
        {"empty brackets", "[]:3307", "SERVER=[]:3307;"},
        {"host that needs braces", "a;b:3307", "SERVER={a;b};PORT=3307;"},
        {"trailing blank", "db1:3307 ", "SERVER={db1:3307 };"}};
    for (const auto& r : rows)
        QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
}

void TestConnectionValues::mysqlPort() {
    QFETCH(QString, box);
    QFETCH(QString, written);
    ConnectionSettings s{box, "u", "p", "d", "H,1", "U", "P", "D"};
    const QString driver = QStringLiteral("DRIVER={MySQL ODBC 3.51 Driver};");
    QCOMPARE(fq::sql::MySQLConnectionStringTestOrder(s),
             driver + written + QStringLiteral("USER=u;DATABASE=d;PASSWORD=p;"));
    QCOMPARE(fq::sql::MySQLConnectionStringCommandOrder(s),
             driver + written + QStringLiteral("DATABASE=d;USER=u;PASSWORD=p;"));
    // SQL Server's box takes its port its own way ("host,port"): no PORT key there.
    s.msServer = box;
    QVERIFY(
        !fq::sql::MSSQLConnectionString(s).contains(QLatin1String("PORT"), Qt::CaseInsensitive));
}

void TestConnectionValues::driverString_data() {
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("handedToDriver");

    // FreeTDS applies the login timeout only when the protocol version is named.
    const QString tds = "TDS_Version=7.4;";
    const QString bare = "Driver={SQL Server};Server=127.0.0.1;Database=d;Uid=u;Pwd=p;";
    QTest::newRow("bare host gets port 1433") << bare << bare + "Port=1433;" + tds;
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
    // MariaDB's driver bounds the wait for the server's greeting only through its own key, and
    // a silent call through its read and write timeouts.
    const QString bounds = "CONN_TIMEOUT=15;READ_TIMEOUT=60;WRITE_TIMEOUT=60;";
    QTest::newRow("MySQL string gets the login, read and write timeouts")
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;DATABASE=d;PASSWORD=p;" + bounds;
    QTest::newRow("MySQL string with braced values as written")
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;PASSWORD={{a;b}}};"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;PASSWORD={{a;b}}};" + bounds;
    QTest::newRow("MySQL timeouts given are kept")
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;READ_TIMEOUT=5;"
        << "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;READ_TIMEOUT=5;CONN_TIMEOUT=15;"
           "WRITE_TIMEOUT=60;";
    QTest::newRow("other SQL Server driver unchanged")
        << "Driver={ODBC Driver 18 for SQL Server};Server=h;"
        << "Driver={ODBC Driver 18 for SQL Server};Server=h;";
}

void TestConnectionValues::driverString() {
    QFETCH(QString, given);
    QFETCH(QString, handedToDriver);
    using namespace std::chrono_literals;
    QCOMPARE(fq::sql::driverConnectionString(given, 15s, 60s), handedToDriver);
}

// ODBC takes a connection string of at most 32,767 characters: one more is refused with a
// message, before any driver sees it.
void TestConnectionValues::longestString_data() {
    QTest::addColumn<QString>("head"); // the password follows
    QTest::addColumn<int>("over");     // characters over the limit
    const QString mysql = "DRIVER={MySQL ODBC 3.51 Driver};SERVER=h;USER=u;PASSWORD=";
    const QString mssql = "Driver={SQL Server};Server=h;Database=d;Uid=u;Pwd=";
    QTest::newRow("MySQL at the limit") << mysql << 0;
    QTest::newRow("MySQL one over") << mysql << 1;
    QTest::newRow("SQL Server at the limit") << mssql << 0;
    QTest::newRow("SQL Server one over") << mssql << 1;
}

void TestConnectionValues::longestString() {
    QFETCH(QString, head);
    QFETCH(int, over);
    using namespace std::chrono_literals;
    const qsizetype added =
        fq::sql::driverConnectionString(head + "p;", 15s, 60s).size() - (head.size() + 2);
    const QString given = head + QString(32767 - added - head.size() - 1 + over, u'p') + u';';
    try {
        const QString handed = fq::sql::driverConnectionString(given, 15s, 60s);
        QCOMPARE(over, 0);
        QCOMPARE(handed.size(), 32767);
    } catch (const fq::sql::Refusal& e) {
        QCOMPARE(over, 1);
        QCOMPARE(e.text(), QStringLiteral("The connection settings are too long: an ODBC driver "
                                          "takes a connection string of at most 32,767 "
                                          "characters, and these make 32,768. Shorten the longest "
                                          "of the values."));
    }
}

QTEST_GUILESS_MAIN(TestConnectionValues)
#include "tst_connectionvalues.moc"
