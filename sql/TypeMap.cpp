#include "sql/TypeMap.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace fq::sql {

namespace {

const QString kUtf8mb4 = QStringLiteral(" CHARACTER SET utf8mb4");

// MySQL's limit for the sum of a row's column sizes (long text and blob columns count with
// their in-row pointer only), null bits included.
constexpr long long kMysqlRowLimit = 65535;
// Widest char/binary types that keep the source's own form.
constexpr long long kMysqlShortLimit = 255;

// InnoDB's count of a row (DYNAMIC row format): a 5-byte record header, and the transaction id
// (6), the roll pointer (7) and, in a table without a primary key such as a copy, the row id (6).
constexpr long long kInnodbRecordHeader = 5;
constexpr long long kInnodbSystemColumns = 6 + 7 + 6;
// A variable-length column of at most this many bytes always stays in the row, in full; a longer
// one, and every text and blob, may move to overflow pages and leaves its pointer.
constexpr long long kInnodbInRowLimit = 255;
constexpr long long kInnodbPointer = 20 + 1; // the pointer and its length byte
// What a page keeps besides its records: the page, file and segment headers, the infimum and
// supremum records, two directory slots and the trailer.
constexpr long long kInnodbPageOverhead = 132;

QString sized(const QString& type, long long n) {
    return QStringLiteral("%1(%2)").arg(type).arg(n);
}

// A column that may have to give way to the row limit: its wide form, and the form it takes
// when the row is too large.
struct Candidate {
    qsizetype index;
    QString fallback;
};

// Widest first (in the bytes the rule counts); among equals the later column gives way first, so
// the leading columns keep their shape.
template <typename Bytes> void widestFirst(QList<Candidate>& candidates, Bytes bytes) {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const Candidate& a, const Candidate& b) {
                         const long long wa = bytes(a.index);
                         const long long wb = bytes(b.index);
                         return wa != wb ? wa > wb : a.index > b.index;
                     });
}

TargetColumn mapFromMssql(const MssqlColumn& c, std::optional<Candidate>& wide, qsizetype index) {
    const QString t = c.dataType.trimmed().toLower();
    const long long len = c.characterMaximumLength.value_or(-1);
    const int precision = c.numericPrecision.value_or(18);
    const int scale = c.numericScale.value_or(0);
    const int fsp = std::clamp(c.datetimePrecision.value_or(0), 0, 6);
    auto col = [&](QString type, ValueKind kind = ValueKind::Plain) {
        return TargetColumn{c.name, std::move(type), kind};
    };

    if (t == u"bit")
        return col(QStringLiteral("tinyint(1)"));
    if (t == u"tinyint")
        return col(QStringLiteral("tinyint unsigned"));
    if (t == u"smallint" || t == u"int" || t == u"bigint")
        return col(t);
    if (t == u"decimal" || t == u"numeric")
        return col(QStringLiteral("decimal(%1,%2)").arg(precision).arg(scale));
    if (t == u"money")
        return col(QStringLiteral("decimal(19,4)"));
    if (t == u"smallmoney")
        return col(QStringLiteral("decimal(10,4)"));
    if (t == u"float")
        return col(QStringLiteral("double"));
    if (t == u"real")
        return col(QStringLiteral("float"));

    if (t == u"char" || t == u"varchar" || t == u"nchar" || t == u"nvarchar") {
        const bool national = t.front() == u'n';
        const QString charset = national ? kUtf8mb4 : QString();
        if (len < 0)
            return col(QStringLiteral("longtext") + charset);
        wide = Candidate{index, QStringLiteral("mediumtext") + charset};
        const bool fixed = !t.endsWith(u"varchar");
        const QString shape =
            fixed && len <= kMysqlShortLimit ? QStringLiteral("char") : QStringLiteral("varchar");
        return col(sized(shape, std::max(len, 1LL)) + charset);
    }
    if (t == u"text")
        return col(QStringLiteral("longtext"));
    if (t == u"ntext" || t == u"xml" || t == u"sql_variant")
        return col(QStringLiteral("longtext") + kUtf8mb4);
    if (t == u"sysname")
        return col(QStringLiteral("varchar(128)") + kUtf8mb4);

    if (t == u"binary" || t == u"varbinary") {
        if (len < 0)
            return col(QStringLiteral("longblob"));
        wide = Candidate{index, QStringLiteral("longblob")};
        const QString shape = t == u"binary" && len <= kMysqlShortLimit
                                  ? QStringLiteral("binary")
                                  : QStringLiteral("varbinary");
        return col(sized(shape, std::max(len, 1LL)));
    }
    if (t == u"image" || t == u"hierarchyid" || t == u"geometry" || t == u"geography")
        return col(QStringLiteral("longblob"));
    if (t == u"timestamp" || t == u"rowversion")
        return col(QStringLiteral("binary(8)"));

    const auto T = ValueKind::Temporal;
    if (t == u"date")
        return col(QStringLiteral("date"), T);
    if (t == u"time")
        return col(sized(QStringLiteral("time"), fsp), ValueKind::SixDigitTemporal);
    if (t == u"datetime")
        return col(QStringLiteral("datetime(3)"), T);
    if (t == u"datetime2")
        return col(sized(QStringLiteral("datetime"), fsp), ValueKind::SixDigitTemporal);
    if (t == u"smalldatetime")
        return col(QStringLiteral("datetime"), T);
    if (t == u"datetimeoffset")
        return col(QStringLiteral("varchar(34)"), T);
    if (t == u"uniqueidentifier")
        return col(QStringLiteral("char(36)"));

    // Anything else (a type this program does not know) arrives as the driver's text.
    return col(QStringLiteral("longtext") + kUtf8mb4);
}

