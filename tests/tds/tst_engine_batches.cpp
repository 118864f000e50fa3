// Batches of several statements in the test server's engine: where a batch stops, IF and
// EXISTS, start-up scripts, timestamp columns, and the queries tests write against the double.

#include <QtTest>

#include "EngineRun.h"

using namespace enginetest;

class TestEngineBatches : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void batchStopsWhereSqlServerStops_data();
    void batchStopsWhereSqlServerStops();
    void conditionalStatements_data();
    void conditionalStatements();
    void sampleScriptRuns();
    void scriptReportsErrors();
    void timestampColumn();
    void keysIdentityAndDefaults_data();
    void keysIdentityAndDefaults();
    void refusedConstraint_data();
    void refusedConstraint();
    void queriesOverUserTables_data();
    void queriesOverUserTables();
    void columnsProcedure();
    void badValueMidStreamIsAnError();
    void nocountDropsRowCounts();

private:
    std::unique_ptr<tds::Engine> engine_;
    std::unique_ptr<tds::Session> session_;
};

void TestEngineBatches::init() {
    engine_ = std::make_unique<tds::Engine>(std::vector<tds::Engine::Account>{{u"sa", u"pw"}},
                                            std::vector<std::u16string>{u"shop"});
    session_ = engine_->login(u"sa", u"pw", u"shop").session;
    QVERIFY(session_);
}

void TestEngineBatches::cleanup() {
    session_.reset();
    engine_.reset();
}

void TestEngineBatches::batchStopsWhereSqlServerStops_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QStringList>("rows"); // of SELECT * FROM log afterwards

    QTest::newRow("missing table to drop: the batch goes on")
        << "DROP TABLE nosuch; INSERT INTO log VALUES(1)" << QList<int>{3701} << QStringList{"1"};
    QTest::newRow("truncation: the batch goes on")
        << "INSERT INTO log VALUES(1); INSERT INTO other VALUES('toolong'); "
           "INSERT INTO log VALUES(2)"
        << QList<int>{2628} << QStringList{"1", "2"};
    QTest::newRow("conversion error ends the batch")
        << "INSERT INTO log VALUES(1); INSERT INTO log VALUES('abc'); INSERT INTO log VALUES(3)"
        << QList<int>{245} << QStringList{"1"};
    QTest::newRow("missing table ends the batch")
        << "INSERT INTO log VALUES(1); SELECT * FROM nosuch; INSERT INTO log VALUES(3)"
        << QList<int>{208} << QStringList{"1"};
    QTest::newRow("syntax error runs nothing")
        << "INSERT INTO log VALUES(1); INSERT INTO log VALUES(2" << QList<int>{102}
        << QStringList();
    QTest::newRow("semicolons are optional")
        << "INSERT INTO log VALUES(1) INSERT INTO log VALUES(2)\nINSERT INTO log VALUES(3);"
        << QList<int>() << QStringList{"1", "2", "3"};
}

void TestEngineBatches::batchStopsWhereSqlServerStops() {
    QFETCH(QString, sql);
    QFETCH(QList<int>, numbers);
    QFETCH(QStringList, rows);
    batch(*session_, "CREATE TABLE log (n int); CREATE TABLE other (s varchar(3))");
    QCOMPARE(batch(*session_, sql).numbers(), numbers);
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM log")), rows);
}

void TestEngineBatches::conditionalStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("tables"); // user tables afterwards
    QTest::newRow("drop when present")
        << "IF OBJECT_ID('a') IS NOT NULL DROP TABLE a" << QStringList{"b"};
    QTest::newRow("no drop when missing")
        << "IF OBJECT_ID('zz') IS NOT NULL DROP TABLE zz" << QStringList{"a", "b"};
    QTest::newRow("exists over sys.tables")
        << "IF EXISTS (SELECT * FROM sys.tables WHERE name = 'b') DROP TABLE b" << QStringList{"a"};
    QTest::newRow("else block")
        << "IF EXISTS (SELECT 1 FROM information_schema.tables WHERE table_name = 'c') "
           "DROP TABLE c ELSE BEGIN CREATE TABLE c (x int); DROP TABLE a END"
        << QStringList{"b", "c"};
    QTest::newRow("not exists") << "IF NOT EXISTS (SELECT * FROM sys.tables WHERE name='d') "
                                   "CREATE TABLE d (x int)"
                                << QStringList{"a", "b", "d"};
}

