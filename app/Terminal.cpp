#include "app/Terminal.h"

#include "app/TerminalArguments.h"
#include "app/TerminalConsole.h"
#include "app/TerminalDialogs.h"
#include "app/TerminalRunner.h"
#include "commands/CommandContext.h"
#include "commands/DropTables.h"
#include "commands/Listing.h"
#include "commands/Probes.h"
#include "commands/RenameTable.h"
#include "commands/SendTables.h"
#include "settings/SettingsStore.h"
#include "ui/MemoryTableList.h"
#include "ui/Pointer.h"

#include <QFile>
#include <QFileInfo>

#include <signal.h>
#include <unistd.h>

#include <optional>

namespace fq::app {

namespace {

using namespace exitstatus;
using Command = TerminalRequest::Command;

// The pointer of a window that is not there.
class NoPointer final : public ui::Pointer {
public:
    int MousePointer() const override { return ui::kPointerDefault; }
    void SetMousePointer(int) override {}
};

Server otherThan(Server server) {
    return server == Server::MySQL ? Server::MSSQL : Server::MySQL;
}

// "The MySQL database", as the listing's messages name it.
QString databaseName(Server server) {
    return server == Server::MySQL ? QStringLiteral("The MySQL database")
                                   : QStringLiteral("The MS SQL Server database");
}

QString quotedNames(const QStringList& names) {
    QStringList quoted;
    for (const QString& n : names)
        quoted << u'"' + n + u'"';
    return quoted.join(QStringLiteral(", "));
}

// The eight settings from the user's store, or from the INI file named; none, after a message,
// when the file cannot be read or holds none of them.
std::optional<sql::ConnectionSettings> readSettings(const QString& file, TerminalConsole& console) {
    if (!file.isEmpty()) {
        const QFileInfo info(file);
        QFile f(file);
        QString wrong;
        if (!info.exists())
            wrong = QStringLiteral("does not exist");
        else if (info.isDir())
            wrong = QStringLiteral("is a folder");
        else if (!f.open(QIODevice::ReadOnly))
            wrong = QStringLiteral("cannot be read: ") + f.errorString();
        if (!wrong.isEmpty()) {
            console.message(
                QStringLiteral("The settings file \"%1\" %2. Nothing was sent.").arg(file, wrong));
            return std::nullopt;
        }
    }
    const settings::SettingsStore store =
        file.isEmpty() ? settings::SettingsStore() : settings::SettingsStore::inFile(file);
    sql::ConnectionSettings s;
    bool any = false;
    for (const auto& [key, field] : sql::kSettingsKeys) {
        s.*field = store.Read(QString::fromLatin1(key));
        any = any || !(s.*field).isEmpty();
    }
    if (any)
        return s;
    if (file.isEmpty())
        console.message(QStringLiteral("No connection settings are stored yet (%1). Start "
                                       "Fernquill without arguments to enter them in its setup "
                                       "window, or give --settings FILE.")
                            .arg(store.location()));
    else
        console.message(QStringLiteral("The settings file \"%1\" holds none of the connection "
                                       "settings: Fernquill reads them from its section "
                                       "[Fernquill], under the keys MyServer, MyUser, MyPassword, "
                                       "MyDatabase, MSServer, MSUser, MSPassword and MSDatabase.")
                            .arg(file));
    return std::nullopt;
}

// One terminal run of a command on the settings read.
class Terminal {
public:
    Terminal(const TerminalRequest& request, const sql::ConnectionSettings& settings,
             TerminalConsole& console)
        : request_(request), settings_(settings), console_(console),
          runner_(console, request.quiet), dialogs_(console, request.existing, request.quiet) {}

    int run() {
        switch (request_.command) {
        case Command::List:
            return list();
        case Command::Test:
            return test();
        case Command::Send:
            return send();
        case Command::Drop:
            return drop();
        case Command::Rename:
            return rename();
        case Command::Help:
            break;
        }
        return kDone;
    }

private:
    int list() {
        const bool both = !request_.server;
        readLists(both || request_.server == Server::MySQL,
                  both || request_.server == Server::MSSQL);
        for (const Server s : {Server::MySQL, Server::MSSQL}) {
            if (!both && request_.server != s)
                continue;
            for (const QString& name : list(s).entries())
                console_.output(both ? serverWord(s) + u'\t' + name : name);
        }
        return status();
    }

