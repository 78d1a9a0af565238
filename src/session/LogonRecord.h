#pragma once

#include "ftp/LogonInfo.h"

#include <QString>

// The logon parameters of one session, lent to transfer workers as a copy. The host is the
// server as the user gave it ("ftpes://example.com", "example.com:2121"): the tab, the log and
// the queue rows show it, and the name to connect to, the TLS mode and a port written in it are
// read from it.
struct LogonRecord {
    QString host;
    QString user;
    int port = 21;
    QString password;

    // What the engine logs on with, the TLS mode and protocol included. An "sftp://" server
    // whose port box holds FTP's default is reached on the SSH port.
    LogonInfo logonInfo() const;
};
