#include "support/FreePorts.h"

#include "platform/TcpListener.h"

#include <QRandomGenerator>

#include <vector>

namespace freeports {

quint16 freeTcpPort(const QString& address)
{
    TcpListener probe;
    return probe.listen(address) ? probe.port() : 0;
}

std::optional<quint16> freePortRange(int count, const QString& address)
{
    // Random starts spread parallel test processes over a range below the ephemeral ports.
    for (int attempt = 0; attempt < 64; ++attempt) {
        const auto first = static_cast<quint16>(QRandomGenerator::global()->bounded(20000, 32000));
        std::vector<TcpListener> held(static_cast<std::size_t>(count));
        bool allFree = true;
        for (int i = 0; i < count && allFree; ++i)
            allFree =
                held[static_cast<std::size_t>(i)].listen(address, static_cast<quint16>(first + i));
        if (allFree)
            return first;
    }
    return std::nullopt;
}

} // namespace freeports
