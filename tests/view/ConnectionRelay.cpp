#include "view/ConnectionRelay.h"

#include <poll.h>

namespace {
constexpr std::chrono::milliseconds slice{20};
constexpr std::chrono::milliseconds connectTimeout{5000};

// Moves what is waiting on from to to; false when either end is gone.
bool pass(TcpSocket& from, TcpSocket& to)
{
    char buffer[4096];
    const qint64 count = from.receive(buffer, sizeof buffer, slice);
    return count > 0 && to.sendAll(buffer, count, connectTimeout);
}
} // namespace

ConnectionRelay::ConnectionRelay(const QString& host, quint16 port) : host_(host), serverPort_(port)
{
    if (listener_.listen(QStringLiteral("127.0.0.1")))
        thread_ = std::thread([this] { run(); });
}

ConnectionRelay::~ConnectionRelay()
{
    stopping_ = true;
    listener_.interrupt();
    if (thread_.joinable())
        thread_.join();
}

void ConnectionRelay::cut()
{
    cutRequested_ = true;
}

void ConnectionRelay::run()
{
    while (!stopping_) {
        TcpSocket client = listener_.accept(slice);
        if (!client.isOpen())
            continue;
        ++accepted_;
        TcpSocket server;
        if (server.connect(host_, serverPort_, connectTimeout))
            forward(client, server);
    }
}

// Every wait is one slice long, so a cut or the end of the test is noticed at once.
void ConnectionRelay::forward(TcpSocket& client, TcpSocket& server)
{
    cutRequested_ = false;
    while (!stopping_ && !cutRequested_) {
        pollfd ends[2] = {{client.descriptor(), POLLIN, 0}, {server.descriptor(), POLLIN, 0}};
        if (::poll(ends, 2, static_cast<int>(slice.count())) <= 0)
            continue;
        if (ends[0].revents != 0 && !pass(client, server))
            return;
        if (ends[1].revents != 0 && !pass(server, client))
            return;
    }
}
