#pragma once

#include "ftp/RemoteProtocol.h"
#include "ftp/TlsMode.h"

#include <QString>

// The arguments of FtpClient::Logon. Every caller in the program uses logon type 0; the other
// types reach servers behind the firewalls and proxies of the logon table.
struct LogonInfo {
    QString host;
    int port = 21;
    QString user;
    QString password;
    QString account;
    QString firewallHost;
    QString firewallUser;
    QString firewallPassword;
    int firewallPort = 1080;
    int logonType = 0;
    TlsMode tlsMode = TlsMode::Plain;
    RemoteProtocol protocol = RemoteProtocol::Ftp;
};
