#include "sftp/SftpClient.h"

#include "platform/TcpSocket.h"
#include "sftp/SftpAuthentication.h"
#include "sftp/SftpEntryText.h"
#include "sftp/SftpFileTransfer.h"
#include "sftp/SftpHostKeys.h"
#include "sftp/SftpPassphrases.h"

#include <QDir>
#include <QFile>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

// AES-GCM first: with the processor's AES instructions it is the cheapest to encrypt; the rest
// is libssh's own choice, so any server still finds a cipher in common.
constexpr const char* cipherPreference =
    "aes128-gcm@openssh.com,aes256-gcm@openssh.com,chacha20-poly1305@openssh.com,"
    "aes128-ctr,aes192-ctr,aes256-ctr";

struct AttributesFree {
    void operator()(sftp_attributes attributes) const { sftp_attributes_free(attributes); }
};
using Attributes = std::unique_ptr<sftp_attributes_struct, AttributesFree>;

QString sftpErrorText(int code)
{
    switch (code) {
    case SSH_FX_EOF:
        return QStringLiteral("已到文件末尾");
    case SSH_FX_NO_SUCH_FILE:
    case SSH_FX_NO_SUCH_PATH:
        return QStringLiteral("文件或文件夹不存在");
    case SSH_FX_PERMISSION_DENIED:
        return QStringLiteral("没有权限");
    case SSH_FX_FILE_ALREADY_EXISTS:
        return QStringLiteral("文件已存在");
    case SSH_FX_WRITE_PROTECT:
        return QStringLiteral("服务器的文件系统只读");
    case SSH_FX_OP_UNSUPPORTED:
        return QStringLiteral("服务器不支持该操作");
    default:
        return QStringLiteral("服务器无法完成操作 (错误 %1)").arg(code);
    }
}

QByteArray joined(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

bool safeName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

} // namespace

SftpClient::SftpClient(Prompt* prompt)
    : prompt_(prompt), passphrases_(std::make_shared<SftpPassphrases>())
{
    setKeyFolder(QDir::homePath() + QLatin1String("/.ssh"));
}

void SftpClient::setKeyFolder(const QString& folder)
{
    keyFolder_ = folder;
    hostKeys_ = std::make_shared<SftpHostKeys>(keyFolder_ + QLatin1String("/known_hosts"));
}

SftpClient::~SftpClient()
{
    Disconnect();
}

bool SftpClient::fail(const QString& text)
{
    replyLine = text;
    return false;
}

// After a failed SFTP request: the server's reason, or the connection's when it is gone.
bool SftpClient::failSftp(const QString& what, const QByteArray& path)
{
    const bool connectionLost =
        !ssh_is_connected(session_) || !sftp_ || ssh_channel_is_closed(sftp_->channel);
    networkFailure = connectionLost;
    const QString reason =
        connectionLost
            ? QStringLiteral("网络错误: %1").arg(QString::fromUtf8(ssh_get_error(session_)))
            : sftpErrorText(sftp_get_error(sftp_));
    return fail(QStringLiteral("%1 %2 失败: %3").arg(what, QString::fromUtf8(path), reason));
}

bool SftpClient::usable()
{
    networkFailure = false;
    std::lock_guard<std::mutex> hold(interruptMutex_);
    if (interrupted_)
        return fail(QStringLiteral("操作已中断"));
    if (!sftp_) {
        networkFailure = true;
        return fail(QStringLiteral("尚未连接"));
    }
    return true;
}

bool SftpClient::Connect(const QString& hostName, int portNumber)
{
    Disconnect();
    {
        std::lock_guard<std::mutex> hold(interruptMutex_);
        interrupted_ = false;
    }
    abortRequested = 0;
    networkFailure = true;
    host = hostName;
    port = portNumber;
    auto socket = std::make_unique<TcpSocket>();
    if (!socket->connect(hostName, portNumber, timeout_))
        return fail(QStringLiteral("无法连接到 %1:%2").arg(hostName).arg(portNumber));
    socket->setNoDelay(true);
    const int descriptor = ::dup(socket->descriptor());
    {
        std::lock_guard<std::mutex> hold(interruptMutex_);
        socket_ = std::move(socket);
        if (interrupted_) {
            ::close(descriptor);
            return fail(QStringLiteral("操作已中断"));
        }
    }
    if (!openSsh(descriptor))
        return false;
    QString error;
    if (!hostKeys_->accept(session_, hostName, portNumber, prompt_, error)) {
        networkFailure = false;
        Disconnect();
        return fail(error);
    }
    networkFailure = false;
    return true;
}

