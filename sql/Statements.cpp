#include "sql/Statements.h"

#include "sql/SqlText.h"

namespace fq::sql {

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

QString mysqlShowTables() {
    return QStringLiteral("SHOW TABLES;");
}

QString mssqlDropCommand(const QString& table) {
    return QStringLiteral("DROP TABLE ") + bracketed(table) + u';';
}

QString mysqlRenameTable(const QString& oldName, const QString& newName) {
    return QStringLiteral("RENAME TABLE ") + backticked(oldName) + QStringLiteral(" TO ") +
           backticked(newName);
}

QString mssqlRenameTable(const QString& oldName, const QString& newName) {
    return QStringLiteral("sp_rename ") + mssqlString(mssqlBareName(oldName)) +
           QStringLiteral(", ") + mssqlString(newName);
}

QString mysqlSessionSetup() {
    return QStringLiteral("SET SESSION sql_mode=CONCAT_WS(',', NULLIF(@@sql_mode, ''), "
                          "'NO_BACKSLASH_ESCAPES', 'STRICT_ALL_TABLES')");
}

QString mysqlServerLimits() {
    return QStringLiteral("SELECT @@innodb_page_size, @@max_allowed_packet, "
                          "(SELECT MAXLEN FROM information_schema.CHARACTER_SETS "
                          "WHERE CHARACTER_SET_NAME=@@character_set_database)");
}

QString mysqlDropTable(const QString& table) {
    return QStringLiteral("DROP TABLE ") + backticked(table);
}

QString mssqlDropTable(const QString& table) {
    return QStringLiteral("DROP TABLE ") + bracketed(table);
}

QString mssqlColumnsQuery(const QString& table) {
    const QString object = mssqlUnicodeString(mssqlBareName(table));
    return QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                          "NUMERIC_PRECISION, NUMERIC_SCALE, DATETIME_PRECISION "
                          "FROM information_schema.Columns "
                          "WHERE table_schema=OBJECT_SCHEMA_NAME(OBJECT_ID(") +
           object + QStringLiteral(")) AND table_name=") + mssqlUnicodeString(table) +
           QStringLiteral(" ORDER BY ORDINAL_POSITION");
}

QString mysqlDescribe(const QString& table) {
    return QStringLiteral("describe ") + mysqlBareName(table);
}

QString mysqlCreateTable(const QString& table, const QList<TargetColumn>& columns) {
    return createTable(table, columns, &backticked);
}

QString mssqlCreateTable(const QString& table, const QList<TargetColumn>& columns) {
    return createTable(table, columns, &bracketed);
}

QString mysqlSelectAll(const QString& table) {
    return QStringLiteral("SELECT * FROM ") + mysqlBareName(table);
}

QString mssqlSelectAll(const QString& table) {
    return QStringLiteral("SELECT * FROM ") + mssqlBareName(table);
}

QString mysqlRowEstimate(const QString& table) {
    return QStringLiteral("SELECT TABLE_ROWS FROM information_schema.TABLES "
                          "WHERE TABLE_SCHEMA=DATABASE() AND TABLE_NAME=") +
           mysqlString(table);
}

QString mssqlRowEstimate(const QString& table) {
    return QStringLiteral("SELECT rows FROM sys.partitions WHERE object_id=OBJECT_ID(") +
           mssqlUnicodeString(mssqlBareName(table)) + QStringLiteral(") AND index_id < 2");
}

QString mysqlCountRows(const QString& table) {
    return QStringLiteral("SELECT COUNT(*) FROM ") + backticked(table);
}

QString mssqlCountRows(const QString& table) {
    return QStringLiteral("SELECT COUNT(*) FROM ") + bracketed(table);
}

QString mysqlInsert(const QString& table, const QStringList& literals) {
    return insert(table, literals, &backticked);
}

QString mssqlInsert(const QString& table, const QStringList& literals) {
    return insert(table, literals, &bracketed);
}

} // namespace fq::sql
