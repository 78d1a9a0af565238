#include "queue/ModificationTimes.h"

#include "session/RemoteFileSystem.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace {

const QString timeFormat = QStringLiteral("yyyyMMddHHmmss");

// "213 20240131235959" or with fractions of a second, always in UTC.
QDateTime serverTime(const QString& replyLine)
{
    if (!replyLine.startsWith(QLatin1String("213 ")))
        return QDateTime();
    const QDateTime read = QDateTime::fromString(replyLine.mid(4, timeFormat.size()), timeFormat);
    return QDateTime(read.date(), read.time(), Qt::UTC);
}

} // namespace

ModificationTimes::ModificationTimes(RemoteFileSystem& client, Log log, bool enabled)
    : client_(client), log_(std::move(log)), enabled_(enabled)
{
}

void ModificationTimes::afterDownload(const QString& wireRemote, const QString& localPath)
{
    if (!enabled_)
        return;
    client_.Command(QStringLiteral("MDTM ") + wireRemote);
    const QDateTime time = serverTime(client_.replyLine());
    if (!time.isValid())
        return report(localPath, client_.replyLine());
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly) ||
        !file.setFileTime(time, QFileDevice::FileModificationTime))
        report(localPath, file.errorString());
}

void ModificationTimes::afterUpload(const QString& localPath, const QString& wireRemote)
{
    if (!enabled_ || !client_.offers(QStringLiteral("MFMT")))
        return;
    const QString time = QFileInfo(localPath).lastModified().toUTC().toString(timeFormat);
    if (!client_.Command(QStringLiteral("MFMT ") + time + u' ' + wireRemote))
        report(wireRemote, client_.replyLine());
}

void ModificationTimes::report(const QString& path, const QString& reason)
{
    log_(path + QStringLiteral("的修改时间未能保留:") + reason + QStringLiteral("\r\n"));
}
