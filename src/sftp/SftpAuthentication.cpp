#include "sftp/SftpAuthentication.h"

#include "platform/Prompt.h"
#include "sftp/SftpPassphrases.h"

#include <QFileInfo>

#include <libssh/libssh.h>

#include <memory>

namespace {

struct KeyFree {
    void operator()(ssh_key key) const { ssh_key_free(key); }
};
using KeyPointer = std::unique_ptr<ssh_key_struct, KeyFree>;

// Servers ask for the password again after a wrong one; three rounds are enough for any
// honest exchange and bound a server that keeps asking.
constexpr int keyboardRounds = 3;
constexpr int passphraseAttempts = 3;

KeyPointer importPrivateKey(const QString& path, const char* passphrase)
{
    ssh_key key = nullptr;
    if (ssh_pki_import_privkey_file(QFile::encodeName(path).constData(), passphrase, nullptr,
                                    nullptr, &key) != SSH_OK)
        return nullptr;
    return KeyPointer(key);
}

} // namespace

SftpAuthentication::SftpAuthentication(ssh_session_struct* session, Prompt* prompt,
                                       QString keyFolder, SftpPassphrases& passphrases)
    : session_(session), prompt_(prompt), keyFolder_(std::move(keyFolder)),
      passphrases_(passphrases)
{
}

bool SftpAuthentication::logOn(const QString& password, QString& error)
{
    const int none = ssh_userauth_none(session_, nullptr);
    if (none == SSH_AUTH_SUCCESS)
        return true;
    broken_ = none == SSH_AUTH_ERROR;
    methods_ = ssh_userauth_list(session_, nullptr);
    if (!broken_ && (byAgent() || byPassword(password) || byKeyboard(password) || byKeyFiles()))
        return true;
    error =
        broken_
            ? QStringLiteral("登录时连接中断: %1").arg(QString::fromUtf8(ssh_get_error(session_)))
            : QStringLiteral("登录失败: 服务器不接受所给的密码或密钥");
    return false;
}

bool SftpAuthentication::accepted(int result)
{
    if (result == SSH_AUTH_ERROR)
        broken_ = true;
    return result == SSH_AUTH_SUCCESS;
}

bool SftpAuthentication::byAgent()
{
    if (!(methods_ & SSH_AUTH_METHOD_PUBLICKEY) || qEnvironmentVariableIsEmpty("SSH_AUTH_SOCK"))
        return false;
    return accepted(ssh_userauth_agent(session_, nullptr));
}

bool SftpAuthentication::byPassword(const QString& password)
{
    if (broken_ || password.isEmpty() || !(methods_ & SSH_AUTH_METHOD_PASSWORD))
        return false;
    return accepted(ssh_userauth_password(session_, nullptr, password.toUtf8().constData()));
}

// The password answers every prompt that hides its input; prompts that echo get nothing.
bool SftpAuthentication::byKeyboard(const QString& password)
{
    if (broken_ || password.isEmpty() || !(methods_ & SSH_AUTH_METHOD_INTERACTIVE))
        return false;
    const QByteArray secret = password.toUtf8();
    int result = ssh_userauth_kbdint(session_, nullptr, nullptr);
    for (int round = 0; result == SSH_AUTH_INFO && round < keyboardRounds; ++round) {
        const int count = ssh_userauth_kbdint_getnprompts(session_);
        for (int i = 0; i < count; ++i) {
            char echo = 0;
            ssh_userauth_kbdint_getprompt(session_, static_cast<unsigned>(i), &echo);
            ssh_userauth_kbdint_setanswer(session_, static_cast<unsigned>(i),
                                          echo ? "" : secret.constData());
        }
        result = ssh_userauth_kbdint(session_, nullptr, nullptr);
    }
    return accepted(result);
}

bool SftpAuthentication::byKeyFiles()
{
    if (broken_ || !(methods_ & SSH_AUTH_METHOD_PUBLICKEY))
        return false;
    for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        if (byKeyFile(keyFolder_ + u'/' + QLatin1String(name)))
            return true;
        if (broken_)
            return false;
    }
    return false;
}

// The public half is offered first, so that a passphrase is asked for only for a key the
// server would accept.
bool SftpAuthentication::byKeyFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    ssh_key publicKey = nullptr;
    if (ssh_pki_import_pubkey_file(QFile::encodeName(path + QLatin1String(".pub")).constData(),
                                   &publicKey) == SSH_OK) {
        const KeyPointer offered(publicKey);
        const int offer = ssh_userauth_try_publickey(session_, nullptr, offered.get());
        if (offer != SSH_AUTH_SUCCESS) {
            broken_ = offer == SSH_AUTH_ERROR;
            return false;
        }
    }
    const std::optional<QString> known = passphrases_.forKey(path);
    KeyPointer key = importPrivateKey(path, known ? known->toUtf8().constData() : nullptr);
    for (int attempt = 0; !key && prompt_ && attempt < passphraseAttempts; ++attempt) {
        const std::optional<QString> passphrase = prompt_->askSecret(
            QStringLiteral("请输入密钥 %1 的密码:").arg(path), QStringLiteral("密钥密码"));
        if (!passphrase)
            return false;
        key = importPrivateKey(path, passphrase->toUtf8().constData());
        if (key)
            passphrases_.remember(path, *passphrase);
    }
    return key && accepted(ssh_userauth_publickey(session_, nullptr, key.get()));
}
