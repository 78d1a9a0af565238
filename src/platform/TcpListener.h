#pragma once

#include "platform/FileDescriptor.h"
#include "platform/TcpSocket.h"

#include <QString>

#include <chrono>

// A listening TCP socket that owns its descriptor. accept waits at most the given time-out.
// Move-only; closed on destruction.
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener() = default;
    TcpListener(TcpListener&& other) noexcept = default;
    TcpListener& operator=(TcpListener&& other) noexcept = default;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Binds to a numeric local address (empty: every address) and port (0: any free port).
    bool listen(const QString& address, quint16 port = 0, int backlog = 5);
    // The next connection, or a closed socket on failure or time-out (error() tells which).
    TcpSocket accept(std::chrono::milliseconds timeout);
    void close();
    // Makes an accept of another thread end at once; the listener must stay alive meanwhile.
    void interrupt();

    bool isListening() const { return descriptor_.isOpen(); }
    // For waiting on the listener beside other descriptors; -1 when closed.
    int descriptor() const { return descriptor_.get(); }
    TcpSocket::Error error() const { return error_; }
    QString address() const;
    quint16 port() const;

private:
    FileDescriptor descriptor_;
    TcpSocket::Error error_ = TcpSocket::Error::None;
};
