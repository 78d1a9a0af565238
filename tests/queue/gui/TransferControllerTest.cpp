#include "queue/gui/TransferController.h"

#include "app/Configuration.h"
#include "queue/QueueEntry.h"
#include "queue/QueueFile.h"
#include "queue/StopAllTransfers.h"
#include "queue/TransferQueue.h"
#include "queue/TransferSlots.h"
#include "support/ProfileSandbox.h"
#include "support/ScriptedPrompt.h"
#include "support/TemporaryFolder.h"
#include "support/VsftpdServer.h"
#include "view/SessionMessages.h"
#include "view/gui/CftpView.h"
#include "view/gui/FileListModel.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/SessionController.h"

#include <QDesktopServices>
#include <QFile>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

constexpr int waitMs = 15000;

// Stands in for the desktop: records the files the program asks it to open.
class DesktopOpener : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

QStringList namesIn(const FileListModel* model)
{
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->rowAt(row).texts.value(0);
    return names;
}

// The window's side of transfers against a real server: a connected session, the local pane
// showing a folder, and the controller running the queue.
class TransferControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid() && local.isValid());
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        view.initialUpdate(LoadConfiguration(work.path()));
        sessions.setNetworkTimeout(std::chrono::milliseconds(5000));
        view.setHost(server.host());
        view.setPort(server.port());
        view.setUser(QStringLiteral("anonymous"));
        view.setPassword(QStringLiteral("guest"));
        sessions.OnConnect();
        ASSERT_TRUE(QTest::qWaitFor([this] { return sessions.isConnected(); }, waitMs));
        localPane.navigateTo(local.path());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
        controller.setNetworkTimeout(std::chrono::milliseconds(5000));
        controller.start();
    }

    void TearDown() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    int add(const QString& source, const QString& target, QStringView action)
    {
        QueueEntry entry;
        entry.source = source;
        entry.target = target;
        entry.action = action.toString();
        return queue.AddQueueRow(entry, server.host());
    }

    bool waitForState(int row, QStringView state)
    {
        return QTest::qWaitFor([&] { return queue.text(row, TransferQueue::StateColumn) == state; },
                               waitMs);
    }

    ProfileSandbox profile;
    TemporaryFolder work{QStringLiteral("controller-work")};
    TemporaryFolder local{QStringLiteral("controller-local")};
    VsftpdServer server;
    CftpView view;
    ScriptedPrompt prompt;
    DesktopOpener desktop;
    SessionController sessions{view, prompt, work.path()};
    LocalPaneController localPane{view, prompt};
    TransferQueue queue;
    TransferSlots slots;
    StopAllTransfers stopAll;
    TransferController controller{view, prompt, sessions, localPane, queue, slots, stopAll};
};

TEST_F(TransferControllerTest, DownloadShowsUpInTheLocalPaneAndTheQueueIsStored)
{
    ASSERT_TRUE(VsftpdServer::writeServerFile(server.pubPath() + QStringLiteral("/fetched.txt"),
                                              "fetched"));
    const int row = add(QStringLiteral("/pub/fetched.txt"),
                        local.filePath(QStringLiteral("fetched.txt")), QueueAction::Download);

    ASSERT_TRUE(waitForState(row, QueueState::Downloaded));
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return namesIn(view.localFiles()).contains(QStringLiteral("fetched.txt")); },
        waitMs));
    EXPECT_TRUE(view.logText().contains(QStringLiteral("/pub/fetched.txt下载完成\r\n")));
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return QFileInfo(QueueFile::pathIn(view.configuration().workPath)).size() > 0; },
        waitMs));
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(TransferControllerTest, DownloadToOpenIsOpenedOnTheDesktop)
{
    ASSERT_TRUE(
        VsftpdServer::writeServerFile(server.pubPath() + QStringLiteral("/notes.txt"), "notes"));
    const QString target = local.filePath(QStringLiteral("notes.txt"));
    const int row = add(QStringLiteral("/pub/notes.txt"), target, QueueAction::DownloadAndOpen);

    ASSERT_TRUE(waitForState(row, QueueState::Downloaded));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !desktop.opened.isEmpty(); }, waitMs));
    EXPECT_EQ(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(target)});
}

// The finished upload makes the current session list its folder again.
TEST_F(TransferControllerTest, UploadShowsUpInTheRemotePane)
{
    ASSERT_TRUE(VsftpdServer::writeServerFile(local.filePath(QStringLiteral("sent.txt")), "sent"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !namesIn(view.remoteFiles()).isEmpty(); }, waitMs));
    sessions.remote().setPathBoxText(QStringLiteral("/pub"));
    sessions.postToCurrent(QM_NAVIGATE);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return sessions.remote().currentFolder() == QStringLiteral("/pub"); }, waitMs));
    const int row = add(local.filePath(QStringLiteral("sent.txt")), QStringLiteral("/pub/sent.txt"),
                        QueueAction::Upload);

    ASSERT_TRUE(waitForState(row, QueueState::Uploaded));
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return namesIn(view.remoteFiles()).contains(QStringLiteral("sent.txt")); },
        waitMs));
}

} // namespace

#include "TransferControllerTest.moc"
