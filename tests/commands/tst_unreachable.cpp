// MariaDB where nothing listens. The MySQL connection string has no port key, so the port is
// moved with MYSQL_TCP_PORT, which the client library reads once per process: this test runs
// in a process of its own and sets it before the first connection.

#include "commands/Probes.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "support/TestSupport.h"

#include <QTest>

#include <optional>

using fq::odbc::DbError;

class TestUnreachable : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("MYSQL_TCP_PORT", QByteArray::number(fq::test::unusedLoopbackPort()));
    }

    void probeIsFalse() { QVERIFY(!fq::commands::CanConnectMySQL(fq::test::localServers())); }

    void genericFailureNumber() {
        fq::odbc::Connection c;
        std::optional<DbError> error;
        try {
            c.Open(fq::sql::MySQLConnectionStringTestOrder(fq::test::localServers()));
        } catch (const DbError& e) {
            error = e;
        }
        QVERIFY2(error.has_value(), "the connection opened");
        QCOMPARE(error->number(), fq::odbc::kGenericFailure);
        QCOMPARE(error->sqlState(), QString("HY000"));
        QCOMPARE(error->nativeError(), 2002L);
    }

    void testConnectionReportsIt() {
        fq::test::FakeDialogs dialogs;
        fq::test::FakePointer pointer;
        fq::commands::TestConnection(fq::Server::MySQL, fq::test::localServers(), dialogs, pointer);
        QCOMPARE(pointer.history, QList<int>({11, 1}));
        QCOMPARE(dialogs.shown.size(), 1);
        QVERIFY(dialogs.shown.front().prompt.startsWith("Could not connect."));
        QVERIFY2(dialogs.shown.front().detail.contains("Native error: 2002"),
                 qPrintable(dialogs.shown.front().detail));
    }
};

QTEST_GUILESS_MAIN(TestUnreachable)
#include "tst_unreachable.moc"
