#include "session/SessionThread.h"

#include "ftp/CertificateJudge.h"
#include "platform/NamedMutex.h"
#include "platform/TcpListener.h"
#include "session/RemoteBrowserState.h"
#include "session/SessionMessages.h"
#include "session/SessionRegistry.h"
#include "support/FakeFtpServer.h"
#include "support/FreePorts.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int signalWaitMs = 10000;

QStringList namesOf(const QVector<CListItem>& rows)
{
    QStringList names;
    for (const CListItem& row : rows)
        names << row.name;
    return names;
}

// What a session reported, as seen on the test's thread.
struct SessionReports {
    QStringList log;
    QStringList shownPaths;
    QVector<QVector<CListItem>> lists;
    int loggedOn = 0;
    int logonFailed = 0;
    int finished = 0;
};

class SessionThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lockFolder.isValid()); }

    // The session emits on its own thread. Connecting through `receiver`, an object of the
    // test's thread, queues every signal here in emission order: the reports are only touched
    // by this thread, and a signal sent before the test starts waiting still counts, which
    // QSignalSpy::wait would miss.
    void record(SessionThread& session)
    {
        QObject::connect(&session, &SessionThread::logAppended, &receiver,
                         [this](const QString& text) { reports.log << text; });
        QObject::connect(&session, &SessionThread::remotePathShown, &receiver,
                         [this](const QString& path) { reports.shownPaths << path; });
        QObject::connect(&session, &SessionThread::remoteListReady, &receiver,
                         [this](const QVector<CListItem>& rows) { reports.lists << rows; });
        QObject::connect(&session, &SessionThread::loggedOn, &receiver,
                         [this] { ++reports.loggedOn; });
        QObject::connect(&session, &SessionThread::logonFailed, &receiver,
                         [this] { ++reports.logonFailed; });
        QObject::connect(&session, &SessionThread::finished, &receiver,
                         [this] { ++reports.finished; });
    }

    static bool waitUntil(const std::function<bool()>& condition)
    {
        return QTest::qWaitFor(condition, signalWaitMs);
    }

    // Requests run in posting order: once a later logon request is answered, the session has
    // carried out every earlier one, and the signals they sent are delivered here.
    static void finishPending(SessionThread& session)
    {
        auto mailbox = std::make_shared<Mailbox>();
        session.post(QM_LOGON_REQUEST, std::make_unique<LogonRequest>(mailbox));
        ASSERT_TRUE(mailbox->take(std::chrono::milliseconds(signalWaitMs)).has_value());
        QCoreApplication::sendPostedEvents();
    }

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
        environment.certificateJudge = judge;
        auto session = std::make_unique<SessionThread>(logon, environment);
        record(*session);
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
    std::shared_ptr<CertificateJudge> judge;
    QObject receiver;
    SessionReports reports;
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
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.loggedOn == 1; }));
    // Shown, then put into the path box once more.
    EXPECT_EQ(reports.shownPaths, (QStringList{QStringLiteral("/"), QStringLiteral("/")}));
    const QStringList& log = reports.log;
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[0], QStringLiteral("连接成功\r\n"));
    EXPECT_TRUE(log[1].startsWith(QStringLiteral("220"))) << log[1].toStdString();
    EXPECT_EQ(registry.current(), session->id());

    remote.setPathBoxText(QStringLiteral("/pub"));
    session->post(QM_NAVIGATE);
    finishPending(*session);
    ASSERT_EQ(reports.lists.size(), 1);
    EXPECT_EQ(namesOf(reports.lists.last()),
              (QStringList{QStringLiteral(".."), QStringLiteral("hello.txt")}));
    EXPECT_EQ(remote.lastVisited(), QStringLiteral("/pub"));
    EXPECT_EQ(remote.currentFolder(), QStringLiteral("/pub"));

    // The same folder again sends nothing and lists nothing.
    session->post(QM_NAVIGATE);
    session->post(QM_REFRESH);
    finishPending(*session);
    EXPECT_EQ(reports.lists.size(), 2); // only the refresh listed
}

