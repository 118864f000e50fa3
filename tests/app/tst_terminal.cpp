// Fernquill as a terminal program, run as a process against the local servers. No display is
// there: DISPLAY is unset and Qt is told to use X11, so a window, or a widgets application, would
// end the process at once. The commands are the table manager's (their own tests cover them); this
// covers what the terminal adds: the command line, the messages on standard error as the windows'
// boxes show them, the answers to the overwrite question, exit statuses, progress on a terminal,
// and Ctrl+C as Cancel.
#include "commands/Listing.h"
#include "odbc/DbError.h"
#include "odbc/Result.h"
#include "settings/SettingsStore.h"
#include "sql/SqlText.h"
#include "support/Servers.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <vector>

using namespace fq;
using test::Way;

namespace {

const QString kSeeHelp = QStringLiteral(" \"fernquill --help\" tells how to call Fernquill.\n");

// How a run ended, and what it wrote.
struct Ran {
    int status = -1;
    QString out;
    QString err;
};

// Standard error on a terminal of its own (200 columns): what the program writes there is read
// from the terminal's other end.
class PseudoTerminal {
public:
    PseudoTerminal() {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 200;
        if (::openpty(&master_, &slave_, nullptr, nullptr, &size) == 0)
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal() {
        closeSlave();
        if (master_ >= 0)
            ::close(master_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool valid() const { return master_ >= 0; }
    int slave() const { return slave_; }
    // The program has its end: the terminal closes once the program's is closed too.
    void closeSlave() {
        if (slave_ >= 0)
            ::close(slave_);
        slave_ = -1;
    }
    // Everything written so far.
    const QByteArray& read() {
        char buffer[4096];
        for (ssize_t n; (n = ::read(master_, buffer, sizeof buffer)) > 0;)
            written_.append(buffer, n);
        return written_;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QByteArray written_;
};

// One run of the program, started with the arguments (the settings file added); its standard
// error on the terminal when one is given.
class Program {
public:
    Program(const QStringList& arguments, PseudoTerminal* terminal = nullptr,
            const QProcessEnvironment& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(extra);
        process_.setProcessEnvironment(env);
        if (terminal != nullptr) {
            const int fd = terminal->slave();
            process_.setChildProcessModifier([fd] { ::dup2(fd, STDERR_FILENO); });
        }
        process_.start(QStringLiteral(FQ_FERNQUILL), arguments);
        if (terminal != nullptr)
            terminal->closeSlave();
    }

    // While it runs (a process that has ended has no id: kill(0) would reach this test's group).
    void signal(int number) const {
        if (const qint64 pid = process_.processId(); pid > 0)
            ::kill(static_cast<pid_t>(pid), number);
    }
    // What standard error held so far (when it is not a terminal).
    QString errSoFar() {
        err_ += process_.readAllStandardError();
        return QString::fromUtf8(err_);
    }
    Ran finish() {
        Ran r;
        if (!process_.waitForFinished(60000)) {
            process_.kill();
            process_.waitForFinished();
        }
        r.status = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
        r.out = QString::fromUtf8(process_.readAllStandardOutput());
        r.err = errSoFar();
        return r;
    }

private:
    QProcess process_;
    QByteArray err_;
};

// A settings file for the local servers, changed as given.
class SettingsFile {
public:
    explicit SettingsFile(const std::function<void(sql::ConnectionSettings&)>& change = {}) {
        sql::ConnectionSettings s = test::localServers();
        if (change)
            change(s);
        settings::SettingsStore store = settings::SettingsStore::inFile(path());
        test::storeSettings(store, s);
    }
    QString path() const { return dir_.filePath(QStringLiteral("fernquill.ini")); }
    QStringList arguments() const { return {QStringLiteral("--settings"), path()}; }

private:
    QTemporaryDir dir_;
};

Ran run(const QStringList& arguments) {
    return Program(SettingsFile().arguments() + arguments).finish();
}

QString serverWord(Server server) {
    return server == Server::MySQL ? QStringLiteral("mysql") : QStringLiteral("mssql");
}

// A message as the terminal writes a box: the text, then the details.
QString asWritten(const test::FakeDialogs::Box& box) {
    return box.prompt +
           (box.detail.isEmpty() ? QString() : QStringLiteral("\n\nDetails: ") + box.detail) +
           u'\n';
}

// The entries the table manager lists for the server.
QStringList listed(Server server) {
    test::FakeDialogs dialogs;
    test::MemoryTableList list;
    commands::TableListing listing;
    if (server == Server::MySQL)
        listing.LoadMySQLTables(list, test::localServers(), dialogs);
    else
        listing.LoadMSSQLTables(list, test::localServers(), dialogs);
    return test::entriesOf(list);
}

} // namespace

class TestTerminal : public QObject {
    Q_OBJECT

private slots:
    void argumentsThatCannotBeUsed_data();
    void argumentsThatCannotBeUsed();
    void listsAsTheTableManagerDoes();
    void copyStopsWhereTheWindowsCopyStops_data();
    void copyStopsWhereTheWindowsCopyStops();
    void tableAlreadyOnTheTarget_data();
    void tableAlreadyOnTheTarget();
    void dropAndRename_data();
    void dropAndRename();
    void serverNotReached_data();
    void serverNotReached();
    void storedSettings();
    void ctrlCStopsAfterTheStatementBeingSent();
    void progressOnlyOnATerminal();
};

// Each is told before anything is sent, with status 2. "%t" is a table on MySQL only.
void TestTerminal::argumentsThatCannotBeUsed_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("said");
    const auto row = [](const char* name, const QStringList& arguments, const QString& said) {
        QTest::newRow(name) << arguments << said + kSeeHelp;
    };
    row("no command", {"--quiet"}, "No command given.");
    row("unknown command", {"lst"}, "Unknown command \"lst\".");
    row("unknown option", {"list", "--all"}, "Unknown option \"--all\".");
    row("a flag given a value", {"list", "--quiet=yes"}, "--quiet takes no value.");
    row("unknown server", {"drop", "--on", "oracle", "t"},
        "Unknown server \"oracle\" after --on: give mysql or mssql.");
    row("--to without its server", {"send", "--to"},
        "--to needs a server after it: mysql or mssql.");
    row("send without --to", {"send", "t"},
        "send needs --to mysql or --to mssql: the server the tables are copied to.");
    row("send with --on", {"send", "--on", "mysql", "t"},
        "send takes --to (the server the tables go to), not --on.");
    row("drop with --to", {"drop", "--to", "mysql", "t"},
        "drop takes --on (the server it works on), not --to.");
    row("send without tables", {"send", "--to=mssql"},
        "send needs the names of the tables to copy.");
    row("drop without tables", {"drop", "--on", "mysql"},
        "drop needs the names of the tables to drop.");
    row("rename with one name", {"rename", "--on", "mysql", "a"},
        "rename needs two names, the table's and its new one (1 given).");
    row("rename to nothing", {"rename", "--on", "mssql", "a", ""}, "The new name is empty.");
    row("both overwrite flags", {"send", "--to", "mysql", "--overwrite", "--skip-existing", "t"},
        "--overwrite and --skip-existing cannot be given together.");
    row("--overwrite for a drop", {"drop", "--on", "mysql", "--overwrite", "t"},
        "--overwrite is for send only.");
    row("list with a name", {"list", "t"}, "list takes no table names (\"t\" was given).");
    row("two servers", {"drop", "--on", "mysql", "--on", "mssql", "t"}, "--on is given twice.");
    row("--settings without a file", {"list", "--settings"},
        "--settings needs the name of the settings file after it.");
    // Known once the lists are read: the whole list of names that are not there, with the
    // entry that differs only in letter case; a name that begins with "-" after "--".
    QTest::newRow("tables not on the source")
        << QStringList{"send", "--to", "mssql", "--", "%t", "%T", "-x"}
        << "The MySQL database has no table named \"%T\" (it has \"%t\": names are matched "
           "exactly, letter case included).\nThe MySQL database has no table named \"-x\".\n"
           "Nothing was sent. \"fernquill list --on mysql\" lists its tables.\n";
    QTest::newRow("a settings file that is not there")
        << QStringList{"list", "--settings", "/nonexistent/fernquill.ini"}
        << "The settings file \"/nonexistent/fernquill.ini\" does not exist. Nothing was sent.\n";
}

void TestTerminal::argumentsThatCannotBeUsed() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, said);
    test::Scratch scratch;
    const bool onServer = arguments.contains(QStringLiteral("%t"));
    const QString table = onServer ? scratch.name(QStringLiteral("arg")) : QString();
    if (onServer)
        test::createNumbered(Server::MySQL, table, 1);
    const QList<std::pair<QString, QString>> names{{"%t", table}, {"%T", table.toUpper()}};
    arguments = test::replaced(arguments, names);
    test::ServerLog mssql(Server::MSSQL);
    const bool given = arguments.contains(QStringLiteral("--settings"));
    const Ran r = given ? Program(arguments).finish() : run(arguments);
    QCOMPARE(r.err, test::replaced({said}, names)[0]);
    QCOMPARE(r.status, 2);
    QVERIFY(r.out.isEmpty());
    if (onServer)
        QVERIFY(mssql.sessionsMentioning({table}).isEmpty());
}

// Both lists as the table manager reads them, in its order; with --on the one list's names only.
void TestTerminal::listsAsTheTableManagerDoes() {
    test::Scratch scratch;
    const QString base = scratch.name(QStringLiteral("Listed"));
    for (const QString& n : {base + "_b", base + "_A", base + " o'brien"}) {
        scratch.keep(n);
        test::exec(
            Server::MySQL,
            {QStringLiteral("CREATE TABLE %1 (i int)").arg(test::delimited(Server::MySQL, n))});
        test::exec(
            Server::MSSQL,
            {QStringLiteral("CREATE TABLE %1 (i int)").arg(test::delimited(Server::MSSQL, n))});
    }
    const QStringList mysql = listed(Server::MySQL);
    const QStringList mssql = listed(Server::MSSQL);
    QCOMPARE(mysql.filter(base), (QStringList{base + " o'brien", base + "_A", base + "_b"}));
    QCOMPARE(mssql.filter(base), mysql.filter(base));

    QStringList both;
    for (const QString& n : mysql)
        both << "mysql\t" + n;
    for (const QString& n : mssql)
        both << "mssql\t" + n;
    const QList<std::pair<QStringList, QStringList>> runs{
        {{"list"}, both}, {{"list", "--on", "mysql"}, mysql}, {{"list", "--on=mssql"}, mssql}};
    for (const auto& [arguments, lines] : runs) {
        const Ran r = run(arguments);
        QCOMPARE(r.out, lines.join(u'\n') + u'\n');
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
    }
}

// Tables a, b and c of the source, named in another order: c is copied, b stops at its refused
// row with the rows before it on the target, a is not reached, as when the window sends them. The
// message is the window's, exactly. "%b" is the refused table.
void TestTerminal::copyStopsWhereTheWindowsCopyStops_data() {
    QTest::addColumn<Way>("way");
    QTest::addColumn<QStringList>("sourceSql");
    QTest::addColumn<int>("rows"); // of b on the target
    // SQL Server refuses the time of row 3.
    QTest::newRow("to SQL Server, a server's refusal")
        << Way{false}
        << QStringList{"CREATE TABLE `%b` (id int, tm time)",
                       "INSERT INTO `%b` VALUES(1, '01:00:00'), (2, '02:00:00'), (3, '100:00:00'), "
                       "(4, '03:00:00')"}
        << 2;
    // Fernquill does not send a seventh fractional digit that MySQL would cut.
    QTest::newRow("to MySQL, Fernquill's refusal")
        << Way{true}
        << QStringList{"CREATE TABLE [%b] (id int, at datetime2(7))",
                       "INSERT INTO [%b] VALUES(1, '2026-12-06 10:00:00.1234560')",
                       "INSERT INTO [%b] VALUES(2, '2026-12-06 10:00:00.1234567')",
                       "INSERT INTO [%b] VALUES(3, '2026-12-06 10:00:00.5000000')"}
        << 1;
}

void TestTerminal::copyStopsWhereTheWindowsCopyStops() {
    QFETCH(Way, way);
    QFETCH(QStringList, sourceSql);
    QFETCH(int, rows);
    test::Scratch scratch;
    const QString a = scratch.name(QStringLiteral("term_a"));
    const QString b = scratch.name(QStringLiteral("term_b"));
    const QString c = scratch.name(QStringLiteral("term_c"));
    test::createNumbered(way.source(), a, 1);
    test::createNumbered(way.source(), c, 3);
    test::exec(way.source(), test::replaced(sourceSql, {{"%b", b}}));

    // The window's copy, then the same from the terminal on the same tables.
    test::TestWindow w;
    test::fillList(w.list(way.source()), listed(way.source()), {a, b, c}, a);
    test::fillList(w.list(way.target()), listed(way.target()));
    way.send(w.context());
    QCOMPARE(w.dialogs.shown.size(), 1);
    QCOMPARE(w.dialogs.shown[0].failure, ui::Failure::Refused);
    for (const QString& t : {b, c})
        test::dropIfExists(way.target(), t);

    const Ran r = run({"send", "--to", serverWord(way.target()), b, c, a});
    QCOMPARE(r.err, asWritten(w.dialogs.shown[0]));
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(test::count(way.target(), b), qint64(rows));
    QCOMPARE(test::count(way.target(), c), 3LL);
    QVERIFY(!test::tables(way.target()).contains(a));
}

// A table a on both servers (3 rows on the source, 5 on the target) and a table b on the source
// only: b is copied in every case; a as the flag says.
void TestTerminal::tableAlreadyOnTheTarget_data() {
    QTest::addColumn<Way>("way");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("said"); // %a the table
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("rows"); // of a on the target afterwards
    const QString question = QStringLiteral("Would you like to overwrite %a?");
    QTest::newRow("to MySQL, no flag")
        << Way{true} << QString()
        << question + " No: the table that is there stays as it is, and this one is not copied. "
                      "Give --overwrite to replace the tables already there, or --skip-existing "
                      "to leave them without this message.\n"
        << 4 << 5;
    QTest::newRow("to SQL Server, --overwrite")
        << Way{false} << "--overwrite" << question + " Yes (--overwrite).\n"
        << 0 << 3;
    QTest::newRow("to MySQL, --skip-existing")
        << Way{true} << "--skip-existing" << question + " No (--skip-existing).\n"
        << 0 << 5;
    QTest::newRow("to SQL Server, --skip-existing --quiet")
        << Way{false} << "--skip-existing --quiet" << QString() << 0 << 5;
}

void TestTerminal::tableAlreadyOnTheTarget() {
    QFETCH(Way, way);
    QFETCH(QString, flag);
    QFETCH(QString, said);
    QFETCH(int, status);
    QFETCH(int, rows);
    test::Scratch scratch;
    const QString a = scratch.name(QStringLiteral("there_a"));
    const QString b = scratch.name(QStringLiteral("there_b"));
    test::createNumbered(way.source(), a, 3);
    test::createNumbered(way.source(), b, 2);
    test::createNumbered(way.target(), a, 5);
    const Ran r = run(QStringList{"send", "--to", serverWord(way.target()), a, b} +
                      flag.split(u' ', Qt::SkipEmptyParts));
    QCOMPARE(r.err, QString(said).replace(QStringLiteral("%a"), a));
    QCOMPARE(r.status, status);
    QCOMPARE(test::count(way.target(), a), qint64(rows));
    QCOMPARE(test::count(way.target(), b), 2LL);
}

// Each reaches its own command on its own server: what exists afterwards.
void TestTerminal::dropAndRename_data() {
    QTest::addColumn<Server>("server");
    QTest::addColumn<QStringList>("arguments"); // %a, %b, %c: tables of the server
    QTest::addColumn<QStringList>("left");      // of the three, and the new name %n
    for (const Server s : {Server::MySQL, Server::MSSQL}) {
        const QString on = serverWord(s);
        QTest::addRow("drop on %s", qPrintable(on))
            << s << QStringList{"drop", "--on", on, "%c", "%a"} << QStringList{"%b"};
        QTest::addRow("rename on %s", qPrintable(on))
            << s << QStringList{"rename", "--on", on, "%b", "%n"} << QStringList{"%a", "%c", "%n"};
    }
}

void TestTerminal::dropAndRename() {
    QFETCH(Server, server);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, left);
    test::Scratch scratch;
    QList<std::pair<QString, QString>> names;
    for (const char* t : {"a", "b", "c"}) {
        names.append({QStringLiteral("%") + t, scratch.name(QStringLiteral("dr_") + t)});
        test::createNumbered(server, names.last().second, 1);
    }
    names.append({"%n", names[1].second + QStringLiteral("_new")});
    scratch.keep(names.last().second);
    const Ran r = run(test::replaced(arguments, names));
    QCOMPARE(r.err, QString());
    QCOMPARE(r.status, 0);
    QStringList all;
    for (const auto& [placeholder, name] : names)
        all << name;
    QStringList there;
    for (const QString& t : test::tables(server)) {
        if (all.contains(t))
            there << t;
    }
    there.sort();
    QStringList expected = test::replaced(left, names);
    expected.sort();
    QCOMPARE(there, expected);
}

