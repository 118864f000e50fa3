#pragma once

#include <QString>

#include <functional>

namespace fq::db {

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

// Reads the settings at the moment a connection string is built (the setup window's boxes in
// the program, fixed values in tests).
using SettingsSource = std::function<ConnectionSettings()>;

} // namespace fq::db
