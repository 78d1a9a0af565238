#pragma once

#include "app/FtpUrl.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the arguments after the program name ask for: `kevra [URL]`, `--help`, `--version`.
struct CommandLine {
    enum class Action { Start, Help, Version, Fail };
    // The exit status for arguments that cannot be used.
    static constexpr int UsageError = 2;

    Action action = Action::Start;
    QString urlText;           // as given, for handing over to a running instance
    std::optional<FtpUrl> url; // the server to connect to at start-up
    QString error;             // one line, for Fail

    static CommandLine parse(const QStringList& arguments);
    static QString usage();
    static QString versionText();
};
