#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace fq::test {

namespace {

// Holds the servers for this process: the tests of one set of servers take turns, also when
// ctest was told that two sets run and only one does. The lock goes when the process ends.
void takeServers(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return;
    std::fprintf(stderr, "Waiting for the other tests of the servers in %s.\n", qPrintable(path));
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

QHash<QString, QString> readEnvFile() {
    // One file, or several separated by ':': the first that is there.
    const QByteArray paths = qgetenv("FERNQUILL_LOCAL_SERVERS");
    QFile f;
    for (const QByteArray& path : paths.split(':')) {
        f.setFileName(QString::fromLocal8Bit(path));
        if (!path.isEmpty() && f.open(QIODevice::ReadOnly))
            break;
    }
    if (!f.isOpen()) {
        std::fprintf(stderr,
                     "The local servers' settings file (%s) is missing: start the servers with "
                     "scripts/servers start, or run scripts/test.\n",
                     paths.isEmpty() ? "$FERNQUILL_LOCAL_SERVERS not set" : paths.constData());
        std::exit(2);
    }
    takeServers(f.fileName());
    QHash<QString, QString> values;
    // NAME='value' with ' written as '\'' inside, as the servers script writes it.
    static const QRegularExpression line(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)=(.*)$"));
    for (const QString& raw : QString::fromUtf8(f.readAll()).split(u'\n')) {
        const auto m = line.match(raw);
        if (!m.hasMatch())
            continue;
        QString v = m.captured(2);
        if (v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\''))
            v = v.mid(1, v.size() - 2).replace(QStringLiteral("'\\''"), QStringLiteral("'"));
        values.insert(m.captured(1), v);
    }
    return values;
}

const QHash<QString, QString>& envValues() {
    static const QHash<QString, QString> values = readEnvFile();
    return values;
}

} // namespace

sql::ConnectionSettings localServers() {
    const auto& v = envValues();
    sql::ConnectionSettings s;
    for (const auto& [key, field] : kSettingsKeys)
        s.*field = v.value(QString::fromLatin1(key));
    return s;
}

QString localServerValue(const QString& name) {
    return envValues().value(name);
}

int unusedLoopbackPort(const QString& address) {
    // Bind a socket to port 0 to learn a free port, then close it without listening.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.toLatin1().constData(), &addr.sin_addr) != 1)
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 1;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

QString uniqueName(const QString& prefix) {
    static std::atomic<int> counter{0};
    return QStringLiteral("%1_%2_%3")
        .arg(prefix)
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

QString unescapeLogText(const QString& field) {
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c != u'\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        const QChar next = field.at(++i);
        out += next == u'n'   ? QChar(u'\n')
               : next == u'r' ? QChar(u'\r')
               : next == u't' ? QChar(u'\t')
                              : next;
    }
    return out;
}

int FakeDialogs::MsgBox(const QString& prompt, int style, const QString& title,
                        const QString& detail) {
    if (!failAt.isEmpty() && prompt.startsWith(failAt))
        throw std::runtime_error("the box could not be shown");
    shown.append(Box{prompt, style, title, detail, false, {}, std::nullopt});
    return answers.isEmpty() ? ui::kAnswerOk : answers.dequeue();
}

void FakeDialogs::showFailure(ui::Failure kind, const QString& text, const QString& detail) {
    MsgBox(text, ui::kOkOnly, {}, detail);
    shown.last().failure = kind;
}

QString FakeDialogs::InputBox(const QString& prompt, const QString& title,
                              const QString& defaultText) {
    shown.append(Box{prompt, 0, title, {}, true, defaultText, std::nullopt});
    return inputs.isEmpty() ? QString() : inputs.dequeue();
}

} // namespace fq::test
