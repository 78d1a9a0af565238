#pragma once

#include "platform/StreamHash.h"

#include <QString>

#include <optional>

class ServerFeatures;

// How to ask a server for a file's digest: "HASH name" after choosing the algorithm with
// "OPTS HASH", or one of the older single-algorithm commands ("XSHA256 name", "XSHA1",
// "XMD5", "XCRC"). The strongest algorithm the server offers wins: SHA-256, SHA-1, MD5, CRC32.
struct ServerHashCommand {
    StreamHash::Algorithm algorithm = StreamHash::Algorithm::Sha256;
    QString verb;                // "HASH", "XSHA256", ...
    bool needsSelection = false; // HASH whose chosen algorithm is not the server's current one
    // HASH's current algorithm (marked "*" in FEAT), the fall-back when OPTS HASH is refused.
    std::optional<StreamHash::Algorithm> current;

    // Nothing when the server announces no digest command.
    static std::optional<ServerHashCommand> choose(const ServerFeatures& features);

    QString selection() const;
    QString request(const QString& name) const;
    // The digest in lower-case hexadecimal, from a positive reply to request(); nothing when
    // the reply holds none of this algorithm or covers only part of the file.
    std::optional<QString> digestIn(const QString& replyLine) const;
};
