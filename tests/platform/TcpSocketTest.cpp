#include "platform/TcpSocket.h"
#include "platform/TcpListener.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using std::chrono::milliseconds;

constexpr milliseconds wait{2000};

struct ConnectedPair {
    TcpSocket client;
    TcpSocket server;
};

ConnectedPair connectedPair(const QString& address = QStringLiteral("127.0.0.1"))
{
    TcpListener listener;
    ConnectedPair pair;
    if (!listener.listen(address))
        return pair;
    pair.client.connect(address, listener.port(), wait);
    pair.server = listener.accept(wait);
    return pair;
}

TEST(TcpSocket, ConnectsSendsAndReceivesOverIpv4)
{
    ConnectedPair pair = connectedPair();
    ASSERT_TRUE(pair.client.isOpen());
    ASSERT_TRUE(pair.server.isOpen());
    EXPECT_FALSE(pair.client.isIpv6());
    EXPECT_EQ(pair.client.peerAddress(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(pair.client.peerPort(), pair.server.localPort());
    EXPECT_EQ(pair.server.peerPort(), pair.client.localPort());
    EXPECT_EQ(pair.server.peerAddress(), pair.client.localAddress());

    const QByteArray message = "hello";
    ASSERT_TRUE(pair.client.sendAll(message.constData(), message.size(), wait));
    char buffer[16] = {};
    EXPECT_EQ(pair.server.receive(buffer, sizeof buffer, wait), message.size());
    EXPECT_EQ(QByteArray(buffer, 5), message);
}

TEST(TcpSocket, ResolvesNamesAndIpv6Literals)
{
    TcpListener listener;
    ASSERT_TRUE(listener.listen(QStringLiteral("127.0.0.1")));
    TcpSocket byName;
    EXPECT_TRUE(byName.connect(QStringLiteral("localhost"), listener.port(), wait));

    ConnectedPair v6 = connectedPair(QStringLiteral("::1"));
    if (!v6.client.isOpen())
        GTEST_SKIP() << "no IPv6 loopback on this machine";
    EXPECT_TRUE(v6.client.isIpv6());
    EXPECT_EQ(v6.client.peerAddress(), QStringLiteral("::1"));
}

TEST(TcpSocket, OrderlyCloseReadsAsZeroAndResetAsFailure)
{
    ConnectedPair closed = connectedPair();
    closed.server.close();
    char byte = 0;
    EXPECT_EQ(closed.client.receive(&byte, 1, wait), 0);
    EXPECT_EQ(closed.client.error(), TcpSocket::Error::Closed);

    ConnectedPair reset = connectedPair();
    reset.server.closeWithReset();
    EXPECT_EQ(reset.client.receive(&byte, 1, wait), -1);
    EXPECT_EQ(reset.client.error(), TcpSocket::Error::Io);
    EXPECT_FALSE(reset.client.timedOut());
}

TEST(TcpSocket, ReceiveTimesOut)
{
    ConnectedPair pair = connectedPair();
    char byte = 0;
    EXPECT_EQ(pair.client.receive(&byte, 1, milliseconds(50)), -1);
    EXPECT_TRUE(pair.client.timedOut());
    EXPECT_FALSE(pair.client.waitReadable(milliseconds(20)));
}

TEST(TcpSocket, SendTimesOutWhenThePeerNeverReads)
{
    ConnectedPair pair = connectedPair();
    const QByteArray block(1024 * 1024, 'x');
    bool sent = true;
    // The buffers of both ends fill after a few MiB; the bound only guards the test.
    for (int i = 0; i < 512 && sent; ++i)
        sent = pair.client.sendAll(block.constData(), block.size(), milliseconds(50));
    EXPECT_FALSE(sent);
    EXPECT_TRUE(pair.client.timedOut());
}

TEST(TcpSocket, SendingToAClosedPeerFailsWithoutSignal)
{
    ConnectedPair pair = connectedPair();
    pair.server.closeWithReset();
    const QByteArray block(64 * 1024, 'x');
    bool sent = true;
    for (int i = 0; i < 64 && sent; ++i)
        sent = pair.client.sendAll(block.constData(), block.size(), wait);
    EXPECT_FALSE(sent);
    EXPECT_EQ(pair.client.error(), TcpSocket::Error::Io);
}

TEST(TcpSocket, RefusedConnectsAndImpossiblePortsFail)
{
    TcpListener listener;
    ASSERT_TRUE(listener.listen(QStringLiteral("127.0.0.1")));
    const quint16 port = listener.port();
    listener.close();
    TcpSocket socket;
    EXPECT_FALSE(socket.connect(QStringLiteral("127.0.0.1"), port, wait));
    EXPECT_EQ(socket.error(), TcpSocket::Error::Connect);
    EXPECT_FALSE(socket.isOpen());
    EXPECT_FALSE(socket.connect(QStringLiteral("127.0.0.1"), 70000, wait));
    EXPECT_EQ(socket.error(), TcpSocket::Error::Resolve);
}

TEST(TcpSocket, SourceAddressBindsTheLocalEnd)
{
    TcpListener listener;
    ASSERT_TRUE(listener.listen(QStringLiteral("127.0.0.1")));
    TcpSocket socket;
    ASSERT_TRUE(socket.connect(QStringLiteral("127.0.0.1"), listener.port(), wait,
                               QStringLiteral("127.0.0.2")));
    EXPECT_EQ(socket.localAddress(), QStringLiteral("127.0.0.2"));
    TcpSocket accepted = listener.accept(wait);
    EXPECT_EQ(accepted.peerAddress(), QStringLiteral("127.0.0.2"));
}

TEST(TcpSocket, MovingTransfersOwnership)
{
    ConnectedPair pair = connectedPair();
    const int descriptor = pair.client.descriptor();
    TcpSocket moved(std::move(pair.client));
    EXPECT_FALSE(pair.client.isOpen());
    EXPECT_EQ(moved.descriptor(), descriptor);
    TcpSocket assigned;
    assigned = std::move(moved);
    EXPECT_FALSE(moved.isOpen());
    EXPECT_EQ(assigned.descriptor(), descriptor);
    assigned.close();
    assigned.close();
    EXPECT_FALSE(assigned.isOpen());
    char byte = 0;
    EXPECT_EQ(pair.server.receive(&byte, 1, wait), 0);
}

TEST(TcpListener, AcceptTimesOutAndTellsItsAddress)
{
    TcpListener listener;
    ASSERT_TRUE(listener.listen(QStringLiteral("127.0.0.1")));
    EXPECT_TRUE(listener.isListening());
    EXPECT_EQ(listener.address(), QStringLiteral("127.0.0.1"));
    EXPECT_NE(listener.port(), 0);
    TcpSocket none = listener.accept(milliseconds(30));
    EXPECT_FALSE(none.isOpen());
    EXPECT_EQ(listener.error(), TcpSocket::Error::TimedOut);
}

TEST(TcpListener, ABusyPortCannotBeTakenTwice)
{
    TcpListener first;
    ASSERT_TRUE(first.listen(QStringLiteral("127.0.0.1")));
    TcpListener second;
    EXPECT_FALSE(second.listen(QStringLiteral("127.0.0.1"), first.port()));
    TcpListener moved(std::move(first));
    EXPECT_FALSE(first.isListening());
    EXPECT_TRUE(moved.isListening());
}

TEST(TcpListener, AcceptsFromAnotherThread)
{
    TcpListener listener;
    ASSERT_TRUE(listener.listen(QStringLiteral("127.0.0.1")));
    const quint16 port = listener.port();
    std::thread connector([port] {
        TcpSocket socket;
        if (socket.connect(QStringLiteral("127.0.0.1"), port, wait))
            socket.sendAll("x", 1, wait);
    });
    TcpSocket accepted = listener.accept(wait);
    char byte = 0;
    EXPECT_EQ(accepted.receive(&byte, 1, wait), 1);
    EXPECT_EQ(byte, 'x');
    connector.join();
}

} // namespace
