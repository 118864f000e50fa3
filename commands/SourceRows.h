#pragma once

#include "odbc/Result.h"
#include "sql/Server.h"
#include "sql/Statements.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace fq::odbc {
class Connection;
class Value;
} // namespace fq::odbc

namespace fq::commands {

// When a copy reads a MySQL table in pieces, and how large the pieces are. The program keeps the
// defaults; tests make them small.
struct PagedReading {
    // A base table the server estimates at this many rows or more is large, and so is one whose
    // data takes pageBytes or more, or could (its rows at the largest their long values allow).
    long long largeTable = 10000;
    // A piece holds at most pageRows rows, and about pageBytes of them at most (one row at least).
    long long pageRows = 10000;
    long long pageBytes = 4 * 1024 * 1024;
    // Read along a key on an engine with a snapshot, a longer text or bytes comes in pieces of
    // this many characters (bytes), each asked of the server on its own.
    long long valuePiece = 4 * 1024 * 1024;
};
PagedReading pagedReading();
void setPagedReading(const PagedReading& reading);

// The rows of one source table, read in order like a result set.
//
// Most tables are read with the one "SELECT * FROM name". A large MySQL base table whose driver
// would load every row of a result into memory at once (MariaDB's driver before 3.1.17) is read
// in pieces instead, so that the memory a copy takes grows neither with the table's rows nor
// with their size: each piece at most pageRows rows, and as many as about pageBytes hold, sized
// from the rows read before (a piece of one row where a row is larger). All pieces are read
// inside one transaction that sees the table as it was when the first piece was read (on an
// engine with transactions: InnoDB), so that every row is read exactly once even while others
// change the table:
//  - along a unique key whose columns are all NOT NULL (the primary key first), each page the
//    rows after the last key read;
//  - without such a key, in the table's own order, through the engine's HANDLER interface: each
//    piece the rows after those read before ("HANDLER name READ NEXT LIMIT n"). When the server
//    closes the table meanwhile (FLUSH TABLES, or a change of its definition waiting to run; the
//    transaction holds such a change back until the reading ends), the next piece would begin
//    again at the first row: the reading tells this from the tables its session has opened, and
//    reads this piece and the later ones from their place in the table's order, which the
//    snapshot keeps fixed ("HANDLER name READ FIRST LIMIT 20000, 10000": the engine passes over
//    the rows before). An engine without transactions keeps no such place, and the reading stops
//    with an error instead of reading rows twice.
// Along a key, inside the snapshot (InnoDB), a long text or bytes is read in pieces: the page
// gives the first valuePiece characters (bytes) of each and its length, and the rest of a longer
// one is asked for piece by piece by the row's key, so that no result holds it whole (the driver
// keeps two copies of a result besides the value read from it).
// A table the HANDLER interface cannot read as SELECT * would (a view, a table with history
// (system versioning) or with invisible columns, an engine without it) is read whole.
class SourceRows {
public:
    // `estimate` is the server's estimate of the table's rows, -1 when it gives none (a view).
    SourceRows(odbc::Connection& source, Server server, const QString& table,
               const QString& selectAll, long long estimate);
    ~SourceRows();
    SourceRows(const SourceRows&) = delete;
    SourceRows& operator=(const SourceRows&) = delete;

    bool atEnd() const noexcept;
    void moveNext();
    int columnCount() const noexcept;
    // Hands the current row's values over to `row` (see Result::takeRow); the key columns of
    // a page follow the table's own. Then moveNext.
    void takeRow(std::vector<odbc::Value>& row);
    // Ends the reading (and the transaction of the pieces).
    void close();

    // Which reading the table got. A copy reads the same rows whichever it is and never asks;
    // what tells them apart is memory and the statements the server sees, so these two say it
    // for whoever must check the choice (the tests of which tables are read in pieces).
    // True when the table is read in pieces (along a key or in the table's own order).
    bool paged() const noexcept { return reading_ != Reading::Whole; }
    // True when it is read in pieces in the table's own order.
    bool inTableOrder() const noexcept { return reading_ == Reading::InTableOrder; }

    // How a key column's values are written in a page's condition.
    enum class KeyForm { Number, Text, Bytes };
    struct KeyColumn {
        QString name;
        KeyForm form;
    };

private:
    enum class Reading { Whole, AlongKey, InTableOrder };
    // What the server says of the table's size and kind.
    struct TableSize {
        long long dataBytes = -1;
        long long averageRow = 0;
        long long longValues = 0;  // the largest bytes of the values kept apart from the row
        bool handlerReads = false; // HANDLER reads what SELECT * would
        QString engine;
        bool transactions = false; // the engine keeps a snapshot
        bool invisible = false;    // a column SELECT * leaves out
        // The columns in order, those whose values may be longer than a piece marked to be cut.
        QList<sql::PageColumn> columns;
    };

    TableSize readSize(const QString& table);
    void findKey(const QString& table);
    bool openHandler();
    void readPage(const QStringList& after);
    void readPiece(bool first);
    long long tablesOpened();
    QStringList keyOfCurrentRow() const;
    QStringList keyNames() const;
    // Reads the rest of the current row's long values that the page cut, into `row`.
    void readRestOfValues(std::vector<odbc::Value>& row, const std::vector<long long>& lengths,
                          const QStringList& key);
    void countHeld(const odbc::Value& value) noexcept;
    // Rows of the next piece, from the piece just read.
    long long nextPieceRows() const noexcept;

    odbc::Connection& source_;
    QString table_;
    Reading reading_ = Reading::Whole;
    QList<KeyColumn> key_;
    QList<sql::PageColumn> cutColumns_; // a page's columns, when it cuts long values
    int cut_ = 0;                       // how many it cuts
    bool inSnapshot_ = false;
    bool handlerOpen_ = false;
    QString engine_;
    bool transactions_ = false;
    odbc::Result rs_;
    PagedReading limits_;
    long long pieceRows_ = 0;             // rows asked for the piece being read
    long long inPiece_ = 0;               // rows of the piece moved past
    long long pieceHeld_ = 0;             // bytes of the piece's values moved past
    long long before_ = 0;                // rows of the pieces before
    long long opened_ = 0;                // tables the session had opened after the first piece
    bool fromPlace_ = false;              // pieces are read from their place in the table's order
    bool taken_ = false;                  // the current row's values were taken
    std::optional<QStringList> takenKey_; // the key of the last row of a page, once taken
};

} // namespace fq::commands
