// Single-precision values copied both ways, checked bit for bit: a MySQL float becomes a SQL Server
// real and the other way round, with the extremes, both zeros, the smallest normal value and
// values with no short decimal form. MySQL does not keep the sign of a zero (it stores and
// prints -0 as 0); SQL Server does. SQL Server fills a real (and a float) from text only within
// the normal range and stores anything closer to zero as 0, so a subnormal value stops the copy
// with a message instead of arriving as 0.

#include "commands/SendTables.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"

#include <QTest>

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>

using fq::Server;
using fq::test::entriesOf;
using fq::test::fillList;
using fq::test::TestWindow;

namespace {

struct Sample {
    const char* name;
    float value;
};

// Every one of these crosses both ways.
const Sample kSamples[] = {
    {"zero", 0.0f},
    {"negative zero", -0.0f},
    {"largest", FLT_MAX},
    {"largest negative", -FLT_MAX},
    {"smallest normal", FLT_MIN},
    {"smallest normal negative", -FLT_MIN},
    {"next above the smallest normal", std::nextafter(FLT_MIN, 1.0f)},
    {"next below the largest", std::nextafter(FLT_MAX, 0.0f)},
    {"a tenth", 0.1f},
    {"a third", 1 / 3.f},
    {"2 to the 24th plus 2", 16777218.0f},
    {"seven digits", 1234.567f},
};

// The shortest text that reads back as the float's exact value, as a double: what a test writes
// to put a float into a table.
QString exactText(float f) {
    std::array<char, 64> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), static_cast<double>(f));
    return QString::fromLatin1(buf.data(), r.ptr - buf.data());
}

QString delimited(Server server, const QString& name) {
    return server == Server::MySQL ? u'`' + name + u'`' : u'[' + name + u']';
}

// The table name, with one row per sample: (position, value) in a column of the server's single
// precision type.
QString makeTable(Server server, const QString& prefix) {
    const QString name = fq::test::uniqueName(prefix);
    QStringList statements{QStringLiteral("CREATE TABLE %1 (id int, f %2)")
                               .arg(delimited(server, name), server == Server::MySQL
                                                                 ? QStringLiteral("float")
                                                                 : QStringLiteral("real"))};
    int id = 0;
    for (const Sample& s : kSamples)
        statements << QStringLiteral("INSERT INTO %1 VALUES(%2, '%3')")
                          .arg(delimited(server, name))
                          .arg(++id)
                          .arg(exactText(s.value));
    fq::test::exec(server, statements);
    return name;
}

// What a sample is after MySQL held it: the same float, but a zero without its sign.
float afterMySql(float f) {
    return f == 0 ? 0.0f : f;
}

// Each stored value, bit for bit, against the samples (as MySQL keeps them, when they were in
// MySQL on their way).
void verifySamples(Server server, const QString& table, bool throughMySql) {
    const auto rows = fq::test::rows(server, table);
    QCOMPARE(rows.size(), qsizetype(std::size(kSamples)));
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const Sample& s = kSamples[i];
        const float want = throughMySql ? afterMySql(s.value) : s.value;
        const fq::odbc::Value& v = rows[i][1];
        QVERIFY2(v.kind() == fq::odbc::Value::Kind::Double, s.name);
        // A float read from either server is the float's exact value; its text is the shortest
        // text of that value as a double, which reads back to the same bits.
        const double got = v.text().toDouble();
        QVERIFY2(std::bit_cast<std::uint64_t>(got) ==
                         std::bit_cast<std::uint64_t>(static_cast<double>(want)) &&
                     v.text() == exactText(want),
                 qPrintable(QStringLiteral("%1: expected %2, got %3")
                                .arg(QString::fromLatin1(s.name), exactText(want), v.text())));
    }
}

} // namespace

class TestFloats : public QObject {
    Q_OBJECT

private slots:
    void mysqlFloatToSqlServer();
    void sqlServerRealToMySql();
    void subnormalStopsTheCopyToSqlServer_data();
    void subnormalStopsTheCopyToSqlServer();
    void subnormalArrivesInMySql();
};

