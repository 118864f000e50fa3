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

QString sized(const QString& type, long long n) {
    return QStringLiteral("%1(%2)").arg(type).arg(n);
}

// A column that may have to give way to the row limit: its wide form, and the form it takes
// when the row is too large.
struct Candidate {
    qsizetype index;
    QString fallback;
};

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

} // namespace

long long mysqlColumnBytes(const QString& type) {
    static const QRegularExpression re(
        QStringLiteral(R"(^(\w+)(?:\((\d+)(?:,(\d+))?\))?( unsigned)?( CHARACTER SET utf8mb4)?$)"));
    const auto m = re.match(type);
    if (!m.hasMatch())
        return 12; // a long type counted at its widest pointer
    const QString b = m.captured(1);
    const long long n = m.captured(2).toLongLong();
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
        const int s = m.captured(3).toInt();
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

QList<TargetColumn> mysqlColumnsFor(const QList<MssqlColumn>& source) {
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
    // Widest first; among equals the later column gives way first, so the leading columns keep
    // their shape.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const Candidate& a, const Candidate& b) {
                         const long long wa = mysqlColumnBytes(out[a.index].type);
                         const long long wb = mysqlColumnBytes(out[b.index].type);
                         return wa != wb ? wa > wb : a.index > b.index;
                     });
    for (const Candidate& c : candidates) {
        if (rowBytes() <= kMysqlRowLimit)
            break;
        out[c.index].type = c.fallback;
    }
    return out;
}

QList<TargetColumn> mssqlColumnsFor(const QList<MysqlColumn>& source) {
    QList<TargetColumn> out;
    out.reserve(source.size());
    for (const MysqlColumn& c : source)
        out << mapFromMysql(c);
    return out;
}

} // namespace fq::sql
