#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// One entry of a remote folder as an SFTP server lists it. The name keeps the server's bytes;
// the display name reads them as UTF-8.
struct SftpEntry {
    QByteArray rawName;
    QString name;
    // A link to a folder is a folder; isLink tells it is a link at all.
    bool isFolder = false;
    bool isLink = false;
    // For a link, the size of the file it leads to.
    quint64 size = 0;
    // In UTC; invalid when the server did not say.
    QDateTime modified;
    // Nine characters as ls prints them, "rwxr-xr-x"; empty when the server did not say.
    QString permissions;
    // Names where the server gives them, else the numbers.
    QByteArray owner;
    QByteArray group;
};
