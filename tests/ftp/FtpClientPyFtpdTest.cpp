#include "IntegrationSupport.h"

#include "platform/TextCodec.h"
#include "support/PyFtpdServer.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace {

using namespace integration;

class PyFtpdTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.errorText().toStdString(); }

    LogonInfo logon(const QString& password) const
    {
        LogonInfo info;
        info.host = server.host();
        info.port = server.port();
        info.user = server.user();
        info.password = password;
        return info;
    }

    PyFtpdServer server;
    FtpClient client;
};

TEST_F(PyFtpdTest, WrongPasswordIsRefusedWithTheServersReply)
{
    EXPECT_FALSE(client.Logon(logon(QStringLiteral("wrong"))));
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("530")))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.logonLog.contains(QStringLiteral("331")));
}

TEST_F(PyFtpdTest, RightPasswordLogsOnAndNamesTravelAsUtf8)
{
    ASSERT_TRUE(client.Logon(logon(server.password()))) << client.replyLine.toStdString();
    EXPECT_EQ(client.codec().encoding(), TextCodec::Encoding::Utf8);
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
    QTemporaryDir local;
    const QString name = QStringLiteral("上传.bin");
    const QByteArray content = randomBytes(100000);
    ASSERT_TRUE(writeFile(local.filePath(name), content));
    ASSERT_TRUE(client.TransferFile(name, local.filePath(name), true, false, QString()))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")));
    EXPECT_THAT(rawNames(server.homePath()), ::testing::Contains(name.toUtf8()));
    EXPECT_EQ(sha256Of(server.homePath() + u'/' + name), sha256Of(local.filePath(name)));
}

} // namespace
