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

// A pause ends the transfer as interrupted, a cut connection as a network failure; either way
// the part stays, and the next attempt on a new connection completes the file from there.
TEST_F(SftpClientTest, PausedOrCutTransfersResumeBothWays)
{
    const QString source = local.filePath(QStringLiteral("source"));
    ASSERT_TRUE(writeFile(source, 48 * 1024 * 1024));
    for (const bool cut : {false, true}) {
        for (const bool download : {false, true}) {
            const QString name = QStringLiteral("%1-%2").arg(cut).arg(download);
            const QString localFile = download ? local.filePath(name) : source;
            const QString part = download ? localFile : server.files() + u'/' + name;
            if (download)
                QFile::copy(source, server.files() + u'/' + name);
            {
                const auto client = logOn();
                ASSERT_TRUE(client);
                WhenMoved stop(*client, 4 << 20, [this, &client, cut] {
                    cut ? server.cutSessions() : void(client->abortRequested = 1);
                });
                EXPECT_EQ(client->TransferFile(remote(name), localFile, download), !cut);
                EXPECT_EQ(cut ? client->networkFailure : client->abortRequested == 1, true)
                    << name.toStdString() << client->replyLine.toStdString();
            }
            EXPECT_GT(QFileInfo(part).size(), 0);
            EXPECT_LT(QFileInfo(part).size(), QFileInfo(source).size());
            const auto again = logOn();
            ASSERT_TRUE(again);
            ASSERT_TRUE(again->TransferFile(remote(name), localFile, download))
                << again->replyLine.toStdString();
            EXPECT_EQ(again->abortRequested, 0);
            EXPECT_EQ(sha256(part), sha256(source));
        }
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
