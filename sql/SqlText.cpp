#include "sql/SqlText.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace fq::sql {

namespace {

// Reserved words of MySQL 8, MariaDB 10/11 and Transact-SQL, upper case, sorted (strcmp order).
// A name that is one of them must be delimited wherever it stands.
// clang-format off
constexpr const char* kReservedWords[] = {
    "ACCESSIBLE", "ADD", "ALL", "ALTER", "ANALYZE", "AND", "ANY", "AS", "ASC", "ASENSITIVE",
    "AUTHORIZATION", "BACKUP", "BEFORE", "BEGIN", "BETWEEN", "BIGINT", "BINARY", "BLOB", "BOTH",
    "BREAK", "BROWSE", "BULK", "BY", "CALL", "CASCADE", "CASE", "CHANGE", "CHAR", "CHARACTER",
    "CHECK", "CHECKPOINT", "CLOSE", "CLUSTERED", "COALESCE", "COLLATE", "COLUMN", "COMMIT",
    "COMPUTE", "CONDITION", "CONSTRAINT", "CONTAINS", "CONTAINSTABLE", "CONTINUE", "CONVERT",
    "CREATE", "CROSS", "CUBE", "CUME_DIST", "CURRENT", "CURRENT_DATE", "CURRENT_ROLE",
    "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "CURSOR", "DATABASE", "DATABASES",
    "DAY_HOUR", "DAY_MICROSECOND", "DAY_MINUTE", "DAY_SECOND", "DBCC", "DEALLOCATE", "DEC",
    "DECIMAL", "DECLARE", "DEFAULT", "DELAYED", "DELETE", "DELETE_DOMAIN_ID", "DENSE_RANK", "DENY",
    "DESC", "DESCRIBE", "DETERMINISTIC", "DISK", "DISTINCT", "DISTINCTROW", "DISTRIBUTED", "DIV",
    "DOUBLE", "DO_DOMAIN_IDS", "DROP", "DUAL", "DUMP", "EACH", "ELSE", "ELSEIF", "EMPTY",
    "ENCLOSED", "END", "ERRLVL", "ESCAPE", "ESCAPED", "EXCEPT", "EXEC", "EXECUTE", "EXISTS",
    "EXIT", "EXPLAIN", "EXTERNAL", "FALSE", "FETCH", "FILE", "FILLFACTOR", "FIRST_VALUE", "FLOAT",
    "FLOAT4", "FLOAT8", "FOR", "FORCE", "FOREIGN", "FREETEXT", "FREETEXTTABLE", "FROM", "FULL",
    "FULLTEXT", "FUNCTION", "GENERAL", "GENERATED", "GET", "GOTO", "GRANT", "GROUP", "GROUPING",
    "GROUPS", "HAVING", "HIGH_PRIORITY", "HOLDLOCK", "HOUR_MICROSECOND", "HOUR_MINUTE",
    "HOUR_SECOND", "IDENTITY", "IDENTITYCOL", "IDENTITY_INSERT", "IF", "IGNORE",
    "IGNORE_DOMAIN_IDS", "IGNORE_SERVER_IDS", "IN", "INDEX", "INFILE", "INNER", "INOUT",
    "INSENSITIVE", "INSERT", "INT", "INT1", "INT2", "INT3", "INT4", "INT8", "INTEGER", "INTERSECT",
    "INTERVAL", "INTO", "IO_AFTER_GTIDS", "IO_BEFORE_GTIDS", "IS", "ITERATE", "JOIN", "JSON_TABLE",
    "KEY", "KEYS", "KILL", "LAG", "LAST_VALUE", "LATERAL", "LEAD", "LEADING", "LEAVE", "LEFT",
    "LIKE", "LIMIT", "LINEAR", "LINENO", "LINES", "LOAD", "LOCALTIME", "LOCALTIMESTAMP", "LOCK",
    "LONG", "LONGBLOB", "LONGTEXT", "LOOP", "LOW_PRIORITY", "MANUAL", "MASTER_BIND",
    "MASTER_HEARTBEAT_PERIOD", "MASTER_SSL_VERIFY_SERVER_CERT", "MATCH", "MAXVALUE", "MEDIUMBLOB",
    "MEDIUMINT", "MEDIUMTEXT", "MERGE", "MIDDLEINT", "MINUS", "MINUTE_MICROSECOND",
    "MINUTE_SECOND", "MOD", "MODIFIES", "NATIONAL", "NATURAL", "NOCHECK", "NONCLUSTERED", "NOT",
    "NO_WRITE_TO_BINLOG", "NTH_VALUE", "NTILE", "NULL", "NULLIF", "NUMERIC", "OF", "OFF", "OFFSET",
    "OFFSETS", "ON", "OPEN", "OPENDATASOURCE", "OPENQUERY", "OPENROWSET", "OPENXML", "OPTIMIZE",
    "OPTIMIZER_COSTS", "OPTION", "OPTIONALLY", "OR", "ORDER", "OUT", "OUTER", "OUTFILE", "OVER",
    "PAGE_CHECKSUM", "PARALLEL", "PARSE_VCOL_EXPR", "PARTITION", "PERCENT", "PERCENT_RANK",
    "PIVOT", "PLAN", "POSITION", "PRECISION", "PRIMARY", "PRINT", "PROC", "PROCEDURE", "PUBLIC",
    "PURGE", "QUALIFY", "RAISERROR", "RANGE", "RANK", "READ", "READS", "READTEXT", "READ_WRITE",
    "REAL", "RECONFIGURE", "RECURSIVE", "REFERENCES", "REF_SYSTEM_ID", "REGEXP", "RELEASE",
    "RENAME", "REPEAT", "REPLACE", "REPLICATION", "REQUIRE", "RESIGNAL", "RESTORE", "RESTRICT",
    "RETURN", "RETURNING", "REVERT", "REVOKE", "RIGHT", "RLIKE", "ROLLBACK", "ROW", "ROWCOUNT",
    "ROWGUIDCOL", "ROWNUM", "ROWS", "ROWTYPE", "ROW_NUMBER", "RULE", "SAVE", "SCHEMA", "SCHEMAS",
    "SECOND_MICROSECOND", "SECURITYAUDIT", "SELECT", "SEMANTICKEYPHRASETABLE",
    "SEMANTICSIMILARITYDETAILSTABLE", "SEMANTICSIMILARITYTABLE", "SENSITIVE", "SEPARATOR",
    "SESSION_USER", "SET", "SETUSER", "SHOW", "SHUTDOWN", "SIGNAL", "SLOW", "SMALLINT", "SOME",
    "SPATIAL", "SPECIFIC", "SQL", "SQLEXCEPTION", "SQLSTATE", "SQLWARNING", "SQL_BIG_RESULT",
    "SQL_CALC_FOUND_ROWS", "SQL_SMALL_RESULT", "SSL", "STARTING", "STATISTICS",
    "STATS_AUTO_RECALC", "STATS_PERSISTENT", "STATS_SAMPLE_PAGES", "STORED", "STRAIGHT_JOIN",
    "SYSDATE", "SYSTEM", "SYSTEM_USER", "TABLE", "TABLESAMPLE", "TERMINATED", "TEXTSIZE", "THEN",
    "TINYBLOB", "TINYINT", "TINYTEXT", "TO", "TOP", "TRAILING", "TRAN", "TRANSACTION", "TRIGGER",
    "TRUE", "TRUNCATE", "TRY_CONVERT", "TSEQUAL", "UNDO", "UNION", "UNIQUE", "UNLOCK", "UNPIVOT",
    "UNSIGNED", "UPDATE", "UPDATETEXT", "USAGE", "USE", "USER", "USING", "UTC_DATE", "UTC_TIME",
    "UTC_TIMESTAMP", "VALUES", "VARBINARY", "VARCHAR", "VARCHARACTER", "VARYING", "VIEW",
    "VIRTUAL", "WAITFOR", "WHEN", "WHERE", "WHILE", "WINDOW", "WITH", "WITHIN", "WRITE",
    "WRITETEXT", "XOR", "YEAR_MONTH", "ZEROFILL",
};
// clang-format on

bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

bool isAsciiDigit(QChar c) {
    const char16_t u = c.unicode();
    return u >= u'0' && u <= u'9';
}

// Appends the text between the two delimiters, every closing delimiter in it doubled.
void appendDelimited(QString& out, const QString& name, QChar open, QChar close) {
    out += open;
    qsizetype from = 0;
    for (qsizetype at = name.indexOf(close); at >= 0; at = name.indexOf(close, from)) {
        out.append(QStringView(name).mid(from, at + 1 - from));
        out += close;
        from = at + 1;
    }
    out.append(QStringView(name).mid(from));
    out += close;
}

QString delimited(const QString& name, QChar open, QChar close) {
    QString out;
    out.reserve(name.size() + 2);
    appendDelimited(out, name, open, close);
    return out;
}

// Appends the bytes as upper-case hexadecimal digits.
void appendHexDigits(QString& out, const QByteArray& bytes) {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    const qsizetype start = out.size();
    out.resize(start + bytes.size() * 2);
    QChar* d = out.data() + start;
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *d++ = QChar(kDigits[u >> 4]);
        *d++ = QChar(kDigits[u & 0xf]);
    }
}

