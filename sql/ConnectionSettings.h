#pragma once

#include <QString>

#include <utility>

namespace fq::sql {

// The eight connection settings, as they stand in the setup window's boxes right now.
struct ConnectionSettings {
    QString myServer;   // Text1, "MyServer"
    QString myUser;     // Text2, "MyUser"
    QString myPassword; // Text3, "MyPassword"
    QString myDatabase; // Text4, "MyDatabase"
    QString msServer;   // Text5, "MSServer"
    QString msUser;     // Text6, "MSUser"
    QString msPassword; // Text7, "MSPassword"
    QString msDatabase; // Text8, "MSDatabase"
};

// The settings store's key of each setting, in the order the store is read at start.
inline constexpr std::pair<const char*, QString ConnectionSettings::*> kSettingsKeys[8] = {
    {"MyServer", &ConnectionSettings::myServer},
    {"MyUser", &ConnectionSettings::myUser},
    {"MyPassword", &ConnectionSettings::myPassword},
    {"MyDatabase", &ConnectionSettings::myDatabase},
    {"MSServer", &ConnectionSettings::msServer},
    {"MSUser", &ConnectionSettings::msUser},
    {"MSPassword", &ConnectionSettings::msPassword},
    {"MSDatabase", &ConnectionSettings::msDatabase}};

} // namespace fq::sql
