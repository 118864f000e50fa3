// MySQL text as it is read, whatever its size: every character arrives, a leading U+FEFF (which
// a UTF-8 decoder may take for a byte order mark and drop) included, in a value read in one call
// and in one larger than the reader's first call.
#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"
#include "support/Servers.h"

#include <QTest>

using namespace fq;

class TestTextReading : public QObject {
    Q_OBJECT

private slots:
    void everyCharacterArrives_data() {
        QTest::addColumn<QString>("text");
        const QString bom(QChar(0xFEFF));
        QTest::newRow("a leading U+FEFF, short") << bom + QStringLiteral("abc");
        QTest::newRow("only U+FEFF") << bom;
        QTest::newRow("a leading U+FEFF, longer than the first call")
            << bom + QStringLiteral("x\u00e9").repeated(5000);
        QTest::newRow("two leading U+FEFF, longer than the first call")
            << bom + bom + QStringLiteral("\u20ac").repeated(3000);
        QTest::newRow("U+FEFF after a character split between calls")
            << QStringLiteral("a").repeated(4094) + QStringLiteral("\u00e9") + bom;
    }
    void everyCharacterArrives() {
        QFETCH(QString, text);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("text"));
        // Sent as bytes, so that nothing on the way in can change it.
        test::exec(
            Server::MySQL,
            {QStringLiteral("CREATE TABLE `%1` (t longtext CHARACTER SET utf8mb4)").arg(name),
             QStringLiteral("INSERT INTO `%1` VALUES(CONVERT(X'%2' USING utf8mb4))")
                 .arg(name, QString::fromLatin1(text.toUtf8().toHex()))});
        odbc::Connection c;
        c.Open(sql::MySQLConnectionStringCommandOrder(test::localServers()));
        odbc::Recordset rs = c.Execute(QStringLiteral("SELECT t FROM `%1`").arg(name));
        QVERIFY(!rs.Eof());
        const QString read = rs.Item(0).text();
        QCOMPARE(read.size(), text.size());
        QCOMPARE(read, text);
    }
};

QTEST_GUILESS_MAIN(TestTextReading)
#include "tst_textreading.moc"
