#include "view/LocalTreeCopy.h"

#include "view/LocalBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QDir::Filters everyEntry =
    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// The path with its links resolved as far as it exists; the missing rest is appended as given.
QString resolved(const QString& path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QFileInfo info(clean);
    if (info.exists())
        return info.canonicalFilePath();
    const QString parent = info.path();
    if (parent == clean)
        return clean;
    return LocalBrowser::join(resolved(parent), info.fileName());
}

bool copyLink(const QFileInfo& link, const QString& target)
{
    return QFile::link(link.symLinkTarget(), target);
}

} // namespace

bool LocalTreeCopy::isWithin(const QString& path, const QString& folder)
{
    const QString inner = resolved(path);
    const QString outer = resolved(folder);
    return inner == outer || inner.startsWith(LocalBrowser::join(outer, QString()));
}

bool LocalTreeCopy::CopyLocalTree(const QString& source, const QString& target, const Log& log)
{
    if (isWithin(target, source)) {
        log(QFileInfo(source).fileName() + QStringLiteral("复制失败\r\n"));
        return false;
    }
    return copyEntries(source, target, log);
}

bool LocalTreeCopy::copyEntries(const QString& source, const QString& target, const Log& log)
{
    bool complete = QDir().mkdir(target) || QFileInfo(target).isDir();
    QStringList subfolders;
    const QFileInfoList entries = QDir(source).entryInfoList(everyEntry, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink()) {
            subfolders << entry.fileName();
            continue;
        }
        const QString copy = LocalBrowser::join(target, entry.fileName());
        const bool copied =
            entry.isSymLink() ? copyLink(entry, copy) : QFile::copy(entry.absoluteFilePath(), copy);
        if (!copied) {
            log(entry.fileName() + QStringLiteral("复制失败\r\n"));
            complete = false;
        }
    }
    for (const QString& name : subfolders)
        complete =
            copyEntries(LocalBrowser::join(source, name), LocalBrowser::join(target, name), log) &&
            complete;
    return complete;
}

qint64 LocalTreeCopy::totalFileSize(const QString& folder)
{
    qint64 total = 0;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(everyEntry, QDir::Unsorted)) {
        if (entry.isSymLink())
            continue;
        total += entry.isDir() ? totalFileSize(entry.absoluteFilePath()) : entry.size();
    }
    return total;
}
