#include "update/LocalHttpServer.h"

#include <chrono>

namespace {
using std::chrono::milliseconds;
constexpr milliseconds Slice{50};
constexpr milliseconds ReadTimeout{5000};
constexpr int MaxHeadBytes = 16 * 1024;
constexpr int MaxStallSlices = 400;

QByteArray readHead(TcpSocket& client)
{
    QByteArray head;
    char buffer[1024];
    while (!head.contains("\r\n\r\n") && head.size() < MaxHeadBytes) {
        const qint64 got = client.receive(buffer, sizeof buffer, ReadTimeout);
        if (got <= 0)
            return QByteArray();
        head.append(buffer, got);
    }
    return head.left(head.indexOf("\r\n\r\n"));
}
} // namespace

LocalHttpServer::LocalHttpServer()
{
    if (listener_.listen(QStringLiteral("127.0.0.1")))
        port_ = listener_.port();
    thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer()
{
    stopping_ = true;
    listener_.interrupt();
    thread_.join();
}

void LocalHttpServer::serve(const QByteArray& path, Reply reply)
{
    std::lock_guard<std::mutex> hold(lock_);
    replies_[path] = std::move(reply);
}

QList<QByteArray> LocalHttpServer::requests() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

void LocalHttpServer::run()
{
    while (!stopping_) {
        TcpSocket client = listener_.accept(Slice);
        if (client.isOpen())
            answer(client);
    }
}

void LocalHttpServer::answer(TcpSocket& client)
{
    const QByteArray head = readHead(client);
    Reply reply{404, "not here"};
    {
        std::lock_guard<std::mutex> hold(lock_);
        requests_ << head;
        reply = replies_.value(head.split(' ').value(1), reply);
    }
    for (int slice = 0; reply.stall && !stopping_ && slice < MaxStallSlices; ++slice)
        std::this_thread::sleep_for(Slice);
    if (reply.stall)
        return;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + " X\r\nConnection: close\r\n";
    if (reply.withLength)
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    out += "\r\n" + reply.body;
    client.sendAll(out.constData(), out.size(), ReadTimeout);
    client.shutdownWrite();
}
