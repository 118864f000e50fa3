#include "transfer/Literals.h"

#include "transfer/SqlText.h"

namespace fq::transfer {

namespace {

const QString kNull = QStringLiteral("NULL");

// MySQL's zero date ('0000-00-00', '0000-00-00 00:00:00'): neither SQL Server nor a strict
// MySQL can hold it, so it travels as NULL.
bool isZeroDate(const db::Value& v) {
    return v.kind() == db::Value::Kind::Text && v.text().startsWith(u"0000-00-00");
}

// A bit(1) as '0' or '1', whether the driver gave it as text or as one byte.
QString bitText(const db::Value& v) {
    if (v.kind() == db::Value::Kind::Binary)
        return v.bytes().count('\0') == v.bytes().size() ? QStringLiteral("0") : QStringLiteral("1");
    const QString t = v.text();
    if (t == u"0" || t == u"1")
        return t;
    for (QChar c : t) {
        if (c != QChar(u'\0') && c != u'0')
            return QStringLiteral("1");
    }
    return QStringLiteral("0");
}

} // namespace

QString mysqlLiteral(const db::Value& value, ValueKind kind) {
    if (value.isNull() || (kind == ValueKind::Temporal && isZeroDate(value)))
        return kNull;
    if (kind == ValueKind::Bit)
        return sql::quoted(bitText(value));
    if (value.kind() == db::Value::Kind::Binary)
        return sql::mysqlBinary(value.bytes());
    return sql::mysqlString(value.text());
}

QString mssqlLiteral(const db::Value& value, ValueKind kind) {
    if (value.isNull() || (kind == ValueKind::Temporal && isZeroDate(value)))
        return kNull;
    if (kind == ValueKind::Bit)
        return sql::quoted(bitText(value));
    if (value.kind() == db::Value::Kind::Binary)
        return sql::mssqlBinary(value.bytes());
    return sql::mssqlString(value.text());
}

} // namespace fq::transfer
