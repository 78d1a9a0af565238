#pragma once

#include "ftp/RemoteProtocol.h"
#include "ftp/TlsMode.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct LogonRecord;
struct ServerAddress;

// The server and account a session is logged on to. A queue entry carries it, so that it runs
// against the session it was queued from however many tabs share a host, and the tabs are
// labelled from it. Host names compare without regard to case.
struct SessionIdentity {
    TlsMode tlsMode = TlsMode::Opportunistic;
    QString host;
    int port = 21;
    QString user;
    RemoteProtocol protocol = RemoteProtocol::Ftp;

    static SessionIdentity of(const LogonRecord& logon);

    // "user@host:port" after the scheme the server was given with ("ftp://", "ftpes://",
    // "sftp://" or none).
    // The "@" is there even for an empty user: it tells this text from the bare server text of
    // an entry stored before entries carried their account.
    QString text() const;
    // The identity that text() gave; empty for any other text, an older entry's server included.
    static std::optional<SessionIdentity> fromText(const QString& text);

    // Whether an older entry's server text ("host", "host:2121", "ftpes://host") may mean this
    // session: the same host, and the same port and scheme where the text names them.
    bool isNamedBy(const ServerAddress& server) const;

    // One label per session, in order: the server with the port when it is not the protocol's
    // own, and with the
    // user when another of the sessions is on the same host.
    static QStringList tabLabels(const std::vector<SessionIdentity>& sessions);

    bool sameHost(const SessionIdentity& other) const;
    bool operator==(const SessionIdentity& other) const;
};
