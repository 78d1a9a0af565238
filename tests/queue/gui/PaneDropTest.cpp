#include "QueueFixture.h"

#include "queue/QueueEntry.h"
#include "support/DropEvents.h"
#include "view/SessionMessages.h"
#include "view/gui/ControlIds.h"

#include <QFileInfo>

namespace {

using namespace dropevents;

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray pattern(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 31 + seed) % 251);
    return data;
}

// Drops on the remote list and drags between the panes, with a real server behind the pane.
class PaneDropTest : public QueueFixture {
protected:
    void SetUp() override
    {
        QueueFixture::SetUp();
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        pub = server.pubPath();
        connectTo(server);
        viewFeatures->sessions().remote().setPathBoxText(QStringLiteral("/pub"));
        viewFeatures->sessions().postToCurrent(QM_NAVIGATE);
        ASSERT_TRUE(waitFor([this] {
            return viewFeatures->sessions().remote().currentFolder() == QStringLiteral("/pub");
        }));
    }

    int remoteRowOf(const QString& name) const
    {
        for (int row = 0; row < view.remoteFiles()->rowCount(); ++row) {
            if (view.remoteFiles()->rowAt(row).texts.value(0) == name)
                return row;
        }
        return -1;
    }

    QPoint remoteCentreOf(const QString& name) const
    {
        return view.remoteList()
            ->visualRect(view.remoteFiles()->index(remoteRowOf(name), 0))
            .center();
    }

    void listRemoteAgainUntil(const QString& name)
    {
        viewFeatures->sessions().postToCurrent(QM_REFRESH);
        ASSERT_TRUE(waitFor([&] { return remoteRowOf(name) >= 0; })) << name.toStdString();
    }

    QString localFile(const QString& relative, const QByteArray& data) const
    {
        const QString file = homeFolder() + QStringLiteral("/Desktop/") + relative;
        EXPECT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(data);
        return file;
    }

    bool finished(QStringView state)
    {
        return waitFor([&] {
            const QStringList all = states();
            return !all.isEmpty() && all.count(state.toString()) == all.size();
        });
    }

    VsftpdServer server;
    QString pub;
};

TEST_F(PaneDropTest, RemoteFileDroppedOnARemoteFolderRowMovesThereOnTheServer)
{
    ASSERT_TRUE(VsftpdServer::writeServerFile(pub + QStringLiteral("/report.txt"), "report"));
    ASSERT_TRUE(QDir(pub).mkdir(QStringLiteral("archive")));
    ASSERT_TRUE(VsftpdServer::giveToServerUser(pub + QStringLiteral("/archive")));
    listRemoteAgainUntil(QStringLiteral("archive"));
    listRemoteAgainUntil(QStringLiteral("report.txt"));
    view.remoteList()->selectionModel()->select(
        view.remoteFiles()->index(remoteRowOf(QStringLiteral("report.txt")), 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    ASSERT_TRUE(drop(view.remoteList(), *rowsOf(ControlId::RemoteList),
                     remoteCentreOf(QStringLiteral("archive"))));

    EXPECT_TRUE(
        waitFor([this] { return QFile::exists(pub + QStringLiteral("/archive/report.txt")); }));
    EXPECT_FALSE(QFile::exists(pub + QStringLiteral("/report.txt")));
    EXPECT_TRUE(waitFor([this] { return remoteRowOf(QStringLiteral("report.txt")) < 0; }));
}

TEST_F(PaneDropTest, AFileAndAFolderFromTheFileManagerAreUploadedIntact)
{
    const QByteArray single = pattern(300000, 1);
    const QString file = localFile(QStringLiteral("out/single.bin"), single);
    localFile(QStringLiteral("out/set/a.bin"), pattern(1000, 2));
    localFile(QStringLiteral("out/set/deeper/b.bin"), pattern(2345, 3));
    const QString folder = QFileInfo(file).path() + QStringLiteral("/set");
    // The size texts as handed to the queue, before a transfer can write its own.
    QStringList sizes;
    view.remoteList()->setDropUploader(
        [this, &sizes](const QString& local, const QString& remote, const QString& size) {
            sizes << remote + u' ' + size;
            features->commands().AddUploadFromPath(local, remote, size);
        });

    ASSERT_TRUE(drop(view.remoteList(), *filesFromFileManager({file, folder}), QPoint(5, 5)));

    EXPECT_EQ(sizes.join(u',').toStdString(), "/pub/single.bin 300000,/pub/set 3345");
    ASSERT_TRUE(finished(QueueState::Uploaded)) << states().join(u' ').toStdString();
    EXPECT_EQ(column(TransferQueue::TargetColumn).join(u',').toStdString(),
              "/pub/single.bin,/pub/set");
    EXPECT_EQ(contentOf(pub + QStringLiteral("/single.bin")), single);
    EXPECT_EQ(contentOf(pub + QStringLiteral("/set/a.bin")), pattern(1000, 2));
    EXPECT_EQ(contentOf(pub + QStringLiteral("/set/deeper/b.bin")), pattern(2345, 3));
}

TEST_F(PaneDropTest, RowsDraggedToTheOtherPaneAreUploadedOrDownloaded)
{
    localFile(QStringLiteral("up.txt"), "going up");
    ASSERT_TRUE(VsftpdServer::writeServerFile(pub + QStringLiteral("/down.txt"), "coming down"));
    listRemoteAgainUntil(QStringLiteral("down.txt"));
    viewFeatures->localPane().RefreshLocalList();
    settle();
    selectAll(view.remoteList());
    view.localList()->selectionModel()->clearSelection();
    for (int row = 0; row < view.localFiles()->rowCount(); ++row) {
        if (view.localFiles()->rowAt(row).texts.value(0) == QStringLiteral("up.txt"))
            view.localList()->selectionModel()->select(view.localFiles()->index(row, 0),
                                                       QItemSelectionModel::Select |
                                                           QItemSelectionModel::Rows);
    }

    ASSERT_TRUE(drop(view.remoteList(), *rowsOf(ControlId::LocalList), QPoint(5, 5)));
    view.remoteList()->selectionModel()->select(
        view.remoteFiles()->index(remoteRowOf(QStringLiteral("down.txt")), 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_TRUE(drop(view.localList(), *rowsOf(ControlId::RemoteList), QPoint(5, 5)));

    EXPECT_EQ(column(TransferQueue::ActionColumn),
              (QStringList{QueueAction::Upload.toString(), QueueAction::Download.toString()}));
    ASSERT_TRUE(
        waitFor([this] { return contentOf(pub + QStringLiteral("/up.txt")) == "going up"; }));
    EXPECT_TRUE(waitFor([this] {
        return contentOf(homeFolder() + QStringLiteral("/Desktop/down.txt")) == "coming down";
    }));
}

} // namespace
