// Statements, catalog queries and system procedures of the test server's engine, with SQL
// Server's message numbers, severities and texts.

#include <QtTest>

#include <thread>

#include "EngineRun.h"

using namespace enginetest;

class TestEngineStatements : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void login_data();
    void login();
    void refusedStatement_data();
    void refusedStatement();
    void tableNames_data();
    void tableNames();
    void rowsInInsertionOrder();
    void sameNameInTwoSchemas();
    void informationSchemaPerType_data();
    void informationSchemaPerType();
    void informationSchemaFilters();
    void objectFunctions_data();
    void objectFunctions();
    void rename_data();
    void rename();
    void renameByRpc();
    void tablesFilters_data();
    void tablesFilters();
    void tablesByRpcAsFreeTdsSendsIt();
    void preparedStatements();
    void executeSql();
    void driverSettingsAccepted();
    void useDatabase();
    void streamSurvivesConcurrentInsertsAndDrop();

private:
    std::unique_ptr<tds::Engine> engine_;
    std::unique_ptr<tds::Session> session_;
};

void TestEngineStatements::init() {
    engine_ = std::make_unique<tds::Engine>(
        std::vector<tds::Engine::Account>{{u"sa", u"Secret1"}, {u"reader", u"pw"}},
        std::vector<std::u16string>{u"shop", u"archive"});
    session_ = engine_->login(u"sa", u"Secret1", u"shop").session;
    QVERIFY(session_);
}

void TestEngineStatements::cleanup() {
    session_.reset();
    engine_.reset();
}

void TestEngineStatements::login_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("right account") << "sa"
                                   << "Secret1"
                                   << "shop" << QList<int>() << QStringList();
    QTest::newRow("user name in another case") << "SA"
                                               << "Secret1"
                                               << "shop" << QList<int>() << QStringList();
    QTest::newRow("database in another case") << "reader"
                                              << "pw"
                                              << "ARCHIVE" << QList<int>() << QStringList();
    QTest::newRow("wrong password")
        << "sa"
        << "secret1"
        << "shop" << QList<int>{18456} << QStringList{"Login failed for user 'sa'."};
    QTest::newRow("unknown user") << "nobody"
                                  << "Secret1"
                                  << "shop" << QList<int>{18456}
                                  << QStringList{"Login failed for user 'nobody'."};
    QTest::newRow("unknown database")
        << "sa"
        << "Secret1"
        << "nodb" << QList<int>{4060, 18456}
        << QStringList{"Cannot open database \"nodb\" requested by the login. The login failed.",
                       "Login failed for user 'sa'."};
}

void TestEngineStatements::login() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, database);
    QFETCH(QList<int>, numbers);
    QFETCH(QStringList, texts);

    tds::LoginResult r = engine_->login(u16(user), u16(password), u16(database));
    QCOMPARE(bool(r.session), numbers.isEmpty());
    QList<int> got;
    QStringList gotTexts;
    for (const auto& m : r.messages) {
        got << m.number;
        gotTexts << q(m.text);
        QCOMPARE(int(m.severity), m.number == 18456 ? 14 : 11);
        QCOMPARE(int(m.state), 1);
    }
    QCOMPARE(got, numbers);
    QCOMPARE(gotTexts, texts);
}

