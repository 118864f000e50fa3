#include "commands/RefusedValues.h"

#include <QRegularExpression>

namespace fq::commands {

namespace {

constexpr qsizetype kShownCharacters = 60;

// The type's name without its length or other words: "datetime2(6)" gives "datetime2".
QString baseType(const QString& type) {
    return type.section(u'(', 0, 0).section(u' ', 0, 0).trimmed().toLower();
}

bool isTemporal(const QString& base) {
    static const QStringList temporal{"date",      "time",          "datetime",
                                      "datetime2", "smalldatetime", "datetimeoffset"};
    return temporal.contains(base);
}

// The type a SQL Server conversion error names as the one it converted to, if any.
QString namedTargetType(const QString& words) {
    static const QList<QRegularExpression> patterns{
        QRegularExpression(QStringLiteral(R"(to data type (\w+))")),
        QRegularExpression(QStringLiteral(R"(converting data type \w+ to (\w+))")),
        QRegularExpression(QStringLiteral(R"(for (?:data )?type (\w+))"))};
    for (const QRegularExpression& p : patterns) {
        const auto m = p.match(words);
        if (m.hasMatch())
            return m.captured(1).toLower();
    }
    return {};
}

bool sameType(const QString& base, const QString& named) {
    // SQL Server names a decimal column's conversions "numeric".
    const auto canonical = [](const QString& t) {
        return t == u"decimal" ? QStringLiteral("numeric") : t;
    };
    return canonical(base) == canonical(named);
}

// Whether the server's words name this column as the one refused.
bool wordsName(Server target, const QString& words, const QString& column) {
    if (target == Server::MySQL)
        return words.contains(QStringLiteral("for column '") + column +
                              QStringLiteral("' at row")) ||
               words.contains(QStringLiteral(".`") + column + QStringLiteral("` at row"));
    return words.contains(QStringLiteral(", column '") + column + QStringLiteral("'."));
}

} // namespace

NamedValue namedValue(const QList<sql::TargetColumn>& columns, const QList<odbc::Value>& row,
                      int column) {
    const odbc::Value& v = row.at(column);
    QString shown;
    if (v.kind() == odbc::Value::Kind::Binary) {
        const QByteArray bytes = v.bytes().left(kShownCharacters / 2);
        shown = QStringLiteral("0x") + QString::fromLatin1(bytes.toHex().toUpper());
        if (bytes.size() < v.bytes().size())
            shown += QStringLiteral("...");
    } else {
        const QString text = v.text();
        shown = u'\'' + text.left(kShownCharacters) + u'\'';
        if (text.size() > kShownCharacters)
            shown += QStringLiteral("...");
    }
    return NamedValue{column < columns.size() ? columns.at(column).name
                                              : QStringLiteral("%1").arg(column + 1),
                      shown};
}

QList<NamedValue> refusedValues(Server target, const QString& words, long nativeError,
                                const QList<sql::TargetColumn>& columns,
                                const QList<odbc::Value>& row) {
    const int count = static_cast<int>(std::min(columns.size(), row.size()));
    QList<int> named;
    for (int i = 0; i < count; ++i) {
        if (!row.at(i).isNull() && wordsName(target, words, columns.at(i).name))
            named << i;
    }
    if (named.size() != 1 && target == Server::MSSQL) {
        named.clear();
        const QString type = namedTargetType(words);
        const bool temporal = nativeError == 241 || nativeError == 242;
        for (int i = 0; i < count && (temporal || !type.isEmpty()); ++i) {
            if (row.at(i).isNull())
                continue; // NULL converts to anything
            const QString base = baseType(columns.at(i).type);
            if (temporal ? isTemporal(base) : sameType(base, type))
                named << i;
        }
    } else if (named.size() != 1) {
        named.clear();
    }
    QList<NamedValue> values;
    for (int i : named)
        values << namedValue(columns, row, i);
    return values;
}

} // namespace fq::commands
