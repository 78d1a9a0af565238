#include "archive/gui/CompressAndUpload.h"

#include "archive/ZipListing.h"
#include "ftp/FtpClient.h"
#include "ftp/IntegrationSupport.h"
#include "platform/NamedMutex.h"
#include "queue/QueueFile.h"
#include "queue/TransferQueue.h"
#include "support/FileBytes.h"
#include "support/VsftpdServer.h"
#include "view/gui/CommandIds.h"
#include "view/gui/LocalPaneFixture.h"

#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

namespace {

class CompressAndUploadTest : public LocalPaneFixture {
protected:
    void select(const QStringList& names)
    {
        pane.RefreshLocalList();
        settle();
        selectNames(names);
    }

    TransferQueue queue;
    NamedMutex lock{QStringLiteral("mutex1"), temp.path()};
    QueueFile queueFile{temp.path() + QLatin1Char('/'), lock};
    bool connected = true;
    CompressAndUpload command{
        view, pane, prompt,
        CompressAndUpload::Sources{
            [this] { return connected; }, [] { return QStringLiteral("/pub"); },
            [this](const QString& local, const QString& remote, const QString& size,
                   const QString&) {
                queue.AddUpload(local, remote, 0, size, view.host(), queueFile);
            },
            [] { return QString(); }}};
};

TEST_F(CompressAndUploadTest, RefusesWithoutConnectionOrSelection)
{
    writeFile(QStringLiteral("a.txt"));
    select({QStringLiteral("a.txt")});
    connected = false;
    view.commands().dispatch(CommandId::LocalCompressAndUpload);
    connected = true;
    select({});
    EXPECT_FALSE(view.commands().isEnabled(CommandId::LocalCompressAndUpload));
    EXPECT_TRUE(view.commands().isEnabled(CommandId::CompressAndUpload));
    view.commands().dispatch(CommandId::CompressAndUpload);
    EXPECT_EQ(prompt.texts(),
              (QStringList{QStringLiteral("未连接"),
                           QStringLiteral("请先在本地列表中选择要压缩上传的文件或文件夹")}));
    EXPECT_EQ(queue.rowCount(), 0);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.txt.zip"))));
}

// One upload of the archive is queued, and the archive arrives intact on a real server.
TEST_F(CompressAndUploadTest, QueuesOneUploadThatArrivesIntact)
{
    writeFile(QStringLiteral("a.txt"), 3000);
    writeFile(QStringLiteral("b.txt"), 5);
    makeFolder(QStringLiteral("docs/img"));
    writeFile(QStringLiteral("docs/img/b.png"), 10);
    select({QStringLiteral("docs"), QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    view.commands().dispatch(CommandId::LocalCompressAndUpload);

    const QString archive = path(QStringLiteral("docs.zip"));
    EXPECT_EQ(
        ziplisting::entries(archive),
        (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("docs/"),
                     QStringLiteral("docs/img/"), QStringLiteral("docs/img/b.png")}));
    ASSERT_EQ(queue.rowCount(), 1);
    EXPECT_EQ(queue.text(0, TransferQueue::SourceColumn), archive);
    EXPECT_EQ(queue.text(0, TransferQueue::TargetColumn), QStringLiteral("/pub/docs.zip"));
    EXPECT_EQ(queue.text(0, TransferQueue::SizeColumn), QString::number(QFileInfo(archive).size()));
    EXPECT_EQ(queue.text(0, TransferQueue::ActionColumn), QStringLiteral("UP"));

    VsftpdServer server;
    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    FtpClient client;
    LogonInfo logon;
    logon.host = server.host();
    logon.port = server.port();
    logon.user = QStringLiteral("anonymous");
    ASSERT_TRUE(client.Logon(logon)) << client.replyLine.toStdString();
    ASSERT_TRUE(client.TransferFile(queue.text(0, TransferQueue::TargetColumn),
                                    queue.text(0, TransferQueue::SourceColumn), true, false,
                                    QString()))
        << client.replyLine.toStdString();
    EXPECT_TRUE(client.replyLine.startsWith(QStringLiteral("226")));
    EXPECT_EQ(filebytes::read(server.pubPath() + QStringLiteral("/docs.zip")),
              filebytes::read(archive));
}

// Packing a big file shows the progress dialog while the window keeps handling events, and its
// cancel button stops the packing: nothing is queued and the older archive stays as it was.
TEST_F(CompressAndUploadTest, CancelFromTheProgressDialog)
{
    ASSERT_TRUE(integration::writeFile(path(QStringLiteral("noise.bin")),
                                       integration::randomBytes(64 * 1024 * 1024)));
    ASSERT_TRUE(integration::writeFile(path(QStringLiteral("noise.bin.zip")), "older archive"));
    select({QStringLiteral("noise.bin")});
    bool dialogShown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = view.findChild<QProgressDialog*>();
        if (dialog && dialog->isVisible()) {
            dialogShown = true;
            dialog->findChild<QPushButton*>()->click();
        }
    });
    poll.start(50);
    view.commands().dispatch(CommandId::LocalCompressAndUpload);
    poll.stop();
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(queue.rowCount(), 0);
    EXPECT_EQ(filebytes::read(path(QStringLiteral("noise.bin.zip"))), "older archive");
    EXPECT_TRUE(QDir(temp.path())
                    .entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden)
                    .isEmpty());
}

// An older archive of the same name that is itself selected goes into the new one as content.
TEST_F(CompressAndUploadTest, SelectedOlderArchiveIsPackedAsContent)
{
    writeFile(QStringLiteral("a.txt"), 10);
    ASSERT_TRUE(integration::writeFile(path(QStringLiteral("a.txt.zip")), "older archive"));
    select({QStringLiteral("a.txt"), QStringLiteral("a.txt.zip")});
    view.commands().dispatch(CommandId::LocalCompressAndUpload);
    EXPECT_EQ(ziplisting::entries(path(QStringLiteral("a.txt.zip"))),
              (QStringList{QStringLiteral("a.txt"), QStringLiteral("a.txt.zip")}));
    EXPECT_EQ(queue.rowCount(), 1);
}

} // namespace
