#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

// How kevra-archived runs: where it listens, whom it serves and which folder it may touch.
struct ArchivedSettings {
    QString address = QStringLiteral("0.0.0.0");
    quint16 port = 28885;
    // The FTP server's root: every path of a request is taken inside it.
    QString root;
    QStringList users;
    // The password every KEVRA client sends.
    QString password = QStringLiteral("740316");
    // More clients than this at once are told the service is busy.
    int maxClients = 8;
    // A request must be complete within this time of the connection, and no longer than this.
    std::chrono::milliseconds requestTimeout{10000};
    int maxRequestBytes = 64 * 1024;
    // The request is taken as complete after this long with nothing more arriving.
    std::chrono::milliseconds quietGap{150};
};
