#pragma once

#include "commands/CommandContext.h"
#include "odbc/Value.h"
#include "sql/Server.h"
#include "sql/TypeMap.h"

#include <QList>
#include <QString>

#include <optional>

// The words of a copy: where it stands, as a phrase of its own for each step, and the messages it
// stops with, each made from those phrases.
namespace fq::commands::copy {

enum class Step {
    ConnectingMssql,
    ConnectingMysql,
    PreparingMysql,
    Dropping,
    ReadingColumns,
    Creating,
    Estimating,
    ReadingRows,
    CopyingRows,
    Counting
};

// The two servers of a copy, as messages name them ("MySQL", "SQL Server").
struct Servers {
    Server target;
    QString source;
    QString targetName;
};

// Where a copy stands.
struct Place {
    Step step = Step::ConnectingMssql;
    QString table;
    bool created = false;
    long long copied = 0;  // rows the INSERTs added
    long long read = 0;    // rows read from the source
    long long sending = 1; // rows of the statement being sent
    int number = 0;        // of the table among those selected, from 1
    int count = 0;
    // The refused row: the target's columns, the row's values, and the column the program itself
    // refused (-1 when a server refused the row).
    QList<sql::TargetColumn> columns;
    QList<odbc::Value> row;
    int refusedColumn = -1;
    // CREATE TABLE refused because the name is taken: the table in the way, when the target's
    // catalog shows one of that name in any letter case.
    bool nameTaken = false;
    QString inTheWay;
};

// What the step is doing, as the end of "... while <doing>": "creating it on MySQL", "copying
// row 31", "copying rows 31 to 1030", "reading row 7 from SQL Server".
QString doing(const Servers& s, const Place& p);

// The server the step talks to.
QString serverOf(const Servers& s, Step step);

// A server refused, or the program refused a row: "Copying the table t to MySQL stopped while
// copying row 31, at the value '...' of column c. The table is on MySQL with the 30 rows copied
// before. Nothing more was sent." (A login or the session's set-up: "Could not connect to
// MySQL; nothing was copied.")
QString refused(const Servers& s, const Place& p, const std::optional<Refused>& refused,
                long nativeError);
// A server gave no answer for the bound.
QString stoppedAnswering(const Servers& s, const Place& p);
// The user asked the copy to stop; `cutOff` when a call that waited for its server was cut.
QString stoppedOnRequest(const Servers& s, const Place& p, bool cutOff);
// After the last row, the target holds another number of rows than were read from the source;
// `counted` when onTarget comes from SELECT COUNT(*), not from the INSERTs.
QString rowsDiffer(const Servers& s, const Place& p, long long read, long long onTarget,
                   bool counted);

} // namespace fq::commands::copy
