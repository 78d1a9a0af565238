// Feeds arbitrary text to the server address parser, as typed or as it arrives in a link from
// another program, and checks what an accepted address must satisfy: a host that can go on the
// wire as it is, a port in range, and a text that parses back to the same address.
#include "ftp/ServerAddress.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "address fuzz: %s\n", what);
        std::abort();
    }
}

void checkAccepted(const ServerAddress& address)
{
    require(!address.host.isEmpty(), "empty host accepted");
    for (const QChar c : address.host)
        require(c.isPrint() && !c.isSpace() && c != u'/' && c != u'@', "host with a bad character");
    require(!address.port || (*address.port > 0 && *address.port < 65536), "port out of range");
    QString error;
    const std::optional<ServerAddress> again = ServerAddress::parse(address.text(), error);
    require(again.has_value(), "shown text is refused");
    require(again->host == address.host && again->port == address.port &&
                again->tlsMode == address.tlsMode,
            "shown text names another server");
}

void parse(const QString& text)
{
    QString error;
    const std::optional<ServerAddress> address = ServerAddress::parse(text, error);
    if (address)
        checkAccepted(*address);
    else
        require(!error.isEmpty() && !error.contains(u'\n'), "refusal without a one-line reason");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    parse(QString::fromUtf8(bytes));
    parse(QString::fromLatin1(bytes));
    return 0;
}
