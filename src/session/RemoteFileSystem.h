#pragma once

#include "ftp/DataConnectionMode.h"
#include "ftp/LogonInfo.h"
#include "ftp/RemoteProtocol.h"
#include "platform/TextCodec.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class FtpClient;
class Prompt;
class SftpClient;

// One connection to a server's files, whatever protocol it speaks. Sessions, remote operations,
// the transfer workers and the folder walks drive it without knowing the protocol.
//
// The vocabulary is the one the program grew up with: commands in FTP's words (CWD, PWD, MKD,
// RMD, DELE, RNFR, RNTO, NOOP, and the empty command that collects a reply still pending),
// answers in FTP's reply classes and codes (replyLine "250 ...", "213 <size>", "550 <reason>"),
// listings as Unix "ls -l" lines. Every implementation keeps to it, so one rule ("a 550 means
// missing") holds for every server.
//
// Like the engines behind it, an object is used by one thread at a time; only the counters are
// read (and abortRequested written) from other threads while a transfer runs, and Interrupt
// may be called from any thread.
class RemoteFileSystem {
public:
    using Encoding = TextCodec::Encoding;

    // An object for the protocol; prompt answers its questions (host keys, passphrases,
    // certificates).
    static std::shared_ptr<RemoteFileSystem> create(RemoteProtocol protocol, Prompt* prompt);

    virtual ~RemoteFileSystem() = default;

    virtual RemoteProtocol protocol() const = 0;
    // The engine itself, for what only its protocol has (FTP: TLS certificates and data
    // connection modes; SFTP: host keys); nothing on the other protocol.
    virtual FtpClient* ftp() { return nullptr; }
    virtual SftpClient* sftp() { return nullptr; }

    virtual bool Logon(const LogonInfo& info) = 0;
    // Ends the session politely (QUIT on FTP) before Disconnect.
    virtual void Quit() = 0;
    virtual void Disconnect() = 0;
    virtual bool isConnected() const = 0;
    virtual void Interrupt() = 0;
    virtual void setTimeout(std::chrono::milliseconds timeout) = 0;
    virtual void setDataMode(DataConnectionMode /*mode*/) {}
    virtual DataConnectionMode dataMode() const { return DataConnectionMode::Automatic; }

    virtual bool Command(const QString& text) = 0;
    // RNFR and RNTO with names as they go on the wire. True when renamed; otherwise replyLine
    // holds the refusal of whichever half refused first.
    virtual bool Rename(const QString& from, const QString& to)
    {
        return Command(QStringLiteral("RNFR ") + from) && Command(QStringLiteral("RNTO ") + to);
    }
    // Whether the server takes a command beyond the common ones (MFMT, ...).
    virtual bool offers(const QString& command) const = 0;
    virtual bool ReadReply() = 0;
    virtual QString QueryPwd() = 0;
    virtual QString QuerySize(const QString& name) = 0;
    virtual bool List(const QString& argument) = 0;
    // The entries of a folder, with exact sizes where the protocol gives them (FTP: MLSD where
    // the server offers it); the lines read as List's do.
    virtual bool ListFolder(const QString& folder) { return List(folder); }
    virtual bool NextListLine(qsizetype& position) = 0;
    virtual bool TransferFile(const QString& remote, const QString& local, bool passive,
                              bool download, const QString& extra) = 0;
    // The next TransferFile takes this as the server's size of the file (from an exact listing)
    // instead of asking; the checks that the file is whole hold against it.
    virtual void setKnownRemoteSize(std::optional<quint64> /*size*/) {}

    virtual QString replyLine() const = 0;
    virtual int replyClass() const = 0;
    virtual QString listLine() const = 0;
    virtual QString logonLog() const = 0;
    virtual int serverKind() const { return 0; }
    virtual bool networkFailure() const = 0;
    virtual void clearNetworkFailure() = 0;
    virtual QString connectionFault() const = 0;

    virtual const TextCodec& codec() const = 0;
    virtual void setNameEncoding(Encoding encoding) = 0;
    virtual Encoding replyLineEncoding() const = 0;
    virtual Encoding listLineEncoding() const = 0;
    virtual Encoding serverEncoding() const = 0;

    // The counters of the running transfer and folder walk.
    virtual std::atomic<int>& abortRequested() = 0;
    virtual std::atomic<int>& transferActive() = 0;
    virtual std::atomic<int>& workerFinished() = 0;
    virtual std::atomic<quint64>& bytesDone() = 0;
    virtual std::atomic<quint64>& totalBytes() = 0;
    virtual std::atomic<quint64>& folderTotalBytes() = 0;
    virtual std::atomic<quint64>& folderDoneBytes() = 0;
};
