#include "queue/TransferContext.h"

#include "queue/TransferSlots.h"
#include "session/RemoteFileSystem.h"

void TransferContext::giveSlotBack()
{
    if (!slotReturned_.exchange(true))
        slots_.giveBack();
}

void TransferContext::requestStop()
{
    stopRequested_ = true;
    std::lock_guard<std::mutex> hold(clientMutex_);
    if (client_) {
        client_->abortRequested() = 1;
        client_->Interrupt();
    }
    for (const std::weak_ptr<RemoteFileSystem>& helper : helpers_) {
        if (const std::shared_ptr<RemoteFileSystem> client = helper.lock()) {
            client->abortRequested() = 1;
            client->Interrupt();
        }
    }
}

void TransferContext::attachHelper(std::shared_ptr<RemoteFileSystem> client)
{
    std::lock_guard<std::mutex> hold(clientMutex_);
    if (stopRequested_)
        client->Interrupt();
    helpers_.push_back(std::move(client));
}

quint64 TransferContext::helperBytesInFlight()
{
    std::lock_guard<std::mutex> hold(clientMutex_);
    quint64 bytes = 0;
    for (const std::weak_ptr<RemoteFileSystem>& helper : helpers_) {
        const std::shared_ptr<RemoteFileSystem> client = helper.lock();
        if (client && client->transferActive() != 0)
            bytes += client->bytesDone();
    }
    return bytes;
}

void TransferContext::attachClient(std::shared_ptr<RemoteFileSystem> client)
{
    std::lock_guard<std::mutex> hold(clientMutex_);
    client_ = std::move(client);
    if (stopRequested_ && client_)
        client_->Interrupt();
}
