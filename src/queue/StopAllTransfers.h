#pragma once

#include <atomic>

// Raised by clearing the queue: every running transfer's monitor that sees it interrupts its
// transfer. A new transfer's monitor lowers it when it starts.
class StopAllTransfers {
public:
    void raise() { raised_.store(true); }
    void lower() { raised_.store(false); }
    bool isRaised() const { return raised_.load(); }

private:
    std::atomic<bool> raised_{false};
};
