#pragma once

#include <QList>
#include <QString>

#include <optional>

// Column types from one server to the other: the target must accept every column and hold every
// value of the source. Pure functions; the schema reads and the statements live elsewhere.
namespace fq::sql {

// What the row copy must know about a source column beyond the value the driver delivers.
enum class ValueKind {
    Plain,    // written as the value stands
    Temporal, // a date or time with a date part: written with a four-digit year, and a value
              // that is not a calendar date (MySQL's zero dates, '2009-02-30') as NULL
    SixDigitTemporal, // a SQL Server time or datetime2 going into a MySQL column that keeps six
                      // fractional digits: as Temporal, and a value with a non-zero seventh
                      // digit is refused rather than cut
    Bit,              // a MySQL bit(1): written as '0' or '1' whatever form the driver gives it in
    NormalSingle,     // a MySQL float going into SQL Server's real, which SQL Server fills from
                      // text within the normal range only (it stores a value closer to zero than
                      // 1.1754944e-38 as 0): such a value is refused rather than changed
    NormalDouble,     // the same for a MySQL double going into SQL Server's float (closer to zero
                      // than 2.2250738585072014e-308)
};

// One row of SQL Server's information_schema.Columns. Missing numbers are NULL in the catalog.
struct MssqlColumn {
    QString name;
    QString dataType;                                // DATA_TYPE, e.g. "nvarchar"
    std::optional<long long> characterMaximumLength; // -1 for the (max) types
    std::optional<int> numericPrecision;
    std::optional<int> numericScale;
    std::optional<int> datetimePrecision;
};

// One row of MySQL's describe: the column's name and its type text as MySQL prints it,
// e.g. "int(10) unsigned", "enum('a','b')", "datetime(6)".
struct MysqlColumn {
    QString name;
    QString type;
};

// A column of the table to create: its name, its definition text after the name, and how its
// values are to be written.
struct TargetColumn {
    QString name;
    QString type;
    ValueKind kind = ValueKind::Plain;
    friend bool operator==(const TargetColumn&, const TargetColumn&) = default;
};

// What a MySQL table's row size depends on beyond its columns, read from the target server at
// the start of a copy.
struct MysqlRowRules {
    long long innodbPageSize = 16384; // @@innodb_page_size
    // The widest character of the database's default character set, in bytes: what a column
    // written without a character set of its own takes a character.
    int databaseCharBytes = 4;
};

// SQL Server → MySQL, for a whole table: wide character and binary columns that together pass
// MySQL's 65,535-byte row limit become mediumtext or longblob, widest first; then, when InnoDB
// could not keep the row on its page, short character and binary columns become text or blob,
// widest first.
QList<TargetColumn> mysqlColumnsFor(const QList<MssqlColumn>& source,
                                    const MysqlRowRules& rules = {});
// MySQL → SQL Server: describe's type text read for its base type, length, unsigned and
// zerofill, and mapped to a SQL Server type; then, when SQL Server could not create a table whose
// fixed-size columns pass its row size, nchar and binary columns become nvarchar and varbinary,
// widest first.
QList<TargetColumn> mssqlColumnsFor(const QList<MysqlColumn>& source);

// The row size MySQL counts for a column definition this module writes, in bytes (utf8mb4
// text counted at 4 bytes a character, long text and blob columns at their in-row pointer).
long long mysqlColumnBytes(const QString& type);

// The smallest row SQL Server counts for a table with these columns (types as this module writes
// them for SQL Server), the way it checks a CREATE TABLE: the 4-byte row header, the null bitmap
// (2 bytes and a bit a column), the fixed-size columns at their size (bit columns eight to a
// byte); variable-length columns add nothing, as each may be empty.
long long mssqlMinimumRowBytes(const QList<TargetColumn>& columns);
// SQL Server refuses to create a table whose smallest row passes this many bytes.
constexpr long long kMssqlRowLimit = 8060;

// The size InnoDB counts for a row of a table with these columns and no primary key, the way it
// checks a CREATE TABLE in strict mode (DYNAMIC rows): the record header, the null bits, the
// system columns, fixed-size columns at their size, columns of at most 255 bytes in full, and
// longer ones, text and blob at their 20-byte pointer to the overflow pages.
long long innodbRowBytes(const QList<TargetColumn>& columns, int databaseCharBytes);
// The size at which InnoDB refuses a row: half of an empty page's free space (8,126 bytes at
// 16 KB pages); a row fits when it is smaller.
long long innodbRowLimit(long long pageSize);

} // namespace fq::sql
