// Sessions opened from ftp:// addresses, at start-up and handed over by a later start, against
// a real vsftpd.

#include "app/gui/UrlOpener.h"

#include "app/AnotherStart.h"
#include "app/Configuration.h"
#include "app/FtpUrl.h"
#include "support/ProfileSandbox.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"
#include "support/VsftpdServer.h"
#include "view/gui/CftpView.h"
#include "view/gui/FileListModel.h"
#include "view/gui/SessionController.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

bool waitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 200 && !condition(); ++i)
        QTest::qWait(50);
    return condition();
}

// Names in addresses are UTF-8; a server that says so gets them as UTF-8 from the first command.
VsftpdOptions utf8Names()
{
    VsftpdOptions options;
    options.utf8Filesystem = true;
    return options;
}

class UrlOpenerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        ASSERT_TRUE(QDir().mkpath(server.pubPath() + QStringLiteral("/报告 2026")));
        QFile(server.pubPath() + QStringLiteral("/报告 2026/summary.txt"))
            .open(QIODevice::WriteOnly);
        view.initialUpdate(LoadConfiguration(documents.path()));
        sessions.setNetworkTimeout(std::chrono::milliseconds(5000));
    }

    void TearDown() override
    {
        while (view.sessionTabs()->count() > 0)
            sessions.OnDisconnect();
    }

    QString address(const QString& rest) const
    {
        return QStringLiteral("ftp://") + credentials +
               QStringLiteral("127.0.0.1:%1").arg(server.port()) + rest;
    }

    bool remoteListShows(const QString& name) const
    {
        const FileListModel* files = view.remoteFiles();
        for (int row = 0; row < files->rowCount(); ++row) {
            if (files->index(row, 0).data().toString() == name)
                return true;
        }
        return false;
    }

    // Every byte the program stored in its work folder.
    QByteArray storedBytes() const
    {
        QByteArray all;
        QDirIterator files(documents.path(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            if (file.open(QIODevice::ReadOnly))
                all += file.readAll();
        }
        return all;
    }

    const QString password = QStringLiteral("S3cret!pw");
    const QString credentials = QStringLiteral("anonymous:S3cret%21pw@");
    ProfileSandbox profile;
    TemporaryFolder documents{QStringLiteral("documents")};
    VsftpdServer server{utf8Names()};
    CftpView view;
    ScriptedPrompt prompt;
    SessionController sessions{view, prompt, documents.path()};
    UrlOpener opener{view, view, sessions};
};

TEST_F(UrlOpenerTest, OpensTheAddressFolderOnceLoggedOnAndNeverLogsThePassword)
{
    QString error;
    const auto url =
        FtpUrl::parse(address(QStringLiteral("/pub/%E6%8A%A5%E5%91%8A%202026")), error);
    ASSERT_TRUE(url) << error.toStdString();
    opener.open(*url);

    ASSERT_TRUE(waitFor([&] { return remoteListShows(QStringLiteral("summary.txt")); }))
        << view.logText().toStdString();
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/pub/报告 2026"));
    EXPECT_EQ(view.sessionTabs()->count(), 1);
    EXPECT_EQ(view.host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(view.port(), server.port());
    EXPECT_EQ(view.password(), password);
    EXPECT_FALSE(view.logText().contains(password)) << view.logText().toStdString();
    EXPECT_FALSE(storedBytes().contains(password.toUtf8()));
}

TEST_F(UrlOpenerTest, HandedOverAddressOpensASecondTab)
{
    TemporaryFolder runtime(QStringLiteral("runtime"));
    SingleInstance running(runtime.filePath(QStringLiteral("kevra.socket")));
    ASSERT_TRUE(running.listen());
    QObject::connect(&running, &SingleInstance::requestReceived, &opener, &UrlOpener::openRequest);
    QString error;
    opener.open(*FtpUrl::parse(address(QString()), error));
    ASSERT_TRUE(waitFor([&] { return remoteListShows(QStringLiteral("pub")); }));

    ASSERT_TRUE(handOverFromAnotherStart(runtime.filePath(QStringLiteral("kevra.socket")),
                                         address(QStringLiteral("/pub"))));
    ASSERT_TRUE(waitFor([&] { return remoteListShows(QStringLiteral("报告 2026")); }));
    EXPECT_EQ(view.sessionTabs()->count(), 2);
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/pub"));

    // A start without an address only raises the window; an unusable one is noted in the log.
    ASSERT_TRUE(
        handOverFromAnotherStart(runtime.filePath(QStringLiteral("kevra.socket")), QString()));
    ASSERT_TRUE(handOverFromAnotherStart(runtime.filePath(QStringLiteral("kevra.socket")),
                                         QStringLiteral("ftp://127.0.0.1:99999/")));
    QTest::qWait(300);
    EXPECT_EQ(view.sessionTabs()->count(), 2);
    EXPECT_TRUE(view.logText().endsWith(QStringLiteral("不是有效的 ftp:// 地址\r\n")))
        << view.logText().toStdString();
    EXPECT_FALSE(view.logText().contains(password));
}

} // namespace
