#pragma once

#include "session/RemoteFileSystem.h"
#include "sftp/SftpClient.h"

#include <QByteArray>
#include <QVector>

// SFTP behind the remote-file-system interface. The server keeps no current folder over SFTP,
// so this side keeps one: CWD checks the folder and remembers the server's absolute path for
// it, and every relative name is taken inside it. Commands answer in FTP's reply codes; the
// commands SFTP has no counterpart for are refused with a 502 and a Chinese reason. Listings
// come as "ls -l" lines built from the entries. Names are the server's bytes: a name that is
// valid UTF-8 reads as UTF-8, any other as GBK, and goes back byte for byte.
class SftpFileSystem : public RemoteFileSystem {
public:
    explicit SftpFileSystem(Prompt* prompt) : client_(prompt) {}

    RemoteProtocol protocol() const override { return RemoteProtocol::Sftp; }
    SftpClient* sftp() override { return &client_; }

    bool Logon(const LogonInfo& info) override;
    void Quit() override {}
    void Disconnect() override { client_.Disconnect(); }
    bool isConnected() const override { return client_.isConnected(); }
    void Interrupt() override { client_.Interrupt(); }
    void setTimeout(std::chrono::milliseconds timeout) override { client_.setTimeout(timeout); }

    bool Command(const QString& text) override;
    bool offers(const QString& command) const override;
    bool ReadReply() override { return replyClass_ == 2; }
    QString QueryPwd() override;
    QString QuerySize(const QString& name) override;
    bool List(const QString& argument) override;
    bool NextListLine(qsizetype& position) override;
    bool TransferFile(const QString& remote, const QString& local, bool passive, bool download,
                      const QString& extra) override;

    QString replyLine() const override { return replyLine_; }
    int replyClass() const override { return replyClass_; }
    QString listLine() const override { return listLine_; }
    QString logonLog() const override { return logonLog_; }
    bool networkFailure() const override { return networkFailure_; }
    void clearNetworkFailure() override { networkFailure_ = false; }
    QString connectionFault() const override { return fault_; }

    const TextCodec& codec() const override { return codec_; }
    void setNameEncoding(Encoding encoding) override { codec_.setEncoding(encoding); }
    Encoding replyLineEncoding() const override { return Encoding::Utf8; }
    Encoding listLineEncoding() const override { return listEncoding_; }
    Encoding serverEncoding() const override { return Encoding::Utf8; }

    std::atomic<int>& abortRequested() override { return client_.abortRequested; }
    std::atomic<int>& transferActive() override { return client_.transferActive; }
    std::atomic<int>& workerFinished() override { return workerFinished_; }
    std::atomic<quint64>& bytesDone() override { return client_.bytesDone; }
    std::atomic<quint64>& totalBytes() override { return client_.totalBytes; }
    std::atomic<quint64>& folderTotalBytes() override { return folderTotalBytes_; }
    std::atomic<quint64>& folderDoneBytes() override { return folderDoneBytes_; }

private:
    bool reply(int code, const QString& text);
    bool refused();
    QByteArray pathOf(const QString& wireText) const;
    bool changeFolder(const QString& argument);
    bool modificationTime(const QString& argument);
    bool setModificationTime(const QString& argument);
    bool listFolder(const QByteArray& path);

    SftpClient client_;
    TextCodec codec_{Encoding::Utf8};
    QByteArray current_; // the server's absolute path of the current folder
    QByteArray renameFrom_;
    QVector<QByteArray> lines_;
    QString replyLine_;
    int replyClass_ = 0;
    QString listLine_;
    Encoding listEncoding_ = Encoding::Utf8;
    QString logonLog_;
    QString fault_;
    bool networkFailure_ = false;
    std::atomic<int> workerFinished_{0};
    std::atomic<quint64> folderTotalBytes_{0};
    std::atomic<quint64> folderDoneBytes_{0};
};
