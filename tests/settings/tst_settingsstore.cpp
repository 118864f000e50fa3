// The settings store in a temporary folder: values come back exactly as written, empty values
// stay present keys, and the file that holds the passwords is its owner's only.

#include "settings/SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using fq::settings::SettingsStore;

namespace {

const QStringList kKeys = {"MyServer", "MyUser", "MyPassword", "MyDatabase",
                           "MSServer", "MSUser", "MSPassword", "MSDatabase"};

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void allEightKeysKeptApart();
    void absentKeyReadsEmpty();
    void emptyValueIsAPresentKey();
    void fileIsOwnersOnly();
    void widerFileIsNarrowed();
    void writeFailureIsReported();
    void layoutOfTheFile();
};

void TestSettingsStore::roundTrip_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("plain") << "127.0.0.1";
    QTest::newRow("empty") << "";
    QTest::newRow("leading and trailing blanks") << "  pass word  ";
    QTest::newRow("only blanks") << "   ";
    QTest::newRow("equals and semicolon") << "a=b;c=d;";
    QTest::newRow("comma") << "a,b, c";
    QTest::newRow("quotes") << "\"quoted\" and 'single'";
    QTest::newRow("backslash") << "host\\SQLEXPRESS";
    QTest::newRow("hash and brackets") << "#[Fernquill]; not a comment";
    QTest::newRow("leading at sign") << "@Variant(not really)";
    QTest::newRow("non-ASCII") << "Jürgen пароль 漢字 😀";
    QTest::newRow("line break and tab") << "one\ntwo\tthree";
    QTest::newRow("looks like a number") << "0012.50";
    QTest::newRow("looks like a boolean") << "true";
    QTest::newRow("percent escapes") << "%41%u0041";
}

void TestSettingsStore::roundTrip() {
    QFETCH(QString, value);
    QTemporaryDir dir;
    QVERIFY(SettingsStore(dir.path()).Write("MyPassword", value));
    // A new store, as the next start of the program would have.
    const QString read = SettingsStore(dir.path()).Read("MyPassword");
    QCOMPARE(read, value);
    QCOMPARE(read.isNull(), false);
}

void TestSettingsStore::allEightKeysKeptApart() {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    for (const QString& key : kKeys)
        QVERIFY(store.Write(key, " value of " + key + " "));
    store.Write("MyUser", "changed");
    SettingsStore next(dir.path());
    for (const QString& key : kKeys)
        QCOMPARE(next.Read(key), key == "MyUser" ? QString("changed") : " value of " + key + " ");
}

void TestSettingsStore::absentKeyReadsEmpty() {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QCOMPARE(store.Read("MSServer"), QString());
    QVERIFY(!QFileInfo::exists(store.location())); // reading creates nothing
    store.Write("MyServer", "x");
    QCOMPARE(store.Read("MSServer"), QString());
}

void TestSettingsStore::emptyValueIsAPresentKey() {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.Write("MyDatabase", "fernquill"));
    QVERIFY(store.Write("MyDatabase", ""));
    QCOMPARE(SettingsStore(dir.path()).Read("MyDatabase"), QString(""));
    QSettings raw(store.location(), QSettings::IniFormat);
    QVERIFY(raw.contains("Fernquill/MyDatabase"));
    QCOMPARE(raw.value("Fernquill/MyDatabase").toString(), QString(""));
}

void TestSettingsStore::fileIsOwnersOnly() {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.Write("MyPassword", "secret"));
    QCOMPARE(modeOf(store.location()), mode_t(0600));
    QCOMPARE(modeOf(QFileInfo(store.location()).absolutePath()), mode_t(0700));
    // Rewriting the file keeps it private.
    QVERIFY(store.Write("MSPassword", "secret too"));
    QCOMPARE(modeOf(store.location()), mode_t(0600));
}

void TestSettingsStore::widerFileIsNarrowed() {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.Write("MyServer", "h"));
    QVERIFY(::chmod(QFile::encodeName(store.location()).constData(), 0644) == 0);
    QVERIFY(store.Write("MyPassword", "secret"));
    QCOMPARE(modeOf(store.location()), mode_t(0600));
    QCOMPARE(store.Read("MyServer"), QString("h"));
}

void TestSettingsStore::writeFailureIsReported() {
    QTemporaryDir dir;
    // A file where the store's folder should be: nothing can be written.
    QFile blocker(dir.path() + "/Marrowind");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore store(dir.path());
    QVERIFY(!store.Write("MyServer", "h"));
}

void TestSettingsStore::layoutOfTheFile() {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QVERIFY(store.Write("MSServer", "db1"));
    QCOMPARE(store.location(), dir.path() + "/Marrowind/Fernquill.ini");
    QFile f(store.location());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QVERIFY2(text.contains("[Fernquill]") && text.contains("MSServer=db1"), qPrintable(text));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
