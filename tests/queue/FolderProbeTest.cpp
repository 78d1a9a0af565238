#include "queue/FolderProbe.h"

#include "ftp/FtpClient.h"
#include "queue/FolderListing.h"
#include "session/FtpFileSystem.h"
#include "support/PyFtpdServer.h"
#include "support/TcpRelay.h"

#include <gtest/gtest.h>

namespace {

// pyftpdlib refuses LIST of a missing path with 550: that is the answer, asked for once.
TEST(FolderProbeTest, MissingTargetIsListedOncePerQuestion)
{
    PyFtpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    TcpRelay relay(server.host(), server.port());
    ASSERT_TRUE(relay.start());
    FtpFileSystem connection(nullptr);
    FtpClient& client = *connection.ftp();
    LogonInfo logon;
    logon.host = server.host();
    logon.port = relay.port();
    logon.user = server.user();
    logon.password = server.password();
    ASSERT_TRUE(client.Logon(logon)) << client.replyLine.toStdString();
    RemoteNameEncodings encodings;
    EXPECT_EQ(FolderProbe(connection, encodings).ProbeRemote(QStringLiteral("/missing")), 0);
    EXPECT_TRUE(FolderListing::Read(connection, QStringLiteral("/missing"), encodings, 1000)
                    .entries.isEmpty());
    client.Disconnect();
    relay.stop();
    EXPECT_EQ(relay.clientBytes().count("LIST /missing\r\n"), 2);
}

} // namespace