void TestEngineStatements::refusedStatement_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("severity");
    QTest::addColumn<QString>("text");

    QTest::newRow("MySQL display width")
        << "CREATE TABLE [orders]([id] int(11),[c] varchar(40))" << 2716 << 16
        << "Column, parameter, or variable #1: Cannot specify a "
           "column width on data type int.";
    QTest::newRow("width on the second column")
        << "CREATE TABLE t (a int, b tinyint(1))" << 2716 << 16
        << "Column, parameter, or variable #2: Cannot "
           "specify a column width on data type tinyint.";
    QTest::newRow("unknown type") << "CREATE TABLE t (a int, b double)" << 2715 << 16
                                  << "Column, parameter, or variable #2: Cannot find data type "
                                     "double.";
    QTest::newRow("MySQL longtext") << "CREATE TABLE t (a longtext)" << 2715 << 16
                                    << "Column, parameter, or variable #1: Cannot find data type "
                                       "longtext.";
    QTest::newRow("precision over 38") << "CREATE TABLE t (a decimal(39,2))" << 2750 << 16
                                       << "Column or parameter #1: Specified column precision 39 "
                                          "is greater than the maximum precision of 38.";
    QTest::newRow("scale over precision") << "CREATE TABLE t (a decimal(3,5))" << 2751 << 16
                                          << "Column or parameter #1: Specified column scale 5 is "
                                             "greater than the specified precision of 3.";
    QTest::newRow("varchar over 8000") << "CREATE TABLE t (a varchar(9000))" << 131 << 15
                                       << "The size (9000) given to the column 'a' exceeds the "
                                          "maximum allowed for any data type (8000).";
    QTest::newRow("nvarchar over 4000") << "CREATE TABLE t (a nvarchar(4001))" << 2717 << 16
                                        << "The size (4001) given to the parameter 'a' exceeds "
                                           "the maximum allowed (4000).";
    QTest::newRow("MySQL unsigned")
        << "CREATE TABLE t (a int unsigned)" << 102 << 15 << "Incorrect syntax near 'unsigned'.";
    QTest::newRow("duplicate column") << "CREATE TABLE t (a int, A int)" << 2705 << 16
                                      << "Column names in each table must be unique. Column name "
                                         "'A' in table 't' is specified more than once.";
    QTest::newRow("unknown schema") << "CREATE TABLE nosuch.t (a int)" << 2760 << 16
                                    << "The specified schema name \"nosuch\" either does not "
                                       "exist or you do not have permission to use it.";
    QTest::newRow("existing table") << "CREATE TABLE Existing (a int)" << 2714 << 16
                                    << "There is already an object named 'Existing' in the "
                                       "database.";
    QTest::newRow("drop missing table") << "DROP TABLE [nosuch];" << 3701 << 11
                                        << "Cannot drop the table 'nosuch', because it does not "
                                           "exist or you do not have permission.";
    QTest::newRow("drop missing qualified") << "DROP TABLE sales.nosuch" << 3701 << 11
                                            << "Cannot drop the table 'sales.nosuch', because it "
                                               "does not exist or you do not have permission.";
    QTest::newRow("select missing")
        << "SELECT * FROM nosuch" << 208 << 16 << "Invalid object name 'nosuch'.";
    QTest::newRow("select missing bracketed")
        << "SELECT * FROM [dbo].[nosuch]" << 208 << 16 << "Invalid object name 'dbo.nosuch'.";
    QTest::newRow("insert missing")
        << "INSERT INTO [nosuch] VALUES('1')" << 208 << 16 << "Invalid object name 'nosuch'.";
    QTest::newRow("too few values") << "INSERT INTO existing VALUES('1')" << 213 << 16
                                    << "Column name or number of supplied values does not match "
                                       "table definition.";
    QTest::newRow("too many values") << "INSERT INTO existing VALUES('1', 'x', 'y')" << 213 << 16
                                     << "Column name or number of supplied values does not "
                                        "match table definition.";
    QTest::newRow("NULL into NOT NULL") << "INSERT INTO existing VALUES(NULL, 'x')" << 515 << 16
                                        << "Cannot insert the value NULL into column 'id', table "
                                           "'shop.dbo.Existing'; column does not allow nulls. "
                                           "INSERT fails.";
    // A leading name is a procedure call, as on SQL Server.
    QTest::newRow("MySQL statement")
        << "SHOW TABLES;" << 2812 << 16 << "Could not find stored procedure 'SHOW'.";
    QTest::newRow("MySQL quoting") << "DROP TABLE `t`" << 102 << 15 << "Incorrect syntax near '`'.";
    QTest::newRow("syntax error at the end")
        << "SELECT * FROM" << 102 << 15 << "Incorrect syntax near 'FROM'.";
    QTest::newRow("unclosed quote") << "INSERT INTO existing VALUES('it''s" << 105 << 15
                                    << "Unclosed quotation mark after the character string "
                                       "'it''s'.";
    QTest::newRow("unknown procedure")
        << "sp_nosuch 'a'" << 2812 << 16 << "Could not find stored procedure 'sp_nosuch'.";
    QTest::newRow("unknown column")
        << "SELECT nosuch FROM existing" << 207 << 16 << "Invalid column name 'nosuch'.";
}

