#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace fq::test {

// A private instance of the SQL Server test double on a free loopback port, with its own
// statement log, started for one test program and stopped with SIGTERM when it ends.
class TestServerProcess {
public:
    static constexpr const char* kUser = "wire_user";
    static constexpr const char16_t* kPassword = u"Wire;S\u00e9cret1";

    TestServerProcess() = default;
    ~TestServerProcess();
    TestServerProcess(const TestServerProcess&) = delete;
    TestServerProcess& operator=(const TestServerProcess&) = delete;

    // The server's one database.
    QString databaseName = QStringLiteral("wiredb");
    // Starts the server and waits for its ready file; false with the reason in error().
    bool start(const QStringList& extraArguments = {});
    // Sends SIGTERM and waits; true when the server ended by itself with status 0.
    bool stop();

    int port() const { return port_; }
    QString error() const { return error_; }
    // Through the FreeTDS driver by its library path; the first account and the database unless
    // given.
    QString connectionString(const QString& user = QString::fromLatin1(kUser),
                             const QString& password = QString::fromUtf16(kPassword),
                             const QString& database = {}) const;
    // The statement log's lines so far.
    QStringList logLines() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString error_;
};

} // namespace fq::test
