// Which MariaDB Connector/ODBC versions stream a result's rows with NO_CACHE=1;FORWARDONLY=1 (from
// 3.1.17 on), read from the driver's SQL_DRIVER_VER text; the driver here (3.1.15) does not.
#include "odbc/Connection.h"

#include <QTest>

class TestDriverVersion : public QObject {
    Q_OBJECT

private slots:
    void streams_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("streams");
        QTest::newRow("3.1.16, the last that does not") << "03.01.0016" << false;
        QTest::newRow("3.1.17, the first that streams") << "03.01.0017" << true;
        QTest::newRow("3.2.0, a newer minor with a smaller patch") << "03.02.0000" << true;
        QTest::newRow("3.0.99, an older minor with a larger patch") << "03.00.0099" << false;
    }
    void streams() {
        QFETCH(QString, version);
        QFETCH(bool, streams);
        QCOMPARE(fq::odbc::mariadbStreams(version), streams);
    }
};

QTEST_GUILESS_MAIN(TestDriverVersion)
#include "tst_driverversion.moc"