void TestEngineStatements::refusedStatement() {
    QFETCH(QString, sql);
    QFETCH(int, number);
    QFETCH(int, severity);
    QFETCH(QString, text);

    QVERIFY(batch(*session_, "CREATE TABLE Existing (id int NOT NULL, name varchar(10))")
                .messages.empty());
    Ran r = batch(*session_, sql);
    // An unclosed quote is followed by a syntax error near the rest of the batch.
    QCOMPARE(r.numbers(), number == 105 ? (QList<int>{105, 102}) : QList<int>{number});
    QCOMPARE(r.firstText(), text);
    QCOMPARE(int(r.messages.front().severity), severity);
    // Nothing was created by a refused CREATE TABLE.
    QCOMPARE(batch(*session_, "SELECT * FROM t").numbers(), QList<int>{208});
}

void TestEngineStatements::tableNames_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("bare") << "Customer";
    QTest::newRow("other case") << "CUSTOMER";
    QTest::newRow("bracketed") << "[customer]";
    QTest::newRow("quoted identifier") << "\"Customer\"";
    QTest::newRow("schema qualified") << "dbo.Customer";
    QTest::newRow("both bracketed") << "[dbo].[Customer]";
    QTest::newRow("database qualified") << "shop.dbo.Customer";
    QTest::newRow("database, default schema") << "shop..Customer";
}

void TestEngineStatements::tableNames() {
    QFETCH(QString, name);
    batch(*session_, "CREATE TABLE Customer (Name varchar(50), Code char(8))");
    batch(*session_, "INSERT INTO Customer VALUES('Smith', 'AB-1')");
    Ran r = batch(*session_, "SELECT * FROM " + name);
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    QCOMPARE(rowsText(r), QStringList{"Smith | AB-1    "});
    QCOMPARE(q(r.columns[0][0].name), QStringLiteral("Name"));
    QVERIFY(batch(*session_, "DROP TABLE " + name).messages.empty());
    QCOMPARE(batch(*session_, "SELECT * FROM Customer").numbers(), QList<int>{208});
}

void TestEngineStatements::rowsInInsertionOrder() {
    batch(*session_, "CREATE TABLE [odd ]]name] (n int, t nvarchar(5))");
    for (int n : {3, 1, 2}) {
        QVERIFY(
            batch(*session_, QStringLiteral("INSERT INTO [odd ]]name] VALUES(%1, N'v%1')").arg(n))
                .messages.empty());
    }
    Ran r = batch(*session_, "SELECT * FROM [odd ]]name]");
    QCOMPARE(rowsText(r), (QStringList{"3 | v3", "1 | v1", "2 | v2"}));
    Ran ordered = batch(*session_, "SELECT t FROM [odd ]]name] ORDER BY n DESC");
    QCOMPARE(rowsText(ordered), (QStringList{"v3", "v2", "v1"}));
}

void TestEngineStatements::sameNameInTwoSchemas() {
    QVERIFY(batch(*session_, "CREATE TABLE items (a int)").messages.empty());
    QVERIFY(batch(*session_, "CREATE TABLE sales.items (b nvarchar(3))").messages.empty());
    batch(*session_, "INSERT INTO items VALUES(1)");
    batch(*session_, "INSERT INTO sales.items VALUES(N'x')");
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM items")), QStringList{"1"});
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM [sales].[items]")), QStringList{"x"});
    QVERIFY(batch(*session_, "DROP TABLE sales.items").messages.empty());
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM items")), QStringList{"1"});
}

