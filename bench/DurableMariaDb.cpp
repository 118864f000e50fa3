#include "DurableMariaDb.h"

#include "BenchSupport.h"

#include "sql/SqlText.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <linux/magic.h>
#include <pwd.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace fq::bench {

namespace {

QString pathOf(const QTemporaryDir& dir, const char* name) {
    return dir.filePath(QString::fromLatin1(name));
}

// mariadbd runs as the user that starts it (as root too, where it is told so).
QString userName() {
    return QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
}

} // namespace

DurableMariaDb::DurableMariaDb()
    : dir_(QCoreApplication::applicationDirPath() + QStringLiteral("/durable-mariadb-XXXXXX")) {
    if (!dir_.isValid())
        throw std::runtime_error("cannot make the durable server's folder: " +
                                 dir_.errorString().toStdString());
    // A flush to memory keeps nothing: the folder must be on a disk.
    struct statfs fs {};
    if (statfs(dir_.path().toLocal8Bit().constData(), &fs) == 0 &&
        (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC))
        throw std::runtime_error(dir_.path().toStdString() +
                                 " is in memory (tmpfs), where a flush to disk keeps nothing");
    runProgram(QStringLiteral("mariadb-install-db"),
               {QStringLiteral("--no-defaults"), "--datadir=" + pathOf(dir_, "data"),
                "--user=" + userName(), QStringLiteral("--skip-test-db"),
                QStringLiteral("--auth-root-authentication-method=normal")});
}

DurableMariaDb::~DurableMariaDb() {
    stop();
}

QStringList DurableMariaDb::rootArguments() const {
    return {QStringLiteral("--no-defaults"), "--socket=" + pathOf(dir_, "mariadbd.sock"),
            QStringLiteral("-uroot")};
}

void DurableMariaDb::start(int port) {
    const sql::ConnectionSettings local = test::localServers();
    server_.setStandardOutputFile(QProcess::nullDevice());
    server_.setStandardErrorFile(QProcess::nullDevice());
    // Nothing that decides what a commit keeps is set: those are the server's defaults.
    server_.start(QStringLiteral("mariadbd"),
                  {QStringLiteral("--no-defaults"), "--datadir=" + pathOf(dir_, "data"),
                   "--socket=" + pathOf(dir_, "mariadbd.sock"),
                   QStringLiteral("--port=%1").arg(port), "--bind-address=" + local.myServer,
                   "--user=" + userName(), "--log-error=" + pathOf(dir_, "error.log"),
                   QStringLiteral("--character-set-server=utf8mb4"),
                   QStringLiteral("--collation-server=utf8mb4_general_ci"),
                   QStringLiteral("--skip-name-resolve")});
    const QDeadlineTimer deadline(60000);
    while (!runs(QStringLiteral("mariadb-admin"), rootArguments() << QStringLiteral("ping"))) {
        if (deadline.hasExpired() || server_.state() == QProcess::NotRunning) {
            QFile log(pathOf(dir_, "error.log"));
            log.open(QIODevice::ReadOnly);
            throw std::runtime_error("the durable server did not start: " +
                                     log.readAll().right(2000).toStdString());
        }
        QThread::msleep(100);
    }
    // The local servers' account and database, made once; each statement as typed (no
    // backslash escapes), as quoted() writes literals.
    const QString password = sql::quoted(local.myPassword);
    runProgram(QStringLiteral("mariadb"), rootArguments(),
               QStringLiteral("SET SESSION sql_mode='NO_BACKSLASH_ESCAPES';\n"
                              "CREATE DATABASE IF NOT EXISTS %1 CHARACTER SET utf8mb4;\n"
                              "CREATE USER IF NOT EXISTS %2@'%' IDENTIFIED BY %3;\n"
                              "CREATE USER IF NOT EXISTS %2@'localhost' IDENTIFIED BY %3;\n"
                              "GRANT ALL PRIVILEGES ON *.* TO %2@'%';\n"
                              "GRANT ALL PRIVILEGES ON *.* TO %2@'localhost';\n")
                   .arg(sql::backticked(local.myDatabase), sql::quoted(local.myUser), password)
                   .toUtf8());
}

void DurableMariaDb::flushEveryCommit(bool on) {
    runProgram(QStringLiteral("mariadb"),
               rootArguments() << QStringLiteral("-e")
                               << QStringLiteral("SET GLOBAL innodb_flush_log_at_trx_commit=%1")
                                      .arg(on ? 1 : 0));
}

double DurableMariaDb::flushMs() const {
    const QByteArray path = pathOf(dir_, "flush.test").toLocal8Bit();
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_DSYNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    const std::string block(4096, 'f');
    std::vector<double> ms;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (::pwrite(fd, block.data(), block.size(), 0) != static_cast<ssize_t>(block.size()))
            break;
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    ::close(fd);
    ::unlink(path.constData());
    return ms.empty() ? -1 : median(ms);
}

void DurableMariaDb::stop() {
    if (server_.state() == QProcess::NotRunning)
        return;
    server_.terminate();
    if (!server_.waitForFinished(120000)) {
        server_.kill();
        server_.waitForFinished();
    }
}

} // namespace fq::bench
