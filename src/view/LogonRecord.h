#pragma once

#include <QString>

// The logon parameters of one session, lent to transfer workers as a copy.
struct LogonRecord {
    QString host;
    QString user;
    int port = 21;
    QString password;
};
