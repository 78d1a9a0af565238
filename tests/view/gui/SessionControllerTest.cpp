#include "view/gui/SessionController.h"

#include "config/Configuration.h"
#include "support/ProfileSandbox.h"
#include "support/PyFtpdServer.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"
#include "view/gui/CftpView.h"
#include "view/gui/FileListModel.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Spins the event loop until the condition holds or about ten seconds pass.
bool waitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 200 && !condition(); ++i)
        QTest::qWait(50);
    return condition();
}

class SessionControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        Configuration config = LoadConfiguration(work.path());
        view.initialUpdate(config);
        controller.setNetworkTimeout(std::chrono::milliseconds(5000));
    }

    void connectTo(const QString& host, quint16 port,
                   const QString& user = QStringLiteral("anonymous"),
                   const QString& password = QStringLiteral("guest"))
    {
        view.setHost(host);
        view.setPort(port);
        view.setUser(user);
        view.setPassword(password);
        controller.OnConnect();
    }

    QStringList logLines() const
    {
        return view.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }

    QStringList remoteNames() const
    {
        QStringList names;
        for (int row = 0; row < view.remoteFiles()->rowCount(); ++row)
            names << view.remoteFiles()->rowAt(row).texts.value(0);
        return names;
    }

    ProfileSandbox profile;
    QTemporaryDir work;
    CftpView view;
    ScriptedPrompt prompt;
    SessionController controller{view, prompt, work.path()};
};

TEST_F(SessionControllerTest, ConnectAddsATabLogsInOrderAndShowsTheHomeFolder)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    QFile file(server.rootPath() + QStringLiteral("/readme.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    connectTo(server.host(), server.port());
    ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 1; }));
    EXPECT_TRUE(view.sessionTabs()->isVisible() || !view.isVisible());
    EXPECT_EQ(view.sessionTabs()->tabText(0),
              server.host() + u':' + QString::number(server.port()));
    EXPECT_TRUE(controller.isConnected());
    const QStringList lines = logLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("连接服务器:") + server.host());
    EXPECT_EQ(lines[1], QStringLiteral("连接成功"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("220"))) << lines[2].toStdString();
    ASSERT_TRUE(waitFor([&] { return remoteNames().contains(QStringLiteral("readme.txt")); }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/"));
    EXPECT_EQ(remoteNames().first(), QStringLiteral(".."));
    EXPECT_EQ(view.configuration().addresses.first(), server.host());
}

TEST_F(SessionControllerTest, WrongPasswordLogsTheFailureAndAddsNoTab)
{
    PyFtpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    connectTo(server.host(), server.port(), server.user(), QStringLiteral("wrong"));
    ASSERT_TRUE(waitFor([&] { return view.logText().contains(QStringLiteral("连接失败")); }));
    EXPECT_EQ(logLines(), (QStringList{QStringLiteral("连接服务器:") + server.host(),
                                       QStringLiteral("原因:530 Authentication failed."),
                                       QStringLiteral("连接失败,请检查用户/密码是否正确")}));
    EXPECT_EQ(view.sessionTabs()->count(), 0);
    EXPECT_FALSE(controller.isConnected());
    EXPECT_EQ(controller.currentSession(), nullptr);
}

TEST_F(SessionControllerTest, TwoConnectsToOneHostGiveTwoTabsAndDisconnectingBothHidesTheStrip)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    connectTo(server.host(), server.port());
    ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 1; }));
    connectTo(server.host(), server.port());
    ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 2; }));
    const QString label = server.host() + u':' + QString::number(server.port());
    EXPECT_EQ(view.sessionTabs()->tabText(1), QStringLiteral("anonymous@") + label);
    const QStringList entries = controller.registry().tabEntries();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_TRUE(entries[0].startsWith(server.host()));
    EXPECT_TRUE(entries[1].startsWith(server.host()));
    EXPECT_EQ(view.configuration().addresses.count(server.host()), 1);

    controller.OnDisconnect();
    EXPECT_EQ(view.sessionTabs()->count(), 1);
    EXPECT_TRUE(controller.isConnected());
    controller.OnDisconnect();
    EXPECT_EQ(view.sessionTabs()->count(), 0);
    EXPECT_FALSE(view.sessionTabs()->isVisibleTo(&view));
    EXPECT_FALSE(controller.isConnected());
    EXPECT_TRUE(view.host().isEmpty());
    EXPECT_EQ(view.port(), std::optional<int>(server.port()));
    EXPECT_EQ(view.remoteFiles()->rowCount(), 0);
    EXPECT_TRUE(view.logText().endsWith(label + QStringLiteral("已断开连接\r\n")));
}

