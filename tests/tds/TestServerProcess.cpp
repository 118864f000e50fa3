#include "TestServerProcess.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QFile>

#include <csignal>
#include <sys/prctl.h>

namespace fq::test {

TestServerProcess::~TestServerProcess() {
    if (process_.state() != QProcess::NotRunning)
        stop();
}

bool TestServerProcess::start(const QStringList& extraArguments) {
    port_ = unusedLoopbackPort();
    const QString ready = dir_.filePath(QStringLiteral("ready"));
    const QString account = QString::fromLatin1(kUser) + u':' + QString::fromUtf16(kPassword);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The server ends with the test even when the test dies without cleaning up.
    process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process_.start(QStringLiteral(TDS_TEST_SERVER_PATH),
                   QStringList{"--port", QString::number(port_), "--account", account, "--database",
                               databaseName, "--log",
                               dir_.filePath(QStringLiteral("statements.log")), "--ready-file",
                               ready} +
                       extraArguments);
    const QDeadlineTimer deadline(10000);
    while (!QFile::exists(ready)) {
        if (process_.state() == QProcess::NotRunning || deadline.hasExpired()) {
            error_ = QStringLiteral("the server did not become ready (%1, exit code %2)")
                         .arg(process_.errorString())
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
    return QStringLiteral("Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;"
                          "Server=127.0.0.1,%1;Database=%2;Uid=%3;Pwd={%4};")
        .arg(port_)
        .arg(database.isEmpty() ? databaseName : database, user,
             QString(password).replace(u'}', QStringLiteral("}}")));
}

QStringList TestServerProcess::logLines() const {
    QFile f(dir_.filePath(QStringLiteral("statements.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace fq::test
