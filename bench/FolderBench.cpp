// Moves one folder tree the way a folder entry of the queue does (measure, then walk, each
// file through a ".td" name and a final rename), for bench/folder-transfer.sh to set beside
// lftp's mirror. Usage:
//   kevra_folder_bench download|upload HOST PORT REMOTE_FOLDER LOCAL_FOLDER
// Exits 0 only when the walk reports every file moved and the byte counters agree.

#include "queue/FolderTransfer.h"

#include "ftp/FtpClient.h"
#include "queue/FolderTransferMover.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

int fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "kevra_folder_bench: %s: %s\n", what, detail.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 6 || (arguments.at(1) != QStringLiteral("download") &&
                                  arguments.at(1) != QStringLiteral("upload"))) {
        std::fprintf(stderr, "usage: kevra_folder_bench download|upload HOST PORT REMOTE LOCAL\n");
        return 2;
    }
    const bool download = arguments.at(1) == QStringLiteral("download");
    const QString& remote = arguments.at(4);
    const QString& local = arguments.at(5);

    FtpClient client;
    LogonInfo logon;
    logon.host = arguments.at(2);
    logon.port = arguments.at(3).toInt();
    logon.user = QStringLiteral("anonymous");
    if (!client.Logon(logon))
        return fail("logon", client.replyLine);
    FolderTransfer folder(
        client, FolderTransferMover(client), [] { return false; },
        [](const QString& line) { std::fputs(line.toLocal8Bit().constData(), stderr); });
    bool complete = false;
    if (download) {
        folder.RemoteFolderSize(remote);
        complete = folder.DownloadFolder(remote, local);
    } else {
        folder.LocalFolderSize(local);
        complete = folder.UploadFolder(remote, local);
    }
    if (!complete)
        return fail("walk", client.replyLine);
    if (client.folderDoneBytes != client.folderTotalBytes)
        return fail("counters", QString::number(client.folderDoneBytes.load()) + QLatin1Char('/') +
                                    QString::number(client.folderTotalBytes.load()));
    client.SendCommand(QStringLiteral("QUIT"));
    return 0;
}
