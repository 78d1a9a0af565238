#pragma once

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

// Base of everything carried with a posted message; the receiver owns it once taken.
struct MailPayload {
    virtual ~MailPayload() = default;
};

struct Mail {
    int message = 0;
    quintptr value = 0;
    std::unique_ptr<MailPayload> payload;
};

// The inbox of one worker thread: any thread posts, the owner takes in posting order.
class Mailbox {
public:
    void post(int message, std::unique_ptr<MailPayload> payload = {}, quintptr value = 0)
    {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            queue_.push_back(Mail{message, value, std::move(payload)});
        }
        ready_.notify_one();
    }

    // Waits up to the timeout for the next message; an empty result means none arrived.
    std::optional<Mail> take(std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> hold(mutex_);
        if (!ready_.wait_for(hold, timeout, [this] { return !queue_.empty(); }))
            return std::nullopt;
        Mail mail = std::move(queue_.front());
        queue_.pop_front();
        return mail;
    }

    std::size_t pending() const
    {
        std::lock_guard<std::mutex> hold(mutex_);
        return queue_.size();
    }

private:
    mutable std::mutex mutex_; // guards queue_
    std::condition_variable ready_;
    std::deque<Mail> queue_;
};
