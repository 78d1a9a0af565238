// RemoteOperations driven directly on a logged-on FtpClient: the existence probe against vsftpd
// and against a scripted server that prints "total" lines, and a tree delete on a server that
// never stops listing sub-folders.

#include "session/RemoteOperations.h"

#include "ftp/FtpClient.h"
#include "ftp/IntegrationSupport.h"
#include "platform/NamedMutex.h"
#include "session/FtpFileSystem.h"
#include "session/RemoteBrowserState.h"
#include "session/RemoteNameEncodings.h"
#include "support/FakeFtpServer.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using Listings = std::map<QByteArray, QByteArray>; // LIST argument -> listing

// Answers like a Unix server: every LIST argument gets the listing the table gives it (or the
// fallback), RMD is refused, every other command accepted. Ends at QUIT.
void serveUntilQuit(FakeFtpSession& s, const Listings& listings, const QByteArray& fallback)
{
    s.send("220 fake server ready");
    s.exchange("USER anonymous", "230 Login successful.");
    s.answerFeat();
    QByteArray portCommand;
    // Far more commands than any test sends; the bound only guards against a runaway client.
    for (int served = 0; served < 20000; ++served) {
        const QByteArray command = s.receive();
        if (command == "QUIT") {
            s.send("221 Goodbye.");
            return;
        }
        if (command.startsWith("PORT ")) {
            portCommand = command;
            s.send("200 PORT command successful.");
        } else if (command.startsWith("LIST ")) {
            const auto found = listings.find(command.mid(5));
            s.send("150 Here comes the directory listing.");
            s.connectActive(portCommand);
            s.sendData(found == listings.end() ? fallback : found->second);
            s.closeData();
            s.send("226 Directory send OK.");
        } else if (command.startsWith("RMD ")) {
            s.send("550 Remove directory operation failed.");
        } else if (command == "PWD") {
            s.send("257 \"/\" is the current directory");
        } else {
            s.send("200 ok");
        }
    }
}

class RemoteOperationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lockFolder.isValid());
        client.setTimeout(std::chrono::milliseconds(5000));
    }

    void logOn(const QString& host, quint16 port)
    {
        ASSERT_TRUE(client.Logon(integration::anonymousLogon(host, port)))
            << client.replyLine.toStdString();
    }

    RemoteOperations operations()
    {
        return RemoteOperations(connection, remote, encodings, engineLock, prompt,
                                RemoteOperations::Output{[](const QVector<CListItem>&) {},
                                                         [](const QString&) {},
                                                         [](const QString&) {}});
    }

    QTemporaryDir lockFolder;
    NamedMutex engineLock{QStringLiteral("mutex1"), lockFolder.path()};
    ScriptedPrompt prompt;
    RemoteBrowserState remote;
    RemoteNameEncodings encodings;
    FtpFileSystem connection{&prompt};
    FtpClient& client = *connection.ftp();
};

struct ProbeCase {
    const char* name;
    int expected;
};

TEST_F(RemoteOperationsTest, ProbeOnVsftpdTellsMissingFromListed)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    const QString pub = server.pubPath();
    ASSERT_TRUE(QDir().mkpath(pub + QStringLiteral("/folder")));
    ASSERT_TRUE(QDir().mkpath(pub + QStringLiteral("/empty")));
    for (const char* file : {"/a.txt", "/folder/inner.txt"}) {
        QFile created(pub + QString::fromLatin1(file));
        ASSERT_TRUE(created.open(QIODevice::WriteOnly));
    }
    logOn(server.host(), server.port());
    remote.setCurrentFolder(QStringLiteral("/pub"));
    RemoteOperations ops = operations();

    // vsftpd prints no "total" line: a folder with entries answers 1 like a file, and an empty
    // folder, which lists nothing at all, is found in its parent's listing.
    const ProbeCase cases[] = {{"missing", 0},     {"a.txt", 1}, {"/pub/a.txt", 1}, {"folder", 1},
                               {"/pub/folder", 1}, {"empty", 2}, {"/nowhere/x", 0}};
    for (const ProbeCase& row : cases)
        EXPECT_EQ(ops.ProbeRemote(QString::fromLatin1(row.name)), row.expected) << row.name;
    // The listing's final reply was read each time: the connection is still in step.
    EXPECT_TRUE(client.Command(QStringLiteral("NOOP")));
    EXPECT_TRUE(client.replyLine.startsWith(QLatin1String("200")))
        << client.replyLine.toStdString();
}

