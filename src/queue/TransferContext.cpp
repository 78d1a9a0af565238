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
}

void TransferContext::attachClient(std::shared_ptr<RemoteFileSystem> client)
{
    std::lock_guard<std::mutex> hold(clientMutex_);
    client_ = std::move(client);
    if (stopRequested_ && client_)
        client_->Interrupt();
}
