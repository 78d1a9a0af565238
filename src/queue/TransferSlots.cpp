#include "queue/TransferSlots.h"

bool TransferSlots::tryTake()
{
    int seen = count_.load();
    // Re-read on contention so two starts can never both take the last slot.
    while (seen >= 0) {
        if (count_.compare_exchange_weak(seen, seen - 1))
            return true;
    }
    return false;
}

void TransferSlots::giveBack()
{
    count_.fetch_add(1);
}
