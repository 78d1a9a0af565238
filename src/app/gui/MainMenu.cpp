#include "app/gui/MainMenu.h"

#include "view/gui/CommandIds.h"

using namespace CommandId;

std::vector<MenuItem> MainMenu::popups()
{
    return {programPopup(), queuePopup(), filePopup(), settingsPopup(), viewPopup(), helpPopup()};
}

MenuItem MainMenu::programPopup()
{
    return MenuItem::popup(QStringLiteral("KEVRA(T)"),
                           {MenuItem::command(QStringLiteral("连接服务器(&L)"), Connect),
                            MenuItem::command(QStringLiteral("断开服务器(&D)"), Disconnect),
                            MenuItem::line(),
                            MenuItem::command(QStringLiteral("添加账号(&T)"), AddAccount,
                                              QStringLiteral("添加一个ftp账号")),
                            MenuItem::line(), MenuItem::command(QStringLiteral("退出(&Q)"), Exit)});
}

MenuItem MainMenu::queuePopup()
{
    return MenuItem::popup(QStringLiteral("队列(&R)"),
                           {MenuItem::command(QStringLiteral("传送队列(&K)"), RunQueue),
                            MenuItem::command(QStringLiteral("清空队列(&Q)"), ClearQueue),
                            MenuItem::command(QStringLiteral("队列信息(&M)"), QueueInformation),
                            MenuItem::command(QStringLiteral("加入队列(&J)"), AddToQueue)});
}

MenuItem MainMenu::filePopup()
{
    return MenuItem::popup(
        QStringLiteral("文件(&F)"),
        {MenuItem::popup(QStringLiteral("上传"),
                         {MenuItem::command(QStringLiteral("上传(&U)"), Upload),
                          MenuItem::command(QStringLiteral("压缩上传(Z)"), CompressAndUpload)}),
         MenuItem::command(QStringLiteral("下载(&L)"), Download), MenuItem::line(),
         MenuItem::command(QStringLiteral("停止(&S)"), Stop),
         MenuItem::command(QStringLiteral("删除(&D)"), Delete),
         MenuItem::popup(QStringLiteral("新建文件夹"),
                         {MenuItem::command(QStringLiteral("本地(&L)"), NewLocalFolder),
                          MenuItem::command(QStringLiteral("服务器(&S)"), NewServerFolder)}),
         MenuItem::command(QStringLiteral("搜索文件(&F)"), SearchFiles)});
}

MenuItem MainMenu::settingsPopup()
{
    return MenuItem::popup(QStringLiteral("设置(&S)"),
                           {MenuItem::command(QStringLiteral("工作路径(&R)"), WorkPath),
                            MenuItem::command(QStringLiteral("更新设置(&U)"), UpdateSettings),
                            MenuItem::command(QStringLiteral("限速设置(&L)"), SpeedLimitSettings)});
}

MenuItem MainMenu::viewPopup()
{
    return MenuItem::popup(
        QStringLiteral("视图(&V)"),
        {MenuItem::command(QStringLiteral("状态栏(&S)"), StatusBar), lookPopup()});
}

MenuItem MainMenu::lookPopup()
{
    return MenuItem::popup(
        QStringLiteral("皮肤"),
        {MenuItem::command(QStringLiteral("Windows 2000(&2)"), LookWindows2000),
         MenuItem::command(QStringLiteral("Office XP(&X)"), LookOfficeXP),
         MenuItem::command(QStringLiteral("Windows XP(&W)"), LookWindowsXP),
         MenuItem::command(QStringLiteral("Office 2003(&3)"), LookOffice2003),
         MenuItem::command(QStringLiteral("Visual Studio 200&5"), LookVisualStudio2005),
         MenuItem::command(QStringLiteral("Visual Studio 200&8"), LookVisualStudio2008),
         MenuItem::popup(
             QStringLiteral("Office 2007(&7)"),
             {MenuItem::command(QStringLiteral("蓝色样式(&B)"), LookOffice2007Blue),
              MenuItem::command(QStringLiteral("黑色样式(&L)"), LookOffice2007Black),
              MenuItem::command(QStringLiteral("银色样式(&S)"), LookOffice2007Silver),
              MenuItem::command(QStringLiteral("水绿色样式(&A)"), LookOffice2007Aqua)})});
}

MenuItem MainMenu::helpPopup()
{
    return MenuItem::popup(QStringLiteral("帮助(&H)"),
                           {MenuItem::command(QStringLiteral("关于 KEVRA(&A)..."), About),
                            MenuItem::command(QStringLiteral("检查更新(&C)"), CheckForUpdates)});
}
