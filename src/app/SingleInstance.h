#pragma once

#include <QObject>
#include <QString>

#include <chrono>

class QLocalServer;
class QLocalSocket;

// One running KEVRA per user. The first start listens on a local socket in the runtime folder;
// a later start hands its request (an ftp:// address, or nothing) over the socket to it and
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

    // Blocks until a running instance has taken the request; false when none answers in time.
    bool handOver(const QString& request, std::chrono::milliseconds timeout) const;
    // Becomes the running instance; false when the socket cannot be made.
    bool listen();

Q_SIGNALS:
    void requestReceived(const QString& request);

private:
    void accept();
    void readRequest(QLocalSocket* socket);

    const QString socketPath_;
    QLocalServer* server_ = nullptr; // owned through the QObject tree
};
