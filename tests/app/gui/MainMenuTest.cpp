#include "app/gui/CMainFrame.h"
#include "support/MenuDump.h"
#include "support/ProfileSandbox.h"
#include "view/gui/CftpView.h"
#include "view/gui/CommandIds.h"

#include <QAction>
#include <QMenuBar>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class MainMenuTest : public ::testing::Test {
protected:
    ProfileSandbox profile;
    CMainFrame frame;
};

TEST_F(MainMenuTest, HoldsEveryPopupItemAndSeparatorInOrder)
{
    const QStringList expected = {
        QStringLiteral("KEVRA(T)/连接服务器(&L)=32788"),
        QStringLiteral("KEVRA(T)/断开服务器(&D)=32789"),
        QStringLiteral("KEVRA(T)/—"),
        QStringLiteral("KEVRA(T)/添加账号(&T)=32822"),
        QStringLiteral("KEVRA(T)/—"),
        QStringLiteral("KEVRA(T)/退出(&Q)=32831"),
        QStringLiteral("队列(&R)/传送队列(&K)=32791"),
        QStringLiteral("队列(&R)/清空队列(&Q)=32796"),
        QStringLiteral("队列(&R)/队列信息(&M)=32803"),
        QStringLiteral("队列(&R)/加入队列(&J)=32823"),
        QStringLiteral("文件(&F)/上传/上传(&U)=32813"),
        QStringLiteral("文件(&F)/上传/压缩上传(Z)=32807"),
        QStringLiteral("文件(&F)/下载(&L)=32806"),
        QStringLiteral("文件(&F)/—"),
        QStringLiteral("文件(&F)/停止(&S)=32821"),
        QStringLiteral("文件(&F)/删除(&D)=32808"),
        QStringLiteral("文件(&F)/新建文件夹/本地(&L)=32810"),
        QStringLiteral("文件(&F)/新建文件夹/服务器(&S)=32811"),
        QStringLiteral("文件(&F)/搜索文件(&F)=32815"),
        QStringLiteral("设置(&S)/工作路径(&R)=32802"),
        QStringLiteral("设置(&S)/更新设置(&U)=32833"),
        QStringLiteral("设置(&S)/限速设置(&L)=32839"),
        QStringLiteral("视图(&V)/状态栏(&S)=59393"),
        QStringLiteral("视图(&V)/皮肤/Windows 2000(&2)=205"),
        QStringLiteral("视图(&V)/皮肤/Office XP(&X)=206"),
        QStringLiteral("视图(&V)/皮肤/Windows XP(&W)=207"),
        QStringLiteral("视图(&V)/皮肤/Office 2003(&3)=208"),
        QStringLiteral("视图(&V)/皮肤/Visual Studio 200&5=209"),
        QStringLiteral("视图(&V)/皮肤/Visual Studio 200&8=210"),
        QStringLiteral("视图(&V)/皮肤/Office 2007(&7)/蓝色样式(&B)=215"),
        QStringLiteral("视图(&V)/皮肤/Office 2007(&7)/黑色样式(&L)=216"),
        QStringLiteral("视图(&V)/皮肤/Office 2007(&7)/银色样式(&S)=217"),
        QStringLiteral("视图(&V)/皮肤/Office 2007(&7)/水绿色样式(&A)=218"),
        QStringLiteral("帮助(&H)/关于 KEVRA(&A)...=57664"),
        QStringLiteral("帮助(&H)/检查更新(&C)=32834"),
    };
    EXPECT_EQ(dumpMenu(frame.menuBar()), expected);
}

