#pragma once

#include "ftp/FtpClient.h"
#include "ftp/ServerFeatures.h"
#include "session/RemoteFileSystem.h"

// FTP behind the remote-file-system interface: every call goes to an FtpClient as it is.
class FtpFileSystem : public RemoteFileSystem {
public:
    explicit FtpFileSystem(Prompt* prompt) : client_(prompt) {}

    RemoteProtocol protocol() const override { return RemoteProtocol::Ftp; }
    FtpClient* ftp() override { return &client_; }

    bool Logon(const LogonInfo& info) override { return client_.Logon(info); }
    void Quit() override { client_.SendCommand(QStringLiteral("QUIT")); }
    void Disconnect() override { client_.Disconnect(); }
    bool isConnected() const override { return client_.isConnected(); }
    void Interrupt() override { client_.Interrupt(); }
    void setTimeout(std::chrono::milliseconds timeout) override { client_.setTimeout(timeout); }
    void setDataMode(DataConnectionMode mode) override { client_.setDataMode(mode); }
    DataConnectionMode dataMode() const override { return client_.dataMode(); }

    bool Command(const QString& text) override { return client_.Command(text); }
    bool Rename(const QString& from, const QString& to) override
    {
        return client_.Rename(from, to);
    }
    bool offers(const QString& command) const override { return client_.features().has(command); }
    bool ReadReply() override { return client_.ReadReply(); }
    QString QueryPwd() override { return client_.QueryPwd(); }
    QString QuerySize(const QString& name) override { return client_.QuerySize(name); }
    bool List(const QString& argument) override { return client_.List(argument); }
    bool ListFolder(const QString& folder) override { return client_.ListFolder(folder); }
    void setKnownRemoteSize(std::optional<quint64> size) override
    {
        client_.setKnownRemoteSize(size);
    }
    bool NextListLine(qsizetype& position) override { return client_.NextListLine(position); }
    bool TransferFile(const QString& remote, const QString& local, bool passive, bool download,
                      const QString& extra) override
    {
        return client_.TransferFile(remote, local, passive, download, extra);
    }

    QString replyLine() const override { return client_.replyLine; }
    int replyClass() const override { return client_.replyClass; }
    QString listLine() const override { return client_.listLine; }
    QString logonLog() const override { return client_.logonLog; }
    int serverKind() const override { return client_.serverKind; }
    bool networkFailure() const override { return client_.networkFailure; }
    void clearNetworkFailure() override { client_.networkFailure = false; }
    QString connectionFault() const override { return client_.connectionFault(); }

    const TextCodec& codec() const override { return client_.codec(); }
    void setNameEncoding(Encoding encoding) override { client_.setNameEncoding(encoding); }
    Encoding replyLineEncoding() const override { return client_.replyLineEncoding(); }
    Encoding listLineEncoding() const override { return client_.listLineEncoding(); }
    Encoding serverEncoding() const override { return client_.serverEncoding(); }

    std::atomic<int>& abortRequested() override { return client_.abortRequested; }
    std::atomic<int>& transferActive() override { return client_.transferActive; }
    std::atomic<int>& workerFinished() override { return client_.workerFinished; }
    std::atomic<quint64>& bytesDone() override { return client_.bytesDone; }
    std::atomic<quint64>& totalBytes() override { return client_.totalBytes; }
    std::atomic<quint64>& folderTotalBytes() override { return client_.folderTotalBytes; }
    std::atomic<quint64>& folderDoneBytes() override { return client_.folderDoneBytes; }

private:
    FtpClient client_;
};
