// Certificate decisions against a real vsftpd with TLS and a self-signed certificate made by the
// test: a transfer worker reuses its session's decision, a remembered certificate is trusted
// in the next run without a question, and a changed one is refused.

#include "accounts/CertificateTrust.h"
#include "ftp/FtpClient.h"
#include "ftp/IntegrationSupport.h"
#include "queue/TransferFixture.h"
#include "support/TcpRelay.h"

namespace {

// No logon and no data connection without TLS.
VsftpdOptions forcedTls()
{
    VsftpdOptions options;
    options.tls = true;
    options.forceTls = true;
    return options;
}

int trustQuestions(const ScriptedPrompt& prompt)
{
    int count = 0;
    for (const auto& question : prompt.asked())
        count += question.buttons == PromptButtons::TrustChoice ? 1 : 0;
    return count;
}

class SessionTrustTest : public TransferFixture {
protected:
    SessionTrustTest() : TransferFixture(forcedTls()) {}

    void SetUp() override
    {
        judge = trust;
        prompt.answerNext(PromptAnswer::TrustOnce);
        TransferFixture::SetUp();
    }

    QString trustFile() const { return CertificateTrust::pathIn(local.path() + u'/'); }

    std::shared_ptr<CertificateTrust> trust =
        std::make_shared<CertificateTrust>(prompt, trustFile());
};

// The worker opens a connection of its own and meets the same certificate: the user, who
// trusted it for this session, is not asked again.
TEST_F(SessionTrustTest, TransferWorkerReusesTheSessionsDecision)
{
    ASSERT_EQ(trustQuestions(prompt), 1);
    const QByteArray data = makeFile(remoteFile(QStringLiteral("tls.bin")), 96 * 1024);
    const int row = addDownload(QStringLiteral("tls.bin"), QStringLiteral("tls.bin"));
    ASSERT_TRUE(waitForState(row, QueueState::Downloaded)) << log().join(QString()).toStdString();
    EXPECT_EQ(sha256(localFile(QStringLiteral("tls.bin"))),
              QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(trustQuestions(prompt), 1);
    EXPECT_FALSE(QFile::exists(trustFile()));
}

class RememberedCertificateTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.errorText().toStdString(); }

    bool logOn(CertificateTrust& trust)
    {
        FtpClient client;
        client.setTimeout(std::chrono::milliseconds(5000));
        client.setCertificateJudge(std::shared_ptr<CertificateJudge>(&trust, [](auto*) {}));
        LogonInfo info;
        info.host = server.host();
        info.port = server.port();
        info.user = QStringLiteral("anonymous");
        info.password = QStringLiteral("guest");
        info.tlsMode = TlsMode::Required;
        const bool loggedOn = client.Logon(info);
        client.Disconnect();
        return loggedOn;
    }

    VsftpdServer server{forcedTls()};
    TemporaryFolder work{QStringLiteral("remembered")};
    QString trustFile = CertificateTrust::pathIn(work.path() + u'/');
};

TEST_F(RememberedCertificateTest, TrustedAlwaysIsTrustedInTheNextRunUnasked)
{
    ScriptedPrompt firstRun{{PromptAnswer::TrustAlways}};
    CertificateTrust firstTrust(firstRun, trustFile);
    ASSERT_TRUE(logOn(firstTrust));
    EXPECT_EQ(trustQuestions(firstRun), 1);

    ScriptedPrompt nextRun;
    CertificateTrust nextTrust(nextRun, trustFile);
    EXPECT_TRUE(logOn(nextTrust));
    EXPECT_TRUE(nextRun.asked().empty());
}

TEST_F(RememberedCertificateTest, ChangedCertificateIsRefusedWithAWarning)
{
    QFile file(trustFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("127.0.0.1\t" + QByteArray::number(server.port()) + '\t' +
               QStringList(32, QStringLiteral("00")).join(u':').toLatin1() + '\n');
    file.close();
    ScriptedPrompt prompt{{PromptAnswer::Ok, PromptAnswer::TrustAlways}};
    QStringList log;
    CertificateTrust trust(prompt, trustFile, [&log](const QString& line) { log << line; });

    EXPECT_FALSE(logOn(trust));
    const auto asked = prompt.asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked.front().caption, QStringLiteral("证书已改变"));
    EXPECT_EQ(log.size(), 1);
}

// The server that answered for a remembered certificate now refuses TLS: someone on the way may
// be posing as it, so not even the user name goes out in clear.
TEST(RememberedServerTest, AServerRefusingTlsAfterItsCertificateWasTrustedGetsNoLogon)
{
    VsftpdServer plain;
    ASSERT_TRUE(plain.start()) << plain.errorText().toStdString();
    TcpRelay relay(plain.host(), plain.port());
    ASSERT_TRUE(relay.start());
    TemporaryFolder work{QStringLiteral("downgrade")};
    const QString trustFile = CertificateTrust::pathIn(work.path() + u'/');
    ASSERT_TRUE(integration::writeFile(
        trustFile, "127.0.0.1\t" + QByteArray::number(relay.port()) + '\t' +
                       QStringList(32, QStringLiteral("AB")).join(u':').toLatin1() + '\n'));
    ScriptedPrompt prompt;
    FtpClient client;
    client.setCertificateJudge(std::make_shared<CertificateTrust>(prompt, trustFile));
    LogonInfo info = integration::anonymousLogon(plain.host(), relay.port());
    info.tlsMode = TlsMode::Opportunistic;

    EXPECT_FALSE(client.Logon(info));
    EXPECT_TRUE(client.replyLine.contains(QStringLiteral("trust.dat")))
        << client.replyLine.toStdString();
    client.Disconnect();
    relay.stop();
    EXPECT_FALSE(relay.clientBytes().contains("USER ")) << relay.clientBytes().toStdString();
    EXPECT_FALSE(relay.clientBytes().contains("PASS "));
}

} // namespace
