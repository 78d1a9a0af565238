#include "ftp/ServerAddress.h"

#include <QLatin1String>

#include <arpa/inet.h>

#include <algorithm>

namespace {

constexpr int longestHost = 255;

struct Scheme {
    QLatin1String prefix;
    TlsMode mode;
    RemoteProtocol protocol;
};

const Scheme schemes[] = {
    {QLatin1String("ftp://"), TlsMode::Plain, RemoteProtocol::Ftp},
    {QLatin1String("ftpes://"), TlsMode::Required, RemoteProtocol::Ftp},
    {QLatin1String("sftp://"), TlsMode::Plain, RemoteProtocol::Sftp},
};

QLatin1String prefixOf(TlsMode mode, RemoteProtocol protocol)
{
    for (const Scheme& scheme : schemes) {
        if (scheme.protocol == protocol &&
            (protocol == RemoteProtocol::Sftp || scheme.mode == mode))
            return scheme.prefix;
    }
    return QLatin1String();
}

std::optional<ServerAddress> failure(QString& error, const QString& reason)
{
    error = reason;
    return std::nullopt;
}

// Takes the scheme off the front of rest; false for a scheme this program does not speak.
bool takeScheme(QString& rest, ServerAddress& address)
{
    for (const Scheme& scheme : schemes) {
        if (rest.startsWith(scheme.prefix, Qt::CaseInsensitive)) {
            rest.remove(0, scheme.prefix.size());
            address.tlsMode = scheme.mode;
            address.protocol = scheme.protocol;
            return true;
        }
    }
    return !rest.contains(QLatin1String("://"));
}

bool isHostCharacter(QChar c)
{
    // Control and invisible format characters (C1 controls, zero-width joiners) have no place
    // in a host name and would only make one look like another.
    return c.isPrint() && !c.isSpace() && !QStringLiteral("/\\@?#[]").contains(c);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isIpv6Literal(const QString& text)
{
    // A NUL would end the text early for inet_pton; other characters outside ASCII become '?'.
    in6_addr address{};
    return !text.contains(QChar(u'\0')) &&
           ::inet_pton(AF_INET6, text.toLatin1().constData(), &address) == 1;
}

bool allOf(const QString& text, bool (*test)(QChar))
{
    return std::all_of(text.begin(), text.end(), test);
}

std::optional<int> portFrom(const QString& text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || !allOf(text, isAsciiDigit) || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

struct HostAndPort {
    QString host;
    std::optional<QString> portText; // present when a ":" announced a port
};

// Splits "[v6]:port", a bare IPv6 literal, or "name:port"; gives the reason when it cannot.
QString split(const QString& rest, HostAndPort& parts)
{
    if (rest.startsWith(u'[')) {
        const int close = rest.indexOf(u']');
        if (close < 0)
            return QStringLiteral("IPv6 地址缺少“]”");
        parts.host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return QStringLiteral("服务器地址无效");
        if (!after.isEmpty())
            parts.portText = after.mid(1);
        return isIpv6Literal(parts.host) ? QString() : QStringLiteral("IPv6 地址无效");
    }
    if (rest.count(u':') > 1) {
        parts.host = rest; // a bare IPv6 literal leaves no room for a port
        return isIpv6Literal(rest) ? QString() : QStringLiteral("IPv6 地址无效");
    }
    const int colon = rest.indexOf(u':');
    parts.host = rest.left(colon);
    if (colon >= 0)
        parts.portText = rest.mid(colon + 1);
    return allOf(parts.host, isHostCharacter) ? QString()
                                              : QStringLiteral("服务器地址中含有不允许的字符");
}

} // namespace

std::optional<ServerAddress> ServerAddress::parse(const QString& text, QString& error)
{
    QString rest = text.trimmed();
    ServerAddress address;
    if (!takeScheme(rest, address))
        return failure(error,
                       QStringLiteral("不支持的地址类型,请使用 ftp://、ftpes:// 或 sftp://"));
    if (rest.endsWith(u'/'))
        rest.chop(1);
    if (rest.contains(u'@'))
        return failure(error, QStringLiteral("服务器地址中不能含有用户名,请填在用户名框中"));
    if (rest.contains(u'/'))
        return failure(error, QStringLiteral("服务器地址中不能含有路径"));
    HostAndPort parts;
    if (const QString reason = split(rest, parts); !reason.isEmpty())
        return failure(error, reason);
    if (parts.host.isEmpty())
        return failure(error, QStringLiteral("请填入服务器地址"));
    if (parts.host.size() > longestHost)
        return failure(error, QStringLiteral("服务器地址太长"));
    address.host = parts.host;
    if (parts.portText) {
        address.port = portFrom(*parts.portText);
        if (!address.port)
            return failure(error, QStringLiteral("端口无效"));
    }
    return address;
}

ServerAddress ServerAddress::of(const QString& text)
{
    QString error;
    return parse(text, error).value_or(ServerAddress{TlsMode::Opportunistic, text, std::nullopt});
}

QString ServerAddress::text() const
{
    const bool bracketed = host.contains(u':') && (port || tlsMode != TlsMode::Opportunistic);
    QString result = prefixOf(tlsMode, protocol) + (bracketed ? u'[' + host + u']' : host);
    if (port)
        result += u':' + QString::number(*port);
    return result;
}
