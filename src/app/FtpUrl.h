#pragma once

#include <QString>

#include <optional>

// An ftp:// address given on the command line or handed over by a second start:
// ftp://[user[:password]@]host[:port][/path], percent-escapes decoded, IPv6 hosts in brackets.
struct FtpUrl {
    static constexpr int DefaultPort = 21;

    QString host; // without the brackets of an IPv6 literal
    int port = DefaultPort;
    QString user;
    QString password;
    QString path; // the folder to open once logged on; empty for the home folder

    // Empty, with a one-line reason in error, when text is not a usable ftp:// address. The
    // reason never repeats the text, which may hold a password.
    static std::optional<FtpUrl> parse(const QString& text, QString& error);
};
