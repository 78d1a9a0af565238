#include "QueueFixture.h"

#include "session/SessionMessages.h"
#include "support/DropEvents.h"
#include "view/gui/ControlIds.h"

#include <QFileInfo>

namespace {

using namespace dropevents;

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Drops on the file lists with a real server behind the remote pane, showing "/pub".
class PaneDropTest : public ConnectedQueueFixture {
protected:
    void SetUp() override
    {
        ConnectedQueueFixture::SetUp();
        viewFeatures->sessions().remote().setPathBoxText(QStringLiteral("/pub"));
        viewFeatures->sessions().postToCurrent(QM_NAVIGATE);
        ASSERT_TRUE(waitFor([this] {
            return viewFeatures->sessions().remote().currentFolder() == QStringLiteral("/pub");
        }));
    }

    // Selects the row of name alone, once a listing shows it; answers its centre.
    static QPoint select(CMyListCtrl* list, const FileListModel* files, const QString& name)
    {
        int found = -1;
        waitFor([&] {
            settle();
            for (int row = 0; row < files->rowCount() && found < 0; ++row)
                found = files->rowAt(row).texts.value(0) == name ? row : -1;
            return found >= 0;
        });
        list->selectionModel()->select(files->index(found, 0), QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
        return list->visualRect(files->index(found, 0)).center();
    }

    QString onServer(const char* name) const
    {
        return server.pubPath() + u'/' + QString::fromUtf8(name);
    }
    QString onDesktop(const char* name) const
    {
        return homeFolder() + QStringLiteral("/Desktop/") + QString::fromUtf8(name);
    }
};

TEST_F(PaneDropTest, RemoteFileDroppedOnARemoteFolderRowMovesThereOnTheServer)
{
    ASSERT_TRUE(VsftpdServer::writeServerFile(onServer("report.txt"), "report"));
    ASSERT_TRUE(QDir().mkdir(onServer("archive")) &&
                VsftpdServer::giveToServerUser(onServer("archive")));
    viewFeatures->sessions().postToCurrent(QM_REFRESH);
    const QPoint archive = select(view.remoteList(), view.remoteFiles(), QStringLiteral("archive"));
    select(view.remoteList(), view.remoteFiles(), QStringLiteral("report.txt"));

    ASSERT_TRUE(drop(view.remoteList(), *rowsOf(ControlId::RemoteList), archive));

    EXPECT_TRUE(waitFor([this] { return QFile::exists(onServer("archive/report.txt")); }));
    EXPECT_FALSE(QFile::exists(onServer("report.txt")));
}

TEST_F(PaneDropTest, FilesFromTheFileManagerAndRowsOfTheOtherPaneArriveIntact)
{
    QByteArray single(300000, '\0');
    for (int i = 0; i < single.size(); ++i)
        single[i] = static_cast<char>(i * 31 % 251);
    ASSERT_TRUE(QDir().mkpath(onDesktop("set/deeper")));
    ASSERT_TRUE(VsftpdServer::writeServerFile(onDesktop("set/deeper/single.bin"), single));
    ASSERT_TRUE(VsftpdServer::writeServerFile(onDesktop("up.txt"), "going up"));
    ASSERT_TRUE(VsftpdServer::writeServerFile(onDesktop("set/a.txt"), "a"));
    ASSERT_TRUE(VsftpdServer::writeServerFile(onServer("down.txt"), "coming down"));
    QStringList handedOver; // before a transfer can write sizes of its own
    view.remoteList()->setDropUploader(
        [&](const QString& local, const QString& remote, const QString& size) {
            handedOver << remote + u' ' + size;
            features->commands().AddUploadFromPath(local, remote, size);
        });

    ASSERT_TRUE(drop(view.remoteList(),
                     *filesFromFileManager({onDesktop("set/deeper/single.bin"), onDesktop("set")}),
                     QPoint(5, 5)));
    EXPECT_EQ(handedOver.join(u',').toStdString(), "/pub/single.bin 300000,/pub/set 300001");
    viewFeatures->sessions().postToCurrent(QM_REFRESH);
    select(view.remoteList(), view.remoteFiles(), QStringLiteral("down.txt"));
    ASSERT_TRUE(drop(view.localList(), *rowsOf(ControlId::RemoteList), QPoint(5, 5)));
    // The finished download refreshes the local list, which would take away a selection made
    // before it.
    ASSERT_TRUE(waitFor(
        [&] { return queue().text(2, TransferQueue::StateColumn) == QueueState::Downloaded; }));
    settle();
    viewFeatures->localPane().RefreshLocalList();
    select(view.localList(), view.localFiles(), QStringLiteral("up.txt"));
    ASSERT_TRUE(drop(view.remoteList(), *rowsOf(ControlId::LocalList), QPoint(5, 5)));

    ASSERT_EQ(queue().rowCount(), 4);
    const std::pair<QString, QByteArray> arrivals[] = {{onDesktop("down.txt"), "coming down"},
                                                       {onServer("up.txt"), "going up"},
                                                       {onServer("set/deeper/single.bin"), single},
                                                       {onServer("single.bin"), single},
                                                       {onServer("set/a.txt"), "a"}};
    for (const auto& [path, content] : arrivals)
        EXPECT_TRUE(waitFor([&] { return contentOf(path) == content; })) << path.toStdString();
}

} // namespace
