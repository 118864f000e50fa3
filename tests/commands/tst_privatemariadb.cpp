// A MariaDB of this test's own on a port of its own (host:port in the MySQL server setting), in
// memory, with 4 KB InnoDB pages: reached from the setup window and from the terminal, the row
// size rule with its numbers, 33,000 tables listed in order, then nothing listening.
#include "app/Form1.h"
#include "app/Form2.h"
#include "commands/Listing.h"
#include "commands/Probes.h"
#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "settings/SettingsStore.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "support/Servers.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtTableList.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace fq;

namespace {

// Past 32,767, the most a list of 16-bit indexes holds.
constexpr int kTables = 33000;

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
    QProcess creating_; // the many tables, made while the first tests run
    const int port_ = test::unusedLoopbackPort();

    // Root on the private server, in one of its databases, reached at the host given (the local
    // servers' address unless another is named) and the server's port.
    sql::ConnectionSettings settings(const QString& database, QString host = {}) const {
        sql::ConnectionSettings s = test::localServers();
        if (host.isEmpty())
            host = s.myServer;
        s.myServer = host + u':' + QString::number(port_);
        s.myUser = QStringLiteral("root");
        s.myPassword.clear();
        s.myDatabase = database;
        return s;
    }
    QString first(const QString& query) const {
        odbc::Connection c;
        commands::openConnection(
            c, sql::MySQLConnectionStringCommandOrder(settings(QStringLiteral("small"))));
        return c.execute(query).value(0).text();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QString data = "--datadir=" + dir_.filePath(QStringLiteral("data"));
        const QString user = "--user=" + QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
        const QString socket = "--socket=" + dir_.filePath(QStringLiteral("s.sock"));
        const QStringList pages{"--innodb-page-size=4k", "--innodb-log-file-size=8M"};
        QVERIFY(
            runs("mariadb-install-db", QStringList{"--no-defaults", data, user, "--skip-test-db",
                                                   "--auth-root-authentication-method=normal"} +
                                           pages));
        // The local servers' address, and 127.0.0.1 for "localhost".
        QString addresses = test::localServers().myServer;
        if (addresses != u"127.0.0.1")
            addresses += QStringLiteral(",127.0.0.1");
        server_.start(
            "mariadbd",
            QStringList{"--no-defaults", data, socket, QStringLiteral("--port=%1").arg(port_),
                        "--bind-address=" + addresses, user, "--skip-name-resolve",
                        "--innodb-buffer-pool-size=16M", "--character-set-server=utf8mb4"} +
                pages);
        const QStringList client{"--no-defaults", socket, "-uroot"};
        QTRY_VERIFY_WITH_TIMEOUT(runs("mariadb-admin", client + QStringList{"ping"}), 30000);
        // Root over TCP from the servers' address, which is not localhost.
        QVERIFY(runs("mariadb", client,
                     "CREATE USER root@'%'; GRANT ALL ON *.* TO root@'%';\n"
                     "CREATE DATABASE small CHARACTER SET latin1;\n"
                     "CREATE DATABASE ported; CREATE TABLE ported.reached (i int);\n"
                     "CREATE DATABASE many;\n"));
        // The client reads them from a file, so that they go on while this process does other
        // things. MyISAM: a MEMORY table's creation looks through every other one by name.
        QFile script(dir_.filePath(QStringLiteral("many.sql")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("USE many;\n");
        for (int i = 0; i < kTables; ++i)
            script.write("CREATE TABLE `" + tableName(i).toLatin1() + "` (i int) ENGINE=MyISAM;\n");
        script.close();
        creating_.setStandardInputFile(script.fileName());
        creating_.start("mariadb", client);
    }

    void cleanupTestCase() {
        creating_.kill();
        creating_.waitForFinished();
        server_.terminate();
        if (!server_.waitForFinished(30000))
            server_.kill();
    }

    // The setup window with the server's port typed after its host: Test Connection opens it, and
    // OK the table manager with its tables. The terminal reaches it with the same setting.
    void hostAndPortReachIt_data() {
        QTest::addColumn<QString>("host");
        QTest::newRow("address:port") << QString();
        QTest::newRow("localhost:port") << QStringLiteral("localhost");
    }

    void hostAndPortReachIt() {
        QFETCH(QString, host);
        const sql::ConnectionSettings s = settings(QStringLiteral("ported"), host);
        QTemporaryDir config;
        settings::SettingsStore store(config.path());
        test::storeSettings(store, s);
        {
            test::FakeDialogs dialogs;
            app::Form1 form1(store, dialogs);
            form1.Load(); // no password: the settings are not tried
            QVERIFY(form1.isVisible() && form1.tableManager() == nullptr);
            QCOMPARE(form1.findChild<QLineEdit*>(QStringLiteral("Text1"))->text(), s.myServer);
            for (const char* button : {"Check3", "Check2"}) // Test Connection, OK
                QTest::mouseClick(form1.findChild<ui::qt::PopupButton*>(button), Qt::LeftButton);
            QCOMPARE(dialogs.shown.size(), 1);
            QCOMPARE(dialogs.shown[0].prompt, QStringLiteral("Connection successful."));
            QVERIFY(form1.tableManager() != nullptr && form1.tableManager()->isVisible());
            QCOMPARE(test::entriesOf(form1.tableManager()->mysqlList()),
                     QStringList{QStringLiteral("reached")});
        }
        const QString file = config.filePath(QStringLiteral("Marrowind/Fernquill.ini"));
        for (const auto& [arguments, err, out] :
             {std::tuple{QStringList{"test", "--on", "mysql"},
                         QStringLiteral("MySQL Database: Connection successful.\n"), QString()},
              std::tuple{QStringList{"list", "--on", "mysql"}, QString(),
                         QStringLiteral("reached\n")}}) {
            QProcess terminal;
            terminal.start(QStringLiteral(FQ_FERNQUILL),
                           arguments + QStringList{QStringLiteral("--settings"), file});
            QVERIFY(terminal.waitForFinished(60000));
            QCOMPARE(QString::fromUtf8(terminal.readAllStandardError()), err);
            QCOMPARE(QString::fromUtf8(terminal.readAllStandardOutput()), out);
            QCOMPARE(terminal.exitCode(), 0);
        }
    }

    // At 4 KB pages a row holds 1,981 bytes: of 40 nvarchar(60) (241 bytes each) 5 stay. A
    // char(50) of the latin1 database is 50 bytes, fixed: 30 of them fit as they are.
    void rowRuleFollowsTheServer() {
        // The sources are dropped from SQL Server here; their copies go with this server.
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
        const auto columnTypes = [this](const QString& table) {
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

    void manyTablesListCompletely() {
        QVERIFY(creating_.waitForFinished(300000));
        QVERIFY2(creating_.exitCode() == 0, creating_.readAllStandardError().constData());
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
            dialogs.shown[0].detail.contains(QStringLiteral("SQLSTATE HY000, native error 2002")),
            qPrintable(dialogs.shown[0].detail));
    }
};

QTEST_MAIN(PrivateMariaDbTest)
#include "tst_privatemariadb.moc"
