#include "FakeServerFixture.h"
#include "support/NamedCases.h"

#include <QFile>

#include <gmock/gmock.h>

#include <thread>

namespace {

using namedcases::operator<<;
using namedcases::caseName;

using std::chrono::milliseconds;
using ::testing::ElementsAre;

QByteArray pattern(qsizetype size, char seed = 0)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + seed) % 251);
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file of the given size that takes no disk space, with the tail written after it.
void writeSparseFile(const QString& path, qint64 size, const QByteArray& tail = QByteArray())
{
    QFile sparse(path);
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(size));
    ASSERT_TRUE(sparse.seek(size));
    ASSERT_EQ(sparse.write(tail), tail.size());
}

// TYPE I and then SIZE: the size is asked in binary mode, where every server answers it.
void serveTypeAndSize(FakeFtpSession& s, const QByteArray& name, const QByteArray& sizeReply)
{
    s.exchange("TYPE I", "200 Switching to Binary mode.");
    s.exchange("SIZE " + name, sizeReply);
}

// The server's side of the data connection set-up; gives the PORT line, or an empty text in
// passive mode.
QByteArray serveDataSetup(FakeFtpSession& s, bool passive)
{
    if (passive) {
        s.expect("PASV");
        s.send(s.offerPassive());
        return QByteArray();
    }
    const QByteArray port = s.expectPrefix("PORT ");
    s.send("200 PORT command successful.");
    return port;
}

void openData(FakeFtpSession& s, const QByteArray& port)
{
    if (port.isEmpty())
        s.acceptPassive();
    else
        s.connectActive(port);
}

// One download as the server sees it: its answer to SIZE, the restart offset it expects
// and its answer to REST.
struct DownloadScript {
    QByteArray name = "f";
    QByteArray sizeReply = "213 0";
    QByteArray restart = "0";
    QByteArray restReply = "350 ok";
    bool passive = false;
};

QByteArray sizeReply(qsizetype size)
{
    return "213 " + QByteArray::number(size);
}

// TYPE I, SIZE, the data set-up, REST and RETR; gives the PORT line as serveDataSetup does.
QByteArray serveDownloadRequest(FakeFtpSession& s, const DownloadScript& d)
{
    serveTypeAndSize(s, d.name, d.sizeReply);
    const QByteArray port = serveDataSetup(s, d.passive);
    s.exchange("REST " + d.restart, d.restReply);
    s.expect("RETR " + d.name);
    return port;
}

// The request, then the data connection is opened; the script goes on from there.
void serveDownloadUntilData(FakeFtpSession& s, const DownloadScript& d)
{
    openData(s, serveDownloadRequest(s, d));
}

// A whole download: 150, the bytes, the end of the data connection and the closing reply
// (none: the server hangs up instead).
void serveDownload(FakeFtpSession& s, const DownloadScript& d, const QByteArray& bytes,
                   const QByteArray& closingReply = "226 Transfer complete.")
{
    serveDownloadUntilData(s, d);
    s.send("150 ok");
    if (!bytes.isEmpty())
        s.sendData(bytes);
    s.closeData();
    if (!closingReply.isEmpty())
        s.send(closingReply);
}

// TYPE I, SIZE with the given reply, the data set-up, APPE and 150; the data connection is
// open when it returns.
void serveUploadUntilData(FakeFtpSession& s, const QByteArray& name, const QByteArray& sizeReply,
                          bool passive = false)
{
    serveTypeAndSize(s, name, sizeReply);
    const QByteArray port = serveDataSetup(s, passive);
    s.expect("APPE " + name);
    openData(s, port);
    s.send("150 ok");
}

// After the data: the closing reply and the answer to the SIZE that checks the result.
void serveUploadEnd(FakeFtpSession& s, const QByteArray& name, const QByteArray& sizeAfter)
{
    s.send("226 Transfer complete.");
    s.exchange("SIZE " + name, sizeAfter);
}

std::string modeName(const ::testing::TestParamInfo<bool>& mode)
{
    return mode.param ? "Passive" : "Active";
}

class TransferTest : public FakeServerFixture {
protected:
    using FakeServerFixture::FakeServerFixture;

    QString file() const { return localPath(QStringLiteral("local.bin")); }

