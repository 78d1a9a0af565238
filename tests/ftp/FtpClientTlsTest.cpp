#include "IntegrationSupport.h"

#include "FakeServerFixture.h"
#include "ftp/CertificateJudge.h"
#include "support/NamedCases.h"
#include "support/RunProgram.h"
#include "support/ScopedEnvironment.h"
#include "support/TcpRelay.h"
#include "support/VsftpdServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

using namespace integration;
using namedcases::caseName;
using namedcases::operator<<;
using std::chrono::milliseconds;

// Answers every certificate question the same way, after an optional delay, and keeps what
// it was shown.
class TestJudge : public CertificateJudge {
public:
    explicit TestJudge(bool accept, milliseconds delay = milliseconds(0))
        : accept_(accept), delay_(delay)
    {
    }
    bool acceptCertificate(const QString& host, int port,
                           const TlsCertificate& certificate) override
    {
        std::this_thread::sleep_for(delay_);
        const std::lock_guard<std::mutex> hold(lock_);
        hosts.append(host + QLatin1Char(':') + QString::number(port));
        certificates.push_back(certificate);
        return accept_;
    }
    QStringList hosts;
    std::vector<TlsCertificate> certificates;

private:
    bool accept_;
    milliseconds delay_;
    std::mutex lock_;
};

LogonInfo tlsLogon(const VsftpdServer& server, TlsMode mode)
{
    LogonInfo info = anonymousLogon(server.host(), server.port());
    info.tlsMode = mode;
    return info;
}

// "sha256 Fingerprint=AB:CD:..." as openssl prints it, without the label.
QString opensslFingerprint(const QString& certificatePath)
{
    const ProgramRun run = runProgram(QStringLiteral("openssl"),
                                      {QStringLiteral("x509"), QStringLiteral("-noout"),
                                       QStringLiteral("-fingerprint"), QStringLiteral("-sha256"),
                                       QStringLiteral("-in"), certificatePath});
    const QString output = QString::fromLatin1(run.output).trimmed();
    return output.mid(output.indexOf(QLatin1Char('=')) + 1);
}

VsftpdOptions tlsServerOptions(bool forced)
{
    VsftpdOptions options;
    options.tls = true;
    options.forceTls = forced;
    return options;
}

struct TransferCase {
    const char* name;
    DataConnectionMode mode;
    bool forced; // the server refuses anything in clear
    bool portEnable;
};

class TlsTransferTest : public ::testing::TestWithParam<TransferCase> {
protected:
    TlsTransferTest() : server(options()) {}

    static VsftpdOptions options()
    {
        VsftpdOptions options = tlsServerOptions(GetParam().forced);
        options.portEnable = GetParam().portEnable;
        return options;
    }

    void SetUp() override
    {
        ASSERT_TRUE(local.isValid());
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        client.setDataMode(GetParam().mode);
        client.setCertificateJudge(judge);
        ASSERT_TRUE(client.Logon(tlsLogon(server, TlsMode::Required)))
            << client.replyLine.toStdString();
    }

    bool passive() const { return GetParam().mode == DataConnectionMode::Passive; }

    QTemporaryDir local;
    VsftpdServer server;
    std::shared_ptr<TestJudge> judge = std::make_shared<TestJudge>(true);
    FtpClient client;
};

TEST_P(TlsTransferTest, ListsDownloadsAndUploadsOverTls)
{
    ASSERT_TRUE(client.tlsInUse());
    EXPECT_TRUE(client.dataProtected());
    EXPECT_TRUE(client.logonLog.contains(QStringLiteral("已启用 TLS 加密:TLSv1.")))
        << client.logonLog.toStdString();
    const QByteArray bytes = randomBytes(3 * 1024 * 1024 + 17);
    ASSERT_TRUE(
        VsftpdServer::writeServerFile(server.pubPath() + QStringLiteral("/down.bin"), bytes));

    ASSERT_TRUE(client.List(QStringLiteral("pub"))) << client.replyLine.toStdString();
    ASSERT_TRUE(client.Command(QString()));
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.listBuffer.contains(" down.bin"));

    const QString downloaded = local.filePath(QStringLiteral("down.bin"));
    ASSERT_TRUE(
        client.TransferFile(QStringLiteral("pub/down.bin"), downloaded, passive(), true, QString()))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")))
        << client.replyLine.toStdString();
    EXPECT_EQ(sha256Of(downloaded), sha256Of(server.pubPath() + QStringLiteral("/down.bin")));

    const QString source = local.filePath(QStringLiteral("up.bin"));
    ASSERT_TRUE(writeFile(source, randomBytes(2 * 1024 * 1024 + 5)));
    ASSERT_TRUE(
        client.TransferFile(QStringLiteral("pub/up.bin"), source, passive(), false, QString()))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")))
        << client.replyLine.toStdString();
    EXPECT_EQ(sha256Of(server.pubPath() + QStringLiteral("/up.bin")), sha256Of(source));
    EXPECT_EQ(client.passiveInUse(), GetParam().mode != DataConnectionMode::Active);
}

