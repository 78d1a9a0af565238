#include "app/FtpUrl.h"

#include "ftp/ServerAddress.h"

#include <QUrl>

namespace {

const QString anonymousUser = QStringLiteral("anonymous");
const QString anonymousPassword = QStringLiteral("kevra@");

// A decoded CR or LF would end the FTP command it is sent in and start another one.
bool hasControlCharacters(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

QString folderPath(const QUrl& url)
{
    QString path = url.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path == QLatin1String("/") ? QString() : path;
}

} // namespace

std::optional<FtpUrl> FtpUrl::parse(const QString& text, QString& error)
{
    const QUrl url(text, QUrl::StrictMode);
    const bool secure = url.scheme() == QLatin1String("ftpes");
    if (!url.isValid() || (url.scheme() != QLatin1String("ftp") && !secure)) {
        error = QStringLiteral("不是有效的 ftp:// 或 ftpes:// 地址");
        return std::nullopt;
    }
    FtpUrl result;
    result.tlsMode = secure ? TlsMode::Required : TlsMode::Plain;
    result.host = url.host(QUrl::FullyDecoded);
    result.port = url.port(DefaultPort);
    result.user = url.userName(QUrl::FullyDecoded);
    result.password = url.password(QUrl::FullyDecoded);
    result.path = folderPath(url);
    if (result.host.isEmpty()) {
        error = QStringLiteral("地址中缺少服务器");
        return std::nullopt;
    }
    if (result.port < 1) {
        error = QStringLiteral("端口无效");
        return std::nullopt;
    }
    if (url.hasQuery() || url.hasFragment() || hasControlCharacters(result.user) ||
        hasControlCharacters(result.password) || hasControlCharacters(result.path)) {
        error = QStringLiteral("地址中含有不能发给服务器的字符");
        return std::nullopt;
    }
    if (result.user.isEmpty()) {
        result.user = anonymousUser;
        if (result.password.isEmpty())
            result.password = anonymousPassword;
    }
    return result;
}

QString FtpUrl::server() const
{
    return ServerAddress{tlsMode, host, std::nullopt}.text();
}
