#include "archive/gui/RemoteArchiveCommands.h"

#include "ftp/ServerAddress.h"
#include "session/SessionMessages.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/SessionController.h"

#include <QItemSelectionModel>

#include <algorithm>

RemoteArchiveCommands::RemoteArchiveCommands(CftpView& view, SessionController& sessions,
                                             std::function<int()> serverKind, QObject* parent)
    : QObject(parent), view_(view), sessions_(sessions), serverKind_(std::move(serverKind))
{
    auto& commands = view_.commands();
    commands.setHandler(CommandId::RemoteCompress, [this] { OnCompressOnServer(); });
    commands.setEnabledRule(CommandId::RemoteCompress,
                            [this] { return !selectedNames().isEmpty(); });
    commands.setHandler(CommandId::RemoteExtract, [this] { OnExtractOnServer(); });
    commands.setEnabledRule(CommandId::RemoteExtract, [this] { return OnUpdateExtractOnServer(); });
}

RemoteArchiveCommands::~RemoteArchiveCommands()
{
    for (auto& worker : workers_)
        worker->stop();
    workers_.clear();
}

// Selected names in list order; the ".." row stands for the parent and is never packed.
QStringList RemoteArchiveCommands::selectedNames() const
{
    QModelIndexList indexes = view_.remoteList()->selectionModel()->selectedRows();
    std::sort(indexes.begin(), indexes.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList names;
    for (const QModelIndex& index : indexes) {
        const QString name = view_.remoteFiles()->rowAt(index.row()).texts.value(0);
        if (name != QLatin1String(".."))
            names.append(name);
    }
    return names;
}

QString RemoteArchiveCommands::fullPath(const QString& name) const
{
    return ArchiveRequest::fullPath(sessions_.remote().currentFolder(), name,
                                    serverKind_ ? serverKind_() : 0, view_.user());
}

void RemoteArchiveCommands::OnCompressOnServer()
{
    QStringList paths;
    for (const QString& name : selectedNames())
        paths.append(fullPath(name));
    if (!paths.isEmpty() && mayCarry(paths))
        startWorker(ArchiveRequest::compressText(paths));
}

void RemoteArchiveCommands::OnExtractOnServer()
{
    for (const QString& name : selectedNames()) {
        const QString path = fullPath(name);
        if (mayCarry({path}))
            startWorker(ArchiveRequest::extractText(path));
    }
}

// A name the request cannot carry is refused here, before anything goes out, with the reason.
bool RemoteArchiveCommands::mayCarry(const QStringList& paths)
{
    // The service finds files by the FTP user's folder; an SFTP tab has no such folder.
    if (ServerAddress::of(view_.host()).protocol == RemoteProtocol::Sftp) {
        view_.AppendLog(QStringLiteral("远程压缩和解压只能用于 FTP 连接,SFTP 连接不支持\r\n"));
        return false;
    }
    const QString why = ArchiveRequest::whyUnsendable(view_.user(), paths);
    if (why.isEmpty())
        return true;
    view_.AppendLog(QStringLiteral("false!\r\n"));
    view_.AppendLog(why + QStringLiteral("\r\n"));
    return false;
}

bool RemoteArchiveCommands::OnUpdateExtractOnServer() const
{
    const QStringList names = selectedNames();
    return names.size() == 1 && ArchiveRequest::hasArchiveExtension(names.first());
}

void RemoteArchiveCommands::startWorker(const QString& requestText)
{
    reapFinished();
    ArchiveServiceThread::Job job{ServerAddress::of(view_.host()).host, port_, view_.user(),
                                  requestText};
    // The workers end before this object, and the view outlives it.
    auto log = [&view = view_](const QString& line) { view.AppendLog(line); };
    // The session is looked up on the GUI thread, when the refresh is due.
    auto refresh = [this] {
        QMetaObject::invokeMethod(
            this, [this] { sessions_.postToCurrent(QM_REFRESH); }, Qt::QueuedConnection);
    };
    workers_.push_back(std::make_unique<ArchiveServiceThread>(std::move(job), std::move(log),
                                                              std::move(refresh), limits_));
    workers_.back()->start();
}

void RemoteArchiveCommands::reapFinished()
{
    workers_.remove_if([](const auto& worker) { return worker->isFinished(); });
}

bool RemoteArchiveCommands::isIdle()
{
    reapFinished();
    return workers_.empty();
}
