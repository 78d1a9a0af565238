#include "view/gui/ContextMenus.h"

#include "view/gui/CommandIds.h"

using namespace CommandId;

MenuItem ContextMenus::localList()
{
    return MenuItem::popup(
        QStringLiteral("list1"),
        {MenuItem::command(QStringLiteral("全选(&A)"), LocalSelectAll),
         MenuItem::popup(
             QStringLiteral("上传(&U)"),
             {MenuItem::command(QStringLiteral("上传(&U)"), LocalUpload),
              MenuItem::command(QStringLiteral("压缩并上传(&Z)"), LocalCompressAndUpload)}),
         MenuItem::command(QStringLiteral("删除(&D)"), LocalDelete),
         MenuItem::command(QStringLiteral("打开文件(&O)"), LocalOpen),
         MenuItem::command(QStringLiteral("刷新(&E)"), LocalRefresh),
         MenuItem::command(QStringLiteral("添加到队列(&T)"), LocalAddToQueue),
         MenuItem::command(QStringLiteral("新建文件夹(&F)"), LocalNewFolder),
         MenuItem::command(QStringLiteral("重命名(&M)"), LocalRename),
         MenuItem::command(QStringLiteral("属性(&R)"), LocalProperties)});
}

MenuItem ContextMenus::remoteList()
{
    return MenuItem::popup(
        QStringLiteral("list2"),
        {MenuItem::command(QStringLiteral("全选(&A)"), RemoteSelectAll),
         MenuItem::popup(QStringLiteral("下载"),
                         {MenuItem::command(QStringLiteral("下载(L)"), RemoteDownload),
                          MenuItem::command(QStringLiteral("另存为(&R)"), RemoteSaveAs)}),
         MenuItem::command(QStringLiteral("删除(&D)"), RemoteDelete),
         MenuItem::command(QStringLiteral("打开文件(&O)"), RemoteOpen),
         MenuItem::command(QStringLiteral("刷新(&E)"), RemoteRefresh),
         MenuItem::command(QStringLiteral("添加到队列(&R)"), RemoteAddToQueue),
         MenuItem::command(QStringLiteral("新建文件夹(&F)"), RemoteNewFolder),
         MenuItem::command(QStringLiteral("重命名(&M)"), RemoteRename),
         MenuItem::command(QStringLiteral("修改路径(&P)"), RemoteChangePath),
         MenuItem::command(QStringLiteral("压缩到当前文件夹"), RemoteCompress),
         MenuItem::command(QStringLiteral("解压到当前文件夹(覆盖)"), RemoteExtract)});
}

MenuItem ContextMenus::queueList()
{
    return MenuItem::popup(
        QStringLiteral("list3"),
        {MenuItem::command(QStringLiteral("全选(&A)"), QueueSelectAll),
         MenuItem::command(QStringLiteral("开始(&G)"), QueueStart),
         MenuItem::command(QStringLiteral("暂停(&S)"), QueuePause),
         MenuItem::command(QStringLiteral("移出队列(&D)"), QueueRemove),
         MenuItem::command(QStringLiteral("清空队列(&Q)"), QueueClear),
         MenuItem::command(QStringLiteral("全部开始(&B)"), QueueStartAll),
         MenuItem::command(QStringLiteral("全部暂停(&P)"), QueuePauseAll),
         MenuItem::command(QStringLiteral("删除已完成(&T)"), QueueDeleteFinished)});
}

MenuItem ContextMenus::serverList()
{
    return MenuItem::popup(QStringLiteral("ftplist"),
                           {MenuItem::command(QStringLiteral("删除(&D)"), ServerListDelete,
                                              QStringLiteral("删除该项"))});
}

MenuItem ContextMenus::tabs()
{
    return MenuItem::popup(QStringLiteral("tab"),
                           {MenuItem::command(QStringLiteral("关闭"), CloseTab)});
}

MenuItem ContextMenus::log()
{
    return MenuItem::popup(QStringLiteral("edit"),
                           {MenuItem::command(QStringLiteral("清空(&k)"), ClearLog)});
}
