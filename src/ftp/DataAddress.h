#pragma once

#include <QString>

#include <optional>

// The far end of an FTP data connection as the control connection spells it: parsed from a
// PASV or EPSV reply, or formatted as the argument of PORT or EPRT.
struct DataAddress {
    QString host;
    quint16 port = 0;

    // The text between the first "(" and the first ")" of a PASV reply holds six numbers
    // h1,h2,h3,h4,p1,p2: host h1.h2.h3.h4, port p1 * 256 + p2. Anything else (missing
    // brackets, a wrong count, a number out of 0..255, port 0) gives nothing.
    static std::optional<DataAddress> fromPasvReply(const QString& reply);
    // An EPSV reply carries only the port, as "(|||port|)"; the host stays empty.
    static std::optional<DataAddress> fromEpsvReply(const QString& reply);

    // "h1,h2,h3,h4,p1,p2"; empty when the host is not a numeric IPv4 address.
    QString toPortArgument() const;
    // "|1|host|port|" or "|2|host|port|" by the form of the numeric host.
    QString toEprtArgument() const;
};