    bool download(const QString& remote = QStringLiteral("f"), bool passive = false)
    {
        return client.TransferFile(remote, file(), passive, true, QString());
    }
    bool upload(const QString& remote = QStringLiteral("up"), bool passive = false)
    {
        return client.TransferFile(remote, file(), passive, false, QString());
    }
};

class DownloadModeTest : public TransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DownloadModeTest, DownloadRestartsAfterTheLocalPart)
{
    const bool passive = GetParam();
    const QByteArray content = pattern(30000);
    writeFile(file(), content.left(1000));
    startLoggedOn([&](FakeFtpSession& s) {
        serveDownloadUntilData(s, {"dir/f.bin", "213 30000", "1000",
                                   "350 Restart position accepted (1000).", passive});
        s.send("150 Opening BINARY mode data connection.");
        s.sendData(content.mid(1000));
        s.closeData();
        s.send("226 Transfer complete.");
        s.exchange("PWD", "257 \"/\"");
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("dir/f.bin"), file(), passive, true,
                                    QStringLiteral("/cfg/ftp.ini")))
        << client.replyLine.toStdString();
    EXPECT_EQ(client.replyLine, QStringLiteral("226 Transfer complete."));
    EXPECT_EQ(readFile(file()), content);
    EXPECT_EQ(client.bytesDone, 30000u);
    EXPECT_EQ(client.totalBytes, 30000u);
    EXPECT_EQ(client.remoteSizeText, QStringLiteral("30000"));
    EXPECT_EQ(client.transferDone, 1);
    EXPECT_EQ(client.transferActive, 0);
    EXPECT_EQ(client.lastRemote, QStringLiteral("dir/f.bin"));
    EXPECT_EQ(client.lastLocal, file());
    EXPECT_EQ(client.lastPassive, passive);
    EXPECT_TRUE(client.lastDownload);
    EXPECT_EQ(client.lastExtra, QStringLiteral("/cfg/ftp.ini"));
    // The transfer's replies were all read: the next command gets its own answer.
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
    const QList<QByteArray> commands = commandsAfterLogon();
    ASSERT_EQ(commands.size(), 6);
    EXPECT_EQ(commands.at(0), "TYPE I");
    EXPECT_EQ(commands.at(1), "SIZE dir/f.bin");
    EXPECT_EQ(commands.at(2).left(5), passive ? QByteArray("PASV") : QByteArray("PORT "));
    EXPECT_EQ(commands.at(3), "REST 1000");
    EXPECT_EQ(commands.at(4), "RETR dir/f.bin");
    expectScriptDone();
}

class UploadModeTest : public TransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UploadModeTest, UploadOfANewFileStartsAtZeroAndAppends)
{
    const bool passive = GetParam();
    const QByteArray content = pattern(50000, 3);
    writeFile(file(), content);
    QByteArray received;
    startLoggedOn([&](FakeFtpSession& s) {
        serveUploadUntilData(s, "up.bin", "550 Could not get file size.", passive);
        received = s.receiveData();
        serveUploadEnd(s, "up.bin", sizeReply(received.size()));
    });
    ASSERT_TRUE(upload(QStringLiteral("up.bin"), passive)) << client.replyLine.toStdString();
    EXPECT_EQ(client.replyLine, QStringLiteral("226 Transfer complete."));
    EXPECT_EQ(client.totalBytes, 50000u);
    EXPECT_EQ(client.bytesDone, 50000u);
    EXPECT_EQ(client.transferDone, 1);
    EXPECT_EQ(client.transferActive, 0);
    expectScriptDone();
    EXPECT_EQ(received, content);
}

INSTANTIATE_TEST_SUITE_P(Modes, DownloadModeTest, ::testing::Values(false, true), modeName);
INSTANTIATE_TEST_SUITE_P(Modes, UploadModeTest, ::testing::Values(false, true), modeName);

// A download that runs to the end of its data connection: how much was here before, what the
// server says and sends, and what the client makes of it.
struct DownloadCase {
    const char* name;
    qsizetype localPart;
    qsizetype remoteSize;
    bool sizeKnown; // false: SIZE is refused
    QByteArray restReply;
    qsizetype sent;          // bytes after the local part
    QByteArray closingReply; // empty: the server hangs up instead
    bool succeeds;
    const char* reply; // replyLine afterwards
};

