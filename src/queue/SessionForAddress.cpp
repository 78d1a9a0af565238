#include "queue/SessionForAddress.h"

#include "view/SessionRegistry.h"

int SessionForAddress(const SessionRegistry& registry, const QString& address)
{
    const QStringList entries = registry.tabEntries();
    for (int tab = 0; tab < entries.size(); ++tab) {
        const int session = registry.sessionAtTab(tab);
        if (session != SessionRegistry::None &&
            entries.at(tab) == address + QString::number(session))
            return session;
    }
    return -1;
}
