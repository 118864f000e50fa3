// MariaDB where nothing listens. The MySQL connection string has no port key, so the port is
// moved with MYSQL_TCP_PORT, which the client library reads once per process: this test runs
// in a process of its own and sets it before the first connection.
#include "commands/Probes.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace fq;

class TestUnreachable : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("MYSQL_TCP_PORT", QByteArray::number(test::unusedLoopbackPort()));
    }

    void probeTestConnectionAndErrorNumber() {
        const sql::ConnectionSettings s = test::localServers();
        QVERIFY(!commands::CanConnectMySQL(s));
        try {
            odbc::Connection().Open(sql::MySQLConnectionStringTestOrder(s));
            QFAIL("the connection opened");
        } catch (const odbc::DbError& e) {
            QCOMPARE(e.number(), odbc::kGenericFailure);
            QCOMPARE(e.sqlState(), QStringLiteral("HY000"));
            QCOMPARE(e.nativeError(), 2002L);
        }
        test::FakeDialogs dialogs;
        test::FakePointer pointer;
        commands::TestConnection(Server::MySQL, s, dialogs, pointer);
        QCOMPARE(pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown[0].prompt.startsWith(QStringLiteral("Could not connect.")));
        QVERIFY2(dialogs.shown[0].detail.contains(QStringLiteral("Native error: 2002")),
                 qPrintable(dialogs.shown[0].detail));
    }
};

QTEST_GUILESS_MAIN(TestUnreachable)
#include "tst_unreachable.moc"
