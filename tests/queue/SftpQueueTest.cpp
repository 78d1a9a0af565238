#include "queue/FolderTransfer.h"
#include "queue/QueueEntry.h"
#include "queue/QueueRig.h"
#include "support/SftpSandbox.h"

#include <QDirIterator>
#include <QTest>

namespace {

// The queue against an SFTP session: the same rows, states and temporary names as for FTP.
class SftpQueueTest : public SftpSandbox, protected QueueRig {
protected:
    void SetUp() override
    {
        SftpSandbox::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(QDir().mkpath(local.filePath(QStringLiteral("work"))));
        // A failed entry ends "err" at once instead of being tried again; times are kept.
        QFile settings(local.filePath(QStringLiteral("work/ftp.ini")));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly) &&
                    settings.write("[Transfer]\r\nRetries=0\r\nKeepTimes=1\r\n") > 0);
        SessionEnvironment env;
        env.registry = &registry;
        env.remote = &browserState;
        env.engineLock = &engineLock;
        env.prompt = &prompt;
        env.networkTimeout = std::chrono::milliseconds(10000);
        startSession(LogonRecord{address, server.user(), server.port(), QString()}, env);
        ASSERT_TRUE(QTest::qWaitFor([this] { return registry.tabCount() == 1; }, 20000));
        startScheduler(environment());
    }

    void TearDown() override { stopQueue(); }

    TransferEnvironment environment()
    {
        TransferEnvironment env =
            queueEnvironment(prompt, engineLock, std::chrono::milliseconds(10000));
        env.configPath = local.filePath(QStringLiteral("work/ftp.ini"));
        env.currentRemoteFolder = [this] { return server.files(); };
        env.moveFolder = &FolderTransfer::MoveJob;
        return env;
    }

    int add(const QString& source, const QString& target, QStringView action, int folder = 1)
    {
        QueueEntry entry;
        entry.source = source;
        entry.target = target;
        entry.action = action.toString();
        entry.folder = folder;
        return queue.AddQueueRow(entry, address);
    }

    bool finishes(int row, QStringView state)
    {
        return QTest::qWaitFor([&] { return queue.text(row, TransferQueue::StateColumn) == state; },
                               30000);
    }

    // Every file under the folder with its SHA-256 and time, every sub-folder with nothing.
    static std::map<QString, QByteArray> tree(const QString& folder)
    {
        std::map<QString, QByteArray> found;
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            found[path.mid(folder.size())] =
                it.fileInfo().isDir()
                    ? QByteArray()
                    : sha256(path) +
                          QByteArray::number(it.fileInfo().lastModified().toSecsSinceEpoch());
        }
        return found;
    }

    const QString address = QStringLiteral("sftp://127.0.0.1");
    NamedMutex engineLock{QStringLiteral("mutex1"), local.path()};
};

} // namespace

TEST_F(SftpQueueTest, FolderEntriesGoUpAndComeBackWhole)
{
    const QString mine = local.filePath(QStringLiteral("上传"));
    ASSERT_TRUE(QDir().mkpath(mine + QStringLiteral("/子 文件夹")) &&
                QDir().mkpath(mine + QStringLiteral("/空")));
    ASSERT_TRUE(writeFile(mine + QStringLiteral("/大.bin"), 3 * 1024 * 1024 + 5));
    ASSERT_TRUE(writeFile(mine + QStringLiteral("/子 文件夹/小.txt"), 17));
    QFile old(mine + QStringLiteral("/大.bin"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly) &&
                old.setFileTime(QDateTime(QDate(2020, 2, 29), QTime(12, 0), Qt::UTC),
                                QFileDevice::FileModificationTime));
    const QString onServer = server.files() + QStringLiteral("/树");

    const int up = add(mine, onServer, QueueAction::Upload);
    ASSERT_TRUE(finishes(up, QueueState::Uploaded))
        << queue.text(up, TransferQueue::StateColumn).toStdString();
    EXPECT_EQ(tree(onServer), tree(mine));

    const QString back = local.filePath(QStringLiteral("回来"));
    const int down = add(onServer, back, QueueAction::Download);
    ASSERT_TRUE(finishes(down, QueueState::Downloaded));
    EXPECT_EQ(tree(back), tree(mine));
}

// A connection cut in the middle ends the row "err" with its part kept; started again, the row
// continues from the part and completes the file.
TEST_F(SftpQueueTest, CutConnectionEndsInErrAndARestartCompletes)
{
    const QString source = server.files() + QStringLiteral("/大文件.bin");
    ASSERT_TRUE(writeFile(source, 128 << 20));
    const QString target = local.filePath(QStringLiteral("大文件.bin"));
    const QString part = target + QStringLiteral(".td");
    const int row = add(source, target, QueueAction::Download, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(part).size() > (4 << 20); }, 30000));
    server.cutSessions();
    ASSERT_TRUE(finishes(row, QueueState::Failed));
    EXPECT_GT(QFileInfo(part).size(), 4 << 20);
    queue.setText(row, TransferQueue::StateColumn, QueueState::Waiting.toString());
    ASSERT_TRUE(finishes(row, QueueState::Downloaded));
    EXPECT_EQ(sha256(target), sha256(source));
}