// True when no character of the text is beyond ASCII; reads four characters at a time.
bool allAscii(QStringView text) {
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    std::uint64_t bits = 0;
    qsizetype i = 0;
    for (; i + 4 <= n; i += 4) {
        std::uint64_t four = 0;
        std::memcpy(&four, p + i, sizeof four);
        bits |= four;
    }
    for (; i < n; ++i)
        bits |= p[i];
    return (bits & 0xFF80FF80FF80FF80ULL) == 0;
}

// Appends the text between quotes, every quote doubled, with an N in front when `unicodePrefix`
// and the text is not all ASCII. The runs between quotes are copied whole.
void appendQuotedText(QString& out, QStringView text, bool unicodePrefix) {
    qsizetype quotes = 0;
    for (qsizetype at = text.indexOf(u'\''); at >= 0; at = text.indexOf(u'\'', at + 1))
        ++quotes;
    const bool prefix = unicodePrefix && !allAscii(text);
    const qsizetype start = out.size();
    out.resize(start + text.size() + quotes + 2 + (prefix ? 1 : 0));
    QChar* d = out.data() + start;
    if (prefix)
        *d++ = u'N';
    *d++ = u'\'';
    qsizetype from = 0;
    while (from < text.size()) {
        const qsizetype quote = quotes == 0 ? -1 : text.indexOf(u'\'', from);
        const qsizetype to = quote < 0 ? text.size() : quote + 1;
        std::memcpy(static_cast<void*>(d), text.data() + from,
                    static_cast<std::size_t>(to - from) * sizeof(QChar));
        d += to - from;
        if (quote >= 0)
            *d++ = u'\'';
        from = to;
    }
    *d = u'\'';
}

} // namespace

