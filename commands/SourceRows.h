#pragma once

#include "odbc/Recordset.h"
#include "sql/Server.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace fq::odbc {
class Connection;
class Value;
} // namespace fq::odbc

namespace fq::commands {

// When a copy reads a MySQL table in pages, and how large the pages are. The program keeps the
// defaults; tests make them small.
struct PagedReading {
    // A base table the server estimates at this many rows or more is large.
    long long largeTable = 10000;
    long long pageRows = 10000;
};
PagedReading pagedReading();
void setPagedReading(const PagedReading& reading);

// The rows of one source table, read in order like a result set.
//
// Most tables are read with the one "SELECT * FROM name". A large MySQL base table whose driver
// would load every row of a result into memory at once (MariaDB's driver before 3.1.17) is read
// in pages of pageRows rows instead, so that the memory a copy takes does not grow with the
// table: along a unique key whose columns are all NOT NULL (the primary key first), each page
// the rows after the last key read, and all pages inside one transaction that sees the table as
// it was when the first page was read, so that every row is read exactly once even while others
// change the table. A large table without such a key is read whole: pages by position (LIMIT
// with OFFSET) would cost time that grows with the square of the table, and without an order
// the server keeps to, a row could be read twice or not at all.
class SourceRows {
public:
    // `estimate` is the server's estimate of the table's rows, -1 when it gives none (a view).
    SourceRows(odbc::Connection& source, Server server, const QString& table,
               const QString& selectAll, long long estimate);
    ~SourceRows();
    SourceRows(const SourceRows&) = delete;
    SourceRows& operator=(const SourceRows&) = delete;

    bool Eof() const noexcept;
    void MoveNext();
    int FieldCount() const noexcept;
    const odbc::Value& Item(int index) const;
    // Hands the current row's values over to `row` (see Recordset::TakeRow); the key columns of
    // a page follow the table's own. Then MoveNext, not Item.
    void TakeRow(std::vector<odbc::Value>& row);
    // Ends the reading (and the transaction of the pages).
    void Close();

    // True when the table is read in pages.
    bool paged() const noexcept { return !key_.isEmpty(); }

    // How a key column's values are written in a page's condition.
    enum class KeyForm { Number, Text, Bytes };
    struct KeyColumn {
        QString name;
        KeyForm form;
    };

private:
    void findKey(const QString& table);
    void readPage(const QStringList& after);
    QStringList keyOfCurrentRow() const;

    odbc::Connection& source_;
    QString table_;
    QList<KeyColumn> key_;
    bool inSnapshot_ = false;
    odbc::Recordset rs_;
    long long inPage_ = 0; // rows of the page moved past
    long long pageRows_ = 0;
    std::optional<QStringList> takenKey_; // the key of the last row of a page, once taken
};

} // namespace fq::commands
