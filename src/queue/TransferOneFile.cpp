#include "queue/TransferOneFile.h"

#include "ftp/FtpClient.h"
#include "view/RemoteNameEncodings.h"
#include "view/RemoteOperations.h"

#include <QFile>
#include <QFileInfo>

TransferOneFile::TransferOneFile(FtpClient& client, RemoteOperations& remote,
                                 std::function<bool()> stopRequested, Log log, QString configPath)
    : client_(client), remote_(remote), stopRequested_(std::move(stopRequested)),
      log_(std::move(log)), configPath_(std::move(configPath))
{
}

QString TransferOneFile::temporaryName(const QString& path)
{
    return path + QStringLiteral(".td");
}

bool TransferOneFile::operator()(bool download, const QString& remotePath, const QString& localPath)
{
    // A blank at either end is part of the name: "notes " is another file than "notes".
    const QString& remote = remotePath;
    const QString& local = localPath;
    const QString remoteFile = download ? remote : temporaryName(remote);
    const QString localFile = download ? temporaryName(local) : local;
    const bool ended = client_.TransferFile(remote_.encodings().onWire(client_, remoteFile),
                                            localFile, false, download, configPath_);
    if (stopRequested_())
        return false;
    if (!ended || !complete(download, localFile)) {
        log_(QStringLiteral("err.....\r\n"));
        dropOverlongPart(download, remoteFile, localFile);
        return false;
    }
    giveFinalName(download, remote, local);
    return true;
}

// The engine's true means only that its loop ended; a server that closed the connection early
// or refused the transfer at its end leaves a part, which must keep its temporary name.
bool TransferOneFile::complete(bool download, const QString& localFile)
{
    if (client_.abortRequested || !closingReplyPositive())
        return false;
    if (download) {
        const quint64 expected = client_.totalBytes;
        return expected == 0 || static_cast<quint64>(QFileInfo(localFile).size()) == expected;
    }
    // The engine has compared the server's own size with the local file where the server
    // answers SIZE.
    return client_.bytesDone == static_cast<quint64>(QFileInfo(localFile).size());
}

// A part longer than the whole file is not a part of it (the file changed, or an upload resumed
// while the server still stored the interrupted one): it could never be resumed, so it goes and
// the next start begins afresh from the intact source.
void TransferOneFile::dropOverlongPart(bool download, const QString& remoteFile,
                                       const QString& localFile)
{
    if (download) {
        const quint64 whole = client_.totalBytes;
        if (whole > 0 && static_cast<quint64>(QFileInfo(localFile).size()) > whole)
            QFile::remove(localFile);
        return;
    }
    bool known = false;
    const RemoteNameEncodings& encodings = remote_.encodings();
    const quint64 part =
        client_.QuerySize(encodings.onWire(client_, remoteFile)).toULongLong(&known);
    if (known && part > static_cast<quint64>(QFileInfo(localFile).size()))
        client_.Command(QStringLiteral("DELE ") + encodings.onWire(client_, remoteFile));
}

// An engine that has not read the server's closing reply itself ends on the reply to REST (350)
// or on the preliminary reply of the transfer command (150); the closing reply follows them.
bool TransferOneFile::closingReplyPositive()
{
    // REST's answer, the preliminary reply and the closing one: no more than that is pending.
    for (int read = 0; read < 3 && (client_.replyClass == 1 || client_.replyClass == 3); ++read) {
        if (!client_.ReadReply())
            return false;
    }
    return client_.replyClass == 2;
}

// A final name that cannot be taken (it appeared meanwhile, or the user keeps the file there)
// leaves the complete file under its temporary name.
void TransferOneFile::giveFinalName(bool download, const QString& remotePath,
                                    const QString& localPath)
{
    if (download)
        QFile::rename(temporaryName(localPath), localPath);
    else
        remote_.RenameRemote(temporaryName(remotePath), remotePath,
                             targetsChecked_ ? RemoteOperations::RenameOrigin::CheckedTarget
                                             : RemoteOperations::RenameOrigin::InPlaceOrMove);
}
