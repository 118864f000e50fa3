// The connection probes and the Test Connection action against a real server: MariaDB (the
// "mysql" build of this test) or the SQL Server test double (the "mssql" build).

#include "commands/Probes.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QTest>

#include <functional>
#include <optional>

using fq::odbc::DbError;
using fq::sql::ConnectionSettings;
using Change = std::function<void(ConnectionSettings&)>;

Q_DECLARE_METATYPE(Change)

namespace {

#ifdef FQ_TEST_MSSQL
constexpr bool kMSSQL = true;
constexpr fq::Server kServer = fq::Server::MSSQL;
#else
constexpr bool kMSSQL = false;
constexpr fq::Server kServer = fq::Server::MySQL;
#endif

const QString kFailurePrompt =
    "Could not connect. Please check server, username, password, database with your "
    "administrator. For help, write to support@fernquill.example.";

// The settings of this build's server, changed as a row asks.
ConnectionSettings settings(const Change& change) {
    ConnectionSettings s = fq::test::localServers();
    if (change)
        change(s);
    return s;
}

bool probe(const ConnectionSettings& s) {
    return kMSSQL ? fq::commands::CanConnectMSSQL(s) : fq::commands::CanConnectMySQL(s);
}

QString testOrderString(const ConnectionSettings& s) {
    return kMSSQL ? fq::sql::MSSQLConnectionString(s) : fq::sql::MySQLConnectionStringTestOrder(s);
}

void wrongPassword(ConnectionSettings& s) {
    (kMSSQL ? s.msPassword : s.myPassword) += "-wrong";
}
void unknownUser(ConnectionSettings& s) {
    (kMSSQL ? s.msUser : s.myUser) = "fq_nobody";
}
void unknownDatabase(ConnectionSettings& s) {
    (kMSSQL ? s.msDatabase : s.myDatabase) = "fq_no_such_database";
}
void nothingListening(ConnectionSettings& s) {
    s.msServer = "127.0.0.1," + QString::number(fq::test::unusedLoopbackPort());
}
void allEmpty(ConnectionSettings& s) {
    s = ConnectionSettings{};
}

} // namespace

class TestProbes : public QObject {
    Q_OBJECT

private slots:
    void probes_data();
    void probes();
    void errorNumbers_data();
    void errorNumbers();
    void testConnection_data();
    void testConnection();
    void probeKeepsNothingOpen();
};

void TestProbes::probes_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("connects");
    QTest::newRow("right settings") << Change() << true;
    QTest::newRow("wrong password") << Change(wrongPassword) << false;
    QTest::newRow("unknown user") << Change(unknownUser) << false;
    QTest::newRow("unknown database") << Change(unknownDatabase) << false;
    QTest::newRow("all empty") << Change(allEmpty) << false;
    if (kMSSQL)
        QTest::newRow("nothing listening") << Change(nothingListening) << false;
}

void TestProbes::probes() {
    QFETCH(Change, change);
    QFETCH(bool, connects);
    QCOMPARE(probe(settings(change)), connects);
    // A second try opens a new connection and answers the same.
    QCOMPARE(probe(settings(change)), connects);
}

void TestProbes::errorNumbers_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<long>("number");
    QTest::addColumn<QString>("sqlStateClass");
    QTest::addColumn<long>("nativeError");

    QTest::newRow("wrong password") << Change(wrongPassword) << fq::odbc::kLoginRefused
                                    << (kMSSQL ? "42" : "28") << (kMSSQL ? 18456L : 1045L);
    QTest::newRow("unknown user") << Change(unknownUser) << fq::odbc::kLoginRefused
                                  << (kMSSQL ? "42" : "28") << (kMSSQL ? 18456L : 1045L);
    if (kMSSQL) {
        // SQL Server refuses the login itself (18456) besides naming the database (4060).
        QTest::newRow("unknown database")
            << Change(unknownDatabase) << fq::odbc::kLoginRefused << "42" << -1L;
        QTest::newRow("nothing listening")
            << Change(nothingListening) << fq::odbc::kGenericFailure << "08" << 20009L;
    } else {
        QTest::newRow("unknown database")
            << Change(unknownDatabase) << fq::odbc::kGenericFailure << "42" << 1049L;
    }
}

