#include "sql/SourceReading.h"

#include "sql/SqlText.h"

namespace fq::sql {

QString mysqlTableSize(const QString& table) {
    return QStringLiteral("SELECT t.DATA_LENGTH, t.AVG_ROW_LENGTH, t.TABLE_TYPE, t.ENGINE, "
                          "c.DATA_TYPE, c.CHARACTER_OCTET_LENGTH, c.EXTRA, c.COLUMN_NAME "
                          "FROM information_schema.TABLES t JOIN information_schema.COLUMNS c "
                          "ON c.TABLE_SCHEMA=t.TABLE_SCHEMA AND c.TABLE_NAME=t.TABLE_NAME "
                          "WHERE t.TABLE_SCHEMA=DATABASE() AND t.TABLE_NAME=") +
           mysqlString(table) + QStringLiteral(" ORDER BY c.ORDINAL_POSITION");
}

QString mysqlValuePiece(const QString& table, const QString& column, const QStringList& keyColumns,
                        const QStringList& key) {
    QStringList terms;
    for (qsizetype i = 0; i < keyColumns.size(); ++i)
        terms << backticked(keyColumns[i]) + QStringLiteral(" = ") + key.value(i);
    return QStringLiteral("SELECT SUBSTRING(") + backticked(column) +
           QStringLiteral(", ?, ?) FROM ") + mysqlBareName(table) + QStringLiteral(" WHERE ") +
           terms.join(QStringLiteral(" AND "));
}

QString mysqlHoldTable(const QString& table) {
    return QStringLiteral("SELECT * FROM ") + mysqlBareName(table) + QStringLiteral(" LIMIT 0");
}

QString mysqlHandlerOpen(const QString& table) {
    return QStringLiteral("HANDLER ") + backticked(table) + QStringLiteral(" OPEN");
}

QString mysqlHandlerClose(const QString& table) {
    return QStringLiteral("HANDLER ") + backticked(table) + QStringLiteral(" CLOSE");
}

QString mysqlHandlerReadFirst(const QString& table) {
    return QStringLiteral("HANDLER ") + backticked(table) + QStringLiteral(" READ FIRST LIMIT ?");
}

QString mysqlHandlerReadNext(const QString& table) {
    return QStringLiteral("HANDLER ") + backticked(table) + QStringLiteral(" READ NEXT LIMIT ?");
}

QString mysqlHandlerReadAfter(const QString& table) {
    return QStringLiteral("HANDLER ") + backticked(table) +
           QStringLiteral(" READ FIRST LIMIT ?, ?");
}

QString mysqlTablesOpened() {
    return QStringLiteral("SELECT SUM(VARIABLE_VALUE) FROM information_schema.SESSION_STATUS "
                          "WHERE VARIABLE_NAME IN ('TABLE_OPEN_CACHE_HITS', "
                          "'TABLE_OPEN_CACHE_MISSES')");
}

} // namespace fq::sql
