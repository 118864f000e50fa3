#pragma once

// Runs batches and procedure calls on the test double's engine directly (no network) and
// renders what came back as text, so the engine tests compare readable values.

#include <QDate>
#include <QString>
#include <QStringList>

#include <charconv>
#include <optional>
#include <vector>

#include "Engine.h"

namespace enginetest {

inline std::u16string u16(const QString& s) {
    return s.toStdU16String();
}

inline QString q(const std::u16string& s) {
    return QString::fromStdU16String(s);
}

struct Ran {
    std::vector<tds::Message> messages;
    std::vector<std::vector<tds::Column>> columns;          // per result set
    std::vector<std::vector<std::vector<tds::Value>>> rows; // per result set
    std::vector<std::optional<std::int64_t>> counts;        // per outcome
    std::optional<std::int32_t> status;
    std::vector<tds::RpcParam> outputs;

    QList<int> numbers() const {
        QList<int> out;
        for (const auto& m : messages)
            out << m.number;
        return out;
    }
    QString firstText() const { return messages.empty() ? QString() : q(messages.front().text); }
};

inline void collect(Ran& ran, tds::StatementOutcome&& o) {
    for (auto& m : o.messages)
        ran.messages.push_back(std::move(m));
    if (o.result) {
        ran.columns.push_back(o.result->columns);
        std::vector<std::vector<tds::Value>> rows;
        std::vector<tds::Value> row;
        while (o.result->rows && o.result->rows->next(row))
            rows.push_back(row);
        ran.rows.push_back(std::move(rows));
    }
    ran.counts.push_back(o.rowCount);
    if (o.returnStatus) {
        ran.status = o.returnStatus;
        ran.outputs = o.outputParams;
    }
}

inline Ran batch(tds::Session& session, const QString& sql) {
    Ran ran;
    session.executeBatch(u16(sql), [&](tds::StatementOutcome&& o) { collect(ran, std::move(o)); });
    return ran;
}

inline Ran rpc(tds::Session& session, const QString& name, std::uint16_t id,
               const std::vector<tds::RpcParam>& params) {
    Ran ran;
    session.executeRpc(u16(name), id, params,
                       [&](tds::StatementOutcome&& o) { collect(ran, std::move(o)); });
    return ran;
}

inline tds::RpcParam nparam(const QString& name, const QString& value) {
    const auto length = static_cast<std::int32_t>(std::max<qsizetype>(value.size(), 1));
    return tds::RpcParam{u16(name), tds::ColumnType{tds::Type::NVarChar, length, 0, 0},
                         tds::Value{u16(value)}, false};
}

inline QString clock(std::int64_t ticks100ns, int fractionDigits) {
    const QString time =
        QTime(0, 0).addSecs(static_cast<int>(ticks100ns / 10000000)).toString("HH:mm:ss");
    const QString fraction = QString::number(ticks100ns % 10000000).rightJustified(7, u'0');
    return fractionDigits == 0 ? time : time + u'.' + fraction.left(fractionDigits);
}

// A stored value as readable text, decoded independently of the engine's own formatting:
// dates through QDate, decimals with the column's scale, varchar bytes through Latin-1.
inline QString show(const tds::Value& v, const tds::ColumnType& t) {
    using tds::Type;
    if (std::holds_alternative<std::monostate>(v))
        return QStringLiteral("NULL");
    if (const auto* i = std::get_if<std::int64_t>(&v))
        return QString::number(*i);
    if (const auto* d = std::get_if<double>(&v)) {
        std::array<char, 64> buf{};
        auto r = t.type == Type::Real
                     ? std::to_chars(buf.data(), buf.data() + buf.size(), static_cast<float>(*d))
                     : std::to_chars(buf.data(), buf.data() + buf.size(), *d);
        return QString::fromLatin1(buf.data(), r.ptr - buf.data());
    }
    if (const auto* dec = std::get_if<tds::Decimal>(&v)) {
        const int scale = (t.type == Type::Money || t.type == Type::SmallMoney) ? 4 : t.scale;
        const bool negative = dec->unscaled < 0;
        auto u = static_cast<tds::UInt128>(negative ? -dec->unscaled : dec->unscaled);
        QString digits;
        do {
            digits.prepend(QChar(u'0' + static_cast<int>(u % 10)));
            u /= 10;
        } while (u != 0);
        digits = digits.rightJustified(scale + 1, u'0');
        if (scale > 0)
            digits.insert(digits.size() - scale, u'.');
        return negative ? u'-' + digits : digits;
    }
    if (const auto* s = std::get_if<std::string>(&v)) {
        const QByteArray bytes(s->data(), static_cast<qsizetype>(s->size()));
        if (t.type == Type::Binary || t.type == Type::VarBinary || t.type == Type::Image ||
            t.type == Type::UniqueIdentifier)
            return QStringLiteral("0x") + QString::fromLatin1(bytes.toHex().toUpper());
        return QString::fromLatin1(bytes);
    }
    if (const auto* u = std::get_if<std::u16string>(&v))
        return q(*u);
    const auto& dt = std::get<tds::DateTimeValue>(v);
    const QDate day1(1, 1, 1);
    const QDate day1900(1900, 1, 1);
    switch (t.type) {
    case Type::DateTime: // 1/300 s, shown to the millisecond as SQL Server rounds it
        return day1900.addDays(dt.days).toString(Qt::ISODate) + u' ' +
               clock((dt.ticks * 10 + 1) / 3 * 10000, 3);
    case Type::SmallDateTime:
        return day1900.addDays(dt.days).toString(Qt::ISODate) + u' ' +
               clock(dt.ticks * 600000000, 0).left(5);
    case Type::Date:
        return day1.addDays(dt.days).toString(Qt::ISODate);
    case Type::Time:
        return clock(dt.ticks, 7);
    case Type::DateTime2:
        return day1.addDays(dt.days).toString(Qt::ISODate) + u' ' + clock(dt.ticks, 7);
    default: { // datetimeoffset: stored in UTC, shown with its offset
        const int off = dt.offsetMinutes;
        const QDateTime utc(day1.addDays(dt.days), QTime(0, 0), Qt::UTC);
        const QDateTime local = utc.addMSecs(dt.ticks / 10000 + off * 60000LL);
        return local.toString(QStringLiteral("yyyy-MM-dd ")) +
               clock((local.time().msecsSinceStartOfDay() * 10000LL) + dt.ticks % 10000, 7) +
               (off < 0 ? " -" : " +") +
               QString::number(std::abs(off) / 60).rightJustified(2, u'0') + u':' +
               QString::number(std::abs(off) % 60).rightJustified(2, u'0');
    }
    }
}

// The rows of result set `which`, each as its values joined by " | ".
inline QStringList rowsText(const Ran& ran, std::size_t which = 0) {
    QStringList out;
    if (which >= ran.rows.size())
        return out;
    for (const auto& row : ran.rows[which]) {
        QStringList cells;
        for (std::size_t i = 0; i < row.size(); ++i)
            cells << show(row[i], ran.columns[which][i].type);
        out << cells.join(QStringLiteral(" | "));
    }
    return out;
}

} // namespace enginetest
