#include "app/SingleInstance.h"

#include "app/AnotherStart.h"

#include "support/TemporaryFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using std::chrono::milliseconds;

class SingleInstanceTest : public ::testing::Test {
protected:
    bool handOverFromAnotherStart(const QString& request)
    {
        return ::handOverFromAnotherStart(socketPath, request);
    }

    TemporaryFolder folder{QStringLiteral("instance")};
    const QString socketPath = folder.filePath(QStringLiteral("kevra.socket"));
};

TEST_F(SingleInstanceTest, NobodyListeningMeansNoHandOver)
{
    SingleInstance first(socketPath);
    EXPECT_FALSE(first.handOver(QStringLiteral("ftp://host/"), milliseconds(2000)));
}

TEST_F(SingleInstanceTest, RunningInstanceReceivesTheAddressExactly)
{
    SingleInstance running(socketPath);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::requestReceived);
    const QString url = QStringLiteral("ftp://张三:pa ss@[::1]:2121/文档/a b");
    EXPECT_TRUE(handOverFromAnotherStart(url));
    EXPECT_TRUE(handOverFromAnotherStart(QString()));
    ASSERT_EQ(received.count(), 2);
    EXPECT_EQ(received.at(0).at(0).toString(), url);
    EXPECT_EQ(received.at(1).at(0).toString(), QString());
}

TEST_F(SingleInstanceTest, SocketIsForItsUserOnly)
{
    SingleInstance running(socketPath);
    ASSERT_TRUE(running.listen());
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFileInfo(socketPath).permissions() & others, QFile::Permissions());
}

// An instance that was killed leaves its socket file behind; the next start takes it over.
TEST_F(SingleInstanceTest, LeftOverSocketFileIsReplaced)
{
    {
        QFile stale(socketPath);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance next(socketPath);
    ASSERT_FALSE(next.handOver(QString(), milliseconds(1000)));
    ASSERT_TRUE(next.listen());
    QSignalSpy received(&next, &SingleInstance::requestReceived);
    EXPECT_TRUE(handOverFromAnotherStart(QStringLiteral("ftp://host/")));
    EXPECT_EQ(received.count(), 1);
}

TEST_F(SingleInstanceTest, OverlongRequestIsDroppedWithoutAnAnswer)
{
    SingleInstance running(socketPath);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::requestReceived);
    EXPECT_FALSE(handOverFromAnotherStart(QString(SingleInstance::MaxRequestBytes + 10, u'x')));
    EXPECT_EQ(received.count(), 0);
    EXPECT_TRUE(handOverFromAnotherStart(QStringLiteral("ftp://host/")));
    EXPECT_EQ(received.count(), 1);
}

} // namespace