    int test() {
        const QList<Server> servers = request_.server ? QList<Server>{*request_.server}
                                                      : QList<Server>{Server::MySQL, Server::MSSQL};
        for (const Server s : servers) {
            const QString frame = s == Server::MySQL ? QStringLiteral("MySQL Database")
                                                     : QStringLiteral("MS SQL Server Database");
            if (stoppedBefore(QStringLiteral("the %1 was tested").arg(frame)))
                return status();
            dialogs_.setHeading(frame + QStringLiteral(": "));
            runner_.run(TerminalRunner::Kind::Plain, commandName(), dialogs_,
                        [this, s] { commands::TestConnection(s, settings_, dialogs_, pointer_); });
        }
        return status();
    }

    int send() {
        const Server target = *request_.server;
        if (const auto end = selected(true, true, otherThan(target), request_.tables,
                                      QStringLiteral("anything was copied")))
            return *end;
        runner_.run(TerminalRunner::Kind::Copy, commandName(), dialogs_, [this, target] {
            target == Server::MySQL ? commands::SendTablesToMySQL(context())
                                    : commands::SendTablesToMSSQL(context());
        });
        return status();
    }

    int drop() {
        const Server server = *request_.server;
        if (const auto end = selected(server == Server::MySQL, server == Server::MSSQL, server,
                                      request_.tables, QStringLiteral("anything was dropped")))
            return *end;
        runner_.run(TerminalRunner::Kind::Plain, commandName(), dialogs_, [this, server] {
            server == Server::MySQL ? commands::DropMySQLTables(context())
                                    : commands::DropMSSQLTables(context());
        });
        // Stopped between two tables, the command says nothing: what it left is told here.
        const QStringList listed = list(server).entries();
        QStringList left;
        for (const QString& name : request_.tables) {
            if (listed.contains(name) && !left.contains(name))
                left << name;
        }
        if (!dialogs_.failure() && runner_.stopSignal() != 0 && !left.isEmpty())
            console_.message(QStringLiteral("Dropping was stopped on request. Not dropped: %1.")
                                 .arg(quotedNames(left)));
        return status(!left.isEmpty());
    }

    int rename() {
        const Server server = *request_.server;
        if (const auto end =
                selected(server == Server::MySQL, server == Server::MSSQL, server,
                         {request_.tables[0]}, QStringLiteral("the table was renamed")))
            return *end;
        dialogs_.setInput(request_.tables[1]);
        runner_.run(TerminalRunner::Kind::Plain, commandName(), dialogs_, [this, server] {
            server == Server::MySQL ? commands::RenameMySQLTable(context())
                                    : commands::RenameMSSQLTable(context());
        });
        return status();
    }

    // What a user does in the window before pressing a command's button: the lists the command
    // needs are read, and the named tables of the server's list selected. The exit status when
    // the command is not to run: a list could not be read, a name is not listed, or a stop
    // signal came before the step.
    std::optional<int> selected(bool mysql, bool mssql, Server server, const QStringList& names,
                                const QString& step) {
        if (!readLists(mysql, mssql))
            return status();
        if (!select(server, names))
            return kBadArguments;
        if (stoppedBefore(step))
            return status();
        return std::nullopt;
    }

    // Reads the lists of the servers asked for, SQL Server first as the table manager does.
    // False when one could not be read (its message was shown).
    bool readLists(bool mysql, bool mssql) {
        if (stoppedBefore(QStringLiteral("the tables were listed")))
            return false;
        runner_.run(TerminalRunner::Kind::Plain, commandName(), dialogs_, [&] {
            commands::TableListing listing;
            if (mssql)
                listing.LoadMSSQLTables(mssqlList_, settings_, dialogs_);
            if (mysql)
                listing.LoadMySQLTables(mysqlList_, settings_, dialogs_);
        });
        return !dialogs_.failure();
    }

