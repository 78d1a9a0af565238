#include "IntegrationSupport.h"

#include "ftp/SpeedLimits.h"
#include "platform/TextCodec.h"
#include "support/PyFtpdServer.h"

#include <QTemporaryDir>
#include <QTest>

#include <gmock/gmock.h>

#include <thread>

namespace {

using namespace integration;
using std::chrono::milliseconds;

class PyFtpdTest : public ::testing::Test {
protected:
    explicit PyFtpdTest(void (*configure)(PyFtpdOptions&) = nullptr) : server(with(configure)) {}

    static PyFtpdOptions with(void (*configure)(PyFtpdOptions&))
    {
        PyFtpdOptions options;
        if (configure != nullptr)
            configure(options);
        return options;
    }

    void SetUp() override
    {
        ASSERT_TRUE(local.isValid());
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    }

    LogonInfo logon(const QString& password) const
    {
        LogonInfo info;
        info.host = server.host();
        info.port = server.port();
        info.user = server.user();
        info.password = password;
        return info;
    }

    void logOn() { ASSERT_TRUE(client.Logon(logon(server.password()))) << reply(); }

    std::string reply() const { return client.replyLine.toStdString(); }
    QString localPath(const QString& name) const { return local.filePath(name); }
    QString serverPath(const QString& name) const { return server.homePath() + u'/' + name; }

    QTemporaryDir local;
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
    logOn();
    EXPECT_EQ(client.codec().encoding(), TextCodec::Encoding::Utf8);
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
    const QString name = QStringLiteral("上传.bin");
    const QByteArray content = randomBytes(100000);
    ASSERT_TRUE(writeFile(localPath(name), content));
    ASSERT_TRUE(client.TransferFile(name, localPath(name), true, false, QString())) << reply();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")));
    EXPECT_THAT(rawNames(server.homePath()), ::testing::Contains(name.toUtf8()));
    EXPECT_EQ(sha256Of(serverPath(name)), sha256Of(localPath(name)));
}

class PyFtpdDirectionTest : public PyFtpdTest, public ::testing::WithParamInterface<bool> {};

// pyftpdlib answers SIZE only in binary mode: both resumes depend on asking it there. The
// receiving side holds the first 1,000,000 bytes; only the rest may move.
TEST_P(PyFtpdDirectionTest, ResumesFromThePartTheReceivingSideHas)
{
    logOn();
    const bool download = GetParam();
    const QByteArray content = randomBytes(3000005);
    const QString source =
        download ? serverPath(QStringLiteral("f.bin")) : localPath(QStringLiteral("f.bin"));
    const QString part =
        download ? localPath(QStringLiteral("f.bin.td")) : serverPath(QStringLiteral("f.bin.td"));
    ASSERT_TRUE(writeFile(source, content));
    ASSERT_TRUE(writeFile(part, content.left(1000000)));
    const QString remote = download ? QStringLiteral("f.bin") : QStringLiteral("f.bin.td");
    const QString localFile = download ? part : source;
    ASSERT_TRUE(client.TransferFile(remote, localFile, download, download, QString())) << reply();
    EXPECT_EQ(client.remoteSizeText,
              download ? QStringLiteral("3000005") : QStringLiteral("1000000"));
    EXPECT_EQ(QFile(part).size(), 3000005);
    EXPECT_EQ(sha256Of(part), sha256Of(source));
}

// A transfer waiting for its share of the program's limit still stops at once when asked to:
// it has moved only a little of the file, and all of that is in place for a resume.
TEST_P(PyFtpdDirectionTest, LimitedTransferMovesSlowlyAndStopsOnRequest)
{
    logOn();
    const bool download = GetParam();
    auto limits = std::make_shared<SpeedLimits>();
    limits->apply(64, 64);
    client.setSpeedLimits(limits);
    const QString source =
        download ? serverPath(QStringLiteral("f.bin")) : localPath(QStringLiteral("f.bin"));
    const QString target =
        download ? localPath(QStringLiteral("f.td")) : serverPath(QStringLiteral("f.td"));
    ASSERT_TRUE(writeFile(source, randomBytes(4000000)));
    std::thread stopper([this] {
        for (int i = 0; i < 2000 && client.bytesDone == 0; ++i)
            std::this_thread::sleep_for(milliseconds(5));
        client.abortRequested = 1;
    });
    EXPECT_TRUE(client.TransferFile(download ? QStringLiteral("f.bin") : QStringLiteral("f.td"),
                                    download ? target : source, false, download, QString()));
    stopper.join();
    EXPECT_EQ(client.abortRequested, 1);
    EXPECT_LT(client.bytesDone, 1000000u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile(target).size() == qint64(client.bytesDone); }));
}