void TestEngineStatements::informationSchemaPerType_data() {
    QTest::addColumn<QString>("declared");
    // DATA_TYPE | CHARACTER_MAXIMUM_LENGTH | CHARACTER_OCTET_LENGTH | NUMERIC_PRECISION |
    // NUMERIC_PRECISION_RADIX | NUMERIC_SCALE | DATETIME_PRECISION
    QTest::addColumn<QString>("values");
    QTest::newRow("bit") << "bit"
                         << "bit | NULL | NULL | NULL | NULL | NULL | NULL";
    QTest::newRow("tinyint") << "tinyint"
                             << "tinyint | NULL | NULL | 3 | 10 | 0 | NULL";
    QTest::newRow("smallint") << "smallint"
                              << "smallint | NULL | NULL | 5 | 10 | 0 | NULL";
    QTest::newRow("int") << "int"
                         << "int | NULL | NULL | 10 | 10 | 0 | NULL";
    QTest::newRow("bigint") << "bigint"
                            << "bigint | NULL | NULL | 19 | 10 | 0 | NULL";
    QTest::newRow("decimal") << "decimal(10,2)"
                             << "decimal | NULL | NULL | 10 | 10 | 2 | NULL";
    QTest::newRow("decimal default") << "decimal"
                                     << "decimal | NULL | NULL | 18 | 10 | 0 | NULL";
    QTest::newRow("numeric") << "numeric(38,6)"
                             << "numeric | NULL | NULL | 38 | 10 | 6 | NULL";
    QTest::newRow("money") << "money"
                           << "money | NULL | NULL | 19 | 10 | 4 | NULL";
    QTest::newRow("smallmoney") << "smallmoney"
                                << "smallmoney | NULL | NULL | 10 | 10 | 4 | NULL";
    QTest::newRow("float") << "float"
                           << "float | NULL | NULL | 53 | 2 | NULL | NULL";
    QTest::newRow("float(24) is real") << "float(24)"
                                       << "real | NULL | NULL | 24 | 2 | NULL | NULL";
    QTest::newRow("real") << "real"
                          << "real | NULL | NULL | 24 | 2 | NULL | NULL";
    QTest::newRow("char") << "char(8)"
                          << "char | 8 | 8 | NULL | NULL | NULL | NULL";
    QTest::newRow("varchar") << "varchar(40)"
                             << "varchar | 40 | 40 | NULL | NULL | NULL | NULL";
    QTest::newRow("varchar(max)") << "varchar(max)"
                                  << "varchar | -1 | -1 | NULL | NULL | NULL | NULL";
    QTest::newRow("nchar") << "nchar(5)"
                           << "nchar | 5 | 10 | NULL | NULL | NULL | NULL";
    QTest::newRow("nvarchar") << "nvarchar(200)"
                              << "nvarchar | 200 | 400 | NULL | NULL | NULL | NULL";
    QTest::newRow("nvarchar(max)") << "nvarchar(max)"
                                   << "nvarchar | -1 | -1 | NULL | NULL | NULL | NULL";
    QTest::newRow("text") << "text"
                          << "text | 2147483647 | 2147483647 | NULL | NULL | NULL | NULL";
    QTest::newRow("ntext") << "ntext"
                           << "ntext | 1073741823 | 2147483646 | NULL | NULL | NULL | NULL";
    QTest::newRow("binary") << "binary(16)"
                            << "binary | 16 | 16 | NULL | NULL | NULL | NULL";
    QTest::newRow("varbinary(max)") << "varbinary(max)"
                                    << "varbinary | -1 | -1 | NULL | NULL | NULL | NULL";
    QTest::newRow("image") << "image"
                           << "image | 2147483647 | 2147483647 | NULL | NULL | NULL | NULL";
    QTest::newRow("date") << "date"
                          << "date | NULL | NULL | NULL | NULL | NULL | 0";
    QTest::newRow("time") << "time"
                          << "time | NULL | NULL | NULL | NULL | NULL | 7";
    QTest::newRow("time(3)") << "time(3)"
                             << "time | NULL | NULL | NULL | NULL | NULL | 3";
    QTest::newRow("datetime") << "datetime"
                              << "datetime | NULL | NULL | NULL | NULL | NULL | 3";
    QTest::newRow("datetime2") << "datetime2"
                               << "datetime2 | NULL | NULL | NULL | NULL | NULL | 7";
    QTest::newRow("datetime2(0)") << "datetime2(0)"
                                  << "datetime2 | NULL | NULL | NULL | NULL | NULL | 0";
    QTest::newRow("smalldatetime") << "smalldatetime"
                                   << "smalldatetime | NULL | NULL | NULL | NULL | NULL | 0";
    QTest::newRow("datetimeoffset") << "datetimeoffset(2)"
                                    << "datetimeoffset | NULL | NULL | NULL | NULL | NULL | 2";
    QTest::newRow("uniqueidentifier") << "uniqueidentifier"
                                      << "uniqueidentifier | NULL | NULL | NULL | NULL | NULL | "
                                         "NULL";
    QTest::newRow("xml") << "xml"
                         << "xml | -1 | -1 | NULL | NULL | NULL | NULL";
}

void TestEngineStatements::informationSchemaPerType() {
    QFETCH(QString, declared);
    QFETCH(QString, values);
    QVERIFY(batch(*session_, "CREATE TABLE typed (c " + declared + ")").messages.empty());
    Ran r = batch(*session_,
                  "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH, "
                  "NUMERIC_PRECISION, NUMERIC_PRECISION_RADIX, NUMERIC_SCALE, DATETIME_PRECISION "
                  "FROM information_schema.Columns WHERE table_name='typed'");
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    QCOMPARE(rowsText(r), QStringList{values});
}

