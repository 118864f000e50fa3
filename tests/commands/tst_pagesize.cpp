#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "odbc/Recordset.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "support/Servers.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <pwd.h>
#include <unistd.h>

using namespace fq;
using test::fillList;

namespace {

QString systemUser() {
    const passwd* pw = ::getpwuid(::getuid());
    return pw != nullptr ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("root");
}

} // namespace

// A copy into a MariaDB whose pages are 4 KB and whose database is latin1: the row size rule
// works with that server's numbers, not with the usual 16 KB and utf8mb4.
class TestPageSize : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void rowRuleFollowsTheServer();

private:
    bool client(const QByteArray& script);
    bool ping();
    sql::ConnectionSettings settings() const;
    QStringList columnTypes(const QString& table);
    long long rowCount(const QString& table);

    std::unique_ptr<QTemporaryDir> dir_;
    QString socket_;
    QProcess server_;
};

bool TestPageSize::client(const QByteArray& script) {
    QProcess c;
    c.start(QStringLiteral("mariadb"),
            {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket_,
             QStringLiteral("-uroot")});
    c.write(script);
    c.closeWriteChannel();
    if (!c.waitForFinished(60000) || c.exitCode() != 0) {
        qWarning("mariadb: %s", c.readAllStandardError().constData());
        return false;
    }
    return true;
}

bool TestPageSize::ping() {
    QProcess p;
    p.start(QStringLiteral("mariadb-admin"),
            {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket_,
             QStringLiteral("-uroot"), QStringLiteral("ping")});
    return p.waitForFinished(10000) && p.exitCode() == 0;
}

void TestPageSize::initTestCase() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    socket_ = dir_->filePath(QStringLiteral("s.sock"));
    // The MySQL connection string has no port: the driver takes it from MYSQL_TCP_PORT.
    const int port = test::unusedLoopbackPort();
    qputenv("MYSQL_TCP_PORT", QByteArray::number(port));
    const QString data = dir_->filePath(QStringLiteral("data"));

    QProcess install;
    install.start(QStringLiteral("mariadb-install-db"),
                  {QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                   QStringLiteral("--user=") + systemUser(), QStringLiteral("--skip-test-db"),
                   QStringLiteral("--auth-root-authentication-method=normal"),
                   QStringLiteral("--innodb-page-size=4k"),
                   QStringLiteral("--innodb-log-file-size=8M")});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

    server_.setProcessChannelMode(QProcess::MergedChannels);
    server_.start(QStringLiteral("mariadbd"),
                  {QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                   QStringLiteral("--socket=") + socket_, QStringLiteral("--port=%1").arg(port),
                   QStringLiteral("--bind-address=") + test::localServers().myServer,
                   QStringLiteral("--user=") + systemUser(), QStringLiteral("--skip-name-resolve"),
                   QStringLiteral("--innodb-page-size=4k"),
                   QStringLiteral("--innodb-log-file-size=8M"),
                   QStringLiteral("--innodb-buffer-pool-size=16M"),
                   QStringLiteral("--character-set-server=utf8mb4")});
    QVERIFY(server_.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(ping(), 30000);
    QVERIFY(client("CREATE DATABASE small CHARACTER SET latin1;"));
}

void TestPageSize::cleanupTestCase() {
    if (server_.state() == QProcess::Running) {
        server_.terminate();
        if (!server_.waitForFinished(30000))
            server_.kill();
    }
}

sql::ConnectionSettings TestPageSize::settings() const {
    sql::ConnectionSettings s = test::localServers();
    s.myUser = QStringLiteral("root");
    s.myPassword.clear();
    s.myDatabase = QStringLiteral("small");
    return s;
}

QStringList TestPageSize::columnTypes(const QString& table) {
    odbc::Connection c;
    c.Open(sql::MySQLConnectionStringCommandOrder(settings()));
    QStringList out;
    for (odbc::Recordset rs =
             c.Execute(QStringLiteral(
                           "SELECT COLUMN_TYPE, CHARACTER_SET_NAME FROM information_schema.COLUMNS "
                           "WHERE TABLE_SCHEMA='small' AND TABLE_NAME=%1 ORDER BY ORDINAL_POSITION")
                           .arg(sql::quoted(table)));
         !rs.Eof(); rs.MoveNext())
        out << rs.Item(0).text() + u' ' + rs.Item(1).text();
    return out;
}

long long TestPageSize::rowCount(const QString& table) {
    odbc::Connection c;
    c.Open(sql::MySQLConnectionStringCommandOrder(settings()));
    return c.Execute(QStringLiteral("SELECT COUNT(*) FROM ") + sql::backticked(table))
        .Item(0)
        .text()
        .toLongLong();
}

// At 4 KB pages a row holds 1,981 bytes: of 40 nvarchar(60) (241 bytes each) 5 stay. A char(50)
// of the latin1 database is 50 bytes, fixed: 30 of them fit as they are.
void TestPageSize::rowRuleFollowsTheServer() {
    const QString national = test::uniqueName(QStringLiteral("ps_n"));
    const QString plain = test::uniqueName(QStringLiteral("ps_c"));
    QStringList statements;
    for (const auto& [name, count, type] :
         {std::tuple{national, 40, QStringLiteral("nvarchar(60)")},
          std::tuple{plain, 30, QStringLiteral("char(50)")}}) {
        QStringList defs;
        QStringList values;
        for (int i = 1; i <= count; ++i) {
            defs << QStringLiteral("c%1 %2").arg(i).arg(type);
            values << QStringLiteral("'v%1'").arg(i);
        }
        statements << QStringLiteral("CREATE TABLE %1 (%2)").arg(name, defs.join(u", "))
                   << QStringLiteral("INSERT INTO %1 VALUES(%2)").arg(name, values.join(u", "));
    }
    test::exec(Server::MSSQL, statements);
    struct Drop {
        QStringList names;
        ~Drop() {
            for (const QString& n : names)
                test::dropIfExists(Server::MSSQL, n);
        }
    } drop{{national, plain}};

    test::TestWindow w;
    w.settings = settings();
    fillList(w.mssqlList, {national, plain}, {national, plain}, national);
    commands::SendTablesToMySQL(w.context());

    for (const auto& box : w.dialogs.shown)
        qWarning("message: %s", qPrintable(box.prompt));
    QCOMPARE(w.dialogs.shown.size(), 0);
    QCOMPARE(columnTypes(national),
             QStringList(5, "varchar(60) utf8mb4") + QStringList(35, "text utf8mb4"));
    QCOMPARE(columnTypes(plain), QStringList(30, "char(50) latin1"));
    QCOMPARE(rowCount(national), 1LL);
    QCOMPARE(rowCount(plain), 1LL);
}

QTEST_GUILESS_MAIN(TestPageSize)
#include "tst_pagesize.moc"