INSTANTIATE_TEST_SUITE_P(
    DataModes, TlsTransferTest,
    ::testing::Values(TransferCase{"Active", DataConnectionMode::Active, false, true},
                      TransferCase{"Passive", DataConnectionMode::Passive, false, true},
                      TransferCase{"ActiveForced", DataConnectionMode::Active, true, true},
                      TransferCase{"PassiveForced", DataConnectionMode::Passive, true, true},
                      TransferCase{"PassiveAfterRefusedPort", DataConnectionMode::Automatic, true,
                                   false}),
    caseName);

// A pause cuts the TLS data connection without close_notify; the same logon then resumes.
TEST(TlsPauseTest, APausedDownloadResumesOnTheSameConnection)
{
    VsftpdOptions options = tlsServerOptions(true);
    options.maxRate = 2 * 1024 * 1024;
    VsftpdServer server(options);
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    QTemporaryDir local;
    const QString remote = server.pubPath() + QStringLiteral("/slow.bin");
    ASSERT_TRUE(VsftpdServer::writeServerFile(remote, randomBytes(1024 * 1024 + 3)));
    FtpClient client;
    client.setCertificateJudge(std::make_shared<TestJudge>(true));
    ASSERT_TRUE(client.Logon(tlsLogon(server, TlsMode::Required)))
        << client.replyLine.toStdString();
    std::thread monitor([&client] {
        for (int i = 0; i < 2000 && client.bytesDone < 100 * 1024; ++i)
            std::this_thread::sleep_for(milliseconds(5));
        client.abortRequested = 1;
    });
    const QString part = local.filePath(QStringLiteral("slow.td"));
    const bool paused =
        client.TransferFile(QStringLiteral("pub/slow.bin"), part, true, true, QString());
    monitor.join();
    ASSERT_TRUE(paused) << client.replyLine.toStdString();
    EXPECT_EQ(client.abortRequested, 1);
    EXPECT_LT(QFile(part).size(), QFile(remote).size());

    ASSERT_TRUE(client.TransferFile(QStringLiteral("pub/slow.bin"), part, true, true, QString()))
        << client.replyLine.toStdString();
    EXPECT_EQ(client.abortRequested, 0);
    EXPECT_EQ(sha256Of(part), sha256Of(remote));
}

// What crosses the network in clear, seen by a relay between the client and vsftpd.
struct ModeCase {
    const char* name;
    TlsMode mode;
    bool tlsServer;
    bool forced;
    bool logsOn;
    bool tls;
    bool userInClear;
    bool passwordInClear;
    const char* note; // in logonLog after a logon, in replyLine after a refusal
};

class TlsModeTest : public ::testing::TestWithParam<ModeCase> {
protected:
    static VsftpdOptions options()
    {
        VsftpdOptions options = tlsServerOptions(GetParam().forced);
        options.tls = GetParam().tlsServer;
        options.anonymousPassword = true;
        return options;
    }

    VsftpdServer server{options()};
};

