#pragma once

#include <atomic>

// Free transfer slots, shared by the start handler and the workers. The count starts at 4 and a
// start is allowed while it is 0 or more, so five transfers run at once.
class TransferSlots {
public:
    static constexpr int InitialCount = 4;

    // Takes a slot when the count is 0 or more; false leaves the count as it is.
    bool tryTake();
    // Every transfer gives its slot back exactly once, however it ends.
    void giveBack();
    int count() const { return count_.load(); }

private:
    std::atomic<int> count_{InitialCount};
};
