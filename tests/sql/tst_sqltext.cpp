#include "sql/SqlText.h"

#include <QTest>

using namespace fq;

// Names and literals as both servers must read them.
class TestSqlText : public QObject {
    Q_OBJECT

private slots:
    void bareNames_data();
    void bareNames();
    void delimiters_data();
    void delimiters();
    void stringLiterals_data();
    void stringLiterals();
    void mysqlZeroCharacter();
    void binaryLiterals_data();
    void binaryLiterals();
};

void TestSqlText::bareNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mysql");
    QTest::addColumn<QString>("mssql");

    QTest::newRow("plain name stays bare") << "Customer"
                                           << "Customer"
                                           << "Customer";
    QTest::newRow("underscore and digits stay bare") << "_t2_x"
                                                     << "_t2_x"
                                                     << "_t2_x";
    QTest::newRow("leading digit") << "2024sales"
                                   << "`2024sales`"
                                   << "[2024sales]";
    QTest::newRow("space") << "my table"
                           << "`my table`"
                           << "[my table]";
    QTest::newRow("statement in a name") << "x; DROP TABLE y"
                                         << "`x; DROP TABLE y`"
                                         << "[x; DROP TABLE y]";
    QTest::newRow("closing bracket") << "a]b"
                                     << "`a]b`"
                                     << "[a]]b]";
    QTest::newRow("backtick") << "a`b"
                              << "`a``b`"
                              << "[a`b]";
    QTest::newRow("non-ASCII letter")
        << QString::fromUtf8("café") << QString::fromUtf8("`café`") << QString::fromUtf8("[café]");
    QTest::newRow("reserved in both, lower case") << "order"
                                                  << "`order`"
                                                  << "[order]";
    QTest::newRow("reserved in both, mixed case") << "Select"
                                                  << "`Select`"
                                                  << "[Select]";
    QTest::newRow("reserved in T-SQL only") << "user"
                                            << "`user`"
                                            << "[user]";
    QTest::newRow("reserved in MySQL only") << "rlike"
                                            << "`rlike`"
                                            << "[rlike]";
    QTest::newRow("reserved with underscore") << "current_date"
                                              << "`current_date`"
                                              << "[current_date]";
    QTest::newRow("reserved with digit") << "int8"
                                         << "`int8`"
                                         << "[int8]";
    QTest::newRow("reserved at the end of the list") << "zerofill"
                                                     << "`zerofill`"
                                                     << "[zerofill]";
    QTest::newRow("reserved at the start of the list") << "accessible"
                                                       << "`accessible`"
                                                       << "[accessible]";
    QTest::newRow("keyword that is not reserved") << "name"
                                                  << "name"
                                                  << "name";
    QTest::newRow("reserved word as a prefix") << "orders"
                                               << "orders"
                                               << "orders";
}

void TestSqlText::bareNames() {
    QFETCH(QString, name);
    QFETCH(QString, mysql);
    QFETCH(QString, mssql);
    QCOMPARE(sql::mysqlBareName(name), mysql);
    QCOMPARE(sql::mssqlBareName(name), mssql);
}

void TestSqlText::delimiters_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("backticked");
    QTest::addColumn<QString>("bracketed");

    QTest::newRow("plain") << "orders"
                           << "`orders`"
                           << "[orders]";
    QTest::newRow("every delimiter doubled") << "]`][``"
                                             << "`]``][`````"
                                             << "[]]`]][``]";
    QTest::newRow("opening bracket not doubled") << "[x"
                                                 << "`[x`"
                                                 << "[[x]";
    QTest::newRow("quote untouched") << "O'Neil"
                                     << "`O'Neil`"
                                     << "[O'Neil]";
}

void TestSqlText::delimiters() {
    QFETCH(QString, name);
    QFETCH(QString, backticked);
    QFETCH(QString, bracketed);
    QCOMPARE(sql::backticked(name), backticked);
    QCOMPARE(sql::bracketed(name), bracketed);
}

