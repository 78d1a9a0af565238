#include "support/TcpRelay.h"

#include "platform/SocketSupport.h"

using std::chrono::milliseconds;

namespace {

// Every wait is this short, so that stop() is seen at once.
constexpr milliseconds pollSlice{50};
constexpr milliseconds connectTimeout{5000};
constexpr qint64 blockSize = 64 * 1024;

} // namespace

TcpRelay::TcpRelay(const QString& targetHost, quint16 targetPort)
    : targetHost_(targetHost), targetPort_(targetPort)
{
}

TcpRelay::~TcpRelay()
{
    stop();
}

bool TcpRelay::start()
{
    if (!listener_.listen(QStringLiteral("127.0.0.1")))
        return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void TcpRelay::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    listener_.close();
}

QByteArray TcpRelay::clientBytes() const
{
    const std::lock_guard<std::mutex> hold(lock_);
    return clientBytes_;
}

void TcpRelay::run()
{
    while (!stopping_) {
        TcpSocket client = listener_.accept(pollSlice);
        if (!client.isOpen())
            continue;
        TcpSocket server;
        if (server.connect(targetHost_, targetPort_, connectTimeout))
            relay(client, server);
    }
}

// Until either side ends its connection (the other is then closed too) or the relay stops.
void TcpRelay::relay(TcpSocket& client, TcpSocket& server)
{
    while (!stopping_) {
        pollfd sides[2]{{client.descriptor(), POLLIN, 0}, {server.descriptor(), POLLIN, 0}};
        const auto waited =
            socketsupport::waitForAny(sides, 2, socketsupport::deadlineAfter(pollSlice));
        if (waited == socketsupport::WaitResult::Failed)
            return;
        if (sides[0].revents != 0 && !forward(client, server, true))
            return;
        if (sides[1].revents != 0 && !forward(server, client, false))
            return;
    }
}

bool TcpRelay::forward(TcpSocket& from, TcpSocket& to, bool fromClient)
{
    char block[blockSize];
    const qint64 count = from.receive(block, blockSize, milliseconds(0));
    if (count <= 0)
        return false;
    if (fromClient) {
        const std::lock_guard<std::mutex> hold(lock_);
        clientBytes_.append(block, count);
    }
    return to.sendAll(block, count, connectTimeout);
}
