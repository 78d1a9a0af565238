#include "view/SessionThread.h"

#include "platform/NamedMutex.h"
#include "platform/TcpListener.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"
#include "view/RemoteBrowserState.h"
#include "view/SessionMessages.h"
#include "view/SessionRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int signalWaitMs = 10000;

QStringList namesOf(const QVector<CListItem>& rows)
{
    QStringList names;
    for (const CListItem& row : rows)
        names << row.name;
    return names;
}

class SessionThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lockFolder.isValid()); }

    std::unique_ptr<SessionThread>
    startSession(const LogonRecord& logon,
                 std::chrono::milliseconds keepAlive = std::chrono::milliseconds(10000))
    {
        SessionEnvironment environment;
        environment.registry = &registry;
        environment.remote = &remote;
        environment.engineLock = &engineLock;
        environment.prompt = &prompt;
        environment.keepAliveInterval = keepAlive;
        environment.networkTimeout = std::chrono::milliseconds(5000);
        auto session = std::make_unique<SessionThread>(logon, environment);
        QObject::connect(session.get(), &SessionThread::logAppended,
                         [this](const QString& text) { log << text; });
        return session;
    }

    static LogonRecord anonymousOn(const VsftpdServer& server)
    {
        return LogonRecord{server.host(), QStringLiteral("anonymous"), server.port(),
                           QStringLiteral("guest")};
    }

    QTemporaryDir lockFolder;
    SessionRegistry registry;
    RemoteBrowserState remote;
    NamedMutex engineLock{QStringLiteral("mutex1"), lockFolder.path()};
    ScriptedPrompt prompt;
    QStringList log;
};

TEST_F(SessionThreadTest, LogsOnReportsHomeAndListsOnNavigation)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    QFile file(server.pubPath() + QStringLiteral("/hello.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("hi");
    file.close();

    auto session = startSession(anonymousOn(server));
    QSignalSpy loggedOn(session.get(), &SessionThread::loggedOn);
    QSignalSpy shown(session.get(), &SessionThread::remotePathShown);
    QSignalSpy listed(session.get(), &SessionThread::remoteListReady);
    session->start();
    ASSERT_TRUE(loggedOn.wait(signalWaitMs));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.first().first().toString(), QStringLiteral("/"));
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[0], QStringLiteral("连接成功\r\n"));
    EXPECT_TRUE(log[1].startsWith(QStringLiteral("220"))) << log[1].toStdString();
    EXPECT_EQ(registry.current(), session->id());

    remote.setPathBoxText(QStringLiteral("/pub"));
    session->post(QM_NAVIGATE);
    ASSERT_TRUE(listed.wait(signalWaitMs));
    const auto rows = listed.last().first().value<QVector<CListItem>>();
    EXPECT_EQ(namesOf(rows), (QStringList{QStringLiteral(".."), QStringLiteral("hello.txt")}));
    EXPECT_EQ(remote.lastVisited(), QStringLiteral("/pub"));
    EXPECT_EQ(remote.currentFolder(), QStringLiteral("/pub"));

    // The same folder again sends nothing and lists nothing.
    session->post(QM_NAVIGATE);
    session->post(QM_REFRESH);
    ASSERT_TRUE(listed.wait(signalWaitMs));
    EXPECT_EQ(listed.size(), 2);
}

TEST_F(SessionThreadTest, NavigationToAMissingFolderKeepsTheListButTakesTheText)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    auto session = startSession(anonymousOn(server));
    QSignalSpy loggedOn(session.get(), &SessionThread::loggedOn);
    QSignalSpy listed(session.get(), &SessionThread::remoteListReady);
    session->start();
    ASSERT_TRUE(loggedOn.wait(signalWaitMs));
    remote.setPathBoxText(QStringLiteral("/nowhere"));
    session->post(QM_NAVIGATE);
    session->post(QM_REFRESH);
    ASSERT_TRUE(listed.wait(signalWaitMs));
    EXPECT_EQ(listed.size(), 1); // only the refresh listed
    EXPECT_EQ(remote.currentFolder(), QStringLiteral("/nowhere"));
    EXPECT_TRUE(remote.lastVisited().isEmpty());
}