void TestEngineStatements::informationSchemaFilters() {
    batch(*session_,
          "CREATE TABLE orders (id int NOT NULL, customer varchar(40), placed datetime)");
    batch(*session_, "CREATE TABLE sales.orders (region char(2))");
    batch(*session_, "CREATE TABLE other (x int)");

    // The three queries of the transfer, as it sends them.
    Ran names = batch(*session_, "SELECT column_name FROM information_schema.Columns WHERE "
                                 "table_name='orders' AND table_schema='dbo'");
    QCOMPARE(rowsText(names), (QStringList{"id", "customer", "placed"}));
    QCOMPARE(q(names.columns[0][0].name), QStringLiteral("column_name"));
    Ran lengths =
        batch(*session_, "SELECT character_maximum_length FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                         "table_name='orders' and table_schema='dbo' ORDER BY ordinal_position");
    QCOMPARE(rowsText(lengths), (QStringList{"NULL", "40", "NULL"}));

    // Without a schema, both tables named orders answer.
    Ran both =
        batch(*session_, "SELECT TABLE_SCHEMA, COLUMN_NAME, ORDINAL_POSITION, IS_NULLABLE FROM "
                         "information_schema.columns WHERE TABLE_NAME = 'ORDERS' ORDER BY "
                         "TABLE_SCHEMA, ORDINAL_POSITION");
    QCOMPARE(rowsText(both), (QStringList{"dbo | id | 1 | NO", "dbo | customer | 2 | YES",
                                          "dbo | placed | 3 | YES", "sales | region | 1 | YES"}));

    // The schema a bare name means.
    Ran bare =
        batch(*session_, "SELECT column_name FROM information_schema.Columns WHERE table_schema = "
                         "OBJECT_SCHEMA_NAME(OBJECT_ID('orders')) AND table_name = 'orders'");
    QCOMPARE(rowsText(bare), (QStringList{"id", "customer", "placed"}));

    Ran none = batch(*session_,
                     "SELECT column_name FROM information_schema.Columns WHERE table_name='gone'");
    QVERIFY(none.messages.empty());
    QCOMPARE(rowsText(none), QStringList());
}

void TestEngineStatements::objectFunctions_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("result");
    QTest::newRow("bare name is dbo") << "OBJECT_SCHEMA_NAME(OBJECT_ID('t'))"
                                      << "dbo";
    QTest::newRow("bracketed dbo") << "OBJECT_SCHEMA_NAME(OBJECT_ID(N'[dbo].[t]'))"
                                   << "dbo";
    QTest::newRow("sales") << "OBJECT_SCHEMA_NAME(OBJECT_ID(N'[sales].[t]'))"
                           << "sales";
    QTest::newRow("sales only table") << "OBJECT_SCHEMA_NAME(OBJECT_ID('s_only'))"
                                      << "NULL";
    QTest::newRow("sales only qualified") << "OBJECT_NAME(OBJECT_ID('sales.s_only'))"
                                          << "s_only";
    QTest::newRow("missing") << "OBJECT_ID('nosuch')"
                             << "NULL";
    QTest::newRow("other case") << "OBJECT_NAME(OBJECT_ID('T'))"
                                << "t";
    QTest::newRow("system view") << "OBJECT_SCHEMA_NAME(OBJECT_ID('INFORMATION_SCHEMA.COLUMNS'))"
                                 << "INFORMATION_SCHEMA";
    QTest::newRow("default schema") << "SCHEMA_NAME()"
                                    << "dbo";
    QTest::newRow("database") << "DB_NAME()"
                              << "shop";
    QTest::newRow("dbo and sales differ") << "CASE_FREE"
                                          << "different";
}

void TestEngineStatements::objectFunctions() {
    QFETCH(QString, expression);
    QFETCH(QString, result);
    batch(*session_, "CREATE TABLE t (a int)");
    batch(*session_, "CREATE TABLE sales.t (a int)");
    batch(*session_, "CREATE TABLE sales.s_only (a int)");
    if (expression == QLatin1String("CASE_FREE")) {
        Ran ids = batch(*session_, "SELECT OBJECT_ID('dbo.t'), OBJECT_ID('sales.t')");
        const QStringList cells = rowsText(ids).value(0).split(QStringLiteral(" | "));
        QCOMPARE(cells.size(), 2);
        QVERIFY(cells[0] != cells[1]);
        QVERIFY(cells[0] != QLatin1String("NULL"));
        return;
    }
    Ran r = batch(*session_, "SELECT " + expression);
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    QCOMPARE(rowsText(r), QStringList{result});
}

