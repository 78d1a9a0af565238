// Moves one folder tree the way a folder entry of the queue does (measure, then walk, each
// file through the queue's ".td" routine and its final rename), for bench/folder-transfer.sh to set
// beside lftp's mirror. Usage:
//   kevra_folder_bench download|upload HOST PORT REMOTE_FOLDER LOCAL_FOLDER
// Exits 0 only when the walk reports every file moved and the byte counters agree.

#include "queue/FolderTransfer.h"

#include "BenchLogon.h"
#include "ftp/FtpClient.h"
#include "platform/NamedMutex.h"
#include "platform/Prompt.h"
#include "queue/TransferOneFile.h"
#include "session/FtpFileSystem.h"
#include "session/RemoteBrowserState.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>

namespace {

int fail(const char* what, const QString& detail)
{
    std::fprintf(stderr, "kevra_folder_bench: %s: %s\n", what, detail.toLocal8Bit().constData());
    return 1;
}

// The folders are fresh, so no final name exists and nothing is ever asked.
class NoQuestions : public Prompt {
public:
    PromptAnswer ask(const QString&, const QString&, PromptButtons) override
    {
        return PromptAnswer::No;
    }
};

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

    FtpFileSystem connection(nullptr);
    FtpClient& client = *connection.ftp();
    if (qEnvironmentVariable("KEVRA_DATA_MODE") == QStringLiteral("passive"))
        client.setDataMode(DataConnectionMode::Passive);
    if (qEnvironmentVariable("KEVRA_DATA_MODE") == QStringLiteral("active"))
        client.setDataMode(DataConnectionMode::Active);
    if (!logOnFromArguments(client, arguments))
        return fail("logon", client.replyLine);
    auto log = [](const QString& line) { std::fputs(line.toLocal8Bit().constData(), stderr); };
    RemoteBrowserState browser;
    RemoteNameEncodings encodings;
    NamedMutex engineLock(QStringLiteral("folder-bench"), QDir::tempPath());
    NoQuestions prompt;
    RemoteOperations remoteOps(
        connection, browser, encodings, engineLock, prompt,
        RemoteOperations::Output{[](const QVector<CListItem>&) {}, log, [](const QString&) {}});
    TransferOneFile moveFile(
        connection, remoteOps, [] { return false; }, log, QString());
    moveFile.setTargetsChecked(true);
    FolderTransfer folder(
        connection,
        [&moveFile](bool fetch, const QString& remotePath, const QString& localPath,
                    std::optional<quint64> listedSize) {
            return moveFile(fetch, remotePath, localPath, listedSize);
        },
        [] { return false; }, log);
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