void TestFloats::mysqlFloatToSqlServer() {
    const QString name = makeTable(Server::MySQL, QStringLiteral("float_my"));
    verifySamples(Server::MySQL, name, true);
    TestWindow w;
    fillList(w.mysqlList, {name}, {name}, name);
    fq::commands::SendTablesToMSSQL(w.context());
    for (const auto& box : w.dialogs.shown)
        QFAIL(qPrintable(box.prompt));
    QCOMPARE(entriesOf(w.mssqlList), QStringList{name});
    verifySamples(Server::MSSQL, name, true);
    fq::test::dropIfExists(Server::MySQL, name);
    fq::test::dropIfExists(Server::MSSQL, name);
}

void TestFloats::sqlServerRealToMySql() {
    const QString name = makeTable(Server::MSSQL, QStringLiteral("float_ms"));
    verifySamples(Server::MSSQL, name, false);
    TestWindow w;
    fillList(w.mssqlList, {name}, {name}, name);
    fq::commands::SendTablesToMySQL(w.context());
    for (const auto& box : w.dialogs.shown)
        QFAIL(qPrintable(box.prompt));
    QCOMPARE(entriesOf(w.mysqlList), QStringList{name});
    verifySamples(Server::MySQL, name, true);
    fq::test::dropIfExists(Server::MySQL, name);
    fq::test::dropIfExists(Server::MSSQL, name);
}

void TestFloats::subnormalStopsTheCopyToSqlServer_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value"); // as written into MySQL, and as named in the message
    QTest::addColumn<QString>("holds"); // the type, and its smallest normal value
    QTest::newRow("float into real") << "float" << exactText(-std::nextafter(0.0f, 1.0f))
                                     << "real holds (its smallest is 1.1754944e-38)";
    QTest::newRow("float just below the normal range into real")
        << "float" << exactText(std::nextafter(FLT_MIN, 0.0f))
        << "real holds (its smallest is 1.1754944e-38)";
    QTest::newRow("double into float") << "double"
                                       << "5e-324"
                                       << "float holds (its smallest is 2.2250738585072014e-308)";
}

// SQL Server would store a subnormal value as 0: the copy stops at its row and says why.
void TestFloats::subnormalStopsTheCopyToSqlServer() {
    QFETCH(QString, type);
    QFETCH(QString, value);
    QFETCH(QString, holds);
    const QString name = fq::test::uniqueName(QStringLiteral("float_sub"));
    fq::test::exec(
        Server::MySQL,
        {QStringLiteral("CREATE TABLE `%1` (id int, f %2)").arg(name, type),
         QStringLiteral("INSERT INTO `%1` VALUES(1, 1.5), (2, '%2'), (3, 2.5)").arg(name, value)});
    TestWindow w;
    fillList(w.mysqlList, {name}, {name}, name);
    fq::commands::SendTablesToMSSQL(w.context());

    QCOMPARE(w.dialogs.shown.size(), 1);
    const QString prompt = w.dialogs.shown[0].prompt;
    QVERIFY2(prompt.startsWith(
                 QStringLiteral("Copying the table %1 to SQL Server stopped while copying row 2")
                     .arg(name)),
             qPrintable(prompt));
    QVERIFY2(prompt.contains(QStringLiteral("The value %1 is closer to zero than SQL Server's %2; "
                                            "it would arrive as 0.")
                                 .arg(value, holds)),
             qPrintable(prompt));
    QCOMPARE(fq::test::count(Server::MSSQL, name), 1LL);
    fq::test::dropIfExists(Server::MySQL, name);
    fq::test::dropIfExists(Server::MSSQL, name);
}

// MySQL keeps a subnormal float from the text a copy writes: read back, it is the same float.
void TestFloats::subnormalArrivesInMySql() {
    const QString name = fq::test::uniqueName(QStringLiteral("float_sub_my"));
    const float values[] = {std::nextafter(0.0f, 1.0f), -std::nextafter(0.0f, 1.0f),
                            std::nextafter(FLT_MIN, 0.0f)};
    QStringList statements{QStringLiteral("CREATE TABLE `%1` (id int, f float)").arg(name)};
    for (int i = 0; i < 3; ++i)
        statements << QStringLiteral("INSERT INTO `%1` VALUES(%2, '%3')")
                          .arg(name)
                          .arg(i)
                          .arg(exactText(values[i]));
    fq::test::exec(Server::MySQL, statements);
    const auto rows = fq::test::rows(Server::MySQL, name);
    QCOMPARE(rows.size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(rows[i][1].text(), exactText(values[i]));
    fq::test::dropIfExists(Server::MySQL, name);
}

QTEST_GUILESS_MAIN(TestFloats)
#include "tst_floats.moc"