class DownloadOutcomeTest : public TransferTest,
                            public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(DownloadOutcomeTest, LocalFileHoldsWhatArrived)
{
    const DownloadCase& c = GetParam();
    const QByteArray content = pattern(c.remoteSize);
    if (c.localPart > 0)
        writeFile(file(), content.left(c.localPart));
    const QByteArray sent = content.mid(c.localPart, c.sent);
    const QByteArray size =
        c.sizeKnown ? sizeReply(c.remoteSize) : QByteArray("550 SIZE not allowed in ASCII mode.");
    startLoggedOn([&](FakeFtpSession& s) {
        serveDownload(s, {"f", size, QByteArray::number(c.localPart), c.restReply}, sent,
                      c.closingReply);
    });
    EXPECT_EQ(download(), c.succeeds) << client.replyLine.toStdString();
    EXPECT_EQ(client.replyLine, QString::fromUtf8(c.reply));
    EXPECT_TRUE(QFile::exists(file()));
    EXPECT_EQ(readFile(file()), content.left(c.localPart + c.sent));
    EXPECT_EQ(client.bytesDone, static_cast<quint64>(c.localPart + c.sent));
    EXPECT_EQ(client.transferDone, c.succeeds ? 1 : 0);
    expectScriptDone();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadOutcomeTest,
    ::testing::Values(
        DownloadCase{"EmptyFile", 0, 0, true, "350 ok", 0, "226 Transfer complete.", true,
                     "226 Transfer complete."},
        DownloadCase{"CompleteLocalFileMovesNothing", 3000, 3000, true, "350 ok", 0,
                     "226 Transfer complete.", true, "226 Transfer complete."},
        DownloadCase{"RefusedRestartAtZeroStillDownloads", 0, 2000, true,
                     "502 REST not implemented.", 2000, "226 Transfer complete.", true,
                     "226 Transfer complete."},
        DownloadCase{"ClosingReply250CountsAsComplete", 0, 2000, true, "350 ok", 2000,
                     "250 Closing data connection.", true, "250 Closing data connection."},
        DownloadCase{"UnknownSizeTrustsThePositiveClosingReply", 0, 2000, false, "350 ok", 2000,
                     "226 Transfer complete.", true, "226 Transfer complete."},
        // Without a size there is nothing to hold the local part against.
        DownloadCase{"UnknownSizeResumesAfterTheLocalPart", 2500, 6000, false, "350 ok", 3500,
                     "226 Transfer complete.", true, "226 Transfer complete."},
        // The part stays for a later restart.
        DownloadCase{"CutShortByTheServerIsANetworkErrorAndKeepsThePart", 0, 3000, true, "350 ok",
                     1200, "", false, "网络错误"},
        DownloadCase{"CutShortDespiteAPositiveClosingReplyIsANetworkError", 0, 3000, true, "350 ok",
                     1200, "226 Transfer complete.", false, "网络错误"},
        DownloadCase{"UnknownSizeAndAServerThatHangsUpIsANetworkError", 0, 3000, false,
                     "350 Restarting at position 0.", 1200, "", false, "网络错误"},
        DownloadCase{"UnknownSizeAndANegativeClosingReplyFailsWithIt", 0, 3000, false, "350 ok",
                     1200, "426 Connection closed; transfer aborted.", false,
                     "426 Connection closed; transfer aborted."}),
    caseName);

TEST_F(TransferTest, PassiveConnectionGoesToTheControlPeerWhateverHostTheReplyNames)
{
    const QByteArray content = pattern(5000);
    startLoggedOn([&](FakeFtpSession& s) {
        serveTypeAndSize(s, "f", "213 5000");
        s.expect("PASV");
        QByteArray reply = s.offerPassive();
        reply.replace("(127,0,0,1,", "(10,0,0,7,");
        s.send(reply);
        s.exchange("REST 0", "350 ok");
        s.expect("RETR f");
        s.acceptPassive();
        s.send("150 ok");
        s.sendData(content);
        s.closeData();
        s.send("226 ok");
    });
    ASSERT_TRUE(download(QStringLiteral("f"), true)) << client.replyLine.toStdString();
    EXPECT_EQ(readFile(file()), content);
    expectScriptDone();
}

