#pragma once

#include "platform/NamedMutex.h"
#include "queue/QueueScheduler.h"
#include "queue/QueueStartHandler.h"
#include "queue/SessionForAddress.h"
#include "queue/StopAllTransfers.h"
#include "queue/TransferEnvironment.h"
#include "queue/TransferQueue.h"
#include "queue/TransferSlots.h"
#include "session/RemoteBrowserState.h"
#include "session/SessionRegistry.h"
#include "session/SessionThread.h"

#include <QCoreApplication>

#include <chrono>
#include <memory>

// The queue's moving parts around one logged-on session, as the window wires them: a transfer
// fixture adds its server, its folders and what it checks.
class QueueRig {
protected:
    // Starts the session; the caller waits for its tab to be registered.
    void startSession(const LogonRecord& logon, const SessionEnvironment& env)
    {
        session = std::make_unique<SessionThread>(logon, env);
        QObject::connect(session.get(), &SessionThread::loggedOn, &receiver,
                         [this](int id) { registry.attachTab(id); });
        session->start();
    }

    // An environment with the queue's shared parts, the session lookup and a window that does
    // nothing; a fixture fills in its log, folders and settings.
    TransferEnvironment queueEnvironment(Prompt& prompt, NamedMutex& engineLock,
                                         std::chrono::milliseconds networkTimeout)
    {
        TransferEnvironment env;
        env.queue = &queue;
        env.slots = &slots;
        env.stopAll = &stopAll;
        env.prompt = &prompt;
        env.engineLock = &engineLock;
        env.networkTimeout = networkTimeout;
        env.log = [](const QString&) {};
        env.saveQueue = [] {};
        env.refreshLocalPane = [] {};
        env.refreshRemotePane = [] {};
        env.openFile = [](const QString&) {};
        env.findSession = [this](const QString& address) {
            return SessionForAddress(registry, address);
        };
        env.postToSession = [this](int id, int message, std::unique_ptr<MailPayload> payload) {
            if (!session || session->id() != id)
                return false;
            session->post(message, std::move(payload));
            return true;
        };
        return env;
    }

    // Start requests are handled on the receiver's thread, as the window's are on the GUI thread.
    void startScheduler(const TransferEnvironment& env)
    {
        handler = std::make_unique<QueueStartHandler>(env);
        scheduler = std::make_unique<QueueScheduler>(queue, [this](int row) {
            QMetaObject::invokeMethod(
                &receiver, [this, row] { handler->OnQueueStart(row); }, Qt::QueuedConnection);
        });
        scheduler->start();
    }

    void stopQueue()
    {
        scheduler.reset();
        QCoreApplication::processEvents();
        handler.reset();
        session.reset();
    }

    SessionRegistry registry;
    RemoteBrowserState browserState; // the session's remote folder
    TransferQueue queue;
    TransferSlots slots;
    StopAllTransfers stopAll;
    QObject receiver;
    std::unique_ptr<SessionThread> session;
    std::unique_ptr<QueueStartHandler> handler;
    std::unique_ptr<QueueScheduler> scheduler;
};
