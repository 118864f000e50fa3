#pragma once

// The SQL half of the test server: accounts and the database, tables in schemas, SQL Server's
// types and conversion rules, the T-SQL statements its clients send (README.md), and SQL
// Server's messages. The wire half (Server.cpp and friends) turns these outcomes into TDS tokens.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace tds {

enum class Type : std::uint8_t {
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    Decimal,
    Numeric,
    Money,
    SmallMoney,
    Float,
    Real,
    Char,
    VarChar,
    Text,
    NChar,
    NVarChar,
    NText,
    Xml,
    Binary,
    VarBinary,
    Image,
    Date,
    Time,
    DateTime,
    DateTime2,
    SmallDateTime,
    DateTimeOffset,
    UniqueIdentifier,
};

struct ColumnType {
    Type type = Type::Int;
    // char/varchar/binary/varbinary: bytes; nchar/nvarchar: characters; -1: (max).
    std::int32_t length = 0;
    // decimal/numeric: precision; float: 53 or 24 as declared (real is 24).
    std::uint8_t precision = 0;
    // decimal/numeric: scale; time/datetime2/datetimeoffset: fractional digits (0..7).
    std::uint8_t scale = 0;
};

struct Column {
    std::u16string name;
    ColumnType type;
    bool nullable = true;
};

// 128-bit integers (a GCC/Clang extension) for decimal(38) magnitudes.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// Unscaled decimal; the scale is the column's (money and smallmoney: 4).
struct Decimal {
    Int128 unscaled = 0;
};

// date, time, datetime2, datetimeoffset: days since 0001-01-01 and 100-ns ticks since midnight
// (datetimeoffset: UTC, with the offset beside it).
// datetime: days since 1900-01-01 and 1/300-second ticks; smalldatetime: days since 1900-01-01
// and minutes.
struct DateTimeValue {
    std::int32_t days = 0;
    std::int64_t ticks = 0;
    std::int16_t offsetMinutes = 0;
};

// A value already in its column's type:
//   monostate NULL | int64_t bit and the integer types | double float, real | Decimal
//   | std::string char/varchar/text (code page 1252 bytes), binary/varbinary/image, and
//     uniqueidentifier (16 bytes, in SQL Server's byte order)
//   | std::u16string nchar/nvarchar/ntext/xml | DateTimeValue
using Value = std::variant<std::monostate, std::int64_t, double, Decimal, std::string,
                           std::u16string, DateTimeValue>;

// An INFO (severity <= 10) or ERROR (severity >= 11) message, as SQL Server sends it.
struct Message {
    std::int32_t number = 0;
    std::uint8_t state = 1;
    std::uint8_t severity = 16;
    std::u16string text;
    std::int32_t line = 1;
};

Message makeMessage(std::int32_t number, std::uint8_t severity, std::uint8_t state,
                    std::u16string text);
// What the double leaves out of T-SQL (README.md): message 50000, as SQL Server numbers a message
// that has no number of its own.
Message notSupported(const std::u16string& what);

// A row that cannot be produced (a value that does not convert, say): the statement fails with
// this message after the rows already sent, as on SQL Server.
struct RowError : std::runtime_error {
    explicit RowError(Message m) : std::runtime_error("row error"), message(std::move(m)) {}
    Message message;
};

// Rows of a result, pulled one at a time. next() is called by the wire half without any lock
// held, possibly while other sessions change the same table: an implementation must be safe
// against that (and must not copy the whole table).
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual bool next(std::vector<Value>& row) = 0;
};

struct ResultSet {
    std::vector<Column> columns;
    std::unique_ptr<RowSource> rows;
};

struct RpcParam {
    std::u16string name; // "@stmt", or empty for positional
    ColumnType type;
    Value value;
    bool output = false;
};

// What one statement did. The wire half sends the messages, then the result set's metadata and
// rows, then a DONE (DONEPROC for an RPC) with the row count when there is one and the error
// flag when a message of severity >= 11 was raised.
// A procedure (an RPC, or a call in a batch) emits an outcome per statement it runs
// (DONEINPROC), then a last outcome with returnStatus set, which carries the procedure's own
// messages and its output parameters (RETURNSTATUS, RETURNVALUE tokens, then DONEPROC).
struct StatementOutcome {
    std::vector<Message> messages;
    std::optional<ResultSet> result;
    // Rows affected or selected. Left empty for a result whose rows stream from a table (the
    // wire half counts the rows it sends).
    std::optional<std::int64_t> rowCount;
    // For procedures: the return status; set only on a procedure's last outcome.
    std::optional<std::int32_t> returnStatus;
    // For procedures: the values of the OUTPUT parameters, in the order of the call (for example
    // the handle of sp_prepare / sp_prepexec).
    std::vector<RpcParam> outputParams;
};

// One logged-in connection.
class Session {
public:
    virtual ~Session() = default;
    // Runs a SQL batch; each statement's outcome goes to emit as soon as it is known, so its
    // rows can stream. Stops the batch where SQL Server would.
    virtual void executeBatch(const std::u16string& sql,
                              const std::function<void(StatementOutcome&&)>& emit) = 0;
    // Runs an RPC: by name (sp_tables, sp_columns, sp_executesql, sp_prepexec, sp_rename, ...)
    // or by the well-known procedure id when the name is empty (10 sp_executesql,
    // 11 sp_prepare, 12 sp_execute, 13 sp_prepexec, 15 sp_unprepare).
    virtual void executeRpc(const std::u16string& name, std::uint16_t procId,
                            const std::vector<RpcParam>& params,
                            const std::function<void(StatementOutcome&&)>& emit) = 0;
    virtual std::u16string database() const = 0;
};

struct LoginResult {
    std::unique_ptr<Session> session; // null when refused
    std::vector<Message> messages;    // 4060 and/or 18456 when refused
};

class Engine {
public:
    struct Account {
        std::u16string user;
        std::u16string password;
    };

    // The database is created empty, with the schemas dbo and sales.
    Engine(std::vector<Account> accounts, std::u16string database);
    ~Engine();

    // Thread-safe: each connection's thread calls login, then its own session.
    LoginResult login(const std::u16string& user, const std::u16string& password,
                      const std::u16string& database);

    // Runs a T-SQL script as one batch, as the first account (start-up fixtures). Returns the
    // error messages, empty on success.
    std::vector<Message> runScript(const std::u16string& sql);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace tds
