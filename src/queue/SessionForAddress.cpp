#include "queue/SessionForAddress.h"

#include "ftp/ServerAddress.h"
#include "session/SessionRegistry.h"

namespace {

int sessionOfIdentity(const std::vector<SessionRegistry::Tab>& tabs,
                      const SessionIdentity& identity)
{
    for (const SessionRegistry::Tab& tab : tabs) {
        if (tab.identity == identity)
            return tab.id;
    }
    return -1;
}

// Tabs of one server and account are interchangeable, so several of them are no guess.
int sessionOfServer(const std::vector<SessionRegistry::Tab>& tabs, const ServerAddress& server)
{
    const SessionRegistry::Tab* found = nullptr;
    for (const SessionRegistry::Tab& tab : tabs) {
        if (!tab.identity.isNamedBy(server))
            continue;
        if (found && !(found->identity == tab.identity))
            return -1;
        if (!found)
            found = &tab;
    }
    return found ? found->id : -1;
}

} // namespace

int SessionForAddress(const SessionRegistry& registry, const QString& address)
{
    const std::vector<SessionRegistry::Tab> tabs = registry.tabs();
    if (const std::optional<SessionIdentity> identity = SessionIdentity::fromText(address))
        return sessionOfIdentity(tabs, *identity);
    QString error;
    const std::optional<ServerAddress> server = ServerAddress::parse(address, error);
    return server ? sessionOfServer(tabs, *server) : -1;
}
