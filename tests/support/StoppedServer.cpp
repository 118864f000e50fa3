#include "support/StoppedServer.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace fq::test {

namespace {

// True when every thread of the process is in the stopped state ('T' in /proc/<pid>/task/*/stat).
bool allThreadsStopped(pid_t pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList ids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (ids.isEmpty())
        return false;
    for (const QString& id : ids) {
        QFile stat(tasks.filePath(id + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue; // the thread has ended
        // "<tid> (<name>) <state> ...": the state follows the last closing parenthesis.
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (close < 0 || close + 2 >= line.size() || line.at(close + 2) != 'T')
            return false;
    }
    return true;
}

pid_t pidOf(Server server) {
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

} // namespace

StoppedServer::StoppedServer(Server server) {
    const pid_t pid = pidOf(server);
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
    // The signal is delivered in its own time: wait until every thread of the server has stopped,
    // so that nothing sent from here on is answered.
    QDeadlineTimer deadline(5000);
    while (!allThreadsStopped(pid_) && !deadline.hasExpired())
        QThread::msleep(1);
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
