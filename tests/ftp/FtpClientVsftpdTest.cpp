#include "IntegrationSupport.h"

#include "platform/TextCodec.h"
#include "support/VsftpdServer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <thread>

namespace {

using namespace integration;
using std::chrono::milliseconds;
using ::testing::Contains;

constexpr qint64 fourGiB = qint64(4) * 1024 * 1024 * 1024;

class VsftpdTest : public ::testing::Test {
protected:
    explicit VsftpdTest(VsftpdOptions options = {}) : server(options) {}

    void SetUp() override
    {
        ASSERT_TRUE(local.isValid());
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        logOn(client);
    }

    void logOn(FtpClient& ftp)
    {
        LogonInfo info;
        info.host = server.host();
        info.port = server.port();
        info.user = QStringLiteral("anonymous");
        ASSERT_TRUE(ftp.Logon(info)) << ftp.replyLine.toStdString();
    }

    QString localPath(const QString& name) const { return local.filePath(name); }
    QString serverPath(const QString& name) const { return server.pubPath() + u'/' + name; }

    // A file in the server's writable folder, owned by the server's user.
    void putOnServer(const QString& name, const QByteArray& bytes)
    {
        ASSERT_TRUE(writeFile(serverPath(name), bytes));
        ASSERT_TRUE(VsftpdServer::giveToServerUser(serverPath(name)));
    }

    QTemporaryDir local;
    VsftpdServer server;
    FtpClient client;
};

TEST_F(VsftpdTest, LogsOnAndListsTheRootFolder)
{
    EXPECT_TRUE(client.logonLog.startsWith(QStringLiteral("220 ")));
    EXPECT_EQ(client.serverKind, 0);
    EXPECT_EQ(client.codec().encoding(), TextCodec::Encoding::Gbk);
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    ASSERT_TRUE(client.Command(QString()));
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")));
    QStringList lines;
    for (qsizetype position = 0; client.NextListLine(position);)
        lines.append(client.listLine);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().startsWith(QLatin1Char('d')));
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral(" pub")));
}

TEST_F(VsftpdTest, ListingOfAFolderShowsItsFilesAndSizes)
{
    putOnServer(QStringLiteral("a.txt"), "12345");
    putOnServer(QStringLiteral("b.txt"), QByteArray(70000, 'b'));
    ASSERT_TRUE(client.List(QStringLiteral("pub")));
    ASSERT_TRUE(client.Command(QString()));
    QStringList lines;
    for (qsizetype position = 0; client.NextListLine(position);)
        lines.append(client.listLine);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_THAT(lines.at(0).toStdString(), ::testing::HasSubstr(" 5 "));
    EXPECT_TRUE(lines.at(0).endsWith(QStringLiteral("a.txt")));
    EXPECT_THAT(lines.at(1).toStdString(), ::testing::HasSubstr(" 70000 "));
    EXPECT_EQ(client.QuerySize(QStringLiteral("pub/b.txt")), QStringLiteral("70000"));
    EXPECT_EQ(client.QuerySize(QStringLiteral("pub/none.txt")), QStringLiteral("0"));
}

class VsftpdModeTest : public VsftpdTest, public ::testing::WithParamInterface<bool> {};

TEST_P(VsftpdModeTest, UploadedAndDownloadedFilesKeepTheirContent)
{
    const bool passive = GetParam();
    const QByteArray content = randomBytes(3 * 1024 * 1024 + 123);
    ASSERT_TRUE(writeFile(localPath(QStringLiteral("source.bin")), content));

    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/data.bin"),
                                    localPath(QStringLiteral("source.bin")), passive, false,
                                    QString()))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")));
    EXPECT_EQ(client.bytesDone, static_cast<quint64>(content.size()));
    EXPECT_EQ(sha256Of(serverPath(QStringLiteral("data.bin"))),
              sha256Of(localPath(QStringLiteral("source.bin"))));

    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/data.bin"),
                                    localPath(QStringLiteral("copy.bin")), passive, true,
                                    QString()))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")));
    EXPECT_EQ(client.totalBytes, static_cast<quint64>(content.size()));
    EXPECT_EQ(sha256Of(localPath(QStringLiteral("copy.bin"))),
              sha256Of(localPath(QStringLiteral("source.bin"))));
}

