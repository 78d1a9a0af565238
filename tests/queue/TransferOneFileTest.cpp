#include "queue/TransferOneFile.h"

#include "ftp/FtpClient.h"
#include "ftp/IntegrationSupport.h"
#include "platform/NamedMutex.h"
#include "session/FtpFileSystem.h"
#include "session/RemoteBrowserState.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace integration;

// A server without SIZE gives no size to compare: its positive closing reply has to do.
TEST(TransferOneFileTest, FilesMoveBothWaysOnAServerWithoutSize)
{
    PyFtpdOptions options;
    options.sizeCommand = false;
    PyFtpdServer server(options);
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    TemporaryFolder local(QStringLiteral("one-file"));
    FtpFileSystem connection(nullptr);
    FtpClient& client = *connection.ftp();
    LogonInfo logon;
    logon.host = server.host();
    logon.port = server.port();
    logon.user = server.user();
    logon.password = server.password();
    ASSERT_TRUE(client.Logon(logon));
    RemoteBrowserState browser;
    RemoteNameEncodings encodings;
    NamedMutex engineLock(QStringLiteral("one-file"), local.path());
    ScriptedPrompt prompt;
    QStringList logged;
    auto log = [&logged](const QString& line) { logged.append(line); };
    RemoteOperations remote(connection, browser, encodings, engineLock, prompt, {{}, log, {}});
    TransferOneFile moveFile(
        connection, remote, [] { return false; }, log, QString());

    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(writeFile(source, randomBytes(300000)));
    EXPECT_TRUE(moveFile(false, QStringLiteral("/up.bin"), source));
    EXPECT_EQ(sha256Of(server.homePath() + QStringLiteral("/up.bin")), sha256Of(source));
    EXPECT_TRUE(
        moveFile(true, QStringLiteral("/up.bin"), local.filePath(QStringLiteral("down.bin"))));
    EXPECT_EQ(sha256Of(local.filePath(QStringLiteral("down.bin"))), sha256Of(source));
    EXPECT_FALSE(QFile::exists(server.homePath() + QStringLiteral("/up.bin.td")));
    EXPECT_TRUE(logged.isEmpty()) << logged.join(QString()).toStdString();
}

} // namespace
