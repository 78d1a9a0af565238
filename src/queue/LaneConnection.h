#pragma once

#include "session/RemoteBrowserState.h"

#include <QString>

#include <memory>
#include <optional>

class RemoteFileSystem;
class RemoteNameEncodings;
class RemoteOperations;
class TransferContext;
class TransferOneFile;
struct LogonRecord;
struct TransferEnvironment;
struct TransferJob;

// One extra connection of a folder entry, with a logon of its own, that moves files through the
// same ".td" routine as the worker's connection and shares the entry's record of temporary
// files and its stop request. Made and used on one lane thread.
class LaneConnection {
public:
    // engine: a new one of the session's protocol, set up as the worker's.
    LaneConnection(const TransferEnvironment& environment, std::shared_ptr<TransferContext> context,
                   std::shared_ptr<RemoteFileSystem> engine,
                   std::shared_ptr<RemoteNameEncodings> encodings);
    // Says goodbye to the server unless the entry was stopped.
    ~LaneConnection();
    LaneConnection(const LaneConnection&) = delete;
    LaneConnection& operator=(const LaneConnection&) = delete;

    bool logOn(const LogonRecord& logon);
    // The entry's settings for every file: its temporary-file record, and whether the user agreed
    // to replace existing targets.
    void prepare(const TransferJob& job);
    bool move(bool download, const QString& remotePath, const QString& localPath,
              std::optional<quint64> listedSize);

private:
    const TransferEnvironment& env_;
    std::shared_ptr<TransferContext> context_;
    std::shared_ptr<RemoteNameEncodings> encodings_;
    std::shared_ptr<RemoteFileSystem> client_;
    RemoteBrowserState browser_;
    std::unique_ptr<RemoteOperations> remote_;
    std::unique_ptr<TransferOneFile> moveFile_;
};
