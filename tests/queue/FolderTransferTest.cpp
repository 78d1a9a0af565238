// Folder walks against a real vsftpd (a tree up and down with the queue's ".td" routine) and
// against a scripted server for the listings a real server does not print: a chosen order,
// "total" lines, hostile names, unreadable lines, 3 GB sizes and refused listings.

#include "queue/FolderTransfer.h"
#include "session/FtpFileSystem.h"

#include "FolderTransferMover.h"
#include "ftp/IntegrationSupport.h"
#include "platform/NamedMutex.h"
#include "queue/TransferOneFile.h"
#include "session/RemoteBrowserState.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"
#include "support/FakeFtpServer.h"
#include "support/NamedCases.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"
#include "support/VsftpdServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

using namedcases::caseName;
using namedcases::operator<<;
using namespace integration;

using Listings = std::map<QByteArray, QByteArray>; // LIST argument -> listing
using Tree = std::map<QString, QByteArray>;        // relative path -> content

constexpr quint64 threeGB = quint64(3) * 1024 * 1024 * 1024;

QByteArray fileLine(const char* name, quint64 size = 3)
{
    return "-rw-r--r-- 1 ftp ftp " + QByteArray::number(size) + " Jan 01 00:00 " + name + "\r\n";
}

QByteArray folderLine(const char* name)
{
    return QByteArray("drwxr-xr-x 2 ftp ftp 4096 Jan 01 00:00 ") + name + "\r\n";
}

// A Unix-style server, active or passive: LIST answers from the table (a path not in it is
// refused), MKD and everything else is accepted, SIZE is refused. Ends at QUIT.
void serveListings(FakeFtpSession& s, const Listings& listings)
{
    s.send("220 fake server ready");
    s.exchange("USER anonymous", "230 Login successful.");
    s.answerFeat();
    QByteArray portCommand;
    for (int served = 0; served < 1000; ++served) {
        const QByteArray command = s.receive();
        const auto found = listings.find(command.mid(5));
        if (command == "QUIT") {
            s.send("221 Goodbye.");
            return;
        }
        if (command.startsWith("PORT ")) {
            portCommand = command;
            s.send("200 PORT command successful.");
        } else if (command == "PASV") {
            portCommand.clear();
            s.send(s.offerPassive());
        } else if (command.startsWith("LIST ") && found != listings.end()) {
            s.send("150 Here comes the directory listing.");
            if (portCommand.isEmpty())
                s.acceptPassive();
            else
                s.connectActive(portCommand);
            s.sendData(found->second);
            s.closeData();
            s.send("226 Directory send OK.");
        } else if (command.startsWith("LIST ") || command.startsWith("SIZE ")) {
            s.send("550 Failed.");
        } else {
            s.send("200 ok");
        }
    }
}

