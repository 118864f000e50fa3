#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace fq::settings {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

#ifdef Q_OS_WIN
// The per-user settings key where these values have always been kept, so that the values a
// user already has are found.
const QString kRegistryRoot =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\");
#endif

QString iniPath(const QString& folder) {
    return folder + u'/' + QLatin1String(SettingsStore::kApplication) + u'/' +
           QLatin1String(SettingsStore::kSection) + QLatin1String(".ini");
}

// The INI file, created empty and readable by its owner only before anything is written to
// it: the passwords are kept as typed. A folder this creates is its owner's only as well.
bool prepareIniFile(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder))
            return false;
        QFile::setPermissions(folder, kOwnerOnlyFolder);
    }
    if (!info.exists()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly) &&
            !QFileInfo::exists(path))
            return false;
    }
    // A file left with wider permissions (by hand, or by an older copy) is narrowed.
    if (QFile::permissions(path) != kOwnerOnly)
        return QFile::setPermissions(path, kOwnerOnly);
    return true;
}

} // namespace

SettingsStore::SettingsStore()
    : folder_(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)),
      userStore_(true) {}

SettingsStore::SettingsStore(const QString& folder) : folder_(folder) {}

SettingsStore SettingsStore::inFile(const QString& path) {
    SettingsStore store(QString{});
    store.file_ = path;
    return store;
}

QString SettingsStore::location() const {
#ifdef Q_OS_WIN
    if (userStore_)
        return kRegistryRoot + QLatin1String(kApplication) + u'\\' + QLatin1String(kSection);
#endif
    return file_.isEmpty() ? iniPath(folder_) : file_;
}

namespace {

std::unique_ptr<QSettings> open(const QString& location, bool registry) {
    std::unique_ptr<QSettings> s;
    if (registry) {
        s = std::make_unique<QSettings>(location, QSettings::NativeFormat);
    } else {
        s = std::make_unique<QSettings>(location, QSettings::IniFormat);
        s->beginGroup(QLatin1String(SettingsStore::kSection));
    }
    return s;
}

bool isRegistry(const QString& location) {
#ifdef Q_OS_WIN
    return location.startsWith(QLatin1String("HKEY_"));
#else
    Q_UNUSED(location);
    return false;
#endif
}

} // namespace

QString SettingsStore::Read(const QString& key) const {
    const QString where = location();
    const bool registry = isRegistry(where);
    if (!registry && !QFileInfo::exists(where))
        return {};
    const auto s = open(where, registry);
    const QVariant v = s->value(key);
    // A list is what QSettings makes of an unquoted value with commas written by hand.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(u',');
    return v.toString();
}

bool SettingsStore::Write(const QString& key, const QString& value) {
    const QString where = location();
    const bool registry = isRegistry(where);
    if (!registry && !prepareIniFile(where))
        return false;
    const auto s = open(where, registry);
    s->setValue(key, value);
    s->sync();
    return s->status() == QSettings::NoError;
}

} // namespace fq::settings
