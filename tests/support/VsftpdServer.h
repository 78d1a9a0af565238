#pragma once

#include "support/ChildProcess.h"

#include "support/TemporaryFolder.h"
#include <QString>

#include <memory>

// What a VsftpdServer may do beyond the plain anonymous set-up.
struct VsftpdOptions {
    // utf8_filesystem=YES: the server announces UTF8 in FEAT and keeps names as UTF-8 bytes;
    // without it names reach the disk as the bytes the client sent.
    bool utf8Filesystem = false;
    // anon_max_rate in bytes per second (0: unlimited), to make a transfer slow enough to
    // interrupt at a chosen moment.
    qint64 maxRate = 0;
    // log_ftp_protocol into a file that protocolLog() reads (every command and reply).
    bool protocolLog = false;
    // port_enable=NO: the server refuses PORT and EPRT, as one behind a strict firewall does.
    bool portEnable = true;
    // ssl_enable=YES with a self-signed certificate for 127.0.0.1 made at start (see
    // certificatePath()); data connections must resume the control connection's TLS session.
    bool tls = false;
    // With tls: no logon and no data connection without TLS.
    bool forceTls = false;
    // no_anon_password=NO: the anonymous logon sends PASS too.
    bool anonymousPassword = false;
};

// A real vsftpd (/usr/sbin/vsftpd, run as root) for integration tests, listening on 127.0.0.1
// at a free port with a free range of passive ports. Anonymous logon ("anonymous", any or no
// password); the root folder is read-only to the server's user, its sub-folder "pub" is
// writable (upload, append, mkdir, rename, delete). Everything lives in a temporary folder
// that is removed with the object; the server and its session processes are stopped first.
//
//     VsftpdServer server;
//     ASSERT_TRUE(server.start()) << server.errorText().toStdString();
//     ... log on to server.host():server.port(), files under server.pubPath() ...
class VsftpdServer {
public:
    explicit VsftpdServer(VsftpdOptions options = {});
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    // Starts the server and waits for its "220" greeting; false with errorText() otherwise.
    bool start();
    void stop();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return port_; }
    QString errorText() const { return error_; }
    // The server's "/" and its writable "/pub" on the local disk.
    QString rootPath() const;
    QString pubPath() const;
    QString protocolLog() const;
    // The server's certificate (PEM) when it runs with tls.
    QString certificatePath() const;

    // The server dies as if killed: the listener and every session are gone at once, the
    // files and the port stay for revive().
    void kill();
    // Starts the killed server again on the same port with the same files.
    bool revive();

    // Files a test creates under pubPath() belong to root; the server's user must own them to
    // append to, rename or delete them.
    static bool giveToServerUser(const QString& path);
    // Writes a whole file and gives it to the server's user.
    static bool writeServerFile(const QString& path, const QByteArray& data);

private:
    bool prepareFolders();
    bool makeCertificate();
    QByteArray tlsConfiguration() const;
    bool writeConfiguration(quint16 passiveStart);
    bool waitForGreeting();
    void stopSessions();
    QString configPath() const;
    QString logPath() const;

    VsftpdOptions options_;
    std::unique_ptr<TemporaryFolder> folder_;
    ChildProcess process_;
    quint16 port_ = 0;
    QString error_;
};
