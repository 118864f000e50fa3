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

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

private slots:
    // Each value as the next start of the program reads it: what the file format would take for
    // something else (a list, a number, a comment, a variant, an escape) stays text.
    void roundTrip_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks, separators, quotes")
            << "  a=b;c=d;, \"quoted\" and 'single' host\\SQLEXPRESS  ";
        QTest::newRow("comment, section, escapes, number")
            << "#[Fernquill]; not a comment %41%u0041 0012.50";
        QTest::newRow("leading at sign") << "@Variant(not really)";
        QTest::newRow("non-ASCII, line break and tab") << "Jürgen пароль 漢字 😀\ntwo\tthree";
    }

    void roundTrip() {
        QFETCH(QString, value);
        QTemporaryDir dir;
        QVERIFY(SettingsStore(dir.path()).Write("MyPassword", value));
        const QString read = SettingsStore(dir.path()).Read("MyPassword");
        QCOMPARE(read, value);
        QVERIFY(!read.isNull());
    }

    // Section Fernquill of Marrowind/Fernquill.ini (each key's own value is the windows' test):
    // reading creates nothing, an absent key reads as "", an emptied key stays present.
    void keys() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        QCOMPARE(store.Read("MSServer"), QString());
        QVERIFY(!QFileInfo::exists(store.location()));
        QVERIFY(store.Write("MSServer", " host ") && store.Write("MyUser", ""));
        QCOMPARE(store.location(), dir.path() + "/Marrowind/Fernquill.ini");
        QCOMPARE(SettingsStore(dir.path()).Read("MSDatabase"), QString());
        QSettings raw(store.location(), QSettings::IniFormat);
        QVERIFY(raw.contains("Fernquill/MyUser"));
        QCOMPARE(raw.value("Fernquill/MSServer").toString(), QString(" host "));
    }

    // The file is its owner's only, also when it was wider before; a store that cannot be
    // written says so.
    void fileIsOwnersOnly() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        QVERIFY(store.Write("MyPassword", "secret"));
        QCOMPARE(modeOf(store.location()), mode_t(0600));
        QCOMPARE(modeOf(QFileInfo(store.location()).absolutePath()), mode_t(0700));
        QVERIFY(::chmod(QFile::encodeName(store.location()).constData(), 0644) == 0);
        QVERIFY(store.Write("MSPassword", "secret too"));
        QCOMPARE(modeOf(store.location()), mode_t(0600));
        QCOMPARE(store.Read("MyPassword"), QString("secret"));

        QTemporaryDir blocked;
        QFile blocker(blocked.path() + "/Marrowind"); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!SettingsStore(blocked.path()).Write("MyServer", "h"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
