#pragma once

#include "ftp/DataConnectionMode.h"
#include "queue/FolderListing.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class FileLanes;
class RemoteFileSystem;
class FolderProbe;
class RemoteNameEncodings;
struct TransferJob;

// Moves whole folder trees on a transfer worker's connection: measures a tree into
// client.folderTotalBytes(), then walks it, creating the folders on the far side and handing each
// file to the single-file routine. Inside a folder its files go first, then its sub-folders in
// the order found. A file already at the destination is left alone and counted as done, so a
// walk started again moves only what is missing. Runs on the worker thread only.
// A walk opens a data connection for every file and folder. In active mode each of them is a
// connection from the server to a fresh port of ours, and thousands in a row leave so many
// finished connections waiting (TIME_WAIT) that every new one has to search past them; passive
// connections go to the server's few listening ports. So the walks go passive, unless the
// user chose active mode, and the client gets its mode back afterwards.
class FolderTransfer {
public:
    // Moves one file through the ".td" routine (TransferOneFile); false when the transfer failed.
    // listedSize, from the folder's listing where it tells: a download's exact size; for an
    // upload 0 when no temporary part of the file is on the server.
    using FileMover =
        std::function<bool(bool download, const QString& remotePath, const QString& localPath,
                           std::optional<quint64> listedSize)>;
    // Tested after every file: true once the transfer is to stop (pause, stop, clear).
    using StopTest = std::function<bool()>;
    // encodings: the encodings the session's folders were listed in, shared so that names go
    // back in the bytes the server listed; without it the walk keeps a record of its own.
    FolderTransfer(RemoteFileSystem& client, FileMover moveFile, StopTest stopRequested,
                   std::function<void(const QString&)> log,
                   std::shared_ptr<RemoteNameEncodings> encodings = {});
    ~FolderTransfer();
    FolderTransfer(const FolderTransfer&) = delete;
    FolderTransfer& operator=(const FolderTransfer&) = delete;

    // The most remote entries a walk holds at once: the listing being read and the names of
    // the sub-folders still to visit, on all levels. A listing that would go beyond is refused
    // with a log line, and the walk fails.
    static constexpr qsizetype DefaultEntryLimit = 1000000;
    void setEntryLimit(qsizetype limit) { entryLimit_ = limit; }
    // The user agreed to overwrite the target folder: files already there are moved too, each
    // replacing the old one once it is complete, instead of being left alone.
    void setReplaceExisting(bool replace) { replaceExisting_ = replace; }

    // Files go to the lanes instead of moveFile; the walks then end when the lanes have
    // finished.
    void setLanes(FileLanes* lanes) { lanes_ = lanes; }

    // A folder entry as the queue runs it: its tree measured, then walked.
    static bool MoveJob(RemoteFileSystem& client, const TransferJob& job, FileMover moveFile,
                        StopTest stopRequested, std::function<void(const QString&)> log,
                        std::shared_ptr<RemoteNameEncodings> encodings, FileLanes* lanes);

    void LocalFolderSize(const QString& localFolder);   // adds to client.folderTotalBytes()
    void RemoteFolderSize(const QString& remoteFolder); // adds to client.folderTotalBytes()
    // Both advance client.folderDoneBytes() after each file. Result: true when every file of the
    // tree is at the destination; false when any file failed, a folder could not be read in
    // full, or the walk was stopped. Once the stop test has answered true, this object's
    // walks end at once.
    bool UploadFolder(const QString& remoteFolder, const QString& localFolder);
    bool DownloadFolder(const QString& remoteFolder, const QString& localFolder);

private:
    struct LocalFolder;
    class PendingFolders;

    bool stopNow();
    bool sendFile(bool download, const QString& remote, const QString& local, quint64 bytes,
                  std::optional<quint64> listedSize = std::nullopt);
    void measureLocal(const QString& folder, QStringList& ancestors);
    void measureRemote(const QString& folder, int depth);
    bool uploadTree(const QString& remote, const QString& local, QStringList& ancestors);
    bool uploadFiles(const QString& remote, const QString& local, const LocalFolder& content,
                     bool folderIsNew);
    bool downloadTree(const QString& remote, const QString& local, int depth);
    bool downloadFiles(const QString& remote, const QString& local, const FolderListing& listing);
    bool mayDescend(const QString& remote, int depth);
    FolderListing readListing(const QString& remote, bool reportRefusal = true);
    bool enterLocal(const QString& folder, QStringList& ancestors);
    QSet<QString> remoteNames(const QString& remote, bool& complete);
    bool existsRemotely(const QString& path, const QString& name, const QSet<QString>& listed,
                        bool listingComplete);

    RemoteFileSystem& client_;
    const DataConnectionMode clientMode_;
    FileMover moveFile_;
    StopTest stopRequested_;
    std::function<void(const QString&)> log_;
    std::shared_ptr<RemoteNameEncodings> encodings_;
    std::unique_ptr<FolderProbe> probe_; // made on the first probe
    bool stopped_ = false;
    qsizetype entryLimit_ = DefaultEntryLimit;
    qsizetype heldNames_ = 0; // sub-folder names kept for a later visit, all levels together
    bool replaceExisting_ = false;
    FileLanes* lanes_ = nullptr;
};
