#pragma once

#include "sql/Server.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace fq::app {

// What a command line asks the terminal for.
struct TerminalRequest {
    enum class Command { Help, List, Test, Send, Drop, Rename };
    // What a copy does with a table that is already on the target: the window's overwrite
    // question answered No with a message, Yes (--overwrite), or No without one (--skip-existing).
    enum class Existing { Stop, Overwrite, Skip };

    Command command = Command::Help;
    // The server of --on (list, test, drop, rename) or --to (send); none: both (list, test).
    std::optional<Server> server;
    // send, drop: the tables, as named; rename: the table and its new name.
    QStringList tables;
    // --settings: the INI file to read the settings from; empty: the user's stored settings.
    QString settingsFile;
    Existing existing = Existing::Stop;
    bool quiet = false; // --quiet: no progress, no notes
};

// How a terminal run ends, for the scripts that run it. A run stopped by a signal ends with 128 and
// the signal's number (130 for Ctrl+C).
namespace exitstatus {
inline constexpr int kDone = 0;         // everything asked was done
inline constexpr int kRefused = 1;      // a server or Fernquill refused a step; rows differ
inline constexpr int kBadArguments = 2; // the command line or the settings cannot be used
inline constexpr int kNotConnected = 3; // a server could not be reached or stopped answering
inline constexpr int kLeftExisting = 4; // a table already on the target was left as it is
inline constexpr int kFault = 70;       // an error of Fernquill's own, or memory ran out
inline constexpr int kSignalBase = 128;
} // namespace exitstatus

// The request the arguments (the program's name left out) make, or the words that say what is
// wrong with them.
std::variant<TerminalRequest, QString> parseTerminalArguments(const QStringList& arguments);

// What --help prints: the commands, the options and the exit statuses.
QString terminalHelp();

// How the command line names a server: "mysql", "mssql".
QString serverWord(Server server);

} // namespace fq::app