int decimalDigitBytes(int digits) {
    static constexpr int kRest[] = {0, 1, 1, 2, 2, 3, 3, 4, 4, 4};
    return digits / 9 * 4 + kRest[digits % 9];
}

// describe's type text taken apart: "int(10) unsigned zerofill", "enum('a','b''c')".
struct MysqlType {
    QString base;
    QStringList args; // the parenthesised arguments, quoted ones unquoted
    bool isUnsigned = false;
};

MysqlType parseMysqlType(const QString& text) {
    MysqlType t;
    const QString s = text.trimmed();
    qsizetype i = 0;
    while (i < s.size() && s[i] != u'(' && s[i] != u' ')
        ++i;
    t.base = s.left(i).toLower();
    if (i < s.size() && s[i] == u'(') {
        ++i;
        QString arg;
        bool inQuote = false;
        for (; i < s.size(); ++i) {
            const QChar ch = s[i];
            if (inQuote) {
                if (ch == u'\'' && i + 1 < s.size() && s[i + 1] == u'\'') {
                    arg += ch;
                    ++i;
                } else if (ch == u'\'') {
                    inQuote = false;
                } else {
                    arg += ch;
                }
            } else if (ch == u'\'') {
                inQuote = true;
            } else if (ch == u',') {
                t.args << arg;
                arg.clear();
            } else if (ch == u')') {
                t.args << arg;
                ++i;
                break;
            } else if (ch != u' ') {
                arg += ch;
            }
        }
    }
    const QStringList words = s.mid(i).toLower().split(u' ', Qt::SkipEmptyParts);
    t.isUnsigned = words.contains(QStringLiteral("unsigned"));
    return t;
}

long long argument(const MysqlType& t, qsizetype index, long long otherwise) {
    bool ok = false;
    const long long n = t.args.value(index).toLongLong(&ok);
    return ok ? n : otherwise;
}

