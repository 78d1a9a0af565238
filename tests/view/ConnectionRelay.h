#pragma once

#include "platform/TcpListener.h"
#include "platform/TcpSocket.h"

#include <QString>

#include <atomic>
#include <thread>

// Forwards control connections from a port of its own on 127.0.0.1 to a server, one at a time,
// so that a test can cut the connection a client is using while the server stays up and
// accepts the client's next logon. Data connections do not pass through it.
class ConnectionRelay {
public:
    ConnectionRelay(const QString& host, quint16 port);
    ~ConnectionRelay();
    ConnectionRelay(const ConnectionRelay&) = delete;
    ConnectionRelay& operator=(const ConnectionRelay&) = delete;

    quint16 port() const { return listener_.port(); }
    // Closes both ends of the connection being forwarded; the next one is relayed again.
    void cut();
    int connectionsAccepted() const { return accepted_; }

private:
    void run();
    void forward(TcpSocket& client, TcpSocket& server);

    const QString host_;
    const quint16 serverPort_;
    TcpListener listener_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> cutRequested_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};
