#pragma once

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <sys/prctl.h>

namespace fq::test {

// A private instance of the SQL Server test double (TDS_TEST_SERVER_PATH) on a free port of the
// local servers' address ($FERNQUILL_SERVER_ADDRESS, 127.0.0.1 unless set), with its own
// statement log, started for one test program and stopped with SIGTERM when
// it ends.
class TestServerProcess {
public:
    static constexpr const char* kUser = "wire_user";
    static constexpr const char16_t* kPassword = u"Wire;S\u00e9cret1";

    TestServerProcess() = default;
    ~TestServerProcess() { stop(); }
    TestServerProcess(const TestServerProcess&) = delete;
    TestServerProcess& operator=(const TestServerProcess&) = delete;

    // The server's one database.
    QString databaseName = QStringLiteral("wiredb");

    // Starts the server and waits for its ready file; false with the reason in error().
    bool start(const QStringList& extraArguments = {}) {
        port_ = unusedLoopbackPort(address_);
        const QString ready = dir_.filePath(QStringLiteral("ready"));
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The server ends with the test even when the test dies without cleaning up.
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(
            QStringLiteral(TDS_TEST_SERVER_PATH),
            QStringList{"--address", address_, "--port", QString::number(port_), "--account",
                        QString::fromLatin1(kUser) + u':' + QString::fromUtf16(kPassword),
                        "--database", databaseName, "--log", logPath(), "--ready-file", ready} +
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

    // Sends SIGTERM and waits; true when the server ended by itself with status 0.
    bool stop() {
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

    int port() const { return port_; }
    QString error() const { return error_; }

    // Through the FreeTDS driver by its library path, to the server's database; the first account
    // unless given.
    QString connectionString(const QString& user = QString::fromLatin1(kUser),
                             const QString& password = QString::fromUtf16(kPassword)) const {
        return QStringLiteral("Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;"
                              "Server=%1,%2;Database=%3;Uid=%4;Pwd={%5};")
            .arg(address_)
            .arg(port_)
            .arg(databaseName, user, QString(password).replace(u'}', QStringLiteral("}}")));
    }

    // The statement log's lines so far.
    QStringList logLines() const {
        QFile f(logPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QString logPath() const { return dir_.filePath(QStringLiteral("statements.log")); }

    const QString address_ =
        qEnvironmentVariable("FERNQUILL_SERVER_ADDRESS", QStringLiteral("127.0.0.1"));
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString error_;
};

} // namespace fq::test
