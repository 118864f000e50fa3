#pragma once

#include "support/TestSupport.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace fq::test {

// The ODBC driver manager's own trace of this process, read for the connection strings that
// reached SQLDriverConnectW: the witness of which string a command built. Enable it before the
// process's first connection (the driver manager reads its settings when the environment is
// allocated).
class OdbcTrace {
public:
    // Points ODBCSYSINI at a private copy of the driver registry with tracing switched on.
    // Returns false, with the reason, when the registry can't be copied.
    bool enable(QString* error);

    void mark();
    // Every connection string handed to the driver manager since the mark, in order.
    QStringList connectionStringsSinceMark() const;

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<LogWatcher> log_;
};

} // namespace fq::test
