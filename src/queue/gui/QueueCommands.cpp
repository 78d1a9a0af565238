#include "queue/gui/QueueCommands.h"

#include "platform/Prompt.h"
#include "queue/QueueEntry.h"
#include "queue/StopAllTransfers.h"
#include "queue/TransferQueue.h"
#include "queue/gui/QueueStore.h"
#include "queue/gui/TransferQueueModel.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/SessionController.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>

namespace {

const QList<QStringView> RunningOrWaiting{QueueState::Uploading, QueueState::Downloading,
                                          QueueState::Waiting, QueueState::Preparing};
const QList<QStringView> Resumable{QueueState::Paused, QueueState::Skipped};
const QList<QStringView> Completed{QueueState::Uploaded, QueueState::Downloaded};
constexpr int SizeColumn = 2;

bool isOneOf(const QString& text, const QList<QStringView>& texts)
{
    return std::any_of(texts.cbegin(), texts.cend(),
                       [&text](QStringView candidate) { return text == candidate; });
}

} // namespace

QueueCommands::QueueCommands(const Parts& parts, QObject* parent)
    : QObject(parent), view_(parts.view), prompt_(parts.prompt), queue_(parts.queue),
      model_(parts.model), store_(parts.store), stopAll_(parts.stopAll), sessions_(parts.sessions),
      localPane_(parts.localPane), chooseFolder_([this] {
          return QFileDialog::getExistingDirectory(&view_, QStringLiteral("请选择文件夹"));
      })
{
    registerCommands();
    registerEnabledRules();
    watchDoubleClicks();
}

void QueueCommands::registerCommands()
{
    using namespace CommandId;
    const std::pair<int, void (QueueCommands::*)()> table[] = {
        {LocalUpload, &QueueCommands::upload},
        {Upload, &QueueCommands::upload},
        {LocalAddToQueue, &QueueCommands::addUploads},
        {RemoteDownload, &QueueCommands::download},
        {Download, &QueueCommands::download},
        {RemoteAddToQueue, &QueueCommands::addDownloads},
        {AddToQueue, &QueueCommands::addToQueue},
        {RemoteSaveAs, &QueueCommands::saveAs},
        {RemoteOpen, &QueueCommands::openRemoteFiles},
        {RunQueue, &QueueCommands::startAll},
        {QueueStartAll, &QueueCommands::startAll},
        {QueueStart, &QueueCommands::startSelected},
        {QueuePause, &QueueCommands::pauseOrResume},
        {QueuePauseAll, &QueueCommands::pauseAll},
        {Stop, &QueueCommands::pauseAll},
        {QueueRemove, &QueueCommands::removeSelected},
        {QueueClear, &QueueCommands::clearQueue},
        {ClearQueue, &QueueCommands::clearQueue},
        {QueueDeleteFinished, &QueueCommands::deleteCompleted},
        {QueueInformation, &QueueCommands::showInformation}};
    for (const auto& [id, handler] : table)
        view_.commands().setHandler(id, [this, handler = handler] { (this->*handler)(); });
}

void QueueCommands::registerEnabledRules()
{
    const auto anySelected = [this] { return view_.queueList()->selectionModel()->hasSelection(); };
    for (int id : {CommandId::QueueStart, CommandId::QueuePause, CommandId::QueueRemove})
        view_.commands().setEnabledRule(id, anySelected);
}

void QueueCommands::watchDoubleClicks()
{
    connect(view_.queueList(), &CMyListCtrl::doubleClicked, this,
            [this] { view_.commands().dispatch(CommandId::QueuePause); });
}

void QueueCommands::AddUploadFromPath(const QString& localPath, const QString& remoteTarget,
                                      const QString& size, const QString& address)
{
    if (!connectedOrTell(QStringLiteral("尚未连接")))
        return;
    const std::optional<QString> server =
        address.isEmpty() ? rowAddressOrTell(QStringLiteral("尚未连接")) : address;
    if (!server)
        return;
    const int folder = QFileInfo(localPath).isDir() ? 1 : 0;
    PaneEntry entry{QString(), size, folder};
    addRow(localPath, remoteTarget, entry, QueueAction::Upload.toString(), *server);
}

