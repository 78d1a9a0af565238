#pragma once

#include <QString>

#include <chrono>

// Whether a downloaded file can take the running program's place: an ELF executable of the same
// class, byte order and machine as the running process that, run with "--version", says the
// announced version within a short time. It is run only after its signature verified.
class ProgramCheck {
public:
    static constexpr std::chrono::milliseconds VersionTimeout{5000};

    static bool isExecutableForThisMachine(const QString& file);
    // The first line printed ends with the version, as "KEVRA 1.01" does.
    static bool answersVersion(const QString& file, const QString& version,
                               std::chrono::milliseconds timeout = VersionTimeout);
};
