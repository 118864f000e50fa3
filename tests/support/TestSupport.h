#pragma once

#include "sql/ConnectionSettings.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <optional>

namespace fq::test {

// The local servers started by scripts/servers, read from the file it writes
// ($FERNQUILL_LOCAL_SERVERS, shell syntax: MyServer='127.0.0.1' ...; of several separated by
// ':', the first that is there). Aborts the test run with a clear message when the file is
// missing: tests that need servers never pass without them. The process then holds those servers
// until it ends: another test process reading the same file waits for it.
sql::ConnectionSettings localServers();
// The eight settings keys and the fields they fill.
using sql::kSettingsKeys;
// Any other variable of that file (MYSQL_GENERAL_LOG, MSSQL_STATEMENT_LOG, ...).
QString localServerValue(const QString& name);

// A port on a loopback address where nothing listens.
int unusedLoopbackPort(const QString& address = QStringLiteral("127.0.0.1"));

// A table name unique to this test run: prefix + process id + counter.
QString uniqueName(const QString& prefix);

// A text field of the SQL Server test double's log as the server received it: the log writes \\,
// \n, \r and \t for the characters that would break its lines.
QString unescapeLogText(const QString& field);

// A pointer that remembers every value it was set to.
class FakePointer final : public ui::Pointer {
public:
    QList<int> history;
    int MousePointer() const override { return history.isEmpty() ? 0 : history.last(); }
    void SetMousePointer(int value) override { history.append(value); }
};

// Message and input boxes that answer from a queue and record what was asked. A message that
// begins with `failAt` is not shown: the box throws instead, as a fault of the program's own
// would.
class FakeDialogs final : public ui::Dialogs {
public:
    struct Box {
        QString prompt;
        int style = 0;
        QString title;
        QString detail;
        bool input = false;
        QString defaultText;
        std::optional<ui::Failure> failure; // a command's failure message: its kind
    };

    QQueue<int> answers;    // for MsgBox; an empty queue answers kAnswerOk
    QQueue<QString> inputs; // for InputBox; an empty queue answers "" (cancel)
    QList<Box> shown;
    QString failAt;

    int MsgBox(const QString& prompt, int style, const QString& title,
               const QString& detail) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    void showFailure(ui::Failure kind, const QString& text, const QString& detail) override;
};

} // namespace fq::test
