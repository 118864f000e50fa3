// "OK" on the setup window with settings that do not work: the setup window stays, and one
// message says which server failed, in the words of Test Connection, with the driver's words as
// details. Against the local MariaDB and SQL Server test double.
#include "app/Form1.h"
#include "settings/SettingsStore.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"
#include "ui/qt/PopupButton.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using fq::sql::ConnectionSettings;
using Change = std::function<void(ConnectionSettings&)>;

Q_DECLARE_METATYPE(Change)

namespace {

const QString kAdvice = QStringLiteral(
    "Please check server, username, password, database with your administrator. For help, "
    "write to support@fernquill.example.");

void fillBoxes(fq::app::Form1& form, const ConnectionSettings& s) {
    const QString values[] = {s.myServer, s.myUser, s.myPassword, s.myDatabase,
                              s.msServer, s.msUser, s.msPassword, s.msDatabase};
    for (int i = 0; i < 8; ++i) {
        auto* box = form.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 1));
        QVERIFY(box != nullptr);
        box->setText(values[i]);
    }
}

} // namespace

class OkButtonTest : public QObject {
    Q_OBJECT

private slots:
    void failingSettings_data();
    void failingSettings();
};

void OkButtonTest::failingSettings_data() {
    QTest::addColumn<Change>("change");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QString>("driverWords");
    QTest::addColumn<bool>("sqlServerTried");

    const QString mysql = QStringLiteral("Could not connect to the MySQL database. ") + kAdvice;
    const QString mssql =
        QStringLiteral("Could not connect to the MS SQL Server database. ") + kAdvice;
    QTest::newRow("MySQL password wrong")
        << Change([](ConnectionSettings& s) { s.myPassword += "-wrong"; }) << mysql
        << "Access denied" << false;
    QTest::newRow("both wrong: MySQL is named, SQL Server not tried")
        << Change([](ConnectionSettings& s) {
               s.myUser = "fq_nobody";
               s.msPassword += "-wrong";
           })
        << mysql << "Access denied" << false;
    QTest::newRow("SQL Server password wrong")
        << Change([](ConnectionSettings& s) { s.msPassword += "-wrong"; }) << mssql
        << "Login failed" << true;
    QTest::newRow("SQL Server unreachable") << Change([](ConnectionSettings& s) {
        s.msServer = QStringLiteral("%1,%2")
                         .arg(s.msServer.section(u',', 0, 0))
                         .arg(fq::test::unusedLoopbackPort());
    }) << mssql << "" << false;
}

void OkButtonTest::failingSettings() {
    QFETCH(Change, change);
    QFETCH(QString, prompt);
    QFETCH(QString, driverWords);
    QFETCH(bool, sqlServerTried);

    ConnectionSettings s = fq::test::localServers();
    // A SQL Server login of this row alone, so that the log tells whether it was tried.
    const QString msUser = s.msUser;
    change(s);
    QTemporaryDir dir;
    fq::settings::SettingsStore store(dir.path());
    fq::test::FakeDialogs dialogs;
    fq::app::Form1 form(store, dialogs, dir.path());
    fillBoxes(form, s);
    form.show();
    fq::test::ServerLog mssqlLog(fq::Server::MSSQL);

    auto* ok = form.findChild<fq::ui::qt::PopupButton*>(QStringLiteral("Check2"));
    QVERIFY(ok != nullptr);
    QTest::mouseClick(ok, Qt::LeftButton);

    QCOMPARE(dialogs.shown.size(), 1);
    const auto& box = dialogs.shown[0];
    QCOMPARE(box.prompt, prompt);
    QCOMPARE(box.style, fq::ui::kOkOnly);
    QVERIFY(box.title.isEmpty()); // the application's title
    QVERIFY2(!box.detail.isEmpty(), "the driver's words as details");
    QVERIFY2(box.detail.contains(driverWords), qPrintable(box.detail));
    QVERIFY2(box.detail.contains(QStringLiteral("SQLSTATE")), qPrintable(box.detail));
    // The window stays as it was: no table manager, no pointer change.
    QVERIFY(form.isVisible());
    QVERIFY(form.tableManager() == nullptr);
    QCOMPARE(ok->Value(), 0);
    QCOMPARE(form.pointer().MousePointer(), 0);
    // The SQL Server probe runs only after MySQL's succeeded.
    QCOMPARE(!mssqlLog.sessionsOf(msUser).isEmpty(), sqlServerTried);
}

QTEST_MAIN(OkButtonTest)
#include "tst_okbutton.moc"
