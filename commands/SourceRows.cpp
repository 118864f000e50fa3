#include "commands/SourceRows.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "odbc/Value.h"
#include "sql/SqlText.h"
#include "sql/Statements.h"

#include <QRegularExpression>

#include <algorithm>
#include <mutex>
#include <optional>

namespace fq::commands {

namespace {

std::mutex readingLock;
PagedReading reading;

// How a key column's values are written as literals in a page's condition, or nothing when the
// column's type cannot be a key to page along: numbers bare (a number compared with a quoted
// text is compared as a double, which is not exact for large integers and decimals), dates,
// times and texts quoted (compared as the column's type, in its collation, as ORDER BY sorts),
// bytes in hexadecimal. A TIMESTAMP is left out: read in the session's time zone, two of its
// values can have one text.
std::optional<SourceRows::KeyForm> keyForm(const QString& dataType) {
    static const QStringList numbers = {
        QStringLiteral("tinyint"), QStringLiteral("smallint"), QStringLiteral("mediumint"),
        QStringLiteral("int"),     QStringLiteral("integer"),  QStringLiteral("bigint"),
        QStringLiteral("decimal"), QStringLiteral("numeric"),  QStringLiteral("year")};
    static const QStringList texts = {QStringLiteral("char"), QStringLiteral("varchar"),
                                      QStringLiteral("date"), QStringLiteral("datetime"),
                                      QStringLiteral("time")};
    static const QStringList bytes = {QStringLiteral("binary"), QStringLiteral("varbinary")};
    const QString t = dataType.trimmed().toLower();
    if (numbers.contains(t))
        return SourceRows::KeyForm::Number;
    if (texts.contains(t))
        return SourceRows::KeyForm::Text;
    if (bytes.contains(t))
        return SourceRows::KeyForm::Bytes;
    return std::nullopt;
}

QString textOf(const odbc::Value& v) {
    return v.kind() == odbc::Value::Kind::Binary ? QString::fromUtf8(v.bytes()) : v.text();
}

} // namespace

PagedReading pagedReading() {
    const std::lock_guard lock(readingLock);
    return reading;
}

void setPagedReading(const PagedReading& r) {
    const std::lock_guard lock(readingLock);
    reading = r;
}

SourceRows::SourceRows(odbc::Connection& source, Server server, const QString& table,
                       const QString& selectAll, long long estimate)
    : source_(source), table_(table) {
    const PagedReading limits = pagedReading();
    pageRows_ = std::max(1LL, limits.pageRows);
    if (server == Server::MySQL && !source.streamsResults() && estimate >= 0 &&
        estimate >= limits.largeTable) {
        try {
            findKey(table);
        } catch (const odbc::DbError&) {
            key_.clear(); // no key to page along: the table is read whole
        }
    }
    if (key_.isEmpty()) {
        rs_ = source_.Execute(selectAll);
        return;
    }
    source_.Execute(sql::mysqlSnapshotIsolation());
    source_.Execute(sql::mysqlStartSnapshot());
    inSnapshot_ = true;
    readPage({});
}

SourceRows::~SourceRows() = default;

void SourceRows::findKey(const QString& table) {
    struct Key {
        QString name;
        QList<KeyColumn> columns;
        bool usable = true;
    };
    QList<Key> keys;
    for (odbc::Recordset rs = source_.Execute(sql::mysqlUniqueKeys(table)); !rs.Eof();
         rs.MoveNext()) {
        const QString name = textOf(rs.Item(0));
        if (keys.isEmpty() || keys.last().name != name)
            keys.append(Key{name, {}, true});
        Key& key = keys.last();
        const auto form = keyForm(textOf(rs.Item(2)));
        const bool nullable =
            textOf(rs.Item(3)).trimmed().compare(QLatin1String("NO"), Qt::CaseInsensitive) != 0;
        const bool prefix = !rs.Item(4).isNull();
        if (!form || nullable || prefix)
            key.usable = false;
        else
            key.columns.append(KeyColumn{textOf(rs.Item(1)), *form});
    }
    // The primary key comes first; of the others, the one of fewest columns.
    const Key* best = nullptr;
    for (const Key& k : keys) {
        if (!k.usable || k.columns.isEmpty())
            continue;
        if (best == nullptr ||
            (best->name != QLatin1String("PRIMARY") && k.columns.size() < best->columns.size()))
            best = &k;
        if (k.name == QLatin1String("PRIMARY"))
            break;
    }
    if (best != nullptr)
        key_ = best->columns;
}

void SourceRows::readPage(const QStringList& after) {
    QStringList names;
    for (const KeyColumn& c : key_)
        names << c.name;
    rs_.Close();
    rs_ = source_.Execute(sql::mysqlSelectPage(table_, names, after, pageRows_));
    inPage_ = 0;
}

QStringList SourceRows::keyOfCurrentRow() const {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    QStringList literals;
    // The key's columns follow the table's own in each page's rows.
    const int first = rs_.FieldCount() - static_cast<int>(key_.size());
    for (qsizetype i = 0; i < key_.size(); ++i) {
        const odbc::Value& v = rs_.Item(first + static_cast<int>(i));
        switch (key_[i].form) {
        case KeyForm::Number: {
            const QString t = v.text().trimmed();
            literals << (number.match(t).hasMatch() ? t : sql::mysqlString(t));
            break;
        }
        case KeyForm::Text:
            literals << sql::mysqlString(v.text());
            break;
        case KeyForm::Bytes:
            literals << sql::mysqlBinary(v.kind() == odbc::Value::Kind::Binary ? v.bytes()
                                                                               : v.text().toUtf8());
            break;
        }
    }
    return literals;
}

bool SourceRows::Eof() const noexcept {
    return rs_.Eof();
}

void SourceRows::MoveNext() {
    if (key_.isEmpty() || inPage_ + 1 < pageRows_) {
        rs_.MoveNext();
        ++inPage_;
        return;
    }
    // The last row of a full page: the next page begins after its key.
    const QStringList after = takenKey_ ? *takenKey_ : keyOfCurrentRow();
    takenKey_.reset();
    rs_.MoveNext();
    readPage(after);
}

void SourceRows::TakeRow(std::vector<odbc::Value>& row) {
    if (!key_.isEmpty() && inPage_ + 1 >= pageRows_)
        takenKey_ = keyOfCurrentRow();
    rs_.TakeRow(row);
}

int SourceRows::FieldCount() const noexcept {
    return rs_.FieldCount() - static_cast<int>(key_.size());
}

const odbc::Value& SourceRows::Item(int index) const {
    return rs_.Item(index);
}

void SourceRows::Close() {
    rs_.Close();
    if (inSnapshot_) {
        inSnapshot_ = false;
        source_.Execute(sql::mysqlEndSnapshot());
    }
}

} // namespace fq::commands