TEST_P(VsftpdModeTest, DownloadCutAtAnArbitraryOffsetResumesToTheSameFile)
{
    const bool passive = GetParam();
    const QByteArray content = randomBytes(2 * 1024 * 1024 + 7);
    putOnServer(QStringLiteral("src.bin"), content);
    ASSERT_TRUE(writeFile(localPath(QStringLiteral("src.bin.td")), content.left(777777)));
    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/src.bin"),
                                    localPath(QStringLiteral("src.bin.td")), passive, true,
                                    QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(client.bytesDone, static_cast<quint64>(content.size()));
    EXPECT_EQ(sha256Of(localPath(QStringLiteral("src.bin.td"))),
              sha256Of(serverPath(QStringLiteral("src.bin"))));
}

TEST_P(VsftpdModeTest, UploadCutAtAnArbitraryOffsetResumesToTheSameFile)
{
    const bool passive = GetParam();
    const QByteArray content = randomBytes(2 * 1024 * 1024 + 11);
    ASSERT_TRUE(writeFile(localPath(QStringLiteral("up.bin")), content));
    putOnServer(QStringLiteral("up.bin.td"), content.left(654321));
    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/up.bin.td"),
                                    localPath(QStringLiteral("up.bin")), passive, false, QString()))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")));
    EXPECT_EQ(client.remoteSizeText, QStringLiteral("654321"));
    EXPECT_EQ(sha256Of(serverPath(QStringLiteral("up.bin.td"))),
              sha256Of(localPath(QStringLiteral("up.bin"))));
}

INSTANTIATE_TEST_SUITE_P(Modes, VsftpdModeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) {
                             return std::string(mode.param ? "Passive" : "Active");
                         });

TEST_F(VsftpdTest, GbkNamesReachTheDiskAsGbkBytes)
{
    const QString name = QStringLiteral("报告-中文.txt");
    ASSERT_TRUE(writeFile(localPath(name), "gbk content"));
    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/") + name, localPath(name), false, false,
                                    QString()))
        << client.replyLine.toStdString();
    EXPECT_THAT(rawNames(server.pubPath()), Contains(TextCodec::toGbk(name)));

    ASSERT_TRUE(client.List(QStringLiteral("pub")));
    client.Command(QString());
    qsizetype position = 0;
    ASSERT_TRUE(client.NextListLine(position));
    EXPECT_TRUE(client.listLine.endsWith(name)) << client.listLine.toStdString();

    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/") + name,
                                    localPath(QStringLiteral("back.txt")), true, true, QString()));
    EXPECT_EQ(sha256Of(localPath(QStringLiteral("back.txt"))), sha256Of(localPath(name)));
}

class VsftpdUtf8Test : public VsftpdTest {
protected:
    VsftpdUtf8Test() : VsftpdTest(VsftpdOptions{true, 0, false}) {}
};

TEST_F(VsftpdUtf8Test, Utf8ServerGetsUtf8Names)
{
    EXPECT_EQ(client.codec().encoding(), TextCodec::Encoding::Utf8);
    const QString name = QStringLiteral("报告-中文.txt");
    ASSERT_TRUE(writeFile(localPath(name), "utf-8 content"));
    ASSERT_TRUE(
        client.TransferFile(QStringLiteral("pub/") + name, localPath(name), true, false, QString()))
        << client.replyLine.toStdString();
    EXPECT_THAT(rawNames(server.pubPath()), Contains(name.toUtf8()));

    ASSERT_TRUE(client.List(QStringLiteral("pub")));
    client.Command(QString());
    qsizetype position = 0;
    ASSERT_TRUE(client.NextListLine(position));
    EXPECT_TRUE(client.listLine.endsWith(name)) << client.listLine.toStdString();
    EXPECT_EQ(client.QuerySize(QStringLiteral("pub/") + name), QStringLiteral("13"));
}

class VsftpdLargeFileTest : public VsftpdTest {
protected:
    VsftpdLargeFileTest() : VsftpdTest(VsftpdOptions{false, 0, true}) {}
};