TEST_P(TlsModeTest, SendsThePasswordInClearOnlyWithoutTls)
{
    const ModeCase& row = GetParam();
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    TcpRelay relay(server.host(), server.port());
    ASSERT_TRUE(relay.start());
    FtpClient client;
    client.setCertificateJudge(std::make_shared<TestJudge>(true));
    LogonInfo info = tlsLogon(server, row.mode);
    info.port = relay.port();

    ASSERT_EQ(client.Logon(info), row.logsOn) << client.replyLine.toStdString();
    EXPECT_EQ(client.tlsInUse(), row.tls);
    const QString shown = row.logsOn ? client.logonLog : client.replyLine;
    EXPECT_TRUE(shown.contains(QString::fromUtf8(row.note))) << shown.toStdString();
    client.Disconnect();
    relay.stop();
    const QByteArray seen = relay.clientBytes();
    EXPECT_TRUE(seen.startsWith(row.mode == TlsMode::Plain ? "USER " : "AUTH TLS\r\n"))
        << seen.left(40).toStdString();
    EXPECT_EQ(seen.contains("PASS "), row.passwordInClear);
    EXPECT_EQ(seen.contains("USER "), row.userInClear);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TlsModeTest,
    ::testing::Values(ModeCase{"PlainStaysPlainWithATlsServer", TlsMode::Plain, true, false, true,
                               false, true, true, "230 "},
                      ModeCase{"PlainIsRefusedByAForcedServer", TlsMode::Plain, true, true, false,
                               false, true, false, "530 "},
                      ModeCase{"OpportunisticUsesTls", TlsMode::Opportunistic, true, false, true,
                               true, false, false, "已启用 TLS 加密:TLSv1."},
                      ModeCase{"OpportunisticFallsBackToPlain", TlsMode::Opportunistic, false,
                               false, true, false, true, true, "未加密连接(服务器不支持 TLS)"},
                      ModeCase{"RequiredUsesTls", TlsMode::Required, true, true, true, true, false,
                               false, "已启用 TLS 加密:TLSv1."},
                      ModeCase{"RequiredRefusesAPlainServer", TlsMode::Required, false, false,
                               false, false, false, false, "服务器不支持 TLS 加密,未登录"}),
    caseName);

// The test server's certificate is self-signed for 127.0.0.1.
class TlsCertificateTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.errorText().toStdString(); }

    bool logOn(const QString& host = QStringLiteral("127.0.0.1"))
    {
        LogonInfo info = tlsLogon(server, TlsMode::Required);
        info.host = host;
        return client.Logon(info);
    }

    VsftpdServer server{tlsServerOptions(true)};
    FtpClient client;
};

TEST_F(TlsCertificateTest, WithoutAJudgeAnUntrustedCertificateIsRefused)
{
    EXPECT_FALSE(logOn());
    EXPECT_EQ(client.replyLine, QStringLiteral("服务器证书未通过验证,已拒绝连接:证书是自签名的,"
                                               "不是受信任的机构签发的"));
    EXPECT_FALSE(client.tlsInUse());
}

TEST_F(TlsCertificateTest, TheJudgeSeesTheCertificateOnceAndItsAcceptanceHolds)
{
    auto judge = std::make_shared<TestJudge>(true);
    client.setCertificateJudge(judge);
    ASSERT_TRUE(logOn()) << client.replyLine.toStdString();
    ASSERT_TRUE(client.List(QString())) << client.replyLine.toStdString();
    ASSERT_TRUE(client.Command(QString()));
    client.Disconnect();
    ASSERT_TRUE(logOn()) << client.replyLine.toStdString();

    ASSERT_EQ(judge->certificates.size(), 1u) << "neither data connections nor a reconnection ask";
    const TlsCertificate& seen = judge->certificates.front();
    EXPECT_EQ(judge->hosts, QStringList{QStringLiteral("127.0.0.1:%1").arg(server.port())});
    EXPECT_EQ(seen.sha256Fingerprint, opensslFingerprint(server.certificatePath()));
    EXPECT_EQ(seen.sha256Fingerprint.size(), 32 * 3 - 1);
    EXPECT_EQ(seen.subject, QStringLiteral("CN=127.0.0.1"));
    EXPECT_EQ(seen.issuer, seen.subject);
    EXPECT_TRUE(seen.notAfter.endsWith(QStringLiteral(" UTC"))) << seen.notAfter.toStdString();
    EXPECT_LT(seen.notBefore, seen.notAfter);
    EXPECT_TRUE(seen.verifyError.contains(QStringLiteral("自签名")));
}

