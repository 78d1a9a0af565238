#pragma once

#include "archive/ServiceFailure.h"
#include "archived/ArchivedSettings.h"
#include "archived/ConfinedRoot.h"
#include "archived/DiskBudget.h"
#include "platform/TcpListener.h"

#include <QByteArray>

#include <atomic>
#include <list>
#include <mutex>
#include <thread>

struct ServiceRequest;

// The archive service KEVRA's remote compress and extract commands talk to. One connection
// carries one request; each client is served on a thread of its own, and the answer is a
// sequence of bare tokens: "UE" unknown user, "PE" wrong password, "O" busy, or "C" (working)
// followed by "S" (done) or "F" (failed, then the reason as "WHY:" code CR). A connection must
// bring its request within the request time-out; connections beyond the limits per peer and in
// all are answered "O" at once, and only requests at work count towards max-clients. Writes one
// log line per request.
class ArchiveService {
public:
    explicit ArchiveService(ArchivedSettings settings);
    ~ArchiveService();
    ArchiveService(const ArchiveService&) = delete;
    ArchiveService& operator=(const ArchiveService&) = delete;

    bool listen();
    quint16 port() const { return listener_.port(); }
    // Accepts and serves until stop() is called (from another thread or a signal's watcher).
    void run();
    void stop() { stopping_ = true; }
    void log(const QString& line);

private:
    struct Client {
        std::thread thread;
        QString peer;
        std::atomic<bool> done{false};
    };
    struct Outcome {
        QByteArray tokens; // sent or to be sent; empty when nothing is
        ServiceFailure failure = ServiceFailure::None;
    };

    bool admits(const QString& peer) const;
    void serve(TcpSocket socket);
    QByteArray readRequest(TcpSocket& socket) const;
    Outcome answer(const ServiceRequest& request, TcpSocket& socket);
    ServiceFailure compress(const QStringList& paths);
    ServiceFailure extract(const QString& path);
    void logRequest(const QString& peer, const QByteArray& bytes, const Outcome& outcome);
    void reapFinished();

    const ArchivedSettings settings_;
    const ConfinedRoot root_;
    DiskBudget budget_;
    TcpListener listener_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> working_{0};
    std::list<Client> clients_; // touched only by the thread in run()
    std::mutex logLock_;        // one log line at a time
};
