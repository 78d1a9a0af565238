#include "queue/TransferOneFile.h"

#include "queue/PartRecord.h"
#include "session/RemoteFileSystem.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace {
// "name.td", then "name.1.td" to "name.9.td".
constexpr int partCandidates = 10;

QString partCandidate(const QString& finalPath, int number)
{
    return number == 0 ? TransferOneFile::temporaryName(finalPath)
                       : finalPath + QStringLiteral(".%1.td").arg(number);
}
} // namespace

TransferOneFile::TransferOneFile(RemoteFileSystem& client, RemoteOperations& remote,
                                 std::function<bool()> stopRequested, Log log, QString configPath)
    : client_(client), remote_(remote), stopRequested_(std::move(stopRequested)),
      log_(std::move(log)), configPath_(std::move(configPath)),
      parts_(std::make_shared<PartRecord>()), settings_(ReadTransferSettings(configPath_)),
      digests_(client_, log_, settings_.verify), times_(client_, log_, settings_.keepTimes)
{
}

void TransferOneFile::setParts(std::shared_ptr<PartRecord> parts)
{
    if (parts)
        parts_ = std::move(parts);
}

QString TransferOneFile::temporaryName(const QString& path)
{
    return path + QStringLiteral(".td");
}

bool TransferOneFile::operator()(bool download, const QString& remotePath, const QString& localPath,
                                 std::optional<quint64> listedSize)
{
    // A blank at either end is part of the name: "notes " is another file than "notes".
    const QString& remote = remotePath;
    const QString& local = localPath;
    if (stopRequested_())
        return false;
    // For an upload the walk may know from the folder's listing that no part is there yet.
    absentPart_ =
        !download && listedSize == quint64(0) ? TransferOneFile::temporaryName(remote) : QString();
    const QString part = partFor(download, download ? local : remote);
    if (part.isEmpty())
        return false;
    // A new part on the server has nothing to continue: its size needs no asking.
    if (!download)
        listedSize = absentPart_ == part ? std::optional<quint64>(0) : std::nullopt;
    const QString remoteFile = download ? remote : part;
    const QString localFile = download ? part : local;
    if (!download && std::exchange(renameInDoubt_, QString()) == remote) {
        const LeftOnServer left = leftByLostRename(remote, local, part);
        if (left == LeftOnServer::FinalName)
            return true;
        if (left == LeftOnServer::WholePart)
            return giveFinalName(download, remote, local, part);
    }
    digestMismatch_ = false;
    digests_.prepare();
    client_.setKnownRemoteSize(listedSize);
    const bool ended = client_.TransferFile(remote_.encodings().onWire(client_, remoteFile),
                                            localFile, false, download, configPath_);
    if (stopRequested_())
        return false;
    if (!ended || !complete(download, localFile)) {
        log_(QStringLiteral("err.....\r\n"));
        dropOverlongPart(download, remoteFile, localFile);
        return false;
    }
    if (!matchesServer(download, download ? remote : local, remoteFile, localFile, part) ||
        !giveFinalName(download, remote, local, part))
        return false;
    keepTime(download, remote, local);
    return true;
}

// A resume would keep the damage: the part goes (even where it cannot be removed, it is no
// longer the entry's own), so the next attempt starts from zero.
bool TransferOneFile::matchesServer(bool download, const QString& shownName,
                                    const QString& remoteFile, const QString& localFile,
                                    const QString& part)
{
    const QString wireName = remote_.encodings().onWire(client_, remoteFile);
    if (digests_.check(wireName, localFile, shownName) != DigestCheck::Result::Different)
        return true;
    if (download)
        QFile::remove(localFile);
    else
        client_.Command(QStringLiteral("DELE ") + wireName);
    parts_->remove(part);
    digestMismatch_ = true;
    log_(QStringLiteral("err.....\r\n"));
    return false;
}

void TransferOneFile::keepTime(bool download, const QString& remotePath, const QString& localPath)
{
    const QString wireName = remote_.encodings().onWire(client_, remotePath);
    if (download)
        times_.afterDownload(wireName, localPath);
    else
        times_.afterUpload(localPath, wireName);
}

// An earlier attempt sent RNFR/RNTO and lost the connection before the answer: the server
// holds either the whole temporary file still, or the file under its final name already.
TransferOneFile::LeftOnServer
TransferOneFile::leftByLostRename(const QString& remote, const QString& local, const QString& part)
{
    const QString length = QString::number(QFileInfo(local).size());
    const QString partSize = client_.QuerySize(remote_.encodings().onWire(client_, part));
    if (partSize == length)
        return LeftOnServer::WholePart;
    // QuerySize answers "0" for a file the server does not have.
    if (partSize == QLatin1String("0") &&
        client_.QuerySize(remote_.encodings().onWire(client_, remote)) == length)
        return LeftOnServer::FinalName;
    return LeftOnServer::Unknown;
}