TEST_F(TransferTest, MalformedPassiveReplyFails)
{
    startLoggedOn([](FakeFtpSession& s) {
        serveTypeAndSize(s, "f", "213 10");
        s.exchange("PASV", "227 Entering Passive Mode 127,0,0,1,4,1");
    });
    EXPECT_FALSE(download(QStringLiteral("f"), true));
    EXPECT_EQ(client.replyLine, QStringLiteral("227 Entering Passive Mode 127,0,0,1,4,1"));
    expectScriptDone();
}

TEST_F(TransferTest, RefusedRestartKeepsTheLocalPartUntouched)
{
    writeFile(file(), pattern(1000));
    startLoggedOn([](FakeFtpSession& s) {
        serveDownloadRequest(s, {"f", "213 3000", "1000", "502 REST not implemented."});
    });
    EXPECT_FALSE(download());
    EXPECT_EQ(client.replyLine, QStringLiteral("502 REST not implemented."));
    EXPECT_EQ(readFile(file()), pattern(1000));
    EXPECT_EQ(client.transferActive, 1);
    expectScriptDone();
}

TEST_F(TransferTest, LocalPartLongerThanTheRemoteFileIsAFileError)
{
    writeFile(file(), pattern(5000));
    startLoggedOn([](FakeFtpSession& s) {
        serveTypeAndSize(s, "f", "213 3000");
        serveDataSetup(s, false);
    });
    EXPECT_FALSE(download());
    EXPECT_EQ(client.replyLine, QStringLiteral("文件错误"));
    EXPECT_EQ(readFile(file()), pattern(5000));
    EXPECT_EQ(commandsAfterLogon().size(), 3);
    expectScriptDone();
}

TEST_F(TransferTest, BrokenDataConnectionIsAFileError)
{
    startLoggedOn([](FakeFtpSession& s) {
        serveDownloadUntilData(s, {"f", "213 100000000"});
        s.sendData(QByteArray(16 * 1024 * 1024, 'd'));
        s.resetData();
    });
    EXPECT_FALSE(download());
    EXPECT_EQ(client.replyLine, QStringLiteral("文件错误"));
    expectScriptDone();
}

TEST_F(TransferTest, BrokenDataConnectionReportsTheServersReasonWhenItGivesOne)
{
    startLoggedOn([](FakeFtpSession& s) {
        serveDownloadUntilData(s, {"f", "213 100000000"});
        s.send("150 ok");
        s.sendData(QByteArray(1024 * 1024, 'd'));
        s.resetData();
        s.send("451 Local error in processing.");
        s.exchange("PWD", "257 \"/\"");
    });
    EXPECT_FALSE(download());
    EXPECT_EQ(client.replyLine, QStringLiteral("451 Local error in processing."));
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
    expectScriptDone();
}

// A server that sends more than the size it announced never grows the part past that size.
TEST_F(TransferTest, BytesBeyondTheAnnouncedSizeFailAndAreNotWritten)
{
    const QByteArray content = pattern(50000);
    startLoggedOn([&content](FakeFtpSession& s) { serveDownload(s, {"f", "213 1000"}, content); });
    EXPECT_FALSE(download());
    EXPECT_FALSE(client.networkFailure);
    EXPECT_EQ(readFile(file()), content.left(1000));
    expectScriptDone();
}

TEST_F(TransferTest, StalledDownloadTimesOutWithNetworkError)
{
    client.setTimeout(milliseconds(300));
    startLoggedOn([](FakeFtpSession& s) {
        serveDownloadUntilData(s, {"f", "213 3000"});
        s.sendData("first bytes");
        s.receiveData();
    });
    EXPECT_FALSE(download());
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    expectScriptDone();
}

TEST_F(TransferTest, ServerThatNeverConnectsTimesOut)
{
    client.setTimeout(milliseconds(300));
    startLoggedOn([](FakeFtpSession& s) {
        serveDownloadRequest(s, {"f", "213 3000"});
        s.expectClosed();
    });
    EXPECT_FALSE(download());
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    client.Disconnect();
    expectScriptDone();
}