// Every later double click builds on the current folder, so a refused one must not stay in it.
TEST_F(SessionThreadTest, NavigationToAMissingFolderKeepsTheListAndTheFolderAndLogsTheReply)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    auto session = startSession(anonymousOn(server));
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.loggedOn == 1; }));
    remote.setPathBoxText(QStringLiteral("/pub"));
    session->post(QM_NAVIGATE);
    finishPending(*session);
    remote.setPathBoxText(QStringLiteral("/pub/nowhere"));
    session->post(QM_NAVIGATE);
    session->post(QM_REFRESH);
    finishPending(*session);
    EXPECT_EQ(reports.lists.size(), 2); // the folder that opened and the refresh
    EXPECT_EQ(remote.currentFolder(), QStringLiteral("/pub"));
    EXPECT_EQ(remote.lastVisited(), QStringLiteral("/pub"));
    EXPECT_TRUE(reports.log.last().startsWith(QStringLiteral("打开文件夹/pub/nowhere失败:550")))
        << reports.log.last().toStdString();
}

TEST_F(SessionThreadTest, WrongPasswordLogsTheFailureAndLeavesNoEntry)
{
    PyFtpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    auto session = startSession(
        LogonRecord{server.host(), server.user(), server.port(), QStringLiteral("wrong")});
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.finished == 1; }));
    EXPECT_EQ(reports.logonFailed, 1);
    EXPECT_EQ(reports.loggedOn, 0);
    EXPECT_EQ(reports.log, (QStringList{QStringLiteral("原因:530 Authentication failed.\r\n"),
                                        QStringLiteral("连接失败,请检查用户/密码是否正确\r\n")}));
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
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.loggedOn == 1; }));
    for (int i = 0; i < 50 && !server.protocolLog().contains(QStringLiteral("NOOP")); ++i)
        QTest::qWait(100);
    EXPECT_TRUE(server.protocolLog().contains(QStringLiteral("NOOP")));
    session->post(QM_QUIT);
    ASSERT_TRUE(waitUntil([this] { return reports.finished == 1; }));
    for (int i = 0; i < 30 && !server.protocolLog().contains(QStringLiteral("QUIT")); ++i)
        QTest::qWait(100);
    EXPECT_TRUE(server.protocolLog().contains(QStringLiteral("QUIT")));
}

TEST_F(SessionThreadTest, LogonRequestIsAnsweredWithACopyOfTheRecord)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    auto session = startSession(anonymousOn(server));
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.loggedOn == 1; }));
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

TEST_F(SessionThreadTest, ARefusedConnectionLogsTheSocketsReasonFirstAndBlamesNoPassword)
{
    auto session = startSession(LogonRecord{QStringLiteral("127.0.0.1"), QStringLiteral("u"),
                                            freeports::freeTcpPort(), QStringLiteral("p")});
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.finished == 1; }));
    EXPECT_EQ(reports.log, (QStringList{QStringLiteral("原因:服务器拒绝连接或无法到达\r\n"),
                                        QStringLiteral("连接失败\r\n")}));
}

// The session's control connection dies with the server; the next request after the server
// is back logs on again with the same record.
TEST_F(SessionThreadTest, ALostConnectionIsReportedOnceKeepsTheListAndTheNextRequestLogsOnAgain)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    ASSERT_TRUE(
        VsftpdServer::writeServerFile(server.pubPath() + QStringLiteral("/hello.txt"), "hi"));
    auto session = startSession(anonymousOn(server));
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.loggedOn == 1; }));
    remote.setPathBoxText(QStringLiteral("/pub"));
    session->post(QM_NAVIGATE);
    finishPending(*session);
    ASSERT_EQ(reports.lists.size(), 1);

    server.kill();
    session->post(QM_REFRESH);
    finishPending(*session);
    ASSERT_TRUE(server.revive());
    session->post(QM_REFRESH);
    finishPending(*session);
    EXPECT_EQ(reports.log.filter(QStringLiteral("与服务器的连接已断开:")).size(), 1)
        << reports.log.join(QString()).toStdString();
    EXPECT_EQ(reports.log.filter(QStringLiteral("重新连接服务器:127.0.0.1")).size(), 1);
    EXPECT_EQ(reports.log.filter(QStringLiteral("连接成功")).size(), 2);
    // The refresh that met the broken connection showed nothing; the next one listed again.
    ASSERT_EQ(reports.lists.size(), 2);
    EXPECT_EQ(namesOf(reports.lists.last()),
              (QStringList{QStringLiteral(".."), QStringLiteral("hello.txt")}));
    EXPECT_EQ(remote.currentFolder(), QStringLiteral("/pub"));
}

