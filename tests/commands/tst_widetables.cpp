#include "commands/SendTables.h"
#include "sql/SqlText.h"
#include "support/Servers.h"

#include <QTest>

#include <algorithm>

using namespace fq;
using test::fillList;

namespace {

// The tables of one test, dropped on both servers when it ends, also when it fails.
struct Tables {
    QStringList names;
    ~Tables() {
        for (const QString& n : names) {
            test::dropIfExists(Server::MySQL, n);
            test::dropIfExists(Server::MSSQL, n);
        }
    }
};

QString column(int i) {
    return QStringLiteral("c%1").arg(i + 1);
}

// The value a test row holds in a column of the source table, as SQL Server literal text:
// full-width values in the first row, NULLs, empty texts, quotes and backslashes in the others.
QString sourceLiteral(const QString& type, int row, int i) {
    if (type == u"int") {
        if (row == 1)
            return i % 7 == 6 ? QStringLiteral("NULL")
                   : i % 2    ? QStringLiteral("2147483647")
                              : QStringLiteral("-2147483648");
        return QString::number(row == 0 ? i : -i - 1);
    }
    const int width = type.startsWith(u"nvarchar") ? 60 : 50;
    QString v;
    if (row == 0) {
        // Every character the column holds; in nvarchar 3 bytes each in UTF-8.
        v = QStringLiteral("r0%1-").arg(column(i));
        v += QString(width - v.size(), type.startsWith(u'n') ? QChar(0x4e2d) : QChar(u'x'));
    } else if (row == 1) {
        if (i % 3 == 1)
            return QStringLiteral("NULL");
        if (i % 3 == 2)
            return QStringLiteral("''");
        v = type.startsWith(u'n') ? QStringLiteral("\U0001F600").repeated(width / 2)
                                  : QStringLiteral("ab");
    } else {
        v = QStringLiteral("It's a \\ in %1").arg(column(i));
    }
    return (type.startsWith(u'n') ? QStringLiteral("N") : QString()) + sql::quoted(v);
}

void createSource(const QString& name, int columns, const QString& type) {
    QStringList defs;
    for (int i = 0; i < columns; ++i)
        defs << column(i) + u' ' + type;
    QStringList statements{
        QStringLiteral("CREATE TABLE %1 (%2)").arg(sql::bracketed(name), defs.join(u", "))};
    for (int row = 0; row < 3; ++row) {
        QStringList values;
        for (int i = 0; i < columns; ++i)
            values << sourceLiteral(type, row, i);
        statements << QStringLiteral("INSERT INTO %1 VALUES(%2)")
                          .arg(sql::bracketed(name), values.join(u", "));
    }
    test::exec(Server::MSSQL, statements);
}

QStringList texts(const QList<odbc::Value>& row) {
    QStringList out;
    for (const odbc::Value& v : row)
        out << (v.isNull() ? QStringLiteral("<NULL>") : v.text());
    return out;
}

// Rows in the order of their texts, so both servers' answers compare whatever order they use.
QList<QStringList> sortedRows(Server server, const QString& table) {
    QList<QStringList> out;
    for (const auto& r : test::rows(server, table, false))
        out << texts(r);
    std::sort(out.begin(), out.end());
    return out;
}

QString trimmedRight(QString t) {
    while (t.endsWith(u' '))
        t.chop(1);
    return t;
}

} // namespace

// SQL Server tables too wide for one InnoDB row as they are: they copy to MySQL with every value,
// the widest short columns becoming text; a table that fits keeps its columns.
class TestWideTables : public QObject {
    Q_OBJECT

private slots:
    void wideTableCopies_data();
    void wideTableCopies();
};

void TestWideTables::wideTableCopies_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("sourceType");
    QTest::addColumn<int>("kept");         // how many leading columns keep their short type
    QTest::addColumn<QString>("keptType"); // in the CREATE TABLE sent to MySQL
    QTest::addColumn<QString>("givenType");

    const QString u8 = QStringLiteral(" CHARACTER SET utf8mb4");
    const QString v60 = QStringLiteral("varchar(60)") + u8;
    const QString text8 = QStringLiteral("text") + u8;
    QTest::newRow("33 nvarchar(60) just fit") << 33 << "nvarchar(60)" << 33 << v60 << text8;
    QTest::newRow("34 nvarchar(60)") << 34 << "nvarchar(60)" << 33 << v60 << text8;
    QTest::newRow("40 nvarchar(60)") << 40 << "nvarchar(60)" << 32 << v60 << text8;
    QTest::newRow("200 nvarchar(60)") << 200 << "nvarchar(60)" << 17 << v60 << text8;
    QTest::newRow("100 char(50)") << 100 << "char(50)" << 33 << "char(50)"
                                  << "text";
    QTest::newRow("1000 int") << 1000 << "int" << 1000 << "int"
                              << "";
}

void TestWideTables::wideTableCopies() {
    QFETCH(int, columns);
    QFETCH(QString, sourceType);
    QFETCH(int, kept);
    QFETCH(QString, keptType);
    QFETCH(QString, givenType);

    test::TestWindow w;
    const QString name = test::uniqueName(QStringLiteral("wide"));
    const Tables drop{{name}};
    createSource(name, columns, sourceType);
    fillList(w.mssqlList, {name}, {name}, name);
    test::ServerLog log(Server::MySQL);
    log.mark();
    commands::SendTablesToMySQL(w.context());

    for (const auto& box : w.dialogs.shown)
        qWarning("message: %s", qPrintable(box.prompt));
    QCOMPARE(w.dialogs.shown.size(), 0);
    QCOMPARE(test::entriesOf(w.mysqlList), QStringList{name});

    // The table as it was created.
    QStringList defs;
    for (int i = 0; i < columns; ++i)
        defs << sql::backticked(column(i)) + u' ' + (i < kept ? keptType : givenType);
    const QString create =
        QStringLiteral("CREATE TABLE %1(%2)").arg(sql::backticked(name), defs.join(u','));
    QStringList creates;
    for (const test::Session& s : log.sessionsMentioning({name})) {
        for (const QString& statement : s.statements) {
            if (statement.startsWith(u"CREATE TABLE"))
                creates << statement;
        }
    }
    QCOMPARE(creates, QStringList{create});

    // Every value: text columns keep a char value's padding, which a MySQL char drops when read.
    QList<QStringList> expected;
    for (const auto& row : test::rows(Server::MSSQL, name, false)) {
        QStringList t = texts(row);
        if (sourceType.startsWith(u"char")) {
            for (int i = 0; i < kept; ++i)
                t[i] = trimmedRight(t[i]);
        }
        expected << t;
    }
    std::sort(expected.begin(), expected.end());
    QCOMPARE(expected.size(), 3);
    QCOMPARE(sortedRows(Server::MySQL, name), expected);
}

QTEST_GUILESS_MAIN(TestWideTables)
#include "tst_widetables.moc"
