#include "view/gui/FileIconCache.h"

#include <QFileInfo>
#include <QMimeType>

FileIconCache::FileIconCache()
    : folder_(provider_.icon(QAbstractFileIconProvider::Folder)),
      drive_(provider_.icon(QAbstractFileIconProvider::Drive))
{
}

QIcon FileIconCache::iconFor(const QString& name, bool folder)
{
    if (folder)
        return folderIcon();
    const QString suffix = QFileInfo(name).suffix().toLower();
    const auto cached = bySuffix_.constFind(suffix);
    if (cached != bySuffix_.constEnd())
        return *cached;
    const QIcon icon = lookUp(name);
    bySuffix_.insert(suffix, icon);
    return icon;
}

// The theme's icon of the type the name suggests, else its generic icon, else the plain file
// icon of the style (a display without an icon theme has only that one).
QIcon FileIconCache::lookUp(const QString& name) const
{
    const QMimeType type = mimeTypes_.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    const QIcon fallback = provider_.icon(QAbstractFileIconProvider::File);
    if (!type.isValid())
        return fallback;
    return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
}