TEST_F(MainMenuTest, FindsEveryCommandById)
{
    const std::pair<int, const char*> commands[] = {
        {32788, "连接服务器(&L)"}, {32789, "断开服务器(&D)"},    {32822, "添加账号(&T)"},
        {32831, "退出(&Q)"},       {32791, "传送队列(&K)"},      {32796, "清空队列(&Q)"},
        {32803, "队列信息(&M)"},   {32823, "加入队列(&J)"},      {32813, "上传(&U)"},
        {32807, "压缩上传(Z)"},    {32806, "下载(&L)"},          {32821, "停止(&S)"},
        {32808, "删除(&D)"},       {32810, "本地(&L)"},          {32811, "服务器(&S)"},
        {32815, "搜索文件(&F)"},   {32802, "工作路径(&R)"},      {32833, "更新设置(&U)"},
        {59393, "状态栏(&S)"},     {57664, "关于 KEVRA(&A)..."}, {32834, "检查更新(&C)"},
        {215, "蓝色样式(&B)"},     {218, "水绿色样式(&A)"},      {209, "Visual Studio 200&5"},
    };
    for (const auto& [id, text] : commands) {
        const QAction* action = frame.commandAction(id);
        ASSERT_NE(action, nullptr) << id;
        EXPECT_EQ(action->text(), QString::fromUtf8(text)) << id;
        EXPECT_EQ(action->data().toInt(), id);
    }
    EXPECT_EQ(frame.commandAction(219), nullptr); // only the style API reaches Windows 7
}

TEST_F(MainMenuTest, OffersNoDocumentKeys)
{
    const QKeySequence documentKeys[] = {QKeySequence(Qt::CTRL | Qt::Key_N),
                                         QKeySequence(Qt::CTRL | Qt::Key_O),
                                         QKeySequence(Qt::CTRL | Qt::Key_S)};
    for (const QAction* action : frame.findChildren<QAction*>()) {
        for (const QKeySequence& key : documentKeys)
            EXPECT_NE(action->shortcut(), key) << action->text().toStdString();
    }
}

TEST_F(MainMenuTest, F6AndShiftF6AreThePaneKeys)
{
    const QAction* next = frame.commandAction(CommandId::NextPane);
    const QAction* previous = frame.commandAction(CommandId::PreviousPane);
    ASSERT_NE(next, nullptr);
    ASSERT_NE(previous, nullptr);
    EXPECT_EQ(next->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_EQ(previous->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F6));
}

TEST_F(MainMenuTest, CommandsReachTheViewsDispatcher)
{
    QSignalSpy connects(frame.view(), &CftpView::connectRequested);
    QSignalSpy disconnects(frame.view(), &CftpView::disconnectRequested);
    frame.commandAction(CommandId::Connect)->trigger();
    frame.commandAction(CommandId::Disconnect)->trigger();
    EXPECT_EQ(connects.count(), 1);
    EXPECT_EQ(disconnects.count(), 1);

    int runs = 0;
    frame.view()->commands().setHandler(CommandId::RunQueue, [&runs] { ++runs; });
    frame.commandAction(CommandId::RunQueue)->trigger();
    EXPECT_EQ(runs, 1);
}

TEST_F(MainMenuTest, CommandsOfTheFrameAreHandledNow)
{
    const int handled[] = {CommandId::Connect,
                           CommandId::Disconnect,
                           CommandId::Exit,
                           CommandId::StatusBar,
                           CommandId::About,
                           CommandId::NextPane,
                           CommandId::PreviousPane,
                           205,
                           206,
                           207,
                           208,
                           209,
                           210,
                           215,
                           216,
                           217,
                           218,
                           219,
                           CommandId::ClearLog,
                           CommandId::CloseTab};
    for (const int id : handled)
        EXPECT_TRUE(frame.view()->commands().isHandled(id)) << id;
}

TEST_F(MainMenuTest, CommandsAwaitingTheirFeatureDoNothingYet)
{
    frame.view()->AppendLog(QStringLiteral("kept\r\n"));
    for (const int id : {CommandId::RunQueue, CommandId::SearchFiles, CommandId::CheckForUpdates})
        frame.commandAction(id)->trigger();
    EXPECT_EQ(frame.view()->logText(), QStringLiteral("kept\r\n"));
}

} // namespace