bool isPlainIdentifier(const QString& name) {
    if (name.isEmpty() || isAsciiDigit(name.front()))
        return false;
    for (QChar c : name) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != u'_')
            return false;
    }
    return true;
}

bool isReservedWord(const QString& name) {
    if (!isPlainIdentifier(name))
        return false;
    const QByteArray upper = name.toUpper().toLatin1();
    return std::binary_search(std::begin(kReservedWords), std::end(kReservedWords),
                              upper.constData(),
                              [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
}

QString bracketed(const QString& name) {
    return delimited(name, u'[', u']');
}

QString backticked(const QString& name) {
    return delimited(name, u'`', u'`');
}

QString mssqlBareName(const QString& name) {
    return isPlainIdentifier(name) && !isReservedWord(name) ? name : bracketed(name);
}

QString mysqlBareName(const QString& name) {
    return isPlainIdentifier(name) && !isReservedWord(name) ? name : backticked(name);
}

QString quoted(const QString& text) {
    return delimited(text, u'\'', u'\'');
}

void appendQuoted(QString& out, const QString& text) {
    appendQuotedText(out, text, false);
}

QString mysqlString(const QString& text) {
    QString out;
    appendMysqlString(out, text);
    return out;
}

void appendMysqlString(QString& out, const QString& text) {
    if (!text.contains(QChar(u'\0'))) {
        appendQuotedText(out, text, false);
        return;
    }
    out += QLatin1String("_utf8mb4 X'");
    appendHexDigits(out, text.toUtf8());
    out += u'\'';
}

QString mssqlString(const QString& text) {
    QString out;
    appendMssqlString(out, text);
    return out;
}

void appendMssqlString(QString& out, const QString& text) {
    appendQuotedText(out, text, true);
}

void appendMssqlText(QString& out, const QString& text) {
    if (!text.contains(QChar(u'\0'))) {
        appendQuotedText(out, text, true);
        return;
    }
    QByteArray utf16le;
    utf16le.reserve(text.size() * 2);
    for (QChar c : text) {
        utf16le.append(static_cast<char>(c.unicode() & 0xff));
        utf16le.append(static_cast<char>(c.unicode() >> 8));
    }
    out += QLatin1String("CONVERT(nvarchar(max), ");
    appendMssqlBinary(out, utf16le);
    out += u')';
}

bool wrapInMssqlText(QString& text, QStringView before, QStringView after) {
    if (text.contains(QChar(u'\0')))
        return false;
    const qsizetype n = text.size();
    qsizetype quotes = 0;
    for (qsizetype at = text.indexOf(u'\''); at >= 0; at = text.indexOf(u'\'', at + 1))
        ++quotes;
    const bool prefix = !allAscii(text);
    const qsizetype open = before.size() + (prefix ? 2 : 1);
    text.resize(open + n + quotes + 1 + after.size());
    QChar* d = text.data();
    // From the back, so that nothing is written over before it has moved: each run between
    // quotes goes to its place, each quote goes doubled.
    qsizetype to = open + n + quotes;
    for (qsizetype from = n; from > 0;) {
        const qsizetype quote = QStringView(d, from).lastIndexOf(u'\'');
        const qsizetype run = from - (quote + 1);
        to -= run;
        std::memmove(static_cast<void*>(d + to), d + quote + 1,
                     static_cast<std::size_t>(run) * sizeof(QChar));
        if (quote < 0)
            break;
        d[--to] = u'\'';
        d[--to] = u'\'';
        from = quote;
    }
    std::memcpy(static_cast<void*>(d), before.data(),
                static_cast<std::size_t>(before.size()) * sizeof(QChar));
    if (prefix)
        d[before.size()] = u'N';
    d[open - 1] = u'\'';
    d[open + n + quotes] = u'\'';
    std::memcpy(static_cast<void*>(d + open + n + quotes + 1), after.data(),
                static_cast<std::size_t>(after.size()) * sizeof(QChar));
    return true;
}

QString mssqlUnicodeString(const QString& text) {
    return u'N' + quoted(text);
}

void appendMssqlBinary(QString& out, const QByteArray& bytes) {
    out += QLatin1String("0x");
    appendHexDigits(out, bytes);
}

QString mysqlBinary(const QByteArray& bytes) {
    QString out;
    appendMysqlBinary(out, bytes);
    return out;
}

void appendMysqlBinary(QString& out, const QByteArray& bytes) {
    out += QLatin1String("X'");
    appendHexDigits(out, bytes);
    out += u'\'';
}

} // namespace fq::sql
