#pragma once

#include <QString>

#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

// Helpers shared by TcpSocket and TcpListener: name resolution, bounded waits on a
// descriptor and the numeric form of socket addresses.
namespace socketsupport {

using Clock = std::chrono::steady_clock;

struct ResolvedAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = AF_UNSPEC;
};

// Every address of host (a name or a numeric IPv4/IPv6 literal) and port; empty on failure.
// With forListening an empty host means every local address.
std::vector<ResolvedAddress> resolve(const QString& host, int port, bool forListening);

enum class WaitResult { Ready, TimedOut, Failed };

// Waits until the descriptor reports one of the events or the deadline passes.
WaitResult waitFor(int descriptor, short events, Clock::time_point deadline);
// The same for several descriptors at once; on Ready each entry's revents tells which. Entries
// with a negative descriptor are left out.
WaitResult waitForAny(pollfd* entries, nfds_t count, Clock::time_point deadline);

// O_NONBLOCK on or off; false when the descriptor refuses.
bool setNonBlocking(int descriptor, bool enabled);

Clock::time_point deadlineAfter(std::chrono::milliseconds timeout);

// Numeric host text of an address; an IPv4-mapped IPv6 address is given as plain IPv4.
QString addressText(const sockaddr_storage& address, socklen_t length);
quint16 addressPort(const sockaddr_storage& address);

QString localAddressOf(int descriptor);
quint16 localPortOf(int descriptor);
QString peerAddressOf(int descriptor);
quint16 peerPortOf(int descriptor);

} // namespace socketsupport
