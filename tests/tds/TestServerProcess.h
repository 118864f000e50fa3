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
    static constexpr const char* kDatabase = "wiredb";

    TestServerProcess() = default;
    ~TestServerProcess();
    TestServerProcess(const TestServerProcess&) = delete;
    TestServerProcess& operator=(const TestServerProcess&) = delete;

    // The server's one database.
    QString databaseName = QString::fromLatin1(kDatabase);
    // Starts the server and waits for its ready file; false with the reason in error().
    bool start(const QStringList& extraArguments = {});
    // Sends SIGTERM and waits; true when the server ended by itself with status 0.
    bool stop();

    int port() const { return port_; }
    QString logPath() const;
    QString error() const { return error_; }
    QString connectionString(const QString& user, const QString& password,
                             const QString& database) const;
    // The first account on the database.
    QString connectionString() const;
    // The statement log's lines so far.
    QStringList logLines() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString error_;
};

} // namespace fq::test