void TestEngineBatches::conditionalStatements() {
    QFETCH(QString, sql);
    QFETCH(QStringList, tables);
    batch(*session_, "CREATE TABLE a (x int); CREATE TABLE b (x int)");
    Ran r = batch(*session_, sql);
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    Ran names = batch(*session_, "SELECT table_name FROM information_schema.tables "
                                 "ORDER BY table_name");
    QCOMPARE(rowsText(names), tables);
}

void TestEngineBatches::sampleScriptRuns() {
    QFile file(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../scripts/samples-mssql.sql"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString script = QString::fromUtf8(file.readAll());
    const auto errors = engine_->runScript(u"shop", u16(script));
    QVERIFY2(errors.empty(), errors.empty() ? "" : qPrintable(q(errors.front().text)));
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM Customer")),
             (QStringList{"Smith | AB-1    ", "O'Neil | NULL"}));
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM sales.regions")),
             QStringList{"NE | North-East"});
    QCOMPARE(rowsText(batch(*session_, "SELECT note FROM invoices WHERE id = 1")),
             QStringList{QStringLiteral("Grüße")});
}

void TestEngineBatches::scriptReportsErrors() {
    const auto errors = engine_->runScript(
        u"shop", u"CREATE TABLE s (a int)\nINSERT INTO s VALUES(1)\nDROP TABLE nosuch\n"
                 u"INSERT INTO s VALUES('x')\nINSERT INTO s VALUES(3)");
    QCOMPARE(errors.size(), std::size_t(2));
    QCOMPARE(errors[0].number, 3701);
    QCOMPARE(errors[0].line, 3);
    QCOMPARE(errors[1].number, 245);
    QCOMPARE(errors[1].line, 4);
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM s")), QStringList{"1"});
    QCOMPARE(engine_->runScript(u"nodb", u"SELECT 1").front().number, 4060);

    // GO separates batches: an error ends only its own batch, and lines count from the top.
    const auto goErrors = engine_->runScript(
        u"shop", u"CREATE TABLE g (a int)\nGO\nINSERT INTO g VALUES('x')\nINSERT INTO g VALUES(2)\n"
                 u"  go  \r\nINSERT INTO g VALUES(3)\n");
    QCOMPARE(goErrors.size(), std::size_t(1));
    QCOMPARE(goErrors[0].number, 245);
    QCOMPARE(goErrors[0].line, 3);
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM g")), QStringList{"3"});
}

void TestEngineBatches::timestampColumn() {
    // A MySQL timestamp column copied as it is becomes SQL Server's row version.
    QVERIFY(batch(*session_, "CREATE TABLE [t]([id] int,[changed] timestamp)").messages.empty());
    Ran explicitValue = batch(*session_, "INSERT INTO [t] VALUES('1', '2024-01-31 10:20:30')");
    QCOMPARE(explicitValue.numbers(), QList<int>{273});
    QCOMPARE(explicitValue.firstText(),
             QStringLiteral("Cannot insert an explicit value into a timestamp column. Use INSERT "
                            "with a column list to exclude the timestamp column, or insert a "
                            "DEFAULT into the timestamp column."));
    QVERIFY(batch(*session_, "INSERT INTO t(id) VALUES(1)").messages.empty());
    QVERIFY(batch(*session_, "INSERT INTO t VALUES(2, DEFAULT)").messages.empty());
    const QStringList rows = rowsText(batch(*session_, "SELECT changed FROM t"));
    QCOMPARE(rows.size(), 2);
    QVERIFY(rows[0].startsWith(QStringLiteral("0x")) && rows[0].size() == 18);
    QVERIFY(rows[0] < rows[1]); // each row gets a larger value
    Ran info = batch(*session_, "SELECT data_type, character_maximum_length, is_nullable FROM "
                                "information_schema.columns WHERE table_name='t' ORDER BY "
                                "ordinal_position");
    QCOMPARE(rowsText(info), (QStringList{"int | NULL | YES", "timestamp | NULL | NO"}));
    QCOMPARE(batch(*session_, "CREATE TABLE two (a timestamp, b rowversion)").numbers(),
             QList<int>{2738});
}

