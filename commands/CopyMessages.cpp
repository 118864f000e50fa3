#include "commands/CopyMessages.h"

#include "commands/RefusedValues.h"

#include <QStringList>

namespace fq::commands::copy {

namespace {

QString rows(long long n) {
    return n == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(n);
}

// Rows of the statement being sent: "row 31", "rows 31 to 1030".
QString rowsSent(const Place& p) {
    if (p.sending <= 1)
        return QStringLiteral("row %1").arg(p.copied + 1);
    return QStringLiteral("rows %1 to %2").arg(p.copied + 1).arg(p.copied + p.sending);
}

bool connecting(Step step) {
    return step == Step::ConnectingMssql || step == Step::ConnectingMysql ||
           step == Step::PreparingMysql;
}

// What a statement that was cut off may still have done: the server may carry it out when it
// answers again.
QString unknownOutcome(const Servers& s, const Place& p) {
    switch (p.step) {
    case Step::Dropping:
        return QStringLiteral(" Whether the table was dropped on %1 is not known.")
            .arg(s.targetName);
    case Step::Creating:
        return QStringLiteral(" Whether the table was created on %1 is not known.")
            .arg(s.targetName);
    case Step::CopyingRows: {
        const QString sent = rowsSent(p);
        return p.sending <= 1
                   ? QStringLiteral(" %1 was being sent and may have arrived as well.")
                         .arg(sent.left(1).toUpper() + sent.mid(1))
                   : QStringLiteral(" %1 were being sent in one statement and may have arrived "
                                    "as well.")
                         .arg(sent.left(1).toUpper() + sent.mid(1));
    }
    default:
        return {};
    }
}

// " The table is on MySQL with the 3 rows copied before." (or "with no rows copied"), when the
// copy created it.
QString tableIsThere(const Servers& s, const Place& p, QLatin1String before) {
    if (!p.created)
        return {};
    if (p.copied == 0)
        return QStringLiteral(" The table is on %1 with no rows copied.").arg(s.targetName);
    return QStringLiteral(" The table is on %1 with the %2 copied%3.")
        .arg(s.targetName, rows(p.copied), before);
}

// ", at the value '100:00:00' of column tm", ", at one of the values ... (column a), ...", or
// nothing when the program cannot tell which value was refused.
QString refusedValueText(const Servers& s, const Place& p, const std::optional<Refused>& refused,
                         long nativeError) {
    if (p.row.isEmpty())
        return {};
    QList<NamedValue> values;
    if (p.refusedColumn >= 0 && p.refusedColumn < p.row.size())
        values << namedValue(p.columns, p.row, p.refusedColumn);
    else if (refused)
        values = refusedValues(s.target, refused->words, nativeError, p.columns, p.row);
    if (values.size() == 1)
        return QStringLiteral(", at the value %1 of column %2")
            .arg(values[0].value, values[0].column);
    QStringList each;
    for (const NamedValue& v : values)
        each << QStringLiteral("%1 (column %2)").arg(v.value, v.column);
    return each.isEmpty() ? QString()
                          : QStringLiteral(", at one of the values ") + each.join(u", ");
}

} // namespace

QString serverOf(const Servers& s, Step step) {
    switch (step) {
    case Step::ConnectingMssql:
        return QStringLiteral("SQL Server");
    case Step::ConnectingMysql:
    case Step::PreparingMysql:
        return QStringLiteral("MySQL");
    case Step::ReadingColumns:
    case Step::Estimating:
    case Step::ReadingRows:
        return s.source;
    default:
        return s.targetName;
    }
}

QString doing(const Servers& s, const Place& p) {
    switch (p.step) {
    case Step::ConnectingMssql:
    case Step::ConnectingMysql:
        return QStringLiteral("connecting to %1").arg(serverOf(s, p.step));
    case Step::PreparingMysql:
        return QStringLiteral("preparing the MySQL session");
    case Step::Dropping:
        return QStringLiteral("dropping the existing table on %1").arg(s.targetName);
    case Step::ReadingColumns:
        return QStringLiteral("reading its columns from %1").arg(s.source);
    case Step::Creating:
        return QStringLiteral("creating it on %1").arg(s.targetName);
    case Step::Estimating:
    case Step::ReadingRows:
        return p.read == 0 ? QStringLiteral("reading its rows from %1").arg(s.source)
                           : QStringLiteral("reading row %1 from %2").arg(p.read + 1).arg(s.source);
    case Step::CopyingRows:
        return QStringLiteral("copying ") + rowsSent(p);
    case Step::Counting:
        return QStringLiteral("counting its rows on %1").arg(s.targetName);
    }
    return {};
}

QString refused(const Servers& s, const Place& p, const std::optional<Refused>& refused,
                long nativeError) {
    switch (p.step) {
    case Step::ConnectingMssql:
    case Step::ConnectingMysql:
        return QStringLiteral("Could not connect to %1; nothing was copied.")
            .arg(serverOf(s, p.step));
    case Step::PreparingMysql:
        return QStringLiteral("Could not prepare the MySQL session; nothing was copied.");
    default:
        break;
    }
    QString what = doing(s, p);
    if (p.step == Step::Creating && p.nameTaken && p.inTheWay == p.table)
        what += QStringLiteral(": %1 already has a table named %2").arg(s.targetName, p.inTheWay);
    else if (p.step == Step::Creating && p.nameTaken && !p.inTheWay.isEmpty())
        what += QStringLiteral(": %1 already has a table named %2, and names there ignore letter "
                               "case")
                    .arg(s.targetName, p.inTheWay);
    else if (p.step == Step::CopyingRows)
        what += refusedValueText(s, p, refused, nativeError);
    return QStringLiteral("Copying the table %1 to %2 stopped while %3.")
               .arg(p.table, s.targetName, what) +
           tableIsThere(s, p, QLatin1String(" before")) + QStringLiteral(" Nothing more was sent.");
}

QString stoppedAnswering(const Servers& s, const Place& p) {
    const QString server = serverOf(s, p.step);
    if (connecting(p.step))
        return QStringLiteral("%1 stopped answering while Fernquill connected to it; nothing was "
                              "copied.")
            .arg(server);
    return QStringLiteral("Copying the table %1 to %2 stopped: %3 stopped answering while %4.")
               .arg(p.table, s.targetName, server, doing(s, p)) +
           tableIsThere(s, p, QLatin1String(" before")) + unknownOutcome(s, p) +
           QStringLiteral(" Nothing more was sent.");
}

QString stoppedOnRequest(const Servers& s, const Place& p, bool cutOff) {
    if (p.table.isEmpty())
        return QStringLiteral("Copying to %1 was stopped on request; nothing was copied.")
            .arg(s.targetName);
    if (!p.created && !cutOff)
        return QStringLiteral("Copying to %1 was stopped on request before the table %2. "
                              "Nothing more was sent.")
            .arg(s.targetName, p.table);
    QString text = QStringLiteral("Copying the table %1 to %2 was stopped on request")
                       .arg(p.table, s.targetName);
    if (cutOff)
        text += QStringLiteral(" while %1").arg(doing(s, p));
    text += u'.' + tableIsThere(s, p, QLatin1String(""));
    if (cutOff)
        text += unknownOutcome(s, p);
    return text + QStringLiteral(" Nothing more was sent.");
}

QString rowsDiffer(const Servers& s, const Place& p, long long read, long long onTarget,
                   bool counted) {
    if (counted && onTarget > read)
        return QStringLiteral("Copying the table %1 to %2 ended with more rows on %2 than were "
                              "copied: %3 read from %4, but the table on %2 holds %5. Something "
                              "else wrote to the table while it was copied. The table stays on %2 "
                              "as it is.")
            .arg(p.table, s.targetName, rows(read), s.source, rows(onTarget));
    const QString what =
        counted ? QStringLiteral("the table on %1 holds %2").arg(s.targetName, rows(onTarget))
                : QStringLiteral("only %1 added on %2").arg(rows(onTarget), s.targetName);
    return QStringLiteral("Copying the table %1 to %2 lost rows: %3 read from %4, but %5. The "
                          "table stays on %2 as it is.")
        .arg(p.table, s.targetName, rows(read), s.source, what);
}

} // namespace fq::commands::copy
