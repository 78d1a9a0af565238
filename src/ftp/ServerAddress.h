#pragma once

#include "ftp/RemoteProtocol.h"
#include "ftp/TlsMode.h"

#include <QString>

#include <optional>

// A server as the user names it in the server box, a saved account or a URL: "ftp://host"
// (plain), "ftpes://host" (TLS required), "sftp://host" (SFTP over SSH) or a bare "host" (FTP,
// TLS when offered), each with an
// optional ":port" and a trailing "/". IPv6 literals go in brackets; a bare literal without a
// port needs none.
struct ServerAddress {
    TlsMode tlsMode = TlsMode::Opportunistic;
    QString host; // the name or address to connect to, without brackets
    std::optional<int> port;
    RemoteProtocol protocol = RemoteProtocol::Ftp;

    // Empty, with a one-line reason in error, when the text names no usable server.
    static std::optional<ServerAddress> parse(const QString& text, QString& error);
    // For text that was checked when it was typed: its address, or the text as a bare host name
    // when it names none (connecting to it then fails with the reason).
    static ServerAddress of(const QString& text);
    // The text that parses back to this address, as the server box shows it.
    QString text() const;
};
