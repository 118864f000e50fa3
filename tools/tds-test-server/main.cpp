// The SQL Server test double: a TDS server on a loopback address for the tests and the local run.
//
//   tds-test-server [--address 127.0.0.1] --port 1433 --account USER:PASSWORD [--account ...] --database NAME
//                   [--database ...] [--script FILE.sql [--script-database NAME]] --log FILE
//                   [--ready-file FILE]

#include "Engine.h"
#include "Server.h"
#include "StatementLog.h"
#include "WireText.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using tds::wire::WireText;

struct Options {
    int port = 1433;
    std::string address = "127.0.0.1";
    std::vector<tds::Engine::Account> accounts;
    std::vector<std::u16string> databases;
    std::vector<std::string> scripts;
    std::u16string scriptDatabase;
    std::string log;
    std::string readyFile;
};

[[noreturn]] void usage(const std::string& problem) {
    std::cerr << "tds-test-server: " << problem << "\n"
              << "usage: tds-test-server [--address 127.x.y.z] --port N --account USER:PASSWORD [--account ...] "
                 "--database NAME [--database ...] [--script FILE.sql [--script-database NAME]] "
                 "--log FILE [--ready-file FILE]\n";
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                usage(a + " needs a value");
            return args[++i];
        };
        if (a == "--address") {
            o.address = value();
        } else if (a == "--port") {
            const std::string& v = value();
            char* end = nullptr;
            const long port = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || port < 0 || port > 65535)
                usage("bad port " + v);
            o.port = static_cast<int>(port);
        } else if (a == "--account") {
            const std::string& v = value();
            const std::size_t colon = v.find(':');
            if (colon == std::string::npos || colon == 0)
                usage("--account takes USER:PASSWORD, not " + v);
            o.accounts.push_back(
                {WireText::utf16(v.substr(0, colon)), WireText::utf16(v.substr(colon + 1))});
        } else if (a == "--database") {
            o.databases.push_back(WireText::utf16(value()));
        } else if (a == "--script") {
            o.scripts.push_back(value());
        } else if (a == "--script-database") {
            o.scriptDatabase = WireText::utf16(value());
        } else if (a == "--log") {
            o.log = value();
        } else if (a == "--ready-file") {
            o.readyFile = value();
        } else {
            usage("unknown option " + a);
        }
    }
    if (o.accounts.empty())
        usage("at least one --account is needed");
    if (o.databases.empty())
        usage("at least one --database is needed");
    if (o.scriptDatabase.empty())
        o.scriptDatabase = o.databases.front();
    return o;
}

bool runScripts(tds::Engine& engine, const Options& o) {
    for (const std::string& path : o.scripts) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::cerr << "tds-test-server: cannot read the script " << path << "\n";
            return false;
        }
        std::stringstream text;
        text << in.rdbuf();
        std::string bytes = text.str();
        if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
            bytes.erase(0, 3);
        const std::vector<tds::Message> errors =
            engine.runScript(o.scriptDatabase, WireText::utf16(bytes));
        if (!errors.empty()) {
            std::cerr << "tds-test-server: the script " << path << " failed:\n";
            for (const tds::Message& m : errors)
                std::cerr << "Msg " << m.number << ", Level " << int{m.severity} << ", State "
                          << int{m.state} << ", Line " << m.line << "\n"
                          << WireText::utf8(m.text) << "\n";
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // SIGTERM and SIGINT are taken by one thread that stops the server; every other thread
    // inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const Options options = parse(argc, argv);
    try {
        tds::Engine engine(options.accounts, options.databases);
        if (!runScripts(engine, options))
            return 1;
        std::unique_ptr<tds::wire::StatementLog> log =
            options.log.empty() ? std::make_unique<tds::wire::StatementLog>()
                                : std::make_unique<tds::wire::StatementLog>(options.log);
        tds::wire::Server server(engine, *log);
        server.listen(static_cast<std::uint16_t>(options.port), options.address);
        if (!options.readyFile.empty()) {
            std::ofstream ready(options.readyFile, std::ios::trunc);
            ready << server.port() << "\n";
            if (!ready) {
                std::cerr << "tds-test-server: cannot write " << options.readyFile << "\n";
                return 1;
            }
        }
        std::thread signalThread([&server, stopSignals] {
            int received = 0;
            sigwait(&stopSignals, &received);
            server.stop();
        });
        server.run();
        // Wakes the signal thread if run() ended on its own.
        pthread_kill(signalThread.native_handle(), SIGTERM);
        signalThread.join();
    } catch (const std::exception& e) {
        std::cerr << "tds-test-server: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