// A server that refuses the login or is not there: the message of the listing or of Test
// Connection, as the windows show it, and status 3.
void TestTerminal::serverNotReached_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("mysqlPasswordWrong"); // otherwise nothing listens for SQL Server
    QTest::addColumn<QString>("said");            // how it begins
    QTest::addColumn<QString>("detail");          // in the details
    QTest::newRow("send, MySQL refuses the login")
        << QStringList{"send", "--to", "mssql", "t"} << true
        << "The tables of the MySQL database could not be listed.\n\n"
        << "SQLSTATE 28000, native error 1045";
    QTest::newRow("test, nothing listens for SQL Server")
        << QStringList{"test"} << false
        << "MySQL Database: Connection successful.\nMS SQL Server Database: Could not connect. "
           "Please check server, username, password, database with your administrator. For "
           "help, write to support@fernquill.example.\n\nDetails: "
        << "SQLSTATE 08S01, native error 20009";
}

void TestTerminal::serverNotReached() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, mysqlPasswordWrong);
    QFETCH(QString, said);
    QFETCH(QString, detail);
    const int nobody = test::unusedLoopbackPort();
    const SettingsFile file([&](sql::ConnectionSettings& s) {
        if (mysqlPasswordWrong)
            s.myPassword += QStringLiteral("-wrong");
        else
            s.msServer = QStringLiteral("127.0.0.1,%1").arg(nobody);
    });
    const Ran r = Program(arguments + file.arguments()).finish();
    QVERIFY2(r.err.startsWith(said) && r.err.contains(detail), qPrintable(r.err));
    QCOMPARE(r.status, 3);
}

