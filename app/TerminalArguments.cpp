#include "app/TerminalArguments.h"

namespace fq::app {

namespace {

using Command = TerminalRequest::Command;
using Existing = TerminalRequest::Existing;

struct CommandName {
    const char* word;
    Command command;
};
constexpr CommandName kCommands[] = {{"list", Command::List},
                                     {"test", Command::Test},
                                     {"send", Command::Send},
                                     {"drop", Command::Drop},
                                     {"rename", Command::Rename}};

std::optional<Server> serverNamed(const QString& word) {
    for (const Server s : {Server::MySQL, Server::MSSQL}) {
        if (word == serverWord(s))
            return s;
    }
    return std::nullopt;
}

QString quotedWord(const QString& word) {
    return u'"' + word + u'"';
}

// The options as given, before they are checked against the command.
struct Given {
    std::optional<QString> command;
    QStringList names;
    std::optional<Server> on;
    std::optional<Server> to;
    bool overwrite = false;
    bool skipExisting = false;
};

// The request the options make for the command, or what is wrong with them.
std::variant<TerminalRequest, QString> checked(const Given& g, TerminalRequest request) {
    const QString word = *g.command;
    const bool send = request.command == Command::Send;
    if (send && g.on)
        return QStringLiteral("send takes --to (the server the tables go to), not --on.");
    if (!send && g.to)
        return QStringLiteral("%1 takes --on (the server it works on), not --to.").arg(word);
    if (!send && (g.overwrite || g.skipExisting))
        return QStringLiteral("%1 is for send only.")
            .arg(g.overwrite ? QStringLiteral("--overwrite") : QStringLiteral("--skip-existing"));
    if (g.overwrite && g.skipExisting)
        return QStringLiteral("--overwrite and --skip-existing cannot be given together.");
    request.server = send ? g.to : g.on;
    request.tables = g.names;
    request.existing = g.overwrite      ? Existing::Overwrite
                       : g.skipExisting ? Existing::Skip
                                        : Existing::Stop;
    switch (request.command) {
    case Command::List:
    case Command::Test:
        if (!g.names.isEmpty())
            return QStringLiteral("%1 takes no table names (%2 was given).")
                .arg(word, quotedWord(g.names.first()));
        break;
    case Command::Send:
        if (!request.server)
            return QStringLiteral("send needs --to mysql or --to mssql: the server the tables "
                                  "are copied to.");
        if (g.names.isEmpty())
            return QStringLiteral("send needs the names of the tables to copy.");
        break;
    case Command::Drop:
        if (!request.server)
            return QStringLiteral("drop needs --on mysql or --on mssql: the server whose tables "
                                  "are dropped.");
        if (g.names.isEmpty())
            return QStringLiteral("drop needs the names of the tables to drop.");
        break;
    case Command::Rename:
        if (!request.server)
            return QStringLiteral("rename needs --on mysql or --on mssql: the server whose table "
                                  "is renamed.");
        if (g.names.size() != 2)
            return QStringLiteral("rename needs two names, the table's and its new one (%1 "
                                  "given).")
                .arg(g.names.size());
        if (g.names[1].isEmpty())
            return QStringLiteral("The new name is empty.");
        break;
    case Command::Help:
        break;
    }
    return request;
}

} // namespace

QString serverWord(Server server) {
    return server == Server::MySQL ? QStringLiteral("mysql") : QStringLiteral("mssql");
}

std::variant<TerminalRequest, QString> parseTerminalArguments(const QStringList& arguments) {
    TerminalRequest request;
    Given given;
    bool namesOnly = false; // after "--" every argument is a name
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (namesOnly || !a.startsWith(u'-') || a == u"-") {
            if (given.command)
                given.names << a;
            else
                given.command = a;
            continue;
        }
        if (a == u"--") {
            namesOnly = true;
            continue;
        }
        if (a == u"-h" || a == u"--help")
            return TerminalRequest{};
        // --option value, or --option=value.
        const qsizetype equals = a.indexOf(u'=');
        const QString option = equals < 0 ? a : a.left(equals);
        const auto value = [&]() -> std::optional<QString> {
            if (equals >= 0)
                return a.mid(equals + 1);
            if (i + 1 < arguments.size())
                return arguments[++i];
            return std::nullopt;
        };
        if (option == u"--settings") {
            const std::optional<QString> file = value();
            if (!file || file->isEmpty())
                return QStringLiteral("--settings needs the name of the settings file after it.");
            if (!request.settingsFile.isEmpty())
                return QStringLiteral("--settings is given twice.");
            request.settingsFile = *file;
        } else if (option == u"--on" || option == u"--to") {
            const std::optional<QString> word = value();
            if (!word)
                return QStringLiteral("%1 needs a server after it: mysql or mssql.").arg(option);
            const std::optional<Server> server = serverNamed(*word);
            if (!server)
                return QStringLiteral("Unknown server %1 after %2: give mysql or mssql.")
                    .arg(quotedWord(*word), option);
            std::optional<Server>& slot = option == u"--on" ? given.on : given.to;
            if (slot && *slot != *server)
                return QStringLiteral("%1 is given twice.").arg(option);
            slot = server;
        } else if (option == u"--overwrite" || option == u"--skip-existing" ||
                   option == u"--quiet") {
            if (equals >= 0)
                return QStringLiteral("%1 takes no value.").arg(option);
            (option == u"--overwrite"       ? given.overwrite
             : option == u"--skip-existing" ? given.skipExisting
                                            : request.quiet) = true;
        } else {
            return QStringLiteral("Unknown option %1.").arg(quotedWord(option));
        }
    }
    if (!given.command)
        return QStringLiteral("No command given.");
    for (const CommandName& c : kCommands) {
        if (*given.command == QLatin1String(c.word)) {
            request.command = c.command;
            return checked(given, request);
        }
    }
    return QStringLiteral("Unknown command %1.").arg(quotedWord(*given.command));
}