void TestEngineBatches::keysIdentityAndDefaults_data() {
    QTest::addColumn<QString>("insert");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("rows");
    const QStringList before = {"1 | a | 0 | none"};
    QTest::newRow("identity and defaults fill in")
        << "INSERT INTO k(code) VALUES('b')" << 0 << QString()
        << (QStringList{"1 | a | 0 | none", "2 | b | 0 | none"});
    QTest::newRow("values without a column list skip the identity")
        << "INSERT INTO k VALUES('b', 5, DEFAULT)" << 0 << QString()
        << (QStringList{"1 | a | 0 | none", "2 | b | 5 | none"});
    QTest::newRow("duplicate unique key, other case and trailing space")
        << "INSERT INTO k(code) VALUES('A ')" << 2627
        << "Violation of UNIQUE KEY constraint 'uq_code'. Cannot insert duplicate key in object "
           "'dbo.k'. The duplicate key value is (A )."
        << before;
    QTest::newRow("duplicate within one statement stores nothing")
        << "INSERT INTO k(code) VALUES('x'), ('y'), ('x')" << 2627
        << "Violation of UNIQUE KEY constraint 'uq_code'. Cannot insert duplicate key in object "
           "'dbo.k'. The duplicate key value is (x)."
        << before;
    QTest::newRow("explicit identity value")
        << "INSERT INTO k(id, code) VALUES(7, 'b')" << 544
        << "Cannot insert explicit value for identity column in table 'k' when IDENTITY_INSERT "
           "is set to OFF."
        << before;
    QTest::newRow("NULL into the unique NOT NULL column")
        << "INSERT INTO k(qty) VALUES(1)" << 515
        << "Cannot insert the value NULL into column 'code', table 'shop.dbo.k'; column does not "
           "allow nulls. INSERT fails."
        << before;
}

void TestEngineBatches::keysIdentityAndDefaults() {
    QFETCH(QString, insert);
    QFETCH(int, error);
    QFETCH(QString, message);
    QFETCH(QStringList, rows);
    Ran created = batch(*session_, "CREATE TABLE k (id int IDENTITY(1,1) PRIMARY KEY, "
                                   "code varchar(10) NOT NULL CONSTRAINT uq_code UNIQUE, "
                                   "qty int DEFAULT 0, note varchar(10) DEFAULT 'none')");
    QVERIFY2(created.messages.empty(), qPrintable(created.firstText()));
    QVERIFY(batch(*session_, "INSERT INTO k(code) VALUES('a')").messages.empty());
    Ran r = batch(*session_, insert);
    if (error == 0) {
        QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    } else {
        QCOMPARE(r.numbers(), QList<int>{error});
        QCOMPARE(r.firstText(), message);
    }
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM k")), rows);
    Ran defaults = batch(*session_, "SELECT column_default, is_nullable FROM "
                                    "information_schema.columns WHERE table_name = 'k'");
    QCOMPARE(rowsText(defaults),
             (QStringList{"NULL | NO", "NULL | NO", "((0)) | YES", "('none') | YES"}));
}

