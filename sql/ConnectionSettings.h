#pragma once

#include <QString>

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

} // namespace fq::sql