void QueueCommands::upload()
{
    if (!connectedOrTell(QStringLiteral("请先连接服务器")))
        return;
    const std::optional<QString> address = rowAddressOrTell(QStringLiteral("请先连接服务器"));
    if (!address)
        return;
    for (const PaneEntry& entry : selectedLocalEntries())
        AddUploadFromPath(localPathOf(entry.name), remotePathOf(entry.name), entry.size, *address);
}

void QueueCommands::addUploads()
{
    if (!connectedOrTell(QStringLiteral("请先连接服务器")))
        return;
    const std::optional<QString> address = rowAddressOrTell(QStringLiteral("请先连接服务器"));
    if (!address)
        return;
    for (const PaneEntry& entry : selectedLocalEntries())
        addRow(localPathOf(entry.name), remotePathOf(entry.name), entry,
               QueueAction::Upload.toString(), *address);
}

void QueueCommands::download()
{
    const QList<PaneEntry> entries = selectedRemoteEntries();
    const std::optional<QString> address =
        entries.isEmpty() ? std::nullopt : rowAddressOrTell(QStringLiteral("尚未连接"));
    if (!address)
        return;
    for (const PaneEntry& entry : entries)
        addRow(remotePathOf(entry.name), localPathOf(entry.name), entry,
               QueueAction::Download.toString(), *address);
}

void QueueCommands::addDownloads()
{
    download();
}

void QueueCommands::addToQueue()
{
    if (!selectedLocalEntries().isEmpty())
        addUploads();
    if (!selectedRemoteEntries().isEmpty())
        addDownloads();
}

void QueueCommands::saveAs()
{
    const QList<PaneEntry> entries = selectedRemoteEntries();
    if (entries.isEmpty())
        return;
    const std::optional<QString> address = rowAddressOrTell(QStringLiteral("尚未连接"));
    if (!address)
        return;
    const QString folder = chooseFolder_();
    if (folder.isEmpty())
        return;
    for (const PaneEntry& entry : entries)
        addRow(remotePathOf(entry.name), TransferQueue::localPath(folder, entry.name), entry,
               QueueAction::Download.toString(), *address);
}

// The files go to a fresh folder of their own under the user's cache folder, readable by the
// user only: never into the work path, whose ftp.ini, list.dat and WFL.dat a server could
// otherwise replace by offering files of those names, and never over a file that is there.
// Being new, the folder holds nothing to ask about overwriting.
void QueueCommands::openRemoteFiles()
{
    const QList<PaneEntry> entries = selectedRemoteEntries();
    const std::optional<QString> address =
        entries.isEmpty() ? std::nullopt : rowAddressOrTell(QStringLiteral("尚未连接"));
    if (!address)
        return;
    const QString folder = freshOpenFolder();
    if (folder.isEmpty()) {
        prompt_.tell(QStringLiteral("无法创建用于打开文件的临时文件夹"));
        return;
    }
    for (PaneEntry entry : entries) {
        const QString target = TransferQueue::localPath(folder, entry.name);
        entry.folder = 0;
        addRow(remotePathOf(entry.name), target, entry, QueueAction::DownloadAndOpen.toString(),
               *address);
    }
}

QString QueueCommands::freshOpenFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                         QStringLiteral("/kevra/open");
    if (!QDir().mkpath(base))
        return QString();
    QTemporaryDir folder(base + QStringLiteral("/XXXXXX"));
    folder.setAutoRemove(false);
    return folder.isValid() ? folder.path() : QString();
}

void QueueCommands::startAll()
{
    if (connectedOrTell(QStringLiteral("尚未连接")))
        queue_.changeStates({QueueState::Paused}, QueueState::Waiting.toString());
}

void QueueCommands::startSelected()
{
    if (connectedOrTell(QStringLiteral("尚未连接")))
        queue_.setStates(selectedQueueRows(), QueueState::Waiting.toString());
}

