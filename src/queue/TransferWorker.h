#pragma once

#include "ftp/RemoteProtocol.h"
#include "platform/Mailbox.h"
#include "queue/TransferEnvironment.h"
#include "session/LogonRecord.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

class CertificateJudge;
class FileLanes;
class RemoteFileSystem;
class SftpHostKeys;
class SftpPassphrases;
class RemoteNameEncodings;
class RemoteOperations;
class TransferContext;
class TransferOneFile;
struct TransferJob;

// The thread that moves one entry's bytes: it logs on with an engine of its own when its
// session sends the logon parameters, reports the engine to its monitor, carries out the job
// the monitor hands it, and ends, giving the transfer slot back and closing its connection.
// It also ends, the same way, when told to quit before a job came. A file that fails on the
// network is tried again on a new connection, as often and as late as ftp.ini says.
class TransferWorker {
public:
    TransferWorker(const TransferEnvironment& environment,
                   std::shared_ptr<TransferContext> context);
    // Tells the thread to quit and waits for it.
    ~TransferWorker();
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    void start();
    std::shared_ptr<Mailbox> mailbox() const { return mailbox_; }
    bool hasEnded() const { return ended_.load(); }

private:
    void useEngine(RemoteProtocol protocol);
    void run();
    // False once the thread is to end.
    bool handle(Mail& mail);
    void logOn(const LogonRecord& logon);
    void reportEngineWhenPossible();
    void carryOut(const TransferJob& job);
    bool overwriteAllowed(TransferJob& job, RemoteOperations& remote);
    bool move(const TransferJob& job, TransferOneFile& moveFile);
    void openLanes(FileLanes& lanes, const TransferJob& job);
    std::shared_ptr<RemoteFileSystem> newEngine(RemoteProtocol protocol) const;
    bool moveWithRetries(const TransferJob& job, RemoteOperations& remote,
                         const QString& remoteFolder);
    bool failedOnTheNetwork() const;
    bool waitUnlessStopped(std::chrono::milliseconds delay) const;
    bool reconnect(const QString& remoteFolder);
    void postToMonitor(int message, std::unique_ptr<MailPayload> payload = {});
    void end();

    const TransferEnvironment& env_;
    std::shared_ptr<TransferContext> context_;
    std::shared_ptr<Mailbox> mailbox_;
    // Used on the worker's thread only.
    std::weak_ptr<Mailbox> monitor_;
    std::shared_ptr<RemoteFileSystem> client_; // replaced only on the worker's thread
    bool engineReportPending_ = false;
    bool logonArrived_ = false;
    std::optional<LogonRecord> logon_; // kept for the retries' and the lanes' new connections
    // The session's decisions, lent to every connection of the entry.
    std::shared_ptr<CertificateJudge> judge_;
    std::shared_ptr<SftpHostKeys> hostKeys_;
    std::shared_ptr<SftpPassphrases> passphrases_;
    // The encodings the session's folders were listed in; a record of its own until the logon
    // brings the session's.
    std::shared_ptr<RemoteNameEncodings> encodings_;
    std::atomic<bool> ended_{false};
    std::thread thread_;
};
