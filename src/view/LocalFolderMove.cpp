#include "view/LocalFolderMove.h"

#include "platform/Prompt.h"
#include "view/LocalBrowser.h"
#include "view/LocalOperations.h"
#include "view/LocalTreeCopy.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool existsOrIsLink(const QFileInfo& info)
{
    return info.exists() || info.isSymLink();
}

// The target folder may be a link to the source's own folder: what is found at the destination
// is then the source itself, which the overwrite question would delete.
bool sameEntry(const QString& source, const QString& destination)
{
    const QFileInfo from(source);
    const QFileInfo to(destination);
    const QString fromFolder = QFileInfo(from.absolutePath()).canonicalFilePath();
    return from.fileName() == to.fileName() && !fromFolder.isEmpty() &&
           fromFolder == QFileInfo(to.absolutePath()).canonicalFilePath();
}

} // namespace

LocalFolderMove::LocalFolderMove(Prompt& prompt, Log log) : prompt_(prompt), log_(std::move(log)) {}

int LocalFolderMove::moveInto(const QString& folder, const QStringList& names,
                              const QString& targetName)
{
    const QString target = LocalBrowser::join(folder, targetName);
    if (!QFileInfo(target).isDir())
        return 0;
    int moved = 0;
    for (const QString& name : names) {
        if (name == targetName || name.isEmpty() || name.contains(QLatin1Char('/')))
            continue;
        const QString source = LocalBrowser::join(folder, name);
        if (moveOne(source, LocalBrowser::join(target, name)))
            ++moved;
    }
    return moved;
}

bool LocalFolderMove::moveOne(const QString& source, const QString& destination)
{
    const QFileInfo from(source);
    if (!existsOrIsLink(from) || sameEntry(source, destination))
        return false;
    if (from.isDir() && !from.isSymLink() && LocalTreeCopy::isWithin(destination, source)) {
        prompt_.tell(QStringLiteral("不能将文件夹") + from.fileName() +
                     QStringLiteral("移动到它自己的子文件夹中"));
        return false;
    }
    if (!makeRoomFor(destination))
        return false;
    return QFile::rename(source, destination);
}

// The entry already at destination goes only when the user agrees to replace it.
bool LocalFolderMove::makeRoomFor(const QString& destination)
{
    const QFileInfo existing(destination);
    if (!existsOrIsLink(existing))
        return true;
    if (!prompt_.confirm(destination + QStringLiteral("已存在是否覆盖"),
                         QStringLiteral("发现同名文件")))
        return false;
    if (existing.isDir() && !existing.isSymLink())
        return LocalOperations::DeleteLocalTree(destination, log_);
    return QFile::remove(destination);
}
