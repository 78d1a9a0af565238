#include "queue/FolderProbe.h"

#include <QDir>

FolderProbe::FolderProbe(RemoteFileSystem& client, RemoteNameEncodings& encodings)
    : unusedLock_(QStringLiteral("folder-probe"), QDir::tempPath()),
      operations_(client, remote_, encodings, unusedLock_, silent_,
                  RemoteOperations::Output{[](const QVector<CListItem>&) {}, [](const QString&) {},
                                           [](const QString&) {}})
{
}

int FolderProbe::ProbeRemote(const QString& path)
{
    return operations_.ProbeRemote(path);
}
