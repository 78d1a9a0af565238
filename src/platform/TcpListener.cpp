#include "platform/TcpListener.h"

#include "platform/SocketSupport.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace socketsupport;

bool TcpListener::listen(const QString& address, quint16 port, int backlog)
{
    close();
    error_ = TcpSocket::Error::Resolve;
    for (const ResolvedAddress& local : resolve(address, port, true)) {
        const int descriptor =
            ::socket(local.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (descriptor < 0) {
            error_ = TcpSocket::Error::Create;
            continue;
        }
        const int reuse = 1;
        ::setsockopt(descriptor, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&local.address), local.length) ==
                0 &&
            ::listen(descriptor, backlog) == 0) {
            descriptor_.reset(descriptor);
            error_ = TcpSocket::Error::None;
            return true;
        }
        error_ = TcpSocket::Error::Connect;
        ::close(descriptor);
    }
    return false;
}

// The listening descriptor is non-blocking so that a connection which vanishes between the
// poll and the accept cannot block the call; accepted sockets are blocking.
TcpSocket TcpListener::accept(std::chrono::milliseconds timeout)
{
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        const WaitResult waited = waitFor(descriptor_.get(), POLLIN, deadline);
        if (waited != WaitResult::Ready) {
            error_ =
                waited == WaitResult::TimedOut ? TcpSocket::Error::TimedOut : TcpSocket::Error::Io;
            return TcpSocket();
        }
        const int descriptor = ::accept4(descriptor_.get(), nullptr, nullptr, SOCK_CLOEXEC);
        if (descriptor >= 0) {
            error_ = TcpSocket::Error::None;
            return TcpSocket(descriptor);
        }
        // A connection that was reset before it could be taken is simply gone: wait for the next.
        if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN) {
            error_ = TcpSocket::Error::Io;
            return TcpSocket();
        }
    }
}

void TcpListener::close()
{
    descriptor_.reset();
}

void TcpListener::interrupt()
{
    if (descriptor_.isOpen())
        ::shutdown(descriptor_.get(), SHUT_RDWR);
}

QString TcpListener::address() const
{
    return localAddressOf(descriptor_.get());
}

quint16 TcpListener::port() const
{
    return localPortOf(descriptor_.get());
}
