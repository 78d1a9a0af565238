#pragma once

#include "ftp/ServerHashCommand.h"
#include "platform/StreamHash.h"

#include <QString>

#include <optional>

class FtpClient;

// Asks the server of a logged-on connection for the digest of a remote file with the command
// its FEAT announced. What it learns (the chosen algorithm, a refusal already reported) holds
// for one logon: a new logon of the same engine starts afresh.
class RemoteHash {
public:
    enum class Status { Unavailable, Digest, Failed };
    struct Answer {
        Status status = Status::Unavailable;
        QString digest;          // lower-case hexadecimal
        QString failure;         // the server's reply or the error text
        bool reportable = false; // the first failure on this logon
    };

    explicit RemoteHash(FtpClient& client);

    // The algorithm to compute locally while the file moves; chooses it with the server first
    // (OPTS HASH) where needed. Nothing when this server offers no digest.
    std::optional<StreamHash::Algorithm> prepare();
    Answer query(const QString& wireName);

private:
    void renewForLogon();
    Answer fail();

    FtpClient& client_;
    int logon_ = -1;
    std::optional<ServerHashCommand> command_;
    bool prepared_ = false;
    bool givenUp_ = false;
    bool failureReported_ = false;
};