void TestEngineBatches::refusedConstraint_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QString>("text");
    QTest::newRow("text key") << "CREATE TABLE t (a text PRIMARY KEY)" << QList<int>{1919, 1750}
                              << "Column 'a' in table 't' is of a type that is invalid for use as "
                                 "a key column in an index.";
    QTest::newRow("nvarchar(max) unique")
        << "CREATE TABLE t (a int, b nvarchar(max) UNIQUE)" << QList<int>{1919, 1750}
        << "Column 'b' in table 't' is of a type that is "
           "invalid for use as a key column in an index.";
    QTest::newRow("nullable primary key")
        << "CREATE TABLE t (a int NULL, CONSTRAINT pk PRIMARY KEY (a))" << QList<int>{8111, 1750}
        << "Cannot define PRIMARY KEY constraint on nullable column in table 't'.";
    QTest::newRow("two primary keys")
        << "CREATE TABLE t (a int PRIMARY KEY, b int PRIMARY KEY)" << QList<int>{8110, 1750}
        << "Cannot add multiple PRIMARY KEY constraints to table 't'.";
    QTest::newRow("key on a missing column")
        << "CREATE TABLE t (a int, PRIMARY KEY (b))" << QList<int>{1911, 1750}
        << "Column name 'b' does not exist in the target "
           "table or view.";
    QTest::newRow("identity on text")
        << "CREATE TABLE t (a varchar(5) IDENTITY)" << QList<int>{2749}
        << "Identity column 'a' must be of data type int, bigint, "
           "smallint, tinyint, or decimal or numeric with a scale "
           "of 0, and constrained to be nonnullable.";
}

void TestEngineBatches::refusedConstraint() {
    QFETCH(QString, sql);
    QFETCH(QList<int>, numbers);
    QFETCH(QString, text);
    Ran r = batch(*session_, sql);
    QCOMPARE(r.numbers(), numbers);
    QCOMPARE(r.firstText(), text);
    QCOMPARE(batch(*session_, "SELECT * FROM t").numbers(), QList<int>{208});
}

void TestEngineBatches::queriesOverUserTables_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("count") << "SELECT COUNT(*) FROM people" << QStringList{"4"};
    QTest::newRow("count with condition")
        << "SELECT COUNT(*) FROM people WHERE age > 30" << QStringList{"2"};
    QTest::newRow("text compares without case")
        << "SELECT name FROM people WHERE name = 'ANNA'" << QStringList{"Anna"};
    QTest::newRow("trailing spaces ignored")
        << "SELECT name FROM people WHERE name = 'Bob  '" << QStringList{"Bob"};
    QTest::newRow("NULL is not equal")
        << "SELECT name FROM people WHERE age = NULL" << QStringList();
    QTest::newRow("IS NULL") << "SELECT name FROM people WHERE age IS NULL" << QStringList{"Dora"};
    QTest::newRow("NOT of unknown stays unknown")
        << "SELECT name FROM people WHERE NOT age = 25" << (QStringList{"Bob", "Carl"});
    QTest::newRow("NOT IN with a NULL matches nothing")
        << "SELECT name FROM people WHERE age NOT IN (25, NULL)" << QStringList();
    QTest::newRow("OR with unknown")
        << "SELECT name FROM people WHERE age > 40 OR age IS NULL" << (QStringList{"Carl", "Dora"});
    QTest::newRow("LIKE") << "SELECT name FROM people WHERE name LIKE '_o%'"
                          << (QStringList{"Bob", "Dora"});
    QTest::newRow("LIKE with a set")
        << "SELECT name FROM people WHERE name LIKE '[a-c]%n%'" << QStringList{"Anna"};
    QTest::newRow("IN") << "SELECT name FROM people WHERE age IN (25, 41)"
                        << (QStringList{"Anna", "Carl"});
    QTest::newRow("order by two keys, NULL first")
        << "SELECT name, age FROM people ORDER BY age, name"
        << (QStringList{"Dora | NULL", "Anna | 25", "Bob | 33", "Carl | 41"});
    QTest::newRow("top") << "SELECT TOP 2 name FROM people" << (QStringList{"Anna", "Bob"});
    QTest::newRow("text compared with a number")
        << "SELECT name FROM people WHERE age = '33'" << QStringList{"Bob"};
    QTest::newRow("cast") << "SELECT CAST(age AS varchar(5)) + 'y' FROM people WHERE age < 30"
                          << QStringList{"25y"};
    QTest::newRow("functions of columns")
        << "SELECT UPPER(name), LEN(name), ISNULL(age, 0) FROM people WHERE age IS NULL"
        << QStringList{"DORA | 4 | 0"};
    QTest::newRow("functions of columns, ordered")
        << "SELECT LOWER(name) FROM people WHERE LEN(name) = 4 ORDER BY name DESC"
        << (QStringList{"dora", "carl", "anna"});
    QTest::newRow("aliases") << "SELECT name AS n FROM people ORDER BY n DESC"
                             << (QStringList{"Dora", "Carl", "Bob", "Anna"});
}

