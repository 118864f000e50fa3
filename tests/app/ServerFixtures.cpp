#include "ServerFixtures.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "settings/SettingsStore.h"
#include "sql/ConnectionStrings.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QtGlobal>

namespace fq::test {

namespace {

bool exec(const QString& connectionString, const QString& statement) {
    try {
        odbc::Connection c;
        c.Open(connectionString);
        c.Execute(statement);
        return true;
    } catch (const odbc::DbError& e) {
        qWarning("%s: %s", qPrintable(statement), qPrintable(e.driverText()));
        return false;
    }
}

} // namespace

bool mysqlExec(const sql::ConnectionSettings& s, const QString& statement) {
    return exec(sql::MySQLConnectionStringCommandOrder(s), statement);
}

bool mssqlExec(const sql::ConnectionSettings& s, const QString& statement) {
    return exec(sql::MSSQLConnectionString(s), statement);
}

void storeSettings(settings::SettingsStore& store, const sql::ConnectionSettings& s) {
    store.Write(QStringLiteral("MyServer"), s.myServer);
    store.Write(QStringLiteral("MyUser"), s.myUser);
    store.Write(QStringLiteral("MyPassword"), s.myPassword);
    store.Write(QStringLiteral("MyDatabase"), s.myDatabase);
    store.Write(QStringLiteral("MSServer"), s.msServer);
    store.Write(QStringLiteral("MSUser"), s.msUser);
    store.Write(QStringLiteral("MSPassword"), s.msPassword);
    store.Write(QStringLiteral("MSDatabase"), s.msDatabase);
}

QList<DoubleEvent> doubleEvents(const QStringList& lines) {
    QList<DoubleEvent> events;
    for (const QString& line : lines) {
        const QStringList f = line.split(u'\t');
        if (f.size() < 3)
            continue;
        events.append({f[0], f[1], f[2], f.mid(3).join(u'\t')});
    }
    return events;
}

} // namespace fq::test
