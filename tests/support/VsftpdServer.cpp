#include "support/VsftpdServer.h"

#include "platform/LineReader.h"
#include "platform/TcpSocket.h"
#include "support/FreePorts.h"
#include "support/RunProgram.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using std::chrono::milliseconds;

constexpr int passivePorts = 20;
constexpr int startAttempts = 3;

bool makeFolder(const QString& path, mode_t mode)
{
    return QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Processes whose command line names the configuration file: the listener and the session
// processes it forked, which run in process groups of their own.
QList<pid_t> processesUsing(const QByteArray& configPath)
{
    QList<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric)
            continue;
        QByteArray commandLine = readAll(QStringLiteral("/proc/%1/cmdline").arg(entry));
        commandLine.replace('\0', ' ');
        const QByteArray status = readAll(QStringLiteral("/proc/%1/stat").arg(entry));
        const bool zombie = status.contains(") Z ");
        if (!zombie && commandLine.contains(configPath))
            found.append(pid);
    }
    return found;
}

} // namespace

VsftpdServer::VsftpdServer(VsftpdOptions options) : options_(options) {}

VsftpdServer::~VsftpdServer()
{
    stop();
}

QString VsftpdServer::rootPath() const
{
    return folder_ ? folder_->filePath(QStringLiteral("root")) : QString();
}

QString VsftpdServer::pubPath() const
{
    return folder_ ? folder_->filePath(QStringLiteral("root/pub")) : QString();
}

QString VsftpdServer::configPath() const
{
    return folder_->filePath(QStringLiteral("vsftpd.conf"));
}

QString VsftpdServer::logPath() const
{
    return folder_->filePath(QStringLiteral("vsftpd.out"));
}

QString VsftpdServer::protocolLog() const
{
    return folder_ ? QString::fromLatin1(readAll(folder_->filePath(QStringLiteral("protocol.log"))))
                   : QString();
}

QString VsftpdServer::certificatePath() const
{
    return folder_ ? folder_->filePath(QStringLiteral("server.pem")) : QString();
}

bool VsftpdServer::giveToServerUser(const QString& path)
{
    const passwd* account = ::getpwnam("ftp");
    return account != nullptr &&
           ::chown(QFile::encodeName(path).constData(), account->pw_uid, account->pw_gid) == 0;
}

bool VsftpdServer::writeServerFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    file.close();
    return written && giveToServerUser(path);
}

bool VsftpdServer::start()
{
    stop();
    folder_ = std::make_unique<TemporaryFolder>(QStringLiteral("vsftpd"));
    if (!folder_->isValid() || !prepareFolders()) {
        error_ = QStringLiteral("cannot prepare the server folders");
        return false;
    }
    if (options_.tls && !makeCertificate())
        return false;
    // A port found free may be taken before vsftpd binds it: try again with other ports.
    for (int attempt = 0; attempt < startAttempts; ++attempt) {
        port_ = freeports::freeTcpPort();
        const std::optional<quint16> passiveStart = freeports::freePortRange(passivePorts);
        if (port_ == 0 || !passiveStart || !writeConfiguration(*passiveStart)) {
            error_ = QStringLiteral("cannot find free ports or write the configuration");
            continue;
        }
        if (!process_.start(QStringLiteral("/usr/sbin/vsftpd"), {configPath()}, logPath())) {
            error_ = QStringLiteral("cannot start /usr/sbin/vsftpd");
            return false;
        }
        if (waitForGreeting())
            return true;
        process_.stop();
    }
    return false;
}

// The root must not be writable by the server's user (vsftpd refuses a writable chroot), so
// the writable area is a sub-folder owned by that user.
bool VsftpdServer::prepareFolders()
{
    return ::chmod(QFile::encodeName(folder_->path()).constData(), 0755) == 0 &&
           makeFolder(rootPath(), 0755) && makeFolder(pubPath(), 0755) &&
           giveToServerUser(pubPath()) &&
           makeFolder(folder_->filePath(QStringLiteral("empty")), 0755);
}

// An EC key is made in a few milliseconds, an RSA key of useful size takes far longer.
bool VsftpdServer::makeCertificate()
{
    const ProgramRun run =
        runProgram(QStringLiteral("openssl"),
                   {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                    QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                    certificatePath(), QStringLiteral("-out"), certificatePath()});
    if (run.exitCode != 0)
        error_ = QStringLiteral("openssl req failed: ") + QString::fromLocal8Bit(run.errors);
    return run.exitCode == 0;
}

