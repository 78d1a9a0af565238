#pragma once

#include "platform/TcpListener.h"

#include <QByteArray>
#include <QList>
#include <QMap>

#include <atomic>
#include <mutex>
#include <thread>

// A small HTTP/1.1 server on 127.0.0.1 at a free port for the update tests. Each path answers
// as set with serve(); any other path gets 404. A reply can leave out its Content-Length or
// never answer at all (until the server stops). One request per connection; every wait is
// bounded, and the destructor stops the server.
class LocalHttpServer {
public:
    struct Reply {
        int status = 200;
        QByteArray body;
        bool withLength = true;
        bool stall = false;
    };

    LocalHttpServer();
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    QByteArray address() const { return "http://127.0.0.1:" + QByteArray::number(port_); }
    void serve(const QByteArray& path, Reply reply);

    // The head (request line and header lines) of every request received, in order.
    QList<QByteArray> requests() const;

private:
    void run();
    void answer(TcpSocket& client);

    TcpListener listener_;
    quint16 port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_; // guards replies_ and requests_
    QMap<QByteArray, Reply> replies_;
    QList<QByteArray> requests_;
    std::thread thread_;
};
