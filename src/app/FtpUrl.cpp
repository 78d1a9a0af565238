#include "app/FtpUrl.h"

#include "ftp/ServerAddress.h"

#include <QUrl>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

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

QString localUser()
{
    const passwd* entry = ::getpwuid(::getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : qEnvironmentVariable("USER");
}

QString folderPath(const QUrl& url)
{
    QString path = url.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path == QLatin1String("/") ? QString() : path;
}

// Checks the server part as written, brackets kept, by the server box's rules: QUrl takes
// "[v1.x]" (an IPvFuture literal) for the host name "v1.x".
bool isServerAddress(const QUrl& url, QString& error)
{
    const QString authority = url.authority(QUrl::FullyEncoded);
    return ServerAddress::parse(authority.mid(authority.lastIndexOf(u'@') + 1), error).has_value();
}

} // namespace

std::optional<FtpUrl> FtpUrl::parse(const QString& text, QString& error)
{
    const QUrl url(text, QUrl::StrictMode);
    const bool secure = url.scheme() == QLatin1String("ftpes");
    const bool sftp = url.scheme() == QLatin1String("sftp");
    if (!url.isValid() || (url.scheme() != QLatin1String("ftp") && !secure && !sftp)) {
        error = QStringLiteral("不是有效的 ftp://、ftpes:// 或 sftp:// 地址");
        return std::nullopt;
    }
    FtpUrl result;
    result.tlsMode = secure ? TlsMode::Required : TlsMode::Plain;
    result.protocol = sftp ? RemoteProtocol::Sftp : RemoteProtocol::Ftp;
    result.host = url.host(QUrl::FullyDecoded);
    result.port = url.port(defaultPortOf(result.protocol));
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
    if (!isServerAddress(url, error))
        return std::nullopt;
    if (url.hasQuery() || url.hasFragment() || hasControlCharacters(result.user) ||
        hasControlCharacters(result.password) || hasControlCharacters(result.path)) {
        error = QStringLiteral("地址中含有不能发给服务器的字符");
        return std::nullopt;
    }
    if (result.user.isEmpty() && sftp) {
        result.user = localUser();
    } else if (result.user.isEmpty()) {
        result.user = anonymousUser;
        if (result.password.isEmpty())
            result.password = anonymousPassword;
    }
    return result;
}

void FtpUrl::blankPassword(char* text)
{
    char* authority = std::strstr(text, "://");
    if (!authority)
        return;
    authority += 3;
    char* const end = authority + std::strcspn(authority, "/?#");
    const auto lastAt =
        std::find(std::make_reverse_iterator(end), std::make_reverse_iterator(authority), '@');
    if (lastAt.base() == authority)
        return; // no user part
    char* const userEnd = lastAt.base() - 1;
    char* const colon = std::find(authority, userEnd, ':');
    if (colon != userEnd)
        std::fill(colon + 1, userEnd, 'x');
}

QString FtpUrl::server() const
{
    return ServerAddress{tlsMode, host, std::nullopt, protocol}.text();
}
