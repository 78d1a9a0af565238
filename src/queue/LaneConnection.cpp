#include "queue/LaneConnection.h"

#include "queue/TransferContext.h"
#include "queue/TransferEnvironment.h"
#include "queue/TransferJob.h"
#include "queue/TransferOneFile.h"
#include "session/LogonRecord.h"
#include "session/RemoteFileSystem.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"

LaneConnection::LaneConnection(const TransferEnvironment& environment,
                               std::shared_ptr<TransferContext> context,
                               std::shared_ptr<RemoteFileSystem> engine,
                               std::shared_ptr<RemoteNameEncodings> encodings)
    : env_(environment), context_(std::move(context)), encodings_(std::move(encodings)),
      client_(std::move(engine))
{
    // The walks go passive unless the user chose active mode; see FolderTransfer.
    if (client_->dataMode() == DataConnectionMode::Automatic)
        client_->setDataMode(DataConnectionMode::Passive);
    context_->attachHelper(client_);
    remote_ = std::make_unique<RemoteOperations>(
        *client_, browser_, *encodings_, *env_.engineLock, *env_.prompt,
        RemoteOperations::Output{[](const QVector<CListItem>&) {}, env_.log,
                                 [](const QString&) {}});
    const std::shared_ptr<TransferContext> shared = context_;
    moveFile_ = std::make_unique<TransferOneFile>(
        *client_, *remote_, [shared] { return shared->stopRequested(); }, env_.log,
        env_.configPath);
    moveFile_->setTargetsChecked(true);
}

LaneConnection::~LaneConnection()
{
    if (client_->isConnected() && !context_->stopRequested())
        client_->Quit();
    client_->Disconnect();
}

bool LaneConnection::logOn(const LogonRecord& logon)
{
    return !context_->stopRequested() && client_->Logon(logon.logonInfo());
}

void LaneConnection::prepare(const TransferJob& job)
{
    moveFile_->setParts(job.parts);
    moveFile_->setReplaceAgreed(job.replace != 0);
}

bool LaneConnection::move(bool download, const QString& remotePath, const QString& localPath,
                          std::optional<quint64> listedSize)
{
    return (*moveFile_)(download, remotePath, localPath, listedSize);
}
