#include "commands/NullDates.h"

#include <QStringList>

#include <algorithm>

namespace fq::commands {

void NullDates::add(const QString& table, int position, const QString& column,
                    const QString& value) {
    auto t = std::find_if(tables_.begin(), tables_.end(),
                          [&](const Table& each) { return each.name == table; });
    if (t == tables_.end()) {
        tables_.append(Table{table, value, {}});
        t = tables_.end() - 1;
    }
    auto c = std::find_if(t->columns.begin(), t->columns.end(),
                          [&](const Column& each) { return each.position >= position; });
    if (c == t->columns.end() || c->position != position)
        c = t->columns.insert(c, Column{position, column, 0});
    ++c->count;
}

QString NullDates::text() const {
    QStringList lines;
    for (const Table& t : tables_) {
        long long total = 0;
        QStringList parts;
        for (const Column& c : t.columns) {
            total += c.count;
            const QString counted = parts.isEmpty() ? QStringLiteral("%1 %2").arg(c.count).arg(
                                                          c.count == 1 ? QStringLiteral("value")
                                                                       : QStringLiteral("values"))
                                                    : QString::number(c.count);
            parts << counted + QStringLiteral(" in ") + c.name;
        }
        QString where = parts.takeLast();
        if (!parts.isEmpty())
            where = parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + where;
        lines << (total == 1 ? QStringLiteral("%1: %2 was not a calendar date (%3) and arrived "
                                              "as NULL")
                             : QStringLiteral("%1: %2 were not calendar dates (first: %3) and "
                                              "arrived as NULL"))
                     .arg(t.name, where, t.first);
    }
    return lines.join(u'\n');
}

} // namespace fq::commands