void TestEngineStatements::rename_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("nameAfter");
    const QString caution = QStringLiteral(
        "Caution: Changing any part of an object name could break scripts and stored "
        "procedures.");
    QTest::newRow("as the product sends it")
        << "sp_rename 'orders', 'sales_orders'" << QList<int>{15477} << caution << "sales_orders";
    QTest::newRow("with EXEC and N")
        << "EXEC sp_rename N'orders', N'x'" << QList<int>{15477} << caution << "x";
    QTest::newRow("named parameters") << "exec sp_rename @objname='dbo.orders', @newname='y'"
                                      << QList<int>{15477} << caution << "y";
    QTest::newRow("missing table") << "sp_rename 'nosuch', 'z'" << QList<int>{15248}
                                   << "Either the parameter @objname is ambiguous or the claimed "
                                      "@objtype (object) is wrong."
                                   << "orders";
    QTest::newRow("new name taken") << "sp_rename 'orders', 'Taken'" << QList<int>{15335}
                                    << "Error: The new name 'Taken' is already in use as a object "
                                       "name and would cause a duplicate that is not permitted."
                                    << "orders";
    QTest::newRow("apostrophe breaks the statement")
        << "sp_rename 'orders', 'o'brien'" << QList<int>{105, 102}
        << "Unclosed quotation mark after the "
           "character string ''."
        << "orders";
}

void TestEngineStatements::rename() {
    QFETCH(QString, sql);
    QFETCH(QList<int>, numbers);
    QFETCH(QString, text);
    QFETCH(QString, nameAfter);
    batch(*session_, "CREATE TABLE orders (id int)");
    batch(*session_, "INSERT INTO orders VALUES(7)");
    batch(*session_, "CREATE TABLE taken (id int)");
    Ran r = batch(*session_, sql);
    QCOMPARE(r.numbers(), numbers);
    QCOMPARE(r.firstText(), text);
    if (numbers == QList<int>{15477}) {
        QCOMPARE(int(r.messages.front().severity), 10);
        QCOMPARE(r.status, std::optional<std::int32_t>(0));
    } else if (numbers.front() != 105) {
        QCOMPARE(int(r.messages.front().severity), 11);
        QCOMPARE(r.status, std::optional<std::int32_t>(1));
    }
    // The rows went with the table.
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM " + nameAfter)), QStringList{"7"});
}

void TestEngineStatements::renameByRpc() {
    batch(*session_, "CREATE TABLE orders (id int)");
    Ran r = rpc(*session_, "sp_rename", 0,
                {nparam("@objname", "orders"), nparam("@newname", "archive_orders")});
    QCOMPARE(r.numbers(), QList<int>{15477});
    QCOMPARE(r.status, std::optional<std::int32_t>(0));
    QVERIFY(batch(*session_, "SELECT * FROM archive_orders").messages.empty());
    Ran missing = rpc(*session_, "sp_rename", 0, {nparam("", "orders"), nparam("", "again")});
    QCOMPARE(missing.numbers(), QList<int>{15248});
    QCOMPARE(missing.status, std::optional<std::int32_t>(1));
}

void TestEngineStatements::tablesFilters_data() {
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QStringList>("rows");
    const QStringList user = {"shop | dbo | a | TABLE | NULL", "shop | dbo | b | TABLE | NULL",
                              "shop | sales | a | TABLE | NULL"};
    QTest::newRow("tables only") << "@table_type=N'''TABLE'''" << user;
    QTest::newRow("tables, unquoted type") << "@table_type='TABLE'" << user;
    QTest::newRow("tables, quoted identifier") << "@table_type=\"'TABLE'\"" << user;
    QTest::newRow("tables and views")
        << "@table_type=\"'TABLE','VIEW'\", @table_owner='dbo'" << user.mid(0, 2);
    QTest::newRow("one owner") << "@table_owner='sales', @table_type=N'''TABLE'''"
                               << QStringList{"shop | sales | a | TABLE | NULL"};
    QTest::newRow("name pattern") << "@table_name='b%'"
                                  << QStringList{"shop | dbo | b | TABLE | NULL"};
    QTest::newRow("positional name")
        << "'a', 'dbo'" << QStringList{"shop | dbo | a | TABLE | NULL"};
    QTest::newRow("system tables")
        << "@table_type=N'''SYSTEM TABLE'''"
        << QStringList{"shop | sys | trace_xe_action_map | SYSTEM TABLE | NULL",
                       "shop | sys | trace_xe_event_map | SYSTEM TABLE | NULL"};
    QTest::newRow("a system view by name") << "@table_name='SCHEMATA'"
                                           << QStringList{"shop | INFORMATION_SCHEMA | SCHEMATA | "
                                                          "VIEW | NULL"};
    QTest::newRow("names in both system schemas")
        << "@table_name='tables'"
        << QStringList{"shop | INFORMATION_SCHEMA | TABLES | VIEW | NULL",
                       "shop | sys | tables | VIEW | NULL"};
    QTest::newRow("qualifier of this database")
        << "@table_qualifier='shop', @table_name='a'"
        << QStringList{"shop | dbo | a | TABLE | NULL", "shop | sales | a | TABLE | NULL"};
}

