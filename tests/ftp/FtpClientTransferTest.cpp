#include "FakeServerFixture.h"

#include <QFile>

#include <gmock/gmock.h>

namespace {

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

// The server's side of TYPE I and the data connection set-up; gives the PORT line, or an
// empty text in passive mode.
QByteArray serveDataSetup(FakeFtpSession& s, bool passive)
{
    s.exchange("TYPE I", "200 Switching to Binary mode.");
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

class TransferTest : public FakeServerFixture {
protected:
    using FakeServerFixture::FakeServerFixture;

    QString file() const { return localPath(QStringLiteral("local.bin")); }
};

class DownloadModeTest : public TransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(DownloadModeTest, DownloadRestartsAfterTheLocalPart)
{
    const bool passive = GetParam();
    const QByteArray content = pattern(30000);
    writeFile(file(), content.left(1000));
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE dir/f.bin", "213 30000");
        const QByteArray port = serveDataSetup(s, passive);
        s.exchange("REST 1000", "350 Restart position accepted (1000).");
        s.expect("RETR dir/f.bin");
        openData(s, port);
        s.send("150 Opening BINARY mode data connection.");
        s.sendData(content.mid(1000));
        s.closeData();
        s.send("226 Transfer complete.");
        s.exchange("PWD", "257 \"/\"");
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("dir/f.bin"), file(), passive, true,
                                    QStringLiteral("/cfg/ftp.ini")))
        << client.replyLine.toStdString();
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
    // The replies to RETR stay pending; the next query skips them.
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
    const QList<QByteArray> commands = commandsAfterLogon();
    ASSERT_EQ(commands.size(), 6);
    EXPECT_EQ(commands.at(0), "SIZE dir/f.bin");
    EXPECT_EQ(commands.at(1), "TYPE I");
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
        s.exchange("SIZE up.bin", "550 Could not get file size.");
        const QByteArray port = serveDataSetup(s, passive);
        s.expect("APPE up.bin");
        openData(s, port);
        s.send("150 Ok to send data.");
        received = s.receiveData();
        s.send("226 Transfer complete.");
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("up.bin"), file(), passive, false, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(client.totalBytes, 50000u);
    EXPECT_EQ(client.bytesDone, 50000u);
    EXPECT_EQ(client.transferDone, 1);
    EXPECT_EQ(client.transferActive, 0);
    expectScriptDone();
    EXPECT_EQ(received, content);
}

INSTANTIATE_TEST_SUITE_P(Modes, DownloadModeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) {
                             return std::string(mode.param ? "Passive" : "Active");
                         });
INSTANTIATE_TEST_SUITE_P(Modes, UploadModeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) {
                             return std::string(mode.param ? "Passive" : "Active");
                         });

TEST_F(TransferTest, PassiveConnectionGoesToTheControlPeerWhateverHostTheReplyNames)
{
    const QByteArray content = pattern(5000);
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 5000");
        s.exchange("TYPE I", "200 ok");
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
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("f"), file(), true, true, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(readFile(file()), content);
    expectScriptDone();
}

TEST_F(TransferTest, MalformedPassiveReplyFails)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 10");
        s.exchange("TYPE I", "200 ok");
        s.exchange("PASV", "227 Entering Passive Mode 127,0,0,1,4,1");
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("f"), file(), true, true, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("227 Entering Passive Mode 127,0,0,1,4,1"));
    expectScriptDone();
}

TEST_F(TransferTest, DownloadOfAnEmptyFileEndsWhenTheServerCloses)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE empty", "213 0");
        const QByteArray port = serveDataSetup(s, false);
        s.exchange("REST 0", "350 ok");
        s.expect("RETR empty");
        openData(s, port);
        s.send("150 ok");
        s.closeData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("empty"), file(), false, true, QString()));
    EXPECT_TRUE(QFile::exists(file()));
    EXPECT_EQ(QFile(file()).size(), 0);
    EXPECT_EQ(client.bytesDone, 0u);
    EXPECT_EQ(client.transferDone, 1);
    expectScriptDone();
}

TEST_F(TransferTest, DownloadOfACompleteLocalFileMovesNothing)
{
    const QByteArray content = pattern(3000);
    writeFile(file(), content);
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 3000");
        const QByteArray port = serveDataSetup(s, false);
        s.exchange("REST 3000", "350 ok");
        s.expect("RETR f");
        openData(s, port);
        s.send("150 ok");
        s.closeData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()));
    EXPECT_EQ(readFile(file()), content);
    EXPECT_EQ(client.bytesDone, 3000u);
    expectScriptDone();
}

TEST_F(TransferTest, RefusedRestartKeepsTheLocalPartUntouched)
{
    writeFile(file(), pattern(1000));
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 3000");
        serveDataSetup(s, false);
        s.exchange("REST 1000", "502 REST not implemented.");
        s.expect("RETR f");
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("502 REST not implemented."));
    EXPECT_EQ(readFile(file()), pattern(1000));
    EXPECT_EQ(client.transferActive, 1);
    expectScriptDone();
}

