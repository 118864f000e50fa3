#include "TestServerProcess.h"

#include "OdbcClient.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace fq::test {

TestServerProcess::~TestServerProcess() {
    if (process_.state() != QProcess::NotRunning)
        stop();
}

QString TestServerProcess::logPath() const {
    return dir_.filePath(QStringLiteral("statements.log"));
}

bool TestServerProcess::start(const QStringList& extraArguments) {
    port_ = unusedLoopbackPort();
    const QString ready = dir_.filePath(QStringLiteral("ready"));
    const QString account =
        QStringLiteral("%1:%2").arg(QString::fromLatin1(kUser), QString::fromUtf16(kPassword));
    const QStringList arguments = QStringList{"--port",       QString::number(port_),
                                              "--account",    account,
                                              "--database",   databaseName,
                                              "--log",        logPath(),
                                              "--ready-file", ready} +
                                  extraArguments;
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The server ends with the test even when the test dies without cleaning up.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(QStringLiteral(TDS_TEST_SERVER_PATH), arguments);
    if (!process_.waitForStarted(5000)) {
        error_ = QStringLiteral("cannot start %1: %2")
                     .arg(QStringLiteral(TDS_TEST_SERVER_PATH), process_.errorString());
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!QFile::exists(ready)) {
        if (process_.state() == QProcess::NotRunning || deadline.hasExpired()) {
            error_ = QStringLiteral("the server did not become ready (exit code %1)")
                         .arg(process_.exitCode());
            return false;
        }
        process_.waitForFinished(20);
    }
    return true;
}

bool TestServerProcess::stop() {
    if (process_.state() == QProcess::NotRunning)
        return false;
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(10000)) {
        process_.kill();
        process_.waitForFinished(2000);
        return false;
    }
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

QString TestServerProcess::connectionString(const QString& user, const QString& password,
                                            const QString& database) const {
    return OdbcClient::connectionString(port_, user, password, database);
}

QString TestServerProcess::connectionString() const {
    return connectionString(QString::fromLatin1(kUser), QString::fromUtf16(kPassword),
                            QString::fromLatin1(kDatabase));
}

QStringList TestServerProcess::logLines() const {
    QFile f(logPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace fq::test
