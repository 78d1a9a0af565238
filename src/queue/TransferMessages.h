#pragma once

#include "platform/Mailbox.h"
#include "session/SessionMessages.h"

#include <memory>

class RemoteFileSystem;
struct TransferJob;

// What a transfer's monitor and worker post to each other; QM_QUIT and QM_LOGON are the
// session messages of the same names.
enum TransferMessage : int {
    QM_JOB = 0x46F,
    QM_ROW = 0x477,
    QM_PEER = 0x479,
    QM_ENGINE_READY = 0x47A,
    QM_SKIPPED = 0x47B,
    QM_STARTED = 0x47C,
    // The worker's job has ended: its monitor finishes now instead of at its next cycle.
    QM_WORKER_ENDED = 0x47F,
};

// QM_PEER: the partner thread's inbox.
struct PeerPayload : MailPayload {
    explicit PeerPayload(std::weak_ptr<Mailbox> peer) : mailbox(std::move(peer)) {}
    std::weak_ptr<Mailbox> mailbox;
};

// QM_ENGINE_READY: the worker's engine, shared so that it outlives the monitor's last reading.
struct EnginePayload : MailPayload {
    explicit EnginePayload(std::shared_ptr<RemoteFileSystem> engine) : client(std::move(engine)) {}
    std::shared_ptr<RemoteFileSystem> client;
};

// QM_JOB: the monitor keeps the job; the worker only reads it.
struct JobPayload : MailPayload {
    explicit JobPayload(std::shared_ptr<const TransferJob> transferJob)
        : job(std::move(transferJob))
    {
    }
    std::shared_ptr<const TransferJob> job;
};
