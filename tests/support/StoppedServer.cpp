#include "support/StoppedServer.h"

#include "support/TestSupport.h"

#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace fq::test {

pid_t StoppedServer::pidOf(Server server) {
    const QString file =
        localServerValue(server == Server::MySQL ? QStringLiteral("MYSQL_PID_FILE")
                                                 : QStringLiteral("MSSQL_PID_FILE"));
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "The local server's pid file (%s) is missing.\n", qPrintable(file));
        std::exit(2);
    }
    return static_cast<pid_t>(f.readAll().trimmed().toLong());
}

StoppedServer::StoppedServer(Server server) : StoppedServer(pidOf(server)) {}

StoppedServer::StoppedServer(pid_t pid) {
    if (pid <= 0)
        return;
    // The guardian waits for the end of the pipe (this object going, or this process dying)
    // and then lets the server go on.
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[1]);
        char c = 0;
        while (::read(fds[0], &c, 1) > 0) {
        }
        ::kill(pid, SIGCONT);
        ::_exit(0);
    }
    ::close(fds[0]);
    if (child < 0) {
        ::close(fds[1]);
        return;
    }
    guardian_ = fds[1];
    pid_ = pid;
    ::kill(pid_, SIGSTOP);
}

StoppedServer::~StoppedServer() {
    resume();
}

void StoppedServer::resume() {
    if (pid_ > 0)
        ::kill(pid_, SIGCONT);
    pid_ = -1;
    if (guardian_ >= 0)
        ::close(guardian_);
    guardian_ = -1;
}

} // namespace fq::test
