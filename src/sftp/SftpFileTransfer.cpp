#include "sftp/SftpFileTransfer.h"

#include "ftp/SpeedLimits.h"
#include "sftp/SftpPipeline.h"

#include <QFile>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <fcntl.h>
#include <sys/socket.h>

#include <memory>

namespace {

struct AttributesFree {
    void operator()(sftp_attributes attributes) const { sftp_attributes_free(attributes); }
};
using Attributes = std::unique_ptr<sftp_attributes_struct, AttributesFree>;

QByteArray handleBytes(sftp_file file)
{
    return QByteArray(static_cast<const char*>(ssh_string_data(file->handle)),
                      qsizetype(ssh_string_len(file->handle)));
}

// A pipeline that could not collect all its replies leaves the channel in an unknown state:
// the connection is cut so that closing the handle returns at once, and nobody uses it again.
void closeFile(sftp_file file, const SftpPipeline& pipeline, bool& channelUsable)
{
    if (!pipeline.settled()) {
        channelUsable = false;
        ::shutdown(ssh_get_fd(file->sftp->session), SHUT_RDWR);
    }
    sftp_close(file);
}

} // namespace

SftpFileTransfer::SftpFileTransfer(sftp_session_struct* sftp, Counters counters,
                                   std::chrono::milliseconds timeout, SpeedLimits* limits)
    : sftp_(sftp), counters_(counters), timeout_(timeout), limits_(limits)
{
}

SftpPipeline::Settings SftpFileTransfer::settings(bool download) const
{
    SftpPipeline::Settings settings;
    settings.timeout = timeout_;
    settings.limit = limits_ ? &limits_->forDirection(download) : nullptr;
    return settings;
}

SftpFileTransfer::Outcome SftpFileTransfer::fail(const QString& text, bool network)
{
    errorText_ = text;
    networkFailure_ = network;
    return Outcome::Failed;
}

SftpFileTransfer::Outcome SftpFileTransfer::failRemote(const QString& what, const QByteArray& path)
{
    const bool lost = !ssh_is_connected(sftp_->session) || ssh_channel_is_closed(sftp_->channel);
    const QString reason =
        lost ? QStringLiteral("网络错误: %1").arg(QString::fromUtf8(ssh_get_error(sftp_->session)))
             : QStringLiteral("错误 %1").arg(sftp_get_error(sftp_));
    return fail(QStringLiteral("%1 %2 失败: %3").arg(what, QString::fromUtf8(path), reason), lost);
}

bool SftpFileTransfer::remoteSize(const QByteArray& path, quint64& size)
{
    const Attributes attributes(sftp_stat(sftp_, path.constData()));
    if (!attributes || !(attributes->flags & SSH_FILEXFER_ATTR_SIZE))
        return false;
    size = attributes->size;
    return true;
}

SftpFileTransfer::Outcome SftpFileTransfer::download(const QByteArray& remote,
                                                     const QString& localPath)
{
    sftp_file file = sftp_open(sftp_, remote.constData(), O_RDONLY, 0);
    if (!file)
        return failRemote(QStringLiteral("打开"), remote);
    const Attributes attributes(sftp_fstat(file));
    if (!attributes || !(attributes->flags & SSH_FILEXFER_ATTR_SIZE)) {
        sftp_close(file);
        return failRemote(QStringLiteral("查询大小"), remote);
    }
    const quint64 size = attributes->size;
    counters_.totalBytes = size;
    QFile local(localPath);
    if (!local.open(QIODevice::WriteOnly | QIODevice::Append)) {
        sftp_close(file);
        return fail(QStringLiteral("文件错误: 无法写入 %1").arg(localPath));
    }
    const quint64 start = quint64(local.size());
    counters_.bytesDone = start;
    if (start > size) {
        sftp_close(file);
        return fail(QStringLiteral("本地文件 %1 比服务器上的文件大").arg(localPath));
    }
    SftpPipeline pipeline(sftp_, handleBytes(file), settings(true), counters_.abortRequested,
                          counters_.bytesDone);
    const SftpPipeline::Result result = pipeline.download(local, start, size);
    closeFile(file, pipeline, channelUsable_);
    if (!local.flush())
        return fail(QStringLiteral("文件错误: 无法写入 %1").arg(localPath));
    if (result == SftpPipeline::Result::Failed)
        return fail(pipeline.errorText(), pipeline.networkFailure());
    return result == SftpPipeline::Result::Done ? Outcome::Complete : Outcome::Interrupted;
}

SftpFileTransfer::Outcome SftpFileTransfer::upload(const QByteArray& remote,
                                                   const QString& localPath)
{
    QFile local(localPath);
    if (!local.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("文件错误: 无法读取 %1").arg(localPath));
    const quint64 length = quint64(local.size());
    counters_.totalBytes = length;
    sftp_file file = sftp_open(sftp_, remote.constData(), O_WRONLY | O_CREAT, 0644);
    if (!file)
        return failRemote(QStringLiteral("打开"), remote);
    const Attributes attributes(sftp_fstat(file));
    const quint64 start =
        attributes && (attributes->flags & SSH_FILEXFER_ATTR_SIZE) ? attributes->size : 0;
    counters_.bytesDone = start;
    if (!attributes || start > length || !local.seek(qint64(start))) {
        sftp_close(file);
        return attributes ? fail(QStringLiteral("服务器上的文件 %1 比本地文件大")
                                     .arg(QString::fromUtf8(remote)))
                          : failRemote(QStringLiteral("查询大小"), remote);
    }
    SftpPipeline pipeline(sftp_, handleBytes(file), settings(false), counters_.abortRequested,
                          counters_.bytesDone);
    const SftpPipeline::Result result = pipeline.upload(local, start, length);
    closeFile(file, pipeline, channelUsable_);
    if (result == SftpPipeline::Result::Failed) {
        if (channelUsable_ && pipeline.firstRefusedOffset() < length)
            cutBack(remote, pipeline.firstRefusedOffset());
        return fail(pipeline.errorText(), pipeline.networkFailure());
    }
    if (result == SftpPipeline::Result::Aborted)
        return Outcome::Interrupted;
    return afterUpload(remote, length);
}

// Writes after a refused one may have succeeded: the file is cut back to the refused offset,
// so a resume never keeps a gap.
void SftpFileTransfer::cutBack(const QByteArray& remote, quint64 size)
{
    sftp_attributes_struct attributes{};
    attributes.flags = SSH_FILEXFER_ATTR_SIZE;
    attributes.size = size;
    sftp_setstat(sftp_, remote.constData(), &attributes);
}

SftpFileTransfer::Outcome SftpFileTransfer::afterUpload(const QByteArray& remote, quint64 length)
{
    quint64 size = 0;
    if (!remoteSize(remote, size))
        return failRemote(QStringLiteral("查询大小"), remote);
    if (size != length)
        return fail(QStringLiteral("上传后服务器上的文件 %1 有 %2 字节,本地文件有 %3 字节")
                        .arg(QString::fromUtf8(remote))
                        .arg(size)
                        .arg(length));
    return Outcome::Complete;
}
