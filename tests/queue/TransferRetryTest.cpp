#include "TransferFixture.h"

#include "queue/TransferOneFile.h"

namespace {

constexpr qint64 slowFile = 2 * 1024 * 1024; // four seconds at the server's rate

// Retries one second apart, so that a server back within a few seconds is met again.
class TransferRetryTest : public TransferFixture {
protected:
    void SetUp() override
    {
        TransferFixture::SetUp();
        writeConfiguration("[Transfer]\r\nRetries=3\r\nRetryDelays=1\r\n");
    }

    bool retried() const { return log().join(QString()).contains(QStringLiteral("重试")); }

    // Starts a slow download and kills the server once part of the file has arrived.
    int downloadUntilKilled(const QString& name)
    {
        makeFile(remoteFile(name), slowFile);
        const int row = addDownload(name, name);
        const QString part = TransferOneFile::temporaryName(localFile(name));
        EXPECT_TRUE(waitUntil([&] { return sizeOf(part) > 64 * 1024; }));
        server.kill();
        return row;
    }
};

TEST_F(TransferRetryTest, DownloadCutByTheServerCompletesOnceItIsBack)
{
    const QString name = QStringLiteral("flaky.bin");
    const int row = downloadUntilKilled(name);
    ASSERT_TRUE(waitUntil([this] { return retried(); }, 10000));
    ASSERT_TRUE(server.revive()) << server.errorText().toStdString();
    ASSERT_TRUE(waitForState(row, QueueState::Downloaded)) << state(row).toStdString();
    EXPECT_EQ(sha256(localFile(name)), sha256(remoteFile(name)));
}

TEST_F(TransferRetryTest, ServerThatStaysAwayEndsTheEntryAfterTheLastRetry)
{
    const int row = downloadUntilKilled(QStringLiteral("lost.bin"));
    ASSERT_TRUE(waitForState(row, QueueState::Failed, 15000)) << state(row).toStdString();
    EXPECT_EQ(logCount(QStringLiteral("/pub/lost.bin网络中断,1秒后重试(1/3)\r\n")), 1);
    EXPECT_EQ(logCount(QStringLiteral("/pub/lost.bin网络中断,1秒后重试(3/3)\r\n")), 1);
}

TEST_F(TransferRetryTest, RefusedDownloadIsNotRetried)
{
    const int row = addDownload(QStringLiteral("missing.bin"), QStringLiteral("missing.bin"));
    ASSERT_TRUE(waitForState(row, QueueState::Failed)) << state(row).toStdString();
    EXPECT_FALSE(retried());
}

TEST_F(TransferRetryTest, PauseCancelsThePendingRetry)
{
    writeConfiguration("[Transfer]\r\nRetries=3\r\nRetryDelays=30\r\n");
    const int row = downloadUntilKilled(QStringLiteral("paused.bin"));
    ASSERT_TRUE(waitUntil(
        [this] { return log().join(QString()).contains(QStringLiteral("30秒后重试(1/3)")); }));
    queue.setText(row, TransferQueue::StateColumn, QueueState::Paused.toString());
    ASSERT_TRUE(waitUntil([this] { return slots.count() == TransferSlots::InitialCount; }, 5000));
    EXPECT_EQ(state(row), QueueState::Paused);
}

} // namespace