TargetColumn mapFromMysql(const MysqlColumn& c) {
    const MysqlType t = parseMysqlType(c.type);
    const QString& b = t.base;
    auto col = [&](QString type, ValueKind kind = ValueKind::Plain) {
        return TargetColumn{c.name, std::move(type), kind};
    };
    auto nvarchar = [&](long long n) {
        return n > 4000 ? QStringLiteral("nvarchar(max)")
                        : sized(QStringLiteral("nvarchar"), std::max(n, 1LL));
    };

    if (b == u"tinyint")
        return col(t.isUnsigned ? QStringLiteral("tinyint") : QStringLiteral("smallint"));
    if (b == u"smallint")
        return col(t.isUnsigned ? QStringLiteral("int") : QStringLiteral("smallint"));
    if (b == u"mediumint")
        return col(QStringLiteral("int"));
    if (b == u"int" || b == u"integer")
        return col(t.isUnsigned ? QStringLiteral("bigint") : QStringLiteral("int"));
    if (b == u"bigint")
        return col(t.isUnsigned ? QStringLiteral("decimal(20,0)") : QStringLiteral("bigint"));
    if (b == u"decimal" || b == u"numeric" || b == u"dec" || b == u"fixed") {
        const long long p = argument(t, 0, 10);
        const long long s = argument(t, 1, 0);
        if (p <= 38)
            return col(QStringLiteral("decimal(%1,%2)").arg(p).arg(s));
        return col(nvarchar(p + 2));
    }
    if (b == u"float")
        return col(QStringLiteral("real"), ValueKind::NormalSingle);
    if (b == u"double" || b == u"real")
        return col(QStringLiteral("float"), ValueKind::NormalDouble);
    if (b == u"bit") {
        const long long n = argument(t, 0, 1);
        if (n <= 1)
            return col(QStringLiteral("bit"), ValueKind::Bit);
        return col(sized(QStringLiteral("binary"), (n + 7) / 8));
    }

    if (b == u"char") {
        const long long n = argument(t, 0, 1);
        return col(n >= 1 ? sized(QStringLiteral("nchar"), n) : QStringLiteral("nvarchar(1)"));
    }
    if (b == u"varchar")
        return col(nvarchar(argument(t, 0, 4001)));
    if (b == u"tinytext")
        return col(QStringLiteral("nvarchar(255)"));
    if (b == u"text" || b == u"mediumtext" || b == u"longtext" || b == u"json")
        return col(QStringLiteral("nvarchar(max)"));
    if (b == u"enum" || b == u"set") {
        long long longest = 0;
        long long all = 0;
        for (const QString& v : t.args) {
            longest = std::max<long long>(longest, v.size());
            all += v.size();
        }
        if (b == u"set")
            return col(nvarchar(all + std::max<long long>(t.args.size() - 1, 0)));
        return col(nvarchar(longest));
    }

    if (b == u"binary") {
        const long long n = argument(t, 0, 1);
        return col(n >= 1 ? sized(QStringLiteral("binary"), n) : QStringLiteral("varbinary(1)"));
    }
    if (b == u"varbinary") {
        const long long n = argument(t, 0, 8001);
        return col(n > 8000 ? QStringLiteral("varbinary(max)")
                            : sized(QStringLiteral("varbinary"), std::max(n, 1LL)));
    }
    if (b == u"tinyblob")
        return col(QStringLiteral("varbinary(255)"));
    if (b == u"blob" || b == u"mediumblob" || b == u"longblob" || b == u"geometry" ||
        b == u"point" || b == u"linestring" || b == u"polygon" || b == u"multipoint" ||
        b == u"multilinestring" || b == u"multipolygon" || b == u"geometrycollection")
        return col(QStringLiteral("varbinary(max)"));

    if (b == u"date")
        return col(QStringLiteral("date"), ValueKind::Temporal);
    if (b == u"time")
        return col(sized(QStringLiteral("time"), std::clamp(argument(t, 0, 0), 0LL, 7LL)));
    if (b == u"datetime" || b == u"timestamp")
        return col(sized(QStringLiteral("datetime2"), std::clamp(argument(t, 0, 0), 0LL, 7LL)),
                   ValueKind::Temporal);
    if (b == u"year")
        return col(QStringLiteral("smallint"));

    // MariaDB's own types, held as their text.
    if (b == u"uuid")
        return col(QStringLiteral("nvarchar(36)"));
    if (b == u"inet4")
        return col(QStringLiteral("nvarchar(15)"));
    if (b == u"inet6")
        return col(QStringLiteral("nvarchar(45)"));
    // Anything else arrives as the driver's text.
    return col(QStringLiteral("nvarchar(max)"));
}

// A type text this module writes, taken apart: "varchar(60) CHARACTER SET utf8mb4",
// "decimal(19,4)", "tinyint unsigned".
struct WrittenType {
    QString base;
    long long n = 0;
    int scale = 0;
    bool utf8mb4 = false;
    bool known = false;
};

WrittenType parseWrittenType(const QString& type) {
    static const QRegularExpression re(
        QStringLiteral(R"(^(\w+)(?:\((\d+)(?:,(\d+))?\))?( unsigned)?( CHARACTER SET utf8mb4)?$)"));
    const auto m = re.match(type);
    if (!m.hasMatch())
        return {};
    return WrittenType{m.captured(1), m.captured(2).toLongLong(), m.captured(3).toInt(),
                       !m.captured(5).isEmpty(), true};
}

