#include "support/SshdServer.h"

#include "platform/TcpSocket.h"
#include "support/FreePorts.h"
#include "support/RunProgram.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <thread>

namespace {

using std::chrono::milliseconds;

constexpr int startAttempts = 3;
constexpr int greetingPolls = 100;

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The parent of a process, from the fourth field of /proc/<pid>/stat (after the name, which
// may hold blanks and ends at the last ')').
pid_t parentOf(const QString& pid)
{
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 1 ? pid_t(fields.at(1).toInt()) : -1;
}

QList<pid_t> childrenOf(pid_t parent)
{
    QList<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (numeric && parentOf(entry) == parent)
            found.append(pid);
    }
    return found;
}

void killTree(pid_t pid)
{
    for (pid_t child : childrenOf(pid))
        killTree(child);
    ::kill(pid, SIGKILL);
}

} // namespace

SshdServer::SshdServer() = default;

SshdServer::~SshdServer()
{
    stop();
}

QString SshdServer::files() const
{
    return folder_ ? folder_->filePath(QStringLiteral("files")) : QString();
}

QString SshdServer::hostKeyPath() const
{
    return folder_->filePath(QStringLiteral("host_ed25519"));
}

bool SshdServer::makeKey(const QString& path, const QString& type, const QString& passphrase)
{
    QFile::remove(path);
    QFile::remove(path + QLatin1String(".pub"));
    const ProgramRun run = runProgram(QStringLiteral("/usr/bin/ssh-keygen"),
                                      {QStringLiteral("-q"), QStringLiteral("-t"), type,
                                       QStringLiteral("-N"), passphrase, QStringLiteral("-C"),
                                       QStringLiteral("kevra-test"), QStringLiteral("-f"), path});
    return run.exitCode == 0;
}

QByteArray SshdServer::knownHostsLine() const
{
    const QList<QByteArray> fields =
        readAll(hostKeyPath() + QLatin1String(".pub")).trimmed().split(' ');
    if (fields.size() < 2)
        return {};
    return QStringLiteral("[%1]:%2 ").arg(host()).arg(port_).toUtf8() + fields.at(0) + ' ' +
           fields.at(1) + '\n';
}

bool SshdServer::authorize(const QString& publicKeyPath)
{
    QFile keys(folder_->filePath(QStringLiteral("authorized_keys")));
    return keys.open(QIODevice::Append) && keys.write(readAll(publicKeyPath)) > 0;
}

bool SshdServer::writeConfiguration()
{
    QFile config(folder_->filePath(QStringLiteral("sshd_config")));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QString text =
        QStringLiteral("Port %1\n"
                       "ListenAddress 127.0.0.1\n"
                       "HostKey %2\n"
                       "PidFile none\n"
                       "AuthorizedKeysFile %3\n"
                       "StrictModes no\n"
                       "UsePAM no\n"
                       "PermitRootLogin prohibit-password\n"
                       "PasswordAuthentication no\n"
                       "KbdInteractiveAuthentication no\n"
                       "PubkeyAuthentication yes\n"
                       "MaxStartups 50\n"
                       "MaxSessions 50\n"
                       "LogLevel ERROR\n"
                       "Subsystem sftp internal-sftp\n")
            .arg(port_)
            .arg(hostKeyPath(), folder_->filePath(QStringLiteral("authorized_keys")));
    return config.write(text.toUtf8()) > 0;
}

bool SshdServer::start()
{
    if (!folder_) {
        folder_ = std::make_unique<TemporaryFolder>(QStringLiteral("kevra-sshd"));
        if (!folder_->isValid() || !QDir().mkpath(files()) ||
            !makeKey(hostKeyPath(), QStringLiteral("ed25519"))) {
            error_ = QStringLiteral("cannot prepare the server's folder and host key");
            return false;
        }
        QFile(folder_->filePath(QStringLiteral("authorized_keys"))).open(QIODevice::WriteOnly);
    }
    // sshd refuses to start as root without its privilege-separation folder.
    QDir().mkpath(QStringLiteral("/run/sshd"));
    const bool keepPort = port_ != 0;
    for (int attempt = 0; attempt < startAttempts; ++attempt) {
        if (!keepPort)
            port_ = freeports::freeTcpPort();
        if (!writeConfiguration()) {
            error_ = QStringLiteral("cannot write sshd_config");
            return false;
        }
        const QString log = folder_->filePath(QStringLiteral("sshd.log"));
        if (process_.start(QStringLiteral("/usr/sbin/sshd"),
                           {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                            folder_->filePath(QStringLiteral("sshd_config"))},
                           log) &&
            waitForGreeting())
            return true;
        process_.stop();
        error_ = QStringLiteral("sshd did not start: ") + QString::fromUtf8(readAll(log));
    }
    return false;
}

bool SshdServer::waitForGreeting()
{
    for (int poll = 0; poll < greetingPolls && process_.isRunning(); ++poll) {
        TcpSocket socket;
        char banner[8] = {};
        if (socket.connect(host(), port_, milliseconds(500)) &&
            socket.receive(banner, 4, milliseconds(2000)) == 4 && QByteArray(banner, 4) == "SSH-")
            return true;
        std::this_thread::sleep_for(milliseconds(50));
    }
    return false;
}

void SshdServer::cutSessions()
{
    if (process_.pid() > 0)
        for (pid_t child : childrenOf(process_.pid()))
            killTree(child);
}

void SshdServer::stop()
{
    cutSessions();
    process_.stop();
}

bool SshdServer::replaceHostKey()
{
    stop();
    return makeKey(hostKeyPath(), QStringLiteral("ed25519")) && start();
}