TEST_F(SessionControllerTest, MessagesForAnEmptyServerAndForDisconnectWithoutASession)
{
    view.setHost(QString());
    controller.OnConnect();
    controller.OnDisconnect();
    EXPECT_EQ(prompt.texts(),
              (QStringList{QStringLiteral("请填入服务器地址"), QStringLiteral("尚未连接")}));
    EXPECT_TRUE(view.logText().isEmpty());
}

// A server text that cannot be connected to is refused before any session starts.
TEST_F(SessionControllerTest, UnusableServerTextIsRefusedWithItsReason)
{
    for (const QString& host : {QStringLiteral("http://example.com"),
                                QStringLiteral("example.com:ftp"), QStringLiteral("ftp://a@b")}) {
        view.setHost(host);
        controller.OnConnect();
    }
    const QStringList told = prompt.texts();
    ASSERT_EQ(told.size(), 3);
    EXPECT_TRUE(told[0].contains(QStringLiteral("ftpes://"))) << told[0].toStdString();
    EXPECT_TRUE(told[1].contains(QStringLiteral("端口"))) << told[1].toStdString();
    EXPECT_TRUE(told[2].contains(QStringLiteral("用户名"))) << told[2].toStdString();
    EXPECT_TRUE(view.logText().isEmpty());
    EXPECT_EQ(controller.currentSession(), nullptr);
    EXPECT_TRUE(view.configuration().addresses.isEmpty());
}

// "ftp://host:port" connects to that port whatever the port field says, and keeps its scheme in
// the tab and among the remembered servers.
TEST_F(SessionControllerTest, SchemeAndPortTypedWithTheServerAreKept)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    const QString typed = QStringLiteral("ftp://%1:%2").arg(server.host()).arg(server.port());
    view.setHost(typed);
    view.setPort(1);
    view.setUser(QStringLiteral("anonymous"));
    view.setPassword(QStringLiteral("guest"));
    controller.OnConnect();
    ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 1; }))
        << view.logText().toStdString();
    EXPECT_EQ(view.sessionTabs()->tabText(0), typed);
    EXPECT_EQ(view.configuration().addresses.first(), typed);
    EXPECT_TRUE(prompt.texts().isEmpty()) << prompt.texts().join(u'|').toStdString();
}

TEST_F(SessionControllerTest, NoopReachesTheServerAfterTheIdleInterval)
{
    VsftpdOptions options;
    options.protocolLog = true;
    VsftpdServer server(options);
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    controller.setKeepAliveInterval(std::chrono::milliseconds(400));
    connectTo(server.host(), server.port());
    ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 1; }));
    EXPECT_TRUE(waitFor([&] { return server.protocolLog().contains(QStringLiteral("NOOP")); }));
}

TEST_F(SessionControllerTest, TabsSwitchBetweenSessionsInDifferentFolders)
{
    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    QFile file(server.pubPath() + QStringLiteral("/inpub.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    connectTo(server.host(), server.port());
    ASSERT_TRUE(waitFor([&] { return remoteNames().contains(QStringLiteral("pub")); }));
    view.remotePathBox()->setEditText(QStringLiteral("/pub"));
    QTest::keyClick(view.remotePathBox()->lineEdit(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return remoteNames().contains(QStringLiteral("inpub.txt")); }));

    connectTo(server.host(), server.port());
    ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 2; }));
    ASSERT_TRUE(waitFor([&] { return remoteNames().contains(QStringLiteral("pub")); }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/"));

    view.sessionTabs()->setCurrentIndex(0); // as a click on the first tab
    ASSERT_TRUE(waitFor([&] { return remoteNames().contains(QStringLiteral("inpub.txt")); }));
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/pub"));
    EXPECT_EQ(controller.registry().current(), controller.registry().sessionAtTab(0));
}

} // namespace

namespace {

// Closing the main window destroys the controller while its sessions still run: each says QUIT
// and ends, and its thread is waited for without waiting out a network time-out.
TEST(SessionControllerShutdown, DestroyingTheControllerEndsLiveSessionsPromptly)
{
    ProfileSandbox profile;
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    VsftpdOptions options;
    options.protocolLog = true;
    VsftpdServer server(options);
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    CftpView view;
    view.initialUpdate(LoadConfiguration(work.path()));
    ScriptedPrompt prompt;
    auto controller = std::make_unique<SessionController>(view, prompt, work.path());
    for (int session = 1; session <= 2; ++session) {
        view.setHost(server.host());
        view.setPort(server.port());
        view.setUser(QStringLiteral("anonymous"));
        controller->OnConnect();
        ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == session; }));
    }
    QElapsedTimer timer;
    timer.start();
    controller.reset();
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(waitFor([&] { return server.protocolLog().count(QStringLiteral("QUIT")) == 2; }));
}

} // namespace
