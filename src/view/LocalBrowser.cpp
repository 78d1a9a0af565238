#include "view/LocalBrowser.h"

#include "listing/FormatSize.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

QStringList LocalBrowser::drives(const QString& desktopFolder)
{
    QStringList result{QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() && !result.contains(root))
            result << root;
    }
    result << join(desktopFolder, QString());
    return result;
}

QString LocalBrowser::parentOf(const QString& folder)
{
    QString trimmed = folder;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    const qsizetype cut = trimmed.lastIndexOf(QLatin1Char('/'));
    if (cut <= 0)
        return QStringLiteral("/");
    return trimmed.left(cut + 1);
}

QString LocalBrowser::join(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString LocalBrowser::dateText(const QDateTime& modified)
{
    return modified.toLocalTime().toString(QStringLiteral("MM/dd/yy"));
}

bool LocalBrowser::enter(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return false;
    QString cleaned = QDir::cleanPath(info.absoluteFilePath());
    currentFolder_ = cleaned;
    return true;
}

QVector<CListItem> LocalBrowser::list() const
{
    QDir dir(currentFolder_);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name | QDir::IgnoreCase);
    QVector<CListItem> folders;
    QVector<CListItem> files;
    for (const QFileInfo& entry : entries) {
        CListItem row;
        row.name = entry.fileName();
        row.date = dateText(entry.lastModified());
        row.isFolder = entry.isDir();
        row.isLink = entry.isSymLink();
        if (!row.isFolder) {
            row.bytes = static_cast<quint64>(std::max<qint64>(entry.size(), 0));
            row.size = FormatSize(row.bytes);
        }
        (row.isFolder ? folders : files).append(row);
    }
    QVector<CListItem> rows;
    if (currentFolder_ != QLatin1String("/")) {
        CListItem parent;
        parent.name = QStringLiteral("..");
        parent.isFolder = true;
        rows.append(parent);
    }
    std::copy(folders.rbegin(), folders.rend(), std::back_inserter(rows));
    rows.append(files);
    return rows;
}