void TestEngineBatches::queriesOverUserTables() {
    QFETCH(QString, query);
    QFETCH(QStringList, rows);
    batch(*session_, "CREATE TABLE people (name nvarchar(20), age int)");
    batch(*session_, "INSERT INTO people VALUES(N'Anna', 25), (N'Bob', 33), (N'Carl', 41), "
                     "(N'Dora', NULL)");
    Ran r = batch(*session_, query);
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    QCOMPARE(rowsText(r), rows);
}

void TestEngineBatches::columnsProcedure() {
    batch(*session_, "CREATE TABLE c (id int NOT NULL, name nvarchar(40), price decimal(10,2))");
    Ran r = rpc(*session_, "sp_columns", 0, {nparam("@table_name", "c"), nparam("@ODBCVer", "3")});
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    QCOMPARE(r.columns[0].size(), std::size_t(19));
    QCOMPARE(q(r.columns[0][3].name), QStringLiteral("COLUMN_NAME"));
    QStringList brief;
    for (const auto& row : r.rows[0]) {
        // COLUMN_NAME, DATA_TYPE, TYPE_NAME, PRECISION, LENGTH, SCALE, NULLABLE
        QStringList cells;
        for (std::size_t i : {3U, 4U, 5U, 6U, 7U, 8U, 10U}) {
            cells << show(row[i], r.columns[0][i].type);
        }
        brief << cells.join(QStringLiteral(" | "));
    }
    QCOMPARE(brief, (QStringList{"id | 4 | int | 10 | 4 | 0 | 0",
                                 "name | -9 | nvarchar | 40 | 80 | NULL | 1",
                                 "price | 3 | decimal | 10 | 12 | 2 | 1"}));
}

void TestEngineBatches::badValueMidStreamIsAnError() {
    batch(*session_, "CREATE TABLE n (s varchar(5))");
    batch(*session_, "INSERT INTO n VALUES('1'), ('x'), ('3')");
    // The streamed rows stop with an error at the bad value instead of showing it as NULL.
    std::unique_ptr<tds::RowSource> rows;
    session_->executeBatch(u"SELECT CAST(s AS int) FROM n", [&](tds::StatementOutcome&& o) {
        QVERIFY(o.messages.empty());
        rows = std::move(o.result->rows);
    });
    QVERIFY(rows);
    std::vector<tds::Value> row;
    QVERIFY(rows->next(row));
    QCOMPARE(std::get<std::int64_t>(row[0]), std::int64_t{1});
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, rows->next(row));
    // An unknown function of a column is refused before any row is read.
    QCOMPARE(batch(*session_, "SELECT nosuch(s) FROM n").numbers(), QList<int>{195});
}

void TestEngineBatches::nocountDropsRowCounts() {
    batch(*session_, "CREATE TABLE n (a int)");
    QCOMPARE(batch(*session_, "INSERT INTO n VALUES(1)").counts.back(),
             std::optional<std::int64_t>(1));
    batch(*session_, "SET NOCOUNT ON");
    QCOMPARE(batch(*session_, "INSERT INTO n VALUES(2)").counts.back(), std::nullopt);
    batch(*session_, "SET NOCOUNT OFF");
    QCOMPARE(batch(*session_, "INSERT INTO n VALUES(3), (4)").counts.back(),
             std::optional<std::int64_t>(2));
}

QTEST_GUILESS_MAIN(TestEngineBatches)
#include "tst_engine_batches.moc"