// The bytes InnoDB counts in the row for a column, see innodbRowBytes.
long long innodbColumnBytes(const QString& type, int databaseCharBytes) {
    const WrittenType t = parseWrittenType(type);
    if (!t.known)
        return kInnodbPointer;
    const QString& b = t.base;
    const long long n = t.n;
    const long long charBytes = t.utf8mb4 ? 4 : std::max(databaseCharBytes, 1);
    auto variable = [](long long bytes) {
        return bytes <= kInnodbInRowLimit ? bytes + 1 : kInnodbPointer;
    };
    if (b == u"char")
        // In a character set of more than one byte a char is stored with its length, as varchar.
        return charBytes == 1 ? n : variable(n * charBytes);
    if (b == u"varchar")
        return variable(n * charBytes);
    if (b == u"binary")
        return n;
    if (b == u"varbinary")
        return variable(n);
    if (b.endsWith(u"text") || b.endsWith(u"blob"))
        return kInnodbPointer;
    // Fixed-size types are stored at the size the row limit counts them at.
    return mysqlColumnBytes(type);
}

// SQL Server's row: a 4-byte header (two status bytes and the offset of the null bitmap), then the
// fixed-size columns, then the null bitmap: a 2-byte column count and a bit a column.
constexpr long long kMssqlRowHeader = 4;
constexpr long long kMssqlColumnCount = 2;

// The bytes a column of a type this module writes takes in the fixed-size part of SQL Server's
// row: 0 for nvarchar and varbinary, which are stored after it (or off the row), and for bit,
// which is counted apart.
long long mssqlFixedBytes(const QString& type) {
    const WrittenType t = parseWrittenType(type);
    if (!t.known)
        return 0; // nvarchar(max), varbinary(max)
    const QString& b = t.base;
    const long long n = t.n;
    // time keeps 3 bytes up to two fractional digits, 4 up to four, 5 up to seven.
    const long long timeBytes = n <= 2 ? 3 : n <= 4 ? 4 : 5;
    if (b == u"tinyint")
        return 1;
    if (b == u"smallint")
        return 2;
    if (b == u"int" || b == u"real")
        return 4;
    if (b == u"bigint" || b == u"float")
        return 8;
    if (b == u"decimal")
        return n <= 9 ? 5 : n <= 19 ? 9 : n <= 28 ? 13 : 17;
    if (b == u"nchar")
        return 2 * n;
    if (b == u"binary")
        return n;
    if (b == u"date")
        return 3;
    if (b == u"time")
        return timeBytes;
    if (b == u"datetime2")
        return timeBytes + 3;
    return 0;
}

// The text or blob a short character or binary column becomes when the row does not fit.
std::optional<QString> shortFallback(const QString& type) {
    const WrittenType t = parseWrittenType(type);
    if (!t.known)
        return std::nullopt;
    if (t.base == u"char" || t.base == u"varchar")
        return QStringLiteral("text") + (t.utf8mb4 ? kUtf8mb4 : QString());
    if (t.base == u"binary" || t.base == u"varbinary")
        return QStringLiteral("blob");
    return std::nullopt;
}

} // namespace

long long mysqlColumnBytes(const QString& type) {
    const WrittenType t = parseWrittenType(type);
    if (!t.known)
        return 12; // a long type counted at its widest pointer
    const QString& b = t.base;
    const long long n = t.n;
    const long long bytesPerChar = 4; // utf8mb4, or a database default that may be it
    if (b == u"tinyint")
        return 1;
    if (b == u"smallint")
        return 2;
    if (b == u"int" || b == u"float")
        return 4;
    if (b == u"bigint" || b == u"double")
        return 8;
    if (b == u"decimal") {
        const int p = static_cast<int>(n);
        const int s = t.scale;
        return decimalDigitBytes(p - s) + decimalDigitBytes(s);
    }
    if (b == u"char")
        return n * bytesPerChar;
    if (b == u"varchar")
        return n * bytesPerChar + (n * bytesPerChar > 255 ? 2 : 1);
    if (b == u"binary")
        return n;
    if (b == u"varbinary")
        return n + (n > 255 ? 2 : 1);
    if (b == u"date")
        return 3;
    if (b == u"time")
        return 3 + (n + 1) / 2;
    if (b == u"datetime")
        return 5 + (n + 1) / 2;
    if (b == u"tinytext" || b == u"tinyblob")
        return 9;
    if (b == u"text" || b == u"blob")
        return 10;
    if (b == u"mediumtext" || b == u"mediumblob")
        return 11;
    return 12; // longtext, longblob
}