// A part this entry made is continued; otherwise the first name that nothing holds yet.
QString TransferOneFile::partFor(bool download, const QString& finalPath)
{
    for (int number = 0; number < partCandidates; ++number) {
        if (parts_->contains(partCandidate(finalPath, number)))
            return partCandidate(finalPath, number);
    }
    for (int number = 0; number < partCandidates; ++number) {
        const QString candidate = partCandidate(finalPath, number);
        if (!partNameTaken(download, candidate)) {
            parts_->add(candidate);
            return candidate;
        }
    }
    log_(finalPath + QStringLiteral("的临时文件名都已被占用\r\n"));
    log_(QStringLiteral("err.....\r\n"));
    return QString();
}

// A server that cannot say (no SIZE) is asked for a listing.
bool TransferOneFile::partNameTaken(bool download, const QString& path)
{
    if (download) {
        const QFileInfo local(path);
        return local.exists() || local.isSymLink();
    }
    if (path == absentPart_)
        return false;
    client_.QuerySize(remote_.encodings().onWire(client_, path));
    if (client_.replyLine().startsWith(QLatin1String("213")))
        return true;
    if (client_.replyLine().startsWith(QLatin1String("550"))) {
        absentPart_ = path;
        return false;
    }
    return remote_.ProbeRemote(path) > 0;
}

// The engine's true means only that its loop ended; a server that closed the connection early
// or refused the transfer at its end leaves a part, which must keep its temporary name.
bool TransferOneFile::complete(bool download, const QString& localFile)
{
    if (client_.abortRequested() || !closingReplyPositive())
        return false;
    if (download) {
        const quint64 expected = client_.totalBytes();
        return expected == 0 || static_cast<quint64>(QFileInfo(localFile).size()) == expected;
    }
    // The engine has compared the server's own size with the local file where the server
    // answers SIZE.
    return client_.bytesDone() == static_cast<quint64>(QFileInfo(localFile).size());
}

// A part longer than the whole file is not a part of it (the file changed, or an upload resumed
// while the server still stored the interrupted one): it could never be resumed, so it goes and
// the next start begins afresh from the intact source.
void TransferOneFile::dropOverlongPart(bool download, const QString& remoteFile,
                                       const QString& localFile)
{
    if (download) {
        const quint64 whole = client_.totalBytes();
        if (whole > 0 && static_cast<quint64>(QFileInfo(localFile).size()) > whole &&
            QFile::remove(localFile))
            parts_->remove(localFile);
        return;
    }
    bool known = false;
    const RemoteNameEncodings& encodings = remote_.encodings();
    const quint64 part =
        client_.QuerySize(encodings.onWire(client_, remoteFile)).toULongLong(&known);
    if (known && part > static_cast<quint64>(QFileInfo(localFile).size()) &&
        client_.Command(QStringLiteral("DELE ") + encodings.onWire(client_, remoteFile)))
        parts_->remove(remoteFile);
}

// An engine that has not read the server's closing reply itself ends on the reply to REST (350)
// or on the preliminary reply of the transfer command (150); the closing reply follows them.
bool TransferOneFile::closingReplyPositive()
{
    // REST's answer, the preliminary reply and the closing one: no more than that is pending.
    for (int read = 0; read < 3 && (client_.replyClass() == 1 || client_.replyClass() == 3);
         ++read) {
        if (!client_.ReadReply())
            return false;
    }
    return client_.replyClass() == 2;
}

// The file is complete only under its final name. A refused rename leaves the whole part under
// its temporary name, still the entry's own, and ends the file with the reason; one whose
// answer was lost on the network is looked at again by the retry on a new connection.
bool TransferOneFile::giveFinalName(bool download, const QString& remotePath,
                                    const QString& localPath, const QString& part)
{
    const QString finalName = download ? localPath : remotePath;
    if (download ? nameLocal(part, localPath) : nameRemote(part, remotePath)) {
        parts_->remove(part);
        return true;
    }
    const QString reason = download ? qt_error_string(errno) : client_.replyLine();
    if (!download && !client_.connectionFault().isEmpty())
        renameInDoubt_ = finalName;
    log_(part + QStringLiteral("改名为") + finalName + QStringLiteral("失败:") + reason +
         QStringLiteral("\r\n"));
    log_(QStringLiteral("err.....\r\n"));
    return false;
}
// rename(2) puts the new file in the old one's place in one step, so at no moment is there
// neither of them.
bool TransferOneFile::nameLocal(const QString& part, const QString& finalPath)
{
    if (!replaceAgreed_)
        return QFile::rename(part, finalPath);
    return std::rename(QFile::encodeName(part).constData(),
                       QFile::encodeName(finalPath).constData()) == 0;
}

// RNTO replaces an existing file on most servers; one that refuses gets the old file removed
// only now that the new one is complete, and is asked once more.
bool TransferOneFile::nameRemote(const QString& part, const QString& finalPath)
{
    const bool checked = targetsChecked_ || replaceAgreed_;
    remote_.RenameRemote(part, finalPath,
                         checked ? RemoteOperations::RenameOrigin::CheckedTarget
                                 : RemoteOperations::RenameOrigin::InPlaceOrMove);
    const auto renamed = [this] { return client_.replyLine().startsWith(QLatin1String("250")); };
    if (renamed() || !replaceAgreed_)
        return renamed();
    remote_.DeleteRemoteFile(finalPath);
    remote_.RenameRemote(part, finalPath, RemoteOperations::RenameOrigin::CheckedTarget);
    return renamed();
}