void TestEngineStatements::tablesFilters() {
    QFETCH(QString, arguments);
    QFETCH(QStringList, rows);
    batch(*session_, "CREATE TABLE b (x int)");
    batch(*session_, "CREATE TABLE a (x int)");
    batch(*session_, "CREATE TABLE sales.a (x int)");
    Ran r = batch(*session_, "exec sp_tables " + arguments);
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    QCOMPARE(r.status, std::optional<std::int32_t>(0));
    QStringList names;
    for (const auto& c : r.columns[0]) {
        names << q(c.name);
    }
    QCOMPARE(names, (QStringList{"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "TABLE_TYPE",
                                 "REMARKS"}));
    QCOMPARE(rowsText(r), rows);
}

void TestEngineStatements::tablesByRpcAsFreeTdsSendsIt() {
    batch(*session_, "CREATE TABLE Customer (a int)");
    Ran all = rpc(*session_, "sp_tables", 0, {});
    QVERIFY(rowsText(all).contains("shop | dbo | Customer | TABLE | NULL"));
    QVERIFY(rowsText(all).contains("shop | INFORMATION_SCHEMA | TABLES | VIEW | NULL"));
    QVERIFY(rowsText(all).contains("shop | sys | objects | VIEW | NULL"));
    Ran tables = rpc(*session_, "sp_tables", 0, {nparam("@table_type", "'TABLE'")});
    QCOMPARE(rowsText(tables), QStringList{"shop | dbo | Customer | TABLE | NULL"});
    Ran qualified = rpc(*session_, "[shop]..sp_tables", 0,
                        {nparam("@table_name", "%"), nparam("@table_owner", "%"),
                         nparam("@table_qualifier", "shop"), nparam("@table_type", "'TABLE'")});
    QCOMPARE(rowsText(qualified), QStringList{"shop | dbo | Customer | TABLE | NULL"});
    Ran other = rpc(*session_, "sp_tables", 0, {nparam("@table_qualifier", "archive")});
    QCOMPARE(other.numbers(), QList<int>{15250});
}

void TestEngineStatements::preparedStatements() {
    batch(*session_, "CREATE TABLE p (id int, name nvarchar(20))");
    tds::RpcParam handle;
    handle.name = u"@handle";
    handle.type.type = tds::Type::Int;
    handle.output = true;
    tds::RpcParam id;
    id.name = u"@P1";
    id.type.type = tds::Type::Int;
    id.value = std::int64_t{5};
    Ran prepexec = rpc(*session_, "", 13,
                       {handle, nparam("@params", "@P1 int,@P2 nvarchar(20)"),
                        nparam("@stmt", "INSERT INTO p VALUES(@P1, @P2)"), id,
                        nparam("@P2", QStringLiteral("日本"))});
    QVERIFY2(prepexec.messages.empty(), qPrintable(prepexec.firstText()));
    QCOMPARE(prepexec.status, std::optional<std::int32_t>(0));
    QCOMPARE(prepexec.outputs.size(), std::size_t(1));
    const auto h = std::get<std::int64_t>(prepexec.outputs[0].value);

    tds::RpcParam hv;
    hv.type.type = tds::Type::Int;
    hv.value = h;
    id.value = std::int64_t{6};
    Ran again = rpc(*session_, "", 12, {hv, id, nparam("@P2", "second")});
    QVERIFY2(again.messages.empty(), qPrintable(again.firstText()));
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM p")),
             (QStringList{QStringLiteral("5 | 日本"), "6 | second"}));
    QCOMPARE(rpc(*session_, "", 15, {hv}).status, std::optional<std::int32_t>(0));
    QCOMPARE(rpc(*session_, "", 12, {hv, id, nparam("@P2", "x")}).numbers(), QList<int>{8179});
}

