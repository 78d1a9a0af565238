#include "queue/gui/QueueFixture.h"

#include "queue/gui/TransferController.h"
#include "session/SessionMessages.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

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

// The window's side of transfers: the queue's rows move files between the server and the
// local pane's folder, and the panes and the desktop hear of it.
class TransferControllerTest : public ConnectedQueueFixture {
protected:
    void SetUp() override
    {
        ConnectedQueueFixture::SetUp();
        viewFeatures->localPane().navigateTo(home.path());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
    }

    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        ConnectedQueueFixture::TearDown();
    }

    int add(const QString& source, const QString& target, QStringView action)
    {
        QueueEntry entry;
        entry.source = source;
        entry.target = target;
        entry.action = action.toString();
        return queue().AddQueueRow(entry, server.host());
    }

    bool waitForState(int row, QStringView state)
    {
        return waitFor([&] { return queue().text(row, TransferQueue::StateColumn) == state; });
    }

    QString localFile(const char* name) const { return home.path() + u'/' + QLatin1String(name); }

    DesktopOpener desktop;
};

// A finished download shows up in the local pane; one to be opened goes to the desktop.
TEST_F(TransferControllerTest, DownloadsShowUpInTheLocalPaneOrOnTheDesktop)
{
    for (const char* name : {"fetched.txt", "notes.txt"})
        ASSERT_TRUE(
            VsftpdServer::writeServerFile(server.pubPath() + u'/' + QLatin1String(name), "text"));
    const int fetched =
        add(QStringLiteral("/pub/fetched.txt"), localFile("fetched.txt"), QueueAction::Download);
    const int opened =
        add(QStringLiteral("/pub/notes.txt"), localFile("notes.txt"), QueueAction::DownloadAndOpen);

    ASSERT_TRUE(waitForState(fetched, QueueState::Downloaded));
    ASSERT_TRUE(waitForState(opened, QueueState::Downloaded));
    EXPECT_TRUE(waitFor(
        [this] { return namesIn(view.localFiles()).contains(QStringLiteral("fetched.txt")); }));
    EXPECT_TRUE(view.logText().contains(QStringLiteral("/pub/fetched.txt下载完成\r\n")));
    EXPECT_TRUE(waitFor([this] { return !desktop.opened.isEmpty(); }));
    EXPECT_EQ(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(localFile("notes.txt"))});
    EXPECT_TRUE(waitFor([this] { return storedSources() == column(TransferQueue::SourceColumn); }));
}

// The finished upload makes the current session list its folder again.
TEST_F(TransferControllerTest, UploadShowsUpInTheRemotePane)
{
    ASSERT_TRUE(VsftpdServer::writeServerFile(localFile("sent.txt"), "sent"));
    SessionController& sessions = viewFeatures->sessions();
    ASSERT_TRUE(waitFor([this] { return !namesIn(view.remoteFiles()).isEmpty(); }));
    sessions.remote().setPathBoxText(QStringLiteral("/pub"));
    sessions.postToCurrent(QM_NAVIGATE);
    ASSERT_TRUE(
        waitFor([&] { return sessions.remote().currentFolder() == QStringLiteral("/pub"); }));
    const int row =
        add(localFile("sent.txt"), QStringLiteral("/pub/sent.txt"), QueueAction::Upload);

    ASSERT_TRUE(waitForState(row, QueueState::Uploaded));
    EXPECT_TRUE(waitFor(
        [this] { return namesIn(view.remoteFiles()).contains(QStringLiteral("sent.txt")); }));
}

} // namespace

#include "TransferControllerTest.moc"
