#include "app/SingleInstance.h"

#include "app/AnotherStart.h"
#include "support/TemporaryFolder.h"

#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    bool handOver(const QString& request) { return handOverFromAnotherStart(socketPath, request); }

    TemporaryFolder folder{QStringLiteral("instance")};
    const QString socketPath = folder.filePath(QStringLiteral("kevra.socket"));
};

TEST_F(SingleInstanceTest, RunningInstanceReceivesTheAddressExactly)
{
    SingleInstance running(socketPath);
    ASSERT_TRUE(running.listen());
    // Other users must not be able to hand anything over.
    EXPECT_EQ(QFile::permissions(socketPath) & 0x0FF, QFile::Permissions());
    QSignalSpy received(&running, &SingleInstance::requestReceived);
    const QString url = QStringLiteral("ftp://张三:pa ss@[::1]:2121/文档/a b");
    EXPECT_TRUE(handOver(url));
    EXPECT_TRUE(handOver(QString()));
    ASSERT_EQ(received.count(), 2);
    EXPECT_EQ(received.at(0).at(0).toString(), url);
    EXPECT_EQ(received.at(1).at(0).toString(), QString());
}

// An instance that was killed leaves its socket file behind: nobody answers there, and the
// next start takes the place over.
TEST_F(SingleInstanceTest, LeftOverSocketFileIsReplaced)
{
    QFile(socketPath).open(QIODevice::WriteOnly);
    SingleInstance next(socketPath);
    ASSERT_FALSE(next.handOver(QString(), std::chrono::milliseconds(1000)));
    ASSERT_TRUE(next.listen());
    QSignalSpy received(&next, &SingleInstance::requestReceived);
    EXPECT_TRUE(handOver(QStringLiteral("ftp://host/")));
    EXPECT_EQ(received.count(), 1);
}

TEST_F(SingleInstanceTest, OverlongRequestIsDroppedWithoutAnAnswer)
{
    SingleInstance running(socketPath);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::requestReceived);
    EXPECT_FALSE(handOver(QString(SingleInstance::MaxRequestBytes + 10, u'x')));
    EXPECT_TRUE(handOver(QStringLiteral("ftp://host/")));
    EXPECT_EQ(received.count(), 1);
}

} // namespace
