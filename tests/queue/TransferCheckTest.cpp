#include "queue/PartRecord.h"
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

#include <QDateTime>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

using namespace integration;

// TransferOneFile on one logged-on connection to a pyftpdlib with the given digest commands,
// reading ftp.ini from the local folder.
struct CheckedMover {
    explicit CheckedMover(const QString& hashCommands, const QByteArray& ini)
        : server([&] {
              PyFtpdOptions options;
              options.hashCommands = hashCommands;
              return options;
          }()),
          iniWritten(writeFile(local.filePath(QStringLiteral("ftp.ini")), ini))
    {
        EXPECT_TRUE(server.start()) << server.errorText().toStdString();
        EXPECT_TRUE(iniWritten);
        LogonInfo logon = anonymousLogon(server.host(), server.port());
        logon.user = server.user();
        logon.password = server.password();
        EXPECT_TRUE(client.Logon(logon));
    }
    bool operator()(bool download, const QString& name, const QString& localName)
    {
        return move(download, QStringLiteral("/") + name, local.filePath(localName));
    }
    QString serverFile(const QString& name) const { return server.homePath() + u'/' + name; }

    PyFtpdServer server;
    TemporaryFolder local{QStringLiteral("checked")};
    const bool iniWritten; // before move, which reads ftp.ini
    FtpFileSystem connection{nullptr};
    FtpClient& client = *connection.ftp();
    RemoteBrowserState browser;
    RemoteNameEncodings encodings;
    NamedMutex engineLock{QStringLiteral("checked"), local.path()};
    ScriptedPrompt prompt;
    QStringList logged;
    RemoteOperations remote{connection, browser,
                            encodings,  engineLock,
                            prompt,     {{}, [this](const QString& line) { logged << line; }, {}}};
    TransferOneFile move{connection, remote, [] { return false; },
                         [this](const QString& line) { logged << line; },
                         local.filePath(QStringLiteral("ftp.ini"))};
};

bool setTime(const QString& path, const QDateTime& time)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) &&
           file.setFileTime(time, QFileDevice::FileModificationTime);
}

// XSHA256 both ways, a download that continues its own part (hashed first, then the rest),
// and the times carried across (MFMT up, MDTM down).
TEST(TransferCheckTest, OlderDigestCommandChecksBothWaysAndTimesAreKept)
{
    CheckedMover move(QStringLiteral("xsha256"), "[Transfer]\r\nKeepTimes=1\r\n");
    const QByteArray bytes = randomBytes(300000);
    const QString source = move.local.filePath(QStringLiteral("up.bin"));
    const QDateTime then(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    ASSERT_TRUE(writeFile(source, bytes) && setTime(source, then));
    EXPECT_TRUE(move(false, QStringLiteral("up.bin"), QStringLiteral("up.bin")));
    EXPECT_EQ(QFileInfo(move.serverFile(QStringLiteral("up.bin"))).lastModified(), then);

    auto parts = std::make_shared<PartRecord>();
    parts->add(move.local.filePath(QStringLiteral("down.bin.td")));
    move.move.setParts(parts);
    ASSERT_TRUE(writeFile(parts->paths().at(0), bytes.left(100000)));
    EXPECT_TRUE(move(true, QStringLiteral("up.bin"), QStringLiteral("down.bin")));
    EXPECT_EQ(sha256Of(move.local.filePath(QStringLiteral("down.bin"))), sha256Of(source));
    EXPECT_EQ(QFileInfo(move.local.filePath(QStringLiteral("down.bin"))).lastModified(), then);
    EXPECT_EQ(move.logged, QStringList({source + QStringLiteral("已校验 SHA-256\r\n"),
                                        QStringLiteral("/up.bin已校验 SHA-256\r\n")}));
}

// A refusal is reported once per connection; the sizes decide, as without a digest.
TEST(TransferCheckTest, RefusedDigestsAreReportedOnceAndTheFilesStand)
{
    CheckedMover move(QStringLiteral("refused"), "");
    ASSERT_TRUE(writeFile(move.serverFile(QStringLiteral("a.bin")), randomBytes(5000)));
    EXPECT_TRUE(move(true, QStringLiteral("a.bin"), QStringLiteral("a.bin")));
    EXPECT_TRUE(move(true, QStringLiteral("a.bin"), QStringLiteral("b.bin")));
    EXPECT_EQ(move.logged,
              QStringList(QStringLiteral("/a.bin的SHA-256校验无结果:550 Cannot hash /a.bin.\r\n")));
}

} // namespace
