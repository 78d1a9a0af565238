#pragma once

#include "support/ChildProcess.h"
#include "support/TemporaryFolder.h"

#include <QString>

#include <memory>

// A real OpenSSH sshd (/usr/sbin/sshd -D -e, run as root) for integration tests, listening on
// 127.0.0.1 at a free port with its own configuration, host key and authorized_keys in a
// temporary folder; the machine's own ssh set-up is not touched. Logon as root by key only
// (root has no password here). files() is a folder for the test's remote files.
//
//     SshdServer server;
//     ASSERT_TRUE(server.start()) << server.errorText().toStdString();
//     server.authorize(key + ".pub");
//     ... connect to server.host():server.port(), files under server.files() ...
class SshdServer {
public:
    SshdServer();
    ~SshdServer();
    SshdServer(const SshdServer&) = delete;
    SshdServer& operator=(const SshdServer&) = delete;

    // Starts the server and waits for its SSH greeting; false with errorText() otherwise.
    bool start();
    void stop();

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return port_; }
    QString errorText() const { return error_; }
    QString files() const;
    QString user() const { return QStringLiteral("root"); }
    QString hostKeyPath() const;

    // The host key's line for known_hosts, "[127.0.0.1]:port ssh-ed25519 AAAA...".
    QByteArray knownHostsLine() const;
    // Lets the owner of a private key log on (path of its ".pub").
    bool authorize(const QString& publicKeyPath);
    // The server comes back on the same port with a new host key.
    bool replaceHostKey();
    // The sessions die as if the network was cut: every process the server forked is killed,
    // the listener stays.
    void cutSessions();

    // Makes a key pair with ssh-keygen ("ed25519", "ecdsa", "rsa"), protected by passphrase
    // unless it is empty.
    static bool makeKey(const QString& path, const QString& type, const QString& passphrase = {});

private:
    bool writeConfiguration();
    bool waitForGreeting();

    std::unique_ptr<TemporaryFolder> folder_;
    ChildProcess process_;
    quint16 port_ = 0;
    QString error_;
};
