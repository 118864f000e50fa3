#include "commands/SourceRows.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "odbc/Value.h"
#include "sql/Refusal.h"
#include "sql/SourceReading.h"
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

std::optional<long long> numberOf(const odbc::Value& v) {
    bool ok = false;
    const long long n = textOf(v).trimmed().toLongLong(&ok);
    return ok && !v.isNull() ? std::optional<long long>(n) : std::nullopt;
}

// The largest bytes a value of the column may take when the server keeps it apart from its row
// (the TEXT and BLOB types, a JSON document, a geometry), 0 for the others, whose values together
// take at most the 64 KB a MySQL row may hold.
long long longValueBytes(const QString& dataType, std::optional<long long> octets) {
    static const QStringList geometries = {
        QStringLiteral("geometry"),     QStringLiteral("point"),
        QStringLiteral("linestring"),   QStringLiteral("polygon"),
        QStringLiteral("multipoint"),   QStringLiteral("multilinestring"),
        QStringLiteral("multipolygon"), QStringLiteral("geometrycollection")};
    const QString t = dataType.trimmed().toLower();
    if (t.endsWith(QLatin1String("text")) || t.endsWith(QLatin1String("blob")) ||
        t == QLatin1String("json"))
        return std::max(octets.value_or(0), 0LL);
    if (geometries.contains(t))
        return 4294967295LL;
    return 0;
}

