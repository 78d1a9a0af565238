#include "queue/TransferOneFile.h"

#include "ftp/FtpClient.h"
#include "view/RemoteNameEncodings.h"
#include "view/RemoteOperations.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <utility>

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
    const QString remote = remotePath.trimmed();
    const QString local = localPath.trimmed();
    const QString remoteFile = download ? remote : temporaryName(remote);
    const QString localFile = download ? temporaryName(local) : local;
    client_.setNameEncoding(remote_.encodings().ofEntry(remote));
    if (!download && std::exchange(renameInDoubt_, QString()) == remote) {
        const LeftOnServer left = leftByLostRename(remote, local);
        if (left == LeftOnServer::FinalName)
            return true;
        if (left == LeftOnServer::WholePart)
            return giveFinalName(download, remote, local);
    }
    const bool ended = client_.TransferFile(remoteFile, localFile, false, download, configPath_);
    if (stopRequested_())
        return false;
    if (!ended || !complete(download, localFile)) {
        log_(QStringLiteral("err.....\r\n"));
        dropOverlongPart(download, remoteFile, localFile);
        return false;
    }
    return giveFinalName(download, remote, local);
}

// An earlier attempt sent RNFR/RNTO and lost the connection before the answer: the server
// holds either the whole temporary file still, or the file under its final name already.
TransferOneFile::LeftOnServer TransferOneFile::leftByLostRename(const QString& remote,
                                                                const QString& local)
{
    const QString length = QString::number(QFileInfo(local).size());
    const QString part = client_.QuerySize(temporaryName(remote));
    if (part == length)
        return LeftOnServer::WholePart;
    // QuerySize answers "0" for a file the server does not have.
    if (part == QLatin1String("0") && client_.QuerySize(remote) == length)
        return LeftOnServer::FinalName;
    return LeftOnServer::Unknown;
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
    const quint64 part = client_.QuerySize(remoteFile).toULongLong(&known);
    if (known && part > static_cast<quint64>(QFileInfo(localFile).size()))
        client_.Command(QStringLiteral("DELE ") + remoteFile);
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

// The file is complete only under its final name. A refused rename leaves the whole part under
// its temporary name and ends the file with the reason; one whose answer was lost on the
// network is looked at again by the retry on a new connection.
bool TransferOneFile::giveFinalName(bool download, const QString& remotePath,
                                    const QString& localPath)
{
    const QString finalName = download ? localPath : remotePath;
    const QString part = temporaryName(finalName);
    QString reason;
    if (download) {
        // Replaces a file of that name at once, as the overwrite answered at the start asked;
        // a folder of that name stays.
        if (std::rename(QFile::encodeName(part).constData(),
                        QFile::encodeName(finalName).constData()) == 0)
            return true;
        reason = qt_error_string(errno);
    } else {
        if (remote_.RenameRemote(part, finalName,
                                 targetsChecked_ ? RemoteOperations::RenameOrigin::CheckedTarget
                                                 : RemoteOperations::RenameOrigin::InPlaceOrMove))
            return true;
        if (!client_.connectionFault().isEmpty())
            renameInDoubt_ = finalName;
        reason = client_.replyLine;
    }
    log_(part + QStringLiteral("改名为") + finalName + QStringLiteral("失败:") + reason +
         QStringLiteral("\r\n"));
    log_(QStringLiteral("err.....\r\n"));
    return false;
}
