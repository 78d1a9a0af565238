#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <QtGlobal>

class RemoteFileSystem;
class TransferSlots;

// What the start handler, the monitor and the worker of one transfer share: its slot, its
// result and its stop request.
class TransferContext {
public:
    explicit TransferContext(TransferSlots& slots) : slots_(slots) {}
    // A transfer whose threads all ended without giving the slot back still returns it.
    ~TransferContext() { giveSlotBack(); }
    TransferContext(const TransferContext&) = delete;
    TransferContext& operator=(const TransferContext&) = delete;

    // Only the first call counts, whichever path ends the transfer.
    void giveSlotBack();

    // The engine clears abortRequested when its next transfer call begins, so the request is
    // also kept here until the worker has ended; a blocked network wait ends at once.
    void requestStop();
    bool stopRequested() const { return stopRequested_.load(); }
    // The worker's engine, reachable by requestStop from then on.
    void attachClient(std::shared_ptr<RemoteFileSystem> client);
    // An extra connection of a folder entry: stopped together with the worker's own.
    void attachHelper(std::shared_ptr<RemoteFileSystem> client);
    // The bytes the extra connections have moved of the files they are moving right now.
    quint64 helperBytesInFlight();

    // The result of the latest engine transfer of this transfer, read by the monitor once the
    // worker has finished.
    std::atomic<bool> transferOk{true};
    // The worker's thread has nothing left to do.
    std::atomic<bool> workerEnded{false};

private:
    TransferSlots& slots_;
    std::atomic<bool> slotReturned_{false};
    std::atomic<bool> stopRequested_{false};
    std::mutex clientMutex_; // guards client_ and helpers_
    std::shared_ptr<RemoteFileSystem> client_;
    std::vector<std::weak_ptr<RemoteFileSystem>> helpers_;
};
