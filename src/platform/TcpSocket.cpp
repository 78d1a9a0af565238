#include "platform/TcpSocket.h"

#include "platform/SocketSupport.h"

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace socketsupport;

bool TcpSocket::connect(const QString& host, int port, std::chrono::milliseconds timeout,
                        const QString& sourceAddress)
{
    close();
    const auto deadline = deadlineAfter(timeout);
    const std::vector<ResolvedAddress> addresses = resolve(host, port, false);
    error_ = addresses.empty() ? Error::Resolve : Error::Connect;
    for (const ResolvedAddress& candidate : addresses) {
        if (connectOne(&candidate.address, candidate.length, candidate.family, deadline,
                       sourceAddress))
            return true;
        if (error_ == Error::TimedOut)
            break;
    }
    return false;
}

namespace {

bool bindSource(int descriptor, int family, const QString& sourceAddress)
{
    for (const ResolvedAddress& source : resolve(sourceAddress, 0, true)) {
        if (source.family == family &&
            ::bind(descriptor, reinterpret_cast<const sockaddr*>(&source.address), source.length) ==
                0)
            return true;
    }
    return false;
}

} // namespace

// The connect itself runs non-blocking so that the deadline holds; the socket is switched
// back to blocking mode before it is handed out.
bool TcpSocket::connectOne(const void* address, unsigned length, int family,
                           Clock::time_point deadline, const QString& sourceAddress)
{
    const int descriptor = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0) {
        error_ = Error::Create;
        return false;
    }
    TcpSocket attempt(descriptor);
    if (!sourceAddress.isEmpty() && !bindSource(descriptor, family, sourceAddress)) {
        error_ = Error::Connect;
        return false;
    }
    if (::connect(descriptor, static_cast<const sockaddr*>(address), length) != 0) {
        if (errno != EINPROGRESS) {
            error_ = Error::Connect;
            return false;
        }
        const WaitResult waited = waitFor(descriptor, POLLOUT, deadline);
        int socketError = 0;
        socklen_t size = sizeof socketError;
        if (waited != WaitResult::Ready ||
            ::getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &socketError, &size) != 0 ||
            socketError != 0) {
            error_ = waited == WaitResult::TimedOut ? Error::TimedOut : Error::Connect;
            return false;
        }
    }
    if (!setNonBlocking(descriptor, false)) {
        error_ = Error::Create;
        return false;
    }
    *this = std::move(attempt);
    error_ = Error::None;
    return true;
}

// A first non-blocking attempt saves the poll call whenever data is already waiting, which
// is the common case in a bulk transfer.
qint64 TcpSocket::receive(char* data, qint64 size, std::chrono::milliseconds timeout)
{
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        const ssize_t count =
            ::recv(descriptor_.get(), data, static_cast<size_t>(size), MSG_DONTWAIT);
        if (count >= 0) {
            error_ = count == 0 ? Error::Closed : Error::None;
            return count;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            error_ = Error::Io;
            return -1;
        }
        const WaitResult waited = waitFor(descriptor_.get(), POLLIN, deadline);
        if (waited != WaitResult::Ready) {
            error_ = waited == WaitResult::TimedOut ? Error::TimedOut : Error::Io;
            return -1;
        }
    }
}

qint64 TcpSocket::sendSome(const char* data, qint64 size, std::chrono::milliseconds timeout)
{
    const auto deadline = deadlineAfter(timeout);
    for (;;) {
        const ssize_t count =
            ::send(descriptor_.get(), data, static_cast<size_t>(size), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (count >= 0) {
            error_ = Error::None;
            return count;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            error_ = Error::Io;
            return -1;
        }
        const WaitResult waited = waitFor(descriptor_.get(), POLLOUT, deadline);
        if (waited == WaitResult::TimedOut) {
            error_ = Error::TimedOut;
            return 0;
        }
        if (waited != WaitResult::Ready) {
            error_ = Error::Io;
            return -1;
        }
    }
}

bool TcpSocket::waitReadable(std::chrono::milliseconds timeout)
{
    const WaitResult waited = waitFor(descriptor_.get(), POLLIN, deadlineAfter(timeout));
    if (waited != WaitResult::Ready)
        error_ = waited == WaitResult::TimedOut ? Error::TimedOut : Error::Io;
    return waited == WaitResult::Ready;
}

void TcpSocket::setNoDelay(bool enabled)
{
    const int value = enabled ? 1 : 0;
    ::setsockopt(descriptor_.get(), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value);
}

void TcpSocket::shutdownWrite()
{
    if (isOpen())
        ::shutdown(descriptor_.get(), SHUT_WR);
}

void TcpSocket::closeWithReset()
{
    if (!isOpen())
        return;
    const linger immediate{1, 0};
    ::setsockopt(descriptor_.get(), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
    close();
}

void TcpSocket::close()
{
    descriptor_.reset();
}

void TcpSocket::interrupt()
{
    if (descriptor_.isOpen())
        ::shutdown(descriptor_.get(), SHUT_RDWR);
}

QString TcpSocket::localAddress() const
{
    return localAddressOf(descriptor_.get());
}

quint16 TcpSocket::localPort() const
{
    return localPortOf(descriptor_.get());
}

QString TcpSocket::peerAddress() const
{
    return peerAddressOf(descriptor_.get());
}

quint16 TcpSocket::peerPort() const
{
    return peerPortOf(descriptor_.get());
}

bool TcpSocket::isIpv6() const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(descriptor_.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    return address.ss_family == AF_INET6;
}
