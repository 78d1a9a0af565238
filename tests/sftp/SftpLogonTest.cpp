#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/RunProgram.h"
#include "support/SftpSandbox.h"

#include <thread>

namespace {

using SftpLogonTest = SftpSandbox;

bool connectWith(SftpClient& client, const SshdServer& server)
{
    return client.Connect(server.host(), server.port()) && client.Logon(server.user(), {});
}

// The fingerprint as OpenSSH's ssh-keygen prints it for the server's host key.
QString openSshFingerprint(const SshdServer& server)
{
    const ProgramRun run =
        runProgram(QStringLiteral("/usr/bin/ssh-keygen"),
                   {QStringLiteral("-l"), QStringLiteral("-E"), QStringLiteral("sha256"),
                    QStringLiteral("-f"), server.hostKeyPath() + QLatin1String(".pub")});
    return QString::fromUtf8(run.output.split(' ').value(1));
}

} // namespace

TEST_F(SftpLogonTest, UnknownHostKeyIsShownAndTrustedAsAnswered)
{
    const QString knownHosts = keyFolder() + QLatin1String("/known_hosts");
    QFile::remove(knownHosts);
    const QString fingerprint = openSshFingerprint(server);
    ASSERT_TRUE(fingerprint.startsWith(QLatin1String("SHA256:")));

    SftpClient refused(&prompt);
    EXPECT_FALSE(refused.Connect(server.host(), server.port()));
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked().at(0).buttons, PromptButtons::TrustChoice);
    EXPECT_TRUE(
        prompt.asked().at(0).text.contains(QStringLiteral("ED25519 密钥指纹为 ") + fingerprint))
        << prompt.asked().at(0).text.toStdString();

    prompt.answerNext(PromptAnswer::TrustOnce);
    SftpClient once(&prompt);
    ASSERT_TRUE(connectWith(once, server)) << once.replyLine.toStdString();
    EXPECT_FALSE(QFile::exists(knownHosts));
    SftpClient sameSession(&prompt);
    sameSession.setHostKeys(once.hostKeys());
    EXPECT_TRUE(connectWith(sameSession, server));
    EXPECT_EQ(prompt.asked().size(), 2u);

    prompt.answerNext(PromptAnswer::TrustAlways);
    SftpClient always(&prompt);
    ASSERT_TRUE(connectWith(always, server)) << always.replyLine.toStdString();
    EXPECT_TRUE(filebytes::read(knownHosts).contains(server.knownHostsLine().split(' ').at(2)));
    SftpClient later(&prompt);
    EXPECT_TRUE(connectWith(later, server));
    EXPECT_EQ(prompt.asked().size(), 3u);
}

TEST_F(SftpLogonTest, ChangedHostKeyIsRefusedWithAWarning)
{
    ASSERT_TRUE(server.replaceHostKey()) << server.errorText().toStdString();
    SftpClient client(&prompt);
    EXPECT_FALSE(client.Connect(server.host(), server.port()));
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked().at(0).buttons, PromptButtons::Ok);
    EXPECT_TRUE(prompt.asked().at(0).text.startsWith(QStringLiteral("警告")));
    EXPECT_TRUE(client.replyLine.contains(openSshFingerprint(server)));
}

TEST_F(SftpLogonTest, ProtectedKeyAsksForItsPassphrase)
{
    const QString key = keyFolder() + QLatin1String("/id_ed25519");
    ASSERT_TRUE(SshdServer::makeKey(key, QStringLiteral("ed25519"), QStringLiteral("口令 123")));
    ASSERT_TRUE(server.authorize(key + QLatin1String(".pub")));
    prompt.answerSecret(QStringLiteral("wrong"));
    prompt.answerSecret(QStringLiteral("口令 123"));
    SftpClient client(&prompt);
    EXPECT_TRUE(connectWith(client, server)) << client.replyLine.toStdString();
    EXPECT_EQ(prompt.secretQuestions().size(), 2);
    SftpClient sameSession(&prompt);
    sameSession.setPassphrases(client.passphrases());
    EXPECT_TRUE(connectWith(sameSession, server));
    EXPECT_EQ(prompt.secretQuestions().size(), 2);

    SftpClient cancelled(&prompt);
    EXPECT_FALSE(connectWith(cancelled, server));
    EXPECT_TRUE(cancelled.replyLine.contains(QStringLiteral("登录失败")));
}

TEST_F(SftpLogonTest, KeysComeFromTheAgent)
{
    const QString key = keyFolder() + QLatin1String("/id_ed25519");
    const QString socket = local.filePath(QStringLiteral("agent"));
    ChildProcess agent;
    ASSERT_TRUE(agent.start(QStringLiteral("/usr/bin/ssh-agent"),
                            {QStringLiteral("-D"), QStringLiteral("-a"), socket},
                            local.filePath(QStringLiteral("agent.log"))));
    for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    environment.set("SSH_AUTH_SOCK", socket.toUtf8());
    ASSERT_EQ(runProgram(QStringLiteral("/usr/bin/ssh-add"), {QStringLiteral("-q"), key}).exitCode,
              0);
    ASSERT_TRUE(QFile::rename(key, key + QLatin1String(".away")));
    SftpClient client(&prompt);
    EXPECT_TRUE(connectWith(client, server)) << client.replyLine.toStdString();
}
