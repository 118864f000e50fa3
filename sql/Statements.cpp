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

const QString kValueSeparator = QStringLiteral(", ");

QString insertHead(const QString& table, Delimit delimit) {
    return QStringLiteral("INSERT INTO ") + delimit(table) + QStringLiteral(" VALUES(");
}

QString insert(const QString& table, const QStringList& literals, Delimit delimit) {
    return insertHead(table, delimit) + literals.join(kValueSeparator) + u')';
}

} // namespace

QString mysqlShowTables() {
    return QStringLiteral("SHOW TABLES;");
}

QString mssqlDropCommand(const QString& table) {
    return QStringLiteral("DROP TABLE ") + bracketed(table) + u';';
}

QString mysqlDropView(const QString& view) {
    return QStringLiteral("DROP VIEW ") + backticked(view);
}

QString mssqlDropViewCommand(const QString& view) {
    return QStringLiteral("DROP VIEW ") + bracketed(view) + u';';
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

QString mysqlUniqueKeys(const QString& table) {
    return QStringLiteral("SELECT s.INDEX_NAME, s.COLUMN_NAME, c.DATA_TYPE, c.IS_NULLABLE, "
                          "s.SUB_PART FROM information_schema.STATISTICS s "
                          "JOIN information_schema.COLUMNS c ON c.TABLE_SCHEMA=s.TABLE_SCHEMA "
                          "AND c.TABLE_NAME=s.TABLE_NAME AND c.COLUMN_NAME=s.COLUMN_NAME "
                          "WHERE s.TABLE_SCHEMA=DATABASE() AND s.TABLE_NAME=") +
           mysqlString(table) +
           QStringLiteral(" AND s.NON_UNIQUE=0 "
                          "ORDER BY s.INDEX_NAME<>'PRIMARY', s.INDEX_NAME, s.SEQ_IN_INDEX");
}

QString mysqlSnapshotIsolation() {
    return QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
}

QString mysqlStartSnapshot() {
    return QStringLiteral("START TRANSACTION WITH CONSISTENT SNAPSHOT");
}

QString mysqlEndSnapshot() {
    return QStringLiteral("COMMIT");
}

QString mysqlSelectPage(const QString& table, const QStringList& keyColumns,
                        const QStringList& after, long long rows) {
    return mysqlSelectPage(table, {}, 0, keyColumns, after, rows);
}

QString mysqlSelectPage(const QString& table, const QList<PageColumn>& read, long long piece,
                        const QStringList& keyColumns, const QStringList& after, long long rows) {
    QStringList columns;
    for (const QString& c : keyColumns)
        columns << backticked(c);
    QStringList selected;
    QStringList lengths;
    for (const PageColumn& c : read) {
        const QString name = backticked(c.name);
        if (c.cut == PageColumn::Cut::No) {
            selected << name;
            continue;
        }
        selected << QStringLiteral("LEFT(%1, %2)").arg(name).arg(piece);
        lengths << (c.cut == PageColumn::Cut::Characters ? QStringLiteral("CHAR_LENGTH(")
                                                         : QStringLiteral("LENGTH(")) +
                       name + u')';
    }
    if (selected.isEmpty())
        selected << QStringLiteral("*");
    QString s = QStringLiteral("SELECT ") +
                (selected + lengths + columns).join(QStringLiteral(", ")) +
                QStringLiteral(" FROM ") + mysqlBareName(table);
    if (!after.isEmpty()) {
        // (a > x) OR (a = x AND b > y) OR ...: the rows after (x, y) in key order, in a form the
        // server reads as a range of the key.
        QStringList alternatives;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            QStringList terms;
            for (qsizetype j = 0; j < i; ++j)
                terms << columns[j] + QStringLiteral(" = ") + after[j];
            terms << columns[i] + QStringLiteral(" > ") + after[i];
            alternatives << (terms.size() == 1 ? terms[0]
                                               : u'(' + terms.join(QStringLiteral(" AND ")) + u')');
        }
        s += QStringLiteral(" WHERE (") + alternatives.join(QStringLiteral(" OR ")) + u')';
    }
    return s + QStringLiteral(" ORDER BY ") + columns.join(QStringLiteral(", ")) +
           QStringLiteral(" LIMIT %1").arg(rows);
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

InsertText::InsertText(Server target, const QString& table)
    : head_(insertHead(table, target == Server::MySQL ? &backticked : &bracketed)) {
    head_.chop(1); // the values' opening parenthesis is the row's own
}

void InsertText::start() {
    // The text may have been taken by swapping: whatever it holds now is written over.
    text_.resize(0);
    text_ += head_;
    text_ += u'(';
    starts_.clear();
}

QString& InsertText::next() {
    if (!starts_.isEmpty())
        text_ += kValueSeparator;
    starts_.append(text_.size());
    return text_;
}

QString& InsertText::finish() {
    text_ += u')';
    return text_;
}

QStringView InsertText::literal(qsizetype index) const {
    const qsizetype from = starts_.at(index);
    const qsizetype to = index + 1 < starts_.size() ? starts_.at(index + 1) - kValueSeparator.size()
                                                    : text_.size() - 1;
    return QStringView(text_).mid(from, to - from);
}

} // namespace fq::sql
