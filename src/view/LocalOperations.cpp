#include "view/LocalOperations.h"

#include "platform/Prompt.h"
#include "view/LocalBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString sameNameCaption = QStringLiteral("发现同名文件");
const QString deleteCaption = QStringLiteral("删除文件");

bool isReadOnly(const QFileInfo& info)
{
    return !(info.permissions() & QFileDevice::WriteOwner);
}

// Removes a file or a link (never what a link points to); read-only files are refused.
bool removeEntry(const QFileInfo& info)
{
    if (!info.isSymLink() && isReadOnly(info))
        return false;
    return QFile::remove(info.absoluteFilePath());
}

// A name that stands for an entry of the folder itself: ".." and "." name the folder or its
// parent, and a path would reach outside the folder.
bool isEntryName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/'));
}

bool existsOrIsLink(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
} // namespace

LocalOperations::LocalOperations(Prompt& prompt, Log log) : prompt_(prompt), log_(std::move(log)) {}

bool LocalOperations::DeleteLocalTree(const QString& folder, const Log& log)
{
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    QStringList subfolders;
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink()) {
            subfolders << entry.fileName();
            continue;
        }
        if (!removeEntry(entry))
            log(entry.fileName() + QStringLiteral("删除失败3\r\n"));
    }
    for (const QString& name : subfolders)
        DeleteLocalTree(LocalBrowser::join(folder, name), log);
    return QDir().rmdir(folder);
}

void LocalOperations::makeFolder(const QString& folder, const QString& name)
{
    const QString path = LocalBrowser::join(folder, name);
    if (existsOrIsLink(path))
        prompt_.tell(QStringLiteral("文件夹") + path + QStringLiteral("已存在"), sameNameCaption);
    QDir().mkdir(path);
}

bool LocalOperations::confirmReplace(const QString& name)
{
    return prompt_.confirm(QStringLiteral("文件") + name + QStringLiteral("已存在是否覆盖"),
                           sameNameCaption);
}

void LocalOperations::rename(const QString& folder, const QString& name, const QString& newName)
{
    if (newName.isEmpty() || newName == name || !isEntryName(name))
        return;
    const QString target = LocalBrowser::join(folder, newName);
    if (existsOrIsLink(target)) {
        if (!confirmReplace(newName))
            return;
        const QFileInfo existing(target);
        if (existing.isSymLink() || !existing.isDir())
            QFile::remove(target);
    }
    QFile::rename(LocalBrowser::join(folder, name), target);
}

bool LocalOperations::deleteOne(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return DeleteLocalTree(path, log_);
    return removeEntry(info);
}

int LocalOperations::deleteEntries(const QString& folder, const QStringList& requested)
{
    QStringList names = requested;
    names.removeIf([](const QString& name) { return !isEntryName(name); });
    const auto count = names.size();
    if (count > 1 && !prompt_.confirm(QStringLiteral("是否删除这") + QString::number(count) +
                                          QStringLiteral("个文件"),
                                      deleteCaption))
        return 0;
    int deleted = 0;
    for (const QString& name : names) {
        if (count == 1 && !prompt_.confirm(QStringLiteral("是否删除") + name, deleteCaption))
            return deleted;
        const QString path = LocalBrowser::join(folder, name);
        const bool gone = deleteOne(path);
        log_(path + (gone ? QStringLiteral("删除成功\r\n") : QStringLiteral("删除失败2\r\n")));
        deleted += gone ? 1 : 0;
    }
    return deleted;
}
