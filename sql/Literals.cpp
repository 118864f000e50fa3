#include "sql/Literals.h"

#include "sql/Refusal.h"
#include "sql/SqlText.h"
#include "sql/StatementSize.h"

#include <cmath>
#include <limits>

namespace fq::sql {

namespace {

const QString kNull = QStringLiteral("NULL");

// A date or time as text with its year in four digits: FreeTDS writes SQL Server's years below
// 1000 without leading zeros ("12-01-01"), which MySQL would read as 2012.
QString paddedYear(const QString& t) {
    qsizetype digits = 0;
    while (digits < t.size() && t.at(digits).isDigit())
        ++digits;
    if (digits == 0 || digits >= 4 || digits >= t.size() || t.at(digits) != u'-')
        return t;
    return QString(4 - digits, u'0') + t;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The number written by `count` ASCII digits at `at`; -1 when they are not all there.
int digitsAt(QStringView t, qsizetype at, qsizetype count) {
    if (at + count > t.size())
        return -1;
    int n = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        if (!isDigit(t[i]))
            return -1;
        n = n * 10 + (t[i].unicode() - u'0');
    }
    return n;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// A bit(1) as '0' or '1', whether the driver gave it as text or as one byte.
QString bitText(const odbc::Value& v) {
    if (v.kind() == odbc::Value::Kind::Binary)
        return v.bytes().count('\0') == v.bytes().size() ? QStringLiteral("0")
                                                         : QStringLiteral("1");
    const QString t = v.text();
    if (t == u"0" || t == u"1")
        return t;
    for (QChar c : t) {
        if (c != QChar(u'\0') && c != u'0')
            return QStringLiteral("1");
    }
    return QStringLiteral("0");
}

// MySQL keeps at most six fractional digits of a second and cuts the rest without a word; a value
// that would lose a non-zero digit is refused instead.
void refuseSeventhDigit(const QString& t) {
    const qsizetype dot = t.indexOf(u'.');
    if (dot < 0)
        return;
    qsizetype end = dot + 1;
    while (end < t.size() && t.at(end).isDigit())
        ++end;
    for (qsizetype i = dot + 7; i < end; ++i) {
        if (t.at(i) != u'0')
            throw Refusal(QStringLiteral("The value ") + t +
                          QStringLiteral(" has more fractional digits of a second than MySQL "
                                         "keeps (six); it would arrive changed."));
    }
}

// SQL Server fills a real or float from text within the normal range only and stores a value
// closer to zero as 0; such a value is refused instead.
void refuseBelowNormal(const odbc::Value& v, ValueKind kind) {
    if (v.kind() != odbc::Value::Kind::Double)
        return;
    const bool single = kind == ValueKind::NormalSingle;
    const double smallest = single ? static_cast<double>(std::numeric_limits<float>::min())
                                   : std::numeric_limits<double>::min();
    const double d = v.kind() == odbc::Value::Kind::Double ? v.toDouble() : v.text().toDouble();
    if (d == 0 || std::fabs(d) >= smallest)
        return;
    throw Refusal(QStringLiteral("The value %1 is closer to zero than SQL Server's %2 holds "
                                 "(its smallest is %3); it would arrive as 0.")
                      .arg(v.text(), single ? QStringLiteral("real") : QStringLiteral("float"),
                           single ? QStringLiteral("1.1754944e-38")
                                  : QStringLiteral("2.2250738585072014e-308")));
}

// What differs between the two targets: how bytes and text are written.
struct TargetForms {
    void (*binary)(QString&, const QByteArray&);
    void (*text)(QString&, const QString&);
};

void appendLiteral(QString& out, const odbc::Value& value, ValueKind kind,
                   const TargetForms& forms) {
    if (value.isNull() || notACalendarDate(value, kind))
        out += kNull;
    else if (kind == ValueKind::Bit)
        appendQuoted(out, bitText(value));
    else if (value.kind() == odbc::Value::Kind::Binary)
        forms.binary(out, value.bytes());
    else if (kind == ValueKind::Temporal)
        appendQuoted(out, paddedYear(value.text()));
    else if (value.kind() == odbc::Value::Kind::Double) {
        out += u'\'';
        odbc::appendShortestDouble(out, value.toDouble());
        out += u'\'';
    } else
        forms.text(out, value.text());
}

} // namespace

bool notACalendarDate(const odbc::Value& value, ValueKind kind) {
    if ((kind != ValueKind::Temporal && kind != ValueKind::SixDigitTemporal) ||
        value.kind() != odbc::Value::Kind::Text)
        return false;
    // "yyyy-mm-dd", alone or followed by a time of day; any other shape is not judged here.
    const QString padded = paddedYear(value.text());
    const QStringView t(padded);
    if (t.size() < 10 || t[4] != u'-' || t[7] != u'-' || (t.size() > 10 && isDigit(t[10])))
        return false;
    const int year = digitsAt(t, 0, 4);
    const int month = digitsAt(t, 5, 2);
    const int day = digitsAt(t, 8, 2);
    if (year < 0 || month < 0 || day < 0)
        return false;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return true;
    // "hh:mm:ss" after one blank.
    if (t.size() < 19 || t[10] != u' ' || t[13] != u':' || t[16] != u':')
        return false;
    const int hour = digitsAt(t, 11, 2);
    const int minute = digitsAt(t, 14, 2);
    const int second = digitsAt(t, 17, 2);
    return hour > 23 || minute > 59 || second > 59;
}

void appendMysqlLiteral(QString& out, const odbc::Value& value, ValueKind kind) {
    if (kind == ValueKind::SixDigitTemporal) {
        if (!value.isNull())
            refuseSeventhDigit(value.text());
        kind = ValueKind::Temporal;
    }
    appendLiteral(out, value, kind, TargetForms{&appendMysqlBinary, &appendMysqlString});
}

void appendMssqlLiteral(QString& out, const odbc::Value& value, ValueKind kind) {
    if (kind == ValueKind::SixDigitTemporal)
        kind = ValueKind::Temporal;
    if (kind == ValueKind::NormalSingle || kind == ValueKind::NormalDouble) {
        refuseBelowNormal(value, kind);
        kind = ValueKind::Plain;
    }
    appendLiteral(out, value, kind, TargetForms{&appendMssqlBinary, &appendMssqlText});
}

long long mysqlLiteralBytes(const odbc::Value& value, ValueKind kind) {
    if (kind == ValueKind::Plain && value.kind() == odbc::Value::Kind::Binary)
        return 3 + 2 * static_cast<long long>(value.bytes().size()); // X'...'
    if (kind == ValueKind::Plain && value.kind() == odbc::Value::Kind::Text) {
        const QString text = value.text();
        if (text.contains(QChar(u'\0'))) // _utf8mb4 X'...' of its UTF-8
            return 12 + 2 * utf8Bytes(text);
        return 2 + utf8Bytes(text) + text.count(u'\''); // every quote doubled
    }
    QString literal;
    appendMysqlLiteral(literal, value, kind);
    return utf8Bytes(literal);
}

} // namespace fq::sql
