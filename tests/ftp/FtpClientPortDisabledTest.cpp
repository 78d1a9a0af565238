#include "IntegrationSupport.h"

#include "support/VsftpdServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace integration;

// A server that refuses PORT, as one behind a firewall does: the client turns passive on its
// first data connection and stays so for listings, downloads and uploads alike.
TEST(PortDisabledVsftpd, ListsAndTransfersThroughThePassiveFallback)
{
    VsftpdOptions options;
    options.portEnable = false;
    VsftpdServer server(options);
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    QTemporaryDir local;
    const QByteArray content = randomBytes(300 * 1024 + 7);
    ASSERT_TRUE(
        VsftpdServer::writeServerFile(server.pubPath() + QStringLiteral("/down.bin"), content));

    FtpClient client;
    QStringList logged;
    client.setLogSink([&logged](const QString& line) { logged.append(line); });
    LogonInfo info;
    info.host = server.host();
    info.port = server.port();
    info.user = QStringLiteral("anonymous");
    ASSERT_TRUE(client.Logon(info)) << client.replyLine.toStdString();
    ASSERT_TRUE(client.Command(QStringLiteral("CWD /pub")));

    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    EXPECT_TRUE(client.listBuffer.contains("down.bin"));
    ASSERT_TRUE(client.Command(QString()));
    const QString downloaded = local.filePath(QStringLiteral("down.bin"));
    ASSERT_TRUE(client.TransferFile(QStringLiteral("down.bin"), downloaded, false, true, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(sha256Of(downloaded), sha256Of(server.pubPath() + QStringLiteral("/down.bin")));
    ASSERT_TRUE(client.TransferFile(QStringLiteral("up.bin"), downloaded, false, false, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(sha256Of(server.pubPath() + QStringLiteral("/up.bin")), sha256Of(downloaded));
    EXPECT_EQ(logged, QStringList{QStringLiteral("主动模式数据连接失败,改用被动模式\r\n")});
    server.stop();
}

} // namespace
