#pragma once

#include "ftp/FtpClient.h"
#include "platform/Prompt.h"
#include "support/FakeFtpServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

// The user, password and greeting every fake-server test logs on with.
inline LogonInfo fakeServerLogon(const FakeFtpServer& server)
{
    LogonInfo info;
    info.host = server.address();
    info.port = server.port();
    info.user = QStringLiteral("tester");
    info.password = QStringLiteral("secret");
    return info;
}

inline void greetAndLogOn(FakeFtpSession& session, bool utf8 = false)
{
    session.send("220 fake server ready");
    session.exchange("USER tester", "331 Please specify the password.");
    session.exchange("PASS secret", "230 Login successful.");
    session.answerFeat(utf8);
}

// Answers every question with Ok and keeps the texts shown.
class RecordingPrompt : public Prompt {
public:
    PromptAnswer ask(const QString& text, const QString&, PromptButtons) override
    {
        texts.append(text);
        return PromptAnswer::Ok;
    }
    QStringList texts;
};

// A logged-on FtpClient against a scripted server; the script body runs after the logon.
class FakeServerFixture : public ::testing::Test {
protected:
    explicit FakeServerFixture(const QString& address = QStringLiteral("127.0.0.1"))
        : server(address)
    {
        // Scripts name every command; the passive fallback has tests of its own.
        client.setDataMode(DataConnectionMode::Active);
    }

    void startLoggedOn(std::function<void(FakeFtpSession&)> body, bool utf8 = false)
    {
        ASSERT_TRUE(server.isListening());
        server.start([body = std::move(body), utf8](FakeFtpSession& session) {
            greetAndLogOn(session, utf8);
            body(session);
        });
        ASSERT_TRUE(client.Logon(fakeServerLogon(server))) << client.replyLine.toStdString();
    }

    void expectScriptDone()
    {
        ASSERT_TRUE(server.finish());
        EXPECT_TRUE(server.succeeded()) << server.failures().join(QLatin1Char('\n')).toStdString();
    }

    // The commands after USER, PASS and FEAT (and OPTS when UTF8 was offered).
    QList<QByteArray> commandsAfterLogon() const
    {
        QList<QByteArray> commands = server.commands();
        const qsizetype logon = commands.contains("OPTS UTF8 ON") ? 4 : 3;
        return commands.mid(logon);
    }

    QString localPath(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    RecordingPrompt prompt;
    FakeFtpServer server;
    FtpClient client{&prompt};
};
