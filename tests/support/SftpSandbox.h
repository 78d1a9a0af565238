#pragma once

#include "sftp/SftpClient.h"
#include "support/ScopedEnvironment.h"
#include "support/ScriptedPrompt.h"
#include "support/SshdServer.h"
#include "support/TemporaryFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <memory>

// An sshd of the fixture's own and a home folder whose .ssh holds a client key the server
// accepts and the server's host key in known_hosts; HOME points there and no ssh-agent is
// reachable, so nothing of the machine's own ssh set-up takes part.
class SftpSandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        environment.set("HOME", home.path().toUtf8());
        environment.unset("SSH_AUTH_SOCK");
        ASSERT_TRUE(QDir().mkpath(keyFolder()));
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        ASSERT_TRUE(SshdServer::makeKey(keyFolder() + QLatin1String("/id_ed25519"),
                                        QStringLiteral("ed25519")));
        ASSERT_TRUE(server.authorize(keyFolder() + QLatin1String("/id_ed25519.pub")));
        QFile knownHosts(keyFolder() + QLatin1String("/known_hosts"));
        ASSERT_TRUE(knownHosts.open(QIODevice::WriteOnly));
        knownHosts.write(server.knownHostsLine());
    }

    QString keyFolder() const { return home.filePath(QStringLiteral(".ssh")); }
    QByteArray remote(const QString& name) const { return (server.files() + u'/' + name).toUtf8(); }

    // A client logged on as the server's user; nothing when the logon failed (the reason is
    // reported as a test failure).
    std::unique_ptr<SftpClient> logOn()
    {
        auto client = std::make_unique<SftpClient>(&prompt);
        const bool ok = client->Connect(server.host(), server.port()) &&
                        client->Logon(server.user(), QString());
        EXPECT_TRUE(ok) << client->replyLine.toStdString();
        return ok ? std::move(client) : nullptr;
    }

    static QByteArray sha256(const QString& path)
    {
        QFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result()
                                                                     : QByteArray("<missing>");
    }

    static bool writeFile(const QString& path, qint64 size)
    {
        QByteArray data(size, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(data.data()), size / 4);
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == size;
    }

    TemporaryFolder home{QStringLiteral("kevra-home")};
    TemporaryFolder local{QStringLiteral("kevra-local")};
    ScopedEnvironment environment;
    ScriptedPrompt prompt;
    SshdServer server;
};