// Without --settings, the user's own: none stored yet is told, with status 2; once stored, they
// are used.
void TestTerminal::storedSettings() {
    QTemporaryDir config;
    QProcessEnvironment home;
    home.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    Ran r = Program({"test", "--on", "mysql"}, nullptr, home).finish();
    QCOMPARE(r.err, QStringLiteral("No connection settings are stored yet (%1/Marrowind/"
                                   "Fernquill.ini). Start Fernquill without arguments to enter "
                                   "them in its setup window, or give --settings FILE.\n")
                        .arg(config.path()));
    QCOMPARE(r.status, 2);
    settings::SettingsStore store(config.path());
    test::storeSettings(store, test::localServers());
    r = Program({"test", "--on", "mysql"}, nullptr, home).finish();
    QCOMPARE(r.err, QStringLiteral("MySQL Database: Connection successful.\n"));
    QCOMPARE(r.status, 0);
}

// SIGINT once rows have arrived, and again once it has been taken: the copy stops after the
// statement being sent, and the message's count is what the target holds. The source is a view
// of half a million numbered rows, made at once, whose copy takes a while.
void TestTerminal::ctrlCStopsAfterTheStatementBeingSent() {
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("ctrl_c"));
    constexpr int kRows = 500000;
    test::exec(Server::MySQL,
               {QStringLiteral("CREATE VIEW `%1` AS SELECT seq AS id, CONCAT('row ', seq) AS v "
                               "FROM seq_1_to_%2")
                    .arg(name)
                    .arg(kRows)});
    const SettingsFile file;
    Program p(QStringList{"send", "--to", "mssql", name} + file.arguments());
    const auto arrived = [&name] {
        try {
            return test::count(Server::MSSQL, name);
        } catch (const odbc::DbError&) {
            return 0LL; // not created yet
        }
    };
    QTRY_VERIFY_WITH_TIMEOUT(arrived() > 0, 30000);
    p.signal(SIGINT);
    const QString stopping = QStringLiteral("Stopping after the statement being sent\u2026\n");
    QTRY_VERIFY_WITH_TIMEOUT(p.errSoFar().startsWith(stopping), 30000);
    p.signal(SIGINT);
    const Ran r = p.finish();

    static const QRegularExpression stopped(
        QStringLiteral("^(?:Still stopping after the statement being sent: Fernquill does not end "
                       "in the middle of one.\n)?Copying the table %1 to SQL Server was stopped on "
                       "request. The table is on SQL Server with the (\\d+) rows copied. Nothing "
                       "more was sent.\n$")
            .arg(QRegularExpression::escape(name)));
    const auto m = stopped.match(r.err.mid(stopping.size()));
    QVERIFY2(r.err.startsWith(stopping) && m.hasMatch(), qPrintable(r.err));
    QCOMPARE(r.status, 128 + SIGINT);
    const long long copied = m.captured(1).toLongLong();
    QVERIFY2(copied > 0 && copied < kRows, qPrintable(m.captured(1)));
    QCOMPARE(test::count(Server::MSSQL, name), copied);
}

