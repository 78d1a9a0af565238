#pragma once

#include "ftp/FtpClient.h"

#include <QFile>
#include <QString>

#include <optional>

// Moves one file the way the queue does, for the folder tests and the benchmark: the data goes
// to the target name + ".td" and the file takes its final name only after a complete transfer.
class FolderTransferMover {
public:
    explicit FolderTransferMover(FtpClient& client) : client_(client) {}

    bool operator()(bool download, const QString& remote, const QString& local,
                    std::optional<quint64> = std::nullopt)
    {
        const QString suffix = QStringLiteral(".td");
        const QString remoteData = download ? remote : remote + suffix;
        const QString localData = download ? local + suffix : local;
        // The engine reads the transfer's closing reply itself: nothing is left pending.
        if (!client_.TransferFile(remoteData, localData, false, download, QString()))
            return false;
        if (download)
            return QFile::rename(localData, local);
        return client_.Command(QStringLiteral("RNFR ") + remoteData) &&
               client_.Command(QStringLiteral("RNTO ") + remote);
    }

private:
    FtpClient& client_;
};
