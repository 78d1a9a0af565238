#include "archive/gui/RemoteArchiveCommands.h"

#include "archive/ZipWriter.h"
#include "config/Configuration.h"
#include "ftp/IntegrationSupport.h"
#include "support/ChildProcess.h"
#include "support/FileBytes.h"
#include "support/FreePorts.h"
#include "support/ProfileSandbox.h"
#include "support/RemoteListRows.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/SessionController.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

bool waitFor(const std::function<bool()>& condition)
{
    return QTest::qWaitFor(condition, 10000);
}

// vsftpd and kevra-archived serving the same temporary root, and a view connected to the
// FTP server showing /pub.
class RemoteArchiveCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        pub = server.pubPath();
        for (const char* name : {"a.txt", "b.txt"})
            ASSERT_TRUE(integration::writeFile(pub + u'/' + QString::fromLatin1(name),
                                               QByteArray("contents of ") + name));
        startService();
        view.initialUpdate(LoadConfiguration(work.path()));
        view.setHost(server.host());
        view.setPort(server.port());
        view.setUser(QStringLiteral("anonymous"));
        sessions.OnConnect();
        ASSERT_TRUE(waitFor([&] { return view.sessionTabs()->count() == 1; }));
        view.remotePathBox()->setEditText(QStringLiteral("/pub"));
        QTest::keyClick(view.remotePathBox()->lineEdit(), Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("b.txt")); }));
    }

    void TearDown() override
    {
        EXPECT_TRUE(waitFor([&] { return commands.isIdle(); }));
    }

    void startService()
    {
        const quint16 port = freeports::freeTcpPort();
        const QString log = work.filePath(QStringLiteral("archived.log"));
        ASSERT_TRUE(service.start(QStringLiteral(KEVRA_BINARY_DIR "/kevra-archived"),
                                  {QStringLiteral("--address"), QStringLiteral("127.0.0.1"),
                                   QStringLiteral("--port"), QString::number(port),
                                   QStringLiteral("--root"), server.rootPath(),
                                   QStringLiteral("--users"), QStringLiteral("anonymous")},
                                  log));
        ASSERT_TRUE(waitFor([&] { return filebytes::read(log).contains("listening"); }))
            << filebytes::read(log).toStdString();
        commands.setServicePort(port);
    }

    QStringList names() const { return remoterows::names(view); }
    void select(const QStringList& wanted) const { remoterows::select(view, wanted); }

    ProfileSandbox profile;
    QTemporaryDir work;
    VsftpdServer server;
    ChildProcess service;
    QString pub;
    CftpView view;
    ScriptedPrompt prompt;
    SessionController sessions{view, prompt, work.path()};
    RemoteArchiveCommands commands{view, sessions, [] { return 0; }};
};

TEST_F(RemoteArchiveCommandsTest, CompressedFilesComeBackFromTheArchive)
{
    const auto& dispatcher = view.commands();
    select({});
    EXPECT_FALSE(dispatcher.isEnabled(CommandId::RemoteCompress));
    select({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    EXPECT_FALSE(dispatcher.isEnabled(CommandId::RemoteExtract));
    dispatcher.dispatch(CommandId::RemoteCompress);
    ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("a.txt.zip")); }))
        << view.logText().toStdString();
    EXPECT_TRUE(view.logText().endsWith(QStringLiteral("正在压缩/pub/a.txt等中\r\n"
                                                       "压缩/pub/a.txt等成功\r\n")));

    ASSERT_TRUE(QFile::remove(pub + QStringLiteral("/a.txt")));
    ASSERT_TRUE(QFile::remove(pub + QStringLiteral("/b.txt")));
    sessions.refreshRemote();
    ASSERT_TRUE(waitFor([&] { return !names().contains(QStringLiteral("b.txt")); }));
    select({QStringLiteral("a.txt.zip")});
    EXPECT_TRUE(dispatcher.isEnabled(CommandId::RemoteExtract));
    dispatcher.dispatch(CommandId::RemoteExtract);
    ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("b.txt")); }))
        << view.logText().toStdString();
    EXPECT_TRUE(view.logText().endsWith(QStringLiteral("解压/pub/a.txt.zip成功\r\n")));
    EXPECT_EQ(filebytes::read(pub + QStringLiteral("/a.txt")), "contents of a.txt");
    EXPECT_EQ(filebytes::read(pub + QStringLiteral("/b.txt")), "contents of b.txt");
}

TEST_F(RemoteArchiveCommandsTest, HostileArchiveExtractsNothing)
{
    {
        ZipWriter zip(pub + QStringLiteral("/bad.zip"));
        ASSERT_TRUE(zip.addFile(QStringLiteral("fine.txt"), pub + QStringLiteral("/a.txt")));
        ASSERT_TRUE(zip.addFile(QStringLiteral("../../evil"), pub + QStringLiteral("/a.txt")));
    }
    sessions.refreshRemote();
    ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("bad.zip")); }));
    select({QStringLiteral("bad.zip")});
    view.commands().dispatch(CommandId::RemoteExtract);
    ASSERT_TRUE(waitFor([&] {
        return view.logText().endsWith(QStringLiteral("false!"
                                                      "\r\n原因：压缩包中有条目名称不安全（会写到目"
                                                      "标文件夹之外或无法解码），已拒绝解压\r\n"));
    })) << view.logText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(pub + QStringLiteral("/fine.txt")));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(server.rootPath()).path() + QStringLiteral("/evil")));
}

// The request is GBK: a name it cannot carry is refused with the reason before anything is sent.
TEST_F(RemoteArchiveCommandsTest, NameOutsideGbkIsRefusedBeforeSending)
{
    ASSERT_TRUE(integration::writeFile(pub + QStringLiteral("/한글.txt"), "hangul"));
    sessions.refreshRemote();
    ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("한글.txt")); }));
    select({QStringLiteral("한글.txt")});
    view.commands().dispatch(CommandId::RemoteCompress);
    EXPECT_TRUE(view.logText().endsWith(
        QStringLiteral("false!\r\n原因：“/pub/한글.txt”中含有 GBK 编码无法表示的字符（例如韩文或"
                       "表情符号），压缩服务收不到正确的名称，未发送\r\n")));
    EXPECT_TRUE(commands.isIdle());
}

// The archive service runs on the FTP server's host, whatever scheme and port the server box
// names for FTP.
TEST_F(RemoteArchiveCommandsTest, ServiceIsReachedAtTheHostOfASchemedServerText)
{
    view.setHost(QStringLiteral("ftpes://%1:%2").arg(server.host()).arg(server.port()));
    select({QStringLiteral("a.txt")});
    view.commands().dispatch(CommandId::RemoteCompress);
    ASSERT_TRUE(waitFor([&] { return names().contains(QStringLiteral("a.txt.zip")); }))
        << view.logText().toStdString();
}

} // namespace