void TestProbes::errorNumbers() {
    QFETCH(Change, change);
    QFETCH(long, number);
    QFETCH(QString, sqlStateClass);
    QFETCH(long, nativeError);

    fq::odbc::Connection c;
    std::optional<DbError> error;
    try {
        c.Open(testOrderString(settings(change)));
    } catch (const DbError& e) {
        error = e;
    }
    QVERIFY2(error.has_value(), "the connection opened");
    QCOMPARE(error->number(), number);
    QVERIFY2(error->sqlState().startsWith(sqlStateClass), qPrintable(error->sqlState()));
    if (nativeError >= 0)
        QCOMPARE(error->nativeError(), nativeError);
    QVERIFY(!error->driverText().isEmpty());
    QCOMPARE(c.State(), 0);
}

void TestProbes::testConnection_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("detailContains");

    QTest::newRow("right settings") << Change() << "Connection successful."
                                    << "";
    QTest::newRow("wrong password")
        << Change(wrongPassword) << kFailurePrompt
        << (kMSSQL ? "Native error: 18456" : "SQLSTATE: 28000\nNative error: 1045");
    QTest::newRow("unknown database") << Change(unknownDatabase) << kFailurePrompt
                                      << (kMSSQL ? "fq_no_such_database" : "Native error: 1049");
    QTest::newRow("all empty") << Change(allEmpty) << kFailurePrompt << "SQLSTATE: ";
    if (kMSSQL) {
        QTest::newRow("nothing listening")
            << Change(nothingListening) << kFailurePrompt << "Native error: 20009";
    }
}

void TestProbes::testConnection() {
    QFETCH(Change, change);
    QFETCH(QString, prompt);
    QFETCH(QString, detailContains);

    fq::test::FakeDialogs dialogs;
    fq::test::FakePointer pointer;
    fq::commands::TestConnection(kServer, settings(change), dialogs, pointer);

    QCOMPARE(pointer.history, QList<int>({11, 1}));
    QCOMPARE(dialogs.shown.size(), 1);
    const auto& box = dialogs.shown.front();
    QCOMPARE(box.prompt, prompt);
    QCOMPARE(box.style, fq::ui::kOkOnly);
    QCOMPARE(box.title, QString()); // the application's title
    if (detailContains.isEmpty())
        QCOMPARE(box.detail, QString());
    else
        QVERIFY2(box.detail.contains(detailContains), qPrintable(box.detail));
}

void TestProbes::probeKeepsNothingOpen() {
    if (kMSSQL)
        QSKIP("The test double's log cannot tell this test's connections from those of "
              "other clients.");
    // An account of this test's own, so that other clients of the shared server don't show up
    // in the server's general log between the marks.
    const QString user = fq::test::uniqueName("fq_probe");
    fq::odbc::Connection admin;
    admin.Open(fq::sql::MySQLConnectionStringCommandOrder(fq::test::localServers()));
    ConnectionSettings s = fq::test::localServers();
    for (const char* host : {"%", "localhost", "127.0.0.1"}) {
        admin.Execute(QString("CREATE USER '%1'@'%2' IDENTIFIED BY 'Probe_pw1'").arg(user, host));
        admin.Execute(QString("GRANT SELECT ON `%1`.* TO '%2'@'%3'").arg(s.myDatabase, user, host));
    }
    s.myUser = user;
    s.myPassword = "Probe_pw1";

    fq::test::LogWatcher log(fq::test::localServerValue("MYSQL_GENERAL_LOG"));
    log.mark();
    const bool first = fq::commands::CanConnectMySQL(s);
    const bool second = fq::commands::CanConnectMySQL(s);
    for (const char* host : {"%", "localhost", "127.0.0.1"})
        admin.Execute(QString("DROP USER '%1'@'%2'").arg(user, host));

    QVERIFY(first);
    QVERIFY(second);
    const QRegularExpression connect("\\s(\\d+)\\s+Connect\\s+" + user + "@\\S+ on ");
    QStringList ids;
    for (const QString& line : log.linesSinceMark()) {
        const auto m = connect.match(line);
        if (m.hasMatch())
            ids << m.captured(1);
    }
    QCOMPARE(ids.size(), 2); // two separate connections
    // The server logs a Quit when the client says goodbye; it may write it a moment later.
    const auto allQuit = [&] {
        const QStringList lines = log.linesSinceMark();
        return std::all_of(ids.begin(), ids.end(), [&](const QString& id) {
            const QRegularExpression quit("\\s" + id + "\\s+Quit");
            return std::any_of(lines.begin(), lines.end(),
                               [&](const QString& l) { return quit.match(l).hasMatch(); });
        });
    };
    QTRY_VERIFY_WITH_TIMEOUT(allQuit(), 5000);
}

QTEST_GUILESS_MAIN(TestProbes)
#include "tst_probes.moc"
