#include "transfer/Statements.h"

#include "transfer/SqlText.h"

namespace fq::transfer {

namespace {

using Delimit = QString (*)(const QString&);

QString createTable(const QString& table, const QList<TargetColumn>& columns, Delimit delimit) {
    QString s = QStringLiteral("CREATE TABLE ") + delimit(table) + u'(';
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (i > 0)
            s += u',';
        s += delimit(columns[i].name) + u' ' + columns[i].type;
    }
    return s + u')';
}

QString insert(const QString& table, const QStringList& literals, Delimit delimit) {
    return QStringLiteral("INSERT INTO ") + delimit(table) + QStringLiteral(" VALUES(") +
           literals.join(QStringLiteral(", ")) + u')';
}

} // namespace

QString mysqlSessionSetup() {
    return QStringLiteral("SET SESSION sql_mode=CONCAT_WS(',', NULLIF(@@sql_mode, ''), "
                          "'NO_BACKSLASH_ESCAPES', 'STRICT_ALL_TABLES')");
}

QString mysqlDropTable(const QString& table) {
    return QStringLiteral("DROP TABLE ") + sql::backticked(table);
}

QString mssqlDropTable(const QString& table) {
    return QStringLiteral("DROP TABLE ") + sql::bracketed(table);
}

QString mssqlColumnsQuery(const QString& table) {
    const QString object = sql::mssqlUnicodeString(sql::mssqlBareName(table));
    return QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                          "NUMERIC_PRECISION, NUMERIC_SCALE, DATETIME_PRECISION "
                          "FROM information_schema.Columns "
                          "WHERE table_schema=OBJECT_SCHEMA_NAME(OBJECT_ID(") +
           object + QStringLiteral(")) AND table_name=") + sql::mssqlUnicodeString(table) +
           QStringLiteral(" ORDER BY ORDINAL_POSITION");
}

QString mysqlDescribe(const QString& table) {
    return QStringLiteral("describe ") + sql::mysqlBareName(table);
}

QString mysqlCreateTable(const QString& table, const QList<TargetColumn>& columns) {
    return createTable(table, columns, &sql::backticked);
}

QString mssqlCreateTable(const QString& table, const QList<TargetColumn>& columns) {
    return createTable(table, columns, &sql::bracketed);
}

QString mysqlSelectAll(const QString& table) {
    return QStringLiteral("SELECT * FROM ") + sql::mysqlBareName(table);
}

QString mssqlSelectAll(const QString& table) {
    return QStringLiteral("SELECT * FROM ") + sql::mssqlBareName(table);
}

QString mysqlInsert(const QString& table, const QStringList& literals) {
    return insert(table, literals, &sql::backticked);
}

QString mssqlInsert(const QString& table, const QStringList& literals) {
    return insert(table, literals, &sql::bracketed);
}

} // namespace fq::transfer
