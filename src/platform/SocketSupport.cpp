#include "platform/SocketSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>

namespace socketsupport {

std::vector<ResolvedAddress> resolve(const QString& host, int port, bool forListening)
{
    std::vector<ResolvedAddress> result;
    if (port < 0 || port > 65535)
        return result;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (forListening ? AI_PASSIVE : AI_ADDRCONFIG);
    const QByteArray name = host.toUtf8();
    const QByteArray service = QByteArray::number(port);
    addrinfo* list = nullptr;
    if (getaddrinfo(name.isEmpty() ? nullptr : name.constData(), service.constData(), &hints,
                    &list) != 0)
        return result;
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        ResolvedAddress resolved;
        std::memcpy(&resolved.address, entry->ai_addr, entry->ai_addrlen);
        resolved.length = entry->ai_addrlen;
        resolved.family = entry->ai_family;
        result.push_back(resolved);
    }
    freeaddrinfo(list);
    return result;
}

bool setNonBlocking(int descriptor, bool enabled)
{
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0)
        return false;
    const int wanted = enabled ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(descriptor, F_SETFL, wanted) == 0;
}

Clock::time_point deadlineAfter(std::chrono::milliseconds timeout)
{
    return Clock::now() + timeout;
}

WaitResult waitFor(int descriptor, short events, Clock::time_point deadline)
{
    pollfd entry{descriptor, events, 0};
    return waitForAny(&entry, 1, deadline);
}

WaitResult waitForAny(pollfd* entries, nfds_t count, Clock::time_point deadline)
{
    // A deadline already passed still looks once, so a zero wait reports what is ready.
    for (;;) {
        const auto left =
            std::max(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()),
                     std::chrono::milliseconds(0));
        const auto slice = std::min<long long>(left.count(), INT_MAX);
        const int ready = ::poll(entries, count, static_cast<int>(slice));
        if (ready > 0)
            return WaitResult::Ready; // errors and hang-ups show up in the following call
        if (ready == 0 && left.count() == 0)
            return WaitResult::TimedOut;
        if (ready < 0 && errno != EINTR)
            return WaitResult::Failed;
    }
}

QString addressText(const sockaddr_storage& address, socklen_t length)
{
    char text[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, text, sizeof text, nullptr,
                    0, NI_NUMERICHOST) != 0)
        return QString();
    const QString result = QString::fromLatin1(text);
    if (address.ss_family == AF_INET6 && result.startsWith(QLatin1String("::ffff:")) &&
        result.contains(QLatin1Char('.')))
        return result.mid(7);
    return result;
}

quint16 addressPort(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return 0;
}

namespace {

using NameQuery = int (*)(int, sockaddr*, socklen_t*);

// One end of a connected socket (getsockname or getpeername); false when it cannot be read.
bool endName(NameQuery query, int descriptor, sockaddr_storage& address, socklen_t& length)
{
    length = sizeof address;
    return descriptor >= 0 &&
           query(descriptor, reinterpret_cast<sockaddr*>(&address), &length) == 0;
}

QString endAddress(NameQuery query, int descriptor)
{
    sockaddr_storage address{};
    socklen_t length = 0;
    return endName(query, descriptor, address, length) ? addressText(address, length) : QString();
}

quint16 endPort(NameQuery query, int descriptor)
{
    sockaddr_storage address{};
    socklen_t length = 0;
    return endName(query, descriptor, address, length) ? addressPort(address) : 0;
}

} // namespace

QString localAddressOf(int descriptor)
{
    return endAddress(::getsockname, descriptor);
}

quint16 localPortOf(int descriptor)
{
    return endPort(::getsockname, descriptor);
}

QString peerAddressOf(int descriptor)
{
    return endAddress(::getpeername, descriptor);
}

quint16 peerPortOf(int descriptor)
{
    return endPort(::getpeername, descriptor);
}

} // namespace socketsupport
