#include "session/RemoteNameEncodings.h"

#include "session/RemoteFileSystem.h"

#include <QStringList>

namespace {
QString parentOf(const QString& folder)
{
    const qsizetype slash = folder.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : folder.left(slash);
}

// The folder one step further: "" and "." stay, ".." goes up, anything else goes down.
QString stepInto(const QString& folder, const QString& step)
{
    if (step.isEmpty() || step == QLatin1String("."))
        return folder;
    if (step == QLatin1String(".."))
        return folder == QLatin1String("/") ? folder : parentOf(folder);
    if (folder.isEmpty())
        return QString();
    return folder.endsWith(u'/') ? folder + step : folder + u'/' + step;
}

// Two spellings of one folder ("/pub/", "/pub//x/..") become one key.
QString folderKey(const QString& path)
{
    if (!path.startsWith(u'/'))
        return QString();
    QString key = QStringLiteral("/");
    const QStringList steps = path.split(u'/');
    for (const QString& step : steps)
        key = stepInto(key, step);
    return key;
}

bool namesAnEntry(const QString& step)
{
    return !step.isEmpty() && step != QLatin1String(".") && step != QLatin1String("..");
}
} // namespace

QString RemoteNameEncodings::decodeName(const QByteArray& bytes)
{
    const bool utf8 = TextCodec::isValidUtf8(bytes);
    return TextCodec(utf8 ? Encoding::Utf8 : Encoding::Gbk).decode(bytes);
}

void RemoteNameEncodings::setFallback(Encoding encoding)
{
    std::lock_guard<std::mutex> hold(mutex_);
    fallback_ = encoding;
}

void RemoteNameEncodings::startListing(const QString& folder)
{
    std::lock_guard<std::mutex> hold(mutex_);
    folders_.remove(folderKey(folder));
}

void RemoteNameEncodings::noteName(const QString& folder, const QString& name, Encoding readIn)
{
    const QByteArray bytes = TextCodec(readIn).encode(name);
    std::lock_guard<std::mutex> hold(mutex_);
    noteBytesLocked(folderKey(folder), name, bytes);
}

void RemoteNameEncodings::noteBytesLocked(const QString& folder, const QString& name,
                                          const QByteArray& bytes)
{
    if (folder.isEmpty() || !namesAnEntry(name))
        return;
    Folder& entry = folders_[folder];
    entry.names.insert(name, bytes);
    if (TextCodec::isAscii(bytes))
        return;
    if (TextCodec::isValidUtf8(bytes))
        entry.holdsUtf8 = true;
    else
        entry.holdsGbk = true;
}

QString RemoteNameEncodings::readPath(const QByteArray& bytes)
{
    const QList<QByteArray> steps = bytes.split('/');
    QStringList texts;
    std::lock_guard<std::mutex> hold(mutex_);
    QString folder = bytes.startsWith('/') ? QStringLiteral("/") : QString();
    for (const QByteArray& step : steps) {
        const QString text = decodeName(step);
        noteBytesLocked(folder, text, step);
        folder = stepInto(folder, text);
        texts.append(text);
    }
    return texts.join(u'/');
}

RemoteNameEncodings::Encoding RemoteNameEncodings::forNewNames(const QString& folder) const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return forNewNamesLocked(folderKey(folder));
}

RemoteNameEncodings::Encoding RemoteNameEncodings::forNewNamesLocked(QString folder) const
{
    if (fallback_ == Encoding::Utf8)
        return fallback_;
    while (!folder.isEmpty()) {
        const auto found = folders_.constFind(folder);
        if (found != folders_.constEnd() && (found->holdsUtf8 || found->holdsGbk))
            return found->holdsUtf8 ? Encoding::Utf8 : Encoding::Gbk;
        if (folder == QLatin1String("/"))
            break;
        folder = parentOf(folder);
    }
    return fallback_;
}

QByteArray RemoteNameEncodings::bytesOf(const QString& path, const QString& base) const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return bytesLocked(path, base, nullptr);
}

QByteArray RemoteNameEncodings::bytesOf(const QString& path, const QString& base,
                                        Encoding unlisted) const
{
    std::lock_guard<std::mutex> hold(mutex_);
    return bytesLocked(path, base, &unlisted);
}

QByteArray RemoteNameEncodings::bytesLocked(const QString& path, const QString& base,
                                            const Encoding* unlisted) const
{
    const bool absolute = path.startsWith(u'/');
    QString folder = absolute ? QStringLiteral("/") : folderKey(base);
    QStringList steps = path.split(u'/');
    if (absolute)
        steps.removeFirst();
    QByteArray bytes = absolute ? QByteArrayLiteral("/") : QByteArray();
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString& step = steps.at(i);
        const auto listed = folders_.constFind(folder);
        if (listed != folders_.constEnd() && listed->names.contains(step))
            bytes += listed->names.value(step);
        else
            bytes += TextCodec(unlisted ? *unlisted : forNewNamesLocked(folder)).encode(step);
        if (i + 1 < steps.size())
            bytes += '/';
        folder = stepInto(folder, step);
    }
    return bytes;
}

QString RemoteNameEncodings::onWire(RemoteFileSystem& client, const QString& path,
                                    const QString& base) const
{
    return onWire(client, bytesOf(path, base));
}

QString RemoteNameEncodings::onWire(RemoteFileSystem& client, const QByteArray& bytes)
{
    client.setNameEncoding(Encoding::Utf8);
    return TextCodec(Encoding::Utf8).decode(bytes);
}
