#pragma once

#include "platform/TcpListener.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

// A test-only man in the middle: listens on 127.0.0.1 at a free port, and relays each
// connection it accepts (one after the other) to the target, byte for byte both ways, keeping
// what the clients sent, as an eavesdropper on the network would see it.
//
//     TcpRelay relay(server.host(), server.port());
//     ASSERT_TRUE(relay.start());
//     ... connect the client to 127.0.0.1:relay.port() ...
//     EXPECT_FALSE(relay.clientBytes().contains("PASS"));
class TcpRelay {
public:
    TcpRelay(const QString& targetHost, quint16 targetPort);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    bool start();
    void stop();
    quint16 port() const { return listener_.port(); }
    QByteArray clientBytes() const;

private:
    void run();
    void relay(TcpSocket& client, TcpSocket& server);
    bool forward(TcpSocket& from, TcpSocket& to, bool fromClient);

    QString targetHost_;
    quint16 targetPort_;
    TcpListener listener_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_; // guards clientBytes_
    QByteArray clientBytes_;
};
