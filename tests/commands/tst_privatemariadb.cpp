// A MariaDB of this test's own (reached through MYSQL_TCP_PORT), in memory, with 4 KB InnoDB
// pages: 40,000 tables listed in order, the row size rule with its numbers, then nothing listening.
#include "commands/Listing.h"
#include "commands/Probes.h"
#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "support/Servers.h"
#include "ui/qt/QtTableList.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace fq;

namespace {

constexpr int kTables = 40000;

// Upper and lower case alternate, so that the list's own order is tested at this size too.
QString tableName(int i) {
    return QString(QChar(i % 2 == 0 ? u't' : u'T')) +
           QStringLiteral("%1").arg(i, 5, 10, QChar(u'0'));
}

bool runs(const QString& program, const QStringList& arguments, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, arguments);
    p.write(input);
    p.closeWriteChannel();
    if (p.waitForFinished(300000) && p.exitCode() == 0)
        return true;
    qWarning("%s: %s", qPrintable(program), p.readAllStandardError().constData());
    return false;
}

} // namespace

class PrivateMariaDbTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_{QStringLiteral("/dev/shm/fq_private_XXXXXX")};
    QProcess server_;

    // Root on the private server, in one of its databases.
    static sql::ConnectionSettings settings(const QString& database) {
        sql::ConnectionSettings s = test::localServers();
        s.myUser = QStringLiteral("root");
        s.myPassword.clear();
        s.myDatabase = database;
        return s;
    }
    static QString first(const QString& query) {
        odbc::Connection c;
        c.Open(sql::MySQLConnectionStringCommandOrder(settings(QStringLiteral("small"))));
        return c.Execute(query).Item(0).text();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QString data = "--datadir=" + dir_.filePath(QStringLiteral("data"));
        const QString user = "--user=" + QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
        const QString socket = "--socket=" + dir_.filePath(QStringLiteral("s.sock"));
        const int port = test::unusedLoopbackPort();
        qputenv("MYSQL_TCP_PORT", QByteArray::number(port));
        const QStringList pages{"--innodb-page-size=4k", "--innodb-log-file-size=8M"};
        QVERIFY(
            runs("mariadb-install-db", QStringList{"--no-defaults", data, user, "--skip-test-db",
                                                   "--auth-root-authentication-method=normal"} +
                                           pages));
        server_.start("mariadbd",
                      QStringList{"--no-defaults", data, socket,
                                  QStringLiteral("--port=%1").arg(port),
                                  "--bind-address=" + test::localServers().myServer, user,
                                  "--skip-name-resolve", "--innodb-buffer-pool-size=16M",
                                  "--character-set-server=utf8mb4"} +
                          pages);
        const QStringList client{"--no-defaults", socket, "-uroot"};
        QTRY_VERIFY_WITH_TIMEOUT(runs("mariadb-admin", client + QStringList{"ping"}), 30000);
        // Root over TCP from the servers' address, which is not localhost.
        QByteArray script("CREATE USER root@'%'; GRANT ALL ON *.* TO root@'%';\n"
                          "CREATE DATABASE small CHARACTER SET latin1;\n"
                          "CREATE DATABASE many; USE many;\n");
        for (int i = 0; i < kTables; ++i)
            script += "CREATE TABLE `" + tableName(i).toLatin1() + "` (i int) ENGINE=MEMORY;\n";
        QVERIFY(runs("mariadb", client, script));
    }

    void cleanupTestCase() {
        server_.terminate();
        if (!server_.waitForFinished(30000))
            server_.kill();
    }

    void fortyThousandTablesListCompletely() {
        test::FakeDialogs dialogs;
        ui::qt::QtTableList list;
        commands::TableListing().LoadMySQLTables(list, settings(QStringLiteral("many")), dialogs);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(list.ListCount(), kTables);
        for (int i = 0; i < kTables; ++i)
            if (list.List(i) != tableName(i))
                QFAIL(qPrintable(QStringLiteral("entry %1 is %2").arg(i).arg(list.List(i))));
        QCOMPARE(list.ListIndex(), 0);
    }

    // At 4 KB pages a row holds 1,981 bytes: of 40 nvarchar(60) (241 bytes each) 5 stay. A
    // char(50) of the latin1 database is 50 bytes, fixed: 30 of them fit as they are.
    void rowRuleFollowsTheServer() {
        // Not through the harness's scratch names: its MySQL connections would reach this server.
        const QString national = test::uniqueName(QStringLiteral("ps_n"));
        const QString plain = test::uniqueName(QStringLiteral("ps_c"));
        const auto drop = qScopeGuard([&] {
            test::dropIfExists(Server::MSSQL, national);
            test::dropIfExists(Server::MSSQL, plain);
        });
        for (const auto& [name, count, type] :
             {std::tuple{national, 40, QStringLiteral("nvarchar(60)")},
              std::tuple{plain, 30, QStringLiteral("char(50)")}}) {
            QStringList defs;
            QStringList values;
            for (int i = 1; i <= count; ++i) {
                defs << QStringLiteral("c%1 %2").arg(i).arg(type);
                values << QStringLiteral("'v%1'").arg(i);
            }
            test::exec(Server::MSSQL,
                       {QStringLiteral("CREATE TABLE %1 (%2)").arg(name, defs.join(u", ")),
                        QStringLiteral("INSERT INTO %1 VALUES(%2)").arg(name, values.join(u", "))});
        }
        test::TestWindow w;
        w.settings = settings(QStringLiteral("small"));
        test::fillList(w.mssqlList, {national, plain}, {national, plain}, national);
        commands::SendTablesToMySQL(w.context());

        QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.shown.value(0).prompt));
        const auto columnTypes = [](const QString& table) {
            return first(QStringLiteral("SELECT GROUP_CONCAT(COLUMN_TYPE, ' ', CHARACTER_SET_NAME "
                                        "ORDER BY ORDINAL_POSITION) FROM information_schema."
                                        "COLUMNS WHERE TABLE_SCHEMA='small' AND TABLE_NAME=%1")
                             .arg(sql::quoted(table)));
        };
        QCOMPARE(
            columnTypes(national),
            (QStringList(5, "varchar(60) utf8mb4") + QStringList(35, "text utf8mb4")).join(u','));
        QCOMPARE(columnTypes(plain), QStringList(30, "char(50) latin1").join(u','));
        for (const QString& table : {national, plain})
            QCOMPARE(first("SELECT COUNT(*) FROM " + sql::backticked(table)), QStringLiteral("1"));
    }

    void nothingListening() {
        cleanupTestCase();
        const sql::ConnectionSettings s = settings(QStringLiteral("small"));
        QVERIFY(!commands::CanConnectMySQL(s));
        test::FakeDialogs dialogs;
        test::FakePointer pointer;
        commands::TestConnection(Server::MySQL, s, dialogs, pointer);
        QCOMPARE(pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown[0].prompt.startsWith(QStringLiteral("Could not connect.")));
        QVERIFY2(
            dialogs.shown[0].detail.contains(QStringLiteral("SQLSTATE: HY000\nNative error: 2002")),
            qPrintable(dialogs.shown[0].detail));
    }
};

QTEST_MAIN(PrivateMariaDbTest)
#include "tst_privatemariadb.moc"
