#include "TransferFixture.h"
#include "queue/FolderTransfer.h"
#include "support/FileBytes.h"
#include "support/NamedCases.h"

namespace {

using namedcases::caseName;
using namedcases::operator<<;

const QString fileName = QStringLiteral("f.bin");

// What lies at the target before an entry runs: the user's old file (the overwrite question is
// answered 是) or a ".td" file of the user's own; and whether the source can be read. A folder
// entry moves the folder "d" that holds the file.
struct OwnCase {
    const char* name;
    bool download;
    bool folder;
    const char* oldTarget; // nullptr: none
    const char* usersPart; // content of the user's own "<target>.td"; nullptr: none
    bool sourceReadable;
};

class TransferOwnershipTest : public TransferFixture,
                              public ::testing::WithParamInterface<OwnCase> {
protected:
    void SetUp() override
    {
        TransferFixture::SetUp();
        TransferEnvironment env = environment();
        env.moveFolder = &FolderTransfer::MoveJob;
        handler = std::make_unique<QueueStartHandler>(env);
    }
};

// The user's files are replaced only by a complete file and are otherwise never touched.
TEST_P(TransferOwnershipTest, UsersFilesAreReplacedOnlyByACompleteFile)
{
    const OwnCase& c = GetParam();
    const QString entry = c.folder ? QStringLiteral("d") : fileName;
    const QString file = c.folder ? QStringLiteral("d/") + fileName : fileName;
    const QString source = c.download ? remoteFile(file) : localFile(file);
    const QString target = c.download ? localFile(file) : remoteFile(file);
    for (const QString& folder : {remoteFile(entry), localFile(entry)})
        ASSERT_TRUE(!c.folder || (QDir().mkpath(folder) && VsftpdServer::giveToServerUser(folder)));
    const QByteArray data = makeFile(source, 200 * 1024);
    if (!c.sourceReadable && c.download)
        QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner);
    if (!c.sourceReadable && !c.download)
        QFile::remove(source);
    if (c.oldTarget)
        VsftpdServer::writeServerFile(target, QByteArray(c.oldTarget));
    if (c.usersPart)
        VsftpdServer::writeServerFile(target + QStringLiteral(".td"), QByteArray(c.usersPart));
    const int row =
        c.download ? addDownload(entry, entry, c.folder) : addUpload(entry, entry, c.folder);

    const QStringView done = c.download ? QueueState::Downloaded : QueueState::Uploaded;
    ASSERT_TRUE(waitForState(row, c.sourceReadable ? done : QueueState::Failed))
        << state(row).toStdString();
    EXPECT_EQ(filebytes::read(target), c.sourceReadable ? data : QByteArray(c.oldTarget));
    if (c.usersPart) {
        EXPECT_EQ(filebytes::read(target + QStringLiteral(".td")), QByteArray(c.usersPart));
    }
    ASSERT_TRUE(slotsBack());
}

const OwnCase ownCases[] = {
    {"DownloadThatFailsKeepsTheOldFile", true, false, "old", nullptr, false},
    {"UploadThatFailsKeepsTheOldFile", false, false, "old", nullptr, false},
    {"FolderDownloadThatFailsKeepsTheOldFile", true, true, "old", nullptr, false},
    {"DownloadReplacesTheOldFile", true, false, "old", nullptr, true},
    {"UploadReplacesTheOldFile", false, false, "old", nullptr, true},
    {"FolderUploadReplacesTheOldFile", false, true, "old", nullptr, true},
    {"DownloadBesideTheUsersPart", true, false, nullptr, "mine", true},
    {"UploadBesideTheUsersPart", false, false, nullptr, "mine", true},
};
INSTANTIATE_TEST_SUITE_P(Cases, TransferOwnershipTest, ::testing::ValuesIn(ownCases), caseName);

class TransferRestartTest : public TransferFixture,
                            public ::testing::WithParamInterface<const char*> {};

// A running row set waiting again (开始, or 暂停 and 开始 at once) runs once more only after its
// transfer has stopped, continuing its own part: the file arrives whole.
TEST_P(TransferRestartTest, RunningRowStartedAgainEndsWhole)
{
    const QByteArray data = makeFile(remoteFile(fileName), 4 * 1024 * 1024);
    const int row = addDownload(fileName, fileName);
    ASSERT_TRUE(waitForRunning(row));
    for (const QString& next : QString::fromUtf8(GetParam()).split(u' '))
        queue.setText(row, TransferQueue::StateColumn, next);
    ASSERT_TRUE(waitForState(row, QueueState::Downloaded)) << state(row).toStdString();
    EXPECT_EQ(filebytes::read(localFile(fileName)), data);
}

INSTANTIATE_TEST_SUITE_P(States, TransferRestartTest, ::testing::Values("等待中", "暂停 等待中"));

} // namespace
