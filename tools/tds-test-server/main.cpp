// The SQL Server test double: a TDS server on a loopback address for the tests and the local run.
//
//   tds-test-server [--address 127.0.0.1] --port 1433 --account USER:PASSWORD [--account ...]
//                   --database NAME [--script FILE.sql] [--log FILE] [--ready-file FILE]

#include "Engine.h"
#include "Server.h"
#include "StatementLog.h"
#include "Text.h"

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

using tds::text::fromUtf8;

struct Options {
    int port = 1433;
    std::string address = "127.0.0.1";
    std::vector<tds::Engine::Account> accounts;
    std::u16string database;
    std::string script;
    std::string log;
    std::string readyFile;
};

[[noreturn]] void usage(const std::string& problem) {
    std::cerr << "tds-test-server: " << problem << "\n"
              << "usage: tds-test-server [--address 127.x.y.z] --port N --account USER:PASSWORD "
                 "[--account ...] --database NAME [--script FILE.sql] [--log FILE] "
                 "[--ready-file FILE]\n";
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
            o.accounts.push_back({fromUtf8(v.substr(0, colon)), fromUtf8(v.substr(colon + 1))});
        } else if (a == "--database") {
            if (!o.database.empty())
                usage("the server has one database");
            o.database = fromUtf8(value());
        } else if (a == "--script") {
            o.script = value();
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
    if (o.database.empty())
        usage("--database is needed");
    return o;
}

bool runScript(tds::Engine& engine, const std::string& path) {
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
    const std::vector<tds::Message> errors = engine.runScript(fromUtf8(bytes));
    if (!errors.empty()) {
        std::cerr << "tds-test-server: the script " << path << " failed:\n";
        for (const tds::Message& m : errors)
            std::cerr << "Msg " << m.number << ", Level " << int{m.severity} << ", State "
                      << int{m.state} << ", Line " << m.line << "\n"
                      << tds::text::toUtf8(m.text) << "\n";
        return false;
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
        tds::Engine engine(options.accounts, options.database);
        if (!options.script.empty() && !runScript(engine, options.script))
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