TEST_F(TransferTest, AbortedDownloadEndsAfterTheCurrentBlockAndReturnsTrue)
{
    startLoggedOn([this](FakeFtpSession& s) {
        serveDownloadUntilData(s, {"f", "213 1000000"});
        s.sendData(pattern(1000));
        s.waitUntil([this] { return client.bytesDone > 0; }, "the first block arrived");
        client.abortRequested = 1;
        s.sendData(pattern(1000));
        // The client closes the connection although the file is far from complete.
        s.receiveData();
        s.send("426 Connection closed; transfer aborted.");
        s.exchange("PWD", "257 \"/\"");
    });
    ASSERT_TRUE(download()) << client.replyLine.toStdString();
    EXPECT_EQ(client.abortRequested, 1);
    EXPECT_GE(client.bytesDone, 1000u);
    EXPECT_LE(client.bytesDone, 2000u);
    EXPECT_EQ(QFile(file()).size(), static_cast<qint64>(client.bytesDone));
    EXPECT_EQ(client.transferDone, 1);
    // The server's answer to the interrupted transfer is not taken for the next reply.
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
    expectScriptDone();
}

TEST_F(TransferTest, RestCarriesTheFull64BitOffset)
{
    const qint64 part = 4294967396; // 4 GiB + 100: its low 32 bits alone would say 100
    writeSparseFile(file(), part);
    const QByteArray tail = pattern(100, 9);
    startLoggedOn([&](FakeFtpSession& s) {
        serveDownloadUntilData(s, {"big", "213 4294967496", "4294967396",
                                   "350 Restart position accepted (4294967396).", true});
        s.sendData(tail);
        s.closeData();
        s.send("226 ok");
    });
    ASSERT_TRUE(download(QStringLiteral("big"), true)) << client.replyLine.toStdString();
    EXPECT_EQ(client.totalBytes, 4294967496u);
    EXPECT_EQ(client.bytesDone, 4294967496u);
    QFile result(file());
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.size(), 4294967496);
    ASSERT_TRUE(result.seek(part));
    EXPECT_EQ(result.readAll(), tail);
    expectScriptDone();
}

// An upload over a file the server already has part of: it always appends, from the size the
// server reports, and is complete only when the server's size afterwards says so.
struct UploadCase {
    const char* name;
    qsizetype localSize;
    QByteArray sizeBefore;
    QByteArray closingReply;
    QByteArray sizeAfter; // empty: not asked
    bool succeeds;
    const char* reply; // replyLine afterwards
};

class UploadOutcomeTest : public TransferTest, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(UploadOutcomeTest, ServerGetsTheMissingTail)
{
    const UploadCase& c = GetParam();
    const QByteArray content = pattern(c.localSize, 5);
    writeFile(file(), content);
    const qsizetype start = c.sizeBefore.startsWith("213") ? c.sizeBefore.mid(4).toLongLong() : 0;
    QByteArray received = "not called";
    startLoggedOn([&](FakeFtpSession& s) {
        serveUploadUntilData(s, "up", c.sizeBefore);
        received = s.receiveData();
        s.send(c.closingReply);
        if (!c.sizeAfter.isEmpty())
            s.exchange("SIZE up", c.sizeAfter);
    });
    EXPECT_EQ(upload(), c.succeeds) << client.replyLine.toStdString();
    EXPECT_EQ(client.replyLine, QString::fromUtf8(c.reply));
    EXPECT_EQ(client.bytesDone, static_cast<quint64>(c.localSize));
    EXPECT_EQ(client.transferDone, c.succeeds ? 1 : 0);
    EXPECT_EQ(client.transferActive, c.succeeds ? 0 : 1);
    expectScriptDone();
    EXPECT_EQ(received, content.mid(start));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UploadOutcomeTest,
    ::testing::Values(
        UploadCase{"ContinuesAfterThePartTheServerHas", 9000, "213 1000", "226 Transfer complete.",
                   "213 9000", true, "226 Transfer complete."},
        UploadCase{"FileTheServerHasWholeSendsNoData", 4000, "213 4000", "226 Transfer complete.",
                   "213 4000", true, "226 Transfer complete."},
        UploadCase{"ServerWithoutSizeIsTakenAtItsWord", 5000, "502 SIZE not implemented.",
                   "226 Transfer complete.", "502 SIZE not implemented.", true,
                   "226 Transfer complete."},
        UploadCase{"ServerKeepingLessThanWasSentIsANetworkError", 5000, "550 No such file.",
                   "226 Transfer complete.", "213 3000", false, "网络错误"},
        UploadCase{"NegativeClosingReplyFailsWithIt", 5000, "550 No such file.",
                   "451 Failure writing to local file.", "", false,
                   "451 Failure writing to local file."}),
    caseName);

