#include "OdbcTrace.h"

#include <QDir>
#include <QFile>

namespace fq::test {

bool OdbcTrace::enable(QString* error) {
    const QByteArray current = qgetenv("ODBCSYSINI");
    const QString registry =
        (current.isEmpty() ? QStringLiteral("/etc") : QString::fromLocal8Bit(current)) +
        QStringLiteral("/odbcinst.ini");
    QFile source(registry);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the driver registry %1").arg(registry);
        return false;
    }
    dir_ = std::make_unique<QTemporaryDir>();
    const QString tracePath = dir_->filePath(QStringLiteral("trace.log"));
    QFile copy(dir_->filePath(QStringLiteral("odbcinst.ini")));
    if (!dir_->isValid() || !copy.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write a private driver registry");
        return false;
    }
    // The registry's own [ODBC] section, if any, is left out: this one comes first and wins.
    QByteArray text = "[ODBC]\nTrace=Yes\nTraceFile=" + tracePath.toLocal8Bit() + "\n\n";
    bool inOdbcSection = false;
    for (const QByteArray& line : source.readAll().split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('['))
            inOdbcSection = trimmed.compare("[ODBC]", Qt::CaseInsensitive) == 0;
        if (!inOdbcSection)
            text += line + '\n';
    }
    copy.write(text);
    copy.close();
    qputenv("ODBCSYSINI", QDir::toNativeSeparators(dir_->path()).toLocal8Bit());
    log_ = std::make_unique<LogWatcher>(tracePath);
    return true;
}

void OdbcTrace::mark() {
    if (log_)
        log_->mark();
}

QStringList OdbcTrace::connectionStringsSinceMark() const {
    QStringList strings;
    if (!log_)
        return strings;
    // unixODBC writes the entry of SQLDriverConnectW as "Str In = [<string>][length = <n>]".
    static const QString open = QStringLiteral("Str In = [");
    static const QString close = QStringLiteral("][length = ");
    for (const QString& line : log_->linesSinceMark()) {
        const qsizetype from = line.indexOf(open);
        const qsizetype to = line.lastIndexOf(close);
        if (from >= 0 && to > from)
            strings.append(line.mid(from + open.size(), to - from - open.size()));
    }
    return strings;
}

} // namespace fq::test
