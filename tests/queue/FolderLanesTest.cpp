#include "TransferFixture.h"
#include "queue/FolderTransfer.h"
#include "support/FileBytes.h"

#include <QDirIterator>
#include <QRegularExpression>

namespace {

constexpr int fileCount = 8;
constexpr qint64 fileSize = 512 * 1024; // a second each at the server's rate

// Folder entries run with the queue's real walk, so their files spread over the free slots.
class FolderLanesTest : public TransferFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        TransferFixture::SetUp();
        TransferEnvironment env = environment();
        env.moveFolder = &FolderTransfer::MoveJob;
        handler = std::make_unique<QueueStartHandler>(env);
    }

    bool download() const { return GetParam(); }
    QString source(const QString& name) const
    {
        return download() ? remoteFile(name) : localFile(name);
    }
    QString target(const QString& name) const
    {
        return download() ? localFile(name) : remoteFile(name);
    }

    // The folder "tree" with its files at the source; their contents by name.
    QHash<QString, QByteArray> makeTree()
    {
        EXPECT_TRUE(QDir().mkpath(source(QStringLiteral("tree"))));
        EXPECT_TRUE(VsftpdServer::giveToServerUser(source(QStringLiteral("tree"))));
        QHash<QString, QByteArray> files;
        for (int i = 0; i < fileCount; ++i) {
            const QString name = QStringLiteral("tree/f%1.bin").arg(i);
            files.insert(name, makeFile(source(name), fileSize));
        }
        return files;
    }

    int addTree()
    {
        const QString tree = QStringLiteral("tree");
        return download() ? addDownload(tree, tree, 1) : addUpload(tree, tree, 1);
    }

    // The server goes on storing what was on its way when an upload stopped: the user restarts
    // later, once the folder's bytes have kept still for a second.
    static bool waitForSteadyFolder(const QString& folder)
    {
        qint64 last = -1;
        for (int round = 0; round < waitMs / 1000; ++round) {
            qint64 now = 0;
            for (QDirIterator file(folder, QDir::Files); file.hasNext();)
                now += QFileInfo(file.next()).size();
            if (now == last)
                return true;
            last = now;
            QTest::qWait(1000);
        }
        return false;
    }

    static int partsIn(const QString& folder)
    {
        QDirIterator parts(folder, {QStringLiteral("*.td")}, QDir::Files);
        int count = 0;
        for (; parts.hasNext(); parts.next())
            ++count;
        return count;
    }
};

// Several files are on their way at once; a pause stops all of them and gives every slot back,
// and the next start resumes the parts to a whole, identical tree.
TEST_P(FolderLanesTest, FolderOverSeveralConnectionsPausesAndResumesWhole)
{
    const QHash<QString, QByteArray> files = makeTree();
    const int row = addTree();
    ASSERT_TRUE(waitForRunning(row));
    ASSERT_TRUE(waitUntil([&] { return partsIn(target(QStringLiteral("tree"))) >= 2; }));

    ASSERT_TRUE(queue.setText(row, TransferQueue::StateColumn, QueueState::Paused.toString()));
    ASSERT_TRUE(slotsBack(3000));
    EXPECT_EQ(state(row), QueueState::Paused);
    ASSERT_TRUE(waitForSteadyFolder(target(QStringLiteral("tree"))));

    restart(row);
    const QStringView done = download() ? QueueState::Downloaded : QueueState::Uploaded;
    ASSERT_TRUE(waitForState(row, done)) << log().join(QString()).toStdString();
    for (auto file = files.cbegin(); file != files.cend(); ++file)
        EXPECT_EQ(filebytes::read(target(file.key())), file.value()) << file.key().toStdString();
    EXPECT_EQ(partsIn(target(QStringLiteral("tree"))), 0);
    const QRegularExpression resumed(QStringLiteral("REST [1-9]"));
    EXPECT_TRUE(!download() || server.protocolLog().contains(resumed));
    EXPECT_EQ(queue.text(row, TransferQueue::ProgressColumn), QStringLiteral("100%"));
    ASSERT_TRUE(slotsBack());
}

// A file that fails on one connection fails the entry, while the others still arrive. The
// server refuses to send a file nobody may read, and to store data where a folder stands.
TEST_P(FolderLanesTest, OneFailedFileEndsTheEntryErr)
{
    const QHash<QString, QByteArray> files = makeTree();
    const QString broken = QStringLiteral("tree/f3.bin");
    const bool brokenOnPurpose =
        download() ? QFile::setPermissions(source(broken), QFile::ReadOwner | QFile::WriteOwner)
                   : QDir().mkpath(target(broken) + QStringLiteral(".td")) &&
                         VsftpdServer::giveToServerUser(target(QStringLiteral("tree")));
    ASSERT_TRUE(brokenOnPurpose);
    const int row = addTree();
    ASSERT_TRUE(waitForState(row, QueueState::Failed)) << state(row).toStdString();
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const QByteArray expected = file.key() == broken ? QByteArray("<missing>") : file.value();
        EXPECT_EQ(filebytes::read(target(file.key())), expected) << file.key().toStdString();
    }
    ASSERT_TRUE(slotsBack());
}

INSTANTIATE_TEST_SUITE_P(Directions, FolderLanesTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& direction) {
                             return direction.param ? "Download" : "Upload";
                         });

} // namespace
