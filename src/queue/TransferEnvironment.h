#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class FileLanes;
class RemoteFileSystem;
class RemoteNameEncodings;
class NamedMutex;
class Prompt;
class StopAllTransfers;
struct SpeedLimits;
class TransferQueue;
class TransferSlots;
struct MailPayload;
struct TransferJob;

// What the scheduler, the start handler, the monitors and the workers need from the rest of the
// program. The callbacks may be called from any thread; the window's side queues them onto its
// own thread.
struct TransferEnvironment {
    // Moves one file of a folder job; false when it failed.
    using FileMover =
        std::function<bool(bool download, const QString& remotePath, const QString& localPath,
                           std::optional<quint64> listedSize)>;
    // Walks a folder job (measure, then move each file with moveFile, or over the lanes when
    // given, testing stopRequested after every file); false when a file failed.
    using FolderMover = std::function<bool(
        RemoteFileSystem& client, const TransferJob& job, FileMover moveFile,
        std::function<bool()> stopRequested, std::function<void(const QString&)> log,
        std::shared_ptr<RemoteNameEncodings> encodings, FileLanes* lanes)>;

    TransferQueue* queue = nullptr;
    TransferSlots* slots = nullptr;
    StopAllTransfers* stopAll = nullptr;
    Prompt* prompt = nullptr;
    NamedMutex* engineLock = nullptr; // "mutex1", taken by a rename's refresh of a listing
    QString configPath;               // handed to the engine with every transfer
    // The program's limits; each worker sets them from ftp.ini as it starts.
    std::shared_ptr<SpeedLimits> speedLimits;
    std::chrono::milliseconds networkTimeout{30000};
    std::chrono::milliseconds watchCycle{999};

    std::function<void(const QString&)> log;
    std::function<void()> saveQueue;
    std::function<QString()> currentRemoteFolder;
    std::function<void()> refreshLocalPane;
    std::function<void()> refreshRemotePane;
    std::function<void(const QString& localPath)> openFile;
    // The session serving a server address; -1 when no tab holds one.
    std::function<int(const QString& address)> findSession;
    std::function<bool(int sessionId, int message, std::unique_ptr<MailPayload> payload)>
        postToSession;
    // Folder jobs fail with "err" while this is empty.
    FolderMover moveFolder;
};