    // Selects the entry of each name in the server's list (the first, should a name be listed
    // twice), as a user would in the window, and makes the first of them the current item. False,
    // after a message, when a name is not listed: nothing is sent then.
    bool select(Server server, const QStringList& names) {
        ui::TableList& l = list(server);
        const QStringList listed = l.entries();
        QStringList wrong;
        for (const QString& name : names) {
            if (listed.contains(name))
                continue;
            QString line =
                QStringLiteral("%1 has no table named \"%2\"").arg(databaseName(server), name);
            for (const QString& other : listed) {
                if (other.compare(name, Qt::CaseInsensitive) == 0) {
                    line += QStringLiteral(" (it has \"%1\": names are matched exactly, letter "
                                           "case included)")
                                .arg(other);
                    break;
                }
            }
            wrong << line + u'.';
        }
        if (!wrong.isEmpty()) {
            console_.message(wrong.join(u'\n') +
                             QStringLiteral("\nNothing was sent. \"fernquill list --on %1\" "
                                            "lists its tables.")
                                 .arg(serverWord(server)));
            return false;
        }
        for (const QString& name : names) {
            const int p = static_cast<int>(listed.indexOf(name));
            l.SetSelected(p, true);
            if (name == names.first())
                l.SetListIndex(p);
        }
        return true;
    }

    // True, after a message, once a stop signal has come before the next step.
    bool stoppedBefore(const QString& step) {
        if (runner_.stopSignal() == 0)
            return false;
        console_.message(QStringLiteral("Stopped on request before %1.").arg(step));
        stoppedBefore_ = true;
        return true;
    }

    // The exit status for what the run did: the failure a command reported, a stop signal
    // after which work was left undone (`workLeft`: by a command that said nothing of it), a
    // table left as it was on the target. A command that ended its work although a stop signal
    // came meanwhile has done everything asked.
    int status(bool workLeft = false) {
        const std::optional<ui::Failure> failure = dialogs_.failure();
        if (failure == ui::Failure::Fault)
            return kFault;
        if (const int signal = runner_.stopSignal();
            signal != 0 && (failure || workLeft || stoppedBefore_))
            return kSignalBase + signal;
        if (failure) {
            switch (*failure) {
            case ui::Failure::Refused:
            case ui::Failure::RowsDiffer:
                return kRefused;
            case ui::Failure::NotConnected:
            case ui::Failure::StoppedAnswering:
                return kNotConnected;
            case ui::Failure::Cancelled:
                return kSignalBase + SIGINT;
            case ui::Failure::Fault:
                break;
            }
            return kFault;
        }
        return dialogs_.leftExisting() > 0 ? kLeftExisting : kDone;
    }

    commands::CommandContext context() {
        return commands::CommandContext{
            mysqlList_,         mssqlList_, dialogs_, pointer_, [this] { return settings_; },
            &runner_.progress()};
    }

    ui::TableList& list(Server server) {
        return server == Server::MySQL ? static_cast<ui::TableList&>(mysqlList_) : mssqlList_;
    }

    // How a message of an unexpected error names the command: as it was typed.
    QString commandName() const {
        static const char* const words[] = {"", "list", "test", "send", "drop", "rename"};
        QString name =
            QStringLiteral("fernquill ") + QLatin1String(words[static_cast<int>(request_.command)]);
        if (request_.server)
            name += (request_.command == Command::Send ? QStringLiteral(" --to ")
                                                       : QStringLiteral(" --on ")) +
                    serverWord(*request_.server);
        return u'"' + name + u'"';
    }

    const TerminalRequest& request_;
    const sql::ConnectionSettings settings_;
    TerminalConsole& console_;
    TerminalRunner runner_;
    TerminalDialogs dialogs_;
    NoPointer pointer_;
    ui::MemoryTableList mysqlList_;
    ui::MemoryTableList mssqlList_;
    bool stoppedBefore_ = false;
};

} // namespace

int runTerminal(const QStringList& arguments) {
    const std::variant<TerminalRequest, QString> parsed = parseTerminalArguments(arguments);
    if (const QString* wrong = std::get_if<QString>(&parsed)) {
        TerminalConsole(false).message(*wrong + QStringLiteral(" \"fernquill --help\" tells how "
                                                               "to call Fernquill."));
        return kBadArguments;
    }
    const TerminalRequest& request = std::get<TerminalRequest>(parsed);
    TerminalConsole console(!request.quiet && isTerminal(STDERR_FILENO));
    if (request.command == Command::Help) {
        console.output(terminalHelp().chopped(1));
        return kDone;
    }
    const std::optional<sql::ConnectionSettings> settings =
        readSettings(request.settingsFile, console);
    if (!settings)
        return kBadArguments;
    return Terminal(request, *settings, console).run();
}

} // namespace fq::app