// libssh gets a descriptor of its own for the connected socket and closes it itself; the
// original stays with socket_, through which Interrupt cuts the connection from another thread.
bool SftpClient::openSsh(int descriptor)
{
    session_ = ssh_new();
    socket_t fd = descriptor;
    const QByteArray hostBytes = host.toUtf8();
    const unsigned int portValue = unsigned(port);
    const bool processConfig = false;
    const long seconds = long(std::max<qint64>(1, (timeout_.count() + 999) / 1000));
    const QByteArray knownHosts = QFile::encodeName(hostKeys_->knownHostsPath());
    const QByteArray folder = QFile::encodeName(keyFolder_);
    ssh_options_set(session_, SSH_OPTIONS_FD, &fd);
    ssh_options_set(session_, SSH_OPTIONS_HOST, hostBytes.constData());
    ssh_options_set(session_, SSH_OPTIONS_PORT, &portValue);
    ssh_options_set(session_, SSH_OPTIONS_PROCESS_CONFIG, &processConfig);
    ssh_options_set(session_, SSH_OPTIONS_SSH_DIR, folder.constData());
    ssh_options_set(session_, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData());
    ssh_options_set(session_, SSH_OPTIONS_TIMEOUT, &seconds);
    ssh_options_set(session_, SSH_OPTIONS_CIPHERS_C_S, cipherPreference);
    ssh_options_set(session_, SSH_OPTIONS_CIPHERS_S_C, cipherPreference);
    if (ssh_connect(session_) != SSH_OK) {
        const QString reason = QString::fromUtf8(ssh_get_error(session_));
        Disconnect();
        return fail(QStringLiteral("SSH 连接 %1:%2 失败: %3").arg(host).arg(port).arg(reason));
    }
    return true;
}

bool SftpClient::Logon(const QString& userName, const QString& passwordText)
{
    networkFailure = false;
    if (!session_)
        return fail(QStringLiteral("尚未连接"));
    // Without a name libssh logs on as the local user, as ssh does.
    user = userName;
    if (!userName.isEmpty())
        ssh_options_set(session_, SSH_OPTIONS_USER, userName.toUtf8().constData());
    QString error;
    if (!SftpAuthentication(session_, prompt_, keyFolder_, *passphrases_)
             .logOn(passwordText, error)) {
        networkFailure = !ssh_is_connected(session_);
        return fail(error);
    }
    sftp_ = sftp_new(session_);
    if (!sftp_ || sftp_init(sftp_) != SSH_OK) {
        const QString reason = QString::fromUtf8(ssh_get_error(session_));
        if (sftp_)
            sftp_free(sftp_);
        sftp_ = nullptr;
        networkFailure = true;
        return fail(QStringLiteral("服务器没有提供 SFTP 服务: %1").arg(reason));
    }
    return true;
}

void SftpClient::Disconnect()
{
    if (sftp_)
        sftp_free(sftp_);
    sftp_ = nullptr;
    if (session_) {
        if (ssh_is_connected(session_))
            ssh_disconnect(session_);
        ssh_free(session_);
    }
    session_ = nullptr;
    std::lock_guard<std::mutex> hold(interruptMutex_);
    socket_.reset();
}

bool SftpClient::isConnected() const
{
    return sftp_ && ssh_is_connected(session_);
}

void SftpClient::Interrupt()
{
    std::lock_guard<std::mutex> hold(interruptMutex_);
    interrupted_ = true;
    abortRequested = 1;
    if (socket_)
        socket_->interrupt();
}

std::optional<QByteArray> SftpClient::ResolveFolder(const QByteArray& path)
{
    if (!usable())
        return std::nullopt;
    char* canonical = sftp_canonicalize_path(sftp_, path.constData());
    if (!canonical) {
        failSftp(QStringLiteral("进入"), path);
        return std::nullopt;
    }
    const QByteArray resolved(canonical);
    ssh_string_free_char(canonical);
    const std::optional<SftpEntry> entry = Stat(resolved);
    if (!entry)
        return std::nullopt;
    if (!entry->isFolder) {
        fail(QStringLiteral("%1 不是文件夹").arg(QString::fromUtf8(resolved)));
        return std::nullopt;
    }
    return resolved;
}

