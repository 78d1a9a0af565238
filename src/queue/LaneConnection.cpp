#include "queue/LaneConnection.h"

#include "config/Configuration.h"
#include "ftp/FtpClient.h"
#include "queue/TransferContext.h"
#include "queue/TransferEnvironment.h"
#include "queue/TransferJob.h"
#include "queue/TransferOneFile.h"
#include "session/LogonRecord.h"
#include "session/RemoteNameEncodings.h"
#include "session/RemoteOperations.h"

LaneConnection::LaneConnection(const TransferEnvironment& environment,
                               std::shared_ptr<TransferContext> context,
                               std::shared_ptr<RemoteNameEncodings> encodings)
    : env_(environment), context_(std::move(context)), encodings_(std::move(encodings)),
      client_(std::make_shared<FtpClient>(environment.prompt))
{
    client_->setTimeout(env_.networkTimeout);
    // The walks go passive unless the user chose active mode; see FolderTransfer.
    const DataConnectionMode mode = ReadTransferSettings(env_.configPath).dataMode;
    client_->setDataMode(mode == DataConnectionMode::Automatic ? DataConnectionMode::Passive
                                                               : mode);
    client_->setLogSink(env_.log);
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
        client_->SendCommand(QStringLiteral("QUIT"));
    client_->Disconnect();
}

bool LaneConnection::logOn(const LogonRecord& logon, std::shared_ptr<CertificateJudge> judge)
{
    client_->setCertificateJudge(std::move(judge));
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