// 4 GiB + 1 MiB remote, 4 GiB + 100 bytes local: the restart offset needs all 64 bits, and
// only the tail may move.
TEST_F(VsftpdLargeFileTest, DownloadResumesBeyond4GiB)
{
    const QByteArray tail = randomBytes(1024 * 1024);
    ASSERT_TRUE(writeSparse(serverPath(QStringLiteral("big.bin")), fourGiB, tail));
    ASSERT_TRUE(writeSparse(localPath(QStringLiteral("big.bin.td")), fourGiB, tail.left(100)));
    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/big.bin"),
                                    localPath(QStringLiteral("big.bin.td")), true, true, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(client.totalBytes, static_cast<quint64>(fourGiB + tail.size()));
    EXPECT_EQ(client.bytesDone, client.totalBytes.load());
    EXPECT_EQ(QFile(localPath(QStringLiteral("big.bin.td"))).size(), fourGiB + tail.size());
    EXPECT_EQ(readTail(localPath(QStringLiteral("big.bin.td")), fourGiB), tail);
    EXPECT_LT(allocatedBytes(localPath(QStringLiteral("big.bin.td"))), 16 * 1024 * 1024);
    EXPECT_THAT(server.protocolLog().toStdString(), ::testing::HasSubstr("REST 4294967396"));
}

TEST_F(VsftpdLargeFileTest, UploadAppendsBeyond4GiB)
{
    const QByteArray tail = randomBytes(1024 * 1024);
    ASSERT_TRUE(writeSparse(localPath(QStringLiteral("big.bin")), fourGiB, tail));
    ASSERT_TRUE(writeSparse(serverPath(QStringLiteral("big.bin.td")), fourGiB, tail.left(100)));
    ASSERT_TRUE(VsftpdServer::giveToServerUser(serverPath(QStringLiteral("big.bin.td"))));
    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/big.bin.td"),
                                    localPath(QStringLiteral("big.bin")), false, false, QString()))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")));
    EXPECT_EQ(client.remoteSizeText, QStringLiteral("4294967396"));
    EXPECT_EQ(client.bytesDone, static_cast<quint64>(fourGiB + tail.size()));
    const QString remote = serverPath(QStringLiteral("big.bin.td"));
    EXPECT_EQ(QFile(remote).size(), fourGiB + tail.size());
    EXPECT_EQ(readTail(remote, fourGiB), tail);
    EXPECT_LT(allocatedBytes(remote), 16 * 1024 * 1024);
    EXPECT_THAT(server.protocolLog().toStdString(), ::testing::HasSubstr("APPE pub/big.bin.td"));
}

class VsftpdSlowTest : public VsftpdTest {
protected:
    VsftpdSlowTest() : VsftpdTest(VsftpdOptions{false, 1024 * 1024, false}) {}
};

TEST_F(VsftpdSlowTest, InterruptedDownloadResumesOnANewConnection)
{
    const QByteArray content = randomBytes(1024 * 1024 + 5);
    putOnServer(QStringLiteral("slow.bin"), content);
    // The transfer monitor's part: interrupt once the transfer is under way.
    std::thread monitor([this] {
        for (int i = 0; i < 2000 && client.bytesDone < 100 * 1024; ++i)
            std::this_thread::sleep_for(milliseconds(5));
        client.abortRequested = 1;
    });
    const bool result =
        client.TransferFile(QStringLiteral("pub/slow.bin"), localPath(QStringLiteral("slow.td")),
                            false, true, QString());
    monitor.join();
    ASSERT_TRUE(result) << client.replyLine.toStdString();
    EXPECT_EQ(client.abortRequested, 1);
    const qint64 part = QFile(localPath(QStringLiteral("slow.td"))).size();
    EXPECT_GE(part, 100 * 1024);
    EXPECT_LT(part, content.size());
    client.Disconnect();

    FtpClient resumer;
    logOn(resumer);
    ASSERT_TRUE(resumer.TransferFile(QStringLiteral("pub/slow.bin"),
                                     localPath(QStringLiteral("slow.td")), true, true, QString()))
        << resumer.replyLine.toStdString();
    EXPECT_EQ(sha256Of(localPath(QStringLiteral("slow.td"))),
              sha256Of(serverPath(QStringLiteral("slow.bin"))));
}

} // namespace
