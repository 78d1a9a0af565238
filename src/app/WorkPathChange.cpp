#include "app/WorkPathChange.h"

#include "config/Configuration.h"
#include "platform/NamedMutex.h"
#include "platform/Profile.h"
#include "platform/Prompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryFile>

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

const QString caption = QStringLiteral("工作路径");

QString asWorkPath(const QString& folder)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return clean.endsWith(u'/') ? clean : clean + u'/';
}

// Permission bits say little to root or on a read-only mount; creating a file says it all.
bool takesNewFiles(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral(".kevra-XXXXXX"));
    return probe.open();
}

bool isSameFolder(const QString& one, const QString& other)
{
    const QString canonical = QFileInfo(one).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(other).canonicalFilePath();
}

// The copy takes the place of an older file only once it is whole, and keeps the original's
// permissions: the account file holds passwords.
bool copyWhole(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = source.readAll();
    if (source.error() != QFileDevice::NoError)
        return false;
    QSaveFile target(to);
    return target.open(QIODevice::WriteOnly) && target.setPermissions(source.permissions()) &&
           target.write(content) == content.size() && target.commit();
}

} // namespace

WorkPathChange::WorkPathChange(Configuration& config, NamedMutex& engineLock, Prompt& prompt,
                               std::vector<StoredFile> storedFiles)
    : config_(config), engineLock_(engineLock), prompt_(prompt),
      storedFiles_(std::move(storedFiles))
{
}

bool WorkPathChange::apply(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    const QString workPath = asWorkPath(folder);
    if (!isUsable(workPath))
        return false;
    if (isSameFolder(config_.workPath, workPath))
        return carryAndSwitch({}, workPath);
    const std::vector<Carried> files = filesToCarry(workPath);
    return mayReplace(files) && carryAndSwitch(files, workPath);
}

bool WorkPathChange::isUsable(const QString& workPath)
{
    if (!Profile::canStore(workPath)) {
        refuse(QStringLiteral("文件夹路径中有无法保存的字符,请选择其他文件夹"));
        return false;
    }
    if (!takesNewFiles(workPath)) {
        refuse(QStringLiteral("无法写入文件夹") + workPath + QStringLiteral(",请选择其他文件夹"));
        return false;
    }
    return true;
}

// An empty file holds no account and no queue row: there is nothing to carry, and the folder's
// own file, if any, is worth more than the question whether to replace it.
std::vector<WorkPathChange::Carried> WorkPathChange::filesToCarry(const QString& workPath) const
{
    std::vector<Carried> files;
    for (const StoredFile& stored : storedFiles_) {
        const QFileInfo from(stored(config_.workPath));
        if (from.isFile() && from.size() > 0)
            files.push_back({from.filePath(), stored(workPath)});
    }
    return files;
}

// The queue in memory is stored into the new folder at its next save anyway, so keeping the
// folder's own files is no option: declining keeps the old work path.
bool WorkPathChange::mayReplace(const std::vector<Carried>& files)
{
    QStringList present;
    for (const Carried& file : files) {
        if (QFileInfo::exists(file.to))
            present << QFileInfo(file.to).fileName();
    }
    if (present.isEmpty())
        return true;
    return prompt_.confirm(QStringLiteral("所选文件夹中已有") + present.join(QStringLiteral("、")) +
                               QStringLiteral(",是否用当前的文件覆盖?\n选“否”则不更改工作路径"),
                           caption);
}

bool WorkPathChange::carryAndSwitch(const std::vector<Carried>& files, const QString& workPath)
{
    std::unique_lock<NamedMutex> hold(engineLock_);
    for (const Carried& file : files) {
        if (!copyWhole(file.from, file.to)) {
            hold.unlock();
            refuse(QStringLiteral("复制") + QFileInfo(file.from).fileName() +
                   QStringLiteral("失败,工作路径未更改"));
            return false;
        }
    }
    if (!StoreWorkPath(config_, workPath)) {
        hold.unlock();
        refuse(QStringLiteral("无法保存工作路径,工作路径未更改"));
        return false;
    }
    return true;
}

void WorkPathChange::refuse(const QString& message)
{
    prompt_.tell(message, caption);
}
