#pragma once

#include "platform/ByteStream.h"
#include "platform/FileDescriptor.h"

#include <QString>

#include <chrono>

// A connected TCP stream socket that owns its descriptor (closed on destruction). The socket
// stays in blocking mode; every wait (connect, receive, send) is bounded by the time-out given
// to the call, so no call can hang for ever. Names are resolved with getaddrinfo, IPv4 and
// IPv6 alike. Move-only. Not synchronised: one thread uses a socket at a time.
class TcpSocket : public ByteStream {
public:
    enum class Error { None, Resolve, Create, Connect, TimedOut, Closed, Io };

    TcpSocket() = default;
    // Adopts a connected descriptor (from TcpListener::accept).
    explicit TcpSocket(int descriptor) : descriptor_(descriptor) {}
    ~TcpSocket() override = default;
    TcpSocket(TcpSocket&& other) noexcept = default;
    TcpSocket& operator=(TcpSocket&& other) noexcept = default;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Connects to the first resolved address that answers within the time-out (one deadline
    // for all of them). A non-empty source address binds the local end first.
    bool connect(const QString& host, int port, std::chrono::milliseconds timeout,
                 const QString& sourceAddress = QString());

    // Up to size bytes: the count, 0 when the peer closed its side, -1 on failure or when
    // nothing arrived within the time-out (error() tells which).
    qint64 receive(char* data, qint64 size, std::chrono::milliseconds timeout) override;
    // Sends what the send buffer takes: the count, 0 when no room came within the time-out
    // (error() says TimedOut), -1 on failure.
    qint64 sendSome(const char* data, qint64 size, std::chrono::milliseconds timeout) override;
    bool waitReadable(std::chrono::milliseconds timeout);

    void setNoDelay(bool enabled);
    void shutdownWrite();
    // Closes with a reset instead of an orderly end, as a broken peer would.
    void closeWithReset();
    void close();
    // Makes a wait of another thread on this socket end at once, as if the peer had gone. The
    // socket must stay alive meanwhile; only its owner closes it.
    void interrupt();

    bool isOpen() const { return descriptor_.isOpen(); }
    int descriptor() const { return descriptor_.get(); }
    Error error() const { return error_; }
    bool timedOut() const override { return error_ == Error::TimedOut; }

    // Numeric addresses; an IPv4-mapped IPv6 address is given in its IPv4 form.
    QString localAddress() const;
    quint16 localPort() const;
    QString peerAddress() const;
    quint16 peerPort() const;
    bool isIpv6() const;

private:
    bool connectOne(const void* address, unsigned length, int family,
                    std::chrono::steady_clock::time_point deadline, const QString& sourceAddress);

    FileDescriptor descriptor_;
    Error error_ = Error::None;
};
