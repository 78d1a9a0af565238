#pragma once

#include "platform/FileDescriptor.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <optional>

class QDeadlineTimer;
class QLocalServer;
class QLocalSocket;

// One running KEVRA per user. The running one holds a lock on a file beside its socket for its
// whole life, so a later start knows it is alive even when it does not answer (busy, stopped);
// the later start hands its request (an ftp:// address, or nothing) over the socket to it and
// ends, so two clients never share the work folder's files. Lives on the GUI thread.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Longest request accepted; a longer one is a misbehaving client and is dropped.
    static constexpr int MaxRequestBytes = 64 * 1024;

    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The per-user socket: the runtime folder (XDG_RUNTIME_DIR) + "/kevra.socket".
    static QString defaultSocketPath();

    enum class Start { Running, HandedOver, Unanswered };
    // Becomes the running instance when no process holds the lock; otherwise blocks until the
    // one that does has taken the request, for at most patience.
    Start start(const QString& request, std::chrono::milliseconds patience);

    // Blocks until a running instance has taken the request; false when none answers in time.
    bool handOver(const QString& request, std::chrono::milliseconds timeout) const;
    // Becomes the running instance; false when another process holds the lock or the socket
    // cannot be made.
    bool listen();

Q_SIGNALS:
    void requestReceived(const QString& request);

private:
    bool takeLock();
    // Empty when nothing listens on the socket yet; else whether the request was taken.
    std::optional<bool> tryHandOver(const QString& request, const QDeadlineTimer& deadline) const;
    void accept();
    void readRequest(QLocalSocket* socket);

    const QString socketPath_;
    QLocalServer* server_ = nullptr; // owned through the QObject tree
    FileDescriptor lock_;            // the lock file; locked while this is the running instance
};