void TestEngineStatements::executeSql() {
    batch(*session_, "CREATE TABLE e (name varchar(5))");
    Ran r = rpc(*session_, "sp_executesql", 0,
                {nparam("", "SELECT name FROM e WHERE name = @n"), nparam("", "@n varchar(5)"),
                 nparam("@n", "x")});
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    // A parameter is cut to its declared type silently; the column then checks its own length.
    Ran cut = rpc(*session_, "", 10,
                  {nparam("", "INSERT INTO e VALUES(@n)"), nparam("", "@n varchar(5)"),
                   nparam("@n", "toolong")});
    QVERIFY(cut.messages.empty());
    Ran ins = rpc(*session_, "", 10,
                  {nparam("", "INSERT INTO e VALUES(@n)"), nparam("", "@n varchar(10)"),
                   nparam("@n", "toolong")});
    QCOMPARE(ins.numbers(), QList<int>{2628});
    QCOMPARE(ins.status, std::optional<std::int32_t>(1));
    QCOMPARE(rowsText(batch(*session_, "SELECT * FROM e")), QStringList{"toolo"});
}

void TestEngineStatements::driverSettingsAccepted() {
    Ran r =
        batch(*session_, "SET TEXTSIZE 2147483647; SET QUOTED_IDENTIFIER ON; SET ANSI_NULLS ON\n"
                         "SET ANSI_WARNINGS ON SET ANSI_PADDING ON SET CONCAT_NULL_YIELDS_NULL ON\n"
                         "SET TRANSACTION ISOLATION LEVEL READ COMMITTED; SET LOCK_TIMEOUT -1\n"
                         "SET ANSI_NULL_DFLT_ON, ARITHABORT ON; SET DATEFORMAT mdy");
    QVERIFY2(r.messages.empty(), qPrintable(r.firstText()));
    Ran v = batch(*session_, "SELECT @@version");
    QVERIFY(rowsText(v).value(0).startsWith(QStringLiteral("Microsoft SQL Server")));
    Ran spid = batch(*session_, "select @@spid");
    QVERIFY(rowsText(spid).value(0).toInt() >= 51);
}

void TestEngineStatements::useDatabase() {
    batch(*session_, "CREATE TABLE only_here (a int)");
    Ran r = batch(*session_, "USE archive");
    QCOMPARE(r.numbers(), QList<int>{5701});
    QCOMPARE(r.firstText(), QStringLiteral("Changed database context to 'archive'."));
    QCOMPARE(q(session_->database()), QStringLiteral("archive"));
    QCOMPARE(batch(*session_, "SELECT * FROM only_here").numbers(), QList<int>{208});
    QVERIFY(batch(*session_, "SELECT * FROM shop.dbo.only_here").messages.empty());
    QCOMPARE(batch(*session_, "USE nodb").numbers(), QList<int>{911});
}

void TestEngineStatements::streamSurvivesConcurrentInsertsAndDrop() {
    batch(*session_, "CREATE TABLE big (n int, s varchar(20))");
    for (int i = 0; i < 2000; ++i) {
        batch(*session_, QStringLiteral("INSERT INTO big VALUES(%1, 'row')").arg(i));
    }
    auto other = engine_->login(u"reader", u"pw", u"shop").session;
    QVERIFY(other);
    std::unique_ptr<tds::RowSource> rows;
    session_->executeBatch(u"SELECT * FROM big",
                           [&](tds::StatementOutcome&& o) { rows = std::move(o.result->rows); });
    QVERIFY(rows);
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            batch(*other, QStringLiteral("INSERT INTO big VALUES(%1, 'late')").arg(i));
        }
        batch(*other, "DROP TABLE big");
    });
    std::vector<tds::Value> row;
    std::int64_t expected = 0;
    std::int64_t count = 0;
    bool inOrder = true;
    while (rows->next(row)) {
        inOrder = inOrder && std::get<std::int64_t>(row[0]) == expected++;
        ++count;
    }
    writer.join();
    // The rows there when the SELECT began, in order; later inserts and the drop do not disturb it.
    QVERIFY(inOrder);
    QCOMPARE(count, std::int64_t{2000});
}

QTEST_GUILESS_MAIN(TestEngineStatements)
#include "tst_engine_statements.moc"