QByteArray VsftpdServer::tlsConfiguration() const
{
    QByteArray text = "ssl_enable=YES\nallow_anon_ssl=YES\nrequire_ssl_reuse=YES\n"
                      "ssl_ciphers=HIGH\n";
    text += "rsa_cert_file=" + QFile::encodeName(certificatePath()) + "\n";
    text += "rsa_private_key_file=" + QFile::encodeName(certificatePath()) + "\n";
    const QByteArray force = options_.forceTls ? "YES\n" : "NO\n";
    for (const char* key : {"force_anon_logins_ssl=", "force_anon_data_ssl=",
                            "force_local_logins_ssl=", "force_local_data_ssl="})
        text += key + force;
    return text;
}

bool VsftpdServer::writeConfiguration(quint16 passiveStart)
{
    QByteArray text = "listen=YES\n"
                      "listen_ipv6=NO\n"
                      "listen_address=127.0.0.1\n"
                      "background=NO\n"
                      "anonymous_enable=YES\n"
                      "local_enable=NO\n"
                      "write_enable=YES\n"
                      "anon_upload_enable=YES\n"
                      "anon_mkdir_write_enable=YES\n"
                      "anon_other_write_enable=YES\n"
                      "anon_umask=022\n"
                      "pasv_enable=YES\n"
                      "pasv_address=127.0.0.1\n"
                      "connect_from_port_20=NO\n"
                      "seccomp_sandbox=NO\n";
    text += options_.anonymousPassword ? "no_anon_password=NO\n" : "no_anon_password=YES\n";
    text += "listen_port=" + QByteArray::number(port_) + "\n";
    text += "anon_root=" + QFile::encodeName(rootPath()) + "\n";
    text +=
        "secure_chroot_dir=" + QFile::encodeName(folder_->filePath(QStringLiteral("empty"))) + "\n";
    text += "pasv_min_port=" + QByteArray::number(passiveStart) + "\n";
    text += "pasv_max_port=" + QByteArray::number(passiveStart + passivePorts - 1) + "\n";
    text += options_.portEnable ? "port_enable=YES\n" : "port_enable=NO\n";
    if (options_.utf8Filesystem)
        text += "utf8_filesystem=YES\n";
    if (options_.maxRate > 0)
        text += "anon_max_rate=" + QByteArray::number(options_.maxRate) + "\n";
    if (options_.tls)
        text += tlsConfiguration();
    if (options_.protocolLog) {
        text += "xferlog_enable=YES\nxferlog_std_format=NO\nlog_ftp_protocol=YES\n";
        text += "vsftpd_log_file=" +
                QFile::encodeName(folder_->filePath(QStringLiteral("protocol.log"))) + "\n";
    } else {
        text += "xferlog_enable=NO\n";
    }
    QFile file(configPath());
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text) == text.size() &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// Ready means the greeting was read: a port that accepts may still answer "500 OOPS".
bool VsftpdServer::waitForGreeting()
{
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (!process_.isRunning())
            break;
        TcpSocket probe;
        if (probe.connect(host(), port_, milliseconds(200))) {
            LineReader reader(probe);
            QByteArray line;
            if (reader.readLine(line, milliseconds(2000)) == LineReader::Status::Line &&
                line.startsWith("220"))
                return true;
            error_ = QStringLiteral("vsftpd answered: ") + QString::fromLatin1(line);
            return false;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    error_ = QStringLiteral("vsftpd did not start: ") + QString::fromLatin1(readAll(logPath()));
    return false;
}

void VsftpdServer::stopSessions()
{
    const QByteArray config = QFile::encodeName(configPath());
    // Killed sessions are gone at once; the bound only guards against a process that returns.
    for (int round = 0; round < 100; ++round) {
        const QList<pid_t> sessions = processesUsing(config);
        if (sessions.isEmpty())
            return;
        for (const pid_t pid : sessions) {
            if (pid != process_.pid())
                ::kill(pid, SIGKILL);
        }
        if (sessions.size() == 1 && sessions.first() == process_.pid())
            return;
        std::this_thread::sleep_for(milliseconds(5));
    }
}

void VsftpdServer::stop()
{
    if (!folder_)
        return;
    stopSessions();
    process_.stop();
    stopSessions();
    folder_.reset();
}

void VsftpdServer::kill()
{
    if (!folder_)
        return;
    if (process_.pid() > 0)
        ::kill(process_.pid(), SIGKILL);
    stopSessions();
    process_.stop();
}

bool VsftpdServer::revive()
{
    if (!folder_)
        return false;
    // The killed listener's port may take a moment to be free again.
    for (int attempt = 0; attempt < startAttempts; ++attempt) {
        if (!process_.start(QStringLiteral("/usr/sbin/vsftpd"), {configPath()}, logPath()))
            return false;
        if (waitForGreeting())
            return true;
        process_.stop();
        std::this_thread::sleep_for(milliseconds(100));
    }
    return false;
}
