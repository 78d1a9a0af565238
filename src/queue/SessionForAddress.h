#pragma once

#include <QString>

class SessionRegistry;

// The session of the first tab whose server is address; -1 when no tab holds one. Hosts are
// compared whole: "127.0.0.1" does not find the session of "127.0.0.12".
int SessionForAddress(const SessionRegistry& registry, const QString& address);
