#pragma once

#include <QString>

namespace fq::settings {

// Per-user store of the eight connection settings, addressed as (application, section, key).
// On Windows it is the registry under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>; elsewhere an
// INI file in the user's configuration folder, readable by its owner only. Every write is on
// disk when Write returns.
class SettingsStore {
public:
    static constexpr const char* kApplication = "Marrowind";
    static constexpr const char* kSection = "Fernquill";

    // The user's own store.
    SettingsStore();
    // A store kept under the given folder instead (tests).
    explicit SettingsStore(const QString& folder);
    // The store that is the given INI file itself, its values in the section Fernquill (a file
    // given on the command line).
    static SettingsStore inFile(const QString& path);

    // An absent key reads as "".
    QString Read(const QString& key) const;
    // True when the value is stored and on disk; false when the store could not be written.
    bool Write(const QString& key, const QString& value);

    // Where the values live (file path, or registry path on Windows).
    QString location() const;

private:
    QString folder_;
    QString file_;           // the INI file itself, when it was named
    bool userStore_ = false; // the user's own store: the registry on Windows
};

} // namespace fq::settings
