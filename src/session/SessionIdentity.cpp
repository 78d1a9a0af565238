#include "session/SessionIdentity.h"

#include "ftp/ServerAddress.h"
#include "session/LogonRecord.h"

#include <algorithm>

namespace {

const QLatin1String schemeEnd("://");

// The server text with user + "@" put between the scheme and the host.
QString withUser(const QString& server, const QString& user)
{
    const int afterScheme = static_cast<int>(server.indexOf(schemeEnd));
    QString text = server;
    text.insert(afterScheme < 0 ? 0 : afterScheme + schemeEnd.size(), user + u'@');
    return text;
}

} // namespace

SessionIdentity SessionIdentity::of(const LogonRecord& logon)
{
    const LogonInfo info = logon.logonInfo();
    return SessionIdentity{info.tlsMode, info.host, info.port, logon.user, info.protocol};
}

QString SessionIdentity::text() const
{
    return withUser(ServerAddress{tlsMode, host, port, protocol}.text(), user);
}

std::optional<SessionIdentity> SessionIdentity::fromText(const QString& text)
{
    const int at = static_cast<int>(text.lastIndexOf(u'@'));
    if (at < 0)
        return std::nullopt;
    const QString schemeAndUser = text.left(at);
    const int afterScheme = static_cast<int>(schemeAndUser.indexOf(schemeEnd));
    const QString scheme =
        afterScheme < 0 ? QString() : schemeAndUser.left(afterScheme + schemeEnd.size());
    QString error;
    const std::optional<ServerAddress> server =
        ServerAddress::parse(scheme + text.mid(at + 1), error);
    if (!server || !server->port)
        return std::nullopt;
    return SessionIdentity{server->tlsMode, server->host, *server->port,
                           schemeAndUser.mid(scheme.size()), server->protocol};
}

bool SessionIdentity::isNamedBy(const ServerAddress& server) const
{
    return host.compare(server.host, Qt::CaseInsensitive) == 0 &&
           server.port.value_or(port) == port && server.protocol == protocol &&
           (server.tlsMode == TlsMode::Opportunistic || server.tlsMode == tlsMode);
}

QStringList SessionIdentity::tabLabels(const std::vector<SessionIdentity>& sessions)
{
    QStringList labels;
    for (const SessionIdentity& session : sessions) {
        const auto port = session.port == defaultPortOf(session.protocol)
                              ? std::nullopt
                              : std::optional<int>(session.port);
        const QString server =
            ServerAddress{session.tlsMode, session.host, port, session.protocol}.text();
        const bool hostShared =
            std::count_if(sessions.begin(), sessions.end(),
                          [&session](const SessionIdentity& s) { return s.sameHost(session); }) > 1;
        labels << (hostShared && !session.user.isEmpty() ? withUser(server, session.user) : server);
    }
    return labels;
}

bool SessionIdentity::sameHost(const SessionIdentity& other) const
{
    return host.compare(other.host, Qt::CaseInsensitive) == 0;
}

bool SessionIdentity::operator==(const SessionIdentity& other) const
{
    return tlsMode == other.tlsMode && protocol == other.protocol && sameHost(other) &&
           port == other.port && user == other.user;
}