TEST_F(SessionThreadTest, WrongPasswordLogsTheFailureAndLeavesNoEntry)
{
    PyFtpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    auto session = startSession(
        LogonRecord{server.host(), server.user(), server.port(), QStringLiteral("wrong")});
    QSignalSpy failed(session.get(), &SessionThread::logonFailed);
    QSignalSpy finished(session.get(), &SessionThread::finished);
    session->start();
    ASSERT_TRUE(failed.wait(signalWaitMs));
    EXPECT_EQ(log, QStringList{QStringLiteral("连接失败,请检查用户/密码是否正确\r\n")});
    if (finished.isEmpty()) {
        ASSERT_TRUE(finished.wait(signalWaitMs));
    }
    EXPECT_EQ(registry.tabCount(), 0);
    EXPECT_FALSE(session->isRunning());
}

TEST_F(SessionThreadTest, KeepAliveSendsNoopWhenIdleAndQuitEndsTheSession)
{
    VsftpdOptions options;
    options.protocolLog = true;
    VsftpdServer server(options);
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    auto session = startSession(anonymousOn(server), std::chrono::milliseconds(300));
    QSignalSpy loggedOn(session.get(), &SessionThread::loggedOn);
    QSignalSpy finished(session.get(), &SessionThread::finished);
    session->start();
    ASSERT_TRUE(loggedOn.wait(signalWaitMs));
    for (int i = 0; i < 50 && !server.protocolLog().contains(QStringLiteral("NOOP")); ++i)
        QTest::qWait(100);
    EXPECT_TRUE(server.protocolLog().contains(QStringLiteral("NOOP")));
    session->post(QM_QUIT);
    ASSERT_TRUE(finished.wait(signalWaitMs));
    for (int i = 0; i < 30 && !server.protocolLog().contains(QStringLiteral("QUIT")); ++i)
        QTest::qWait(100);
    EXPECT_TRUE(server.protocolLog().contains(QStringLiteral("QUIT")));
}

TEST_F(SessionThreadTest, LogonRequestIsAnsweredWithACopyOfTheRecord)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    auto session = startSession(anonymousOn(server));
    QSignalSpy loggedOn(session.get(), &SessionThread::loggedOn);
    session->start();
    ASSERT_TRUE(loggedOn.wait(signalWaitMs));
    auto worker = std::make_shared<Mailbox>();
    session->post(QM_LOGON_REQUEST, std::make_unique<LogonRequest>(worker));
    std::optional<Mail> answer = worker->take(std::chrono::milliseconds(signalWaitMs));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->message, QM_LOGON);
    auto* payload = dynamic_cast<LogonPayload*>(answer->payload.get());
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->record.host, server.host());
    EXPECT_EQ(payload->record.port, server.port());
    EXPECT_EQ(payload->record.user, QStringLiteral("anonymous"));
}

} // namespace

namespace {

// A server that greets and then never answers: the session's logon waits on it.
TEST_F(SessionThreadTest, DestroyingASessionBlockedOnTheNetworkReturnsPromptly)
{
    TcpListener silent;
    ASSERT_TRUE(silent.listen(QStringLiteral("127.0.0.1")));
    auto session = startSession(LogonRecord{QStringLiteral("127.0.0.1"), QStringLiteral("u"),
                                            silent.port(), QStringLiteral("p")});
    session->start();
    TcpSocket peer = silent.accept(std::chrono::milliseconds(5000));
    ASSERT_TRUE(peer.isOpen());
    QElapsedTimer timer;
    timer.start();
    session.reset();
    EXPECT_LT(timer.elapsed(), 3000); // the network time-out of the session is 5 s
}

} // namespace