TEST_F(TransferTest, RefusedRestartAtZeroStillDownloads)
{
    const QByteArray content = pattern(2000);
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 2000");
        const QByteArray port = serveDataSetup(s, false);
        s.exchange("REST 0", "502 REST not implemented.");
        s.expect("RETR f");
        openData(s, port);
        s.send("150 ok");
        s.sendData(content);
        s.closeData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()));
    EXPECT_EQ(readFile(file()), content);
    expectScriptDone();
}

TEST_F(TransferTest, LocalPartLongerThanTheRemoteFileIsAFileError)
{
    writeFile(file(), pattern(5000));
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 3000");
        serveDataSetup(s, false);
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("文件错误"));
    EXPECT_EQ(readFile(file()), pattern(5000));
    EXPECT_EQ(commandsAfterLogon().size(), 3);
    expectScriptDone();
}

TEST_F(TransferTest, DownloadCutShortByTheServerIsANetworkErrorAndKeepsThePart)
{
    const QByteArray content = pattern(3000);
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 3000");
        const QByteArray port = serveDataSetup(s, false);
        s.exchange("REST 0", "350 ok");
        s.expect("RETR f");
        openData(s, port);
        s.send("150 ok");
        s.sendData(content.left(1200));
        s.closeData();
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    EXPECT_EQ(readFile(file()), content.left(1200));
    EXPECT_EQ(client.bytesDone, 1200u);
    expectScriptDone();
}

TEST_F(TransferTest, BrokenDataConnectionIsAFileError)
{
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 100000000");
        const QByteArray port = serveDataSetup(s, false);
        s.exchange("REST 0", "350 ok");
        s.expect("RETR f");
        openData(s, port);
        s.sendData(QByteArray(16 * 1024 * 1024, 'd'));
        s.resetData();
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("文件错误"));
    expectScriptDone();
}

TEST_F(TransferTest, StalledDownloadTimesOutWithNetworkError)
{
    client.setTimeout(milliseconds(300));
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 3000");
        const QByteArray port = serveDataSetup(s, false);
        s.exchange("REST 0", "350 ok");
        s.expect("RETR f");
        openData(s, port);
        s.sendData("first bytes");
        s.receiveData();
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    expectScriptDone();
}

TEST_F(TransferTest, ServerThatNeverConnectsTimesOut)
{
    client.setTimeout(milliseconds(300));
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 3000");
        serveDataSetup(s, false);
        s.exchange("REST 0", "350 ok");
        s.expect("RETR f");
        s.expectClosed();
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    client.Disconnect();
    expectScriptDone();
}

TEST_F(TransferTest, AbortedDownloadEndsAfterTheCurrentBlockAndReturnsTrue)
{
    startLoggedOn([this](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 1000000");
        const QByteArray port = serveDataSetup(s, false);
        s.exchange("REST 0", "350 ok");
        s.expect("RETR f");
        openData(s, port);
        s.sendData(pattern(1000));
        s.waitUntil([this] { return client.bytesDone > 0; }, "the first block arrived");
        client.abortRequested = 1;
        s.sendData(pattern(1000));
        // The client closes the connection although the file is far from complete.
        s.receiveData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("f"), file(), false, true, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(client.abortRequested, 1);
    EXPECT_GT(client.bytesDone, 1000u);
    EXPECT_LE(client.bytesDone, 2000u);
    EXPECT_EQ(QFile(file()).size(), static_cast<qint64>(client.bytesDone));
    EXPECT_EQ(client.transferDone, 1);
    expectScriptDone();
}

TEST_F(TransferTest, RestCarriesTheFull64BitOffset)
{
    const qint64 part = 4294967396; // 4 GiB + 100: its low 32 bits alone would say 100
    {
        QFile sparse(file());
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(part));
    }
    const QByteArray tail = pattern(100, 9);
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE big", "213 4294967496");
        const QByteArray port = serveDataSetup(s, true);
        s.exchange("REST 4294967396", "350 Restart position accepted (4294967396).");
        s.expect("RETR big");
        openData(s, port);
        s.sendData(tail);
        s.closeData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("big"), file(), true, true, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(client.totalBytes, 4294967496u);
    EXPECT_EQ(client.bytesDone, 4294967496u);
    QFile result(file());
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.size(), 4294967496);
    ASSERT_TRUE(result.seek(part));
    EXPECT_EQ(result.readAll(), tail);
    expectScriptDone();
}

TEST_F(TransferTest, UploadContinuesAfterThePartTheServerHas)
{
    const QByteArray content = pattern(9000, 5);
    writeFile(file(), content);
    QByteArray received;
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE up", "213 1000");
        const QByteArray port = serveDataSetup(s, false);
        s.expect("APPE up");
        openData(s, port);
        s.send("150 ok");
        received = s.receiveData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("up"), file(), false, false, QString()));
    EXPECT_EQ(client.bytesDone, 9000u);
    expectScriptDone();
    EXPECT_EQ(received, content.mid(1000));
}