void TestSqlText::stringLiterals_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("quoted");
    QTest::addColumn<QString>("mssql");
    QTest::addColumn<QString>("mssqlUnicode");

    QTest::newRow("empty") << ""
                           << "''"
                           << "''"
                           << "N''";
    QTest::newRow("quote doubled") << "O'Neil"
                                   << "'O''Neil'"
                                   << "'O''Neil'"
                                   << "N'O''Neil'";
    QTest::newRow("only quotes") << "''"
                                 << "''''''"
                                 << "''''''"
                                 << "N''''''";
    QTest::newRow("backslash kept") << "a\\'b"
                                    << "'a\\''b'"
                                    << "'a\\''b'"
                                    << "N'a\\''b'";
    QTest::newRow("CJK gets N") << QString::fromUtf8("東京") << QString::fromUtf8("'東京'")
                                << QString::fromUtf8("N'東京'") << QString::fromUtf8("N'東京'");
    QTest::newRow("Latin-1 letter gets N")
        << QString::fromUtf8("é") << QString::fromUtf8("'é'") << QString::fromUtf8("N'é'")
        << QString::fromUtf8("N'é'");
    QTest::newRow("DEL is still ASCII")
        << QString(QChar(0x7f)) << QString("'\x7f'") << QString("'\x7f'") << QString("N'\x7f'");
    QTest::newRow("zero char kept")
        << QString(QChar(0)) << QStringLiteral("'") + QChar(0) + QStringLiteral("'")
        << QStringLiteral("'") + QChar(0) + QStringLiteral("'")
        << QStringLiteral("N'") + QChar(0) + QStringLiteral("'");
}

void TestSqlText::stringLiterals() {
    QFETCH(QString, text);
    QFETCH(QString, quoted);
    QFETCH(QString, mssql);
    QFETCH(QString, mssqlUnicode);
    QCOMPARE(sql::quoted(text), quoted);
    if (!text.contains(QChar(0)))
        QCOMPARE(sql::mysqlString(text), quoted);
    QCOMPARE(sql::mssqlString(text), mssql);
    QCOMPARE(sql::mssqlUnicodeString(text), mssqlUnicode);
}

void TestSqlText::mysqlZeroCharacter() {
    // The driver cuts a statement at U+0000: such a text travels as hex bytes in utf8mb4.
    QCOMPARE(sql::mysqlString(QStringLiteral("a") + QChar(0) + QString::fromUtf8("é'")),
             QStringLiteral("_utf8mb4 X'6100C3A927'"));
    // FreeTDS cuts a batch at U+0000 too: UTF-16LE bytes converted on the server.
    QCOMPARE(sql::mssqlText(QStringLiteral("a") + QChar(0) + QString::fromUtf8("東")),
             QStringLiteral("CONVERT(nvarchar(max), 0x610000007167)"));
    QCOMPARE(sql::mssqlText(QString::fromUtf8("東'")), QString::fromUtf8("N'東'''"));
    QCOMPARE(sql::mssqlText(QStringLiteral("a")), QStringLiteral("'a'"));
}

void TestSqlText::binaryLiterals_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("mysql");
    QTest::addColumn<QString>("mssql");

    QTest::newRow("no bytes") << QByteArray() << "X''"
                              << "0x";
    QTest::newRow("zero bytes kept") << QByteArray("\0\0", 2) << "X'0000'"
                                     << "0x0000";
    QTest::newRow("every nibble") << QByteArray::fromHex("0123456789abcdefff")
                                  << "X'0123456789ABCDEFFF'"
                                  << "0x0123456789ABCDEFFF";
}

void TestSqlText::binaryLiterals() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, mysql);
    QFETCH(QString, mssql);
    QCOMPARE(sql::mysqlBinary(bytes), mysql);
    QCOMPARE(sql::mssqlBinary(bytes), mssql);
}

QTEST_APPLESS_MAIN(TestSqlText)
#include "tst_sqltext.moc"
