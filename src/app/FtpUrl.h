#pragma once

#include "ftp/RemoteProtocol.h"
#include "ftp/TlsMode.h"

#include <QString>

#include <optional>

// An ftp://, ftpes:// or sftp:// address given on the command line or handed over by a second
// start: scheme://[user[:password]@]host[:port][/path], percent-escapes decoded, IPv6 hosts in
// brackets. ftp:// stays plain, ftpes:// requires TLS, sftp:// speaks SFTP over SSH (port 22
// unless given; without a user name the local user's, as ssh does).
struct FtpUrl {
    static constexpr int DefaultPort = 21;

    RemoteProtocol protocol = RemoteProtocol::Ftp;
    QString host; // without the brackets of an IPv6 literal
    int port = DefaultPort;
    QString user;
    QString password;
    QString path; // the folder to open once logged on; empty for the home folder
    TlsMode tlsMode = TlsMode::Plain;

    // The server as the server box holds it, the scheme kept: "ftpes://example.com".
    QString server() const;

    // Empty, with a one-line reason in error, when text is not a usable address. The
    // reason never repeats the text, which may hold a password.
    static std::optional<FtpUrl> parse(const QString& text, QString& error);
    // Overwrites the password of an address with 'x's in place, as written in the program's
    // arguments, which other local users can read from the process list.
    static void blankPassword(char* text);
};