TEST_F(TransferTest, UploadOverALongerRemoteFileIsAFileErrorAndSendsNothing)
{
    writeFile(file(), pattern(4000));
    startLoggedOn([](FakeFtpSession& s) {
        serveTypeAndSize(s, "up", "213 9000");
        serveDataSetup(s, false);
    });
    EXPECT_FALSE(upload());
    EXPECT_EQ(client.replyLine, QStringLiteral("文件错误"));
    EXPECT_EQ(commandsAfterLogon().size(), 3);
    expectScriptDone();
}

TEST_F(TransferTest, UploadAppendsFromThe64BitRemoteSize)
{
    const qint64 part = 4294967396;
    const QByteArray tail = pattern(100, 11);
    writeSparseFile(file(), part, tail);
    QByteArray received;
    startLoggedOn([&](FakeFtpSession& s) {
        serveUploadUntilData(s, "big", "213 4294967396", true);
        received = s.receiveData();
        serveUploadEnd(s, "big", "213 4294967496");
    });
    ASSERT_TRUE(upload(QStringLiteral("big"), true)) << client.replyLine.toStdString();
    EXPECT_EQ(client.totalBytes, 4294967496u);
    EXPECT_EQ(client.bytesDone, 4294967496u);
    expectScriptDone();
    EXPECT_EQ(received, tail);
}

TEST_F(TransferTest, AbortedUploadEndsAfterTheCurrentBlockAndReturnsTrue)
{
    const qint64 size = 64 * 1024 * 1024;
    writeSparseFile(file(), size);
    QByteArray received;
    startLoggedOn([&](FakeFtpSession& s) {
        serveUploadUntilData(s, "up", "550 no");
        s.waitUntil([this] { return client.bytesDone > 0; }, "the first block went out");
        client.abortRequested = 1;
        received = s.receiveData();
        s.send("226 Transfer complete.");
    });
    ASSERT_TRUE(upload());
    EXPECT_EQ(client.abortRequested, 1);
    EXPECT_LT(client.bytesDone, static_cast<quint64>(size));
    expectScriptDone();
    EXPECT_EQ(static_cast<quint64>(received.size()), client.bytesDone.load());
}

// A server that stops moving data: the abort flag ends the transfer long before the
// time-out would.
TEST_P(DownloadModeTest, AbortEndsAStalledTransferPromptly)
{
    const bool passive = GetParam();
    client.setTimeout(milliseconds(20000));
    startLoggedOn([&](FakeFtpSession& s) {
        serveDownloadUntilData(s, {"f", "213 1000000", "0", "350 ok", passive});
        s.send("150 ok");
        s.sendData(pattern(1000));
        s.waitUntil([this] { return client.bytesDone > 0; }, "the first block arrived");
        client.abortRequested = 1;
        s.receiveData();
    });
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(download(QStringLiteral("f"), passive)) << client.replyLine.toStdString();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(client.bytesDone, 1000u);
    EXPECT_EQ(QFile(file()).size(), 1000);
    expectScriptDone();
}

TEST_P(UploadModeTest, AbortEndsAStalledTransferPromptly)
{
    const bool passive = GetParam();
    client.setTimeout(milliseconds(20000));
    writeSparseFile(file(), 256 * 1024 * 1024);
    startLoggedOn([&](FakeFtpSession& s) {
        serveUploadUntilData(s, "up", "550 no", passive);
        // Nothing is read: the client's send buffer fills and stays full.
        s.waitUntil([this] { return client.bytesDone > 0; }, "the first bytes went out");
        std::this_thread::sleep_for(milliseconds(200));
        client.abortRequested = 1;
        s.waitUntil([this] { return client.transferDone == 1; }, "the client gave up");
    });
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(upload(QStringLiteral("up"), passive)) << client.replyLine.toStdString();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(client.abortRequested, 1);
    EXPECT_LT(client.bytesDone, 256u * 1024 * 1024);
    expectScriptDone();
}

TEST_F(TransferTest, RefusedAppendFailsAtOnceWithTheServersReply)
{
    writeFile(file(), pattern(10));
    startLoggedOn([](FakeFtpSession& s) {
        serveTypeAndSize(s, "up", "550 no");
        serveDataSetup(s, false);
        s.exchange("APPE up", "553 Could not create file.");
    });
    EXPECT_FALSE(upload());
    EXPECT_EQ(client.replyLine, QStringLiteral("553 Could not create file."));
    expectScriptDone();
}