TEST_F(TlsCertificateTest, ARefusingJudgeFailsTheLogon)
{
    client.setCertificateJudge(std::make_shared<TestJudge>(false));
    EXPECT_FALSE(logOn());
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("服务器证书未通过验证,已拒绝连接")))
        << client.replyLine.toStdString();
}

// The user may take longer to answer than the engine waits for the network.
TEST_F(TlsCertificateTest, TheJudgesTimeDoesNotCountAgainstTheHandshake)
{
    client.setTimeout(milliseconds(500));
    client.setCertificateJudge(std::make_shared<TestJudge>(true, milliseconds(1200)));
    EXPECT_TRUE(logOn()) << client.replyLine.toStdString();
}

// With the certificate in the trust store, only the name decides.
TEST_F(TlsCertificateTest, ATrustedCertificateNeedsNoJudgeUnlessTheNameDiffers)
{
    ScopedEnvironment environment;
    environment.set("SSL_CERT_FILE", QFile::encodeName(server.certificatePath()));
    ASSERT_TRUE(logOn()) << client.replyLine.toStdString();
    client.Disconnect();

    auto judge = std::make_shared<TestJudge>(false);
    client.setCertificateJudge(judge);
    EXPECT_FALSE(logOn(QStringLiteral("localhost")));
    ASSERT_EQ(judge->certificates.size(), 1u);
    EXPECT_EQ(judge->certificates.front().verifyError, QStringLiteral("证书不属于这个主机名"));
}

// A scripted server that says yes to AUTH TLS and then does not speak TLS.
class TlsHandshakeTest : public ::testing::Test {
protected:
    void SetUp() override { client.setTimeout(milliseconds(400)); }

    // After the reply the server stays silent for the given time, then closes.
    void startServer(const QByteArray& authReply, milliseconds silence)
    {
        server.start([authReply, silence](FakeFtpSession& session) {
            session.send("220 fake server ready");
            session.expect("AUTH TLS");
            session.sendRaw(authReply);
            std::this_thread::sleep_for(silence);
        });
    }

    bool logOn()
    {
        LogonInfo info = fakeServerLogon(server);
        info.tlsMode = TlsMode::Opportunistic;
        const bool loggedOn = client.Logon(info);
        client.Disconnect();
        EXPECT_TRUE(server.finish());
        return loggedOn;
    }

    FakeFtpServer server;
    FtpClient client;
};

TEST_F(TlsHandshakeTest, ASilentServerEndsTheHandshakeWithinTheTimeout)
{
    startServer("234 Proceed with negotiation.\r\n", milliseconds(900));
    EXPECT_FALSE(logOn());
    EXPECT_EQ(client.connectionFault(), QStringLiteral("TLS 握手超时"));
}

// Bytes after 234 come before any protection: whoever sent them is not to be believed.
TEST_F(TlsHandshakeTest, RepliesInjectedBeforeTheHandshakeAreRefused)
{
    startServer("234 Proceed with negotiation.\r\n230 Login successful.\r\n", milliseconds(0));
    EXPECT_FALSE(logOn());
    EXPECT_EQ(client.connectionFault(), QStringLiteral("服务器在 TLS 握手之前发来了多余的数据"));
}

TEST_F(TlsHandshakeTest, AServerThatHangsUpFailsTheHandshake)
{
    startServer("234 Proceed with negotiation.\r\n", milliseconds(0));
    EXPECT_FALSE(logOn());
    EXPECT_TRUE(client.connectionFault().startsWith(QStringLiteral("TLS 握手失败:")))
        << client.connectionFault().toStdString();
}

// Long before the time-out.
TEST_F(TlsHandshakeTest, AnInterruptEndsTheHandshakeAtOnce)
{
    startServer("234 Proceed with negotiation.\r\n", milliseconds(900));
    client.setTimeout(milliseconds(10000));
    std::thread interrupter([this] {
        std::this_thread::sleep_for(milliseconds(200));
        client.Interrupt();
    });
    EXPECT_FALSE(logOn());
    interrupter.join();
    EXPECT_TRUE(client.connectionFault().startsWith(QStringLiteral("TLS 握手失败")))
        << client.connectionFault().toStdString();
}

} // namespace