long long innodbRowBytes(const QList<TargetColumn>& columns, int databaseCharBytes) {
    long long sum = kInnodbRecordHeader + (static_cast<long long>(columns.size()) + 7) / 8 +
                    kInnodbSystemColumns;
    for (const TargetColumn& c : columns)
        sum += innodbColumnBytes(c.type, databaseCharBytes);
    return sum;
}

long long innodbRowLimit(long long pageSize) {
    return (pageSize - kInnodbPageOverhead) / 2;
}

QList<TargetColumn> mysqlColumnsFor(const QList<MssqlColumn>& source, const MysqlRowRules& rules) {
    QList<TargetColumn> out;
    QList<Candidate> candidates;
    out.reserve(source.size());
    for (qsizetype i = 0; i < source.size(); ++i) {
        std::optional<Candidate> wide;
        out << mapFromMssql(source[i], wide, i);
        if (wide)
            candidates << *wide;
    }

    auto rowBytes = [&] {
        long long sum = (static_cast<long long>(out.size()) + 7) / 8; // null bits
        for (const TargetColumn& c : out)
            sum += mysqlColumnBytes(c.type);
        return sum;
    };
    widestFirst(candidates, [&](qsizetype i) { return mysqlColumnBytes(out[i].type); });
    for (const Candidate& c : candidates) {
        if (rowBytes() <= kMysqlRowLimit)
            break;
        out[c.index].type = c.fallback;
    }

    // InnoDB keeps a row on one page: short character and binary columns, which stay in the row
    // in full, give way to text or blob (a pointer in the row), widest first, the later among
    // equals first, until the row fits. Their values are at most 255 bytes: text and blob hold
    // them.
    const long long limit = innodbRowLimit(rules.innodbPageSize);
    QList<Candidate> inRow;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (const auto fallback = shortFallback(out[i].type))
            inRow << Candidate{i, *fallback};
    }
    auto inRowBytes = [&](const TargetColumn& c) {
        return innodbColumnBytes(c.type, rules.databaseCharBytes);
    };
    widestFirst(inRow, [&](qsizetype i) { return inRowBytes(out[i]); });
    long long row = innodbRowBytes(out, rules.databaseCharBytes);
    for (const Candidate& c : inRow) {
        if (row < limit)
            break;
        const long long before = inRowBytes(out[c.index]);
        if (before <= kInnodbPointer)
            break; // the rest would gain nothing
        out[c.index].type = c.fallback;
        row += inRowBytes(out[c.index]) - before;
    }
    return out;
}

long long mssqlMinimumRowBytes(const QList<TargetColumn>& columns) {
    long long bits = 0;
    long long fixed = 0;
    for (const TargetColumn& c : columns) {
        if (c.type == u"bit")
            ++bits;
        else
            fixed += mssqlFixedBytes(c.type);
    }
    const long long count = columns.size();
    return kMssqlRowHeader + fixed + (bits + 7) / 8 + kMssqlColumnCount + (count + 7) / 8;
}

QList<TargetColumn> mssqlColumnsFor(const QList<MysqlColumn>& source) {
    QList<TargetColumn> out;
    out.reserve(source.size());
    for (const MysqlColumn& c : source)
        out << mapFromMysql(c);

    // SQL Server refuses a table whose smallest row, its fixed-size columns and their overhead,
    // passes its row size: nchar and binary columns give way to nvarchar and varbinary of the same
    // length (which may move off the row, so they add nothing to it), widest first, the later
    // among equals first, until the row fits.
    QList<Candidate> fixed;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const WrittenType t = parseWrittenType(out[i].type);
        if (t.known && (t.base == u"nchar" || t.base == u"binary"))
            fixed << Candidate{i, sized(t.base == u"nchar" ? QStringLiteral("nvarchar")
                                                           : QStringLiteral("varbinary"),
                                        t.n)};
    }
    widestFirst(fixed, [&](qsizetype i) { return mssqlFixedBytes(out[i].type); });
    long long row = mssqlMinimumRowBytes(out);
    for (const Candidate& c : fixed) {
        if (row <= kMssqlRowLimit)
            break;
        row -= mssqlFixedBytes(out[c.index].type);
        out[c.index].type = c.fallback;
    }
    return out;
}

} // namespace fq::sql