QStringList texts(std::initializer_list<const char*> items)
{
    QStringList list;
    for (const char* item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

bool writeTree(const QString& root, const Tree& tree)
{
    for (const auto& [path, content] : tree) {
        const QString full = root + u'/' + path;
        if (!QDir().mkpath(QFileInfo(full).path()) || !writeFile(full, content))
            return false;
    }
    return true;
}

// Every file under the root with its content, by path relative to the root.
Tree readTree(const QString& root)
{
    Tree tree;
    QDirIterator files(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        tree[QDir(root).relativeFilePath(path)] =
            file.open(QIODevice::ReadOnly) ? file.readAll() : "unreadable";
    }
    return tree;
}

quint64 bytesOf(const Tree& tree)
{
    quint64 sum = 0;
    for (const auto& entry : tree)
        sum += quint64(entry.second.size());
    return sum;
}

class FolderTransferTest : public ::testing::Test {
protected:
    struct Move {
        QString remote;
        QString local;
        quint64 doneBefore;
    };

    void SetUp() override
    {
        ASSERT_TRUE(local.isValid());
        client.setTimeout(std::chrono::milliseconds(5000));
    }

    void logOn(const QString& host, quint16 port)
    {
        ASSERT_TRUE(client.Logon(integration::anonymousLogon(host, port)))
            << client.replyLine.toStdString();
    }

    void startVsftpd(VsftpdOptions options = {})
    {
        vsftpd = std::make_unique<VsftpdServer>(options);
        ASSERT_TRUE(vsftpd->start()) << vsftpd->errorText().toStdString();
        logOn(vsftpd->host(), vsftpd->port());
    }

    void startFake(const Listings& listings)
    {
        fakeStarted = true;
        fake.start([listings](FakeFtpSession& s) { serveListings(s, listings); });
        logOn(fake.address(), fake.port());
    }

    void TearDown() override
    {
        if (fakeStarted && client.isConnected()) {
            client.Command(QStringLiteral("QUIT"));
            client.Disconnect();
            EXPECT_TRUE(fake.finish());
            EXPECT_TRUE(fake.succeeded()) << fake.failures().join(u'\n').toStdString();
        }
    }

    // Records each file instead of moving it; the answer and the stop flag follow the tests'
    // rules. A download leaves a file at the target so that nothing written can go unseen.
    FolderTransfer recordingWalk()
    {
        return FolderTransfer(
            connection,
            [this](bool download, const QString& remote, const QString& target,
                   std::optional<quint64>) {
                moves.push_back({remote, target, client.folderDoneBytes});
                if (download)
                    writeFile(target, "written");
                stop = stopAfter(moves.back().remote);
                return !failing.contains(remote);
            },
            [this] { return stop; }, [this](const QString& line) { logLines.append(line); });
    }

    QStringList movedRemotes() const
    {
        QStringList remotes;
        for (const Move& move : moves)
            remotes.append(move.remote);
        return remotes;
    }

    QString localPath(const char* name) const { return local.filePath(QString::fromUtf8(name)); }

    TemporaryFolder local{QStringLiteral("folder-transfer")};
    std::unique_ptr<VsftpdServer> vsftpd;
    FakeFtpServer fake;
    bool fakeStarted = false;
    FtpFileSystem connection{nullptr};
    FtpClient& client = *connection.ftp();
    std::vector<Move> moves;
    QStringList failing;
    std::function<bool(const QString&)> stopAfter = [](const QString&) { return false; };
    bool stop = false;
    QStringList logLines;
};

const Tree smallTree = {{QStringLiteral("x"), randomBytes(70000)},
                        {QStringLiteral("y"), QByteArray()},
                        {QStringLiteral("a/p"), randomBytes(4096)},
                        {QStringLiteral("a/c/q"), "q"},
                        {QStringLiteral("b/r"), randomBytes(12345)}};

TEST_F(FolderTransferTest, SmallTreeGoesUpAndComesBackIdentical)
{
    startVsftpd();
    ASSERT_TRUE(writeTree(localPath("up"), smallTree));
    ASSERT_TRUE(QDir().mkpath(localPath("up/empty")));
    FolderTransfer walk(
        connection, FolderTransferMover(client), [] { return false; },
        [this](const QString& line) { logLines.append(line); });

    walk.LocalFolderSize(localPath("up"));
    EXPECT_EQ(client.folderTotalBytes, bytesOf(smallTree));
    EXPECT_TRUE(walk.UploadFolder(QStringLiteral("/pub/tree"), localPath("up")));
    EXPECT_EQ(client.folderDoneBytes, bytesOf(smallTree));
    EXPECT_EQ(readTree(vsftpd->pubPath() + QStringLiteral("/tree")), smallTree);
    EXPECT_TRUE(QFileInfo(vsftpd->pubPath() + QStringLiteral("/tree/empty")).isDir());

    client.folderTotalBytes = 0;
    client.folderDoneBytes = 0;
    walk.RemoteFolderSize(QStringLiteral("/pub/tree"));
    EXPECT_EQ(client.folderTotalBytes, bytesOf(smallTree));
    EXPECT_TRUE(walk.DownloadFolder(QStringLiteral("/pub/tree"), localPath("down")));
    EXPECT_EQ(client.folderDoneBytes, bytesOf(smallTree));
    EXPECT_EQ(readTree(localPath("down")), smallTree);
    EXPECT_TRUE(QFileInfo(localPath("down/empty")).isDir());
    EXPECT_TRUE(logLines.isEmpty()) << logLines.join(QString()).toStdString();
}

// Inside a fetched folder a link to a folder comes as a folder, a link back up is left out,
// and a name ending in a blank keeps it.
TEST_F(FolderTransferTest, DownloadFollowsLinksToFoldersButNeverBackUpAndKeepsBlanks)
{
    startVsftpd();
    const QString pub = vsftpd->pubPath();
    ASSERT_TRUE(writeTree(pub, {{QStringLiteral("real/inside"), "in"},
                                {QStringLiteral("tree/notes "), "blank"},
                                {QStringLiteral("tree/notes"), "plain"}}));
    for (const char* folder : {"real", "real/inside", "tree", "tree/notes ", "tree/notes"})
        ASSERT_TRUE(VsftpdServer::giveToServerUser(pub + u'/' + QLatin1String(folder)));
    ASSERT_TRUE(QFile::link(QStringLiteral("../real"), pub + QStringLiteral("/tree/inner")));
    ASSERT_TRUE(QFile::link(QStringLiteral(".."), pub + QStringLiteral("/tree/up")));
    FolderTransfer walk(
        connection, FolderTransferMover(client), [] { return false; },
        [this](const QString& line) { logLines.append(line); });

    EXPECT_TRUE(walk.DownloadFolder(QStringLiteral("/pub/tree"), localPath("down")));
    EXPECT_EQ(readTree(localPath("down")), (Tree{{QStringLiteral("inner/inside"), "in"},
                                                 {QStringLiteral("notes "), "blank"},
                                                 {QStringLiteral("notes"), "plain"}}));
    EXPECT_EQ(logLines, QStringList{QStringLiteral("跳过指向上级文件夹的链接：/pub/tree/up\r\n")});
}

// The server refuses active mode: a walk that went active would fail or log the turn to passive.
TEST_F(FolderTransferTest, WalksGoPassiveUnlessActiveWasChosenAndGiveTheModeBack)
{
    VsftpdOptions noActiveMode;
    noActiveMode.portEnable = false;
    startVsftpd(noActiveMode);
    client.setLogSink([this](const QString& line) { logLines.append(line); });
    ASSERT_TRUE(writeTree(localPath("up"), smallTree));
    for (const DataConnectionMode mode :
         {DataConnectionMode::Automatic, DataConnectionMode::Active}) {
        client.setDataMode(mode);
        const bool automatic = mode == DataConnectionMode::Automatic;
        const QString remote = automatic ? QStringLiteral("/pub/auto") : QStringLiteral("/pub/act");
        EXPECT_EQ(FolderTransfer(connection, FolderTransferMover(client), [] { return false; }, {})
                      .UploadFolder(remote, localPath("up")),
                  automatic);
        EXPECT_EQ(client.dataMode(), mode);
    }
    EXPECT_EQ(readTree(vsftpd->pubPath() + QStringLiteral("/auto")), smallTree);
    EXPECT_FALSE(client.passiveInUse());
    EXPECT_TRUE(logLines.isEmpty()) << logLines.join(QString()).toStdString();
}

const Listings orderedListings = {
    {"/t", fileLine("y") + folderLine("b") + fileLine("x") + folderLine("a")},
    {"/t/b", fileLine("r")},
    {"/t/a", folderLine("c") + fileLine("p")},
    {"/t/a/c", fileLine("q")}};

// A walk started again moves only the missing files; those already there count as done from
// the start, and a tree that is all there is complete without any move.
TEST_F(FolderTransferTest, RestartedUploadMovesOnlyTheMissingFiles)
{
    startVsftpd();
    ASSERT_TRUE(writeTree(localPath("up"), smallTree));
    // The server leaves dot files out of its folder listings: the file itself is asked about.
    ASSERT_TRUE(writeTree(localPath("up"), {{QStringLiteral(".hidden"), "h"}}));
    ASSERT_TRUE(
        writeTree(vsftpd->pubPath() + QStringLiteral("/r"), {{QStringLiteral("x"), "x"},
                                                             {QStringLiteral(".hidden"), "h"},
                                                             {QStringLiteral("a/c/q"), "q"}}));
    EXPECT_TRUE(recordingWalk().UploadFolder(QStringLiteral("/pub/r"), localPath("up")));
    EXPECT_EQ(movedRemotes(), texts({"/pub/r/y", "/pub/r/a/p", "/pub/r/b/r"}));
    EXPECT_EQ(moves.front().doneBefore, 70001u);
    EXPECT_EQ(client.folderDoneBytes, bytesOf(smallTree) + 1);

    moves.clear();
    ASSERT_TRUE(writeTree(vsftpd->pubPath() + QStringLiteral("/r"), smallTree));
    EXPECT_TRUE(recordingWalk().UploadFolder(QStringLiteral("/pub/r"), localPath("up")));
    EXPECT_TRUE(moves.empty());
}

TEST_F(FolderTransferTest, RestartedDownloadMovesOnlyTheMissingFiles)
{
    startVsftpd();
    ASSERT_TRUE(writeTree(vsftpd->pubPath() + QStringLiteral("/d"), smallTree));
    ASSERT_TRUE(writeTree(localPath("down"), {{QStringLiteral("x"), "x"}}));
    EXPECT_TRUE(recordingWalk().DownloadFolder(QStringLiteral("/pub/d"), localPath("down")));
    EXPECT_EQ(movedRemotes().size(), 4);
    EXPECT_FALSE(movedRemotes().contains(QStringLiteral("/pub/d/x")));
    EXPECT_EQ(readTree(localPath("down")).at(QStringLiteral("x")), "x");
    EXPECT_EQ(client.folderDoneBytes, bytesOf(smallTree));
}

// Files first, then each sub-folder's tree in the order found; a stop ends the whole walk after
// the file in progress, while a failed file only makes the walk incomplete.
struct WalkCase {
    const char* name;
    bool download;
    const char* stopAfter; // names relative to the walked folder, apart by spaces
    const char* failing;
    bool complete;
    const char* expectedMoves;
    const char* absentFolders;
};

class FolderWalkTest : public FolderTransferTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(FolderWalkTest, MovesTheFilesInOrder)
{
    const WalkCase& c = GetParam();
    const QString remoteRoot = c.download ? QStringLiteral("/t/") : QStringLiteral("/pub/o/");
    const QString localRoot = localPath(c.download ? "down/" : "up/");
    stopAfter = [&](const QString& remote) {
        return remote == remoteRoot + QString::fromUtf8(c.stopAfter);
    };
    failing = QStringList{remoteRoot + QString::fromUtf8(c.failing)};
    bool complete = false;
    if (c.download) {
        startFake(orderedListings);
        complete = recordingWalk().DownloadFolder(QStringLiteral("/t"), localPath("down"));
    } else {
        startVsftpd();
        ASSERT_TRUE(writeTree(localPath("up"), smallTree));
        complete = recordingWalk().UploadFolder(QStringLiteral("/pub/o"), localPath("up"));
    }
    EXPECT_EQ(complete, c.complete);
    QStringList moved;
    for (const Move& move : moves) {
        moved << move.remote.mid(remoteRoot.size());
        EXPECT_EQ(move.local, localRoot + moved.last());
    }
    EXPECT_EQ(moved.join(u' '), QString::fromUtf8(c.expectedMoves));
    const QString targetRoot = c.download ? localRoot : vsftpd->pubPath() + QStringLiteral("/o/");
    for (const QString& folder : QString::fromUtf8(c.absentFolders).split(u' ', Qt::SkipEmptyParts))
        EXPECT_FALSE(QFileInfo::exists(targetRoot + folder)) << folder.toStdString();
}

const WalkCase walks[] = {
    {"UploadOrder", false, "", "", true, "x y a/p a/c/q b/r", ""},
    {"UploadStopped", false, "a/p", "", false, "x y a/p", "a/c b"},
    {"UploadWithAFailedFile", false, "", "y", false, "x y a/p a/c/q b/r", ""},
    {"DownloadKeepsTheServersOrder", true, "", "", true, "y x b/r a/p a/c/q", ""},
    {"DownloadStopped", true, "b/r", "", false, "y x b/r", "a"},
};
INSTANTIATE_TEST_SUITE_P(Walks, FolderWalkTest, ::testing::ValuesIn(walks), caseName);

TEST_F(FolderTransferTest, UploadFollowsLinksButNeverIntoALoop)
{
    startVsftpd();
    const QString up = localPath("up");
    ASSERT_TRUE(writeTree(up, {{QStringLiteral("x"), "xx"}, {QStringLiteral("a/p"), "ppp"}}));
    ASSERT_TRUE(QFile::link(up, up + QStringLiteral("/a/loop")));
    ASSERT_TRUE(QFile::link(up + QStringLiteral("/a"), up + QStringLiteral("/link")));
    ASSERT_TRUE(QFile::link(up, up + QStringLiteral("/self")));
    FolderTransfer walk = recordingWalk();

    walk.LocalFolderSize(up);
    EXPECT_EQ(client.folderTotalBytes, 8u);
    EXPECT_TRUE(walk.UploadFolder(QStringLiteral("/pub/l"), up));
    EXPECT_EQ(movedRemotes(), texts({"/pub/l/x", "/pub/l/a/p", "/pub/l/link/p"}));
    EXPECT_EQ(logLines.size(), 3) << logLines.join(QString()).toStdString();
}

// Such a name sent in a command would smuggle in a command line of its own.
TEST_F(FolderTransferTest, UploadLeavesOutNamesThatWouldEndACommandLine)
{
    startVsftpd();
    const QString up = localPath("up");
    ASSERT_TRUE(writeTree(up, {{QStringLiteral("x"), "x"}, {QStringLiteral("y\r\nDELE x"), "y"}}));
    EXPECT_FALSE(recordingWalk().UploadFolder(QStringLiteral("/pub/n"), up));
    EXPECT_EQ(movedRemotes(), texts({"/pub/n/x"}));
    EXPECT_EQ(logLines.size(), 1);
}

TEST_F(FolderTransferTest, ThreeGigabyteFileCountsInFull)
{
    startFake({{"/g", fileLine("big.iso", threeGB)}});
    ASSERT_TRUE(QDir().mkpath(localPath("up")));
    ASSERT_TRUE(writeSparse(localPath("up/big.iso"), qint64(threeGB) - 1, "z"));
    FolderTransfer walk = recordingWalk();

    walk.LocalFolderSize(localPath("up"));
    walk.RemoteFolderSize(QStringLiteral("/g"));
    EXPECT_EQ(client.folderTotalBytes, 2 * threeGB);
    EXPECT_TRUE(walk.UploadFolder(QStringLiteral("/g"), localPath("up")));
    EXPECT_TRUE(walk.DownloadFolder(QStringLiteral("/g"), localPath("down")));
    EXPECT_EQ(client.folderDoneBytes, 2 * threeGB);
}

struct ListingCase {
    const char* name;
    QByteArray listing;
    QStringList expectedMoves;
    bool complete;
};

class HostileListingTest : public FolderTransferTest,
                           public ::testing::WithParamInterface<ListingCase> {};

// Whatever the listing says, every file lands inside the target folder; a line that cannot
// be read ends the folder's walk, and the walk reports itself incomplete.
TEST_P(HostileListingTest, NothingIsWrittenOutsideTheTarget)
{
    const ListingCase& row = GetParam();
    startFake({{"/h", row.listing}, {"/h/sub", fileLine("inner")}});
    const QString target = localPath("in/target");
    ASSERT_TRUE(QDir().mkpath(target));

    EXPECT_EQ(recordingWalk().DownloadFolder(QStringLiteral("/h"), target), row.complete);
    EXPECT_EQ(movedRemotes(), row.expectedMoves);
    QDirIterator written(local.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                         QDirIterator::Subdirectories);
    while (written.hasNext()) {
        const QString path = written.next();
        EXPECT_TRUE(path.startsWith(target) || target.startsWith(path)) << path.toStdString();
    }
}

const ListingCase hostileListings[] = {
    {"ParentPath", fileLine("ok") + fileLine("../x") + fileLine("after"), texts({"/h/ok"}), false},
    {"SlashInName", fileLine("a/b") + fileLine("after"), {}, false},
    {"CarriageReturnInName", fileLine("ok") + fileLine("a\rDELE x"), texts({"/h/ok"}), false},
    {"DotFolders", folderLine(".") + folderLine("..") + folderLine("..  ") + fileLine("ok"),
     texts({"/h/ok"}), true},
    {"UnreadableLine",
     "total 8\r\n" + fileLine("ok") + "garbage\r\n" + fileLine("after") + folderLine("sub"),
     texts({"/h/ok"}), false},
    {"EmptyFolder", "total 0\r\n", {}, true},
    {"FilesThenSubFolder", folderLine("sub") + fileLine("ok"), texts({"/h/ok", "/h/sub/inner"}),
     true},
};
INSTANTIATE_TEST_SUITE_P(Listings, HostileListingTest, ::testing::ValuesIn(hostileListings),
                         caseName);

// The refusal is the server's answer: asked once.
TEST_F(FolderTransferTest, RefusedListingIsAskedOnceAndMakesTheWalkIncomplete)
{
    startFake({});
    EXPECT_FALSE(recordingWalk().DownloadFolder(QStringLiteral("/gone"), localPath("gone")));
    EXPECT_TRUE(moves.empty());
    client.Command(QStringLiteral("QUIT"));
    client.Disconnect();
    ASSERT_TRUE(fake.finish());
    EXPECT_EQ(fake.commands().count("LIST /gone"), 1);
}

// A listing beyond what the walk's entry limit leaves, once the sub-folders still to visit
// count against it, is refused with a log line and the walk fails.
TEST_F(FolderTransferTest, ListingBeyondTheEntryLimitIsRefused)
{
    startFake({{"/h", folderLine("f") + folderLine("g")},
               {"/h/f", fileLine("x") + fileLine("y")},
               {"/h/g", "total 0\r\n"}});
    FolderTransfer walk = recordingWalk();
    walk.setEntryLimit(2);
    EXPECT_FALSE(walk.DownloadFolder(QStringLiteral("/h"), localPath("h")));
    EXPECT_TRUE(moves.empty());
    EXPECT_EQ(logLines, QStringList{QStringLiteral("文件夹条目超过2项，未传输：/h/f\r\n")});
}

// A server listing "a.td" before "a": the walk fetches "a.td" as a file of its own and never
// continues it into "a".
TEST_F(FolderTransferTest, ServersTdFileIsNotTakenForAPart)
{
    PyFtpdOptions options;
    options.reverseListing = true;
    PyFtpdServer server(options);
    ASSERT_TRUE(server.start() && QDir(server.homePath()).mkdir(QStringLiteral("d")));
    ASSERT_TRUE(writeFile(server.homePath() + QStringLiteral("/d/a"), "the file"));
    ASSERT_TRUE(writeFile(server.homePath() + QStringLiteral("/d/a.td"), "td"));
    LogonInfo logon = anonymousLogon(server.host(), server.port());
    logon.user = server.user();
    logon.password = server.password();
    ASSERT_TRUE(client.Logon(logon));
    RemoteBrowserState browser;
    RemoteNameEncodings encodings;
    NamedMutex lock(QStringLiteral("parts"), local.path());
    ScriptedPrompt prompt;
    RemoteOperations remote(connection, browser, encodings, lock, prompt, {});
    TransferOneFile move(
        connection, remote, [] { return false; }, [](const QString&) {}, QString());
    move.setTargetsChecked(true);
    FolderTransfer walk(connection, std::ref(move), [] { return false; }, {});

    EXPECT_TRUE(walk.DownloadFolder(QStringLiteral("/d"), localPath("d")));
    EXPECT_EQ(readTree(localPath("d")),
              (Tree{{QStringLiteral("a"), "the file"}, {QStringLiteral("a.td"), "td"}}));
}

} // namespace
