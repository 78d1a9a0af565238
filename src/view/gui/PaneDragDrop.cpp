#include "view/gui/PaneDragDrop.h"

#include "platform/Prompt.h"
#include "session/SessionMessages.h"
#include "view/LocalBrowser.h"
#include "view/LocalTreeCopy.h"
#include "view/gui/CMyListCtrl.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"
#include "view/gui/ControlIds.h"
#include "view/gui/FileListModel.h"
#include "view/gui/LocalPaneController.h"
#include "view/gui/SessionController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString nameOf(const QString& path)
{
    return QFileInfo(QDir::cleanPath(path)).fileName();
}

// A folder's size text is the total of its files, the number a user can compare with what
// arrives, rather than the length the file system gives the folder entry itself.
QString sizeTextOf(const QString& path)
{
    const QFileInfo info(path);
    const qint64 size =
        info.isDir() ? LocalTreeCopy::totalFileSize(info.absoluteFilePath()) : info.size();
    return QString::number(size);
}

} // namespace

PaneDragDrop::PaneDragDrop(CftpView& view, LocalPaneController& localPane,
                           SessionController& sessions, Prompt& prompt, QObject* parent)
    : QObject(parent), view_(view), localPane_(localPane), sessions_(sessions), prompt_(prompt),
      folderMove_(prompt, [&view](const QString& text) { view.AppendLog(text); })
{
    watch(view_.localList());
    watch(view_.remoteList());
}

void PaneDragDrop::watch(CMyListCtrl* list)
{
    list->takePartInDragAndDrop();
    connect(list, &CMyListCtrl::rowsDropped, this, [this, list](int sourceId, int dropRow) {
        // A listing that arrives before the drop is handled may put another row, or none,
        // where the drop was: then the drop is dropped rather than aimed at the wrong folder.
        const QString dropName = nameAt(list, dropRow);
        QMetaObject::invokeMethod(
            this,
            [this, list, sourceId, dropRow, dropName] {
                if (nameAt(list, dropRow) == dropName)
                    DropBetweenLists(listWithId(sourceId), list, dropRow);
            },
            Qt::QueuedConnection);
    });
    connect(
        list, &CMyListCtrl::pathDropped, this,
        [this, list](const QString& path) { dropPath(list, path); }, Qt::QueuedConnection);
}

QString PaneDragDrop::nameAt(const CMyListCtrl* list, int row)
{
    return list->model()->index(row, 0).data().toString();
}

CMyListCtrl* PaneDragDrop::listWithId(int controlId) const
{
    for (CMyListCtrl* list : {view_.localList(), view_.remoteList()}) {
        if (list->property(ControlId::Property).toInt() == controlId)
            return list;
    }
    return nullptr;
}

void PaneDragDrop::DropBetweenLists(CMyListCtrl* source, CMyListCtrl* target, int dropRow)
{
    CMyListCtrl* local = view_.localList();
    CMyListCtrl* remote = view_.remoteList();
    if (target == nullptr || dropRow >= target->model()->rowCount())
        return;
    if (source == local && target == remote)
        view_.commands().dispatch(CommandId::Upload);
    else if (source == remote && target == local)
        view_.commands().dispatch(CommandId::RemoteDownload);
    else if (source == local && target == local && dropRow >= 0)
        moveLocalRows(dropRow);
    else if (source == remote && target == remote && dropRow >= 0)
        moveRemoteRows(dropRow);
}

void PaneDragDrop::moveLocalRows(int dropRow)
{
    const QString folderName = view_.localFiles()->rowAt(dropRow).texts.value(0);
    folderMove_.moveInto(localPane_.currentFolder(), localPane_.selectedNames(), folderName);
    localPane_.RefreshLocalList();
}

void PaneDragDrop::moveRemoteRows(int dropRow)
{
    const auto& folderRow = view_.remoteFiles()->rowAt(dropRow);
    if (folderRow.folder) {
        const QString folder = inRemoteFolder(folderRow.texts.value(0));
        for (int row : view_.remoteList()->selectedRowsInOrder()) {
            const QString name = view_.remoteFiles()->rowAt(row).texts.value(0);
            if (row == dropRow || name == QLatin1String(".."))
                continue;
            sessions_.postToCurrent(QM_RENAME, std::make_unique<ActionRecord>(
                                                   inRemoteFolder(name), folder + u'/' + name));
        }
    }
    sessions_.postToCurrent(QM_REFRESH);
}

QString PaneDragDrop::inRemoteFolder(const QString& name) const
{
    QString folder = sessions_.remote().currentFolder();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + name;
}

void PaneDragDrop::dropPath(CMyListCtrl* target, const QString& path)
{
    if (nameOf(path).isEmpty())
        return;
    if (target == view_.localList())
        copyIntoLocalFolder(path);
    else if (target == view_.remoteList())
        queueUpload(path);
}

void PaneDragDrop::copyIntoLocalFolder(const QString& path)
{
    const QString destination = LocalBrowser::join(localPane_.currentFolder(), nameOf(path));
    if (QFileInfo(path).isDir())
        LocalTreeCopy::CopyLocalTree(path, destination,
                                     [this](const QString& text) { view_.AppendLog(text); });
    else if (!QFileInfo(destination).exists() && !QFileInfo(destination).isSymLink())
        QFile::copy(path, destination);
    localPane_.RefreshLocalList();
}

void PaneDragDrop::queueUpload(const QString& path)
{
    if (!sessions_.isConnected()) {
        prompt_.tell(QStringLiteral("尚未连接"));
        return;
    }
    view_.remoteList()->uploadDropped(path, inRemoteFolder(nameOf(path)), sizeTextOf(path));
    sessions_.postToCurrent(QM_REFRESH);
}
