#pragma once

#include <QString>

// Where the update settings live: the mode in ftp.ini ("UPdata"/"mode"), and the update
// server, chosen when the program is built and replaceable in ftp.ini ("UPdata"/"server").
class UpdateSettings {
public:
    enum Mode { Automatic = 1, Notify = 2, Never = 3 };

    static int readMode(const QString& configPath, int defaultValue);
    static bool writeMode(const QString& configPath, int mode);

    // The build's own server address; empty when the build names none.
    static QString builtInServer();
    // ftp.ini's address when the key is there (an empty value switches updates off), else
    // builtIn.
    static QString server(const QString& configPath, const QString& builtIn = builtInServer());
    // The version page on that server; empty when there is no server.
    static QString versionPageAddress(const QString& server);
};
