#pragma once

#include "archive/ArchiveServiceThread.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <list>
#include <memory>

class CftpView;
class SessionController;

// The remote pane's "压缩到当前文件夹" and "解压到当前文件夹(覆盖)": each request goes to the
// archive service on the FTP server's host on a worker of its own, which logs the outcome and
// has the current session list the remote folder again. Lives on the GUI thread.
class RemoteArchiveCommands : public QObject {
    Q_OBJECT
public:
    // serverKind tells the paths' form: 2 (Serv-U) puts the user's folder in front.
    RemoteArchiveCommands(CftpView& view, SessionController& sessions,
                          std::function<int()> serverKind, QObject* parent = nullptr);
    // Stops the workers still waiting for the service and waits for them.
    ~RemoteArchiveCommands() override;

    void setServicePort(quint16 port) { port_ = port; }
    void setLimits(const ArchiveServiceThread::Limits& limits) { limits_ = limits; }

    void OnCompressOnServer();
    void OnExtractOnServer();
    bool OnUpdateExtractOnServer() const;
    // Whether no worker is left running.
    bool isIdle();

private:
    QStringList selectedNames() const;
    QString fullPath(const QString& name) const;
    bool mayCarry(const QStringList& paths);
    void startWorker(const QString& requestText);
    void reapFinished();

    CftpView& view_;
    SessionController& sessions_;
    std::function<int()> serverKind_;
    quint16 port_ = ArchiveRequest::servicePort;
    ArchiveServiceThread::Limits limits_;
    std::list<std::unique_ptr<ArchiveServiceThread>> workers_;
};