TEST_F(TransferTest, UploadOfAFileTheServerHasWholeSendsNoData)
{
    writeFile(file(), pattern(4000));
    QByteArray received = "not called";
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE up", "213 4000");
        const QByteArray port = serveDataSetup(s, false);
        s.expect("APPE up");
        openData(s, port);
        s.send("150 ok");
        received = s.receiveData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("up"), file(), false, false, QString()));
    EXPECT_EQ(client.transferDone, 1);
    EXPECT_EQ(client.transferActive, 0);
    expectScriptDone();
    EXPECT_TRUE(received.isEmpty());
    const QList<QByteArray> commands = commandsAfterLogon();
    ASSERT_EQ(commands.size(), 4);
    EXPECT_EQ(commands.at(1), "TYPE I");
    EXPECT_TRUE(commands.at(2).startsWith("PORT "));
    EXPECT_EQ(commands.at(3), "APPE up");
}

TEST_F(TransferTest, UploadOverALongerRemoteFileIsAFileError)
{
    writeFile(file(), pattern(4000));
    QByteArray received = "not called";
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE up", "213 9000");
        const QByteArray port = serveDataSetup(s, false);
        s.expect("APPE up");
        openData(s, port);
        s.send("150 ok");
        received = s.receiveData();
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("up"), file(), false, false, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("文件错误"));
    expectScriptDone();
    EXPECT_TRUE(received.isEmpty());
}

TEST_F(TransferTest, UploadAppendsFromThe64BitRemoteSize)
{
    const qint64 part = 4294967396;
    const QByteArray tail = pattern(100, 11);
    {
        QFile sparse(file());
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(part));
        ASSERT_TRUE(sparse.seek(part));
        ASSERT_EQ(sparse.write(tail), tail.size());
    }
    QByteArray received;
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE big", "213 4294967396");
        const QByteArray port = serveDataSetup(s, true);
        s.expect("APPE big");
        openData(s, port);
        s.send("150 ok");
        received = s.receiveData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("big"), file(), true, false, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(client.totalBytes, 4294967496u);
    EXPECT_EQ(client.bytesDone, 4294967496u);
    expectScriptDone();
    EXPECT_EQ(received, tail);
}

TEST_F(TransferTest, AbortedUploadEndsAfterTheCurrentBlockAndReturnsTrue)
{
    const qint64 size = 64 * 1024 * 1024;
    {
        QFile large(file());
        ASSERT_TRUE(large.open(QIODevice::WriteOnly));
        ASSERT_TRUE(large.resize(size));
    }
    QByteArray received;
    startLoggedOn([&](FakeFtpSession& s) {
        s.exchange("SIZE up", "550 no");
        const QByteArray port = serveDataSetup(s, false);
        s.expect("APPE up");
        openData(s, port);
        s.send("150 ok");
        s.waitUntil([this] { return client.bytesDone > 0; }, "the first block went out");
        client.abortRequested = 1;
        received = s.receiveData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("up"), file(), false, false, QString()));
    EXPECT_EQ(client.abortRequested, 1);
    EXPECT_LT(client.bytesDone, static_cast<quint64>(size));
    expectScriptDone();
    EXPECT_EQ(static_cast<quint64>(received.size()), client.bytesDone.load());
}

TEST_F(TransferTest, RefusedAppendFailsAtOnceWithTheServersReply)
{
    writeFile(file(), pattern(10));
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE up", "550 no");
        serveDataSetup(s, false);
        s.exchange("APPE up", "553 Could not create file.");
    });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("up"), file(), false, false, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("553 Could not create file."));
    expectScriptDone();
}

TEST_F(TransferTest, MissingLocalFileForUploadIsShownAndStopsBeforeTheTransfer)
{
    const QString missing = localPath(QStringLiteral("不存在.bin"));
    startLoggedOn([](FakeFtpSession& s) { s.exchange("SIZE up", "550 no"); });
    EXPECT_FALSE(client.TransferFile(QStringLiteral("up"), missing, false, false, QString()));
    EXPECT_THAT(prompt.texts, ElementsAre(QStringLiteral("无法访问文件") + missing));
    EXPECT_EQ(client.replyLine, QStringLiteral("不能打开本地文件"));
    EXPECT_THAT(commandsAfterLogon(), ElementsAre(QByteArray("SIZE up")));
    expectScriptDone();
}

TEST_F(TransferTest, UnwritableLocalFileForDownloadIsShown)
{
    const QString unwritable = localPath(QStringLiteral("no/such/folder/f.bin"));
    startLoggedOn([](FakeFtpSession& s) {
        s.exchange("SIZE f", "213 10");
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
            s.exchange("SIZE \xe4\xb8\xad.txt", "213 0");
            const QByteArray port = serveDataSetup(s, false);
            s.exchange("REST 0", "350 ok");
            s.expect("RETR \xe4\xb8\xad.txt");
            openData(s, port);
            s.closeData();
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
        s.exchange("SIZE f", "213 7000");
        s.exchange("TYPE I", "200 ok");
        s.expect("EPSV");
        s.send(s.offerExtendedPassive());
        s.exchange("REST 0", "350 ok");
        s.expect("RETR f");
        s.acceptPassive();
        s.sendData(content);
        s.closeData();
    });
    ASSERT_TRUE(client.TransferFile(QStringLiteral("f"), file(), true, true, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(readFile(file()), content);
    expectScriptDone();
}

} // namespace