// The server closed the HANDLER's table while it was read, on an engine without a snapshot to
// read on in.
sql::Refusal closedWhileRead(const QString& table, const QString& engine) {
    return sql::Refusal(
        QStringLiteral("MySQL closed the table %1 while Fernquill read it (FLUSH TABLES, or a "
                       "change to the table waiting to be made). The table has no unique NOT "
                       "NULL key, and its engine (%2) keeps no snapshot of it, so the reading "
                       "cannot go on from the row where it was without reading rows twice or "
                       "missing some. Copy the table again.")
            .arg(table, engine));
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
    : source_(source), table_(table), limits_(pagedReading()) {
    limits_.pageRows = std::max(1LL, limits_.pageRows);
    limits_.pageBytes = std::max(1LL, limits_.pageBytes);
    TableSize size;
    if (server == Server::MySQL && !source.streamsResults() && estimate >= 0) {
        size = readSize(table);
        const bool large =
            estimate >= limits_.largeTable || size.dataBytes >= limits_.pageBytes ||
            (size.longValues > 0 &&
             estimate >= (limits_.pageBytes + size.longValues - 1) / size.longValues);
        if (large) {
            findKey(table);
            reading_ = !key_.isEmpty()     ? Reading::AlongKey
                       : size.handlerReads ? Reading::InTableOrder
                                           : Reading::Whole;
        }
    }
    if (reading_ == Reading::Whole) {
        rs_ = source_.execute(selectAll);
        return;
    }
    // The first piece: as many rows as the table's average row, or its long values at their
    // largest, let pageBytes hold.
    const long long row = std::max({size.averageRow, size.longValues, 1LL});
    pieceRows_ = std::clamp(limits_.pageBytes / row, 1LL, limits_.pageRows);
    transactions_ = size.transactions;
    engine_ = size.engine;
    if (reading_ == Reading::AlongKey && transactions_ && !size.invisible) {
        for (const sql::PageColumn& c : size.columns)
            cut_ += c.cut == sql::PageColumn::Cut::No ? 0 : 1;
        if (cut_ > 0)
            cutColumns_ = size.columns;
    }
    source_.execute(sql::mysqlSnapshotIsolation());
    source_.execute(sql::mysqlStartSnapshot());
    inSnapshot_ = true;
    if (reading_ == Reading::AlongKey) {
        readPage({});
        return;
    }
    if (!openHandler()) {
        reading_ = Reading::Whole;
        rs_ = source_.execute(selectAll);
        return;
    }
    readPiece(true);
}

SourceRows::~SourceRows() = default;

SourceRows::TableSize SourceRows::readSize(const QString& table) {
    TableSize size;
    try {
        bool first = true;
        bool invisible = false;
        QString type;
        for (odbc::Result rs = source_.execute(sql::mysqlTableSize(table)); !rs.atEnd();
             rs.moveNext(), first = false) {
            if (first) {
                size.dataBytes = numberOf(rs.value(0)).value_or(-1);
                size.averageRow = numberOf(rs.value(1)).value_or(0);
                type = textOf(rs.value(2)).trimmed();
                size.engine = textOf(rs.value(3)).trimmed();
            }
            const QString dataType = textOf(rs.value(4)).trimmed().toLower();
            const long long longBytes = longValueBytes(dataType, numberOf(rs.value(5)));
            size.longValues += longBytes;
            if (textOf(rs.value(6)).contains(QLatin1String("INVISIBLE"), Qt::CaseInsensitive))
                invisible = true;
            sql::PageColumn column{textOf(rs.value(7)), sql::PageColumn::Cut::No};
            if (longBytes > limits_.valuePiece && dataType.endsWith(QLatin1String("text")))
                column.cut = sql::PageColumn::Cut::Characters;
            else if (longBytes > limits_.valuePiece && dataType.endsWith(QLatin1String("blob")))
                column.cut = sql::PageColumn::Cut::Bytes;
            size.columns << column;
        }
        size.invisible = invisible;
        // HANDLER reads a system-versioned table's history too, and invisible columns.
        size.handlerReads = type == QLatin1String("BASE TABLE") && !invisible;
        size.transactions = size.engine.compare(QLatin1String("InnoDB"), Qt::CaseInsensitive) == 0;
    } catch (const odbc::DbError& e) {
        if (e.interruption() != odbc::Interruption::None)
            throw;
        return TableSize{}; // nothing known: the estimate decides, and a table without a key is
                            // read whole
    }
    return size;
}

void SourceRows::findKey(const QString& table) {
    struct Key {
        QString name;
        QList<KeyColumn> columns;
        bool usable = true;
    };
    QList<Key> keys;
    try {
        for (odbc::Result rs = source_.execute(sql::mysqlUniqueKeys(table)); !rs.atEnd();
             rs.moveNext()) {
            const QString name = textOf(rs.value(0));
            if (keys.isEmpty() || keys.last().name != name)
                keys.append(Key{name, {}, true});
            Key& key = keys.last();
            const auto form = keyForm(textOf(rs.value(2)));
            const bool nullable =
                textOf(rs.value(3)).trimmed().compare(QLatin1String("NO"), Qt::CaseInsensitive) !=
                0;
            const bool prefix = !rs.value(4).isNull();
            if (!form || nullable || prefix)
                key.usable = false;
            else
                key.columns.append(KeyColumn{textOf(rs.value(1)), *form});
        }
    } catch (const odbc::DbError& e) {
        if (e.interruption() != odbc::Interruption::None)
            throw;
        return; // no key to page along
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

bool SourceRows::openHandler() {
    // The table's definition stays as it is until the transaction ends.
    source_.execute(sql::mysqlHoldTable(table_));
    try {
        source_.execute(sql::mysqlHandlerOpen(table_));
    } catch (const odbc::DbError& e) {
        if (e.interruption() != odbc::Interruption::None)
            throw;
        return false; // an engine without the HANDLER interface
    }
    handlerOpen_ = true;
    try {
        opened_ = tablesOpened();
    } catch (const odbc::DbError& e) {
        if (e.interruption() != odbc::Interruption::None)
            throw;
        opened_ = -1;
    }
    if (opened_ >= 0)
        return true;
    // A server that does not count the tables opened could not tell a reading begun again.
    handlerOpen_ = false;
    source_.execute(sql::mysqlHandlerClose(table_));
    return false;
}

long long SourceRows::tablesOpened() {
    odbc::Result rs = source_.execute(sql::mysqlTablesOpened());
    return rs.atEnd() ? -1 : numberOf(rs.value(0)).value_or(-1);
}

QStringList SourceRows::keyNames() const {
    QStringList names;
    for (const KeyColumn& c : key_)
        names << c.name;
    return names;
}

void SourceRows::readPage(const QStringList& after) {
    const QStringList names = keyNames();
    rs_.close();
    rs_ = source_.execute(cut_ > 0 ? sql::mysqlSelectPage(table_, cutColumns_, limits_.valuePiece,
                                                          names, after, pieceRows_)
                                   : sql::mysqlSelectPage(table_, names, after, pieceRows_));
    inPiece_ = 0;
    pieceHeld_ = 0;
}

void SourceRows::readPiece(bool first) {
    rs_.close();
    inPiece_ = 0;
    pieceHeld_ = 0;
    if (fromPlace_) {
        rs_ = source_.execute(sql::mysqlHandlerReadAfter(table_), {before_, pieceRows_});
        return;
    }
    rs_ = source_.execute(first ? sql::mysqlHandlerReadFirst(table_)
                                : sql::mysqlHandlerReadNext(table_),
                          {pieceRows_});
    // A first piece reads from the first row however the table was opened.
    if (const long long opened = tablesOpened(); opened == opened_ || first) {
        opened_ = opened;
        return;
    }
    // The server closed the table, and this piece opened it again and read from its first row.
    // The snapshot keeps the rows and their order: this piece and every later one are read from
    // their place in that order (the server would close the table again at each piece while the
    // change that made it close the table waits for the reading to end).
    rs_.close();
    if (!transactions_)
        throw closedWhileRead(table_, engine_);
    fromPlace_ = true;
    rs_ = source_.execute(sql::mysqlHandlerReadAfter(table_), {before_, pieceRows_});
}

long long SourceRows::nextPieceRows() const noexcept {
    // As many rows as pageBytes hold at the piece's own average, but at most twice as many as it
    // had: rows later in the table may be larger.
    const long long held = std::max(pieceHeld_, inPiece_);
    const long long byBytes =
        static_cast<long long>(static_cast<double>(limits_.pageBytes) *
                               static_cast<double>(inPiece_) / static_cast<double>(held));
    return std::clamp(std::min(byBytes, 2 * inPiece_), 1LL, limits_.pageRows);
}

QStringList SourceRows::keyOfCurrentRow() const {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    QStringList literals;
    // The key's columns follow the table's own in each page's rows.
    const int first = rs_.columnCount() - static_cast<int>(key_.size());
    for (qsizetype i = 0; i < key_.size(); ++i) {
        const odbc::Value& v = rs_.value(first + static_cast<int>(i));
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

void SourceRows::countHeld(const odbc::Value& value) noexcept {
    pieceHeld_ += value.heldBytes();
}

bool SourceRows::atEnd() const noexcept {
    return rs_.atEnd();
}

void SourceRows::moveNext() {
    if (reading_ == Reading::Whole) {
        rs_.moveNext();
        return;
    }
    if (!taken_ && !rs_.atEnd()) {
        for (int i = 0; i < columnCount(); ++i)
            countHeld(rs_.value(i));
    }
    taken_ = false;
    if (inPiece_ + 1 < pieceRows_) {
        rs_.moveNext();
        ++inPiece_;
        return;
    }
    // The last row of a full piece: the next piece begins after it.
    QStringList after;
    if (reading_ == Reading::AlongKey)
        after = takenKey_ ? *takenKey_ : keyOfCurrentRow();
    takenKey_.reset();
    rs_.moveNext();
    ++inPiece_;
    before_ += inPiece_;
    pieceRows_ = nextPieceRows();
    if (reading_ == Reading::AlongKey)
        readPage(after);
    else
        readPiece(false);
}

void SourceRows::takeRow(std::vector<odbc::Value>& row) {
    if (reading_ == Reading::AlongKey && inPiece_ + 1 >= pieceRows_)
        takenKey_ = keyOfCurrentRow();
    // The lengths of the values the page cut follow the table's columns.
    std::vector<long long> lengths;
    QStringList key;
    if (cut_ > 0) {
        const int first = columnCount();
        bool longer = false;
        for (int j = 0; j < cut_; ++j) {
            lengths.push_back(numberOf(rs_.value(first + j)).value_or(0));
            longer = longer || lengths.back() > limits_.valuePiece;
        }
        if (longer)
            key = takenKey_ ? *takenKey_ : keyOfCurrentRow();
    }
    rs_.takeRow(row);
    if (!key.isEmpty())
        readRestOfValues(row, lengths, key);
    if (reading_ != Reading::Whole) {
        taken_ = true;
        for (int i = 0; i < columnCount() && static_cast<std::size_t>(i) < row.size(); ++i)
            countHeld(row[static_cast<std::size_t>(i)]);
    }
}

int SourceRows::columnCount() const noexcept {
    return rs_.columnCount() -
           (reading_ == Reading::AlongKey ? static_cast<int>(key_.size()) + cut_ : 0);
}

void SourceRows::readRestOfValues(std::vector<odbc::Value>& row,
                                  const std::vector<long long>& lengths, const QStringList& key) {
    const long long piece = limits_.valuePiece;
    std::size_t j = 0;
    for (qsizetype i = 0; i < cutColumns_.size(); ++i) {
        const sql::PageColumn& column = cutColumns_[i];
        if (column.cut == sql::PageColumn::Cut::No)
            continue;
        const long long length = lengths[j++];
        odbc::Value& value = row[static_cast<std::size_t>(i)];
        const QString statement = sql::mysqlValuePiece(table_, column.name, keyNames(), key);
        for (long long from = piece + 1; from <= length; from += piece) {
            odbc::Result rs = source_.execute(statement, {from, piece});
            // Inside the snapshot the row is there as the page read it.
            if (rs.atEnd() || rs.value(0).isNull())
                throw sql::Refusal(QStringLiteral("MySQL gave no more of the value of the column "
                                                  "%1 after %2 of its %3 %4.")
                                       .arg(column.name)
                                       .arg(from - 1)
                                       .arg(length)
                                       .arg(column.cut == sql::PageColumn::Cut::Bytes
                                                ? QStringLiteral("bytes")
                                                : QStringLiteral("characters")));
            value.append(rs.value(0), static_cast<qsizetype>(length));
        }
    }
}

void SourceRows::close() {
    rs_.close();
    if (handlerOpen_) {
        handlerOpen_ = false;
        source_.execute(sql::mysqlHandlerClose(table_));
    }
    if (inSnapshot_) {
        inSnapshot_ = false;
        source_.execute(sql::mysqlEndSnapshot());
    }
}

} // namespace fq::commands
