#include "view/RemoteNameEncodings.h"

namespace {
QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}
} // namespace

void RemoteNameEncodings::setFallback(Encoding encoding)
{
    std::lock_guard<std::mutex> hold(mutex_);
    fallback_ = encoding;
}

RemoteNameEncodings::Encoding RemoteNameEncodings::settleListing(const QString& folder,
                                                                 const QByteArray& listing)
{
    std::lock_guard<std::mutex> hold(mutex_);
    const QString key = withoutTrailingSlash(folder);
    if (TextCodec::isAscii(listing))
        return ofFolderLocked(key);
    const Encoding decided = TextCodec::isValidUtf8(listing) ? Encoding::Utf8 : Encoding::Gbk;
    folders_.insert(key, decided);
    return decided;
}

RemoteNameEncodings::Encoding RemoteNameEncodings::ofFolder(const QString& folder) const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return ofFolderLocked(withoutTrailingSlash(folder));
}

RemoteNameEncodings::Encoding RemoteNameEncodings::ofEntry(const QString& path) const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return ofFolderLocked(parentOf(withoutTrailingSlash(path)));
}

RemoteNameEncodings::Encoding RemoteNameEncodings::ofFolderLocked(QString folder) const
{
    while (!folder.isEmpty()) {
        const auto found = folders_.constFind(folder);
        if (found != folders_.constEnd())
            return found.value();
        if (folder == QLatin1String("/"))
            break;
        folder = parentOf(folder);
    }
    return fallback_;
}

QString RemoteNameEncodings::withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}