// A copy whose source table is locked waits for MySQL: on a terminal the progress line shows the
// table, the rows and the wait, rewritten in place, and is cleared before a message; with --quiet,
// or on a pipe, nothing of it shows. SIGINT then cuts the waiting call. The three run side by side,
// each on a table of its own.
void TestTerminal::progressOnlyOnATerminal() {
    struct Case {
        const char* name;
        bool terminal;
        bool quiet;
        QString table = {};
        std::unique_ptr<PseudoTerminal> tty = {};
        std::unique_ptr<Program> program = {};
        QByteArray before = {}; // written before SIGINT
    };
    Case cases[] = {
        {"a terminal", true, false}, {"a terminal, --quiet", true, true}, {"a pipe", false, false}};
    test::Scratch scratch;
    const SettingsFile file;
    QStringList locks;
    QStringList reads;
    for (Case& c : cases) {
        c.table = scratch.name(QStringLiteral("locked"));
        test::createNumbered(Server::MySQL, c.table, 3);
        locks << QStringLiteral("`%1` WRITE").arg(c.table);
        reads << sql::quoted(QStringLiteral("SELECT * FROM ") + c.table);
    }
    odbc::Connection lock = test::connection(Server::MySQL);
    lock.execute(QStringLiteral("LOCK TABLES ") + locks.join(QStringLiteral(", ")));
    for (Case& c : cases) {
        c.tty = std::make_unique<PseudoTerminal>();
        QVERIFY(c.tty->valid());
        QStringList arguments = QStringList{"send", "--to", "mssql", c.table} + file.arguments();
        if (c.quiet)
            arguments << QStringLiteral("--quiet");
        c.program = std::make_unique<Program>(arguments, c.terminal ? c.tty.get() : nullptr);
    }
    // Each copy's read has waited two seconds for its lock: a second past the progress's delay.
    const auto waited = [&reads] {
        odbc::Connection c = test::connection(Server::MySQL);
        odbc::Result rs = c.execute(QStringLiteral("SELECT COUNT(*) FROM information_schema."
                                                   "PROCESSLIST WHERE TIME_MS >= 2000 AND "
                                                   "INFO IN (%1)")
                                        .arg(reads.join(u',')));
        return rs.atEnd() ? 0 : rs.value(0).text().toInt();
    };
    QTRY_COMPARE_WITH_TIMEOUT(waited(), int(reads.size()), 30000);
    for (Case& c : cases) {
        c.before = c.terminal ? c.tty->read() : c.program->errSoFar().toUtf8();
        c.program->signal(SIGINT);
    }
    for (Case& c : cases) {
        const Ran r = c.program->finish();
        const QString all = QString::fromUtf8(c.terminal ? c.tty->read() : r.err.toUtf8());
        const QString message =
            QStringLiteral("Copying the table %1 to SQL Server was stopped on request while "
                           "reading its rows from MySQL. The table is on SQL Server with no rows "
                           "copied. Nothing more was sent.")
                .arg(c.table);
        QVERIFY2(r.status == 128 + SIGINT, c.name);
        // A terminal ends each line in a carriage return and a line feed.
        const QString newline = c.terminal ? QStringLiteral("\r\n") : QStringLiteral("\n");
        if (!c.terminal || c.quiet) {
            const QString expected =
                c.quiet ? message + newline
                        : QStringLiteral("Stopping after the statement being sent\u2026") +
                              newline + message + newline;
            QVERIFY2(all == expected, qPrintable(c.name + QStringLiteral(": ") + all));
            continue;
        }
        // The line is rewritten from its start, the rest of the old one erased; a message starts
        // on a line of its own.
        const QRegularExpression line(
            QStringLiteral("\r1 of 1: %1, 0 (?:of about \\d+ )?rows copied(?: \\(0%\\))?, "
                           "Waiting for MySQL\u2026 \\d+ s\x1b\\[K")
                .arg(QRegularExpression::escape(c.table)));
        QVERIFY2(line.match(QString::fromUtf8(c.before)).hasMatch(), c.before.constData());
        const QRegularExpression end(
            QStringLiteral("(?:\r\n|\r\x1b\\[K)%1\r\n$").arg(QRegularExpression::escape(message)));
        QVERIFY2(end.match(all).hasMatch(), qPrintable(all));
    }
    lock.execute(QStringLiteral("UNLOCK TABLES"));
}

QTEST_GUILESS_MAIN(TestTerminal)
#include "tst_terminal.moc"
