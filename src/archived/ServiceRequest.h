#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// One request as the client sends it: "UID:" user CR "PASS:" password CR, then the mode ("A"
// compress, "X" extract) CR and the paths, each closed by CR. Texts are GBK on the wire.
struct ServiceRequest {
    enum class Mode { Compress, Extract };

    QString user;
    QString password;
    Mode mode = Mode::Compress;
    QStringList paths;

    // Empty when the bytes are not a whole request of a known mode with at least one path.
    static std::optional<ServiceRequest> parse(const QByteArray& bytes);
    // Whether more bytes may still belong to this request: it does not yet end with a path.
    static bool mayBeIncomplete(const QByteArray& bytes);
};
