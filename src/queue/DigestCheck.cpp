#include "queue/DigestCheck.h"

#include "ftp/FtpClient.h"
#include "session/RemoteFileSystem.h"

#include <QFileInfo>

DigestCheck::DigestCheck(RemoteFileSystem& client, Log log, bool enabled)
    : client_(client.ftp()), log_(std::move(log)), enabled_(enabled && client_)
{
    if (client_)
        remote_.emplace(*client_);
}

void DigestCheck::prepare()
{
    if (!enabled_)
        return;
    algorithm_ = remote_->prepare();
    client_->setTransferDigest(algorithm_);
}

// A server that cannot answer leaves the file to its size check; it is reported once per
// connection.
DigestCheck::Result DigestCheck::check(const QString& wireName, const QString& localFile,
                                       const QString& shownName)
{
    if (!algorithm_)
        return Result::Unchecked;
    const QString algorithm = StreamHash::name(*algorithm_);
    const RemoteHash::Answer answer = remote_->query(wireName);
    if (answer.status == RemoteHash::Status::Failed && answer.reportable)
        log_(shownName + QStringLiteral("的") + algorithm + QStringLiteral("校验无结果:") +
             answer.failure + QStringLiteral("\r\n"));
    if (answer.status != RemoteHash::Status::Digest)
        return Result::Unchecked;
    const QString local = localDigest(localFile);
    if (local.isEmpty())
        return Result::Unchecked;
    if (local == answer.digest) {
        log_(shownName + QStringLiteral("已校验 ") + algorithm + QStringLiteral("\r\n"));
        return Result::Equal;
    }
    log_(shownName + QStringLiteral("校验不符 ") + algorithm + QStringLiteral(" 本地:") + local +
         QStringLiteral(" 服务器:") + answer.digest + QStringLiteral("\r\n"));
    return Result::Different;
}

// The engine's digest covers the bytes it moved and the part that was there before; without
// one (an engine that moved nothing) the file is read.
QString DigestCheck::localDigest(const QString& localFile) const
{
    const QString computed = client_->transferDigest();
    if (!computed.isEmpty())
        return computed;
    StreamHash hash(*algorithm_);
    return hash.addFile(localFile, QFileInfo(localFile).size()) ? hash.hex() : QString();
}