// The server refuses the transfer command and never opens (active) or serves (passive) the
// data connection: the refusal ends the call at once, with the server's text.
struct RefusalCase {
    const char* name;
    bool download;
    bool passive;
    QByteArray refusal;
};

class RefusedTransferTest : public TransferTest,
                            public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedTransferTest, FailsAtOnceWithTheServersReply)
{
    const RefusalCase& c = GetParam();
    client.setTimeout(milliseconds(20000));
    writeFile(file(), c.download ? QByteArray() : pattern(100));
    startLoggedOn([&](FakeFtpSession& s) {
        serveTypeAndSize(s, "f", "550 No such file.");
        serveDataSetup(s, c.passive);
        if (c.download)
            s.exchange("REST 0", "350 ok");
        s.expect(c.download ? "RETR f" : "APPE f");
        s.send(c.refusal);
        s.exchange("PWD", "257 \"/\"");
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        client.TransferFile(QStringLiteral("f"), file(), c.passive, c.download, QString()));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(client.replyLine, QString::fromLatin1(c.refusal));
    EXPECT_EQ(client.transferDone, 0);
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
    expectScriptDone();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedTransferTest,
    ::testing::Values(RefusalCase{"MissingFileActive", true, false, "550 Failed to open file."},
                      RefusalCase{"MissingFilePassive", true, true, "550 Failed to open file."},
                      RefusalCase{"BusyFileActive", true, false, "450 File unavailable."},
                      RefusalCase{"UploadRefusedPassive", false, true,
                                  "553 Could not create file."}),
    caseName);

TEST_F(TransferTest, MissingLocalFileForUploadIsShownAndStopsBeforeTheTransfer)
{
    const QString missing = localPath(QStringLiteral("不存在.bin"));
    startLoggedOn([](FakeFtpSession& s) { serveTypeAndSize(s, "up", "550 no"); });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("up"), missing, false, false, QString()));
    EXPECT_THAT(prompt.texts, ElementsAre(QStringLiteral("无法访问文件") + missing));
    EXPECT_EQ(client.replyLine, QStringLiteral("不能打开本地文件"));
    EXPECT_THAT(commandsAfterLogon(), ElementsAre(QByteArray("TYPE I"), QByteArray("SIZE up")));
    expectScriptDone();
}

TEST_F(TransferTest, UnwritableLocalFileForDownloadIsShown)
{
    const QString unwritable = localPath(QStringLiteral("no/such/folder/f.bin"));
    startLoggedOn([](FakeFtpSession& s) {
        serveTypeAndSize(s, "f", "213 10");
        serveDataSetup(s, false);
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("f"), unwritable, false, true, QString()));
    EXPECT_THAT(prompt.texts, ElementsAre(QStringLiteral("无法访问文件") + unwritable));
    expectScriptDone();
}

TEST_F(TransferTest, RemoteNamesUseTheConnectionCodec)
{
    startLoggedOn(
        [](FakeFtpSession& s) {
            serveDownload(s, {"\xe4\xb8\xad.txt", "213 0"}, QByteArray());
        },
        true);
    ASSERT_TRUE(client.TransferFile(QStringLiteral("中.txt"), localPath(QStringLiteral("中.txt")),
                                    false, true, QString()));
    EXPECT_TRUE(QFile::exists(localPath(QStringLiteral("中.txt"))));
    expectScriptDone();
}

class Ipv6TransferTest : public TransferTest {
protected:
    Ipv6TransferTest() : TransferTest(QStringLiteral("::1")) {}
};

TEST_F(Ipv6TransferTest, PassiveDownloadOverIpv6UsesEpsv)
{
    if (!server.isListening())
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    const QByteArray content = pattern(7000);
    startLoggedOn([&](FakeFtpSession& s) {
        serveTypeAndSize(s, "f", "213 7000");
        s.expect("EPSV");
        s.send(s.offerExtendedPassive());
        s.exchange("REST 0", "350 ok");
        s.expect("RETR f");
        s.acceptPassive();
        s.sendData(content);
        s.closeData();
        s.send("226 ok");
    });
    ASSERT_TRUE(download(QStringLiteral("f"), true)) << client.replyLine.toStdString();
    EXPECT_EQ(readFile(file()), content);
    expectScriptDone();
}

} // namespace