SftpEntry SftpClient::entryFrom(const QByteArray& folder, const sftp_attributes_struct* attributes)
{
    SftpEntry entry = sftpentrytext::fromAttributes(attributes);
    if (entry.isLink) {
        const Attributes target(sftp_stat(sftp_, joined(folder, entry.rawName).constData()));
        if (target) {
            entry.isFolder = target->type == SSH_FILEXFER_TYPE_DIRECTORY;
            entry.size = entry.isFolder ? 0 : target->size;
        }
    }
    return entry;
}

bool SftpClient::List(const QByteArray& folder, QVector<SftpEntry>& entries, qsizetype limit)
{
    entries.clear();
    if (!usable())
        return false;
    sftp_dir dir = sftp_opendir(sftp_, folder.constData());
    if (!dir)
        return failSftp(QStringLiteral("列出"), folder);
    bool overLimit = false;
    while (sftp_attributes raw = sftp_readdir(sftp_, dir)) {
        const Attributes attributes(raw);
        if (!safeName(QByteArray(attributes->name)))
            continue;
        if (entries.size() >= limit) {
            overLimit = true;
            break;
        }
        entries.append(entryFrom(folder, attributes.get()));
    }
    const bool complete = overLimit || sftp_dir_eof(dir);
    sftp_closedir(dir);
    if (overLimit) {
        entries.clear();
        return fail(
            QStringLiteral("文件夹 %1 的条目超过 %2 个").arg(QString::fromUtf8(folder)).arg(limit));
    }
    if (!complete) {
        entries.clear();
        return failSftp(QStringLiteral("列出"), folder);
    }
    return true;
}

std::optional<SftpEntry> SftpClient::Stat(const QByteArray& path)
{
    if (!usable())
        return std::nullopt;
    const Attributes attributes(sftp_stat(sftp_, path.constData()));
    if (!attributes) {
        failSftp(QStringLiteral("查询"), path);
        return std::nullopt;
    }
    SftpEntry entry = sftpentrytext::fromAttributes(attributes.get());
    const qsizetype slash = path.lastIndexOf('/');
    entry.rawName = slash < 0 ? path : path.mid(slash + 1);
    entry.name = QString::fromUtf8(entry.rawName);
    return entry;
}

bool SftpClient::MakeFolder(const QByteArray& path)
{
    return usable() && (sftp_mkdir(sftp_, path.constData(), 0755) == SSH_OK ||
                        failSftp(QStringLiteral("新建文件夹"), path));
}

bool SftpClient::RemoveFolder(const QByteArray& path)
{
    return usable() && (sftp_rmdir(sftp_, path.constData()) == SSH_OK ||
                        failSftp(QStringLiteral("删除文件夹"), path));
}

bool SftpClient::RemoveFile(const QByteArray& path)
{
    return usable() && (sftp_unlink(sftp_, path.constData()) == SSH_OK ||
                        failSftp(QStringLiteral("删除"), path));
}

bool SftpClient::SetModified(const QByteArray& path, const QDateTime& time)
{
    const timeval times[2] = {{time_t(time.toSecsSinceEpoch()), 0},
                              {time_t(time.toSecsSinceEpoch()), 0}};
    return usable() && (sftp_utimes(sftp_, path.constData(), times) == SSH_OK ||
                        failSftp(QStringLiteral("设置修改时间"), path));
}

bool SftpClient::Rename(const QByteArray& from, const QByteArray& to)
{
    return usable() && (sftp_rename(sftp_, from.constData(), to.constData()) == SSH_OK ||
                        failSftp(QStringLiteral("重命名"), from));
}

bool SftpClient::TransferFile(const QByteArray& remote, const QString& local, bool download)
{
    abortRequested = 0;
    transferDone = 0;
    bytesDone = 0;
    totalBytes = 0;
    if (!usable())
        return false;
    transferActive = 1;
    SftpFileTransfer transfer(sftp_, {abortRequested, bytesDone, totalBytes}, timeout_,
                              limits_.get());
    const SftpFileTransfer::Outcome outcome =
        download ? transfer.download(remote, local) : transfer.upload(remote, local);
    transferActive = 0;
    transferDone = 1;
    if (!transfer.channelUsable())
        Disconnect();
    if (outcome == SftpFileTransfer::Outcome::Failed) {
        networkFailure = transfer.networkFailure();
        return fail(transfer.errorText());
    }
    if (outcome == SftpFileTransfer::Outcome::Interrupted)
        abortRequested = 1;
    return true;
}