TEST_F(RemoteOperationsTest, ProbeAnswersTwoWhenTheListingBeginsWithTotal)
{
    FakeFtpServer server;
    ASSERT_TRUE(server.isListening());
    const Listings listings = {
        {"/srv/folder", "total 8\r\n-rw-r--r-- 1 ftp ftp 3 Jan 01 00:00 x.txt\r\n"},
        {"/srv/empty", "total 0\r\n"},
        {"/srv/file.txt", "-rw-r--r-- 1 ftp ftp 3 Jan 01 00:00 file.txt\r\n"},
        {"/srv/noise", "no listing line here\r\n-rw-r--r-- 1 ftp ftp 3 Jan 01 00:00 y\r\n"},
    };
    server.start([&listings](FakeFtpSession& s) { serveUntilQuit(s, listings, QByteArray()); });
    logOn(server.address(), server.port());
    remote.setCurrentFolder(QStringLiteral("/srv"));
    RemoteOperations ops = operations();

    const ProbeCase cases[] = {
        {"folder", 2}, {"empty", 2}, {"file.txt", 1}, {"noise", 1}, {"missing", 0}};
    for (const ProbeCase& row : cases)
        EXPECT_EQ(ops.ProbeRemote(QString::fromLatin1(row.name)), row.expected) << row.name;
    ASSERT_TRUE(client.Command(QStringLiteral("QUIT")));
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.succeeded()) << server.failures().join(QLatin1Char('\n')).toStdString();
}

// A server that ignores letter case (as on Windows) lists the source itself under its new
// spelling: renaming to that spelling asks nothing and deletes nothing.
TEST_F(RemoteOperationsTest, RenameToAnotherLetterCaseOnACaseBlindServerOnlyRenames)
{
    FakeFtpServer server;
    ASSERT_TRUE(server.isListening());
    const QByteArray line = "-rw-r--r-- 1 ftp ftp 3 Jan 01 00:00 A.txt\r\n";
    const Listings listings = {{"/srv/a.txt", line}, {"/srv/A.txt", line}, {"/srv/", line}};
    server.start([&listings](FakeFtpSession& s) { serveUntilQuit(s, listings, QByteArray()); });
    logOn(server.address(), server.port());
    remote.setCurrentFolder(QStringLiteral("/srv"));
    RemoteOperations ops = operations();

    ops.RenameRemote(QStringLiteral("A.txt"), QStringLiteral("a.txt"),
                     RemoteOperations::RenameOrigin::Dialog);
    ASSERT_TRUE(client.Command(QStringLiteral("QUIT")));
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.succeeded()) << server.failures().join(QLatin1Char('\n')).toStdString();

    EXPECT_TRUE(prompt.texts().isEmpty()) << prompt.texts().join(u'|').toStdString();
    QList<QByteArray> changes = server.commands();
    changes.removeIf([](const QByteArray& command) {
        return !command.startsWith("DELE ") && !command.startsWith("RMD ") &&
               !command.startsWith("RN");
    });
    EXPECT_EQ(changes, (QList<QByteArray>{"RNFR A.txt", "RNTO a.txt"}));
}

// A hostile or broken server that shows a further sub-folder in every folder cannot keep the
// delete descending forever; the folder that could not be emptied is reported as not deleted.
TEST_F(RemoteOperationsTest, TreeDeleteOnAnEndlesslyNestedListingEnds)
{
    FakeFtpServer server;
    ASSERT_TRUE(server.isListening());
    server.start([](FakeFtpSession& s) {
        serveUntilQuit(s, {}, "drwxr-xr-x 2 ftp ftp 4096 Jan 01 00:00 again\r\n");
    });
    logOn(server.address(), server.port());
    remote.setCurrentFolder(QStringLiteral("/"));
    RemoteOperations ops = operations();

    EXPECT_FALSE(ops.DeleteRemoteTree(QStringLiteral("top")));
    ASSERT_TRUE(client.Command(QStringLiteral("QUIT")));
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.succeeded()) << server.failures().join(QLatin1Char('\n')).toStdString();

    QList<QByteArray> removals;
    qsizetype listings = 0;
    for (const QByteArray& command : server.commands()) {
        if (command.startsWith("RMD "))
            removals.append(command);
        listings += command.startsWith("LIST ") ? 1 : 0;
    }
    EXPECT_GT(listings, 2);
    // One more listing: the parent's, which tells a folder from a link to one.
    EXPECT_EQ(removals.size() + 1, listings);
    ASSERT_FALSE(removals.isEmpty());
    EXPECT_EQ(removals.last(), "RMD /top");
    EXPECT_TRUE(removals.first().startsWith("RMD /top/again/again/"));
}

} // namespace
