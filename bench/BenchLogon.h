#pragma once

#include "ftp/FtpClient.h"

#include <QStringList>

// The benchmark programs' logon: anonymous, to the host and port given as their second and third
// arguments.
inline bool logOnFromArguments(FtpClient& client, const QStringList& arguments,
                               TlsMode tlsMode = TlsMode::Plain)
{
    LogonInfo logon;
    logon.host = arguments.at(2);
    logon.port = arguments.at(3).toInt();
    logon.user = QStringLiteral("anonymous");
    logon.tlsMode = tlsMode;
    return client.Logon(logon);
}
