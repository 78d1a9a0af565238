#include "TransferFixture.h"
#include "queue/TransferOneFile.h"
#include "support/ChildProcess.h"
#include "support/ScopedEnvironment.h"

#include <QCoreApplication>

#include <csignal>

namespace {

constexpr qint64 crashFile = 2 * 1024 * 1024; // four seconds at the server's rate
const char* const helperTest = "TransferCrashTest.HelperDownloadsUntilKilled";

class TransferCrashTest : public TransferFixture {
protected:
    std::string helperLog() const
    {
        QFile file(localFile(QStringLiteral("helper.log")));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
};

// Run only as the helper process of the test below: queues one download, which stores the
// queue file, and lets it run until the parent kills the process.
TEST_F(TransferCrashTest, HelperDownloadsUntilKilled)
{
    if (!isHelper())
        GTEST_SKIP() << "runs only as the helper of ClientKilledMidTransferResumesAfterRestart";
    QueueFile file(workPath(), engineLock);
    queue.AddDownload(QStringLiteral("/pub/crash.bin"), localFile(QStringLiteral("crash.bin")), 0,
                      QString(), server.host(), file);
    waitUntil([] { return false; }, 60000);
}

// The client dies by SIGKILL mid-file: the next run finds the entry "暂停" in its queue file,
// and starting it continues the part on disk to an identical file.
TEST_F(TransferCrashTest, ClientKilledMidTransferResumesAfterRestart)
{
    if (isHelper())
        GTEST_SKIP();
    makeFile(remoteFile(QStringLiteral("crash.bin")), crashFile);
    const QString temporary =
        TransferOneFile::temporaryName(localFile(QStringLiteral("crash.bin")));
    ChildProcess helper;
    {
        ScopedEnvironment environment;
        environment.set(helperPortVariable, QByteArray::number(serverPort));
        environment.set(helperFolderVariable, QFile::encodeName(localRoot));
        ASSERT_TRUE(helper.start(QCoreApplication::applicationFilePath(),
                                 {QStringLiteral("--gtest_filter=") + QLatin1String(helperTest)},
                                 localFile(QStringLiteral("helper.log"))));
    }
    ASSERT_TRUE(waitUntil([&] { return sizeOf(temporary) > 64 * 1024; })) << helperLog();
    ::kill(helper.pid(), SIGKILL);
    helper.stop();
    const qint64 part = sizeOf(temporary);
    ASSERT_LT(part, crashFile);

    ASSERT_EQ(QueueFile(workPath(), engineLock).LoadQueue(queue, server.host()), 1);
    EXPECT_EQ(state(0), QueueState::Paused);
    queue.setText(0, TransferQueue::StateColumn, QueueState::Waiting.toString());
    ASSERT_TRUE(waitForState(0, QueueState::Downloaded)) << state(0).toStdString();
    EXPECT_EQ(sha256(localFile(QStringLiteral("crash.bin"))),
              sha256(remoteFile(QStringLiteral("crash.bin"))));
    EXPECT_TRUE(server.protocolLog().contains(QStringLiteral("\"REST %1\"").arg(part)));
}

} // namespace
