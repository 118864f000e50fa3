// 40,000 tables in one MySQL database are listed completely, in order. The tables live on a
// MariaDB of this test's own with its data in memory (creating them on the shared server would
// take many minutes of disk syncs); the driver reaches it through MYSQL_TCP_PORT, since the
// connection string has no port of its own.
#include "commands/Listing.h"
#include "support/TestSupport.h"
#include "ui/qt/QtTableList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

#include <memory>

using namespace fq;

namespace {

constexpr int kTables = 40000;

QString tableName(int i) {
    // Upper and lower case alternate, so that the list's own order is tested at this size too.
    return QString(QChar(i % 2 == 0 ? u't' : u'T')) +
           QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
}

QString systemUser() {
    const passwd* pw = ::getpwuid(::getuid());
    return pw != nullptr ? QString::fromLocal8Bit(pw->pw_name) : QStringLiteral("root");
}

} // namespace

class ManyTablesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fortyThousandTablesListCompletely();

private:
    bool ping();
    bool client(const QByteArray& script);

    std::unique_ptr<QTemporaryDir> dir_;
    QProcess server_;
    QString socket_;
};

bool ManyTablesTest::ping() {
    QProcess admin;
    admin.start(QStringLiteral("mariadb-admin"),
                {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket_,
                 QStringLiteral("-uroot"), QStringLiteral("ping")});
    return admin.waitForFinished(5000) && admin.exitCode() == 0;
}

bool ManyTablesTest::client(const QByteArray& script) {
    QProcess c;
    c.start(QStringLiteral("mariadb"),
            {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + socket_,
             QStringLiteral("-uroot")});
    if (!c.waitForStarted())
        return false;
    c.write(script);
    c.closeWriteChannel();
    if (!c.waitForFinished(300000) || c.exitCode() != 0) {
        qWarning("mariadb: %s", c.readAllStandardError().constData());
        return false;
    }
    return true;
}

void ManyTablesTest::initTestCase() {
    const QString memory = QStringLiteral("/dev/shm");
    dir_ = QFileInfo(memory).isWritable()
               ? std::make_unique<QTemporaryDir>(memory + QStringLiteral("/fq_many_XXXXXX"))
               : std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    socket_ = dir_->filePath(QStringLiteral("s.sock"));
    const int port = test::unusedLoopbackPort();
    qputenv("MYSQL_TCP_PORT", QByteArray::number(port));

    QProcess install;
    install.start(QStringLiteral("mariadb-install-db"),
                  {QStringLiteral("--no-defaults"),
                   QStringLiteral("--datadir=") + dir_->filePath(QStringLiteral("data")),
                   QStringLiteral("--user=") + systemUser(), QStringLiteral("--skip-test-db"),
                   QStringLiteral("--auth-root-authentication-method=normal"),
                   QStringLiteral("--innodb-log-file-size=8M")});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAllStandardError().constData());

    server_.setProcessChannelMode(QProcess::MergedChannels);
    server_.start(QStringLiteral("mariadbd"),
                  {QStringLiteral("--no-defaults"),
                   QStringLiteral("--datadir=") + dir_->filePath(QStringLiteral("data")),
                   QStringLiteral("--socket=") + socket_, QStringLiteral("--port=%1").arg(port),
                   QStringLiteral("--bind-address=127.0.0.1"),
                   QStringLiteral("--user=") + systemUser(), QStringLiteral("--skip-name-resolve"),
                   QStringLiteral("--innodb-log-file-size=8M"),
                   QStringLiteral("--innodb-buffer-pool-size=16M"),
                   QStringLiteral("--character-set-server=utf8mb4")});
    QVERIFY(server_.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(ping(), 30000);

    QElapsedTimer timer;
    timer.start();
    QByteArray script("CREATE DATABASE many; USE many;\n");
    for (int i = 0; i < kTables; ++i)
        script += "CREATE TABLE `" + tableName(i).toLatin1() + "` (i int) ENGINE=MEMORY;\n";
    QVERIFY(client(script));
    qInfo("created %d tables in %lld ms", kTables, timer.elapsed());
}

void ManyTablesTest::cleanupTestCase() {
    // The database goes with the server's data folder (dropping 40,000 tables one by one would
    // take minutes).
    if (server_.state() == QProcess::Running) {
        server_.terminate();
        if (!server_.waitForFinished(30000))
            server_.kill();
    }
}

void ManyTablesTest::fortyThousandTablesListCompletely() {
    sql::ConnectionSettings s;
    s.myServer = QStringLiteral("127.0.0.1");
    s.myUser = QStringLiteral("root");
    s.myDatabase = QStringLiteral("many");
    test::FakeDialogs dialogs;
    ui::qt::QtTableList list;
    QElapsedTimer timer;
    timer.start();
    commands::TableListing().LoadMySQLTables(list, s, dialogs);
    qInfo("listed %d tables in %lld ms", list.ListCount(), timer.elapsed());
    QVERIFY2(dialogs.shown.isEmpty(),
             dialogs.shown.isEmpty() ? "" : qPrintable(dialogs.shown.first().prompt));
    QCOMPARE(list.ListCount(), kTables);
    for (int i = 0; i < kTables; ++i) {
        if (list.List(i) != tableName(i))
            QFAIL(qPrintable(QStringLiteral("entry %1 is %2").arg(i).arg(list.List(i))));
    }
    QCOMPARE(list.ListIndex(), 0);
}

QTEST_MAIN(ManyTablesTest)
#include "tst_listing_many.moc"
