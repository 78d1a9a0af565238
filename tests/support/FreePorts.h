#pragma once

#include <QString>

#include <optional>

// Ports for servers that must be told their port before they start. A port found free can be
// taken by someone else before the server binds it; fixtures treat a failed start as such.
namespace freeports {

// A port the system hands out as free on the address right now.
quint16 freeTcpPort(const QString& address = QStringLiteral("127.0.0.1"));

// The first of count consecutive ports that are all free on the address right now.
std::optional<quint16> freePortRange(int count,
                                     const QString& address = QStringLiteral("127.0.0.1"));

} // namespace freeports