QString terminalHelp() {
    using namespace exitstatus;
    return QStringLiteral(
               "Usage: fernquill [COMMAND [OPTIONS] [TABLE...]]\n"
               "\n"
               "Without arguments Fernquill opens its windows. With a command it works in the\n"
               "terminal instead: it opens no window and needs no display, and it runs the same\n"
               "commands as the table manager's buttons, with the same messages.\n"
               "\n"
               "Commands:\n"
               "  list [--on mysql|mssql]           List the tables of both databases, each\n"
               "                                    line the server, a tab and a table's name;\n"
               "                                    with --on, only that server's table names.\n"
               "  test [--on mysql|mssql]           Test the connection to both servers (MySQL\n"
               "                                    first), or to one, as Test Connection does.\n"
               "  send --to mysql|mssql TABLE...    Copy the tables from the other server, as\n"
               "                                    Send Table(s) does, in the order it sends\n"
               "                                    them (from the end of the sorted list up).\n"
               "  drop --on mysql|mssql TABLE...    Drop the tables, as Delete Table(s) does.\n"
               "  rename --on mysql|mssql OLD NEW   Rename one table, as Rename Table does.\n"
               "\n"
               "mysql is the MySQL (MariaDB) database, mssql the Microsoft SQL Server database.\n"
               "Table names are matched exactly, letter case included; a name that begins\n"
               "with - goes after --.\n"
               "\n"
               "Options:\n"
               "  --settings FILE    Read the connection settings from FILE instead of the\n"
               "                     stored ones: the INI format Fernquill stores them in,\n"
               "                     section [Fernquill], keys MyServer, MyUser, MyPassword,\n"
               "                     MyDatabase, MSServer, MSUser, MSPassword, MSDatabase.\n"
               "  --overwrite        send: replace a table that is already on the target (it is\n"
               "                     dropped and copied again).\n"
               "  --skip-existing    send: leave a table that is already on the target as it is.\n"
               "                     Without either, such a table is left as it is with a\n"
               "                     message, and the run ends with status 4.\n"
               "  --quiet            No progress and no notes; messages of failures still show.\n"
               "  -h, --help         Show this help.\n"
               "\n"
               "Messages go to standard error, the list to standard output. While standard\n"
               "error is a terminal, a copy shows its progress there on one line. Ctrl+C stops\n"
               "a command as Cancel does: after the statement being sent; a second Ctrl+C does\n"
               "not end it sooner. SIGTERM and SIGHUP stop it the same way.\n"
               "\n"
               "Exit status:\n"
               "  %1     everything asked was done\n"
               "  %2     a server refused a step, Fernquill would not send a value it cannot\n"
               "        keep, or a copy's row count check failed (the message says which)\n"
               "  %3     bad arguments, settings that cannot be read, or a table named that the\n"
               "        database does not have; nothing was sent\n"
               "  %4     a server could not be reached, refused the login, or stopped answering\n"
               "  %5     a table already on the target was left as it is (neither --overwrite\n"
               "        nor --skip-existing was given); the other tables were copied\n"
               "  %6    an unexpected error: a fault of Fernquill's own, or memory ran out\n"
               "  %7   stopped by Ctrl+C (128 + the signal's number: 143 for SIGTERM)\n")
        .arg(kDone)
        .arg(kRefused)
        .arg(kBadArguments)
        .arg(kNotConnected)
        .arg(kLeftExisting)
        .arg(kFault)
        .arg(kSignalBase + 2);
}

} // namespace fq::app
