#include "support/SftpSandbox.h"

#include <QFileInfo>

#include <atomic>
#include <thread>
#include <unistd.h>

namespace {

using SftpClientTest = SftpSandbox;

const QString chineseName = QStringLiteral("中文 文件.txt");

// Runs action once the transfer has moved more than threshold bytes (checked every ms, for at
// most a minute), on a thread of its own, as the user's pause or a broken network would.
class WhenMoved {
public:
    WhenMoved(SftpClient& client, quint64 threshold, std::function<void()> action)
        : thread_([&client, threshold, action, this] {
              for (int i = 0; i < 60000 && !done_; ++i) {
                  if (client.bytesDone > threshold && client.transferActive) {
                      action();
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          })
    {
    }
    ~WhenMoved()
    {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

} // namespace

TEST_F(SftpClientTest, ListsNamesSizesTimesPermissionsAndFolderLinks)
{
    const QString files = server.files();
    ASSERT_TRUE(writeFile(files + u'/' + chineseName, 5));
    ASSERT_TRUE(QFile::setPermissions(files + u'/' + chineseName,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(QDir().mkpath(files + QStringLiteral("/目录")));
    ASSERT_EQ(::symlink("目录", QFile::encodeName(files + QStringLiteral("/到目录")).constData()),
              0);
    const auto client = logOn();
    ASSERT_TRUE(client);
    QVector<SftpEntry> entries;
    ASSERT_TRUE(client->List(server.files().toUtf8(), entries)) << client->replyLine.toStdString();
    std::map<QString, SftpEntry> byName;
    for (const SftpEntry& entry : entries)
        byName[entry.name] = entry;
    ASSERT_EQ(byName.size(), 3u);
    const SftpEntry file = byName[chineseName];
    EXPECT_EQ(file.rawName, chineseName.toUtf8());
    EXPECT_FALSE(file.isFolder);
    EXPECT_EQ(file.size, 5u);
    EXPECT_EQ(file.permissions, QStringLiteral("rw-r-----"));
    EXPECT_EQ(file.modified.toSecsSinceEpoch(),
              QFileInfo(files + u'/' + chineseName).lastModified().toSecsSinceEpoch());
    EXPECT_TRUE(byName[QStringLiteral("目录")].isFolder);
    EXPECT_TRUE(byName[QStringLiteral("到目录")].isFolder);
    EXPECT_TRUE(byName[QStringLiteral("到目录")].isLink);
}

TEST_F(SftpClientTest, FolderCommandsAndTheirRefusals)
{
    const auto client = logOn();
    ASSERT_TRUE(client);
    const QByteArray folder = remote(QStringLiteral("新文件夹"));
    ASSERT_TRUE(client->MakeFolder(folder));
    EXPECT_EQ(client->ResolveFolder(folder + "/../新文件夹"), folder);
    ASSERT_TRUE(client->Rename(folder, remote(QStringLiteral("改名"))));
    EXPECT_TRUE(QFileInfo(server.files() + QStringLiteral("/改名")).isDir());
    EXPECT_FALSE(client->RemoveFolder(folder));
    EXPECT_TRUE(client->replyLine.contains(QStringLiteral("不存在")))
        << client->replyLine.toStdString();
    EXPECT_FALSE(client->networkFailure);
    EXPECT_TRUE(client->RemoveFolder(remote(QStringLiteral("改名"))));
    ASSERT_TRUE(writeFile(server.files() + QStringLiteral("/f"), 1));
    EXPECT_FALSE(client->ResolveFolder(remote(QStringLiteral("f"))));
    EXPECT_TRUE(client->RemoveFile(remote(QStringLiteral("f"))));
    EXPECT_FALSE(QFileInfo::exists(server.files() + QStringLiteral("/f")));
}

TEST_F(SftpClientTest, DownloadAndUploadKeepEveryByte)
{
    const QString source = server.files() + u'/' + chineseName;
    ASSERT_TRUE(writeFile(source, 5 * 1024 * 1024 + 17));
    const auto client = logOn();
    ASSERT_TRUE(client);
    const QString copy = local.filePath(chineseName);
    ASSERT_TRUE(client->TransferFile(source.toUtf8(), copy, true))
        << client->replyLine.toStdString();
    EXPECT_EQ(client->abortRequested, 0);
    EXPECT_EQ(sha256(copy), sha256(source));
    ASSERT_TRUE(client->TransferFile(remote(QStringLiteral("上传.bin")), copy, false));
    EXPECT_EQ(sha256(server.files() + QStringLiteral("/上传.bin")), sha256(source));
    EXPECT_EQ(client->bytesDone, client->totalBytes);
}

// A pause keeps what arrived; the next attempt continues from there and completes the file.
TEST_F(SftpClientTest, PausedTransfersResumeBothWays)
{
    const QString source = local.filePath(QStringLiteral("source"));
    ASSERT_TRUE(writeFile(source, 48 * 1024 * 1024));
    for (const bool download : {false, true}) {
        const auto client = logOn();
        ASSERT_TRUE(client);
        const QString target = download ? local.filePath(QStringLiteral("back")) : QString();
        const QString from = download ? server.files() + QStringLiteral("/up") : source;
        const QString part = download ? target : server.files() + QStringLiteral("/up");
        {
            WhenMoved pause(*client, 4 << 20, [&client] { client->abortRequested = 1; });
            ASSERT_TRUE(client->TransferFile(remote(QStringLiteral("up")),
                                             download ? target : source, download));
        }
        ASSERT_EQ(client->abortRequested, 1) << "download " << download;
        EXPECT_GT(QFileInfo(part).size(), 0);
        EXPECT_LT(QFileInfo(part).size(), QFileInfo(from).size());
        ASSERT_TRUE(client->TransferFile(remote(QStringLiteral("up")), download ? target : source,
                                         download));
        EXPECT_EQ(client->abortRequested, 0);
        EXPECT_EQ(sha256(part), sha256(source));
    }
}

// A connection cut in the middle fails the transfer as a network failure; the part stays and
// a new connection completes it.
TEST_F(SftpClientTest, CutConnectionKeepsThePartForARestart)
{
    const QString source = local.filePath(QStringLiteral("source"));
    ASSERT_TRUE(writeFile(source, 48 * 1024 * 1024));
    for (const bool download : {false, true}) {
        const QString localFile = download ? local.filePath(QStringLiteral("back")) : source;
        const QString part = download ? localFile : server.files() + QStringLiteral("/up");
        {
            const auto client = logOn();
            ASSERT_TRUE(client);
            WhenMoved cut(*client, 4 << 20, [this] { server.cutSessions(); });
            EXPECT_FALSE(client->TransferFile(remote(QStringLiteral("up")), localFile, download));
            EXPECT_TRUE(client->networkFailure) << client->replyLine.toStdString();
        }
        EXPECT_GT(QFileInfo(part).size(), 0);
        const auto again = logOn();
        ASSERT_TRUE(again);
        ASSERT_TRUE(again->TransferFile(remote(QStringLiteral("up")), localFile, download))
            << again->replyLine.toStdString();
        EXPECT_EQ(sha256(part), sha256(source));
    }
}

TEST_F(SftpClientTest, InterruptEndsATransferAndLaterCalls)
{
    ASSERT_TRUE(writeFile(server.files() + QStringLiteral("/big"), 48 * 1024 * 1024));
    const auto client = logOn();
    ASSERT_TRUE(client);
    {
        WhenMoved interrupt(*client, 1 << 20, [&client] { client->Interrupt(); });
        client->TransferFile(remote(QStringLiteral("big")), local.filePath(QStringLiteral("big")),
                             true);
    }
    EXPECT_EQ(client->abortRequested, 1);
    EXPECT_LT(QFileInfo(local.filePath(QStringLiteral("big"))).size(), 48 * 1024 * 1024);
    QVector<SftpEntry> entries;
    EXPECT_FALSE(client->List(server.files().toUtf8(), entries));
}
