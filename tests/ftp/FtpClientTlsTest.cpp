#include "IntegrationSupport.h"

#include "ftp/CertificateJudge.h"
#include "support/NamedCases.h"
#include "support/RunProgram.h"
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
[[maybe_unused]] QString opensslFingerprint(const QString& certificatePath)
{
    const ProgramRun run = runProgram(QStringLiteral("openssl"),
                                      {QStringLiteral("x509"), QStringLiteral("-noout"),
                                       QStringLiteral("-fingerprint"), QStringLiteral("-sha256"),
                                       QStringLiteral("-in"), certificatePath});
    const QString output = QString::fromLatin1(run.output).trimmed();
    return output.mid(output.indexOf(QLatin1Char('=')) + 1);
}

struct TransferCase {
    const char* name;
    DataConnectionMode mode;
    bool forced; // the server refuses anything in clear
};

class TlsTransferTest : public ::testing::TestWithParam<TransferCase> {
protected:
    TlsTransferTest() : server(VsftpdOptions{false, 0, false, true, true, GetParam().forced}) {}

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
    EXPECT_FALSE(client.passiveInUse() && !passive()) << "no fall-back to passive mode";
}

INSTANTIATE_TEST_SUITE_P(
    DataModes, TlsTransferTest,
    ::testing::Values(TransferCase{"Active", DataConnectionMode::Active, false},
                      TransferCase{"Passive", DataConnectionMode::Passive, false},
                      TransferCase{"ActiveForced", DataConnectionMode::Active, true},
                      TransferCase{"PassiveForced", DataConnectionMode::Passive, true}),
    caseName);

} // namespace
