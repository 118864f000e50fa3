#pragma once

#include "sql/ConnectionSettings.h"
#include "support/Servers.h"

#include <QString>
#include <QStringList>

namespace fq::settings {
class SettingsStore;
}

namespace fq::test {

// Runs one statement on a server through the program's own connection; false and a warning
// with the driver's words when it fails.
bool mysqlExec(const sql::ConnectionSettings& s, const QString& statement);
bool mssqlExec(const sql::ConnectionSettings& s, const QString& statement);

// Puts all eight settings into a store, as a previous run would have left them.
void storeSettings(settings::SettingsStore& store, const sql::ConnectionSettings& s);

// The test double's statement log: lines "<conn>\t<login>\tEVENT\t..." split into fields.
struct DoubleEvent {
    QString connection;
    QString login;
    QString event;
    QString text;
};
QList<DoubleEvent> doubleEvents(const QStringList& lines);

} // namespace fq::test
