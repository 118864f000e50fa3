// 40,000 tables in one MySQL database are listed completely, in order. The tables live on a
// MariaDB of this test's own with its data in memory (creating them on the shared server would
// take many minutes of disk syncs); the driver reaches it through MYSQL_TCP_PORT, since the
// connection string has no port of its own.
#include "commands/Listing.h"
#include "support/TestSupport.h"
#include "ui/qt/QtTableList.h"

#include <QApplication>
#include <QProcess>
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

class ManyTablesTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_{QStringLiteral("/dev/shm/fq_many_XXXXXX")};
    QProcess server_;
    QString address_ = test::localServers().myServer;
    QStringList client_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QString data = QStringLiteral("--datadir=") + dir_.filePath(QStringLiteral("data"));
        const passwd* pw = ::getpwuid(::getuid());
        const QString user = QStringLiteral("--user=") + QString::fromLocal8Bit(pw->pw_name);
        const int port = test::unusedLoopbackPort();
        qputenv("MYSQL_TCP_PORT", QByteArray::number(port));
        client_ = {"--no-defaults", "--socket=" + dir_.filePath(QStringLiteral("s.sock")),
                   "-uroot"};
        QVERIFY(runs("mariadb-install-db",
                     {"--no-defaults", data, user, "--skip-test-db",
                      "--auth-root-authentication-method=normal", "--innodb-log-file-size=8M"}));
        server_.start("mariadbd",
                      {"--no-defaults", data, client_[1], QStringLiteral("--port=%1").arg(port),
                       "--bind-address=" + address_, user, "--skip-name-resolve",
                       "--innodb-log-file-size=8M", "--innodb-buffer-pool-size=16M",
                       "--character-set-server=utf8mb4"});
        QTRY_VERIFY_WITH_TIMEOUT(runs("mariadb-admin", client_ + QStringList{"ping"}), 30000);
        // Root over TCP from the servers' address, which is not localhost.
        QByteArray script("CREATE USER root@'%'; GRANT ALL ON *.* TO root@'%';\n"
                          "CREATE DATABASE many; USE many;\n");
        for (int i = 0; i < kTables; ++i)
            script += "CREATE TABLE `" + tableName(i).toLatin1() + "` (i int) ENGINE=MEMORY;\n";
        QVERIFY(runs("mariadb", client_, script));
    }

    // The database goes with the server's data folder.
    void cleanupTestCase() {
        server_.terminate();
        if (!server_.waitForFinished(30000))
            server_.kill();
    }

    void fortyThousandTablesListCompletely() {
        sql::ConnectionSettings s;
        s.myServer = address_;
        s.myUser = QStringLiteral("root");
        s.myDatabase = QStringLiteral("many");
        test::FakeDialogs dialogs;
        ui::qt::QtTableList list;
        commands::TableListing().LoadMySQLTables(list, s, dialogs);
        for (const auto& box : std::as_const(dialogs.shown))
            QFAIL(qPrintable(box.prompt));
        QCOMPARE(list.ListCount(), kTables);
        for (int i = 0; i < kTables; ++i) {
            if (list.List(i) != tableName(i))
                QFAIL(qPrintable(QStringLiteral("entry %1 is %2").arg(i).arg(list.List(i))));
        }
        QCOMPARE(list.ListIndex(), 0);
    }
};

QTEST_MAIN(ManyTablesTest)
#include "tst_listing_many.moc"
