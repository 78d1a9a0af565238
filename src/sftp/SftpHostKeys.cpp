#include "sftp/SftpHostKeys.h"

#include "platform/Prompt.h"

#include <QDir>
#include <QFileInfo>

#include <libssh/libssh.h>

#include <memory>

namespace {

struct KeyFree {
    void operator()(ssh_key key) const { ssh_key_free(key); }
};

QString caption()
{
    return QStringLiteral("主机密钥");
}

} // namespace

SftpHostKeys::SftpHostKeys(QString knownHostsPath) : knownHostsPath_(std::move(knownHostsPath)) {}

QString SftpHostKeys::fingerprintText(const QByteArray& sha256)
{
    return QStringLiteral("SHA256:") +
           QString::fromLatin1(sha256.toBase64(QByteArray::OmitTrailingEquals));
}

QString SftpHostKeys::keyTypeText(const QString& sshName)
{
    if (sshName.startsWith(QLatin1String("ssh-ed25519")))
        return QStringLiteral("ED25519");
    if (sshName.startsWith(QLatin1String("ecdsa-")))
        return QStringLiteral("ECDSA");
    if (sshName.startsWith(QLatin1String("ssh-rsa")) || sshName.startsWith(QLatin1String("rsa-")))
        return QStringLiteral("RSA");
    if (sshName.startsWith(QLatin1String("ssh-dss")))
        return QStringLiteral("DSA");
    return sshName.toUpper();
}

QString SftpHostKeys::serverText(const QString& host, int port)
{
    if (port == 22)
        return host;
    return QStringLiteral("[%1]:%2").arg(host).arg(port);
}

bool SftpHostKeys::accept(ssh_session_struct* session, const QString& host, int port,
                          Prompt* prompt, QString& error)
{
    ssh_key raw = nullptr;
    if (ssh_get_server_publickey(session, &raw) != SSH_OK) {
        error = QStringLiteral("无法取得服务器的主机密钥");
        return false;
    }
    const std::unique_ptr<ssh_key_struct, KeyFree> key(raw);
    unsigned char* hash = nullptr;
    size_t length = 0;
    if (ssh_get_publickey_hash(key.get(), SSH_PUBLICKEY_HASH_SHA256, &hash, &length) != 0) {
        error = QStringLiteral("无法计算主机密钥的指纹");
        return false;
    }
    const QByteArray digest(reinterpret_cast<const char*>(hash), static_cast<qsizetype>(length));
    ssh_clean_pubkey_hash(&hash);
    const ServerKey serverKey{
        keyTypeText(QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key.get())))),
        fingerprintText(digest)};
    std::lock_guard<std::mutex> hold(mutex_);
    return decide(session, serverText(host, port), serverKey, prompt, error);
}

bool SftpHostKeys::decide(ssh_session_struct* session, const QString& server, const ServerKey& key,
                          Prompt* prompt, QString& error)
{
    switch (ssh_session_is_known_server(session)) {
    case SSH_KNOWN_HOSTS_OK:
        return true;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        error = QStringLiteral("警告: 服务器 %1 的主机密钥与 %2 中记录的不同!\n"
                               "可能有人正在冒充该服务器(中间人攻击),也可能是服务器更换了密钥。\n"
                               "服务器现在的 %3 密钥指纹为 %4。\n"
                               "连接已拒绝。确认密钥确实更换后,请从 %2 中删除旧的记录。")
                    .arg(server, knownHostsPath_, key.type, key.fingerprint);
        if (prompt)
            prompt->tell(error, caption());
        return false;
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        return askAboutUnknown(session, server, key, prompt, error);
    case SSH_KNOWN_HOSTS_ERROR:
        break;
    }
    error = QStringLiteral("无法读取 %1: %2")
                .arg(knownHostsPath_, QString::fromUtf8(ssh_get_error(session)));
    return false;
}

bool SftpHostKeys::askAboutUnknown(ssh_session_struct* session, const QString& server,
                                   const ServerKey& key, Prompt* prompt, QString& error)
{
    const QString remembered = server + u' ' + key.fingerprint;
    error = QStringLiteral("服务器 %1 的主机密钥未被信任").arg(server);
    if (trustedOnce_.contains(remembered))
        return true;
    if (refused_.contains(remembered) || !prompt)
        return false;
    const QString question =
        QStringLiteral("无法确认服务器 %1 的身份,它的主机密钥尚未记录在 %2 中。\n"
                       "%3 密钥指纹为 %4。\n"
                       "是否信任该服务器并继续连接?")
            .arg(server, knownHostsPath_, key.type, key.fingerprint);
    switch (prompt->ask(question, caption(), PromptButtons::TrustChoice)) {
    case PromptAnswer::TrustAlways:
        return remember(session, error);
    case PromptAnswer::TrustOnce:
        trustedOnce_.insert(remembered);
        return true;
    default:
        refused_.insert(remembered);
        return false;
    }
}

bool SftpHostKeys::remember(ssh_session_struct* session, QString& error)
{
    // A new ~/.ssh is private to its owner, as OpenSSH makes it.
    const QString folder = QFileInfo(knownHostsPath_).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) {
            error = QStringLiteral("无法创建文件夹 %1").arg(folder);
            return false;
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (ssh_session_update_known_hosts(session) != SSH_OK) {
        error = QStringLiteral("无法把主机密钥写入 %1: %2")
                    .arg(knownHostsPath_, QString::fromUtf8(ssh_get_error(session)));
        return false;
    }
    return true;
}
