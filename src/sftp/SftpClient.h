#pragma once

#include "sftp/SftpEntry.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

class Prompt;
class SftpHostKeys;
class SftpPassphrases;
struct SpeedLimits;
class TcpSocket;
struct ssh_session_struct;
struct sftp_session_struct;
struct sftp_attributes_struct;

// The SFTP engine: one SSH connection with one SFTP channel. Calls block the calling thread and
// are not synchronised: one thread at a time uses an object. Failures are a false result (or
// nothing) with the error text in replyLine. Only the atomic fields are meant to be read (and
// abortRequested written) from another thread while the owner runs a transfer. Remote paths
// are the server's bytes (UTF-8 on every common server).
class SftpClient {
public:
    explicit SftpClient(Prompt* prompt = nullptr);
    ~SftpClient();
    SftpClient(const SftpClient&) = delete;
    SftpClient& operator=(const SftpClient&) = delete;

    // Opens the SSH connection and checks the server's host key against known_hosts (asking
    // the prompt about a key not known yet).
    bool Connect(const QString& hostName, int portNumber);
    // Logs on (ssh-agent, password, the key folder's private keys) and opens the SFTP channel.
    bool Logon(const QString& userName, const QString& passwordText);
    void Disconnect();
    bool isConnected() const;
    // From any thread: ends the running call's network waits at once and makes every later
    // call fail until the next Connect.
    void Interrupt();
    // Bound for every wait on the network, as for FTP.
    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }
    std::chrono::milliseconds timeout() const { return timeout_; }
    // Where the private keys and known_hosts are; ~/.ssh unless set. Comes with host keys of
    // its own.
    void setKeyFolder(const QString& folder);
    QString keyFolder() const { return keyFolder_; }
    // Shared by a session and its transfer connections, so one answer about a host key covers
    // them all.
    void setHostKeys(std::shared_ptr<SftpHostKeys> hostKeys)
    {
        if (hostKeys)
            hostKeys_ = std::move(hostKeys);
    }
    std::shared_ptr<SftpHostKeys> hostKeys() const { return hostKeys_; }
    // Shared the same way: a key's passphrase is asked for once per session.
    void setPassphrases(std::shared_ptr<SftpPassphrases> passphrases)
    {
        if (passphrases)
            passphrases_ = std::move(passphrases);
    }
    std::shared_ptr<SftpPassphrases> passphrases() const { return passphrases_; }
    // The program's speed limits, shared by all transfers; none unless set.
    void setSpeedLimits(std::shared_ptr<SpeedLimits> limits) { limits_ = std::move(limits); }

    // The folder a path names, made absolute by the server (the log-on folder for "."); nothing
    // when it is not a folder.
    std::optional<QByteArray> ResolveFolder(const QByteArray& path);
    // Every entry of a folder but "." and ".."; more than limit entries are refused whole.
    bool List(const QByteArray& folder, QVector<SftpEntry>& entries, qsizetype limit = 1000000);
    // The entry a path names, following a link.
    std::optional<SftpEntry> Stat(const QByteArray& path);
    bool MakeFolder(const QByteArray& path);
    bool RemoveFolder(const QByteArray& path);
    bool RemoveFile(const QByteArray& path);
    bool Rename(const QByteArray& from, const QByteArray& to);
    // Gives a file the modification (and access) time.
    bool SetModified(const QByteArray& path, const QDateTime& time);

    // Moves one file: a download continues the local file from its size, an upload continues
    // the remote file from its size. The result is
    //  - true and abortRequested still 0: the file is complete (a download received exactly
    //    the size the server reported when it opened the file; after an upload the server
    //    reports the local file's size);
    //  - true and abortRequested 1: interrupted, within about a second;
    //  - false: failed, with the reason in replyLine.
    // Whatever arrived without a gap stays for a later resume.
    bool TransferFile(const QByteArray& remote, const QString& local, bool download);

    QString replyLine;
    // The last call failed on the connection rather than on the server's refusal.
    bool networkFailure = false;
    std::atomic<int> abortRequested{0};
    std::atomic<int> transferDone{0};
    std::atomic<int> transferActive{0};
    std::atomic<quint64> bytesDone{0};
    std::atomic<quint64> totalBytes{0};
    QString host;
    int port = 0;
    QString user;

private:
    bool usable();
    bool fail(const QString& text);
    bool failSftp(const QString& what, const QByteArray& path);
    bool openSsh(int descriptor);
    SftpEntry entryFrom(const QByteArray& folder, const sftp_attributes_struct* attributes);

    Prompt* prompt_;
    std::chrono::milliseconds timeout_{30000};
    QString keyFolder_;
    std::shared_ptr<SftpHostKeys> hostKeys_;
    std::shared_ptr<SftpPassphrases> passphrases_;
    std::shared_ptr<SpeedLimits> limits_;
    ssh_session_struct* session_ = nullptr;
    sftp_session_struct* sftp_ = nullptr;
    std::mutex interruptMutex_; // guards socket_'s release and interrupted_
    std::unique_ptr<TcpSocket> socket_;
    bool interrupted_ = false;
};
