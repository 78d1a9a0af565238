#include "update/ExecutableReplacement.h"

#include <QFile>

#include <cstdio>
#include <unistd.h>

bool ExecutableReplacement::install(const QString& downloadedFile, const ProgramFiles& files)
{
    const bool replaced = makeRunnable(downloadedFile) && keepBackup(files) &&
                          std::rename(QFile::encodeName(downloadedFile).constData(),
                                      QFile::encodeName(files.executable()).constData()) == 0;
    if (!replaced)
        QFile::remove(downloadedFile);
    return replaced;
}

bool ExecutableReplacement::makeRunnable(const QString& file)
{
    return QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther);
}

// A hard link keeps the running file under the backup name without a moment in which the
// program's own name is missing; a copy stands in where links are not possible.
bool ExecutableReplacement::keepBackup(const ProgramFiles& files)
{
    QFile::remove(files.backup());
    if (!QFile::exists(files.runningFile))
        return true;
    if (::link(QFile::encodeName(files.runningFile).constData(),
               QFile::encodeName(files.backup()).constData()) == 0)
        return true;
    return QFile::copy(files.runningFile, files.backup());
}
