#pragma once

#include "config/Configuration.h"
#include "queue/DigestCheck.h"
#include "queue/ModificationTimes.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class RemoteFileSystem;
class PartRecord;
class RemoteOperations;

// Moves one file under a temporary name, the target followed by ".td", and gives it the final
// name once it is complete. A temporary file that this entry made and that already holds part
// of the data is continued (REST for downloads, APPE for uploads), so an interrupted or failed
// file resumes when it is moved again. A ".td" file the entry did not make is left alone: the
// data then goes to the first free "name.N.td". Used by the worker for file jobs and by the
// folder walks for each file.
class TransferOneFile {
public:
    using Log = std::function<void(const QString&)>;

    // remote renames an upload's temporary file on the same connection as client.
    TransferOneFile(RemoteFileSystem& client, RemoteOperations& remote,
                    std::function<bool()> stopRequested, Log log, QString configPath);

    // True only when the file is complete: the engine ended normally, the server's closing
    // reply was positive, the sizes agree, the server's digest (where it offers one and ftp.ini
    // does not switch the check off) equals the local one, and the file has its final name. An
    // interrupted file is not complete; a failed one is also logged with "err.....". The temporary
    // file stays in both cases. One object serves all attempts at a file, so that a retry knows
    // when the previous attempt lost the answer to its rename.
    // listedSize, from the folder's listing: a download's exact size, which spares the SIZE
    // command (the checks that the file is whole hold against it); for an upload 0 says that
    // no temporary part is on the server, which spares asking for one.
    bool operator()(bool download, const QString& remotePath, const QString& localPath,
                    std::optional<quint64> listedSize = std::nullopt);

    // The folder walks move only files whose target they found missing: the final rename then
    // does not ask the server about the target once more.
    void setTargetsChecked(bool checked) { targetsChecked_ = checked; }
    // The user agreed to replace an existing target: the complete file takes its place.
    void setReplaceAgreed(bool agreed) { replaceAgreed_ = agreed; }
    // The entry's record of the temporary files it made; without one the routine keeps its own.
    void setParts(std::shared_ptr<PartRecord> parts);

    static QString temporaryName(const QString& path);
    // The last file differed from the server's digest: its part is gone, so a retry starts
    // from zero.
    bool digestMismatched() const { return digestMismatch_; }

private:
    enum class LeftOnServer { Unknown, WholePart, FinalName };

    LeftOnServer leftByLostRename(const QString& remote, const QString& local, const QString& part);
    QString partFor(bool download, const QString& finalPath);
    bool partNameTaken(bool download, const QString& path);
    bool complete(bool download, const QString& localFile);
    bool closingReplyPositive();
    void dropOverlongPart(bool download, const QString& remoteFile, const QString& localFile);
    bool matchesServer(bool download, const QString& shownName, const QString& remoteFile,
                       const QString& localFile, const QString& part);
    void keepTime(bool download, const QString& remotePath, const QString& localPath);
    bool giveFinalName(bool download, const QString& remotePath, const QString& localPath,
                       const QString& part);
    bool nameLocal(const QString& part, const QString& finalPath);
    bool nameRemote(const QString& part, const QString& finalPath);

    RemoteFileSystem& client_;
    RemoteOperations& remote_;
    std::function<bool()> stopRequested_;
    Log log_;
    QString configPath_;
    bool targetsChecked_ = false;
    bool replaceAgreed_ = false;
    std::shared_ptr<PartRecord> parts_;
    QString renameInDoubt_; // the remote file whose rename lost its answer
    QString absentPart_;    // the upload part the server just said it does not have
    const TransferSettings settings_;
    DigestCheck digests_;
    ModificationTimes times_;
    bool digestMismatch_ = false;
};
