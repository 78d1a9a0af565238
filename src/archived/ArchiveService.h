#pragma once

#include "archived/ArchivedSettings.h"
#include "archived/ConfinedRoot.h"
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
// followed by "S" (done) or "F" (failed). Writes one log line per request to stderr.
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

private:
    struct Client {
        std::thread thread;
        std::atomic<bool> done{false};
    };

    // running counts this client among those being served.
    void serve(TcpSocket socket, int running);
    QByteArray readRequest(TcpSocket& socket) const;
    QByteArray answer(const ServiceRequest& request, TcpSocket& socket);
    bool compress(const QStringList& paths);
    bool extract(const QString& path);
    void log(const QString& peer, const QByteArray& bytes, const QByteArray& result);
    void reapFinished();

    const ArchivedSettings settings_;
    const ConfinedRoot root_;
    TcpListener listener_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> active_{0};
    std::list<Client> clients_; // touched only by the thread in run()
    std::mutex logLock_;        // one log line at a time
};