INSTANTIATE_TEST_SUITE_P(Directions, PyFtpdDirectionTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& direction) {
                             return std::string(direction.param ? "Download" : "Upload");
                         });

class PyFtpdModeTest : public PyFtpdTest, public ::testing::WithParamInterface<bool> {};

// Without watching the control connection the refusal only showed after the 30 s time-out,
// as a network error.
TEST_P(PyFtpdModeTest, RefusedDownloadOfAMissingFileFailsWithTheServersReply)
{
    logOn();
    EXPECT_FALSE(client.TransferFile(QStringLiteral("missing.bin"),
                                     localPath(QStringLiteral("missing.bin")), GetParam(), true,
                                     QString()));
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("550"))) << reply();
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
}

INSTANTIATE_TEST_SUITE_P(Modes, PyFtpdModeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& mode) {
                             return std::string(mode.param ? "Passive" : "Active");
                         });

class SlowPyFtpdTest : public PyFtpdTest {
protected:
    SlowPyFtpdTest() : PyFtpdTest([](PyFtpdOptions& o) { o.rateLimit = 1024 * 1024; }) {}
};

TEST_F(SlowPyFtpdTest, DownloadCutByADyingServerFailsAndKeepsThePart)
{
    logOn();
    const qint64 size = 10000000;
    ASSERT_TRUE(writeFile(serverPath(QStringLiteral("big.bin")), randomBytes(size)));
    std::thread crash([this] {
        for (int i = 0; i < 2000 && client.bytesDone < 200 * 1024; ++i)
            std::this_thread::sleep_for(milliseconds(5));
        server.kill();
    });
    const bool result = client.TransferFile(
        QStringLiteral("big.bin"), localPath(QStringLiteral("big.bin.td")), true, true, QString());
    crash.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    EXPECT_EQ(client.transferDone, 0);
    const qint64 part = QFile(localPath(QStringLiteral("big.bin.td"))).size();
    EXPECT_EQ(static_cast<quint64>(part), client.bytesDone.load());
    EXPECT_GE(part, 200 * 1024);
    EXPECT_LT(part, size);
}

class LosingPyFtpdTest : public PyFtpdTest {
protected:
    LosingPyFtpdTest() : PyFtpdTest([](PyFtpdOptions& o) { o.firstUploadKeeps = 100000; }) {}
};

// pyftpdlib answers 226 to an upload it did not fully store; the size it reports afterwards
// tells, and a resume from that size completes the file.
TEST_F(LosingPyFtpdTest, UploadTheServerCutShortFailsAndAResumeCompletesIt)
{
    logOn();
    const QByteArray content = randomBytes(2000000);
    ASSERT_TRUE(writeFile(localPath(QStringLiteral("up.bin")), content));
    EXPECT_FALSE(client.TransferFile(QStringLiteral("up.bin.td"),
                                     localPath(QStringLiteral("up.bin")), true, false, QString()));
    EXPECT_EQ(client.replyLine, QStringLiteral("网络错误"));
    const qint64 kept = QFile(serverPath(QStringLiteral("up.bin.td"))).size();
    EXPECT_GE(kept, 100000);
    EXPECT_LT(kept, content.size());

    ASSERT_TRUE(client.TransferFile(QStringLiteral("up.bin.td"),
                                    localPath(QStringLiteral("up.bin")), true, false, QString()))
        << reply();
    EXPECT_EQ(client.remoteSizeText, QString::number(kept));
    EXPECT_EQ(sha256Of(serverPath(QStringLiteral("up.bin.td"))),
              sha256Of(localPath(QStringLiteral("up.bin"))));
}

class ChinesePasswordPyFtpdTest : public PyFtpdTest {
protected:
    ChinesePasswordPyFtpdTest()
        : PyFtpdTest([](PyFtpdOptions& o) { o.password = QStringLiteral("密码口令"); })
    {
    }
};

// The password first goes out as GBK, which a UTF-8 server cannot match; the retry over a new
// connection sends it as UTF-8.
TEST_F(ChinesePasswordPyFtpdTest, LogsOnAndStaysInUtf8)
{
    logOn();
    EXPECT_EQ(client.codec().encoding(), TextCodec::Encoding::Utf8);
    EXPECT_EQ(client.QueryPwd(), QStringLiteral("/"));
}

} // namespace
