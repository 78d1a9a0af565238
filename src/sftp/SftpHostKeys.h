#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <mutex>

struct ssh_session_struct;
class Prompt;

// Decides whether an SSH server is the one the user knows, by its host key and the
// known_hosts file. A key that is not known yet is shown (type and SHA-256 fingerprint) with
// "trust always" (the key is added to known_hosts), "this time" and "refuse"; a key that
// differs from the one on record is refused with a warning. One object serves a session and
// its transfer connections, on their own threads, so that one answer covers all of them.
class SftpHostKeys {
public:
    explicit SftpHostKeys(QString knownHostsPath);

    // The path libssh is told to read and extend.
    QString knownHostsPath() const { return knownHostsPath_; }

    // True when the session's server may be trusted; false with the reason in error.
    bool accept(ssh_session_struct* session, const QString& host, int port, Prompt* prompt,
                QString& error);

    // "SHA256:" followed by the hash in base64 without padding, as OpenSSH prints it.
    static QString fingerprintText(const QByteArray& sha256);
    // "ED25519", "ECDSA", "RSA", ... from libssh's key type name ("ssh-ed25519").
    static QString keyTypeText(const QString& sshName);
    // "host" on port 22, "[host]:port" elsewhere, as known_hosts and OpenSSH name a server.
    static QString serverText(const QString& host, int port);

private:
    struct ServerKey {
        QString type;
        QString fingerprint;
    };

    bool decide(ssh_session_struct* session, const QString& server, const ServerKey& key,
                Prompt* prompt, QString& error);
    bool askAboutUnknown(ssh_session_struct* session, const QString& server, const ServerKey& key,
                         Prompt* prompt, QString& error);
    bool remember(ssh_session_struct* session, QString& error);

    QString knownHostsPath_;
    std::mutex mutex_; // guards the two sets and serialises questions and known_hosts writes
    QSet<QString> trustedOnce_; // "server fingerprint" the user let through for this session
    QSet<QString> refused_;     // "server fingerprint" the user refused
};