// Running and waiting rows pause; a paused or skipped row in the selection starts the whole
// selection instead, so that it ends waiting whatever order its rows come in.
void QueueCommands::pauseOrResume()
{
    QList<int> toPause;
    bool resume = false;
    for (int row : selectedQueueRows()) {
        const QString state = queue_.text(row, TransferQueue::StateColumn);
        resume = resume || isOneOf(state, Resumable);
        if (isOneOf(state, RunningOrWaiting))
            toPause.append(row);
    }
    if (resume && connectedOrTell(QStringLiteral("尚未连接"))) {
        startSelected();
        return;
    }
    queue_.setStates(toPause, QueueState::Paused.toString());
}

void QueueCommands::pauseAll()
{
    queue_.changeStates(RunningOrWaiting, QueueState::Paused.toString());
}

void QueueCommands::removeSelected()
{
    queue_.removeRows(selectedQueueRows());
    store_.SaveQueue();
}

void QueueCommands::clearQueue()
{
    stopAll_.raise();
    queue_.clear();
    store_.SaveQueue();
}

void QueueCommands::deleteCompleted()
{
    queue_.removeRowsInState(Completed);
    store_.SaveQueue();
}

void QueueCommands::showInformation()
{
    prompt_.tell(QStringLiteral("队列中文件数:%1\r\n").arg(queue_.rowCount()),
                 QStringLiteral("队列信息"));
}

bool QueueCommands::connectedOrTell(const QString& notice)
{
    if (sessions_.isConnected())
        return true;
    prompt_.tell(notice);
    return false;
}

// The rows come from the current session's pane and run against its server and account. With
// no session at all (a download needs none) the server box names the server, as it always did;
// while a new session is still logging on, the pane still shows another tab's folder, so
// nothing is added.
std::optional<QString> QueueCommands::rowAddressOrTell(const QString& notice)
{
    const QString address = sessions_.currentAddress();
    if (!address.isEmpty())
        return address;
    if (!sessions_.isConnected())
        return view_.host();
    prompt_.tell(notice);
    return std::nullopt;
}

// Every add stores the queue at once, so a crash never loses a row the user has seen added.
void QueueCommands::addRow(const QString& source, const QString& target, const PaneEntry& entry,
                           const QString& action, const QString& address)
{
    QueueEntry added;
    added.source = source;
    added.target = target;
    added.size = entry.size;
    added.action = action;
    added.folder = entry.folder != 0 ? 1 : 0;
    added.address = address;
    queue_.AddQueueRow(added, view_.host());
    store_.SaveQueue();
}

QList<QueueCommands::PaneEntry> QueueCommands::selectedLocalEntries() const
{
    return selectedEntries(*view_.localList(), *view_.localFiles());
}

QList<QueueCommands::PaneEntry> QueueCommands::selectedRemoteEntries() const
{
    return selectedEntries(*view_.remoteList(), *view_.remoteFiles());
}

// The ".." row stands for the parent folder, never for an entry to transfer.
QList<QueueCommands::PaneEntry> QueueCommands::selectedEntries(const CMyListCtrl& list,
                                                               const FileListModel& files)
{
    QList<PaneEntry> entries;
    for (int row : list.selectedRowsInOrder()) {
        const auto& shown = files.rowAt(row);
        const QString name = shown.texts.value(0);
        if (name != QLatin1String(".."))
            entries.append({name, shown.texts.value(SizeColumn), shown.folder ? 1 : 0});
    }
    return entries;
}

QString QueueCommands::localPathOf(const QString& name) const
{
    return TransferQueue::localPath(localPane_.currentFolder(), name);
}

QString QueueCommands::remotePathOf(const QString& name) const
{
    return TransferQueue::remotePath(sessions_.remote().currentFolder(), name);
}

// The list first catches up with the queue, so that its row numbers are the queue's.
QList<int> QueueCommands::selectedQueueRows()
{
    model_.sync();
    return view_.queueList()->selectedRowsInOrder();
}