// PWD answers "0" when it fails; that is no folder to show or to go back to.
TEST_F(SessionThreadTest, AFailedPwdNeverBecomesAPath)
{
    FakeFtpServer server;
    server.start([](FakeFtpSession& s) {
        s.send("220 ready");
        s.exchange("USER u", "331 password");
        s.exchange("PASS p", "230 in");
        s.answerFeat();
        // At logon the folder is asked for, then listed; a refresh lists, then asks again.
        const auto refusePwd = [&s] {
            s.exchange("PWD", "550 No current directory.");
            s.send("550 Still none.");
        };
        const auto listNothing = [&s](bool firstListing) {
            s.exchange("PWD", "550 No current directory.");
            if (firstListing)
                s.exchange("TYPE I", "200 ok");
            const QByteArray port = s.expectPrefix("PORT ");
            s.send("200 ok");
            s.exchange("LIST ", "150 listing");
            s.connectActive(port);
            s.closeData();
            s.send("226 done");
        };
        refusePwd();
        listNothing(true);
        listNothing(false);
        refusePwd();
        s.expect("QUIT");
    });
    auto session = startSession(
        LogonRecord{server.address(), QStringLiteral("u"), server.port(), QStringLiteral("p")});
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.loggedOn == 1; }));
    session->post(QM_REFRESH);
    session->post(QM_QUIT);
    ASSERT_TRUE(waitUntil([this] { return reports.finished == 1; }));
    ASSERT_TRUE(server.finish());
    EXPECT_TRUE(server.failures().isEmpty()) << server.failures().join(u'\n').toStdString();
    EXPECT_TRUE(reports.shownPaths.isEmpty()) << reports.shownPaths.join(u'|').toStdString();
    for (const QByteArray& command : server.commands())
        EXPECT_FALSE(command.startsWith("CWD")) << command.toStdString();
    EXPECT_EQ(reports.lists.size(), 2);
}

struct RefusingJudge : CertificateJudge {
    bool acceptCertificate(const QString&, int, const TlsCertificate&) override { return false; }
};

// The server text names scheme, host and port; a worker's logon brings the session's judge, so
// a certificate decision made for the session holds for the worker's connection too.
TEST_F(SessionThreadTest, WorkersGetTheServerTextAndTheJudgeOfTheirSession)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    judge = std::make_shared<RefusingJudge>();
    const LogonRecord logon{QStringLiteral("ftp://%1:%2").arg(server.host()).arg(server.port()),
                            QStringLiteral("anonymous"), 1, QStringLiteral("guest")};
    auto session = startSession(logon);
    session->start();
    ASSERT_TRUE(waitUntil([this] { return reports.loggedOn == 1; }))
        << reports.log.join(QString()).toStdString();
    EXPECT_TRUE(reports.log.contains(QStringLiteral("未加密连接(地址以 ftp:// 开头)\r\n")));

    auto worker = std::make_shared<Mailbox>();
    session->post(QM_LOGON_REQUEST, std::make_unique<LogonRequest>(worker));
    std::optional<Mail> answer = worker->take(std::chrono::milliseconds(signalWaitMs));
    ASSERT_TRUE(answer && answer->message == QM_LOGON);
    const auto* payload = dynamic_cast<const LogonPayload*>(answer->payload.get());
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->judge, judge);
    EXPECT_EQ(payload->record.host, logon.host);
    const LogonInfo info = payload->record.logonInfo();
    EXPECT_EQ(info.host, server.host());
    EXPECT_EQ(info.port, server.port());
    EXPECT_EQ(info.tlsMode, TlsMode::Plain);
    EXPECT_EQ(registry.current(), session->id());
}

} // namespace
