#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

// How kevra-archived runs: where it listens, whom it serves and which folder it may touch.
struct ArchivedSettings {
    // Loopback unless the administrator opens it up.
    QString address = QStringLiteral("127.0.0.1");
    quint16 port = 28885;
    // The FTP server's root: every path of a request is taken inside it.
    QString root;
    QStringList users;
    // The password every KEVRA client sends.
    QString password = QStringLiteral("740316");
    // More requests than this at work at once are told the service is busy.
    int maxClients = 8;
    // Connections held open at once from one peer address, and from everyone: beyond them a
    // new connection is told "busy" and closed, so that idle connections cannot lock others out.
    int maxPerPeer = 4;
    int maxConnections = 64;
    // A request must be complete within this time of the connection, and no longer than this.
    std::chrono::milliseconds requestTimeout{5000};
    int maxRequestBytes = 64 * 1024;
    // The request is taken as complete after this long with nothing more arriving.
    std::chrono::milliseconds quietGap{150};
    // Share of the disk's blocks and inodes an extraction or archive may never take.
    int diskMarginPercent = 5;
    // Where each log line goes (without its line end); standard error when empty.
    std::function<void(const QString& line)> log;
};
