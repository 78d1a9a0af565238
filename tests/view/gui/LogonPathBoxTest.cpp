// The remote path box right after a logon: the home folder as two items, the second selected,
// and one listing of it.

#include "view/gui/SessionController.h"

#include "app/Configuration.h"
#include "support/ProfileSandbox.h"
#include "support/ScriptedPrompt.h"
#include "support/VsftpdServer.h"
#include "view/gui/CftpView.h"
#include "view/gui/FileListModel.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(LogonPathBoxTest, HomeFolderIsAddedTwiceAndListedOnce)
{
    ProfileSandbox profile;
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    CftpView view;
    view.initialUpdate(LoadConfiguration(work.path()));
    ScriptedPrompt prompt;
    SessionController controller(view, prompt, work.path());
    controller.setNetworkTimeout(std::chrono::milliseconds(5000));
    VsftpdOptions options;
    options.protocolLog = true;
    VsftpdServer server(options);
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();

    view.setHost(server.host());
    view.setPort(server.port());
    view.setUser(QStringLiteral("anonymous"));
    view.setPassword(QStringLiteral("guest"));
    controller.OnConnect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.remoteFiles()->rowCount() > 1; }, 10000));
    // Time for a second listing, were one started.
    QTest::qWait(300);

    QComboBox* box = view.remotePathBox();
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(0), QStringLiteral("/"));
    EXPECT_EQ(box->itemText(1), QStringLiteral("/"));
    EXPECT_EQ(box->currentIndex(), 1);
    EXPECT_EQ(view.remotePathText(), QStringLiteral("/"));
    const QString log = server.protocolLog();
    EXPECT_EQ(
        log.count(QRegularExpression(QStringLiteral("FTP command: Client \"[^\"]*\", \"LIST"))), 1)
        << log.toStdString();
    controller.OnDisconnect();
}

} // namespace
